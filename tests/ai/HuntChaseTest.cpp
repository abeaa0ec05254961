// The attacking behaviours: Hunt (path while out of sight, straight at the
// target in sight, throw within squared 750, pause 300-800 ms) and Chase
// (wait, run at a visible target, throw within ThrowDist, taunt a dead one).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ai/Chase.h"
#include "ai/Hunt.h"
#include "ai/Squad.h"
#include "BehaviourFixture.h"
#include "ai/TeamMan.h"
#include "ini/IniFile.h"

using namespace AITest;

namespace {

// The aim of a bot's throw in a fight without spread or lead (where such a
// throw lands is ThrowLanding's and ThrowAim's business).
Vector3 PlainAim(const AI::BotGameView& bot, const Vector3& from, const Vector3& to) {
    return AI::FightThrowAim(bot, from, to, {}, 0.0f);
}

void ExpectNear(const Vector3& got, const Vector3& want, float eps = 1e-4f) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

using HuntTest = BehaviourFixture;

class ChaseTest : public BehaviourFixture {
protected:
    // No wait before the first attack: a Chase is attacking once entered.
    ChaseTest() {
        world.ai->GetSettings().attackDelayMin = 0;
        world.ai->GetSettings().attackDelayMax = 0;
    }
    // Back to Idle, target out of the way, timers gone: ready for the next case.
    void EndCase(GameLogicView::Player* target) {
        Restart();
        Me()->pouch.clear();
        target->dead = 1;
        Place(target, {200.5f, 0.5f, 200.5f});
        DrainTimers();
    }
};

}  // namespace

// -------------------------------------------------------------------- Hunt

TEST_F(HuntTest, TargetInSightIsApproachedStraightAndThrownAtWithinSquared750) {
    world.ai->GetSettings().throwRandomness = 0.0f;
    struct Case {
        float distance;
        bool throws;
    } cases[] = {{30.0f, false}, {std::sqrt(751.0f), false}, {std::sqrt(749.0f), true}, {20.0f, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        GiveBlocks(3);
        GameLogicView::Player* target = Enemy({0.5f, 0.5f, 0.5f + c.distance});
        auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));
        EXPECT_EQ(hunt->GetName(), "Hunt");
        EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kInSight);  // entered in sight
        Frames(1);
        EXPECT_EQ(world.ai->GetAStar().PendingCount() + world.ai->GetAStar().RunningCount(), 0u);  // no search
        if (c.throws) {
            EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "LtoVCommandThrowBlock"}));
            EXPECT_EQ(cmds.Stops(id()), 1u);
            ASSERT_EQ(cmds.Throws(id()).size(), 1u);
            ExpectNear(cmds.Throws(id())[0], PlainAim(*bot, Me()->GetPosition(), target->GetPosition()));
            EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kPause);
            EXPECT_EQ(MsgRoute::Instance()->QueuedCount(), 1u);  // the pause's timer
        } else {
            EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "VtlCommandActorTurn"}));
            ExpectNear(cmds.Moves(id()).at(0), {0, 0, 1});
            EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kInSight);
        }
        Restart();
        Me()->pouch.clear();
        target->dead = 1;
        Place(target, {200.5f, 0.5f, 200.5f});
        DrainTimers();
    }
}

TEST_F(HuntTest, PauseAfterAThrowFacesTheTargetForThreeToEightHundredMs) {
    GiveBlocks(5);
    GameLogicView::Player* target = Enemy({4.5f, 0.5f, 10.5f});
    auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));
    Frames(1);
    ASSERT_EQ(cmds.Throws(id()).size(), 1u);
    ASSERT_EQ(hunt->GetSubstate(), AI::Hunt::kPause);

    // The target walks aside; the bot keeps facing it, without walking,
    // until the timer wakes it and it throws again.
    Place(target, {-6.5f, 0.5f, 10.5f});
    elapsed = 0;
    Fresh();
    while (cmds.Throws(id()).empty() && elapsed < 2000) {
        Frame();
        cmds.Deliver();
    }
    EXPECT_EQ(cmds.Throws(id()).size(), 1u);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 800 + 16);
    for (const Vector3& m : cmds.Moves(id())) EXPECT_EQ(m, Vector3{});
    const auto turns = cmds.Turns(id());
    ASSERT_FALSE(turns.empty());
    ExpectNear(turns.front().Rotate({0, 0, 1}), Vector3(-7, 0, 10).Normalized());
}

