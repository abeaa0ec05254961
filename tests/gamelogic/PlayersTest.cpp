// Players and the player manager: the record's queries, the pouch and the
// hand, the snapshot for a joining machine, view directions; jumping,
// touching blocks, throwing and picking up.
#include <cmath>

#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/LogicFixture.h"

namespace LogicTest {
namespace {

using EventTypes::EventUpdateCollisionData;

class PlayersTest : public LogicFixture {
protected:
    BlockPtr Unit(const Vector3& p) { return MakeBlock(ActorTypes::kBox, p); }
    static std::vector<int16_t> Ids(const EventTypes::EventUpdateHeldBlocks& e) {
        const auto& a = e.GetPayload()->blockIds;
        return std::vector<int16_t>(a.begin(), a.end());
    }
};

TEST_F(PlayersTest, AddedPlayersStartDeadAndAreFoundById) {
    const Vector3 p(0, 1.5f, 0);
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kBot);
    info.params.team = 1;
    info.position = p;
    const ActorPtr bot = logic->CreateActor(info);
    const Player* a = Players().GetPlayer(bot->actorId);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->IsDead()) << "nothing respawned it yet";
    EXPECT_EQ(a->GetTeam(), 1);
    Player* b = MakePlayer(0, Vector3(3, 1.5f, 0));
    Player* c = MakePlayer(1, Vector3(6, 1.5f, 0));
    EXPECT_EQ(Players().AddPlayer(bot), a) << "an id already present keeps its player";
    EXPECT_EQ(Players().GetPlayer(999), nullptr);
    std::vector<Player*> team1;
    Players().GetTeamPlayers(team1, 1);
    ASSERT_EQ(team1.size(), 2u);
    EXPECT_EQ(team1[0]->GetActorId(), a->GetActorId());
    EXPECT_EQ(team1[1], c);
    b->SetTeam(1);
    EXPECT_EQ(b->GetActor()->team, 1) << "the team is written back into the actor";
}

TEST_F(PlayersTest, PickUpAndJumpQueries) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    for (int i = 0; i < 4; ++i) p->AddToPouch(Unit(Vector3(i * 2.0f, 10, 10)));
    EXPECT_TRUE(p->CanPickUp());
    p->AddToPouch(Unit(Vector3(0, 10, 20)));
    EXPECT_EQ(p->pouch.size(), 5u);
    EXPECT_EQ(p->pouch.front()->state, BlockState::kPouch);
    EXPECT_FALSE(p->CanPickUp()) << "a full pouch, even with an empty hand";
    p->TakeFromPouch();
    p->carryingFlag = 1;
    EXPECT_FALSE(p->CanPickUp()) << "while carrying a flag";
    p->carryingFlag = 0;
    p->canPickUp = 0;
    EXPECT_FALSE(p->CanPickUp());

    EXPECT_TRUE(p->CanJump());
    p->jumpCount = 1;
    EXPECT_TRUE(p->CanJump());
    p->jumpCount = 2;
    EXPECT_FALSE(p->CanJump());
    EXPECT_FALSE(p->CanThrow()) << "no held block";
}

TEST_F(PlayersTest, DropFlagOnlyForTheCarriedFlag) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr flag = MakeBlock(ActorTypes::kFlag, Vector3(10, 1.5f, 10), Vector3(3, 3, 3), 23, 1);
    const BlockPtr spare = Unit(Vector3(0, 10, 0));
    ASSERT_TRUE(p->PickUpFlag(&Blocks(), flag));
    EXPECT_FALSE(Players().DropFlag(p->GetActorId(), flag->GetId() + 1));
    EXPECT_EQ(p->GetHeldBlock(), flag) << "another id changes nothing";
    Players().DropFlag(p->GetActorId(), flag->GetId());
    EXPECT_FALSE(p->HasHeldBlock()) << "an empty pouch leaves the hand empty";
    EXPECT_EQ(p->carryingFlag, 0);
    EXPECT_FALSE(p->GetActor()->HasHeldActor());

    ASSERT_TRUE(p->PickUpFlag(&Blocks(), flag));
    p->AddToPouch(spare);
    Players().DropFlag(p->GetActorId(), flag->GetId());
    EXPECT_EQ(p->GetHeldBlock(), spare) << "the oldest pouched block takes the flag's place";
}

