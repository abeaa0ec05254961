// Death, respawn and invincibility: who a thrown block kills, what a death
// spills, when and how a player comes back.
#include "MatchFixture.h"

#include <cmath>

#include "gamelogic/Player.h"

namespace MatchTest {

class Death : public MatchFixture {
protected:
    void SetUp() override {
        MatchFixture::SetUp();
        StartRules(0);
        thrower = SpawnPlayer(0, Vector3(-10, 1.5f, 0));
        victim = SpawnPlayer(1, Vector3(0, 1.5f, 0));
        victim->invincible = 0;
        EventSystem::ProcessEventQueue();
        recorder.Clear();
    }
    // An enemy block in flight, thrown by `thrower`.
    BlockPtr ThrownBlock(uint8_t team, const char* type = ActorTypes::kBox) {
        BlockPtr b = type == ActorTypes::kFlag ? FlagBlock() : MakeBlock(type, Vector3(0, 4, 0));
        b->SetState(BlockState::kThrown);
        b->team = team;
        b->owner = thrower->GetActorId();
        b->actor->body->SetVelocity(Vector3(30, 0, 40));
        return b;
    }
    BlockPtr FlagBlock() {
        ActorCreateInfo info;
        info.params.SetType(ActorTypes::kFlag);
        info.params.team = 0;
        info.params.objectStateId = 22;
        info.position = Vector3(0, 6, 0);
        return logic->GetBlock(logic->CreateActor(info)->actorId);
    }
    Player* thrower = nullptr;
    Player* victim = nullptr;
};

struct SpeedCase {
    float normalSpeed;
    bool kills;
};
class KillSpeed : public Death, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(KillSpeed, AThrownEnemyBlockKillsOnlyAboveTheKillSpeed) {
    const BlockPtr b = ThrownBlock(0);
    Collide(b->GetId(), victim->GetActorId(), GetParam().normalSpeed, Vector3(0, -1, 0), 0, Vector3(0, 2.5f, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(victim->IsDead(), GetParam().kills);
    const auto deaths = recorder.Of<EventTypes::EventUpdateActorDeath>();
    ASSERT_EQ(deaths.size(), GetParam().kills ? 1u : 0u);
    if (!GetParam().kills) return;
    const auto& d = *deaths[0]->GetPayload();
    EXPECT_EQ(d.actorId, static_cast<int16_t>(victim->GetActorId()));
    EXPECT_EQ(d.killerId, static_cast<int16_t>(thrower->GetActorId()));
    EXPECT_NEAR(d.impulse.x, 0.6f, 1e-5f);  // the block's direction of flight
    EXPECT_NEAR(d.impulse.z, 0.8f, 1e-5f);
    EXPECT_EQ(d.hitPoint, Vector3(0, 2.5f, 0));
}

INSTANTIATE_TEST_SUITE_P(Speeds, KillSpeed,
                         ::testing::Values(SpeedCase{20.0f, false}, SpeedCase{20.5f, true}, SpeedCase{-20.5f, true},
                                           SpeedCase{NAN, false}));

TEST_F(Death, TeamMatesHarmlessBlocksFlagsRestingContactsAndInvincibilitySpare) {
    struct Case {
        const char* what;
        std::function<BlockPtr()> block;
        int32_t kind;
    };
    const std::vector<Case> cases = {
        {"a team-mate's block", [&] { return ThrownBlock(1); }, 0},
        {"a block past its fatal time", [&] { return ThrownBlock(255); }, 0},
        {"a thrown flag", [&] { return ThrownBlock(0, ActorTypes::kFlag); }, 0},
        {"a resting contact", [&] { return ThrownBlock(0); }, 1},
        {"a free block", [&] {
             BlockPtr b = ThrownBlock(0);
             b->SetState(BlockState::kFree);
             return b;
         }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BlockPtr b = c.block();
        Collide(b->GetId(), victim->GetActorId(), 40.0f, Vector3(0, -1, 0), c.kind);
        EXPECT_FALSE(victim->IsDead());
    }
    victim->invincible = 1;
    Collide(ThrownBlock(0)->GetId(), victim->GetActorId(), 400.0f, Vector3(0, -1, 0));
    EXPECT_FALSE(victim->IsDead());
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorDeath>(), 0u);
}

TEST_F(Death, ADeadPlayerDoesNotDieAgainAndComesBackAfterTheDelayInvincibleForAWhile) {
    Collide(ThrownBlock(0)->GetId(), victim->GetActorId(), 30.0f, Vector3(0, -1, 0));
    Collide(ThrownBlock(0)->GetId(), victim->GetActorId(), 30.0f, Vector3(0, -1, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorDeath>(), 1u);
    EXPECT_FALSE(victim->HasHeldBlock());
    EXPECT_TRUE(victim->GetPouch().empty());

    Run(4992);  // RespawnDelay 5000
    EXPECT_TRUE(victim->IsDead());
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorSpawn>(), 0u);
    Run(32);
    EXPECT_FALSE(victim->IsDead());
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorSpawn>(), 1u);
    EXPECT_EQ(victim->invincible, 1);
    Run(1984);  // Invincible 2000
    EXPECT_EQ(victim->invincible, 1);
    Run(48);
    EXPECT_EQ(victim->invincible, 0);
}

TEST_F(Death, ASpawnFillsHandAndPouchAndFacesTheEnemyFlags) {
    logic->GetSpawnManager()->AddSpawnPoint(1, Vector3(5, 1.52f, 5));
    logic->GetPlayerManager().SetTeamFlagCentre(0, Vector3(25, 1.5f, 5));  // team 1 faces team 0's flags
    PlayerLife::Kill(*victim, Vector3(), victim->GetPosition(), logic->GetPlayerManager(), 0, 0.0f);
    const uint16_t next = ActorMan::NextId();
    PlayerLife::Respawn(*victim, logic->GetPlayerManager());
    EventSystem::ProcessEventQueue();
    // Defaults: ten blocks, one of them in the hand.
    ASSERT_TRUE(victim->HasHeldBlock());
    EXPECT_EQ(victim->GetPouch().size(), 9u);
    EXPECT_EQ(victim->GetHeldBlock()->GetId(), next);
    const auto spawns = recorder.Of<EventTypes::EventUpdateActorSpawn>();
    ASSERT_EQ(spawns.size(), 1u);
    const auto& s = *spawns[0]->GetPayload();
    EXPECT_EQ(s.position, Vector3(5, 1.52f, 5));
    EXPECT_EQ(s.firstPouchBlockId, static_cast<int16_t>(next));
    EXPECT_EQ(s.lastPouchBlockId, static_cast<int16_t>(next + 9));
    // Forward (+z) turned onto the direction of the flags (+x here).
    const Vector3 forward = s.orientation.Rotate(Vector3(0, 0, 1));
    EXPECT_NEAR(forward.x, 1.0f, 1e-5f);
    EXPECT_NEAR(forward.z, 0.0f, 1e-5f);
    EXPECT_EQ(victim->GetPosition(), Vector3(5, 1.52f, 5));
    EXPECT_NEAR(victim->GetOrientation().Rotate(Vector3(0, 0, 1)).x, 1.0f, 1e-5f);
    // Team 1's start blocks wear its material.
    EXPECT_EQ(victim->GetHeldBlock()->actor->objectState.materialId, 3);
}

TEST_F(Death, TheLargestSpawnFillsAWholePouchAndMakesNoBlockInVain) {
    LogicSettings s;
    s.spawnInPouch = 17;  // more than any pouch holds: held to 16
    SetLogicSettings(s);
    PlayerLife::Kill(*victim, Vector3(), victim->GetPosition(), logic->GetPlayerManager(), 0, 0.0f);
    EventSystem::ProcessEventQueue();
    recorder.Clear();
    const uint16_t next = ActorMan::NextId();
    PlayerLife::Respawn(*victim, logic->GetPlayerManager());
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateDeleteActor>(), 0u) << "no start block is made to be deleted";
    ASSERT_TRUE(victim->HasHeldBlock());
    EXPECT_EQ(victim->GetPouch().size(), LogicSettings::kMaxPouchSize - 1);
    const auto spawns = recorder.Of<EventTypes::EventUpdateActorSpawn>();
    ASSERT_EQ(spawns.size(), 1u);
    EXPECT_EQ(spawns[0]->GetPayload()->firstPouchBlockId, static_cast<int16_t>(next));
    EXPECT_EQ(spawns[0]->GetPayload()->lastPouchBlockId, static_cast<int16_t>(next + 15));
    EXPECT_EQ(ActorMan::NextId(), next + 16) << "exactly the blocks the player got";
}

TEST_F(Death, ADyingCarrierDropsTheFlagWhichFallsWithAFractionOfItsSpeed) {
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kFlag);
    info.params.team = 0;
    info.params.objectStateId = 22;
    info.scale = Vector3(3, 3, 3);
    info.position = Vector3(-30, 1.5f, 0);
    const ActorPtr flagActor = logic->CreateActor(info);
    const BlockPtr flag = logic->GetBlock(flagActor->actorId);
    ASSERT_TRUE(victim->PickUpFlag(logic->GetBlockMan(), flag));
    PlayerLife::Kill(*victim, Vector3(1, 0, 0), victim->GetPosition(), logic->GetPlayerManager(), 0, 0.0f);
    EventSystem::ProcessEventQueue();
    const auto drops = recorder.Of<EventTypes::EventUpdateFlagDropped>();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0]->GetPayload()->flagId, static_cast<int16_t>(flagActor->actorId));
    EXPECT_EQ(drops[0]->GetPayload()->flagTeam, 0);
    EXPECT_EQ(drops[0]->GetPayload()->team, 1);
    EXPECT_EQ(victim->carryingFlag, 0);
    EXPECT_EQ(flag->state, BlockState::kFree);
    EXPECT_EQ(flag->actor->GetVelocity(), victim->GetVelocity() * 0.3f);
    EXPECT_EQ(logic->GetFlagMan().GetFlag(flagActor->actorId)->GetState(), FlagState::kDropped);
}

