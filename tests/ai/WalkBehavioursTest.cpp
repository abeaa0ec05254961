// The walking behaviours and the one-shot throw: FollowPath (a ready path or
// a searched one, landing on every point), Follow (a place beside the leader,
// turned with the leader, or the leader when the place is in a wall),
// Approach (ends near the target) and ThrowBlock (one throw at its enter).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ai/Follow.h"
#include "ai/FollowPath.h"
#include "ai/ThrowBlock.h"
#include "BehaviourFixture.h"
#include "ai/TeamMan.h"

using namespace AITest;

namespace {

void ExpectNear(const Vector3& got, const Vector3& want, float eps = 1e-4f) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

AI::Path MakePath(const std::vector<Vector3>& points) {
    AI::Path p;
    for (const Vector3& v : points) p.push_back(AI::PathPoint{v, false});
    return p;
}

size_t Searches(const AIWorld& w) { return w.ai->GetAStar().PendingCount() + w.ai->GetAStar().RunningCount(); }

using FollowPathTest = BehaviourFixture;
using FollowTest = BehaviourFixture;
using ApproachTest = BehaviourFixture;
using ThrowBlockTest = BehaviourFixture;

}  // namespace

// -------------------------------------------------------------- FollowPath

TEST_F(FollowPathTest, ReadyPathIsWalkedWithoutSearchLandingOnEachPoint) {
    walker = true;
    const AI::Path path = MakePath({{0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 2.8f}, {2.3f, 0.5f, 2.8f}});
    auto walk = Plan(std::make_shared<AI::FollowPath>(path, bot));
    EXPECT_EQ(walk->GetName(), "FollowPath");
    ExpectNear(walk->GetGoal(), {2.3f, 0.5f, 2.8f});

    std::vector<Vector3> positions;
    Fresh();
    for (int i = 0; i < 20 && !AskedNext(); ++i) {
        Frame();
        positions.push_back(Me()->GetPosition());
    }
    cmds.Deliver();
    ASSERT_TRUE(AskedNext());
    EXPECT_EQ(Searches(world), 0u);
    // The overshooting step to the corner lands on it exactly.
    bool landed = false;
    for (const Vector3& p : positions) landed = landed || (p - Vector3(0.5f, 0.5f, 2.8f)).LengthSquared() < 1e-8f;
    EXPECT_TRUE(landed);
    // The last step's remainder is followed by the stop.
    const auto moves = cmds.Moves(id());
    ASSERT_GE(moves.size(), 2u);
    ExpectNear(moves[moves.size() - 2], {2.3f - Me()->GetPosition().x, 0, 0});
    EXPECT_EQ(moves.back(), Vector3{});
    EXPECT_LT((Me()->GetPosition() - Vector3(2.3f, 0.5f, 2.8f)).Length(), 1.0f);
    Frame();
    EXPECT_NE(bot->GetTop(), walk);  // the plan moved on
}

TEST_F(FollowPathTest, SearchedPathLeadsRoundAWallToThePoint) {
    walker = true;
    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    auto walk = Plan(std::make_shared<AI::FollowPath>(bot, Vector3(0.5f, 0.5f, 10.5f), Vector3(0, 0, 0)));
    Fresh();
    Frame();  // entered: stop and search
    cmds.Deliver();
    EXPECT_EQ(walk->GetSubstate(), AI::FollowPath::kWaitPath);
    EXPECT_EQ(Searches(world), 1u);
    EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtLActorMove"});

    for (int i = 0; i < 60 && !AskedNext(); ++i) Frame();
    ASSERT_TRUE(AskedNext());
    const Vector3 left = Me()->GetPosition() - Vector3(0.5f, 0.5f, 10.5f);
    EXPECT_LT(std::hypot(left.x, left.z), 1.0f);
}

TEST_F(FollowPathTest, SearchAnswersWhileWaiting) {
    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    SlowSearches();  // the real search must not answer here
    auto walk = Run(std::make_shared<AI::FollowPath>(bot, Vector3(0.5f, 0.5f, 30.5f), Vector3(1, 0, 1)));
    ASSERT_EQ(walk->GetSubstate(), AI::FollowPath::kWaitPath);

    // An answer nobody holds: the bot keeps standing, waiting.
    Tell(MSG_SEARCH_SUCCESS, 4242);
    Frames(5);
    EXPECT_EQ(walk->GetSubstate(), AI::FollowPath::kWaitPath);
    EXPECT_TRUE(cmds.Names(id()).empty());
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);

    // A failure resets the bot.
    Tell(MSG_SEARCH_FAILURE);
    EXPECT_TRUE(AskedReset());
}

