// What keeps bots from standing stuck: a straight walk is a path only where
// there is floor all along it, a waypoint on a ledge is climbed to (jump,
// rise, then walk on), a walk without headway ends, a block that will not
// come into the hand is given up, and the level's edge walls are in the
// bots' grid, so a search for an unreachable place stays inside the level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/FollowPath.h"
#include "ai/Guard.h"
#include "ai/Idle.h"
#include "ai/PickUpBlock.h"
#include "ai/SearchSpace.h"
#include "ai/Steering.h"
#include "BehaviourFixture.h"
#include "gamelogic/MatchFixture.h"

using namespace AITest;
using AI::SteerVariant;

namespace {

AI::Path MakePath(const std::vector<Vector3>& points) {
    AI::Path p;
    for (const Vector3& v : points) p.push_back(AI::PathPoint{v, false});
    return p;
}

class UnstuckTest : public BehaviourFixture {
protected:
    // One step along the path with the AI clock moved on by ms first.
    bool Step(AI::PathWalk& walk, SteerVariant variant, int ms = 16) {
        world.ai->Update(ms);
        cmds.Fresh();
        const bool done = AI::SteerAlongPath(*bot, walk, variant);
        cmds.Deliver();
        return done;
    }
};

using LevelWalls = MatchTest::MatchFixture;

class ShortcutTest : public BehaviourFixture {
protected:
    // The path a FollowPath to the goal finds from the bot's spot.
    AI::Path SearchedPath(const Vector3& goal) {
        auto walk = std::make_shared<AI::FollowPath>(bot, goal, Vector3(0, 0, 0));
        bot->SetPlan({walk});
        for (int i = 0; i < 20 && walk->GetPath().points.empty(); ++i) Frame();
        return walk->GetPath().points;
    }
};

// A bot whose walk stalls at a player in the way, and its next search.
class JamTest : public BehaviourFixture {
protected:
    AI::Path SearchedPath(const Vector3& goal) {
        auto walk = std::make_shared<AI::FollowPath>(bot, goal, Vector3(0, 0, 0));
        bot->SetPlan({walk});
        for (int i = 0; i < 20 && walk->GetPath().points.empty(); ++i) Frame();
        return walk->GetPath().points;
    }
};

}  // namespace

TEST_F(UnstuckTest, AWaypointOnALedgeIsClimbedToBeforeWalkingOn) {
    // A player's body as in the game: 3 high, its centre 1.5 above its feet,
    // level with the path points of its cell. A ledge one cell high at x 2..3.
    Me()->GetActor()->extents.y = 1.5f;
    Wall({2.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f});
    for (const SteerVariant v : {SteerVariant::kCarryOver, SteerVariant::kLandOnPoints}) {
        Place(Me(), {0.5f, 1.5f, 0.5f});
        Me()->airborne = 0;
        AI::PathWalk walk;
        // The bot's own cell, then a point on the ledge, then on along it.
        walk.Start(MakePath({{0.5f, 1.5f, 0.5f}, {2.5f, 2.5f, 0.5f}, {2.5f, 2.5f, 6.5f}}));
        EXPECT_FALSE(Step(walk, v));
        // On the ground at the ledge's foot: a jump (the point's own and the
        // climb's) and no step into the ledge's side.
        EXPECT_GE(cmds.Jumps(id()), 1u);
        EXPECT_EQ(cmds.Moves(id()).back(), Vector3{});
        // Rising: no further jump, still no step.
        Me()->airborne = 1;
        Place(Me(), {0.5f, 2.2f, 0.5f});  // feet at 0.7, below the ledge's top
        EXPECT_FALSE(Step(walk, v));
        EXPECT_EQ(cmds.Jumps(id()), 0u);
        EXPECT_EQ(cmds.Moves(id()), std::vector<Vector3>{Vector3{}});
        // Above the ledge's top: on towards the point.
        Place(Me(), {0.5f, 2.6f, 0.5f});
        EXPECT_FALSE(Step(walk, v));
        ASSERT_EQ(cmds.Moves(id()).size(), 1u);
        EXPECT_GT(cmds.Moves(id())[0].x, 0.5f);
    }

    // Far from the ledge the bot walks up to it first.
    Me()->airborne = 0;
    Place(Me(), {-4.5f, 1.5f, 0.5f});
    AI::PathWalk walk;
    walk.Start(MakePath({{2.5f, 2.5f, 0.5f}}));
    EXPECT_FALSE(Step(walk, SteerVariant::kLandOnPoints));
    EXPECT_EQ(cmds.Jumps(id()), 0u);
    EXPECT_GT(cmds.Moves(id()).at(0).x, 0.5f);
    // A higher point with nothing under it is no ledge to climb.
    AI::PathWalk air;
    air.Start(MakePath({{0.5f, 2.5f, 8.5f}}));
    Place(Me(), {0.5f, 1.5f, 7.5f});
    EXPECT_FALSE(Step(air, SteerVariant::kLandOnPoints));
    EXPECT_NE(cmds.Moves(id()).at(0), Vector3{});
}

