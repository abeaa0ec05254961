// The team's attack planner: one request at a time, the nearest enemy flag at
// home as target, a walk along the found way into the flag, or a plan to
// breach the walls the search ran into.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ai/FollowPath.h"
#include "ai/Hunt.h"
#include "ai/StrategyMan.h"
#include "ai/ThrowBlock.h"
#include "AIWorld.h"

using namespace AITest;
using AI::BotGameView;
using AI::StrategyMan;

namespace {

class StrategyTest : public ::testing::Test {
protected:
    StrategyTest() {
        world.ai->GetSettings().disableBots = true;  // the test drives the planner
        world.ai->GetSettings().aStarTimeSlice = 5;
        // The searches here are small and must end in their first slice:
        // a frozen clock keeps a busy machine from cutting a slice short.
        world.ai->GetAStar().SetMillisecondClock([] { return uint64_t{0}; });
        planner = dynamic_cast<StrategyMan*>(world.Team(0).GetPlanner());
    }
    BotGameView* Asking(const Vector3& at) {
        BotGameView* bot = world.AddBot(0, at);
        world.Spawn(bot);
        bot->StoreRole(AI::Role::kAttacker);
        bot->SetBehaviour("STRATEGY");
        bot->GetPerception().blocksInPouch = 3;
        return bot;
    }
    void Ask(BotGameView* bot) { world.Team(0).RequestStrategy(bot->GetActorId(), bot->GetPlayer()->GetPosition()); }
    static void Place(BotGameView* bot, const Vector3& at) { bot->GetPlayer()->GetActor()->body->SetPosition(at); }
    // The planner's step, then the search manager's (as the next AI step
    // begins with the searches).
    void Step() {
        planner->Step();
        world.ai->GetAStar().Update();
    }
    static std::vector<std::string> PlanOf(const BotGameView* bot) {
        std::vector<std::string> out;
        for (const auto& m : bot->GetPlan()) out.push_back(m->GetName());
        return out;
    }
    // A ring of wall too high to climb around a square (half size in cells).
    void WallRound(const Vector3& centre, float half) {
        auto& grid = world.ai->GetSearchSpace();
        for (float d = -half; d <= half; d += 1.0f) {
            grid.SetBoxOccupancy(centre.x + d, 3.0f, centre.z - half, 0.5f, 3.0f, 0.5f, true);
            grid.SetBoxOccupancy(centre.x + d, 3.0f, centre.z + half, 0.5f, 3.0f, 0.5f, true);
            grid.SetBoxOccupancy(centre.x - half, 3.0f, centre.z + d, 0.5f, 3.0f, 0.5f, true);
            grid.SetBoxOccupancy(centre.x + half, 3.0f, centre.z + d, 0.5f, 3.0f, 0.5f, true);
        }
    }

    AIWorld world;
    StrategyMan* planner = nullptr;
};

}  // namespace

TEST_F(StrategyTest, TargetIsTheNearestEnemyFlagAtHome) {
    GameLogicView::Flag* far = world.AddFlag(1, {0.5f, 0.5f, 30.5f});
    GameLogicView::Flag* near = world.AddFlag(1, {0.5f, 0.5f, 20.5f});
    world.AddFlag(0, {0.5f, 0.5f, 2.5f});  // own flags never
    EXPECT_EQ(planner->ChooseTarget({0.5f, 0.5f, 0.5f}), near->GetId());
    near->SetState(GameLogicView::FlagState::kDropped);
    EXPECT_EQ(planner->ChooseTarget({0.5f, 0.5f, 0.5f}), far->GetId());
    far->SetState(GameLogicView::FlagState::kCarried);
    EXPECT_FALSE(planner->ChooseTarget({0.5f, 0.5f, 0.5f}));
}

TEST_F(StrategyTest, RequestsAreServedOneAtATimeWithAWalkIntoTheFlag) {
    GameLogicView::Flag* flag = world.AddFlag(1, {0.5f, 0.5f, 12.5f});
    BotGameView* first = Asking({0.5f, 0.5f, 0.5f});
    BotGameView* second = Asking({3.5f, 0.5f, 0.5f});
    Ask(first);
    Ask(second);

    Step();  // the first request's search starts and answers
    EXPECT_FALSE(planner->IsReady());
    EXPECT_EQ(planner->GetState(), StrategyMan::kPathReady);
    ASSERT_EQ(planner->GetRequests().size(), 2u);
    EXPECT_TRUE(first->GetPlan().empty());

    Step();  // the first gets its walk; the second waits
    EXPECT_EQ(PlanOf(first), std::vector<std::string>{"FollowPath"});
    EXPECT_TRUE(second->GetPlan().empty());
    ASSERT_TRUE(first->GetTargetBlock());
    EXPECT_EQ(*first->GetTargetBlock(), flag->GetId());
    const auto& walk = dynamic_cast<const AI::FollowPath&>(*first->GetPlan()[0]);
    ASSERT_GE(walk.GetPath().points.size(), 2u);
    // The walk ends in the flag itself, where the flag checks hand it over.
    const Vector3 last = walk.GetPath().points.back().position;
    EXPECT_EQ(last.x, 0.5f);
    EXPECT_EQ(last.z, 12.5f);
    EXPECT_TRUE(planner->IsReady());
    ASSERT_EQ(planner->GetRequests().size(), 1u);

    Step();
    Step();
    EXPECT_EQ(PlanOf(second), std::vector<std::string>{"FollowPath"});
    EXPECT_TRUE(planner->GetRequests().empty());
}