TEST_F(Death, UnitBlocksOfAPouchAreDeletedAndLargerOnesLaidOutBehind) {
    // Empty hand and pouch, then three unit blocks and two larger ones.
    while (BlockPtr b = victim->TakeFromPouch()) logic->DeleteBlockActor(b->GetId());
    logic->DeleteBlockActor(victim->GetHeldBlock()->GetId());
    victim->ClearHeldBlock();
    std::vector<uint16_t> units;
    for (int i = 0; i < 3; ++i) {
        BlockPtr u = MakeBlock(ActorTypes::kBox, Vector3(50, 1 + i * 2.0f, 50));
        units.push_back(u->GetId());
        victim->AddToPouch(u);
    }
    const BlockPtr big1 = MakeBlock(ActorTypes::kBox, Vector3(60, 2, 60), Vector3(2, 1, 1));
    const BlockPtr big2 = MakeBlock(ActorTypes::kBox, Vector3(60, 5, 60), Vector3(2, 1, 1));
    victim->AddToPouch(big1);
    victim->AddToPouch(big2);
    EventSystem::ProcessEventQueue();
    recorder.Clear();

    const Vector3 d(1, 0, 0);
    PlayerLife::Kill(*victim, d, Vector3(-1, 1.5f, 0), logic->GetPlayerManager(), 0, 3.0f);
    EventSystem::ProcessEventQueue();
    for (uint16_t id : units) EXPECT_EQ(logic->GetActor(id), nullptr);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateDeleteActor>(), 3u);
    const Vector3 p = victim->GetPosition();
    // t = i (r + 2 d.e) with r in [0.1, 0.7] and d.e = 1.
    const float x1 = big1->GetPosition().x - p.x;
    const float x2 = big2->GetPosition().x - p.x;
    EXPECT_GE(x1, 2.1f - 1e-4f);
    EXPECT_LE(x1, 2.7f + 1e-4f);
    EXPECT_GE(x2, 4.2f - 1e-4f);
    EXPECT_LE(x2, 5.4f + 1e-4f);
    // On the floor under the player (its feet 1.5 below its centre).
    EXPECT_NEAR(big1->GetPosition().y, p.y - 1.5f + 0.5f, 1e-4f);
    EXPECT_EQ(big1->state, BlockState::kFree);
    EXPECT_EQ(big1->actor->GetVelocity(), Vector3(-5.5f, 0.1f, 0));
    EXPECT_EQ(big2->actor->GetVelocity(), Vector3(-5.5f, 0.1f, 0));
    EXPECT_TRUE(victim->GetPouch().empty());
}

