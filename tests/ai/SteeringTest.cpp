// The steering the walking behaviours share: stepping along a path (reach,
// jumps, overshoot in both variants), the push away from teammates, headings,
// steps and turns towards a point.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ai/Steering.h"
#include "AIWorld.h"
#include "BotCommands.h"

using namespace AITest;
using AI::SteerVariant;

namespace {

constexpr float kEps = 1e-4f;

void ExpectNear(const Vector3& got, const Vector3& want, float eps = kEps) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

void ExpectSameTurn(const Quaternion& got, const Quaternion& want) {
    // q and -q are the same rotation.
    const float dot = got.w * want.w + got.x * want.x + got.y * want.y + got.z * want.z;
    EXPECT_NEAR(std::fabs(dot), 1.0f, kEps);
}

AI::Path MakePath(const std::vector<Vector3>& points) {
    AI::Path p;
    for (const Vector3& v : points) p.push_back(AI::PathPoint{v, false});
    return p;
}

class SteeringTest : public ::testing::Test {
protected:
    SteeringTest() { bot = world.AddBot(0, {0, 1.5f, 0}); }

    // One step along the path; the commands it raised are recorded.
    bool Step(AI::PathWalk& walk, SteerVariant variant) {
        cmds.Fresh();
        const bool done = AI::SteerAlongPath(*bot, walk, variant);
        cmds.Deliver();
        return done;
    }
    uint16_t id() const { return bot->GetActorId(); }
    AI::AISettings& settings() { return world.ai->GetSettings(); }

    AIWorld world;
    AI::BotGameView* bot = nullptr;
    BotCommands cmds;
};

}  // namespace

// ---------------------------------------------------------- SteerAlongPath

TEST_F(SteeringTest, LastWaypointWithinReachEndsTheWalkWithoutCommands) {
    // Squared distances to the only waypoint: 0.09 is within both reaches,
    // 0.16 only within the carry-over variant's 0.2.
    struct Case {
        SteerVariant variant;
        float offset;
        bool done;
    } cases[] = {
        {SteerVariant::kCarryOver, 0.3f, true},
        {SteerVariant::kLandOnPoints, 0.05f, true},
        {SteerVariant::kLandOnPoints, 0.3f, true},  // not reached, but overshot: the exact rest, then done
        {SteerVariant::kCarryOver, 0.44f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset);
        AI::PathWalk walk;
        walk.Start(MakePath({{c.offset, 1.5f, 0}}));
        EXPECT_EQ(Step(walk, c.variant), c.done);
    }
    // Reached ones raise nothing; an overshot last point raises the remainder.
    AI::PathWalk reached;
    reached.Start(MakePath({{0, 1.5f, 0.3f}}));
    EXPECT_TRUE(Step(reached, SteerVariant::kCarryOver));
    EXPECT_TRUE(cmds.Names(id()).empty());
    EXPECT_EQ(reached.points.size(), 1u);  // left in place, cursor at its end
    EXPECT_TRUE(reached.Finished());
    // Stepped again, a used-up path stays used up and raises nothing.
    EXPECT_TRUE(Step(reached, SteerVariant::kCarryOver));
    EXPECT_TRUE(cmds.Names(id()).empty());

    AI::PathWalk overshot;
    overshot.Start(MakePath({{0, 1.5f, 0.3f}}));
    EXPECT_TRUE(Step(overshot, SteerVariant::kLandOnPoints));
    EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtLActorMove"});  // no turn
    ExpectNear(cmds.Moves(id()).at(0), {0, 0, 0.3f});
    EXPECT_TRUE(overshot.points.empty());  // cleared
}

TEST_F(SteeringTest, EmptyPathIsUsedUp) {
    AI::PathWalk walk;
    EXPECT_TRUE(Step(walk, SteerVariant::kCarryOver));
    EXPECT_TRUE(cmds.Names(id()).empty());
}

TEST_F(SteeringTest, NormalStepTurnsAndMovesBotSpeedTowardsTheWaypoint) {
    settings().botSpeed = 2.0f;
    AI::PathWalk walk;
    walk.Start(MakePath({{3, 1.5f, 4}, {10, 1.5f, 10}}));
    EXPECT_FALSE(Step(walk, SteerVariant::kCarryOver));
    EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtlCommandActorTurn", "VtLActorMove"}));
    ExpectNear(cmds.Moves(id()).at(0), {1.2f, 0, 1.6f});
    ExpectSameTurn(cmds.Turns(id()).at(0), Facing(3, 4));
    EXPECT_EQ(walk.cursor, 0u);
}