TEST_F(PlayersTest, SnapshotListsTheHandThenThePouchNewestFirstAndNeverMore) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    Player* dead = MakePlayer(1, Vector3(5, 1.5f, 0));
    dead->dead = 1;
    ActorMan::SetNextId(40);
    const BlockPtr b40 = Unit(Vector3(0, 10, 0)), b41 = Unit(Vector3(2, 10, 0)), b42 = Unit(Vector3(4, 10, 0)),
                   b43 = Unit(Vector3(6, 10, 0));
    p->SetHeldBlock(b40);
    p->AddToPouch(b41);
    p->AddToPouch(b42);
    p->AddToPouch(b43);
    auto snapshot = Players().HeldBlocksSnapshot();
    ASSERT_EQ(snapshot.size(), 1u) << "dead players are skipped";
    std::vector<int16_t> expected{40, 43, 42, 41};
    expected.resize(17, -1);
    EXPECT_EQ(Ids(*snapshot[0]), expected);
    EXPECT_EQ(p->pouch.size(), 3u) << "the pouch itself is kept";

    // Whatever the settings asked for, a pouch stops at 16 and the snapshot
    // stays within its 17 entries.
    for (int i = 0; i < 20; ++i) p->AddToPouch(Unit(Vector3(i * 2.0f, 20, 5)));
    EXPECT_EQ(p->pouch.size(), LogicSettings::kMaxPouchSize);
    snapshot = Players().HeldBlocksSnapshot();
    const std::vector<int16_t> ids = Ids(*snapshot[0]);
    EXPECT_EQ(ids[0], 40);
    EXPECT_EQ(ids[16], 41) << "the oldest pouch block last";
}

TEST_F(PlayersTest, ViewDirectionsFromTheViewsAreNotConsumed) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    EXPECT_EQ(p->viewDirection, Vector3(0, 0, 0));
    int seen = 0;
    EventSystem::EventRegistry later;
    later.Register(EventTypes::EventHackActorView::GetStaticType(), [&](const EventSystem::IEvent&) {
        ++seen;
        return false;
    });
    const Vector3 nan(std::nanf(""), 0, 0);
    for (const auto& [id, dir] : std::vector<std::pair<int16_t, Vector3>>{
             {static_cast<int16_t>(p->GetActorId()), Vector3(0, 0.5f, 1)}, {777, Vector3(1, 0, 0)},
             {static_cast<int16_t>(p->GetActorId()), nan}}) {
        const EventTypes::EventHackActorView event(id, dir);
        EXPECT_FALSE(Players().OnHackActorView(event)) << "never consumed";
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventHackActorView>(id, dir));
    }
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(p->viewDirection, Vector3(0, 0.5f, 1)) << "an unknown id and a non-finite direction change nothing";
}

// ------------------------------------------------------------------ jumping

TEST_F(PlayersTest, JumpDoubleJumpAndAThirdRefused) {
    LogicSettings s;
    s.jumpResetDelay = 1000;  // the double jump stays in the air past the ready delay
    SetLogicSettings(s);
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    auto& body = *p->GetActor()->body;
    EXPECT_TRUE(Players().Jump(p->GetActorId()));
    EXPECT_FLOAT_EQ(body.GetVelocity().y, 8.0f) << "from rest: JumpSpeed";
    EXPECT_EQ(p->jumpCount, 1u);
    EXPECT_EQ(p->airborne, 1);
    EXPECT_EQ(p->jumpSerial, 1);
    Run(96);
    EXPECT_FALSE(Players().Jump(p->GetActorId())) << "100 ms after the jump: not ready";
    p->OnLanded();
    EXPECT_EQ(p->jumpCount, 1u) << "touching the ground in the first moments does not land";
    Run(128);  // the timers' ends run at the first update after their waits
    // The double jump while falling at -6 and drifting at 3 along x:
    // -6/3 + 8 + sqrt(9 + 4) / 20.
    body.SetVelocity(Vector3(3, -6, 0));
    EXPECT_TRUE(Players().Jump(p->GetActorId()));
    EXPECT_NEAR(body.GetVelocity().y, -2.0f + 8.0f + std::sqrt(13.0f) / 20.0f, 1e-5f);
    EXPECT_EQ(p->jumpSerial, 1) << "only a jump from the ground counts";
    Run(224);
    EXPECT_EQ(p->jumpReady, 1);
    EXPECT_FALSE(Players().Jump(p->GetActorId())) << "third jump";
    EXPECT_EQ(p->jumpCount, 2u);
    p->dead = 1;
    p->jumpCount = 0;
    EXPECT_FALSE(Players().Jump(p->GetActorId())) << "the dead do not jump";
    EXPECT_FALSE(Players().Jump(12345));
}

