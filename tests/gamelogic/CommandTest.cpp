// The player commands (move, turn, jump, throw, pick up) and the collision
// handler; commands are checked on entry, so a bad one changes nothing.
#include "MatchFixture.h"

#include <cmath>
#include <limits>

#include "gamelogic/Player.h"

namespace MatchTest {

class Commands : public MatchFixture {
protected:
    void SetUp() override {
        MatchFixture::SetUp();
        StartRules(0);
        player = SpawnPlayer(0, Vector3(0, 1.5f, 0));
        id = static_cast<int16_t>(player->GetActorId());
        EventSystem::ProcessEventQueue();
        recorder.Clear();
    }
    template <class E, class... A>
    void Send(A&&... args) {
        EventSystem::QueueEvent(std::make_shared<E>(std::forward<A>(args)...));
        EventSystem::ProcessEventQueue();
    }
    Physics::PhysBody& Body() { return *player->GetActor()->body; }
    // Every actor's body is still a set of numbers.
    void ExpectAllFinite() {
        for (const auto& [actorId, actor] : logic->GetActorMan().Actors()) {
            ASSERT_TRUE(actor->GetPosition().IsFinite()) << actorId;
            ASSERT_TRUE(actor->GetVelocity().IsFinite()) << actorId;
            const Quaternion q = actor->GetOrientation();
            ASSERT_TRUE(std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z)) << actorId;
            ASSERT_TRUE(std::isfinite(actor->body->moveX) && std::isfinite(actor->body->moveZ)) << actorId;
        }
    }
    Player* player = nullptr;
    int16_t id = 0;
};

TEST_F(Commands, AMoveWalksAtPlayerSpeedInXAndZOnly) {
    Send<EventTypes::EventCommandActorMove>(id, Vector3(1, 5, 0));
    EXPECT_TRUE(Body().walking);
    EXPECT_FLOAT_EQ(Body().moveX / Body().GetMass(), 20.0f);
    EXPECT_FLOAT_EQ(Body().moveZ / Body().GetMass(), 0.0f);
    // A zero move is a stop.
    Send<EventTypes::EventCommandActorMove>(id, Vector3(0, 0, 0));
    EXPECT_EQ(Body().moveX, 0.0f);
}

TEST_F(Commands, AKnockedBackPlayerStopsAndADeadOneIgnoresMoves) {
    player->canMove = 0;
    Send<EventTypes::EventCommandActorMove>(id, Vector3(0, 0, 1));
    EXPECT_EQ(Body().moveZ, 0.0f);
    player->canMove = 1;
    player->dead = 1;
    Send<EventTypes::EventCommandActorMove>(id, Vector3(0, 0, 1));
    EXPECT_EQ(Body().moveZ, 0.0f);
    // Commands for actors without a player change nothing.
    Send<EventTypes::EventCommandActorMove>(static_cast<int16_t>(999), Vector3(0, 0, 1));
    Send<EventTypes::EventCommandActorJump>(static_cast<int16_t>(groundActor->actorId));
}

TEST_F(Commands, BadNumbersInCommandsAreIgnored) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Send<EventTypes::EventCommandActorMove>(id, Vector3(0.5f, 0, 0.5f));
    const float moveX = Body().moveX;
    const Quaternion facing = Body().GetOrientation();
    const BlockPtr held = player->GetHeldBlock();
    ASSERT_TRUE(held);

    Send<EventTypes::EventCommandActorMove>(id, Vector3(nan, 0, 1));
    Send<EventTypes::EventCommandActorMove>(id, Vector3(1, 0, inf));
    EXPECT_EQ(Body().moveX, moveX);
    Send<EventTypes::EventCommandActorTurn>(id, Quaternion(0, 0, 0, 0));
    Send<EventTypes::EventCommandActorTurn>(id, Quaternion(nan, 0, 1, 0));
    Send<EventTypes::EventCommandActorTurn>(id, Quaternion(1, inf, 0, 0));
    EXPECT_EQ(Body().GetOrientation(), facing);
    for (const Vector3 aim : {Vector3(0, 0, 0), Vector3(nan, 0, 1), Vector3(0, -inf, 1)}) {
        Send<EventTypes::EventCommandThrowBlock>(id, aim);
        EXPECT_EQ(player->GetHeldBlock(), held);
        EXPECT_EQ(player->canThrow, 1);
    }
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateThrowBlock>(), 0u);
    // A bomb request at no position makes no bomb.
    Send<EventTypes::EventCommandCreateBlock>(Vector3(nan, 0, 0));
    ExpectAllFinite();
    Run(200);
    ExpectAllFinite();
}

