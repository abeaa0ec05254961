#include "ai/Chase.h"

#include <memory>
#include <string>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"
#include "ai/Squad.h"
#include "ai/Steering.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Player.h"
#include "utility/Random.h"

namespace AI {

namespace {

const AISettings& Settings() {
    static const AISettings defaults;
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings() : defaults;
}

// Two generators shared by every Chase: the wait before the first attack and
// the pause after each throw.
long DrawWait(long min, long max) {
    static Utility::Random<long> random(0);
    return random.Get(min, max);
}

long DrawPause() {
    static Utility::Random<long> random(0);
    return random.Get(Chase::kPauseMinMs, Chase::kPauseMaxMs);
}

}  // namespace

Chase::Chase(BotGameView* owner, GameLogicView::Player* target)
    : StateMachine(owner, kName), m_bot(owner), m_target(target) {}

Chase::~Chase() = default;

void Chase::FaceTarget() {
    if (m_target) FaceTowards(*m_bot, m_target->GetPosition());
}

void Chase::Attack() {
    if (!m_target) {
        RequestNextInPlan();
        return;
    }
    const AISettings& s = Settings();
    const Geometry::Vector3 targetGround = GroundPoint(m_target->GetPosition());
    const Geometry::Vector3 botGround = GroundPoint(BotPosition(*m_bot));
    const float d2 = (targetGround - botGround).LengthSquared();

    if (m_target->IsDead()) {
        const AIMan* ai = AIMan::Instance();
        const std::string line = ai ? ai->GetRandomChatLine(kTauntSection) : std::string();
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandCreateSpeechBubble>(
            static_cast<int16_t>(m_bot->GetActorId()), line, 0, kTauntMs, 0));
        RequestNextInPlan();
        return;
    }
    if (!InSight(CellOf(botGround), CellOf(targetGround)) || d2 > s.botSight * s.botSight || PouchCount(*m_bot) == 0) {
        RequestNextInPlan();
        return;
    }
    if (d2 < s.throwDist * s.throwDist) {
        StopBot(*m_bot);
        const Squad* squad = m_bot->GetSquad();
        const float spread = squad && squad->IsLedByHuman() ? s.squadThrowRand : s.throwRandomness;
        QueueThrow(*m_bot,
                   FightThrowAim(*m_bot, BotPosition(*m_bot), m_target->GetPosition(), m_target->GetVelocity(), spread));
        SendSelfMessage(*m_bot, DrawPause(), MSG_ATTACK_DELAY_OVER);
        SetState(kPause);
        return;
    }
    StepTowards(*m_bot, m_target->GetPosition());
}

bool Chase::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (substate != kNoSubstate) return false;
    const bool timer = kind == EVENT_MESSAGE && msg && msg->id == MSG_ATTACK_DELAY_OVER;
    switch (state) {
        case kGettingReady:
            if (kind == EVENT_ENTER) {
                const AISettings& s = Settings();
                SendSelfMessage(*m_bot, DrawWait(s.attackDelayMin, s.attackDelayMax), MSG_ATTACK_DELAY_OVER);
                FaceTarget();
                StopBot(*m_bot);
                return true;
            }
            if (kind == EVENT_UPDATE) {
                FaceTarget();
                return true;
            }
            if (timer) {
                SetState(kAttacking);
                return true;
            }
            return false;
        case kAttacking:
            if (kind == EVENT_ENTER) return true;
            if (kind == EVENT_UPDATE) {
                Attack();
                return true;
            }
            return false;
        case kPause:
            if (kind == EVENT_UPDATE) {
                FaceTarget();
                return true;
            }
            if (timer) {
                SetState(kAttacking);
                return true;
            }
            return false;
        default: return false;
    }
}

}  // namespace AI
