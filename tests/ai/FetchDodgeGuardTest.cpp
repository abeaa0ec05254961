// The behaviours that fetch blocks (FindBlock, PickUpBlock), step aside from
// a throw (Dodge), keep watch at a post (FindGuardPos, Guard) and return a
// dropped flag of the bot's own team (TouchFlag).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ai/BehaviourSelection.h"
#include "ai/Dodge.h"
#include "ai/FollowPath.h"
#include "ai/Guard.h"
#include "ai/GuardMan.h"
#include "ai/PickUpBlock.h"
#include "ai/TouchFlag.h"
#include "BehaviourFixture.h"

using namespace AITest;

namespace {

void ExpectNear(const Vector3& got, const Vector3& want, float eps = 1e-4f) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

Vector3 Forward(const Quaternion& q) { return q.Rotate(Vector3(0, 0, 1)); }

using FindBlockTest = BehaviourFixture;
using PickUpBlockTest = BehaviourFixture;
using DodgeTest = BehaviourFixture;
using GuardTest = BehaviourFixture;
using TouchFlagTest = BehaviourFixture;

}  // namespace

// --------------------------------------------------------------- FindBlock

TEST_F(FindBlockTest, ClaimsBeforeTheAnswerSoTwoBotsChooseDifferentBlocks) {
    AI::BotGameView* other = world.AddBot(0, {1.5f, 0.5f, 0.5f});
    world.Spawn(other);
    const auto nearA = world.AddBlock({3.5f, 0.5f, 0.5f});
    const auto farB = world.AddBlock({9.5f, 0.5f, 0.5f});
    SlowSearches();  // both searches stay unanswered

    auto mine = Run(std::make_shared<AI::FindBlock>(bot));
    auto theirs = std::make_shared<AI::FindBlock>(other);
    other->PushMachine(theirs);
    EXPECT_EQ(mine->GetSubstate(), AI::FindBlock::kChoosing);
    Frame();
    other->OnUpdate(16);

    ASSERT_TRUE(mine->GetCandidate());
    ASSERT_TRUE(theirs->GetCandidate());
    EXPECT_EQ(mine->GetCandidate(), nearA);
    EXPECT_EQ(theirs->GetCandidate(), farB);  // the near one was already claimed
    EXPECT_TRUE(world.Team(0).IsClaimed(nearA->GetId()));
    EXPECT_TRUE(world.Team(0).IsClaimed(farB->GetId()));
    EXPECT_EQ(mine->GetSubstate(), AI::FindBlock::kTestingReach);
    EXPECT_FALSE(bot->GetTargetBlock());  // not before the search answers
    // The enter stopped the bot.
    EXPECT_GE(cmds.Stops(id()), 1u);
}

TEST_F(FindBlockTest, ReachableBlockBecomesTheTargetAndAWalkThereTakesOver) {
    const auto block = world.AddBlock({6.5f, 0.5f, 0.5f});
    Plan(std::make_shared<AI::FindBlock>(bot));
    for (int i = 0; i < 5; ++i) Frame();
    ASSERT_TRUE(bot->GetTargetBlock());
    EXPECT_EQ(*bot->GetTargetBlock(), block->GetId());
    ASSERT_TRUE(bot->GetTop());
    EXPECT_EQ(bot->GetTop()->GetName(), "FollowPath");
    // The reach test's path is taken, not left waiting to be fetched.
    EXPECT_EQ(world.ai->GetAStar().StoredPathCount(), 0u);
    const auto* walk = dynamic_cast<const AI::FollowPath*>(bot->GetTop().get());
    ASSERT_NE(walk, nullptr);
    EXPECT_FALSE(walk->SearchNeeded() && walk->GetPath().points.empty());
}

