#include "ai/TouchFlag.h"

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/Steering.h"
#include "gamelogic/FlagMan.h"

namespace AI {

TouchFlag::TouchFlag(BotGameView* bot, uint16_t flagId) : StateMachine(bot, kName), m_bot(bot), m_flag(flagId) {}
TouchFlag::~TouchFlag() = default;

bool TouchFlag::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate || !m_bot) return false;
    if (kind == EVENT_ENTER) return true;
    if (kind == EVENT_UPDATE) {
        Step();
        return true;
    }
    return false;
}

void TouchFlag::Step() {
    const AIMan* ai = AIMan::Instance();
    GameLogicView::FlagMan* flags = ai ? ai->GetFlagMan() : nullptr;
    const GameLogicView::Flag* flag = flags ? flags->GetFlag(m_flag) : nullptr;
    if (!flag || flag->GetState() != GameLogicView::FlagState::kDropped) {
        RequestOwnerReset();
        return;
    }
    const Geometry::Vector3 flagPos = flag->GetPosition();
    const Geometry::Vector3 botPos = BotPosition(*m_bot);
    if (!InSight(CellOf(GroundPoint(botPos)), CellOf(GroundPoint(flagPos)))) {
        RequestOwnerReset();
        return;
    }
    Geometry::Vector3 d = flagPos - botPos;
    d.y = 0.0f;
    // On an axis the whole remaining difference is one move.
    if (d.x != 0.0f && d.z != 0.0f) {
        const float speed = ai->GetSettings().botSpeed;
        d = d.Normalized() * speed;
    }
    QueueMove(*m_bot, d);
    QueueTurn(*m_bot, Geometry::Quaternion::FromTo(Geometry::Vector3(0.0f, 0.0f, 1.0f), d));
}

}  // namespace AI