TEST_F(HuntTest, HiddenTargetMakesTheBotStopAndSearchThenWalkThePath) {
    walker = true;
    GiveBlocks(2);
    // A wall between bot and target, 6 wide and 2 high.
    Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
    GameLogicView::Player* target = Enemy({0.5f, 0.5f, 10.5f});
    auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));

    Fresh();
    Frame();  // in sight? no: stop and ask for a path
    cmds.Deliver();
    EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kWaitPath);
    EXPECT_EQ(cmds.Names(id()), std::vector<std::string>{"VtLActorMove"});
    EXPECT_EQ(cmds.Stops(id()), 1u);
    EXPECT_EQ(world.ai->GetAStar().PendingCount(), 1u);

    // The answer comes with the next AI step; the bot walks around the wall
    // until the target is in sight, then throws.
    int frames = 0;
    Fresh();
    while (cmds.Throws(id()).empty() && frames++ < 200) {
        Frame();
        cmds.Deliver();
    }
    ASSERT_EQ(cmds.Throws(id()).size(), 1u);
    EXPECT_GT(cmds.Moves(id()).size(), 4u);
    EXPECT_GT(std::fabs(Me()->GetPosition().x - 0.5f), 2.5f);  // went round the wall's end
}

TEST_F(HuntTest, DeadTargetOrEmptyPouchEndsTheHuntInEverySubstate) {
    struct Case {
        int32_t substate;
        bool killTarget;  // otherwise the pouch is emptied
    };
    std::vector<Case> cases;
    for (int32_t sub = 0; sub <= 3; ++sub) {
        cases.push_back({sub, true});
        cases.push_back({sub, false});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "substate " << c.substate << (c.killTarget ? " dead" : " empty"));
        GiveBlocks(1);
        GameLogicView::Player* target = Enemy({0.5f, 0.5f, 10.5f});
        auto hunt = Plan(std::make_shared<AI::Hunt>(bot, target));
        Frame();  // the plan's first machine is pushed and entered
        ASSERT_EQ(bot->GetTop(), hunt);
        ToSubstate(*hunt, c.substate);
        if (c.killTarget)
            target->dead = 1;
        else
            Me()->pouch.clear();
        Fresh();
        Frame();
        EXPECT_TRUE(AskedNext());
        cmds.Deliver();
        EXPECT_TRUE(cmds.Throws(id()).empty());
        Frame();  // the plan moves on
        EXPECT_NE(bot->GetTop(), hunt);
        Me()->pouch.clear();
        target->dead = 0;
    }
}

TEST_F(HuntTest, LastBlockThrownEndsTheHuntAtTheNextUpdate) {
    GiveBlocks(1);
    GameLogicView::Player* target = Enemy({0.5f, 0.5f, 8.5f});
    auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));
    Frames(1);
    ASSERT_EQ(cmds.Throws(id()).size(), 1u);
    ASSERT_EQ(hunt->GetSubstate(), AI::Hunt::kPause);
    Me()->pouch.clear();  // what the logic does with the last block
    Frame();
    EXPECT_TRUE(AskedNext());
}

TEST_F(HuntTest, SearchAnswersCountOnlyWhileWaitingForAPath) {
    GiveBlocks(1);
    GameLogicView::Player* target = Enemy({0.5f, 0.5f, 10.5f});
    auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));

    // A failure in substate 2 is ignored.
    Tell(MSG_SEARCH_FAILURE);
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);

    ToSubstate(*hunt, AI::Hunt::kWaitPath);
    // An answer whose path nobody holds leaves the bot waiting, standing.
    Tell(MSG_SEARCH_SUCCESS, 12345);
    EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kWaitPath);
    Frames(3);
    EXPECT_TRUE(cmds.Names(id()).empty());
    EXPECT_EQ(hunt->GetSubstate(), AI::Hunt::kWaitPath);

    // A failure while waiting resets the bot.
    Tell(MSG_SEARCH_FAILURE);
    EXPECT_TRUE(AskedReset());
}