TEST_F(FollowPathTest, FailureWhileWalkingIsIgnoredAndASecondEnterSearches) {
    const AI::Path path = MakePath({{0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 9.5f}});
    auto walk = std::make_shared<AI::FollowPath>(path, bot);
    EXPECT_FALSE(walk->SearchNeeded());
    Run(walk);
    EXPECT_TRUE(walk->SearchNeeded());  // for a later enter
    EXPECT_EQ(walk->GetSubstate(), AI::FollowPath::kWalking);
    EXPECT_EQ(Searches(world), 0u);
    Tell(MSG_SEARCH_FAILURE);
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);

    // Entered again, it searches from where the bot stands to the path's end.
    Restart();
    Run(walk);
    EXPECT_EQ(walk->GetSubstate(), AI::FollowPath::kWaitPath);
    EXPECT_EQ(Searches(world), 1u);
    Frame();
    Frame();
    EXPECT_EQ(walk->GetSubstate(), AI::FollowPath::kWalking);  // in sight: a two-point path
    ExpectNear(walk->GetPath().points.back().position, {0.5f, 1.5f, 9.5f});
}

// ------------------------------------------------------------------ Follow

TEST(FollowPlace, StopsAtItsPlaceOrNearTheLeaderWhenThePlaceIsInAWall) {
    // Leader at (0.5, 0.5, 10.5) facing +z; place 2 behind it.
    struct Case {
        const char* name;
        bool placeInWall;
        Vector3 botAt;
        bool stops;
        Vector3 move;  // when it does not stop
    } cases[] = {
        {"at its place", false, {0.5f, 0.5f, 9.1f}, true, {}},      // 0.36 from the place
        {"near its place", false, {0.5f, 0.5f, 7.7f}, false, {0, 0, 1}},  // 0.64
        {"near the leader", true, {3.5f, 0.5f, 10.5f}, true, {}},  // 9 from the leader
        {"off the leader", true, {3.8f, 0.5f, 10.5f}, false, {-1, 0, 0}},  // 10.89
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AIWorld w;
        w.ai->GetSettings().disableBots = true;
        AI::BotGameView* me = w.AddBot(0, c.botAt);
        w.Spawn(me);
        GameLogicView::Player* leader = w.AddBot(0, {0.5f, 0.5f, 10.5f}, Facing(0, 1))->GetPlayer();
        if (c.placeInWall) w.ai->GetSearchSpace().SetBoxOccupancy(0.5f, 1.5f, 8.5f, 0.5f, 1.5f, 0.5f, true);
        BotCommands rec;
        auto follow = std::make_shared<AI::Follow>(me, leader, 0.0f, 0.0f, -2.0f);
        me->PushMachine(follow);
        EXPECT_EQ(follow->GetSubstate(), AI::Walk::kInSight);
        rec.Fresh();
        me->OnUpdate(16);
        rec.Deliver();
        const auto moves = rec.Moves(me->GetActorId());
        ASSERT_EQ(moves.size(), 1u);
        if (c.stops) {
            EXPECT_EQ(moves[0], Vector3{});
            EXPECT_EQ(rec.Names(me->GetActorId()), std::vector<std::string>{"VtLActorMove"});
        } else {
            ExpectNear(moves[0], c.move);
            EXPECT_EQ(rec.Names(me->GetActorId()), (std::vector<std::string>{"VtLActorMove", "VtlCommandActorTurn"}));
        }
        EXPECT_EQ(follow->GetSubstate(), AI::Walk::kInSight);
    }
}

TEST_F(FollowTest, ArrivedFollowerStandsUntilTheLeaderMovesAway) {
    GameLogicView::Player* leader = world.AddBot(0, {0.5f, 0.5f, 2.5f}, Facing(0, 1))->GetPlayer();
    auto follow = Run(std::make_shared<AI::Follow>(bot, leader, 0.0f, 0.0f, -2.0f));
    Frames(10);
    EXPECT_EQ(cmds.Stops(id()), 10u);
    EXPECT_EQ(cmds.Moves(id()).size(), 10u);
    EXPECT_EQ(follow->GetSubstate(), AI::Walk::kInSight);
    EXPECT_FALSE(AskedNext());  // never ends by itself

    Place(leader, {0.5f, 0.5f, 8.5f});
    Frames(1);
    ExpectNear(cmds.Moves(id()).at(0), {0, 0, 1});
}