TEST_F(FindBlockTest, UnreachableBlockStaysClaimedAndTheNextChoiceSkipsIt) {
    const auto walled = world.AddBlock({6.5f, 0.5f, 0.5f});
    const auto open = world.AddBlock({-9.5f, 0.5f, 0.5f});
    SlowSearches();
    auto find = Run(std::make_shared<AI::FindBlock>(bot));
    Frame();
    ASSERT_EQ(find->GetCandidate(), walled);
    Tell(MSG_SEARCH_FAILURE);
    EXPECT_FALSE(find->GetCandidate());
    EXPECT_EQ(find->GetSubstate(), AI::FindBlock::kChoosing);
    EXPECT_TRUE(world.Team(0).IsClaimed(walled->GetId()));
    Frame();
    EXPECT_EQ(find->GetCandidate(), open);
    // The team keeps the failed one even when this bot starts over.
    Restart();
    EXPECT_TRUE(world.Team(0).IsClaimed(walled->GetId()));
    EXPECT_FALSE(world.Team(0).IsClaimed(open->GetId()));
}

TEST(FindBlockWayBack, OnlyAStepDownOfTwoLevelsOrMoreAsksForAWayBack) {
    // Path points stand on ground cells a level apart: one level down can be
    // climbed back, two cannot (a pit, the far side of the boundary wall).
    auto path = [](std::initializer_list<float> heights) {
        AI::Path p;
        float x = 0.5f;
        for (float y : heights) p.push_back(AI::PathPoint{Vector3(x++, y, 0.5f), false});
        return p;
    };
    const struct {
        AI::Path path;
        bool oneWay;
    } cases[] = {
        {path({}), false},
        {path({2.5f}), false},
        {path({2.5f, 2.5f, 3.5f, 4.5f}), false},       // climbing
        {path({4.5f, 3.5f, 2.5f, 1.5f, 0.5f}), false},  // terraces down
        {path({2.5f, 2.5f, 0.5f, 0.5f}), true},         // a two-level drop
        {path({5.5f, 5.5f, 1.5f}), true},               // off the top of a wall
        {path({0.5f, 2.5f, 0.5f}), true},               // up one way, down the other
    };
    for (const auto& c : cases) EXPECT_EQ(AI::HasOneWayDrop(c.path), c.oneWay) << c.path.size();
}

TEST_F(FindBlockTest, WithoutAFreeBlockItKeepsChoosing) {
    auto find = Run(std::make_shared<AI::FindBlock>(bot));
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(bot->GetTop(), find);
    EXPECT_EQ(find->GetSubstate(), AI::FindBlock::kChoosing);
    const auto block = world.AddBlock({2.5f, 0.5f, 0.5f});
    SlowSearches();
    Frame();
    EXPECT_EQ(find->GetCandidate(), block);
}

TEST_F(FindBlockTest, GivesUpWhenNoBlockIsReachableAndPlaysOnWithoutForAWhile) {
    // No free block anywhere (structures that never break): the bot stops
    // looking after a while, and the walk does not send it looking again
    // until the pause is over.
    auto find = Run(std::make_shared<AI::FindBlock>(bot));
    const int frames = static_cast<int>(AI::FindBlock::kGiveUpMs / 16);
    for (int i = 0; i < frames - 2; ++i) Frame();
    EXPECT_EQ(bot->GetTop(), find);
    EXPECT_FALSE(AskedReset());
    for (int i = 0; i < 4 && !AskedReset(); ++i) Frame();
    ASSERT_TRUE(AskedReset());
    EXPECT_FALSE(AI::CanGrabBlock(*bot));
    for (int i = 0; i < static_cast<int>(AI::FindBlock::kNoBlocksMs / 16) + 2; ++i) world.ai->Update(16);
    EXPECT_TRUE(AI::CanGrabBlock(*bot));
}

// ------------------------------------------------------------- PickUpBlock

