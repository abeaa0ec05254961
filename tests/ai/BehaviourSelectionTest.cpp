// Behaviour selection by role: the predicates over what a bot perceives, the
// walk that keeps a running behaviour until an entry above it fires, and the
// plans and lines each action gives.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ai/BehaviourSelection.h"
#include "ai/Dodge.h"
#include "ai/FollowPath.h"
#include "ai/Idle.h"
#include "ai/StrategyMan.h"
#include "ai/TouchFlag.h"
#include "gamelogic/Actor.h"
#include "physics/PhysBody.h"
#include "AIWorld.h"
#include "BotCommands.h"

using namespace AITest;
using AI::BotGameView;

namespace {

class SelectionTest : public ::testing::Test {
protected:
    SelectionTest() {
        world.ai->GetSettings().disableBots = true;  // the test fills the perception
        bot = world.AddBot(0, {0.5f, 0.5f, 0.5f});
        world.Spawn(bot);
        enemy = world.AddBot(1, {0.5f, 0.5f, 8.5f})->GetPlayer();
        cmds.Fresh();
    }
    AI::BotPerception& Seen() { return bot->GetPerception(); }
    std::vector<std::string> PlanNames() const {
        std::vector<std::string> out;
        for (const auto& m : bot->GetPlan()) out.push_back(m->GetName());
        return out;
    }
    // The table of the bot's role, walked once; the lines it said.
    std::vector<std::string> Select() {
        cmds.Fresh();
        world.Team(0).GetBehaviourSelector()->SelectBehaviour(*bot);
        cmds.Deliver();
        std::vector<std::string> lines;
        for (const auto& b : cmds.Bubbles()) {
            EXPECT_EQ(b->GetPayload()->durationMs, 5000);
            EXPECT_EQ(b->GetPayload()->tutorial, 0);
            EXPECT_EQ(b->GetPayload()->showSymbol, 0);
            lines.push_back(b->GetPayload()->text);
        }
        return lines;
    }
    void Role(int32_t role) { bot->StoreRole(role); }
    // AI steps of 100 ms for ms milliseconds, the table walked after each.
    void Play(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 100) {
            world.ai->Update(100);
            Select();
        }
    }

    AIWorld world;
    BotCommands cmds;
    BotGameView* bot = nullptr;
    GameLogicView::Player* enemy = nullptr;
};

}  // namespace