// Passing a waypoint for a higher one takes a jump only from below that
// one. A carrier a step short of its capture point, searching its short
// walk afresh each time, used to jump at every start; the player's jumps
// come back in the air, so it climbed to the sky and hung there.
TEST_F(UnstuckTest, AHigherWaypointIsJumpedForOnlyFromBelowIt) {
    Me()->GetActor()->extents.y = 1.5f;
    Wall({1.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f});  // the higher point's ledge
    struct Case {
        const char* name;
        Vector3 at;
        uint8_t airborne;
        bool jumps;  // from the ground the climb to the ledge jumps as well
    };
    const Case cases[] = {
        {"standing on the lower point", {0.5f, 1.5f, 0.5f}, 0, true},
        {"standing just short of it", {0.2f, 1.5f, 0.5f}, 0, true},
        {"in the air level with the higher point", {0.5f, 2.5f, 0.5f}, 1, false},
        {"high above the lower point", {0.5f, 9.0f, 0.5f}, 1, false},
        {"high above, just short of it", {0.2f, 9.0f, 0.5f}, 1, false},
    };
    for (const SteerVariant v : {SteerVariant::kCarryOver, SteerVariant::kLandOnPoints})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            Place(Me(), c.at);
            Me()->airborne = c.airborne;
            AI::PathWalk walk;
            walk.Start(MakePath({{0.5f, 1.5f, 0.5f}, {1.5f, 2.5f, 0.5f}, {1.5f, 2.5f, 6.5f}}));
            EXPECT_FALSE(Step(walk, v));
            EXPECT_EQ(walk.cursor, 1u);
            EXPECT_EQ(cmds.Jumps(id()) > 0, c.jumps);
        }
}

TEST_F(UnstuckTest, AWalkWithoutHeadwayForThreeSecondsIsOver) {
    AI::PathWalk walk;
    walk.Start(MakePath({{0.5f, 1.5f, 20.5f}, {0.5f, 1.5f, 40.5f}}));
    // Held in place (something the grid does not know is in the way).
    int ms = 0;
    bool done = false;
    while (!done && ms < 5000) {
        done = Step(walk, SteerVariant::kLandOnPoints);
        ms += 16;
    }
    EXPECT_TRUE(done);
    EXPECT_GT(ms, static_cast<int>(AI::Steering::kStuckMs));
    EXPECT_LE(ms, static_cast<int>(AI::Steering::kStuckMs) + 48);
    EXPECT_TRUE(cmds.Moves(id()).empty());  // nothing queued with the end

    // Moving on, however slowly, keeps the walk going.
    walk.Start(MakePath({{0.5f, 1.5f, 20.5f}, {0.5f, 1.5f, 40.5f}}));
    Place(Me(), {0.5f, 0.5f, 0.5f});
    for (int t = 0; t < 6000; t += 16) {
        ASSERT_FALSE(Step(walk, SteerVariant::kLandOnPoints)) << t;
        Place(Me(), Me()->GetPosition() + Vector3(0, 0, 0.02f));
    }
}

TEST_F(UnstuckTest, ABlockThatWillNotComeIntoTheHandIsGivenUp) {
    // The bot stands on its target's spot: it turns but cannot touch it.
    const auto block = world.AddBlock({0.5f, 0.5f, 0.5f});
    Place(Me(), {0.5f, 1.5f, 0.5f});
    bot->SetTargetBlock(block->GetId());
    world.Team(0).ClaimBlock(block->GetId(), bot->GetActorId());
    auto pick = Plan(std::make_shared<AI::PickUpBlock>(bot));
    Fresh();
    int ms = 0;
    while (bot->GetTop() == pick || ms == 0) {
        Frame();
        ms += 16;
        if (ms > 7000) break;
    }
    EXPECT_GT(ms, static_cast<int>(AI::PickUpBlock::kGiveUpMs));
    EXPECT_LE(ms, static_cast<int>(AI::PickUpBlock::kGiveUpMs) + 64);
    EXPECT_FALSE(bot->GetTargetBlock());
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    // Still claimed, by the team now: the bot's reset did not free it.
    ASSERT_TRUE(world.Team(0).IsClaimed(block->GetId()));
    EXPECT_EQ(world.Team(0).GetClaims().at(block->GetId()), AI::TeamMan::kNoActor);
}