TEST_F(Death, ASpillStaysBesideThePlayerAboveItsFloorWhateverTheDirectionsLength) {
    // A blast hands in the offset from the bomb, up to its radius long and
    // pointing anywhere; the row of larger blocks is laid out along it.
    struct Case {
        Vector3 d;
    };
    const Case cases[] = {{{3, 0, 0}}, {{0.3f, 0, 0}}, {{1.5f, -2.5f, 0}}, {{0, -3, 0}}, {{-2, 1, 2}}};
    for (const Case& c : cases) {
        Player* p = SpawnPlayer(1, Vector3(20, 1.5f, 20));
        p->invincible = 0;
        while (BlockPtr b = p->TakeFromPouch()) logic->DeleteBlockActor(b->GetId());
        const BlockPtr big1 = MakeBlock(ActorTypes::kBox, Vector3(60, 2, 60), Vector3(2, 1, 1));
        const BlockPtr big2 = MakeBlock(ActorTypes::kBox, Vector3(60, 5, 60), Vector3(2, 2, 2));
        p->AddToPouch(big1);
        p->AddToPouch(big2);
        const Vector3 at = p->GetPosition();
        PlayerLife::Kill(*p, c.d, at, logic->GetPlayerManager(), 0, 3.0f);
        const float feet = at.y - 1.5f;
        for (const BlockPtr& b : {big1, big2}) {
            const Vector3 q = b->GetPosition();
            const Vector3 h = b->actor->extents;
            EXPECT_LE(Vector3(q.x - at.x, 0, q.z - at.z).Length(), 9.0f)
                << "direction (" << c.d.x << ", " << c.d.y << ", " << c.d.z << ")";
            EXPECT_GE(q.y - h.y, feet - 1e-4f) << "direction (" << c.d.x << ", " << c.d.y << ", " << c.d.z << ")";
        }
        Run(100);
        logic->DeleteBlockActor(big1->GetId());
        logic->DeleteBlockActor(big2->GetId());
    }
}