TEST_F(SelectionTest, PredicatesReadThePerception) {
    using Fill = void (*)(AI::BotPerception&, GameLogicView::Player*);
    struct Case {
        const char* what;
        Fill fill;
        bool (*predicate)(BotGameView&);
        bool holds;
    } cases[] = {
        {"capture: carries a flag", [](AI::BotPerception& p, GameLogicView::Player*) { p.holdingFlag = true; },
         AI::CanCaptureFlag, true},
        {"capture: nothing", [](AI::BotPerception&, GameLogicView::Player*) {}, AI::CanCaptureFlag, false},
        {"return: own flag lying", [](AI::BotPerception& p, GameLogicView::Player*) { p.ownDroppedFlagsInSight = {7}; },
         AI::CanReturnTeamFlag, true},
        {"grab flag: in reach", [](AI::BotPerception& p, GameLogicView::Player*) { p.enemyFlagsInReach = {7}; },
         AI::CanGrabFlag, true},
        {"grab flag: already carries one",
         [](AI::BotPerception& p, GameLogicView::Player*) {
             p.enemyFlagsInReach = {7};
             p.holdingFlag = true;
         },
         AI::CanGrabFlag, false},
        {"dodge: a throw coming", [](AI::BotPerception& p, GameLogicView::Player*) { p.incomingThrows = {{5, {}}}; },
         AI::CanDodge, true},
        {"recover: carrier and blocks",
         [](AI::BotPerception& p, GameLogicView::Player* e) {
             p.carriersOfOwnFlags = {e};
             p.blocksInPouch = 1;
         },
         AI::CanRecoverFlag, true},
        {"recover: no blocks", [](AI::BotPerception& p, GameLogicView::Player* e) { p.carriersOfOwnFlags = {e}; },
         AI::CanRecoverFlag, false},
        {"attack: enemy and blocks",
         [](AI::BotPerception& p, GameLogicView::Player* e) {
             p.enemiesInView = {e};
             p.blocksInPouch = 2;
         },
         AI::CanAttack, true},
        {"attack: enemy, empty pouch", [](AI::BotPerception& p, GameLogicView::Player* e) { p.enemiesInView = {e}; },
         AI::CanAttack, false},
        {"grab block: empty handed", [](AI::BotPerception&, GameLogicView::Player*) {}, AI::CanGrabBlock, true},
        {"grab block: a bomb in hand", [](AI::BotPerception& p, GameLogicView::Player*) { p.holdingBomb = true; },
         AI::CanGrabBlock, false},
        {"grab block: blocks in pouch", [](AI::BotPerception& p, GameLogicView::Player*) { p.blocksInPouch = 1; },
         AI::CanGrabBlock, false},
        {"investigate: heard one", [](AI::BotPerception& p, GameLogicView::Player*) { p.explosionsHeard = {{1, 0, 1}}; },
         AI::CanInvestigate, true},
        {"always", [](AI::BotPerception&, GameLogicView::Player*) {}, AI::Always, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seen().ClearView();
        Seen().ClearReports();
        c.fill(Seen(), enemy);
        EXPECT_EQ(c.predicate(*bot), c.holds);
    }
}

TEST_F(SelectionTest, AssistAndTutorialLookAtTeammatesAndHumans) {
    Seen().blocksInPouch = 1;
    BotGameView* mate = world.AddBot(0, {2.5f, 0.5f, 0.5f});
    Seen().teammatesInView = {mate->GetPlayer()};
    EXPECT_FALSE(AI::CanAssistTeammate(*bot));
    mate->GetPerception().enemiesInView = {enemy};
    EXPECT_TRUE(AI::CanAssistTeammate(*bot));
    Seen().blocksInPouch = 0;
    EXPECT_FALSE(AI::CanAssistTeammate(*bot));

    // A human teammate's sight is the team's record of this step.
    Seen().blocksInPouch = 1;
    GameLogicView::Player* human = world.AddHuman(0, {-2.5f, 0.5f, 0.5f});
    Seen().teammatesInView = {human};
    EXPECT_FALSE(AI::CanAssistTeammate(*bot));

    AI::PlayerRecord* record = world.Team(0).FindPlayer(human->GetActorId());
    record->tutorialDone = false;
    EXPECT_TRUE(AI::CanTutorial(*bot));
    record->tutor = 4444;  // another bot teaches
    EXPECT_FALSE(AI::CanTutorial(*bot));
    record->tutor = bot->GetActorId();
    EXPECT_TRUE(AI::CanTutorial(*bot));
    record->tutorialDone = true;
    EXPECT_FALSE(AI::CanTutorial(*bot));
}

TEST_F(SelectionTest, ARunningBehaviourGoesOnUntilAnEntryAboveItFires) {
    Role(AI::Role::kDefender);
    Seen().blocksInPouch = 3;
    EXPECT_TRUE(Select().empty());
    EXPECT_EQ(bot->GetBehaviour(), "GUARD");
    EXPECT_EQ(PlanNames(), (std::vector<std::string>{"FindGuardPos", "Guard"}));

    // An enemy in view, blocks in the pouch: attack, with a "Chase" line.
    Seen().enemiesInView = {enemy};
    EXPECT_EQ(Select().size(), 1u);
    EXPECT_EQ(bot->GetBehaviour(), "ATTACK");
    EXPECT_EQ(PlanNames(), std::vector<std::string>{"Chase"});

    // Below "ATTACK": an explosion changes nothing, not even the enemy gone.
    Seen().enemiesInView.clear();
    Seen().explosionsHeard = {{3, 0.5f, 3}};
    const auto plan = bot->GetPlan();
    EXPECT_TRUE(Select().empty());
    EXPECT_EQ(bot->GetBehaviour(), "ATTACK");
    EXPECT_EQ(bot->GetPlan(), plan);

    // Above it: a throw coming at the bot.
    Seen().incomingThrows = {{enemy->GetActorId(), {0, 0, -30}}};
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "DODGE");
    EXPECT_EQ(PlanNames(), std::vector<std::string>{"Dodge"});
}

