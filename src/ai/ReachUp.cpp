#include "ai/ReachUp.h"

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/Steering.h"
#include "gamelogic/Player.h"

namespace AI {

ReachUp::ReachUp(BotGameView* bot, float topY) : StateMachine(bot, kName), m_bot(bot), m_topY(topY) {}
ReachUp::~ReachUp() = default;

bool ReachUp::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate || !m_bot) return false;
    const AIMan* ai = AIMan::Instance();
    const uint64_t now = ai ? ai->GetClock().Now() : 0;
    if (kind == EVENT_ENTER) {
        m_began = now;
        StopBot(*m_bot);
        return true;
    }
    if (kind != EVENT_UPDATE) return false;
    const GameLogicView::Player* player = m_bot->GetPlayer();
    // Captured (or lost) already, or long enough at it: the plan goes on.
    if (!player || !m_bot->GetPerception().holdingFlag || now - m_began >= kReachMs) {
        RequestNextInPlan();
        return true;
    }
    StopBot(*m_bot);
    // Never above the point: jumps that come back in the air would
    // otherwise climb on for as long as the carrier stays.
    if (player->GetPosition().y < m_topY && player->CanJump()) QueueJump(*m_bot);
    return true;
}

}  // namespace AI