TEST_F(HuntTest, ThrowTimerOutlivingTheHuntGoesToTheNextTopMachine) {
    GiveBlocks(2);
    GameLogicView::Player* target = Enemy({0.5f, 0.5f, 8.5f});
    auto hunt = Run(std::make_shared<AI::Hunt>(bot, target));
    Frames(1);
    ASSERT_EQ(hunt->GetSubstate(), AI::Hunt::kPause);
    // A Chase replaces the Hunt while its timer is queued; the timer wakes
    // the Chase (its own wait timer, an identical message, was dropped).
    auto chase = std::make_shared<AI::Chase>(bot, target);
    bot->RequestStackOp(AIGameObject::OP_REPLACE_TOP, chase);
    Frame();
    ASSERT_EQ(bot->GetTop(), chase);
    EXPECT_EQ(MsgRoute::Instance()->QueuedCount(), 1u);
    for (int i = 0; i < 60 && chase->GetState() == AI::Chase::kGettingReady; ++i) Frame();
    EXPECT_NE(chase->GetState(), AI::Chase::kGettingReady);
}

// ------------------------------------------------------------------- Chase

TEST_F(ChaseTest, RangesDecideBetweenThrowWalkAndGivingUp) {
    // Defaults: ThrowDist 15, BotSight 20 (compared squared, on the ground).
    struct Case {
        float distance;
        const char* outcome;  // "throw", "walk" or "end"
    } cases[] = {{14.9f, "throw"}, {15.1f, "walk"}, {19.9f, "walk"}, {20.1f, "end"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        GiveBlocks(2);
        GameLogicView::Player* target = Enemy({0.5f, 0.5f, 0.5f + c.distance});
        auto chase = Run(std::make_shared<AI::Chase>(bot, target));
        EXPECT_EQ(chase->GetState(), AI::Chase::kAttacking);
        Frames(1);
        const std::string outcome = AskedNext()                   ? "end"
                                    : !cmds.Throws(id()).empty() ? "throw"
                                                                 : "walk";
        EXPECT_EQ(outcome, c.outcome);
        if (outcome == "throw") {
            EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "LtoVCommandThrowBlock"}));
            EXPECT_EQ(chase->GetState(), AI::Chase::kPause);
        }
        if (outcome == "walk") {
            EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "VtlCommandActorTurn"}));
            ExpectNear(cmds.Moves(id()).at(0), {0, 0, 1});
        }
        if (outcome == "end") {
            EXPECT_TRUE(cmds.Names(id()).empty());
        }
        EndCase(target);
    }
}

TEST_F(ChaseTest, WallOrEmptyPouchEndsTheChaseAtOnceWithoutASearch) {
    struct Case {
        const char* name;
        bool wall;
        int blocks;
        Vector3 target;  // the wall stands between the bot and z 10.5 only
    } cases[] = {{"wall", true, 2, {0.5f, 0.5f, 10.5f}}, {"no blocks", false, 0, {0.5f, 0.5f, -9.5f}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.wall) Wall({0.5f, 1.0f, 5.5f}, {3.0f, 1.0f, 0.5f});
        GiveBlocks(c.blocks);
        GameLogicView::Player* target = Enemy(c.target);
        auto chase = Run(std::make_shared<AI::Chase>(bot, target));
        EXPECT_EQ(chase->GetState(), AI::Chase::kAttacking);
        Frames(1);
        EXPECT_TRUE(AskedNext());
        EXPECT_TRUE(cmds.Names(id()).empty());
        EXPECT_EQ(world.ai->GetAStar().PendingCount(), 0u);
        EndCase(target);
    }
}