TEST_F(SelectionTest, RoleZeroSelectsNothingAndEachRoleHasItsLastResort) {
    Role(AI::Role::kNone);
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    EXPECT_TRUE(bot->GetPlan().empty());

    // Enough blocks that neither role goes to fetch more.
    Seen().blocksInPouch = 3;
    struct Case {
        int32_t role;
        const char* behaviour;
    } cases[] = {{AI::Role::kAttacker, "STRATEGY"}, {AI::Role::kDefender, "GUARD"}};
    for (const Case& c : cases) {
        bot->SetBehaviour("IDLE");
        Role(c.role);
        Select();
        EXPECT_EQ(bot->GetBehaviour(), c.behaviour);
    }
}

TEST_F(SelectionTest, StrategyAsksForOnePlanAndWaitsForIt) {
    Role(AI::Role::kAttacker);
    Seen().blocksInPouch = 2;
    auto* planner = dynamic_cast<AI::StrategyMan*>(world.Team(0).GetPlanner());
    ASSERT_NE(planner, nullptr);
    const auto lines = Select();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(bot->GetBehaviour(), "STRATEGY");
    EXPECT_TRUE(bot->GetPlan().empty());  // no plan of its own
    ASSERT_EQ(planner->GetRequests().size(), 1u);
    EXPECT_EQ(planner->GetRequests()[0]->actorId, bot->GetActorId());
    // It stays with "STRATEGY" and asks no more.
    EXPECT_TRUE(Select().empty());
    EXPECT_EQ(planner->GetRequests().size(), 1u);

    // The line says whether the bot leads anybody.
    AI::Squad* squad = world.Team(0).GetSquadMan().Create(bot->GetPlayer(), false);
    bot->SetSquad(squad);
    BotGameView* member = world.AddBot(0, {3.5f, 0.5f, 0.5f});
    bot->SetBehaviour("IDLE");
    const std::string alone = lines[0];
    squad->AddMember(*member);
    const auto led = Select();
    ASSERT_EQ(led.size(), 1u);
    EXPECT_NE(led[0], alone);
}

TEST_F(SelectionTest, WhileABotTutorsEveryAttackerWaitsIdling) {
    Role(AI::Role::kAttacker);
    BotGameView* tutor = world.AddBot(0, {4.5f, 0.5f, 0.5f});
    tutor->SetBehaviour("TUTORIAL");
    world.ai->CheckTutorial();
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "WAIT_FOR_TUTORIAL");
    ASSERT_EQ(bot->GetPlan().size(), 1u);
    const auto* idle = dynamic_cast<const AI::Idle*>(bot->GetPlan()[0].get());
    ASSERT_NE(idle, nullptr);
    EXPECT_TRUE(idle->WaitsForTutorial());
}

TEST_F(SelectionTest, ActionsGiveTheirPlansAndTargets) {
    GameLogicView::Flag* own = world.AddFlag(0, {6.5f, 0.5f, 0.5f});
    GameLogicView::Flag* theirs = world.AddFlag(1, {-6.5f, 0.5f, 0.5f});
    struct Case {
        const char* what;
        void (*action)(BotGameView&);
        std::vector<std::string> plan;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"return", AI::DoReturnTeamFlag, {"TouchFlag"}, {}},
        {"grab flag", AI::DoGrabFlag, {"PickUpBlock"}, {}},
        {"dodge", AI::DoDodge, {"Dodge"}, {}},
        {"recover", AI::DoRecoverFlag, {"Hunt"}, {"RecoverFlag"}},
        {"attack", AI::DoAttack, {"Chase"}, {"Chase"}},
        {"grab block", AI::DoGrabBlock, {"FindBlock", "PickUpBlock"}, {}},
        {"investigate", AI::DoInvestigate, {"FollowPath"}, {"Explosion"}},
        {"guard", AI::DoGuard, {"FindGuardPos", "Guard"}, {}},
    };
    Utility::IniFile pool;
    pool.Parse("[RecoverFlag]\nl = RecoverFlag\n[Chase]\nl = Chase\n[Explosion]\nl = Explosion\n");
    world.ai->GetChatPool().Load(pool);
    Seen().ownDroppedFlagsInSight = {own->GetId()};
    Seen().enemyFlagsInReach = {theirs->GetId()};
    Seen().incomingThrows = {{enemy->GetActorId(), {1, -1, -30}}};
    Seen().carriersOfOwnFlags = {enemy};
    Seen().enemiesInView = {enemy};
    Seen().explosionsHeard = {{10.5f, 7.0f, 10.5f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cmds.Fresh();
        c.action(*bot);
        cmds.Deliver();
        EXPECT_EQ(PlanNames(), c.plan);
        std::vector<std::string> lines;
        for (const auto& b : cmds.Bubbles()) lines.push_back(b->GetPayload()->text);
        EXPECT_EQ(lines, c.lines);
    }
    // The flag is the target of a grab; the first of each list is taken.
    AI::DoGrabFlag(*bot);
    ASSERT_TRUE(bot->GetTargetBlock());
    EXPECT_EQ(*bot->GetTargetBlock(), theirs->GetId());
    AI::DoReturnTeamFlag(*bot);
    EXPECT_EQ(dynamic_cast<const AI::TouchFlag&>(*bot->GetPlan()[0]).GetFlagId(), own->GetId());
    // An explosion is walked to on the ground below it.
    AI::DoInvestigate(*bot);
    const auto& walk = dynamic_cast<const AI::FollowPath&>(*bot->GetPlan()[0]);
    EXPECT_EQ(walk.GetGoal(), Vector3(10.5f, 0.0f, 10.5f));
}

