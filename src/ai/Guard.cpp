#include "ai/Guard.h"

#include <cmath>
#include <vector>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/FollowPath.h"
#include "ai/GuardMan.h"
#include "ai/sml/Msg.h"
#include "ai/Speech.h"
#include "ai/Steering.h"
#include "ai/TeamMan.h"
#include "gamelogic/Player.h"
#include "utility/Random.h"

namespace AI {

// ------------------------------------------------------------- FindGuardPos

FindGuardPos::FindGuardPos(BotGameView* bot) : StateMachine(bot, kName), m_bot(bot) {}
FindGuardPos::~FindGuardPos() = default;

bool FindGuardPos::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate || kind != EVENT_ENTER || !m_bot) return false;
    TeamMan* team = m_bot->GetTeamMan();
    const std::optional<Geometry::Vector3> post = team ? team->GetGuardMan().GetSlot(*m_bot) : std::nullopt;
    if (!post) {
        // Defenders are never more than posts, so this is a bot that lost
        // its role meanwhile: it starts over.
        RequestOwnerReset();
        return true;
    }
    ReplaceWith(std::make_shared<FollowPath>(m_bot, *post, Geometry::kZeroVector));
    return true;
}

// -------------------------------------------------------------------- Guard

Guard::Guard(BotGameView* bot)
    : StateMachine(bot, kName),
      m_bot(bot),
      m_floats(std::make_shared<Utility::Random<float>>(1)),
      m_longs(std::make_shared<Utility::Random<long>>(0)) {}

Guard::~Guard() = default;

void Guard::ChooseLook() {
    m_look.x = m_floats->Get(-1.0f, 1.0f);
    m_look.z = m_floats->Get(-1.0f, 1.0f);
    m_look.y = 0.0f;
    if (m_look.x == 0.0f) m_look.x = 0.01f;
    m_turnSign = m_longs->Get(0, 1) == 1 ? 1.0f : -1.0f;
    m_turned = 0.0f;
}

bool Guard::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0 || !m_bot) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        Say(*m_bot, "Guard", 0, kBubbleMs, 0);
        StopBot(*m_bot);
        ChooseLook();
        SendSelfMessage(*m_bot, m_longs->Get(kPostChangeMinMs, kPostChangeMaxMs), MSG_FIND_NEW_GUARD_POS);
        SetSubstate(kTurning);
        return true;
    }
    if (kind == EVENT_MESSAGE && msg && msg->id == MSG_FIND_NEW_GUARD_POS &&
        (substate == kTurning || substate == kPausing)) {
        ChangePost();
        return true;
    }
    if (substate == kTurning && kind == EVENT_UPDATE) {
        TurnStep();
        return true;
    }
    if (substate == kPausing && kind == EVENT_MESSAGE && msg && msg->id == MSG_ATTACK_DELAY_OVER) {
        ChooseLook();
        SetSubstate(kTurning);
        return true;
    }
    return false;
}

void Guard::TurnStep() {
    const GameLogicView::Player* player = m_bot->GetPlayer();
    const Geometry::Quaternion orientation = player ? player->GetOrientation() : Geometry::Quaternion();
    const Geometry::Vector3 facing = orientation.Rotate(Geometry::Vector3(0.0f, 0.0f, 1.0f));
    const float g = Geometry::AngleBetween(m_look, facing);
    if (std::fabs(g) < kFacingReached || m_turned > kMostTurning) {
        StopBot(*m_bot);
        SendSelfMessage(*m_bot, m_longs->Get(kPauseMinMs, kPauseMaxMs), MSG_ATTACK_DELAY_OVER);
        SetSubstate(kPausing);
        return;
    }
    m_turned += kTurnStep;
    const Geometry::Quaternion step =
        Geometry::Quaternion::FromAxisAngle(Geometry::Vector3(0.0f, 1.0f, 0.0f), m_turnSign * kTurnStep);
    QueueTurn(*m_bot, step * orientation);
    QueueMove(*m_bot, Geometry::kZeroVector);
}

void Guard::ChangePost() {
    TeamMan* team = m_bot->GetTeamMan();
    if (!team) return;
    GuardMan& guards = team->GetGuardMan();
    GuardSlot* current = guards.FindSlotOf(*m_bot);
    GuardSlot* candidate = guards.PickFreeSlot();
    if (!candidate || candidate == current) {
        // Every other post is held: keep this one and look again later.
        SendSelfMessage(*m_bot, m_longs->Get(kPostChangeMinMs, kPostChangeMaxMs), MSG_FIND_NEW_GUARD_POS);
        return;
    }
    guards.ReleaseSlot(*m_bot);
    candidate->taken = true;
    candidate->holder = m_bot;
    const std::vector<std::shared_ptr<StateMachine>> plan = {
        std::make_shared<FollowPath>(m_bot, candidate->position, Geometry::kZeroVector),
        std::make_shared<Guard>(m_bot)};
    m_bot->SetPlan(plan);
    // The walk takes this guard's place instead of going on top of it: a
    // defender that changes posts all match long would otherwise pile up one
    // finished guard per change on its stack.
    m_bot->RequestStackOp(AIGameObject::OP_REPLACE_TOP, plan.front());
}

}  // namespace AI