TEST_F(PickUpBlockTest, RunsStraightIntoTheTarget) {
    struct Case {
        Vector3 block;
        Vector3 move;  // expected, BotSpeed 1
    } cases[] = {
        {{4.5f, 0.5f, 0.5f}, {1, 0, 0}},
        {{0.5f, 0.5f, -7.5f}, {0, 0, -1}},
        {{3.5f, 0.5f, 4.5f}, Vector3(3, 0, 4).Normalized()},
        {{2.5f, 2.5f, 0.5f}, {1, 0, 0}},  // higher, but not out of reach
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block.x);
        const auto block = world.AddBlock(c.block);
        bot->SetTargetBlock(block->GetId());
        Run(std::make_shared<AI::PickUpBlock>(bot));
        Frames(1);
        const auto moves = cmds.Moves(id());
        const auto turns = cmds.Turns(id());
        ASSERT_EQ(moves.size(), 1u);
        ASSERT_EQ(turns.size(), 1u);
        ExpectNear(moves[0], c.move);
        ExpectNear(Forward(turns[0]), c.move);
        EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtLActorMove", "VtlCommandActorTurn"}));
        EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);
        block->SetState(GameLogicView::BlockState::kFading);  // out of the next case's way
        Restart();
    }
}

TEST_F(PickUpBlockTest, StandsUnderABlockOutOfReachAndTurnsWhenOnItsSpot) {
    // More than 3 above and nearer than squared 2 horizontally: stand.
    const auto high = world.AddBlock({1.5f, 4.0f, 0.5f});
    bot->SetTargetBlock(high->GetId());
    Run(std::make_shared<AI::PickUpBlock>(bot));
    Frames(1);
    EXPECT_EQ(cmds.Moves(id()), std::vector<Vector3>{Vector3{}});
    EXPECT_TRUE(cmds.Turns(id()).empty());
    // 3 above exactly is still reached for.
    Place(Me(), {1.5f, 1.0f, 1.5f});
    Frames(1);
    ExpectNear(cmds.Moves(id()).at(0), {0, 0, -1});

    // On the block's own spot: no move, a turn towards (0.001, 0, 0.001).
    Restart();
    high->SetState(GameLogicView::BlockState::kFading);
    const auto under = world.AddBlock({0.5f, 0.5f, 0.5f});
    Place(Me(), {0.5f, 1.5f, 0.5f});
    bot->SetTargetBlock(under->GetId());
    Run(std::make_shared<AI::PickUpBlock>(bot));
    Frames(1);
    EXPECT_EQ(cmds.Moves(id()), std::vector<Vector3>{Vector3{}});
    ASSERT_EQ(cmds.Turns(id()).size(), 1u);
    ExpectNear(Forward(cmds.Turns(id())[0]), Vector3(1, 0, 1).Normalized());
}

TEST_F(PickUpBlockTest, EndsOnItsTargetInHandOrWithAResetWhenTheTargetIsGone) {
    enum End { kNext, kReset, kResetAndClear };
    struct Case {
        const char* what;
        End end;
    } cases[] = {{"held by the bot", kNext},   {"no target", kReset},         {"deleted", kReset},
                 {"held by another", kResetAndClear}, {"in a pouch", kResetAndClear}, {"behind a wall", kResetAndClear}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        const auto block = world.AddBlock({5.5f, 0.5f, 0.5f});
        bot->SetTargetBlock(block->GetId());
        auto pick = Run(std::make_shared<AI::PickUpBlock>(bot));
        if (what == "held by the bot") {
            Me()->heldBlock = block;
            block->state = GameLogicView::BlockState::kHeld;
        } else if (what == "no target") {
            bot->ClearTargetBlock();
        } else if (what == "deleted") {
            world.blocks->RemoveBlock(block->GetId());
        } else if (what == "held by another") {
            block->state = GameLogicView::BlockState::kHeld;
        } else if (what == "in a pouch") {
            block->state = GameLogicView::BlockState::kPouch;
        } else {
            Wall({3.0f, 1.0f, 0.5f}, {0.5f, 1.0f, 3.0f});
        }
        cmds.Fresh();
        pick->Update();
        EXPECT_EQ(bot->GetPendingOp(), c.end == kNext ? AIGameObject::OP_NEXT_IN_PLAN : AIGameObject::OP_RESET);
        if (c.end == kResetAndClear) {
            EXPECT_FALSE(bot->GetTargetBlock());
        }
        if (c.end == kNext) {
            EXPECT_TRUE(bot->GetTargetBlock());
        }
        cmds.Deliver();
        EXPECT_TRUE(cmds.Moves(id()).empty());

        // Tidy up for the next case.
        Me()->heldBlock.reset();
        block->state = GameLogicView::BlockState::kFading;
        Wall({3.0f, 1.0f, 0.5f}, {0.5f, 1.0f, 3.0f});
        world.ai->GetSearchSpace().SetBoxOccupancy(3.0f, 1.0f, 0.5f, 0.5f, 1.0f, 3.0f, false);
        bot->ClearTargetBlock();
        Restart();
    }
}

