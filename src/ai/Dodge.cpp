#include "ai/Dodge.h"

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"
#include "ai/Steering.h"
#include "gamelogic/Player.h"
#include "utility/Random.h"

namespace AI {

namespace {

GameLogicView::Player* LookUpPlayer(uint16_t id) {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetPlayer(id) : nullptr;
}

}  // namespace

Geometry::Vector3 DodgeDirection(const Geometry::Vector3& botPosition, const Geometry::Vector3& throwerPosition,
                                 const Geometry::Vector3& velocity) {
    Geometry::Vector3 a = throwerPosition - botPosition;
    a.y = 0.0f;
    // a x up: across the line of fire.
    Geometry::Vector3 side = Geometry::Cross(a, Geometry::Vector3(0.0f, 1.0f, 0.0f)).Normalized();
    if (velocity.Dot(side) > 0.0f) side = -side;
    return side;
}

Dodge::Dodge(BotGameView* bot, uint16_t thrower, const Geometry::Vector3& velocity)
    : StateMachine(bot, kName), m_bot(bot), m_thrower(thrower), m_velocity(velocity) {}

Dodge::~Dodge() = default;

bool Dodge::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0 || !m_bot) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        SetSubstate(kReacting);
        return true;
    }
    if (substate == kReacting) {
        switch (kind) {
            case EVENT_ENTER: {
                const GameLogicView::Player* thrower = LookUpPlayer(m_thrower);
                if (!thrower) {
                    RequestOwnerReset();
                    return true;
                }
                m_move = DodgeDirection(BotPosition(*m_bot), thrower->GetPosition(), m_velocity);
                const AIMan* ai = AIMan::Instance();
                const AISettings settings = ai ? ai->GetSettings() : AISettings();
                static Utility::Random<long> reaction(0);
                SendSelfMessage(*m_bot, reaction.Get(settings.dodgeDelayMin, settings.dodgeDelayMax),
                                MSG_ATTACK_DELAY_OVER);
                return true;
            }
            case EVENT_UPDATE:
                return true;  // the bot reacts after its reaction time, not before
            case EVENT_MESSAGE:
                if (!msg || msg->id != MSG_ATTACK_DELAY_OVER) return false;
                SetSubstate(kSidestepping);
                return true;
            default:
                return false;
        }
    }
    if (substate == kSidestepping) {
        switch (kind) {
            case EVENT_ENTER: {
                static Utility::Random<long> sidestep(0);
                SendSelfMessage(*m_bot, sidestep.Get(kSidestepMinMs, kSidestepMaxMs), MSG_ATTACK_DELAY_OVER);
                if (m_velocity.y < kJumpBelowVelocityY) QueueJump(*m_bot);
                return true;
            }
            case EVENT_UPDATE: {
                const GameLogicView::Player* thrower = LookUpPlayer(m_thrower);
                if (!thrower) {
                    RequestOwnerReset();
                    return true;
                }
                QueueMove(*m_bot, m_move);
                QueueTurn(*m_bot, NudgedHeading(thrower->GetPosition() - BotPosition(*m_bot)));
                return true;
            }
            case EVENT_MESSAGE:
                if (!msg || msg->id != MSG_ATTACK_DELAY_OVER) return false;
                RequestOwnerReset();
                return true;
            default:
                return false;
        }
    }
    return false;
}

}  // namespace AI
