#include "ai/Hunt.h"

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"
#include "ai/TeamMan.h"
#include "gamelogic/Player.h"
#include "utility/Random.h"

namespace AI {

namespace {

float ThrowSpread() {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings().throwRandomness : AISettings{}.throwRandomness;
}

// One generator for every Hunt, so the pauses of a match repeat with it.
long DrawPause() {
    static Utility::Random<long> random(0);
    return random.Get(Hunt::kPauseMinMs, Hunt::kPauseMaxMs);
}

}  // namespace

Hunt::Hunt(BotGameView* owner, GameLogicView::Player* target) : StateMachine(owner, kName), m_bot(owner), m_target(target) {}

Hunt::~Hunt() = default;

bool Hunt::GoesOn() const { return m_target && !m_target->IsDead() && PouchCount(*m_bot) >= 1; }

void Hunt::SearchAgain() {
    StopBot(*m_bot);
    RequestPath(*m_bot, GroundPoint(BotPosition(*m_bot)), GroundPoint(m_target->GetPosition()), Geometry::kZeroVector,
                kSearchTimeOutMs);
    SetSubstate(kWaitPath);
}

bool Hunt::UpdateWalk() {
    if (!GoesOn()) {
        RequestNextInPlan();
        return true;
    }
    const Geometry::Vector3 targetCell = CellOf(GroundPoint(m_target->GetPosition()));
    const Geometry::Vector3 botCell = CellOf(GroundPoint(BotPosition(*m_bot)));
    if (InSight(botCell, targetCell)) {
        SetSubstate(kInSight);
        return true;
    }
    if (SteerAlongPath(*m_bot, m_path, SteerVariant::kCarryOver)) SearchAgain();
    return true;
}

bool Hunt::UpdateInSight() {
    if (!GoesOn()) {
        RequestNextInPlan();
        return true;
    }
    const Geometry::Vector3 botGround = GroundPoint(BotPosition(*m_bot));
    const Geometry::Vector3 targetGround = GroundPoint(m_target->GetPosition());
    if (!InSight(CellOf(botGround), CellOf(targetGround))) {
        SearchAgain();
        return true;
    }
    if ((targetGround - botGround).LengthSquared() < kThrowRangeSquared) {
        StopBot(*m_bot);
        QueueThrow(*m_bot, FightThrowAim(*m_bot, BotPosition(*m_bot), m_target->GetPosition(), m_target->GetVelocity(),
                                           ThrowSpread()));
        // Sent without a scope: whatever machine is on top when it falls due
        // receives it.
        SendSelfMessage(*m_bot, DrawPause(), MSG_ATTACK_DELAY_OVER);
        SetSubstate(kPause);
        return true;
    }
    StepTowards(*m_bot, m_target->GetPosition());
    return true;
}

bool Hunt::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        SetSubstate(kInSight);
        return true;
    }
    switch (substate) {
        case kWaitPath:
            if (kind == EVENT_UPDATE) {
                if (!GoesOn()) RequestNextInPlan();
                return true;
            }
            if (kind == EVENT_MESSAGE && msg) {
                if (msg->id == MSG_SEARCH_SUCCESS) {
                    Path found;
                    AIMan* ai = AIMan::Instance();
                    if (ai && ai->GetAStar().RetrievePath(msg->data2, found)) {
                        m_path.Start(std::move(found));
                        SetSubstate(kWalkPath);
                    }
                    return true;
                }
                if (msg->id == MSG_SEARCH_FAILURE) {
                    RequestOwnerReset();
                    return true;
                }
            }
            return false;
        case kWalkPath: return kind == EVENT_UPDATE && UpdateWalk();
        case kInSight: return kind == EVENT_UPDATE && UpdateInSight();
        case kPause:
            if (kind == EVENT_UPDATE) {
                if (GoesOn())
                    FaceTowards(*m_bot, m_target->GetPosition());
                else
                    RequestNextInPlan();
                return true;
            }
            if (kind == EVENT_MESSAGE && msg && msg->id == MSG_ATTACK_DELAY_OVER) {
                SetSubstate(kInSight);
                return true;
            }
            return false;
        default: return false;
    }
}

}  // namespace AI