TEST_F(PickUpBlockTest, EnteredWithoutATargetAsksForAReset) {
    bot->ClearTargetBlock();
    Run(std::make_shared<AI::PickUpBlock>(bot));
    EXPECT_TRUE(AskedReset());
}

// ------------------------------------------------------------------- Dodge

TEST_F(DodgeTest, SidestepIsAcrossTheLineOfFireAgainstTheDrift) {
    const Vector3 bot(0, 0, 0), thrower(0, 0, 10);  // a = (0, 0, 10): side (-10, 0, 0) normalised
    struct Case {
        Vector3 velocity;
        Vector3 side;
    } cases[] = {
        {{0, 0, -30}, {-1, 0, 0}},     // straight along the line: (-a.z, 0, a.x)
        {{-3, 0, -30}, {1, 0, 0}},     // drifting to -x: step to +x
        {{3, -5, -30}, {-1, 0, 0}},    // drifting to +x: step to -x
    };
    for (const Case& c : cases) ExpectNear(AI::DodgeDirection(bot, thrower, c.velocity), c.side);
    // The thrower's height does not tilt the step.
    ExpectNear(AI::DodgeDirection(bot, {10, 7, 0}, {0, 0, 0}), {0, 0, 1});
    // A thrower on the bot's own spot gives no direction rather than a NaN.
    EXPECT_EQ(AI::DodgeDirection(bot, bot, {1, 0, 0}), Vector3{});
}

TEST_F(DodgeTest, ReactsAfterTheDelaySidestepsFacingTheThrowerThenResets) {
    world.ai->GetSettings().dodgeDelayMin = 0;
    world.ai->GetSettings().dodgeDelayMax = 500;
    GameLogicView::Player* thrower = Enemy({0.5f, 0.5f, 12.5f});
    for (const float vy : {0.0f, -3.0f}) {
        SCOPED_TRACE(vy);
        auto dodge = Plan(std::make_shared<AI::Dodge>(bot, thrower->GetActorId(), Vector3(0, vy, -30)));
        Fresh();
        Frame();  // entered: reacting
        ASSERT_EQ(bot->GetTop(), dodge);
        cmds.Deliver();
        EXPECT_TRUE(cmds.Names(id()).empty());
        int reaction = -1, sidestep = -1;
        for (int t = 16; t <= 1200 && bot->GetTop() == dodge; t += 16) {
            cmds.Clear();
            Frame();
            cmds.Deliver();
            const bool moved = !cmds.Moves(id()).empty() && cmds.Moves(id()).back() != Vector3{};
            if (moved && reaction < 0) reaction = t;
            if (moved) {
                sidestep = t;
                ExpectNear(cmds.Moves(id()).back(), {-1, 0, 0});
                ASSERT_FALSE(cmds.Turns(id()).empty());
                ExpectNear(Forward(cmds.Turns(id()).back()), Vector3(0.001f, 0, 12.001f).Normalized());
            } else if (reaction < 0 && dodge->GetSubstate() == AI::Dodge::kReacting) {
                // While reacting the bot raises nothing at all.
                EXPECT_TRUE(cmds.Names(id()).empty());
            }
            EXPECT_EQ(cmds.Jumps(id()), (vy < -0.2f && moved && sidestep == reaction) ? 1u : 0u);
        }
        ASSERT_NE(bot->GetTop(), dodge);  // reset: idling again
        EXPECT_EQ(bot->GetBehaviour(), "IDLE");
        ASSERT_GE(reaction, 0);
        EXPECT_LE(reaction, 500 + 32);
        EXPECT_GE(sidestep - reaction, 150 - 32);
        EXPECT_LE(sidestep - reaction, 300 + 16);
        Restart();
        DrainTimers();
    }
}

