// Bombs: spawners, explosions on impact, chains, the blast's push and the
// players it kills.
#include "MatchFixture.h"

#include <cmath>

#include "gamelogic/Bombs.h"
#include "gamelogic/BombSpawnManager.h"
#include "gamelogic/Player.h"

namespace MatchTest {

class BombsTest : public MatchFixture {
protected:
    void SetUp() override {
        MatchFixture::SetUp();
        StartRules(0);
    }
    // A bomb (object state 9, scale 2: half-extents 0.5) lying at p.
    BlockPtr Bomb(const Vector3& p) {
        BlockPtr b = MakeBlock(ActorTypes::kBox, p, Vector3(2, 2, 2), Bombs::kBombObjectState, 1);
        b->SetState(BlockState::kFree);
        return b;
    }
    BlockPtr ThrownBomb(const Vector3& p, uint16_t owner, uint8_t team) {
        BlockPtr b = Bomb(p);
        b->SetState(BlockState::kThrown);
        b->owner = owner;
        b->team = team;
        return b;
    }
    std::vector<std::shared_ptr<EventTypes::EventUpdateExplosion>> Explosions() const {
        return recorder.Of<EventTypes::EventUpdateExplosion>();
    }
    BlockMan& Blocks() { return *logic->GetBlockMan(); }
};

TEST_F(BombsTest, ASpawnerDropsABombOnTheFirstFrameAndKeepsToMaxBombs) {
    LogicSettings s;
    s.bombTime157 = 1;  // a second between requests
    SetLogicSettings(s);
    logic->GetBombSpawnManager()->AddSpawnPoint(157, Vector3(0, 3, 0));
    Run(16);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(recorder.Count<EventTypes::EventCommandCreateBlock>(), 1u);
    const auto& point = *logic->GetBombSpawnManager()->GetSpawnPoints()[0];
    ASSERT_EQ(point.bombIds.size(), 1u);
    const BlockPtr bomb = logic->GetBlock(point.bombIds[0]);
    ASSERT_TRUE(Bombs::IsBomb(bomb));
    EXPECT_EQ(bomb->state, BlockState::kFree);
    EXPECT_EQ(bomb->actor->extents, Vector3(0.5f, 0.5f, 0.5f));
    Run(3000);
    EXPECT_EQ(point.bombIds.size(), 1u) << "MaxBombs 1: no second bomb while the first lies there";
    // Once it exploded the spawner makes another.
    Bombs::ExplodeBomb(Blocks(), bomb, 0xFFFF, 1);
    Run(1100);
    EXPECT_EQ(point.bombIds.size(), 2u);
}

TEST_F(BombsTest, AThrownBombExplodesOnImpactOnBehalfOfItsThrower) {
    const BlockPtr bomb = ThrownBomb(Vector3(0, 0.5f, 0), 42, 0);
    const uint16_t id = bomb->GetId();
    Collide(id, 0xFFFF, 12.0f, Vector3(1, 0, 0));  // a wall has no actor
    EXPECT_EQ(bomb->state, BlockState::kExploded);
    EventSystem::ProcessEventQueue();
    const auto boom = Explosions();
    ASSERT_EQ(boom.size(), 1u);
    EXPECT_EQ(boom[0]->GetPayload()->ownerId, 42);
    EXPECT_EQ(boom[0]->GetPayload()->team, 0);
    EXPECT_EQ(boom[0]->GetPayload()->bombId, static_cast<int16_t>(id));
    // The logic removes it when the report is delivered.
    EXPECT_EQ(logic->GetBlock(id), nullptr);
    EXPECT_EQ(logic->GetActor(id), nullptr);
}

TEST_F(BombsTest, ALyingBombHitByAThrownOneGoesOffAChainStepLaterForTheThrower) {
    const BlockPtr lying = Bomb(Vector3(20, 0.5f, 0));
    const BlockPtr thrown = ThrownBomb(Vector3(21, 0.5f, 0), 42, 0);
    Collide(lying->GetId(), thrown->GetId(), 12.0f);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(Explosions().size(), 1u);
    EXPECT_EQ(Explosions()[0]->GetPayload()->bombId, static_cast<int16_t>(thrown->GetId()));
    EXPECT_EQ(lying->owner, 42);
    EXPECT_EQ(lying->team, 0);
    Run(144);
    EXPECT_EQ(Explosions().size(), 1u);
    Run(48);
    ASSERT_EQ(Explosions().size(), 2u);
    EXPECT_EQ(Explosions()[1]->GetPayload()->ownerId, 42);
    EXPECT_EQ(Explosions()[1]->GetPayload()->team, 0);
}

TEST_F(BombsTest, ChainsGoOffOneStepAfterAnotherInTableOrder) {
    const BlockPtr first = Bomb(Vector3(-20, 0.5f, 0));
    std::vector<BlockPtr> chain;
    for (int i = 1; i <= 3; ++i) chain.push_back(Bomb(Vector3(-20 + 0.7f * i, 0.5f, 0.3f)));
    Bombs::ExplodeBomb(Blocks(), first, 7, 0);
    EventSystem::ProcessEventQueue();
    std::vector<int> times;
    for (int t = 16; t <= 640; t += 16) {
        const size_t before = Explosions().size();
        Run(16);
        for (size_t i = before; i < Explosions().size(); ++i) times.push_back(t);
    }
    ASSERT_EQ(Explosions().size(), 4u);
    ASSERT_EQ(times.size(), 3u);
    // 150, 300 and 450 ms: each on the first update after its delay.
    const int expected[3] = {150, 300, 450};
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(times[i], expected[i]) << i;
        EXPECT_LT(times[i], expected[i] + 40) << i;
        EXPECT_EQ(Explosions()[i + 1]->GetPayload()->bombId, static_cast<int16_t>(chain[i]->GetId()));
        EXPECT_EQ(Explosions()[i + 1]->GetPayload()->ownerId, 7);
    }
}