TEST_F(FollowTest, PlaceTurnsWithTheLeader) {
    // Leader facing +x: an offset of (0, 0, -2) lies at leader - (2, 0, 0).
    // The bot stands straight below that place in z, so it walks along +z;
    // unturned, the place would lie off to the side.
    GameLogicView::Player* leader = world.AddBot(0, {10.5f, 0.5f, 10.5f}, Facing(1, 0))->GetPlayer();
    Place(Me(), {8.5f, 0.5f, 5.5f});
    Run(std::make_shared<AI::Follow>(bot, leader, 0.0f, 0.0f, -2.0f));
    Frames(1);
    ExpectNear(cmds.Moves(id()).at(0), {0, 0, 1});
    // Facing along z exactly: the heading is nudged off the axis.
    ExpectNear(cmds.Turns(id()).at(0).Rotate({0, 0, 1}), Vector3(0.001f, 0, 1.001f).Normalized(), 1e-5f);
}

TEST_F(FollowTest, HiddenLeaderMeansStopAndSearchAgainAlsoAfterAFailure) {
    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    GameLogicView::Player* leader = world.AddBot(0, {0.5f, 0.5f, 10.5f}, Facing(0, 1))->GetPlayer();
    auto follow = Run(std::make_shared<AI::Follow>(bot, leader, 0.0f, 0.0f, -2.0f));
    world.ai->GetSettings().maxSearches = 1;
    SlowSearches();

    Frames(1);
    EXPECT_EQ(follow->GetSubstate(), AI::Walk::kWaitPath);
    EXPECT_GE(cmds.Stops(id()), 1u);
    for (const Vector3& m : cmds.Moves(id())) EXPECT_EQ(m, Vector3{});
    const size_t before = Searches(world);
    EXPECT_EQ(before, 1u);

    Tell(MSG_SEARCH_FAILURE);  // no reset: search again, still waiting
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);
    EXPECT_EQ(Searches(world), before + 1);
    EXPECT_EQ(follow->GetSubstate(), AI::Walk::kWaitPath);
}

// ---------------------------------------------------------------- Approach

TEST_F(ApproachTest, EndsByTheBodiesDistanceWhileWaitingAndByTheGroundDistanceInSight) {
    // D = 4: substates 0 and 1 compare the squared body distance with 4,
    // substate 2 the squared ground distance with 16.
    struct Case {
        int32_t substate;
        float distance;
        bool ends;
    } cases[] = {
        {AI::Walk::kInSight, 3.0f, true},    // 9 < 16
        {AI::Walk::kInSight, 4.1f, false},   // 16.81
        {AI::Walk::kWaitPath, 1.9f, true},   // 3.61 < 4
        {AI::Walk::kWaitPath, 3.0f, false},  // 9: heads straight for it instead
        {AI::Walk::kWalkPath, 1.9f, true},
        {AI::Walk::kWalkPath, 3.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.substate << " at " << c.distance);
        GameLogicView::Player* target = world.AddHuman(0, {0.5f + c.distance, 0.5f, 0.5f});
        auto approach = Run(std::make_shared<AI::Approach>(bot, target, 4.0f));
        EXPECT_EQ(approach->GetName(), "Approach");
        if (c.substate != AI::Walk::kInSight) ToSubstate(*approach, c.substate);
        Fresh();
        Frame();
        cmds.Deliver();
        EXPECT_EQ(AskedNext(), c.ends);
        if (c.ends) {
            EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtLActorMove"});
            EXPECT_EQ(cmds.Stops(id()), 1u);
        } else if (c.substate == AI::Walk::kInSight) {
            ExpectNear(cmds.Moves(id()).at(0), {1, 0, 0});
        } else {
            EXPECT_EQ(approach->GetSubstate(), AI::Walk::kInSight);
        }
        Restart();
        Place(target, {200.5f, 0.5f, 200.5f});
    }
}