TEST_F(LevelWalls, TheLevelsEdgeWallsAreInTheBotsGrid) {
    GameLogicView::GlobalGameState::Instance()->SetFlag(GameLogicView::GlobalGameState::kSkipTutorial, 1);
    StartGame(0);
    AI::AIMan* ai = AI::AIMan::Instance();
    AI::SearchSpace& grid = ai->GetSearchSpace();
    // Shipped level 0: ground half size 50; walls from 50 to 60 on each side.
    for (const Vector3 p : {Vector3(51.5f, 0.5f, 0.5f), Vector3(-58.5f, 5.5f, 10.5f), Vector3(0.5f, 0.5f, 53.5f),
                            Vector3(-10.5f, 60.5f, -59.5f), Vector3(55.5f, 0.5f, 55.5f)}) {  // a corner too
        const Vector3 c = grid.WorldToCell(p);
        EXPECT_TRUE(grid.IsCellBlocked(c.x, c.y, c.z)) << p;
    }
    const Vector3 inside = grid.WorldToCell(30.5f, 0.5f, 30.5f);
    EXPECT_FALSE(grid.IsCellBlocked(inside.x, inside.y, inside.z));

    // A search for a place beyond the walls ends inside the level.
    ai->GetAStar().SetMillisecondClock([] { return uint64_t{0}; });
    ai->GetAStar().AddRequest(std::make_unique<AI::PathRequest>(grid, Vector3(30.5f, 0.5f, 30.5f),
                                                                Vector3(120.5f, 0.5f, 120.5f), 0xFFFF, 0.0f, 0.0f,
                                                                0.0f, 0, 750));
    for (int i = 0; i < 100 && ai->GetAStar().PendingCount() + ai->GetAStar().RunningCount() > 0; ++i)
        ai->GetAStar().Update();
    EXPECT_EQ(ai->GetAStar().StoredPathCount(), 0u);
    EXPECT_LT(ai->GetAStar().LastSearchNodeCount(), 64u * 64u * 20u);  // the level, not the whole grid
}

TEST_F(ShortcutTest, AStraightWalkOverAGapIsNoShortcut) {
    // Two terraces one cell high with a gap between them; the bot stands on
    // the west one (level 1), the goal lies on the east one (level 1).
    world.ai->GetSettings().jumpHeight = 3;  // down into the gap and up again
    Wall({-4.0f, 0.5f, 0.5f}, {2.0f, 0.5f, 3.0f});
    Wall({5.0f, 0.5f, 0.5f}, {2.0f, 0.5f, 3.0f});
    Place(Me(), {-3.5f, 1.5f, 0.5f});
    const AI::Path over = SearchedPath({4.5f, 1.5f, 0.5f});
    ASSERT_GE(over.size(), 3u);  // down into the gap and up again
    float lowest = over.front().position.y;
    for (const auto& p : over) lowest = std::min(lowest, p.position.y);
    EXPECT_LT(lowest, over.front().position.y);
    EXPECT_EQ(over.back().position.y, over.front().position.y);

    // On the floor the straight walk is still the whole answer.
    Restart();
    Place(Me(), {-3.5f, 0.5f, 10.5f});
    const AI::Path flat = SearchedPath({4.5f, 0.5f, 10.5f});
    EXPECT_EQ(flat.size(), 2u);
    // So is one along a terrace.
    Restart();
    Place(Me(), {-5.5f, 1.5f, -1.5f});
    EXPECT_EQ(SearchedPath({-2.5f, 1.5f, 2.5f}).size(), 2u);
}