TEST_F(StrategyTest, WithoutAFlagAtHomeTheRequestWaitsAtTheFront) {
    GameLogicView::Flag* flag = world.AddFlag(1, {0.5f, 0.5f, 12.5f});
    flag->SetState(GameLogicView::FlagState::kCarried);
    BotGameView* bot = Asking({0.5f, 0.5f, 0.5f});
    Ask(bot);
    for (int i = 0; i < 5; ++i) Step();
    EXPECT_TRUE(planner->IsReady());
    EXPECT_EQ(planner->GetState(), StrategyMan::kIdle);
    EXPECT_EQ(planner->GetRequests().size(), 1u);
    EXPECT_TRUE(bot->GetPlan().empty());
    flag->SetState(GameLogicView::FlagState::kHome);
    Step();
    Step();
    EXPECT_EQ(PlanOf(bot), std::vector<std::string>{"FollowPath"});
}

TEST_F(StrategyTest, ABotAskingAgainKeepsOneRequest) {
    // No enemy flag at home: requests wait, and a bot that asks again (reset,
    // back to "STRATEGY") does not add another.
    world.AddFlag(1, {0.5f, 0.5f, 12.5f})->SetState(GameLogicView::FlagState::kCarried);
    BotGameView* a = Asking({0.5f, 0.5f, 0.5f});
    BotGameView* b = Asking({3.5f, 0.5f, 0.5f});
    for (int i = 0; i < 50; ++i) {
        Ask(a);
        Ask(b);
        Step();
    }
    ASSERT_EQ(planner->GetRequests().size(), 2u);
    EXPECT_EQ(planner->GetRequests()[0]->actorId, a->GetActorId());
    EXPECT_EQ(planner->GetRequests()[1]->actorId, b->GetActorId());
    // The waiting request follows the bot.
    Place(b, {7.5f, 0.5f, 0.5f});
    Ask(b);
    EXPECT_EQ(planner->GetRequests()[1]->position, Vector3(7.5f, 0.5f, 0.5f));
}

TEST_F(StrategyTest, ABotThatMovedOnGetsNoPlan) {
    world.AddFlag(1, {0.5f, 0.5f, 12.5f});
    BotGameView* bot = Asking({0.5f, 0.5f, 0.5f});
    Ask(bot);
    Step();
    bot->SetBehaviour("ATTACK");
    Step();
    EXPECT_TRUE(bot->GetPlan().empty());
    EXPECT_TRUE(planner->GetRequests().empty());
}

TEST_F(StrategyTest, AFlagStandingInItsOwnCellsIsSearchedFromBesideIt) {
    // A flag at home blocks its cells; the goal below its centre is one of
    // them. The search aims at the nearest free cell of that level instead.
    const Vector3 flagAt(10.5f, 1.5f, 10.5f);
    world.ai->GetSearchSpace().SetBoxOccupancy(flagAt.x, flagAt.y, flagAt.z, 1.5f, 1.5f, 1.5f, true);
    const Vector3 goal = AI::FreeGoalNear(world.ai->GetSearchSpace(), flagAt - Vector3(0, 1.5f, 0), {0.5f, 0, 10.5f});
    EXPECT_EQ(goal, Vector3(8.5f, 0.5f, 10.5f));  // two cells west: the ring nearest the start
    // A free goal stays as it is.
    EXPECT_EQ(AI::FreeGoalNear(world.ai->GetSearchSpace(), {3.2f, 0.0f, 4.7f}, {}), Vector3(3.2f, 0.0f, 4.7f));

    // The whole plan: the bot gets a walk, not a failure.
    GameLogicView::Flag* flag = world.AddFlag(1, {10.5f, 1.5f, 30.5f});
    world.ai->GetSearchSpace().SetBoxOccupancy(10.5f, 1.5f, 30.5f, 1.5f, 1.5f, 1.5f, true);
    BotGameView* bot = Asking({10.5f, 0.5f, 20.5f});
    Ask(bot);
    Step();
    EXPECT_EQ(planner->GetState(), StrategyMan::kPathReady);
    Step();
    EXPECT_EQ(PlanOf(bot), std::vector<std::string>{"FollowPath"});
    EXPECT_EQ(*bot->GetTargetBlock(), flag->GetId());
}