TEST_F(SelectionTest, TutorialAndFollowTakeTheirPeople) {
    GameLogicView::Player* human = world.AddHuman(0, {4.5f, 0.5f, 0.5f});
    AI::PlayerRecord* record = world.Team(0).FindPlayer(human->GetActorId());
    record->tutorialDone = false;
    AI::DoTutorial(*bot);
    EXPECT_EQ(PlanNames(), (std::vector<std::string>{"Approach", "Tutorial"}));
    EXPECT_EQ(record->tutor, bot->GetActorId());

    // A squad member follows its leader at its place.
    AI::Squad* squad = world.Team(0).GetSquadMan().Create(human, true);
    bot->StoreRole(AI::Role::kSquadMember);
    squad->AddMember(*bot);
    AI::DoFollow(*bot);
    EXPECT_EQ(PlanNames(), std::vector<std::string>{"Follow"});

    // A member whose squad is gone takes a role afresh, idling meanwhile.
    squad->Disband();
    bot->StoreRole(AI::Role::kSquadMember);
    Seen().blocksInPouch = 1;
    AI::BehaviourTables::Select(*bot, AI::BehaviourTables().SquadMember());
    EXPECT_EQ(bot->GetRole(), AI::Role::kNone);
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
}

// A defender holds the ground round its team's posts and flags: it fights
// enemies there, lets those far off pass to others, keeps a few blocks while
// nothing is in view, and knows of an enemy at one of its flags unseen.
TEST_F(SelectionTest, DefenderHoldsTheGroundRoundItsPostsAndFlags) {
    world.ai->SetGuardPoints(0, {{0.5f, 0.5f, 0.5f}});
    world.AddFlag(0, {40.5f, 0.5f, 0.5f});
    struct Case {
        const char* what;
        Vector3 enemyAt;
        bool inView;
        int32_t pouch;
        bool repel, assist, stock;
    } cases[] = {
        {"seen near the post", {0.5f, 0.5f, 8.5f}, true, 2, true, false, false},
        {"seen far from post and flags", {0.5f, 0.5f, 30.5f}, true, 2, false, false, false},
        {"seen near the post, no blocks", {0.5f, 0.5f, 8.5f}, true, 0, false, false, false},
        {"unseen at a flag", {42.5f, 0.5f, 2.5f}, false, 2, false, true, true},
        {"unseen far off, pouch short", {0.5f, 0.5f, 30.5f}, false, 2, false, false, true},
        {"unseen far off, pouch stocked", {0.5f, 0.5f, 30.5f}, false, 3, false, false, false},
    };
    Role(AI::Role::kDefender);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        enemy->GetActor()->body->SetPosition(c.enemyAt);
        Seen().ClearView();
        if (c.inView) Seen().enemiesInView = {enemy};
        Seen().blocksInPouch = c.pouch;
        EXPECT_EQ(AI::CanRepelIntruder(*bot), c.repel);
        EXPECT_EQ(AI::CanAssistDefence(*bot), c.assist);
        EXPECT_EQ(AI::CanStockBlocks(*bot), c.stock);
    }
    // The one it repels is the nearest enemy in the ground it holds.
    GameLogicView::Player* far = world.AddBot(1, {0.5f, 0.5f, 30.5f})->GetPlayer();
    enemy->GetActor()->body->SetPosition({0.5f, 0.5f, 8.5f});
    Seen().ClearView();
    Seen().enemiesInView = {far, enemy};
    Seen().blocksInPouch = 2;
    bot->SetBehaviour("IDLE");
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "ATTACK");
    ASSERT_EQ(PlanNames(), std::vector<std::string>{"Chase"});
}