TEST_F(BombsTest, AChainedBombInAPouchOrAHandDoesNotExplode) {
    Player* holder = SpawnPlayer(0, Vector3(30, 1.5f, 30));
    const BlockPtr first = Bomb(Vector3(-20, 0.5f, 0));
    const BlockPtr pouched = Bomb(Vector3(-19, 0.5f, 0));
    const BlockPtr held = Bomb(Vector3(-21, 0.5f, 0));
    Bombs::ExplodeBomb(Blocks(), first, 7, 0);
    // Both were set off; then a player takes them before their time.
    holder->AddToPouch(pouched);
    Blocks().TakeBlock(held);
    Run(600);
    EXPECT_EQ(Explosions().size(), 1u);
    EXPECT_EQ(pouched->state, BlockState::kPouch);
    EXPECT_EQ(held->state, BlockState::kHeld);
    EXPECT_NE(logic->GetBlock(pouched->GetId()), nullptr);
}

TEST_F(BombsTest, ABombDeletedBeforeItsChainStepStaysDeleted) {
    const BlockPtr first = Bomb(Vector3(-20, 0.5f, 0));
    const BlockPtr second = Bomb(Vector3(-19, 0.5f, 0));
    Bombs::ExplodeBomb(Blocks(), first, 7, 0);
    logic->DeleteBlockActor(second->GetId());
    Run(600);
    EXPECT_EQ(Explosions().size(), 1u);
    EXPECT_FALSE(second->actor->inPhysics);
}

