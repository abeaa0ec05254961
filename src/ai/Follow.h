// Two behaviours that walk a bot up to another player: Follow keeps the bot
// at its place in a squad (a point held at a fixed offset from the leader,
// turned with the leader) for as long as it runs; Approach walks the bot up
// to a player and ends once it is near enough. Both wait for a path, walk it,
// and head straight for the goal while it is in sight.
#pragma once

#include "ai/sml/StateMachine.h"
#include "ai/Steering.h"
#include "utility/Geometry.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class BotGameView;

namespace Walk {
enum Substate : int32_t { kWaitPath = 0, kWalkPath = 1, kInSight = 2 };
constexpr int32_t kSearchTimeOutMs = 750;
}  // namespace Walk

class Follow : public StateMachine {
public:
    static constexpr const char* kName = "Follow";
    // Squared ground distances within which the follower stands still: at
    // its place, or at the leader when its place is blocked.
    static constexpr float kArrivedAtPlace = 0.5f;
    static constexpr float kArrivedAtLeader = 10.0f;

    // The leader is not owned; the offset is in the leader's own frame.
    Follow(BotGameView* owner, GameLogicView::Player* leader, float offsetX, float offsetY, float offsetZ);
    ~Follow() override;

    const PathWalk& GetPath() const { return m_path; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    struct Goal {
        Geometry::Vector3 ground;
        Geometry::Vector3 cell;
        bool isPlace;  // the follow point, not the leader
    };
    Goal ComputeGoal() const;
    void SearchAgain(const Goal& goal);

    BotGameView* m_bot;
    PathWalk m_path;
    GameLogicView::Player* m_leader;
    Geometry::Vector3 m_offset;
};

class Approach : public StateMachine {
public:
    static constexpr const char* kName = "Approach";

    // The target is not owned. distance is compared with the squared
    // distance of the bodies while waiting or walking a path, and squared
    // with the squared distance of the ground points while in sight.
    Approach(BotGameView* owner, GameLogicView::Player* target, float distance);
    ~Approach() override;

    const PathWalk& GetPath() const { return m_path; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void SearchAgain(const Geometry::Vector3& goalGround);
    // Near enough by the bodies' squared distance: next in plan and stop.
    bool EndWhenNear();

    BotGameView* m_bot;
    PathWalk m_path;
    GameLogicView::Player* m_target;
    float m_distance;
};

}  // namespace AI