TEST_F(PlayersTest, ADoubleJumpEndsByItselfUnlessTheSerialChanged) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    ASSERT_TRUE(Players().Jump(p->GetActorId()));
    Run(224);
    ASSERT_TRUE(Players().Jump(p->GetActorId()));
    Run(208);
    EXPECT_EQ(p->jumpCount, 2u);
    Run(16);
    EXPECT_EQ(p->jumpCount, 0u) << "JumpResetDelay after the double jump";
    EXPECT_EQ(p->airborne, 0);

    // Landed and jumped again before the timer of the old double jump ran.
    Run(224);
    ASSERT_TRUE(Players().Jump(p->GetActorId()));  // from the ground: serial 2
    Run(224);
    ASSERT_TRUE(Players().Jump(p->GetActorId()));  // double jump: its timer carries serial 2
    p->mayLand = 1;
    p->OnLanded();
    p->jumpReady = 1;
    ASSERT_TRUE(Players().Jump(p->GetActorId()));  // from the ground again: serial 3
    EXPECT_EQ(p->jumpSerial, 3);
    Run(224);
    EXPECT_EQ(p->jumpCount, 1u) << "the old timer's serial no longer matches";
}

TEST_F(PlayersTest, LandingOnBlocksAndKnockBackFromAPlacedBlocksSide) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr placed = MakeBlock(ActorTypes::kMasslessBox, Vector3(2.5f, 0.5f, 0.5f));
    const BlockPtr loose = Unit(Vector3(-3, 0.5f, 0));
    auto& body = *p->GetActor()->body;
    auto report = [](const Vector3& n) {
        EventUpdateCollisionData d;
        d.normal = n;
        return d;
    };
    ASSERT_TRUE(Players().Jump(p->GetActorId()));
    Run(208);
    body.SetVelocity(Vector3(1, 2, 0));

    Players().OnHitByBlock(report(Vector3(1, 0, 0)), loose, p);
    EXPECT_EQ(p->canMove, 1) << "a free block's side does not push";
    Players().OnHitByBlock(report(Vector3(-1, 0, 0)), placed, p);
    EXPECT_EQ(p->canMove, 0);
    EXPECT_EQ(body.GetVelocity(), Vector3(1 - 25.0f, 2, 0)) << "velocity + JumpBounceBackVelocity x n";
    Run(208);
    EXPECT_EQ(p->canMove, 0);
    Run(16);
    EXPECT_EQ(p->canMove, 1) << "JumpMovementEnableAfterHitDelay later";

    Players().OnHitByBlock(report(Vector3(0, 0.95f, 0.3f)), placed, p);
    EXPECT_EQ(p->jumpCount, 0u) << "on top of it: landed";
    EXPECT_EQ(p->airborne, 0);
    Players().OnHitByBlock(report(Vector3(-1, 0, 0)), placed, p);
    EXPECT_EQ(p->canMove, 1) << "not airborne: no knock-back";
}

// ----------------------------------------------------------------- throwing

