// Bot perception: enemies by range, facing and line of sight, teammates,
// flags in reach and in sight, carriers, what the bot holds; rebuilt every
// step, and the humans' sight records.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "AIWorld.h"

using namespace AITest;
using AI::BotGameView;

namespace {

class PerceptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Roles and behaviours stay out of the way; the test drives perception.
        world.ai->GetSettings().disableBots = true;
    }
    static bool Has(const std::vector<GameLogicView::Player*>& list, const GameLogicView::Player* p) {
        return std::find(list.begin(), list.end(), p) != list.end();
    }
    AIWorld world;
};

struct RangeCase {
    const char* name;
    Vector3 enemyAt;   // the bot stands at the origin facing +z
    Quaternion botFacing;
    bool humanSquad;   // the bot follows a human (facing ignored)
    bool seen;
    bool defender = false;  // a guard watches all round (facing ignored)
};

class EnemyRangeTest : public ::testing::TestWithParam<RangeCase> {
protected:
    AIWorld world;
};

}  // namespace

TEST_P(EnemyRangeTest, EnemiesInRangeInFrontAndInSight) {
    const RangeCase& c = GetParam();
    world.ai->GetSettings().disableBots = true;
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0}, c.botFacing);
    GameLogicView::Player* enemy = world.AddBot(1, c.enemyAt)->GetPlayer();
    if (c.humanSquad) {
        GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, -3});
        world.Team(0).GetSquadMan().Create(human, true)->AddMember(*bot);
    }
    if (c.defender) bot->StoreRole(AI::Role::kDefender);
    world.Team(0).UpdateBotPerception(*bot);
    EXPECT_EQ(bot->GetPerception().enemiesInView.size(), c.seen ? 1u : 0u);
    if (c.seen) {
        EXPECT_EQ(bot->GetPerception().enemiesInView[0], enemy);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnemyRangeTest,
    ::testing::Values(RangeCase{"ExactlyAtSightRange", {0, 0.5f, 20}, Facing(0, 1), false, true},
                      RangeCase{"JustBeyondSightRange", {0, 0.5f, 20.01f}, Facing(0, 1), false, false},
                      RangeCase{"StraightBehind", {0, 0.5f, -5}, Facing(0, 1), false, false},
                      RangeCase{"BehindButFollowingAHuman", {0, 0.5f, -5}, Facing(0, 1), true, true},
                      RangeCase{"BehindAGuard", {0, 0.5f, -5}, Facing(0, 1), false, true, true},
                      RangeCase{"BeyondAGuardsSight", {0, 0.5f, -20.01f}, Facing(0, 1), false, false, true},
                      RangeCase{"FacingAway", {0, 0.5f, 5}, Facing(0, -1), false, false},
                      // cos(78.5 degrees) is about 0.2: the edge of the view
                      RangeCase{"WideToTheSide", {10, 0.5f, 2.5f}, Facing(0, 1), false, true},
                      RangeCase{"BesideIsOutOfView", {10, 0.5f, 1.0f}, Facing(0, 1), false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PerceptionTest, WallsHideEnemiesAndTeammates) {
    BotGameView* bot = world.AddBot(0, {0.5f, 0.5f, 0.5f});
    GameLogicView::Player* enemy = world.AddBot(1, {0.5f, 0.5f, 10.5f})->GetPlayer();
    GameLogicView::Player* mate = world.AddBot(0, {0.5f, 0.5f, -10.5f})->GetPlayer();
    world.Team(0).UpdateBotPerception(*bot);
    EXPECT_TRUE(Has(bot->GetPerception().enemiesInView, enemy));
    EXPECT_TRUE(Has(bot->GetPerception().teammatesInView, mate));

    AI::SearchSpace& grid = world.ai->GetSearchSpace();
    grid.SetBoxOccupancy(0.5f, 1.0f, 5.5f, 3.0f, 1.0f, 0.5f, true);
    grid.SetBoxOccupancy(0.5f, 1.0f, -5.5f, 3.0f, 1.0f, 0.5f, true);
    world.Team(0).UpdateBotPerception(*bot);
    EXPECT_TRUE(bot->GetPerception().enemiesInView.empty());
    EXPECT_TRUE(bot->GetPerception().teammatesInView.empty());
}

TEST_F(PerceptionTest, TeammatesNeverIncludeTheBotOrTheDead) {
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::Player* behind = world.AddBot(0, {0, 0.5f, -5})->GetPlayer();  // no facing test
    GameLogicView::Player* dead = world.AddBot(0, {2, 0.5f, 0})->GetPlayer();
    dead->dead = 1;
    GameLogicView::Player* human = world.AddHuman(0, {3, 0.5f, 3});
    world.AddBot(0, {0, 0.5f, 25});  // out of range
    world.Team(0).UpdateBotPerception(*bot);
    const auto& mates = bot->GetPerception().teammatesInView;
    EXPECT_EQ(mates, (std::vector<GameLogicView::Player*>{behind, human}));
    EXPECT_FALSE(Has(mates, bot->GetPlayer()));
}

TEST_F(PerceptionTest, RebuiltEveryStepForTheLivingOnly) {
    world.ai->GetSettings().disableBots = false;
    world.ai->GetSettings().offenseQuota = 0;
    world.ai->GetSettings().defenseQuota = 0;
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::Player* enemy = world.AddBot(1, {0, 0.5f, 5})->GetPlayer();
    auto moveEnemy = [&](float z) { enemy->GetActor()->body->SetPosition({0, 0.5f, z}); };
    auto seen = [&] { return bot->GetPerception().enemiesInView.size(); };
    world.Step();
    EXPECT_EQ(seen(), 1u);
    moveEnemy(50);
    world.Step();
    EXPECT_EQ(seen(), 0u);
    moveEnemy(5);
    world.Step();
    EXPECT_EQ(seen(), 1u);

    bot->GetPlayer()->dead = 1;  // a dead bot keeps what it last knew
    moveEnemy(50);
    world.Step();
    EXPECT_EQ(seen(), 1u);
    bot->GetPlayer()->dead = 0;
    world.Step();
    EXPECT_EQ(seen(), 0u);
    moveEnemy(5);
    enemy->dead = 1;  // the dead are never seen
    world.Step();
    EXPECT_EQ(seen(), 0u);
}

TEST_F(PerceptionTest, EnemyFlagsLyingWithinThirtyUnitsInSight) {
    BotGameView* bot = world.AddBot(0, {0.5f, 0.5f, 0.5f});
    GameLogicView::Flag* near = world.AddFlag(1, {29.5f, 0.5f, 0.5f});  // 29 away
    GameLogicView::Flag* edge = world.AddFlag(1, {0.5f, 0.5f, 30.5f});  // exactly 30: squared 900
    GameLogicView::Flag* carried = world.AddFlag(1, {0.5f, 0.5f, 5.5f});
    GameLogicView::Flag* hidden = world.AddFlag(1, {-9.5f, 0.5f, 0.5f});
    for (GameLogicView::Flag* f : {near, edge, carried, hidden}) world.DropFlag(f);
    carried->SetState(GameLogicView::FlagState::kCarried);
    world.ai->GetSearchSpace().SetBoxOccupancy(-4.5f, 1.0f, 0.5f, 0.5f, 1.0f, 3.0f, true);  // a wall
    world.DropFlag(world.AddFlag(0, {2.5f, 0.5f, 10.5f}));  // our own
    world.Team(0).UpdateBotPerception(*bot);
    EXPECT_EQ(bot->GetPerception().enemyFlagsInReach, (std::vector<uint16_t>{near->GetId()}));
}

TEST_F(PerceptionTest, OwnDroppedFlagsInSightAndCarriersOfOwnFlags) {
    BotGameView* bot = world.AddBot(0, {0.5f, 0.5f, 0.5f});
    GameLogicView::Flag* dropped = world.AddFlag(0, {60.5f, 0.5f, 0.5f});  // no distance limit
    world.DropFlag(dropped);
    world.AddFlag(0, {5.5f, 0.5f, 10.5f});  // at home
    GameLogicView::Player* thief = world.AddBot(1, {0, 0.5f, -40})->GetPlayer();
    GameLogicView::Flag* stolen = world.AddFlag(0, {0.5f, 0.5f, -40.5f});
    stolen->SetState(GameLogicView::FlagState::kCarried);
    stolen->SetCarrier(thief->GetActorId());
    GameLogicView::Flag* ghost = world.AddFlag(0, {9.5f, 0.5f, -40.5f});
    ghost->SetState(GameLogicView::FlagState::kCarried);
    ghost->SetCarrier(999);  // no such player
    world.Team(0).UpdateBotPerception(*bot);
    EXPECT_EQ(bot->GetPerception().ownDroppedFlagsInSight, (std::vector<uint16_t>{dropped->GetId()}));
    EXPECT_EQ(bot->GetPerception().carriersOfOwnFlags, (std::vector<GameLogicView::Player*>{thief}));
}

TEST_F(PerceptionTest, WhatTheBotHolds) {
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::Player* p = bot->GetPlayer();
    struct Case {
        const char* name;
        GameLogicView::BlockPtr held;
        bool bomb, flag;
    } cases[] = {
        {"empty hand", nullptr, false, false},
        {"block", world.AddBlock({0, 3, 0}), false, false},
        {"bomb", world.AddBlock({0, 3, 0}, 9), true, false},
        {"flag", world.AddFlag(1, {0, 3, 0})->GetBlockData(), false, true},
    };
    p->pouch.push_back(world.AddBlock({40, 0.5f, 0}));
    p->pouch.push_back(world.AddBlock({41, 0.5f, 0}));
    for (const Case& c : cases) {
        p->heldBlock = c.held;
        world.Team(0).UpdateBotPerception(*bot);
        EXPECT_EQ(bot->GetPerception().holdingBomb, c.bomb) << c.name;
        EXPECT_EQ(bot->GetPerception().holdingFlag, c.flag) << c.name;
        EXPECT_EQ(bot->GetPerception().blocksInPouch, 2) << c.name;
    }
}

TEST_F(PerceptionTest, SquadLeaderDistanceAndHumanSight) {
    world.ai->GetSettings().disableBots = false;
    world.ai->GetSettings().offenseQuota = 0;
    world.ai->GetSettings().defenseQuota = 0;
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 0}, Facing(0, 1));
    BotGameView* bot = world.AddBot(0, {3, 0.5f, 4});
    world.Team(0).GetSquadMan().Create(human, true)->AddMember(*bot);
    bot->SetRole(AI::Role::kSquadMember);
    GameLogicView::Player* behind = world.AddBot(1, {0, 0.5f, -6})->GetPlayer();
    world.Step();
    EXPECT_FLOAT_EQ(bot->GetPerception().squadLeaderDistance, 25.0f);
    // The human's record lives only during the step.
    EXPECT_EQ(world.Team(0).FindHumanSight(human->GetActorId()), nullptr);

    // Inside a step (the behaviour selection reads it) the human sees the
    // enemy behind them: a human's sight ignores facing.
    struct Peek : AI::IBehaviourSelector {
        AI::TeamMan* team;
        uint16_t human;
        std::vector<GameLogicView::Player*> seen;
        bool found = false;
        void SelectBehaviour(BotGameView&) override {
            if (const AI::HumanSight* s = team->FindHumanSight(human)) {
                found = true;
                seen = s->enemies;
            }
        }
    };
    auto peek = std::make_unique<Peek>();
    Peek* p = peek.get();
    p->team = &world.Team(0);
    p->human = human->GetActorId();
    world.Team(0).SetBehaviourSelector(std::move(peek));
    world.Step();
    EXPECT_TRUE(p->found);
    EXPECT_EQ(p->seen, (std::vector<GameLogicView::Player*>{behind}));
}