TEST_F(ChaseTest, SpreadDependsOnWhoLeadsTheSquad) {
    // The spread that must not be used is huge; the right one is 0, so the
    // aim is exact.
    enum Leader { kNone, kHuman, kBot };
    struct Case {
        const char* name;
        Leader leader;
        bool squadSpread;
    } cases[] = {{"alone", kNone, false}, {"human-led", kHuman, true}, {"bot-led", kBot, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AI::AISettings& s = world.ai->GetSettings();
        s.squadThrowRand = c.squadSpread ? 0.0f : 50.0f;
        s.throwRandomness = c.squadSpread ? 50.0f : 0.0f;
        GiveBlocks(2);
        GameLogicView::Player* target = Enemy({3.5f, 0.5f, 9.5f});
        AI::Squad* squad = nullptr;
        if (c.leader == kHuman)
            squad = world.Team(0).GetSquadMan().Create(world.AddHuman(0, {-20.5f, 0.5f, 0.5f}), true);
        if (c.leader == kBot)
            squad = world.Team(0).GetSquadMan().Create(world.AddBot(0, {-20.5f, 0.5f, 0.5f})->GetPlayer(), false);
        if (squad) squad->AddMember(*bot);
        auto chase = Run(std::make_shared<AI::Chase>(bot, target));
        EXPECT_EQ(chase->GetState(), AI::Chase::kAttacking);
        Frames(1);
        ASSERT_EQ(cmds.Throws(id()).size(), 1u);
        ExpectNear(cmds.Throws(id())[0], PlainAim(*bot, Me()->GetPosition(), target->GetPosition()));
        if (squad) squad->RemoveMember(*bot);
        EndCase(target);
    }
}

TEST_F(ChaseTest, FirstAttackWaitsTheAttackDelayFacingTheTarget) {
    struct Case {
        int32_t min, max;
    } cases[] = {{200, 200}, {150, 500}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.min);
        AI::AISettings& s = world.ai->GetSettings();
        s.attackDelayMin = c.min;
        s.attackDelayMax = c.max;
        GiveBlocks(2);
        GameLogicView::Player* target = Enemy({-5.5f, 0.5f, 0.5f});
        auto chase = Run(std::make_shared<AI::Chase>(bot, target));
        cmds.Deliver();
        // Enter: face the target, then stop.
        EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtlCommandActorTurn", "VtLActorMove"}));
        EXPECT_EQ(cmds.Stops(id()), 1u);
        ExpectNear(cmds.Turns(id()).at(0).Rotate({0, 0, 1}), Vector3(-5.999f, 0, 0.001f).Normalized(), 1e-5f);
        elapsed = 0;
        while (chase->GetState() == AI::Chase::kGettingReady && elapsed < 2000) Frame();
        EXPECT_GE(elapsed, c.min);
        EXPECT_LT(elapsed, c.max + 16);
        EndCase(target);
    }
}

TEST_F(ChaseTest, TargetKilledDuringThePauseIsTauntedWhenTheTimerEnds) {
    Utility::IniFile chat;
    chat.Parse("[TrashTalk]\n1 = Got you\n");
    world.ai->GetChatPool().Load(chat);
    GiveBlocks(3);
    GameLogicView::Player* target = Enemy({0.5f, 0.5f, 6.5f});
    auto chase = Run(std::make_shared<AI::Chase>(bot, target));
    Frames(1);
    ASSERT_EQ(chase->GetState(), AI::Chase::kPause);
    target->dead = 1;

    Fresh();
    elapsed = 0;
    while (!AskedNext() && elapsed < 2000) Frame();
    cmds.Deliver();
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 800 + 16);
    const auto bubbles = cmds.Bubbles();
    ASSERT_EQ(bubbles.size(), 1u);
    const auto& b = *bubbles[0]->GetPayload();
    EXPECT_EQ(b.actorId, static_cast<int16_t>(id()));
    EXPECT_EQ(b.text, "Got you");
    EXPECT_EQ(b.durationMs, 5000);
    EXPECT_EQ(b.tutorial, 0);
    EXPECT_EQ(b.showSymbol, 0);
    EXPECT_TRUE(cmds.Throws(id()).empty());
}

TEST_F(ChaseTest, ADefenderTakesTheCarefulAimAttackersAndMembersAQuickOne) {
    // With every bot aiming carefully, the attackers of both sides fought in
    // the middle of the field for good; a defender holding its ground aims.
    struct Case {
        int32_t role;
        bool careful;
    } cases[] = {{AI::Role::kDefender, true}, {AI::Role::kAttacker, false}, {AI::Role::kSquadMember, false}};
    world.ai->GetSettings().throwRandomness = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.role);
        bot->StoreRole(c.role);
        GiveBlocks(2);
        GameLogicView::Player* target = Enemy({3.5f, 0.5f, 12.5f});
        Run(std::make_shared<AI::Chase>(bot, target));
        Frames(1);
        ASSERT_EQ(cmds.Throws(id()).size(), 1u);
        const Vector3 careful = AI::ComputeThrowAim(Me()->GetPosition(), target->GetPosition(), {}, 0.0f);
        const Vector3 quick = AI::ComputeQuickAim(Me()->GetPosition(), target->GetPosition(), {}, 0.0f);
        ASSERT_GT((careful - quick).Length(), 0.05f);  // the two aims differ at this range
        ExpectNear(cmds.Throws(id())[0], c.careful ? careful : quick);
        EndCase(target);
    }
}