TEST_F(PlayersTest, ThrowSpeedSpinAndLock) {
    StartPhysics();
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventUpdateThrowBlock>();
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr first = Unit(Vector3(0, 10, 0));
    const BlockPtr second = Unit(Vector3(2, 10, 0));
    ASSERT_TRUE(p->PickUpBlock(&Blocks(), first));
    AttachBlockToPlayer(*p->GetActor(), *first);
    p->AddToPouch(second);

    ASSERT_TRUE(Players().CommandThrow(p->GetActorId(), Vector3(0, 0, 1)));
    const auto& v = first->actor->body->GetVelocity();
    // Tilted up by 30 degrees, at ThrowSpeed; the spin impulse along the
    // same direction adds ThrowImpulse x 5 x |e|^2 / mass to the speed.
    const float mass = first->actor->body->GetMass();
    const float speed = 55.0f + 150.0f * 5.0f * 0.75f / mass;
    EXPECT_NEAR(v.x, 0.0f, 1e-4f);
    EXPECT_NEAR(v.y, speed * 0.5f, 1e-3f);
    EXPECT_NEAR(v.z, speed * std::cos(3.1415927f / 6.0f), 1e-3f);
    EXPECT_NE(first->actor->body->state.angularMomentum, Vector3(0, 0, 0)) << "applied below the centre: a spin";
    EXPECT_EQ(first->state, BlockState::kThrown);
    EXPECT_EQ(first->team, 0);
    EXPECT_EQ(first->owner, p->GetActorId());
    EXPECT_EQ(p->GetHeldBlock(), second) << "the next pouch block comes to the hand";

    EXPECT_FALSE(Players().CommandThrow(p->GetActorId(), Vector3(0, 0, 1))) << "locked";
    Run(16);  // LockTimeAfterThrow
    Run(16);
    EXPECT_TRUE(Players().CommandThrow(p->GetActorId(), Vector3(1, 0, 0)));
    // The pouch block came to the hand without a move: it still leaves from
    // the hand, above the thrower, not from where the pouch kept it.
    EXPECT_NEAR(second->GetPosition().x, p->GetPosition().x, 1e-4f);
    EXPECT_NEAR(second->GetPosition().y, p->GetPosition().y + 2.0f + 0.5f, 1e-4f);
    EventSystem::ProcessEventQueue();
    const auto reports = recorder.Of<EventTypes::EventUpdateThrowBlock>();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0]->GetPayload()->blockId, first->GetId());
    EXPECT_EQ(reports[0]->GetPayload()->heldBlockId, second->GetId());
    EXPECT_EQ(reports[1]->GetPayload()->heldBlockId, -1) << "an empty pouch";
}

TEST_F(PlayersTest, ThrowsWithoutADirectionNeverReachThePhysics) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr block = Unit(Vector3(0, 10, 0));
    ASSERT_TRUE(p->PickUpBlock(&Blocks(), block));
    const float nan = std::nanf(""), inf = INFINITY;
    for (const Vector3& aim : {Vector3(0, 0, 0), Vector3(nan, 0, 1), Vector3(inf, 0, 0)}) {
        EXPECT_FALSE(Players().CommandThrow(p->GetActorId(), aim));
        EXPECT_EQ(p->GetHeldBlock(), block);
        EXPECT_EQ(p->canThrow, 1) << "no throw, no lock";
    }
    // Straight up and straight down have no tilt axis: thrown as aimed.
    ASSERT_TRUE(Players().CommandThrow(p->GetActorId(), Vector3(0, 2, 0)));
    EXPECT_TRUE(block->actor->body->GetVelocity().IsFinite());
    EXPECT_GT(block->actor->body->GetVelocity().y, 50.0f);

    const BlockPtr down = Unit(Vector3(5, 10, 0));
    p->canThrow = 1;
    ASSERT_TRUE(p->PickUpBlock(&Blocks(), down));
    const Vector3 before = p->GetPosition() + Vector3(0, 2.0f + 0.5f, 0);  // in the hand
    ASSERT_TRUE(p->ThrowBlock(Vector3(0, -1, 0), nullptr, &Blocks()));
    const auto& body = *down->actor->body;
    EXPECT_TRUE(body.GetVelocity().IsFinite());
    EXPECT_LT(body.GetVelocity().y, -50.0f);
    EXPECT_EQ(body.GetPosition(), before + Vector3(0, 0, 0.75f)) << "moved 1.5 z half-extents along its z axis";
}

TEST_F(PlayersTest, ThrowingACarriedFlagDropsItAndMarksTheThrower) {
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventUpdateFlagDropped>();
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr flag = MakeBlock(ActorTypes::kFlag, Vector3(10, 1.5f, 10), Vector3(3, 3, 3), 23, 1);
    ASSERT_TRUE(p->PickUpFlag(&Blocks(), flag));
    ASSERT_TRUE(p->ThrowBlock(Vector3(1, 0, 0), &logic->GetProcessManager(), &Blocks()));
    EXPECT_EQ(p->carryingFlag, 0);
    EXPECT_EQ(p->flagThrown, 1);
    const float spin = 150.0f * 5.0f * flag->actor->extents.LengthSquared() / flag->actor->body->GetMass();
    EXPECT_NEAR(flag->actor->body->GetVelocity().Length(), 55.0f * 3.4f + spin, 1e-3f)
        << "a carried flag flies 3.4 times as fast";
    EXPECT_EQ(flag->actor->body->GetMaterial().density,
              Physics::MaterialMan().GetMaterial(ActorTypes::kFlag).density);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(recorder.Count<EventTypes::EventUpdateFlagDropped>(), 1u);
    const auto* d = recorder.Of<EventTypes::EventUpdateFlagDropped>()[0]->GetPayload();
    EXPECT_EQ(d->flagId, flag->GetId());
    EXPECT_EQ(d->team, 0);
    EXPECT_EQ(d->flagTeam, 1);
    Run(256);
    EXPECT_EQ(p->flagThrown, 1);
    Run(16);
    EXPECT_EQ(p->flagThrown, 0) << "at the first update after 250 ms";
}

