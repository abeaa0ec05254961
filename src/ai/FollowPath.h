// The behaviour that walks a bot to a point: either it asks the path search
// for a way to the point (and a goal box around it), or it is handed a ready
// path and walks it at once. Ends at the last point of the path; a failed
// search resets the bot.
#pragma once

#include "ai/sml/StateMachine.h"
#include "ai/Steering.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;

class FollowPath : public StateMachine {
public:
    static constexpr const char* kName = "FollowPath";
    enum Substate : int32_t { kWalking = 0, kWaitPath = 1 };
    static constexpr int32_t kSearchTimeOutMs = 5000;

    // To a point: the path is searched for when the machine is entered.
    FollowPath(BotGameView* owner, const Geometry::Vector3& goal, const Geometry::Vector3& halfExtents);
    // Along a ready path, walked without a search. Entered again, the machine
    // searches from where the bot stands to the path's last point with the
    // goal cell as the only goal.
    FollowPath(const Path& path, BotGameView* owner);
    ~FollowPath() override;

    // The goal box as cell offsets from the goal's cell, in place of the
    // half-extents (which centre it on the goal).
    void SetGoalBox(const Geometry::Vector3& low, const Geometry::Vector3& high) {
        m_boxLow = low;
        m_boxHigh = high;
        m_offsetBox = true;
    }
    bool HasGoalBox() const { return m_offsetBox; }
    const Geometry::Vector3& GoalBoxLow() const { return m_boxLow; }
    const Geometry::Vector3& GoalBoxHigh() const { return m_boxHigh; }

    const PathWalk& GetPath() const { return m_path; }
    const Geometry::Vector3& GetGoal() const { return m_goal; }
    bool SearchNeeded() const { return m_searchNeeded; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    BotGameView* m_bot;
    PathWalk m_path;
    Geometry::Vector3 m_goal{};
    bool m_searchNeeded;
    Geometry::Vector3 m_halfExtents{};
    Geometry::Vector3 m_boxLow{};
    Geometry::Vector3 m_boxHigh{};
    bool m_offsetBox = false;
};

}  // namespace AI