TEST_F(BombsTest, TheBlastPushesBlocksAndChainsOnlyWithinTheChainDistance) {
    RulesSettings s;
    s.bombDistToChain = 1.0f;
    SetRulesSettings(s);
    const BlockPtr bomb = Bomb(Vector3(0, 10, 0));
    const BlockPtr near = MakeBlock(ActorTypes::kBox, Vector3(0.5f, 10, 0));  // q = 0.25: pushed as 0.5
    const BlockPtr other = Bomb(Vector3(0, 10, 2));                           // beyond the chain distance
    const BlockPtr far = MakeBlock(ActorTypes::kBox, Vector3(0, 10, -3.5f));  // outside the blast
    for (const BlockPtr& b : {near, other, far}) b->actor->body->ResetMotion();
    Bombs::ExplodeBomb(Blocks(), bomb, 7, 0);
    // Speed max(3 / 0.5, 3) = 6 away from the bomb (impulse 6 spins it too).
    EXPECT_NEAR(near->actor->GetVelocity().x, 6.0f + 6.0f / near->actor->body->GetMass(), 1e-3f);
    EXPECT_GT(other->actor->GetVelocity().z, 2.9f);
    EXPECT_EQ(far->actor->GetVelocity(), Vector3());
    Run(400);
    EXPECT_EQ(Explosions().size(), 1u) << "the bomb outside the chain distance was pushed, not set off";
}