// --------------------------------------------------------------- picking up

TEST_F(PlayersTest, PickUpIntoHandAndPouchWithLockAndReport) {
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventUpdatePickUpBlock>();
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    p->viewDirection = Vector3(0, -3, 1);  // tilted by zOffset 3: straight ahead
    const BlockPtr a = Unit(Vector3(0, 1.5f, 2));
    const BlockPtr b = Unit(Vector3(0, 1.5f, -2));  // behind the first look
    ASSERT_TRUE(Players().CommandPickUp(p->GetActorId()));
    EXPECT_EQ(p->GetHeldBlock(), a);
    EXPECT_EQ(a->state, BlockState::kHeld);
    EXPECT_EQ(a->actor->body->GetPosition(), Vector3(0, 1.5f + 2.0f + 0.5f, 0)) << "on top of its player";
    EXPECT_FALSE(Players().CommandPickUp(p->GetActorId())) << "locked";
    Run(16);
    EXPECT_EQ(p->canPickUp, 0);
    Run(16);
    EXPECT_EQ(p->canPickUp, 1) << "LockTimeAfterPickup";

    p->viewDirection = Vector3(0, -3, -1);
    ASSERT_TRUE(Players().CommandPickUp(p->GetActorId()));
    EXPECT_EQ(p->GetHeldBlock(), b);
    ASSERT_EQ(p->pouch.size(), 1u);
    EXPECT_EQ(p->pouch.front(), a) << "the previous block goes to the pouch";
    EXPECT_EQ(a->state, BlockState::kPouch);
    EventSystem::ProcessEventQueue();
    const auto reports = recorder.Of<EventTypes::EventUpdatePickUpBlock>();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1]->GetPayload()->blockId, b->GetId());
    EXPECT_EQ(reports[1]->GetPayload()->blockHalfExtents, Vector3(0.5f, 0.5f, 0.5f));
}

TEST_F(PlayersTest, AFullPouchRefusesBlocksAndAFlagNeverOverfillsIt) {
    Player* p = MakePlayer(0, Vector3(0, 1.5f, 0));
    const BlockPtr held = Unit(Vector3(0, 10, 0));
    ASSERT_TRUE(p->PickUpBlock(&Blocks(), held));
    for (int i = 0; i < 5; ++i) p->AddToPouch(Unit(Vector3(i * 2.0f, 20, 0)));
    EXPECT_FALSE(p->PickUpBlock(&Blocks(), Unit(Vector3(5, 0.5f, 5))));
    p->ClearHeldBlock();
    EXPECT_FALSE(p->PickUpBlock(&Blocks(), Unit(Vector3(7, 0.5f, 5)))) << "full pouch, empty hand";

    const BlockPtr own = MakeBlock(ActorTypes::kFlag, Vector3(-10, 1.5f, 10), Vector3(3, 3, 3), 22, 0);
    EXPECT_FALSE(p->PickUpFlag(&Blocks(), own)) << "a flag of the player's own team";

    p->SetHeldBlock(held);
    const BlockPtr enemy = MakeBlock(ActorTypes::kFlag, Vector3(10, 1.5f, 10), Vector3(3, 3, 3), 23, 1);
    ASSERT_TRUE(p->PickUpFlag(&Blocks(), enemy));
    EXPECT_EQ(p->GetHeldBlock(), enemy);
    EXPECT_EQ(p->carryingFlag, 1);
    EXPECT_EQ(p->pouch.size(), 5u) << "never beyond the pouch size";
    EXPECT_EQ(held->state, BlockState::kFree) << "the block in the hand falls free instead";
    EXPECT_EQ(enemy->state, BlockState::kHeld);
    EXPECT_FALSE(Blocks().StaticBlocks().count(enemy->GetId())) << "taken out of the level's structure";

    const BlockPtr other = MakeBlock(ActorTypes::kFlag, Vector3(20, 1.5f, 10), Vector3(3, 3, 3), 23, 1);
    EXPECT_FALSE(p->PickUpFlag(&Blocks(), other)) << "one flag at a time";
}

}  // namespace
}  // namespace LogicTest
