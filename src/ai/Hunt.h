// The behaviour of a bot that goes after one opposing player and pelts them
// with blocks: walks a found path while the target is out of sight, closes
// in directly once it is in sight, throws when near enough and waits a short
// random time between throws. Ends when the target is dead or the pouch is
// empty.
#pragma once

#include "ai/sml/StateMachine.h"
#include "ai/Steering.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class BotGameView;

class Hunt : public StateMachine {
public:
    static constexpr const char* kName = "Hunt";
    enum Substate : int32_t { kWaitPath = 0, kWalkPath = 1, kInSight = 2, kPause = 3 };
    // Squared distance between the ground points of bot and target below
    // which the bot throws.
    static constexpr float kThrowRangeSquared = 750.0f;
    static constexpr long kPauseMinMs = 300;
    static constexpr long kPauseMaxMs = 800;
    static constexpr int32_t kSearchTimeOutMs = 750;

    // The target is not owned; the logic keeps its players for the match.
    Hunt(BotGameView* owner, GameLogicView::Player* target);
    ~Hunt() override;

    const PathWalk& GetPath() const { return m_path; }
    GameLogicView::Player* GetTarget() const { return m_target; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    // The target lives and the pouch holds a block.
    bool GoesOn() const;
    void SearchAgain();
    bool UpdateWalk();
    bool UpdateInSight();

    BotGameView* m_bot;
    PathWalk m_path;
    GameLogicView::Player* m_target;
};

}  // namespace AI