TEST_F(SteeringTest, OneJumpForEachHigherPointPassed) {
    // The first point is reached at once, the second is a level higher.
    AI::PathWalk walk;
    walk.Start(MakePath({{0, 1.5f, 0.1f}, {0, 2.5f, 3}, {0, 2.5f, 6}}));
    EXPECT_FALSE(Step(walk, SteerVariant::kCarryOver));
    EXPECT_EQ(cmds.Jumps(id()), 1u);
    EXPECT_EQ(cmds.Names(id()).front(), "VtlCommandActorJump");
    EXPECT_EQ(walk.cursor, 1u);
    // Standing still, the same waypoint raises no second jump.
    EXPECT_FALSE(Step(walk, SteerVariant::kCarryOver));
    EXPECT_EQ(cmds.Jumps(id()), 0u);

    // Passed by an overshooting step, a higher next point also makes a jump.
    AI::PathWalk over;
    over.Start(MakePath({{0, 1.5f, 0.6f}, {0, 2.5f, 3}}));
    EXPECT_FALSE(Step(over, SteerVariant::kLandOnPoints));
    EXPECT_EQ(cmds.Jumps(id()), 1u);
}

TEST_F(SteeringTest, OvershootCarriesOnTowardsTheNextPointOrLandsOnTheWaypoint) {
    // Waypoint 0.6 ahead at the bot's height (squared 0.36, not reached), the
    // next one off to the side.
    struct Case {
        SteerVariant variant;
        Vector3 move;
    } cases[] = {
        {SteerVariant::kCarryOver, {0.4f, 0, 0.6f}},  // 0.4 beyond the waypoint, towards the next
        {SteerVariant::kLandOnPoints, {0, 0, 0.6f}},  // exactly onto the waypoint
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.variant));
        AI::PathWalk walk;
        walk.Start(MakePath({{0, 1.5f, 0.6f}, {5, 1.5f, 0.6f}}));
        EXPECT_FALSE(Step(walk, c.variant));
        EXPECT_EQ(walk.cursor, 1u);
        EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtlCommandActorTurn", "VtLActorMove"}));
        ExpectNear(cmds.Moves(id()).at(0), c.move);
        ExpectSameTurn(cmds.Turns(id()).at(0), Facing(c.move.x, c.move.z));
    }
}

TEST_F(SteeringTest, WaypointStraightOverheadIsPassedWithoutANumberFault) {
    // No horizontal remainder to the waypoint and not reached: the step
    // passes it and heads for the next one.
    AI::PathWalk walk;
    walk.Start(MakePath({{0, 2.5f, 0}, {0, 2.5f, 3}}));
    EXPECT_FALSE(Step(walk, SteerVariant::kCarryOver));
    EXPECT_EQ(walk.cursor, 1u);
    ASSERT_EQ(cmds.Moves(id()).size(), 1u);
    ExpectNear(cmds.Moves(id())[0], {0, 0, 1});
    for (const Quaternion& q : cmds.Turns(id())) EXPECT_TRUE(q.IsFinite());

    AI::PathWalk last;
    last.Start(MakePath({{0, 2.5f, 0}}));
    EXPECT_TRUE(Step(last, SteerVariant::kLandOnPoints));
    ASSERT_EQ(cmds.Moves(id()).size(), 1u);
    EXPECT_EQ(cmds.Moves(id())[0], Vector3{});
}

TEST_F(SteeringTest, AvoidanceChangesTheMoveLengthOnlyWhenATeammateIsNear) {
    settings().botSpeed = 2.0f;
    world.AddBot(0, {3, 1.5f, 0});  // 3 units to the side, same level
    AI::PathWalk walk;
    walk.Start(MakePath({{0, 1.5f, 10}, {0, 1.5f, 20}}));

    settings().obstacleAvoidance = false;
    Step(walk, SteerVariant::kCarryOver);
    EXPECT_NEAR(cmds.Moves(id()).at(0).Length(), 2.0f, kEps);

    settings().obstacleAvoidance = true;
    Step(walk, SteerVariant::kCarryOver);
    const Vector3 m = cmds.Moves(id()).at(0);
    EXPECT_NEAR(m.Length(), 1.0f, kEps);
    EXPECT_LT(m.x, 0.0f);  // pushed away from the teammate
}

// --------------------------------------------------------- AvoidTeammates

namespace {

// The bot at (0, 1.5, 0) of team 0 with the given teammates (bots, in this
// order) and an opponent close by; the desired move after avoidance.
Vector3 Avoid(const std::vector<Vector3>& mates, const Vector3& desired) {
    AIWorld w;
    AI::BotGameView* me = w.AddBot(0, {0, 1.5f, 0});
    for (const Vector3& m : mates) w.AddBot(0, m);
    w.AddBot(1, {1, 1.5f, 0});  // an opponent never pushes
    return AI::AvoidTeammates(*me, desired);
}

}  // namespace