class WalledStrategyTest : public StrategyTest {
protected:
    WalledStrategyTest() {
        // Searches advance one millisecond per look at the clock: a few nodes
        // a slice, so the search times out after walls were recorded.
        world.ai->GetAStar().SetMillisecondClock([n = uint64_t{0}]() mutable { return ++n; });
        world.ai->GetSettings().jumpHeight = 1;  // no climbing over the wall
        flag = world.AddFlag(1, flagAt);
        WallRound(flagAt, 5.0f);  // farther than the search's goal reach
    }
    // Steps until the planner is served (at most n steps).
    void StepUntilServed(int n = 2000) {
        for (int i = 0; i < n && !planner->GetRequests().empty(); ++i) Step();
    }
    const Vector3 flagAt{0.5f, 0.5f, 10.5f};
    GameLogicView::Flag* flag = nullptr;
};

TEST_F(WalledStrategyTest, FailedSearchBreachesTheWallNearestTheFlagWithABomb) {
    BotGameView* bot = Asking({0.5f, 0.5f, 3.5f});  // just south of the wall
    bot->StoreRole(AI::Role::kSquadMember);
    const auto bomb = world.AddBlock({-6.5f, 0.5f, 2.5f}, 9);
    world.AddBlock({0.5f, 0.5f, 4.5f});  // an ordinary block is no breaching tool
    Ask(bot);
    StepUntilServed();
    ASSERT_TRUE(planner->GetRequests().empty());
    EXPECT_EQ(PlanOf(bot), (std::vector<std::string>{"FollowPath", "PickUpBlock", "FollowPath", "ThrowBlock"}));
    ASSERT_TRUE(bot->GetTargetBlock());
    EXPECT_EQ(*bot->GetTargetBlock(), bomb->GetId());
    EXPECT_EQ(bot->GetRole(), AI::Role::kAttacker);
    // The throw goes at a wall cell beside the search, as near the flag as
    // any recorded.
    const auto& thr = dynamic_cast<const AI::ThrowBlock&>(*bot->GetPlan()[3]);
    const float best = (thr.GetTarget() - flagAt).LengthSquared();
    EXPECT_LE(best, (Vector3(0.0f, 0.0f, 5.0f) - flagAt).LengthSquared());
}

TEST_F(WalledStrategyTest, BombInHandIsThrownAtOnceAndNoBombMeansAHunt) {
    BotGameView* bot = Asking({0.5f, 0.5f, 3.5f});
    bot->GetPerception().holdingBomb = true;
    Ask(bot);
    StepUntilServed();
    EXPECT_EQ(PlanOf(bot), (std::vector<std::string>{"FollowPath", "ThrowBlock"}));

    // No bomb anywhere: hunt the nearest living enemy.
    bot->GetPerception().holdingBomb = false;
    bot->SetBehaviour("STRATEGY");
    BotGameView* nearEnemy = world.AddBot(1, {4.5f, 0.5f, 0.5f});
    world.AddBot(1, {40.5f, 0.5f, 0.5f});
    BotGameView* dead = world.AddBot(1, {1.5f, 0.5f, 4.5f});
    dead->GetPlayer()->dead = 1;
    Ask(bot);
    StepUntilServed();
    ASSERT_EQ(PlanOf(bot), std::vector<std::string>{"Hunt"});
    EXPECT_EQ(dynamic_cast<const AI::Hunt&>(*bot->GetPlan()[0]).GetTarget(), nearEnemy->GetPlayer());
}

TEST_F(WalledStrategyTest, AFailureWithoutWallsResetsTheBot) {
    // Far from the walls, in a closed box of its own with no wall two high:
    // the search fails without recording one.
    world.ai->GetAStar().SetMillisecondClock([] { return uint64_t{0}; });
    auto& grid = world.ai->GetSearchSpace();
    const Vector3 at(60.5f, 0.5f, 60.5f);
    for (float d = -1.0f; d <= 1.0f; d += 1.0f) {
        grid.SetBoxOccupancy(at.x + d, 0.5f, at.z - 1, 0.5f, 0.5f, 0.5f, true);
        grid.SetBoxOccupancy(at.x + d, 0.5f, at.z + 1, 0.5f, 0.5f, 0.5f, true);
        grid.SetBoxOccupancy(at.x - 1, 0.5f, at.z + d, 0.5f, 0.5f, 0.5f, true);
        grid.SetBoxOccupancy(at.x + 1, 0.5f, at.z + d, 0.5f, 0.5f, 0.5f, true);
    }
    grid.SetBoxOccupancy(at.x, 2.5f, at.z, 0.5f, 0.5f, 0.5f, true);  // a roof: no climbing out
    world.ai->GetSettings().jumpHeight = 1;
    BotGameView* bot = Asking(at);
    Ask(bot);
    StepUntilServed();
    EXPECT_TRUE(planner->GetRequests().empty());
    EXPECT_TRUE(planner->GetWalls().empty());
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    EXPECT_TRUE(bot->GetPlan().empty());
}