TEST_F(DodgeTest, NoReactionTimeStepsAsideAtOnceAndAMissingThrowerResets) {
    world.ai->GetSettings().dodgeDelayMin = 0;
    world.ai->GetSettings().dodgeDelayMax = 0;
    GameLogicView::Player* thrower = Enemy({10.5f, 0.5f, 0.5f});
    auto dodge = Run(std::make_shared<AI::Dodge>(bot, thrower->GetActorId(), Vector3(-30, 0, 0)));
    // The timer of delay 0 came while entering: sidestepping already.
    EXPECT_EQ(dodge->GetSubstate(), AI::Dodge::kSidestepping);
    ExpectNear(dodge->GetDodgeMove(), {0, 0, 1});
    Restart();
    DrainTimers();

    Run(std::make_shared<AI::Dodge>(bot, uint16_t{4321}, Vector3(-30, 0, 0)));
    EXPECT_TRUE(AskedReset());
}

// ------------------------------------------------------------------- Guard

TEST_F(GuardTest, FindGuardPosWalksToTheBotsPost) {
    world.ai->SetGuardPoints(0, {{6.5f, 0.5f, 0.5f}});
    AI::GuardMan& guards = world.Team(0).GetGuardMan();
    Plan(std::make_shared<AI::FindGuardPos>(bot));
    Frame();
    ASSERT_TRUE(bot->GetTop());
    EXPECT_EQ(bot->GetTop()->GetName(), "FollowPath");
    const auto* walk = dynamic_cast<const AI::FollowPath*>(bot->GetTop().get());
    ASSERT_NE(walk, nullptr);
    ExpectNear(walk->GetGoal(), {6.5f, 0.5f, 0.5f});
    ASSERT_TRUE(guards.FindSlotOf(*bot));
    // Asked again, the same post.
    EXPECT_EQ(*guards.GetSlot(*bot), Vector3(6.5f, 0.5f, 0.5f));
}