TEST_F(Commands, ATurnIsNormalisedAndTurnsTheHeldBlockWithThePlayer) {
    const Quaternion half(2.0f, 0.0f, 2.0f, 0.0f);  // a quarter turn about y, not of unit length
    player->GetHeldBlock()->rotation = Quaternion(0.0f, 0.0f, 1.0f, 0.0f);
    Send<EventTypes::EventCommandActorTurn>(id, half);
    const Quaternion q = Body().GetOrientation();
    EXPECT_NEAR(q.LengthSquared(), 1.0f, 1e-5f);
    EXPECT_NEAR(q.Rotate(Vector3(0, 0, 1)).x, 1.0f, 1e-5f);
    const Quaternion b = player->GetHeldBlock()->actor->GetOrientation();
    EXPECT_NEAR(b.Rotate(Vector3(0, 0, 1)).x, -1.0f, 1e-5f);  // the player's turn, then its own half turn
}

TEST_F(Commands, AJumpIsReported) {
    Send<EventTypes::EventCommandActorJump>(id);
    EventSystem::ProcessEventQueue();
    const auto jumps = recorder.Of<EventTypes::EventUpdateJump>();
    ASSERT_EQ(jumps.size(), 1u);
    EXPECT_EQ(jumps[0]->GetPayload()->actorId, id);
    EXPECT_GT(player->GetVelocity().y, 7.0f);
}

TEST_F(Commands, ASecondThrowWithinTheLockDoesNothing) {
    Send<EventTypes::EventCommandThrowBlock>(id, Vector3(0, 0, 1));
    Run(10);
    Send<EventTypes::EventCommandThrowBlock>(id, Vector3(0, 0, 1));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateThrowBlock>(), 1u);
    Run(16);
    EXPECT_EQ(player->canThrow, 1);
    Send<EventTypes::EventCommandThrowBlock>(id, Vector3(0, 0, 1));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateThrowBlock>(), 2u);
}

TEST_F(Commands, APickUpLookingUpFindsABlockBelowThroughTheSecondTry) {
    // Empty hands, standing on a free block.
    while (BlockPtr b = player->TakeFromPouch()) logic->DeleteBlockActor(b->GetId());
    logic->DeleteBlockActor(player->GetHeldBlock()->GetId());
    player->ClearHeldBlock();
    const BlockPtr below = MakeBlock(ActorTypes::kBox, Vector3(0, 0.5f, 0));
    below->actor->body->ResetMotion();
    Place(player, Vector3(0, 2.5f, 0));
    Send<EventTypes::EventHackActorView>(id, Vector3(0, 1, 0));
    EventSystem::ProcessEventQueue();
    // The second try is tilted too: with the default tilt of 3 its y is
    // -1 + 3, still upwards, so the block below is out of reach.
    Send<EventTypes::EventCommandPickUpBlock>(id);
    EXPECT_FALSE(player->HasHeldBlock());
    LogicSettings s;
    s.pickerZOffset = 0.0f;  // the view as it is: up, then down
    SetLogicSettings(s);
    recorder.Clear();
    Send<EventTypes::EventCommandPickUpBlock>(id);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(player->GetHeldBlock(), below);
    EXPECT_EQ(below->state, BlockState::kHeld);
    EXPECT_EQ(below->actor->GetPosition(), Vector3(0, 5.0f, 0));  // 2 above the player plus its half height
    EXPECT_EQ(player->canPickUp, 0);
    const auto picks = recorder.Of<EventTypes::EventUpdatePickUpBlock>();
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0]->GetPayload()->actorId, id);
    EXPECT_EQ(picks[0]->GetPayload()->blockId, static_cast<int16_t>(below->GetId()));
    EXPECT_EQ(picks[0]->GetPayload()->blockHalfExtents, Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(picks[0]->GetPayload()->blockPosition, Vector3(0, 0.5f, 0));
    Run(32);  // the lock ends at the first update after its 16 ms
    EXPECT_EQ(player->canPickUp, 1);
}

// ----------------------------------------------------------------- collisions

using Collisions = Commands;