// The grid knows no players: a bot whose walk stalls at one standing in a
// gap used to search the same straight line again and push on for good.
// The stalled walk notes the player's cells, and the next searches go round
// them for a while; then the straight walk is the answer again.
TEST_F(JamTest, AStalledWalkSearchesRoundThePlayerInTheWay) {
    const Vector3 goal{8.5f, 0.5f, 0.5f};
    Enemy({2.5f, 0.5f, 0.5f});  // right before the bot
    const AI::Path straight = SearchedPath(goal);
    ASSERT_EQ(straight.size(), 2u);

    // The bot does not move (the player holds it): the walk ends without
    // headway once kStuckMs have passed.
    AI::PathWalk walk;
    walk.Start(straight);
    bool ended = false;
    for (int t = 0; t <= static_cast<int>(AI::Steering::kStuckMs) + 500 && !ended; t += 16) {
        world.ai->Update(16);
        ended = AI::SteerAlongPath(*bot, walk, AI::SteerVariant::kCarryOver);
    }
    ASSERT_TRUE(ended);
    EXPECT_FALSE(bot->GetAvoidCells().empty());

    const AI::Path round = SearchedPath(goal);
    ASSERT_GT(round.size(), 2u);
    for (const auto& p : round)
        EXPECT_FALSE(p.position.x > 2.0f && p.position.x < 3.0f && p.position.z > 0.0f && p.position.z < 1.0f)
            << p.position.x << "," << p.position.z;

    // The memory fades: later searches take the straight line again.
    for (int t = 0; t <= static_cast<int>(AI::Steering::kJamMemoryMs); t += 100) world.ai->Update(100);
    EXPECT_EQ(SearchedPath(goal).size(), 2u);
}

