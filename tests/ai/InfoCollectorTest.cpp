// The information collector: contacts, explosions heard, incoming throws and
// the tutorial steps of human players, kept until the end of the team step.
#include <gtest/gtest.h>

#include <memory>

#include "ai/InfoCollector.h"
#include "AIWorld.h"
#include "events/types/ActorEvents.h"

using namespace AITest;
using AI::BotGameView;

namespace {

class CollectorTest : public ::testing::Test {
protected:
    void SetUp() override { world.ai->GetSettings().disableBots = true; }

    static void Collide(uint16_t a, uint16_t b, const Vector3& normal) {
        EventSystem::TriggerEvent(EventTypes::EventUpdateCollision(0, 1.0f, {}, normal, static_cast<int16_t>(a), 1.0f,
                                                                   static_cast<int16_t>(b), 1.0f));
    }
    AIWorld world;
};

}  // namespace

TEST_F(CollectorTest, SideContactsWithBlocksAreKept) {
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    BotGameView* mate = world.AddBot(0, {1, 0.5f, 0});
    GameLogicView::Player* human = world.AddHuman(0, {2, 0.5f, 0});
    GameLogicView::BlockPtr side = world.AddBlock({1, 0.5f, 0});
    GameLogicView::BlockPtr below = world.AddBlock({0, -0.5f, 0});
    GameLogicView::BlockPtr slope = world.AddBlock({-1, 0.5f, 0});

    Collide(bot->GetActorId(), side->GetId(), {1, 0, 0});      // walked into sideways
    Collide(below->GetId(), bot->GetActorId(), {0, 1, 0});     // landed on it
    Collide(slope->GetId(), bot->GetActorId(), {1, 0.6f, 0});   // |y| 0.51 once normalised
    Collide(slope->GetId(), bot->GetActorId(), {1, 0.55f, 0});  // |y| 0.48
    Collide(bot->GetActorId(), mate->GetActorId(), {1, 0, 0});  // two bots
    Collide(bot->GetActorId(), human->GetActorId(), {1, 0, 0});  // a player is no block
    // The views' copy of the report carries nothing for the bots.
    EventTypes::EventUpdateCollisionData copy;
    copy.actorIdA = static_cast<int16_t>(bot->GetActorId());
    copy.actorIdB = static_cast<int16_t>(side->GetId());
    EventSystem::TriggerEvent(EventTypes::EventUpdateCollisionToClient(copy));

    EXPECT_EQ(bot->GetPerception().contacts, (std::vector<GameLogicView::BlockPtr>{side, slope}));
    EXPECT_TRUE(mate->GetPerception().contacts.empty());

    world.ai->GetSettings().disableBots = false;
    world.Step();  // the end of the team step empties the reports
    EXPECT_TRUE(bot->GetPerception().contacts.empty());
}

TEST_F(CollectorTest, ExplosionsAreHeardByTheOtherTeamWithinRange) {
    BotGameView* near = world.AddBot(1, {28, 0.5f, 0});
    BotGameView* far = world.AddBot(1, {29, 0.5f, 0});
    BotGameView* own = world.AddBot(0, {1, 0.5f, 0});
    EventSystem::TriggerEvent(EventTypes::EventUpdateExplosion({0, 0.5f, 0}, 5, 0, 7));
    EXPECT_EQ(near->GetPerception().explosionsHeard, (std::vector<Vector3>{{0, 0.5f, 0}}));
    EXPECT_TRUE(far->GetPerception().explosionsHeard.empty());
    EXPECT_TRUE(own->GetPerception().explosionsHeard.empty());
    // Team 1's bomb is heard by team 0.
    EventSystem::TriggerEvent(EventTypes::EventUpdateExplosion({2, 0.5f, 0}, 5, 1, 7));
    EXPECT_EQ(own->GetPerception().explosionsHeard.size(), 1u);
}

TEST_F(CollectorTest, ThrowsHeadingAtABotThatFacesTheThrower) {
    GameLogicView::Player* thrower = world.AddPlayer(0, {0, 0.5f, 0}, Facing(0, 1), GameLogicView::ActorTypes::kBot);
    struct Case {
        const char* name;
        Vector3 at;
        Quaternion facing;
        bool warned;
    } cases[] = {
        {"straight at a bot facing back", {0, 0.5f, 10}, Facing(0, -1), true},
        {"turned away", {0, 0.5f, 10}, Facing(0, 1), false},
        {"off by about 22 degrees", {4, 0.5f, 10}, Facing(-0.4f, -1), false},
        {"off by about 11 degrees", {2, 0.5f, 10}, Facing(-0.2f, -1), true},
        {"beyond sight", {0, 0.5f, 20.5f}, Facing(0, -1), false},
    };
    std::vector<BotGameView*> bots;
    for (const Case& c : cases) bots.push_back(world.AddBot(1, c.at, c.facing));
    BotGameView* mate = world.AddBot(0, {0, 0.5f, 10}, Facing(0, -1));

    EventSystem::TriggerEvent(EventTypes::EventUpdateThrowBlock({0, 0.5f, 0}, {0, 0, 1},
                                                                static_cast<int16_t>(thrower->GetActorId()), 40, -1));
    for (size_t i = 0; i < bots.size(); ++i) {
        const auto& throws = bots[i]->GetPerception().incomingThrows;
        ASSERT_EQ(throws.size(), cases[i].warned ? 1u : 0u) << cases[i].name;
        if (cases[i].warned) {
            EXPECT_EQ(throws[0].thrower, thrower->GetActorId());
            EXPECT_EQ(throws[0].velocity, (Vector3{0, 0, 1}));
        }
    }
    EXPECT_TRUE(mate->GetPerception().incomingThrows.empty());  // teammates are not warned
}

TEST_F(CollectorTest, AHumansFirstThrowAndPickUpAreNoted) {
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 0});
    AI::PlayerRecord* record = world.Team(0).FindPlayer(human->GetActorId());
    const int16_t id = static_cast<int16_t>(human->GetActorId());
    EXPECT_FALSE(record->hasThrown);
    EXPECT_FALSE(record->hasPickedUp);
    EventSystem::TriggerEvent(EventTypes::EventUpdatePickUpBlock(id, 40, 0, {}, {}, {}));
    EXPECT_TRUE(record->hasPickedUp);
    EXPECT_FALSE(record->hasThrown);
    EventSystem::TriggerEvent(EventTypes::EventUpdateThrowBlock({}, {0, 0, 1}, id, 40, -1));
    EXPECT_TRUE(record->hasThrown);
}

TEST_F(CollectorTest, ListenersRegisterOnceAndLetTheEventGoOn) {
    AI::InfoCollector& info = world.ai->GetInfoCollector();
    EXPECT_TRUE(info.IsRegistered());
    info.RegisterListeners();  // no second binding
    BotGameView* near = world.AddBot(1, {1, 0.5f, 0});
    TestSupport::EventRecorder later;  // subscribed after the collector
    later.Listen<EventTypes::EventUpdateExplosion>();
    EventSystem::TriggerEvent(EventTypes::EventUpdateExplosion({0, 0.5f, 0}, 5, 0, 7));
    EXPECT_EQ(near->GetPerception().explosionsHeard.size(), 1u);
    EXPECT_EQ(later.Count<EventTypes::EventUpdateExplosion>(), 1u);
}
