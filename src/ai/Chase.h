// The behaviour of a bot attacking an opposing player it can see: a short
// random wait facing the target, then straight at it while it stays in sight
// and within sight range, a throw when within throwing range and a pause
// between throws. Ends when the target is lost, out of range or dead (with a
// taunt in a speech bubble), or the pouch is empty. Makes no path search.
#pragma once

#include "ai/sml/StateMachine.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class BotGameView;

class Chase : public StateMachine {
public:
    static constexpr const char* kName = "Chase";
    enum State : int32_t { kGettingReady = 0, kAttacking = 1, kPause = 2 };
    static constexpr long kPauseMinMs = 300;
    static constexpr long kPauseMaxMs = 800;
    static constexpr int32_t kTauntMs = 5000;
    static constexpr const char* kTauntSection = "TrashTalk";

    // The target is not owned; the logic keeps its players for the match.
    Chase(BotGameView* owner, GameLogicView::Player* target);
    ~Chase() override;

    GameLogicView::Player* GetTarget() const { return m_target; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void Attack();
    void FaceTarget();

    BotGameView* m_bot;
    GameLogicView::Player* m_target;
};

}  // namespace AI