TEST_F(GuardTest, AnnouncesStopsAndTurnsInStepsUntilFacingOrTwentySteps) {
    // Facing +z; the first look direction of every Guard is drawn from its
    // own generators, so it is the same for each new machine.
    Me()->GetActor()->body->SetOrientation(Facing(0, 1));
    auto guard = Run(std::make_shared<AI::Guard>(bot));
    cmds.Deliver();
    const auto bubbles = cmds.Bubbles();
    ASSERT_EQ(bubbles.size(), 1u);
    EXPECT_EQ(bubbles[0]->GetPayload()->durationMs, 5000);
    EXPECT_EQ(bubbles[0]->GetPayload()->tutorial, 0);
    EXPECT_EQ(cmds.Stops(id()), 1u);
    EXPECT_EQ(guard->GetSubstate(), AI::Guard::kTurning);
    const Vector3 look = guard->GetLookDirection();
    EXPECT_EQ(look.y, 0.0f);
    EXPECT_NE(look.x, 0.0f);

    // Apply each turn to the body, as the logic does, and count the steps.
    int steps = 0;
    for (int i = 0; i < 40 && guard->GetSubstate() == AI::Guard::kTurning; ++i) {
        cmds.Clear();
        guard->Update();
        cmds.Deliver();
        const auto turns = cmds.Turns(id());
        if (turns.empty()) break;
        ++steps;
        Me()->GetActor()->body->SetOrientation(turns.back());
        EXPECT_EQ(cmds.Names(id()), (std::vector<std::string>{"VtlCommandActorTurn", "VtLActorMove"}));
    }
    EXPECT_EQ(guard->GetSubstate(), AI::Guard::kPausing);
    EXPECT_LE(steps, 20);
    const float g = Geometry::AngleBetween(look, Forward(Me()->GetOrientation()));
    // Either it faces the look direction or it turned 20 steps (2.0000002 > 2).
    EXPECT_TRUE(g < 0.3f + 1e-4f || steps == 20) << g << " after " << steps;

    // Twenty single-precision steps of 0.1 pass 2.0: the turn stops there.
    float turned = 0.0f;
    for (int i = 0; i < 20; ++i) turned += 0.1f;
    EXPECT_GT(turned, 2.0f);
}

TEST_F(GuardTest, TurnsAtMostTwentyStepsThenPausesSilentlyAndLooksAgain) {
    // Whatever the look direction, a body that never turns reaches the cap.
    auto guard = Run(std::make_shared<AI::Guard>(bot));
    const Vector3 first = guard->GetLookDirection();
    if (Geometry::AngleBetween(first, Forward(Me()->GetOrientation())) < 0.3f) {
        Me()->GetActor()->body->SetOrientation(Quaternion::FromTo({0, 0, 1}, first * -1.0f));
    }
    int steps = 0;
    while (guard->GetSubstate() == AI::Guard::kTurning && steps < 40) {
        guard->Update();
        ++steps;
    }
    EXPECT_EQ(steps, 21);  // twenty turns, then the pause
    EXPECT_GT(guard->GetTurned(), 2.0f);

    // A pause of 1000 to 1500 ms without a command, then a new direction.
    Fresh();
    int paused = 0;
    while (guard->GetSubstate() == AI::Guard::kPausing && paused < 2000) {
        cmds.Clear();
        Frame();
        cmds.Deliver();
        if (guard->GetSubstate() == AI::Guard::kPausing) {
            EXPECT_TRUE(cmds.Names(id()).empty());
        }
        paused += 16;
    }
    EXPECT_GE(paused, 1000);
    EXPECT_LE(paused, 1500 + 32);
    EXPECT_EQ(guard->GetSubstate(), AI::Guard::kTurning);
    EXPECT_LE(guard->GetTurned(), 0.1f);  // counted afresh (one step in the same frame at most)
}

TEST_F(GuardTest, ChangesPostAfterFiveToSixSecondsWithoutGrowingTheStack) {
    world.ai->SetGuardPoints(0, {{0.5f, 0.5f, 0.5f}, {8.5f, 0.5f, 0.5f}});
    AI::GuardMan& guards = world.Team(0).GetGuardMan();
    ASSERT_TRUE(guards.GetSlot(*bot));
    const Vector3 first = guards.FindSlotOf(*bot)->position;
    const Vector3 second = first == Vector3(0.5f, 0.5f, 0.5f) ? Vector3(8.5f, 0.5f, 0.5f) : Vector3(0.5f, 0.5f, 0.5f);
    Plan(std::make_shared<AI::Guard>(bot));
    Fresh();
    Frame();
    const size_t depth = bot->StackSize();
    int t = 16;
    while (bot->GetTop()->GetName() == "Guard" && t < 7000) {
        Frame();
        t += 16;
    }
    EXPECT_GE(t, 5000);
    EXPECT_LE(t, 6000 + 48);
    EXPECT_EQ(bot->GetTop()->GetName(), "FollowPath");
    EXPECT_EQ(bot->StackSize(), depth);  // the walk took the old guard's place
    ASSERT_TRUE(guards.FindSlotOf(*bot));
    EXPECT_EQ(guards.FindSlotOf(*bot)->position, second);
    for (const AI::GuardSlot& slot : guards.Slots())
        if (slot.position == first) {
            EXPECT_FALSE(slot.taken);
        }
    ASSERT_EQ(bot->GetPlan().size(), 2u);
    EXPECT_EQ(bot->GetPlan()[1]->GetName(), "Guard");
}