TEST_F(BombsTest, StacksAndPilesBlownFromAboveStayAboveTheGround) {
    // Blasts on top of a resting tower and a resting pile drive the blocks
    // below them down into the ground; none may end inside or under it.
    // Stronger blasts than the game's own (a chain, a larger push) stand for
    // the worst a busy match piles up.
    struct Case {
        const char* what;
        float strength;   // times the shipped push
        int bombsOnPile;  // side by side on the pile's top, set off as a chain
    };
    const Case cases[] = {{"one bomb", 1.0f, 1},
                          {"a chain of three", 1.0f, 3},
                          {"a push twenty times the game's", 20.0f, 1},
                          {"a chain, four hundred times", 400.0f, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        RulesSettings r;
        r.bombImpulse *= c.strength;
        r.bombVelocityAdd *= c.strength;
        r.bombMinVelAdd *= c.strength;
        SetRulesSettings(r);
        // The shipped levels' ground is 3.2 thick (the fixture's, 10).
        logic->DeleteActor(groundActor->actorId);
        groundActor = MakeGround(3.2f);
        ASSERT_TRUE(groundActor && groundActor->body);
        const Physics::PhysBody& ground = *groundActor->body;
        ASSERT_NEAR(2.0f * ground.GetHalfExtents().y, 3.2f, 1e-4f);
        const Vector3 g = ground.GetPosition(), h = ground.GetHalfExtents();
        const float top = g.y + h.y;
        std::vector<BlockPtr> blocks;
        for (int i = 0; i < 6; ++i) blocks.push_back(MakeBlock(ActorTypes::kBox, Vector3(0, top + 0.5f + i, 0)));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                for (int z = 0; z < 3; ++z)
                    blocks.push_back(MakeBlock(ActorTypes::kBox, Vector3(5.0f + x, top + 0.5f + y, -1.0f + z)));
        for (const BlockPtr& b : blocks) ASSERT_TRUE(b && b->actor->body);
        Run(3000);  // everything comes to rest
        const BlockPtr onTower = Bomb(Vector3(0, top + 6.5f, 0));
        std::vector<BlockPtr> onPile;
        for (int i = 0; i < c.bombsOnPile; ++i) onPile.push_back(Bomb(Vector3(5.0f + i, top + 2.5f, 0)));
        Bombs::ExplodeBomb(Blocks(), onTower, 7, 0);
        Bombs::ExplodeBomb(Blocks(), onPile[0], 7, 0);
        Run(6000);
        int offTheEdge = 0;
        for (const BlockPtr& b : blocks) {
            const Vector3 p = b->GetPosition();
            ASSERT_TRUE(p.IsFinite());
            // Blown off the ground's edge, a block may fall past it; over the
            // ground it rests on top (a unit block's centre at 0.5 above it,
            // a little sinking into the contact allowed).
            if (std::fabs(p.x - g.x) < h.x && std::fabs(p.z - g.z) < h.z) {
                EXPECT_GT(p.y, top + 0.3f) << "block " << b->GetId() << " at " << p.x << ", " << p.y << ", " << p.z;
            } else {
                ++offTheEdge;
            }
        }
        EXPECT_LE(Blocks().FallenCount(), offTheEdge) << "only blocks beyond the ground's edge fall";
    }
}

TEST_F(BombsTest, ABlockRightOnTheBombIsThrownUpNotMadeNaN) {
    const BlockPtr bomb = Bomb(Vector3(0, 10, 0));
    const BlockPtr on = MakeBlock(ActorTypes::kBox, Vector3(0, 10, 0));
    on->actor->body->ResetMotion();
    Bombs::ExplodeBomb(Blocks(), bomb, 7, 0);
    const Vector3 v = on->actor->GetVelocity();
    EXPECT_TRUE(v.IsFinite());
    EXPECT_GT(v.y, 0.0f);
    EXPECT_EQ(v.x, 0.0f);
}

TEST_F(BombsTest, TheBlastKillsAndPushesEnemiesWithinTheKillRadiusOnly) {
    Player* enemy = SpawnPlayer(1, Vector3(2, 1.5f, 0));
    Player* mate = SpawnPlayer(0, Vector3(-2, 1.5f, 0));
    Player* distant = SpawnPlayer(1, Vector3(0, 1.5f, 3.5f));
    for (Player* p : {enemy, mate, distant}) p->invincible = 0;
    const Vector3 before = enemy->GetVelocity();
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateExplosion>(Vector3(0, 1.5f, 0), 9, 0, -1));
    EventSystem::ProcessEventQueue();
    EXPECT_TRUE(enemy->IsDead());
    EXPECT_FALSE(mate->IsDead());
    EXPECT_FALSE(distant->IsDead());
    EventSystem::ProcessEventQueue();
    const auto deaths = recorder.Of<EventTypes::EventUpdateActorDeath>();
    ASSERT_EQ(deaths.size(), 1u);
    EXPECT_EQ(deaths[0]->GetPayload()->killerId, 9);
    const Vector3 impulse = deaths[0]->GetPayload()->impulse;  // -d
    EXPECT_NEAR(impulse.x, 2.0f, 1e-3f);
    EXPECT_NEAR(impulse.y, 0.0f, 1e-3f);
    const Vector3 hit = deaths[0]->GetPayload()->hitPoint;  // the side facing the blast
    EXPECT_NEAR(hit.x, 1.5f, 1e-3f);
    EXPECT_NEAR(hit.z, 0.0f, 1e-3f);
    // q = 4: a = max(3, 0.75) = 3, v = d x -9 = (18, 0, 0) on top of the spill.
    EXPECT_GT(enemy->GetVelocity().x - before.x, 17.9f);
    EXPECT_NEAR(mate->GetVelocity().x, 0.0f, 1e-2f);
    // The report named no block: only the victim's pouch spill was deleted.
    for (const auto& del : recorder.Of<EventTypes::EventUpdateDeleteActor>())
        EXPECT_NE(del->GetPayload()->actorId, -1);
}

TEST_F(BombsTest, ABlastRightAtAPlayerPushesItUpAndStaysFinite) {
    Player* enemy = SpawnPlayer(1, Vector3(5, 1.5f, 5));
    enemy->invincible = 0;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateExplosion>(enemy->GetPosition(), 9, 0, -1));
    EventSystem::ProcessEventQueue();
    EXPECT_TRUE(enemy->IsDead());
    EXPECT_TRUE(enemy->GetVelocity().IsFinite());
    EXPECT_GT(enemy->GetVelocity().y, 0.0f);
    Run(100);
    EXPECT_TRUE(enemy->GetPosition().IsFinite());
}

}  // namespace MatchTest