TEST_F(Collisions, TouchingTheGroundLandsTouchingAnotherPlayerDoesNothing) {
    player->jumpCount = 2;
    player->airborne = 1;
    Player* other = SpawnPlayer(1, Vector3(5, 1.5f, 0));
    Collide(player->GetActorId(), other->GetActorId(), -30.0f);
    EXPECT_EQ(player->jumpCount, 2u);
    Collide(groundActor->actorId, player->GetActorId(), -3.0f);
    EXPECT_EQ(player->jumpCount, 0u);
    EXPECT_EQ(player->airborne, 0);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateCollisionToClient>(), 0u);
}

TEST_F(Collisions, OnlyStrongImpactsAreCopiedForTheViewsAndNeverTheCopies) {
    struct Case {
        float speed;
        int32_t kind;
        size_t copies;
    };
    const BlockPtr a = MakeBlock(ActorTypes::kBox, Vector3(20, 0.5f, 20));
    for (const Case c : {Case{-8.0f, 0, 1}, Case{7.5f, 0, 0}, Case{20.0f, 1, 0}}) {
        SCOPED_TRACE(c.speed);
        recorder.Clear();
        Collide(a->GetId(), groundActor->actorId, c.speed, Vector3(0, 1, 0), c.kind);
        EventSystem::ProcessEventQueue();  // the copy reaches the logic too
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(recorder.Count<EventTypes::EventUpdateCollisionToClient>(), c.copies);
    }
}

TEST_F(Collisions, AThrownBlockHittingAWallBecomesInactiveAndReturnsToFree) {
    const BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(20, 5, 20));
    b->SetState(BlockState::kThrown);
    b->team = 1;
    Collide(b->GetId(), 0xFFFF, 10.0f);
    EventSystem::ProcessEventQueue();
    const auto inactive = recorder.Of<EventTypes::EventUpdateBlockActive>();
    ASSERT_EQ(inactive.size(), 1u);
    EXPECT_EQ(inactive[0]->GetPayload()->blockId, static_cast<int16_t>(b->GetId()));
    EXPECT_TRUE(logic->GetBlockMan()->HasCollisionToFree(b->GetId()));
    Run(224);
    EXPECT_EQ(b->state, BlockState::kFree);
    EXPECT_EQ(b->team, 255);
}

TEST_F(Collisions, OnlyABlockThatCanComeLooseReturnsToFreeAfterTouchingTheGround) {
    // A "solid" block never comes loose and a held one is out of the world:
    // touching the ground or a wall starts no return to free for either.
    const BlockPtr solid = MakeBlock(ActorTypes::kSolid, Vector3(20, 0.5f, 20));
    const BlockPtr held = MakeBlock(ActorTypes::kBox, Vector3(-20, 0.5f, 20));
    held->SetState(BlockState::kHeld);
    Collide(solid->GetId(), groundActor->actorId, 0.0f, Vector3(0, 1, 0), 1);
    Collide(held->GetId(), 0xFFFF, 10.0f);
    EXPECT_FALSE(logic->GetBlockMan()->HasCollisionToFree(solid->GetId()));
    EXPECT_FALSE(logic->GetBlockMan()->HasCollisionToFree(held->GetId()));
    Run(224);
    EXPECT_EQ(solid->state, BlockState::kPlaced);
    EXPECT_EQ(held->state, BlockState::kHeld);
}

TEST_F(Collisions, ABlockHittingAPlayerSeesTheNormalFromTheBlockTowardsThePlayer) {
    const BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(0, 4, 0));
    b->SetState(BlockState::kFree);
    // The player is body A: the report's normal already points from B (the
    // block) towards A.
    auto ab = Collide(player->GetActorId(), b->GetId(), -3.0f, Vector3(0, -1, 0));
    EXPECT_EQ(ab->GetPayload()->normal, Vector3(0, -1, 0));
    // The player is body B: the logic turns the normal round for its own
    // rules only; every later listener reads the report as it was sent.
    auto ba = Collide(b->GetId(), player->GetActorId(), -3.0f, Vector3(0, 1, 0));
    EXPECT_EQ(ba->GetPayload()->normal, Vector3(0, 1, 0));

    // A placed block sends an airborne player back along the turned normal:
    // away from the block, here towards -x.
    const BlockPtr wall = MakeBlock(ActorTypes::kBox, Vector3(3, 4, 0));
    wall->SetState(BlockState::kPlaced);
    player->airborne = 1;
    auto side = Collide(wall->GetId(), player->GetActorId(), -3.0f, Vector3(1, 0, 0));
    EXPECT_EQ(side->GetPayload()->normal, Vector3(1, 0, 0));
    EXPECT_LT(player->GetVelocity().x, 0.0f);
}

}  // namespace MatchTest