TEST_F(ApproachTest, TargetBehindAWallSendsTheBotBackToWaitStanding) {
    GameLogicView::Player* target = world.AddHuman(0, {0.5f, 0.5f, 10.5f});
    auto approach = Run(std::make_shared<AI::Approach>(bot, target, 4.0f));
    Frames(1);
    ExpectNear(cmds.Moves(id()).at(0), {0, 0, 1});  // straight at it

    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    SlowSearches();
    Frames(3);
    EXPECT_EQ(approach->GetSubstate(), AI::Walk::kWaitPath);
    EXPECT_GE(cmds.Stops(id()), 1u);
    for (const Vector3& m : cmds.Moves(id())) EXPECT_EQ(m, Vector3{});
    EXPECT_TRUE(cmds.Turns(id()).empty());

    const size_t before = Searches(world);
    Tell(MSG_SEARCH_FAILURE);  // no reset: searched again
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);
    EXPECT_EQ(Searches(world), before + 1);
}

TEST_F(ApproachTest, WalksAPathRoundAWallAndEndsNearTheTarget) {
    walker = true;
    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    GameLogicView::Player* target = world.AddHuman(0, {0.5f, 0.5f, 14.5f});
    auto approach = Plan(std::make_shared<AI::Approach>(bot, target, 4.0f));
    bool walkedAPath = false;
    for (int i = 0; i < 60 && !AskedNext(); ++i) {
        Frame();
        walkedAPath = walkedAPath || approach->GetSubstate() == AI::Walk::kWalkPath;
    }
    EXPECT_TRUE(walkedAPath);
    ASSERT_TRUE(AskedNext());
    EXPECT_LT((Me()->GetPosition() - target->GetPosition()).Length(), 4.0f);
}

// -------------------------------------------------------------- ThrowBlock

TEST_F(ThrowBlockTest, OneThrowAtTheEnterAndNoneOnUpdate) {
    struct Case {
        int blocks;  // the machine throws whether or not the bot has one
        Vector3 target;
    } cases[] = {{2, {10.5f, 3.5f, -4.5f}}, {0, {0.5f, 0.5f, 20.5f}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks);
        Me()->pouch.clear();
        GiveBlocks(c.blocks);
        auto t = Run(std::make_shared<AI::ThrowBlock>(bot, c.target.x, c.target.y, c.target.z));
        EXPECT_EQ(t->GetName(), "ThrowBlock");
        cmds.Deliver();
        EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "LtoVCommandThrowBlock"}));
        EXPECT_EQ(cmds.Stops(id()), 1u);
        ExpectNear(cmds.Throws(id()).at(0), AI::ComputeThrowAim(Me()->GetPosition(), c.target, {}, 0.0f));
        EXPECT_TRUE(AskedNext());
        cmds.Clear();
        t->Update();
        t->Update();
        cmds.Deliver();
        EXPECT_TRUE(cmds.Names(id()).empty());
        Restart();
    }
}

TEST_F(ThrowBlockTest, TwoInARowThrowTwiceTheSecondAfterThePlanAdvanced) {
    GiveBlocks(2);
    auto first = std::make_shared<AI::ThrowBlock>(bot, 0.5f, 0.5f, 20.5f);
    auto second = std::make_shared<AI::ThrowBlock>(bot, 20.5f, 0.5f, 0.5f);
    bot->SetPlan({first, second});
    Fresh();
    // The bot applies its stack requests one after another in one update:
    // the first throws and asks for the next, the second throws and asks
    // for the next, and the plan is over.
    Frame();
    cmds.Deliver();
    const auto throws = cmds.Throws(id());
    ASSERT_EQ(throws.size(), 2u);
    ExpectNear(throws[0], AI::ComputeThrowAim(Me()->GetPosition(), {0.5f, 0.5f, 20.5f}, {}, 0.0f));
    ExpectNear(throws[1], AI::ComputeThrowAim(Me()->GetPosition(), {20.5f, 0.5f, 0.5f}, {}, 0.0f));
    const auto names = cmds.Names(id());
    const std::vector<std::string> start(names.begin(), names.begin() + 4);
    EXPECT_EQ(start, (std::vector<std::string>{"VtLActorMove", "LtoVCommandThrowBlock", "VtLActorMove",
                                               "LtoVCommandThrowBlock"}));
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    Frames(3);
    EXPECT_TRUE(cmds.Throws(id()).empty());
}