TEST(AvoidTeammates, PushOnlyWhenNearAndOnTheSameLevel) {
    const Vector3 desired{0, 0, 2};
    struct Case {
        const char* name;
        Vector3 mate;
        bool pushes;
    } cases[] = {
        {"8 away", {8, 1.5f, 0}, false},
        {"exactly 7 away", {7, 1.5f, 0}, false},  // squared 49 is not below 49
        {"other level", {2, 2.5f, 0}, false},
        {"same whole level", {2, 1.9f, 0}, true},
        {"2 to the side", {2, 1.5f, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Vector3 got = Avoid({c.mate}, desired);
        if (c.pushes) {
            EXPECT_NEAR(got.Length(), 1.0f, kEps);
            EXPECT_LT(got.x, 0.0f);
        } else {
            EXPECT_EQ(got, desired);  // unchanged, not even normalised
        }
    }
}

TEST(AvoidTeammates, PushIsWeightedByInverseSquaredDistanceCappedAtThree) {
    // A teammate 2 to the side: k = 1/4, push (-1.25, 0, 0); desired (0, 0, 1)
    // is 90 degrees off, so no sidestep: (-1.25, 0, 1) normalised.
    ExpectNear(Avoid({{2, 1.5f, 0}}, {0, 0, 1}), Vector3(-1.25f, 0, 1).Normalized());
    // 0.1 to the side: 1/0.01 = 100 is capped at 3, push (-15, 0, 0).
    ExpectNear(Avoid({{0.1f, 1.5f, 0}}, {0, 0, 1}), Vector3(-15, 0, 1).Normalized());
}

TEST(AvoidTeammates, TeammateStraightAheadMakesTheBotSidestep) {
    // Teammate 2 ahead: away direction (0, 0, -1), 180 degrees from the
    // heading. Push (0, 0, -1.25); g = 0, so the sidestep is (q.z, 0, -q.x)
    // = (1, 0, 0) scaled to 1.25.
    ExpectNear(Avoid({{0, 1.5f, 2}}, {0, 0, 1}), Vector3(1.25f, 0, -0.25f).Normalized());
    // Slightly to the right of straight ahead (still inside the window): the
    // sidestep goes to the other side than for one slightly to the left.
    const Vector3 right = Avoid({{0.3f, 1.5f, 2}}, {0, 0, 1});
    const Vector3 left = Avoid({{-0.3f, 1.5f, 2}}, {0, 0, 1});
    EXPECT_LT(right.x, -0.5f);
    EXPECT_GT(left.x, 0.5f);
}

TEST(AvoidTeammates, TeammateOnTheVerySpotGivesUnitX) {
    // The first pushes; its push is dropped.
    EXPECT_EQ(Avoid({{3, 1.5f, 0}, {0, 1.5f, 0}}, {0, 0, 5}), Vector3(1, 0, 0));
}

TEST(AvoidTeammates, HumanTeammatesPushToo) {
    AIWorld w;
    AI::BotGameView* me = w.AddBot(0, {0, 1.5f, 0});
    w.AddHuman(0, {-2, 1.5f, 0});
    EXPECT_GT(AI::AvoidTeammates(*me, {0, 0, 1}).x, 0.0f);
}

TEST(AvoidTeammates, ZeroDesiredMoveStaysFinite) {
    const Vector3 got = Avoid({{0, 1.5f, 2}}, {0, 0, 0});
    EXPECT_TRUE(got.IsFinite());
    ExpectNear(got, {0, 0, -1});
}

// --------------------------------------------------------------- headings

TEST_F(SteeringTest, HeadingForStraightBackIsAHalfTurnAboutUp) {
    const Quaternion halfTurn = Quaternion::FromAxisAngle({0, 1, 0}, 3.1415927f);
    for (const Vector3& d : {Vector3{0, 0, -1}, Vector3{0.0009f, 0, -3}, Vector3{-0.0009f, 5, -0.2f}}) {
        SCOPED_TRACE(d.x);
        const Quaternion q = AI::HeadingTowards(d);
        EXPECT_EQ(q, halfTurn);
        ExpectNear(q.Rotate({0, 0, 1}), {0, 0, -1});
    }
    // Outside the band: the turn onto the flattened direction.
    ExpectSameTurn(AI::HeadingTowards({0.002f, 0, -1}), Facing(0.002f, -1));
    ExpectSameTurn(AI::HeadingTowards({1, 7, 0}), Facing(1, 0));
    ExpectNear(AI::HeadingTowards({1, 7, 0}).Rotate({0, 0, 1}), {1, 0, 0});
}

TEST_F(SteeringTest, FaceTowardsTurnsOnTheSpotWithTheNudge) {
    struct Case {
        Vector3 target;
        Vector3 facing;
    } cases[] = {
        {{0, 1.5f, 5}, {0.001f, 0, 5.001f}},   // straight ahead on z
        {{-4, 9.0f, 0}, {-3.999f, 0, 0.001f}},  // along x, height ignored
        {{3, 1.5f, 4}, {3, 0, 4}},              // no nudge
    };
    for (const Case& c : cases) {
        cmds.Fresh();
        AI::FaceTowards(*bot, c.target);
        cmds.Deliver();
        EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtlCommandActorTurn"});
        // Compared by where it turns the forward axis: the nudge shows in
        // the fourth decimal.
        ExpectNear(cmds.Turns(id()).at(0).Rotate({0, 0, 1}), c.facing.Normalized(), 1e-5f);
    }
}

TEST_F(SteeringTest, StepTowardsMovesOverTheGroundThenTurns) {
    settings().botSpeed = 1.5f;
    AI::FaceTowards(*bot, {0, 0, 1});  // nothing of this is recorded
    cmds.Fresh();
    AI::StepTowards(*bot, {3, 40.0f, 4});  // height makes no difference
    cmds.Deliver();
    EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "VtlCommandActorTurn"}));
    ExpectNear(cmds.Moves(id()).at(0), {0.9f, 0, 1.2f});
    EXPECT_EQ(cmds.Turns(id()).at(0), Quaternion::FromTo({0, 0, 1}, cmds.Moves(id()).at(0)));

    // A target straight overhead: no direction, so no move, and the nudged
    // facing keeps the turn finite.
    cmds.Fresh();
    AI::StepTowards(*bot, {0, 30.0f, 0});
    cmds.Deliver();
    EXPECT_EQ(cmds.Moves(id()).at(0), Vector3{});
    EXPECT_TRUE(cmds.Turns(id()).at(0).IsFinite());
}