TEST_F(Death, TheHandsBlockIsLetGoWhereTheHandHoldsIt) {
    // A block just taken into the hand still lies where it was kept.
    const BlockPtr held = victim->GetHeldBlock();
    ASSERT_TRUE(held && held->actor && held->actor->body);
    held->actor->body->SetPosition(Vector3(0, -10, 0));
    const Vector3 at = victim->GetPosition();
    PlayerLife::Kill(*victim, Vector3(1, 0, 0), at, logic->GetPlayerManager(), 0, 0.0f);
    const Vector3 q = held->GetPosition();
    EXPECT_EQ(held->state, BlockState::kFree);
    EXPECT_NEAR(q.x, at.x, 1e-3f);
    EXPECT_NEAR(q.z, at.z, 1e-3f);
    EXPECT_GT(q.y, at.y);
}

TEST_F(Death, ASpillWithoutADirectionStaysFinite) {
    for (const Vector3 d : {Vector3(0, 0, 0), Vector3(0, 1, 0), Vector3(NAN, 0, 1)}) {
        Player* p = SpawnPlayer(1, Vector3(20, 1.5f, 20));
        p->invincible = 0;
        PlayerLife::Kill(*p, d, p->GetPosition(), logic->GetPlayerManager(), 0, INFINITY);
        EXPECT_TRUE(p->IsDead());
        EXPECT_TRUE(p->GetPosition().IsFinite());
        EXPECT_TRUE(p->GetVelocity().IsFinite());
    }
    Run(200);
    for (const auto& [id, actor] : logic->GetActorMan().Actors()) {
        EXPECT_TRUE(actor->GetPosition().IsFinite()) << id;
        EXPECT_TRUE(actor->GetVelocity().IsFinite()) << id;
    }
}

}  // namespace MatchTest