// With nobody near, something the grid does not know lies in the way: the
// bot hops once after kHopMs (over a loose block or a lip), and a stall
// marks the cell ahead of it and the waypoint's own cell.
TEST_F(JamTest, AStallWithNobodyNearHopsOnceThenMarksTheWayAhead) {
    AI::PathWalk walk;
    walk.Start(MakePath({{0.5f, 0.5f, 0.5f}, {3.5f, 0.5f, 0.5f}}));
    Me()->airborne = 0;
    bool ended = false;
    size_t jumps = 0;
    int firstJumpAt = -1;
    for (int t = 0; t <= static_cast<int>(AI::Steering::kStuckMs) + 500 && !ended; t += 16) {
        world.ai->Update(16);
        cmds.Fresh();
        ended = AI::SteerAlongPath(*bot, walk, AI::SteerVariant::kCarryOver);
        cmds.Deliver();
        if (cmds.Jumps(id()) && firstJumpAt < 0) firstJumpAt = t;
        jumps += cmds.Jumps(id());
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(jumps, 1u);
    EXPECT_GE(firstJumpAt, static_cast<int>(AI::Steering::kHopMs) - 32);
    const AI::SearchSpace& grid = world.ai->GetSearchSpace();
    EXPECT_EQ(bot->GetAvoidCells(),
              (std::vector<Vector3>{grid.WorldToCell(1.5f, 0.5f, 0.5f), grid.WorldToCell(3.5f, 0.5f, 0.5f)}));
}

// A bot trapped where its searches cannot lead out (a pit with walls two
// blocks high, or placed blocks its grid no longer knows) used to stand there
// for the rest of the match. After kTrappedMs in one cell it rises straight
// up, jumping as often as it can, then runs one way; running while rising
// hit the pit's side in the air, which knocks a player back into the pit.
// A bot standing on a teammate's head (airborne for the logic) waited for a
// landing that never came. A guard at its post stands on.
TEST_F(UnstuckTest, ABotStandingInOneCellJumpsOutUnlessItGuards) {
    const int trapped = static_cast<int>(AI::BotGameView::kTrappedMs);
    const float rise = AI::BotGameView::kEscapeRise;
    auto horizontal = [](const std::vector<Vector3>& moves) {
        std::vector<Vector3> out;
        for (const Vector3& m : moves)
            if (m.x != 0.0f || m.z != 0.0f) out.push_back(m);
        return out;
    };
    struct Case {
        const char* name;
        bool guarding;
        // Standing on a player's head: the logic lands a player only on
        // blocks, so it stays airborne there.
        uint8_t airborne;
        // Hopping to and fro over a cell's edge, as a bot knocked back off
        // the sides of a trench does.
        bool hops;
    };
    float x = 0.5f;
    for (const Case c : {Case{"waiting", false, 0, false}, Case{"waiting on a teammate's head", false, 1, false},
                         Case{"hopping in place", false, 0, true}, Case{"guard at its post", true, 0, false}}) {
        SCOPED_TRACE(c.name);
        Restart();
        x += 8.0f;  // a cell of its own: the watch starts afresh
        const Vector3 start{x, 0.5f, 0.5f};
        Place(Me(), start);
        Me()->airborne = c.airborne;
        if (c.guarding) {
            bot->SetBehaviour("GUARD");
            Run(std::make_shared<AI::Guard>(bot));
        } else {
            bot->SetBehaviour("IDLE");
            Run(std::make_shared<AI::Idle>(bot, true));
        }
        for (int f = 0; f < (trapped - 500) / 16; f += 50) {
            Place(Me(), start + Vector3(c.hops && (f / 50) % 2 ? 0.8f : 0.0f, 0.0f, 0.0f));
            Frames(std::min(50, (trapped - 500) / 16 - f));
            EXPECT_EQ(cmds.Jumps(id()), 0u) << "jumped before its time";
        }
        Place(Me(), start);
        Frames(1000 / 16);
        if (c.guarding) {
            EXPECT_EQ(cmds.Jumps(id()), 0u);
            continue;
        }
        ASSERT_GE(cmds.Jumps(id()), 1u);
        EXPECT_TRUE(horizontal(cmds.Moves(id())).empty()) << "ran before rising";
        // Rising: it jumps on and still holds its place.
        Me()->airborne = 1;
        Place(Me(), start + Vector3(0.0f, rise - 0.5f, 0.0f));
        Frames(10);
        EXPECT_GE(cmds.Jumps(id()), 1u);
        EXPECT_TRUE(horizontal(cmds.Moves(id())).empty()) << "ran before rising";
        // High enough: it runs one way, jumping no more up there.
        Place(Me(), start + Vector3(0.0f, rise + 0.1f, 0.0f));
        Frames(2);
        ASSERT_FALSE(horizontal(cmds.Moves(id())).empty());
        const Vector3 way = horizontal(cmds.Moves(id())).front();
        EXPECT_FLOAT_EQ(std::abs(way.x) + std::abs(way.z), 1.0f);
        EXPECT_EQ(cmds.Jumps(id()), 0u);
        Frames(static_cast<int>(AI::BotGameView::kEscapeMs) / 16 + 2);
        EXPECT_EQ(cmds.Moves(id()).back(), Vector3{}) << "still running";
        // Back in the cell: the next try runs another way, even when it
        // cannot rise (the run starts after kRiseMs then).
        Place(Me(), start);
        Me()->airborne = c.airborne;
        Frames(trapped / 16 + 2);
        ASSERT_GE(cmds.Jumps(id()), 1u);
        EXPECT_TRUE(horizontal(cmds.Moves(id())).empty());
        Frames(static_cast<int>(AI::BotGameView::kRiseMs) / 16 + 2);
        ASSERT_FALSE(horizontal(cmds.Moves(id())).empty());
        EXPECT_FALSE(horizontal(cmds.Moves(id())).front() == way);
        Frames(static_cast<int>(AI::BotGameView::kEscapeMs) / 16 + 2);
        EXPECT_EQ(cmds.Moves(id()).back(), Vector3{}) << "still running";
    }
}

// Under a ceiling (it fell into a hollow below a base and a block closed the
// hole) the rise gets nowhere and only one side leads out. Each try waited
// the full kTrappedMs, so the fourth way came some forty seconds on; after a
// rise that got nowhere the next way is tried kRetryMs after the last try.
TEST_F(UnstuckTest, UnderACeilingEveryWayIsTriedWithinHalfAMinute) {
    const Vector3 start{8.5f, 0.5f, 0.5f};
    Place(Me(), start);
    bot->SetBehaviour("IDLE");
    Run(std::make_shared<AI::Idle>(bot, true));
    std::vector<Vector3> ways;
    std::vector<int> startedAt;  // ms after it began to stand
    int ms = 0;
    bool running = false;
    while (ms < 45000 && ways.size() < 4) {
        Place(Me(), start);  // it never gets anywhere: walls round, a ceiling above
        Frames(1);
        ms += 16;
        Vector3 way{};
        for (const Vector3& m : cmds.Moves(id()))
            if (m.x != 0.0f || m.z != 0.0f) way = m;
        const bool runs = way.x != 0.0f || way.z != 0.0f;
        if (runs && !running) {
            ways.push_back(way);
            startedAt.push_back(ms);
        }
        running = runs;
    }
    ASSERT_EQ(ways.size(), 4u) << "tries in 45 s";
    for (size_t i = 0; i < ways.size(); ++i)
        for (size_t j = i + 1; j < ways.size(); ++j) EXPECT_FALSE(ways[i] == ways[j]) << i << " and " << j;
    EXPECT_LT(startedAt.back(), 30000) << "the fourth way";
    // The first try still waits the whole kTrappedMs.
    EXPECT_GE(startedAt.front(), static_cast<int>(AI::BotGameView::kTrappedMs));
}