TEST_F(SelectionTest, DefenderGoesAfterItsFlagsCarrierOnlyInTheGroundItHolds) {
    // Chasing a carrier across the field took both defenders of a small team
    // away from the flags for good; the enemy walked in to the ones left.
    world.ai->SetGuardPoints(0, {{0.5f, 0.5f, 0.5f}});
    world.AddFlag(0, {0.5f, 0.5f, -6.5f});
    Role(AI::Role::kDefender);
    struct Case {
        const char* what;
        Vector3 carrierAt;
        int32_t pouch;
        const char* behaviour;
    } cases[] = {
        {"near the post", {0.5f, 0.5f, 8.5f}, 3, "RECOVER_FLAG"},
        {"beyond the ground it holds", {0.5f, 0.5f, 40.5f}, 3, "GUARD"},
        {"near the post, no blocks", {0.5f, 0.5f, 8.5f}, 0, "GRAB_BLOCK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        enemy->GetActor()->body->SetPosition(c.carrierAt);
        Seen().ClearView();
        Seen().carriersOfOwnFlags = {enemy};
        Seen().blocksInPouch = c.pouch;
        bot->SetBehaviour("IDLE");
        Select();
        EXPECT_EQ(bot->GetBehaviour(), c.behaviour);
    }
    // A hunt under way ends when the carrier runs out of that ground: the
    // defender turns back to its post.
    enemy->GetActor()->body->SetPosition({0.5f, 0.5f, 8.5f});
    Seen().blocksInPouch = 3;
    bot->SetBehaviour("IDLE");
    Select();
    ASSERT_EQ(bot->GetBehaviour(), "RECOVER_FLAG");
    ASSERT_EQ(PlanNames(), std::vector<std::string>{"Hunt"});
    enemy->GetActor()->body->SetPosition({0.5f, 0.5f, 20.5f});
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "RECOVER_FLAG");
    enemy->GetActor()->body->SetPosition({0.5f, 0.5f, 40.5f});
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "GUARD");
    EXPECT_EQ(PlanNames(), (std::vector<std::string>{"FindGuardPos", "Guard"}));
}

TEST_F(SelectionTest, FetchingThatBringsNoBlockInTimeIsGivenUp) {
    // Every bot of both teams walking at blocks beyond one jammed gap stood
    // there for the rest of the match, each walk ending without headway and
    // starting over: fetching has a time limit over such restarts, after
    // which the bot plays on without blocks and its block stays the team's a
    // while.
    const int32_t limit = static_cast<int32_t>(AI::BehaviourTables::kGrabGiveUpMs);
    const int32_t gap = static_cast<int32_t>(AI::BehaviourTables::kFetchGapMs);
    struct Case {
        int32_t role;
        const char* after;  // what the bot turns to without blocks
    } cases[] = {{AI::Role::kAttacker, "STRATEGY"}, {AI::Role::kDefender, "GUARD"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after);
        bot->OnReset();
        bot->SetNoBlocksUntil(0);
        Role(c.role);
        Seen().blocksInPouch = 0;
        Select();
        ASSERT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
        const auto block = world.AddBlock({9.5f, 0.5f, 9.5f});
        bot->SetTargetBlock(block->GetId());

        // A restart within the limit goes on counting from the first fetch.
        Play(limit / 2);
        bot->OnReset();
        Select();
        ASSERT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
        bot->SetTargetBlock(block->GetId());
        Play(limit / 2 - 200);
        EXPECT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
        EXPECT_TRUE(bot->GetTargetBlock().has_value());

        Play(300);
        EXPECT_EQ(bot->GetBehaviour(), c.after);
        EXPECT_FALSE(bot->GetTargetBlock().has_value());
        EXPECT_FALSE(AI::CanGrabBlock(*bot));
        EXPECT_FALSE(AI::CanStockBlocks(*bot));
        EXPECT_TRUE(world.Team(0).IsClaimed(block->GetId()));
    }

    // A block in the pouch, or a pause in fetching, starts the count afresh.
    for (const bool pause : {false, true}) {
        SCOPED_TRACE(pause);
        bot->OnReset();
        bot->SetNoBlocksUntil(0);
        Role(AI::Role::kAttacker);
        Seen().blocksInPouch = 0;
        Select();
        ASSERT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
        Play(limit - 500);
        bot->OnReset();
        if (pause) {
            // Dodging a while, still without a block.
            Seen().incomingThrows = {{enemy->GetActorId(), {0, 0, -30}}};
            Play(gap + 200);
            ASSERT_EQ(bot->GetBehaviour(), "DODGE");
            Seen().incomingThrows.clear();
        } else {
            Seen().blocksInPouch = 1;
            Select();
            ASSERT_EQ(bot->GetBehaviour(), "STRATEGY");
        }
        bot->OnReset();
        Seen().blocksInPouch = 0;
        Select();
        ASSERT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
        Play(limit - 500);
        EXPECT_EQ(bot->GetBehaviour(), "GRAB_BLOCK");
    }
}