TEST_F(GuardTest, EveryPostHeldKeepsTheOwnPostAndLooksAgainLater) {
    world.ai->SetGuardPoints(0, {{0.5f, 0.5f, 0.5f}});
    AI::GuardMan& guards = world.Team(0).GetGuardMan();
    ASSERT_TRUE(guards.GetSlot(*bot));
    auto guard = Plan(std::make_shared<AI::Guard>(bot));
    Fresh();
    for (int t = 0; t < 13000; t += 16) Frame();
    EXPECT_EQ(bot->GetTop(), guard);
    EXPECT_EQ(guards.FindSlotOf(*bot)->position, Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(world.ai->GetMsgRoute()->QueuedCount() > 0, true);  // the next look is queued
}

// --------------------------------------------------------------- TouchFlag

TEST_F(TouchFlagTest, WalksOntoTheDroppedFlagByBotSpeedOrTheWholeDifferenceOnAnAxis) {
    world.ai->GetSettings().botSpeed = 2.0f;
    struct Case {
        Vector3 flag;
        Vector3 move;
    } cases[] = {
        {{7.5f, 0.5f, 7.5f}, Vector3(1, 0, 1).Normalized() * 2.0f},  // diagonal: a step of BotSpeed
        {{0.5f, 0.5f, 9.5f}, {0, 0, 9}},                             // on the z axis: the whole difference
        {{-4.5f, 2.0f, 0.5f}, {-5, 0, 0}},                           // height does not count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag.x);
        GameLogicView::Flag* flag = world.AddFlag(0, c.flag);
        world.DropFlag(flag);
        Run(std::make_shared<AI::TouchFlag>(bot, flag->GetId()));
        Frames(1);
        ASSERT_EQ(cmds.Moves(id()).size(), 1u);
        ExpectNear(cmds.Moves(id())[0], c.move);
        ASSERT_EQ(cmds.Turns(id()).size(), 1u);
        ExpectNear(Forward(cmds.Turns(id())[0]), Vector3(c.move.x, 0, c.move.z).Normalized());
        EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_NONE);
        flag->SetState(GameLogicView::FlagState::kHome);
        Restart();
    }
}

TEST_F(TouchFlagTest, ResetsWhenTheFlagIsBackHomeGoneOrOutOfSight) {
    GameLogicView::Flag* flag = world.AddFlag(0, {6.5f, 0.5f, 0.5f});
    world.DropFlag(flag);
    auto touch = Run(std::make_shared<AI::TouchFlag>(bot, flag->GetId()));
    flag->SetState(GameLogicView::FlagState::kHome);  // returned
    touch->Update();
    EXPECT_TRUE(AskedReset());
    Restart();

    touch = Run(std::make_shared<AI::TouchFlag>(bot, uint16_t{999}));
    touch->Update();
    EXPECT_TRUE(AskedReset());
    Restart();

    flag->SetState(GameLogicView::FlagState::kDropped);
    Wall({3.5f, 1.0f, 0.5f}, {0.5f, 1.0f, 3.0f});
    touch = Run(std::make_shared<AI::TouchFlag>(bot, flag->GetId()));
    cmds.Fresh();
    touch->Update();
    EXPECT_TRUE(AskedReset());
    cmds.Deliver();
    EXPECT_TRUE(cmds.Moves(id()).empty());
}