TEST_F(SteeringTest, StopBotQueuesAZeroMoveForTheBotOnly) {
    cmds.Fresh();
    AI::StopBot(*bot);
    EXPECT_TRUE(cmds.Names(id()).empty());  // queued, not delivered at once
    cmds.Deliver();
    EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtLActorMove"});
    EXPECT_EQ(cmds.Stops(id()), 1u);
}

TEST(AvoidTeammates, OpponentsMeetingHeadOnStepAsideToOppositeSides) {
    // Two carriers of opposite teams walking into each other in a narrow gap
    // would push head-on for good: each steps to its own right, so they pass.
    AIWorld w;
    AI::BotGameView* east = w.AddBot(0, {0, 1.5f, 0});
    AI::BotGameView* west = w.AddBot(1, {1, 1.5f, 0});
    const Vector3 a = AI::AvoidTeammates(*east, {1, 0, 0});
    const Vector3 b = AI::AvoidTeammates(*west, {-1, 0, 0});
    EXPECT_NEAR(a.Length(), 1.0f, kEps);
    EXPECT_GT(a.x, -kEps);  // not pushed back
    EXPECT_GT(b.x * -1.0f, -kEps);
    EXPECT_GT(std::fabs(a.z), 0.5f);
    EXPECT_LT(a.z * b.z, 0.0f);  // opposite sides of the gap
    // Farther than 2, or not in the way, an opponent changes nothing.
    EXPECT_EQ(AI::AvoidTeammates(*east, {0, 0, 1}), Vector3(0, 0, 1));
    west->GetPlayer()->GetActor()->body->SetPosition({3, 1.5f, 0});
    EXPECT_EQ(AI::AvoidTeammates(*east, {1, 0, 0}), Vector3(1, 0, 0));
}

// A teammate's push never walks the bot into a wall the path did not lead
// it to: the part of the push towards the wall is dropped, and the bot
// slides along it.
TEST(AvoidTeammates, PushIntoAWallBecomesASlideAlongIt) {
    struct Case {
        const char* name;
        bool wall;        // a wall just west of the bot (world x -1..0)
        Vector3 desired;  // the path's move
        bool west;        // the answer still goes west
    } cases[] = {
        {"no wall: pushed west", false, {0, 0, 1}, true},
        {"wall: slides north", true, {0, 0, 1}, false},
        {"wall the path leads to: kept", true, {-1, 0, 1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AIWorld w;
        AI::BotGameView* me = w.AddBot(0, {0.5f, 1.5f, 0.5f});
        w.AddBot(0, {2.5f, 1.5f, 0.7f});  // pushes west (and a little south)
        if (c.wall) w.ai->GetSearchSpace().SetBoxOccupancy(-0.5f, 1.5f, 0.5f, 0.5f, 1.5f, 5.0f, true);
        const Vector3 got = AI::AvoidTeammates(*me, c.desired);
        EXPECT_NEAR(got.Length(), 1.0f, kEps);
        EXPECT_EQ(got.x < -1e-3f, c.west) << got.x;
        EXPECT_GT(got.z, 0.0f);
    }
}
