#include "ai/ThrowBlock.h"

#include "ai/BotGameView.h"
#include "ai/Steering.h"
#include "ai/TeamMan.h"

namespace AI {

ThrowBlock::ThrowBlock(BotGameView* owner, float targetX, float targetY, float targetZ)
    : StateMachine(owner, kName), m_bot(owner), m_target(targetX, targetY, targetZ) {}

ThrowBlock::~ThrowBlock() = default;

bool ThrowBlock::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate || kind != EVENT_ENTER) return false;
    StopBot(*m_bot);
    QueueThrow(*m_bot, ComputeThrowAim(BotPosition(*m_bot), m_target, Geometry::kZeroVector, 0.0f));
    RequestNextInPlan();
    return true;
}

}  // namespace AI