TEST_F(SelectionTest, AnAttackerWaitsForAFellowAttackerToRespawnAndGoesInWithIt) {
    // Attackers that set off one by one met both defenders alone and fell at
    // the flags one after the other; on a small level a match stayed
    // undecided for its whole length.
    const int32_t wait = static_cast<int32_t>(AI::BehaviourTables::kRegroupMs);
    const int32_t rest = static_cast<int32_t>(AI::BehaviourTables::kRegroupRestMs);
    world.ai->GetSettings().defenseQuota = 0;
    world.Team(0).SetRole(*bot, AI::Role::kAttacker);
    bot->SetNoBlocksUntil(1u << 30);  // plays without blocks: no fetching in between
    BotGameView* mate = world.AddBot(0, {3.5f, 0.5f, 0.5f});
    GameLogicView::Player* matePlayer = mate->GetPlayer();

    struct Case {
        const char* what;
        int32_t defenseQuota;  // 2 with guard posts: the mate comes back a defender
        bool mateDead;
        const char* behaviour;
    } cases[] = {
        {"mate respawns as an attacker", 0, true, "REGROUP"},
        {"mate alive", 0, false, "STRATEGY"},
        {"mate respawns as a defender", 2, true, "STRATEGY"},
    };
    world.ai->SetGuardPoints(0, {{0.5f, 0.5f, -20.5f}, {4.5f, 0.5f, -20.5f}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world.ai->GetSettings().defenseQuota = c.defenseQuota;
        matePlayer->dead = c.mateDead ? 1 : 0;
        bot->SetRegroupSince(std::nullopt);
        bot->OnReset();
        Select();
        EXPECT_EQ(bot->GetBehaviour(), c.behaviour);
    }

    // The wait lasts while the mate is dead, kRegroupMs at most; then the
    // bot sets off alone and does not wait again for kRegroupRestMs.
    world.ai->GetSettings().defenseQuota = 0;
    matePlayer->dead = 1;
    bot->SetRegroupSince(std::nullopt);
    bot->OnReset();
    Select();
    ASSERT_EQ(bot->GetBehaviour(), "REGROUP");
    ASSERT_EQ(bot->GetPlan().size(), 1u);
    ASSERT_NE(dynamic_cast<const AI::Idle*>(bot->GetPlan()[0].get()), nullptr);
    Play(wait - 200);
    EXPECT_EQ(bot->GetBehaviour(), "REGROUP");
    Play(300);
    EXPECT_EQ(bot->GetBehaviour(), "STRATEGY");
    Play(rest - 300);
    EXPECT_EQ(bot->GetBehaviour(), "STRATEGY");
    Play(300);
    EXPECT_EQ(bot->GetBehaviour(), "REGROUP");
    // The mate back in the game ends the wait at once.
    matePlayer->dead = 0;
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "STRATEGY");

    // An attacker already walking its way to a flag goes on; a carrier never
    // waits.
    matePlayer->dead = 1;
    bot->SetRegroupSince(std::nullopt);
    bot->SetPlan({std::make_shared<AI::FollowPath>(bot, Vector3(0.5f, 0.5f, 20.5f), Vector3(0.0f, 0.0f, 0.0f))});
    bot->ProcessStackRequests();
    bot->SetBehaviour("STRATEGY");
    Select();
    EXPECT_EQ(bot->GetBehaviour(), "STRATEGY");
    EXPECT_FALSE(AI::CanWaitForPartner(*bot));
    bot->OnReset();
    Seen().holdingFlag = true;
    EXPECT_FALSE(AI::CanWaitForPartner(*bot));
}
