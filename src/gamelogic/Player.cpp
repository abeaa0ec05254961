#include "gamelogic/Player.h"

#include <cmath>
#include <cstring>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/PlayerProcs.h"
#include "gamelogic/Timers.h"
#include "physics/PhysBody.h"
#include "processes/Process.h"
#include "utility/Random.h"

namespace GameLogicView {

Player::Player(const std::shared_ptr<Actor>& a) : actor(a), random(Utility::Implementation::MakeFloatImpl(1)) {
    random->SetRange(0.0f, 1.0f);
    if (actor) {
        actorId = actor->actorId;
        team = actor->team;
    }
}

uint32_t Player::GetPouchSize() { return GetLogicSettings().pouchSize; }

bool Player::CanPickUp() const {
    return !IsDead() && pouch.size() < GetPouchSize() && canPickUp == 1 && carryingFlag == 0;
}

void Player::SetTeam(uint8_t t) {
    team = t;
    if (actor) actor->SetTeam(t);
}

Geometry::Vector3 Player::GetVelocity() const { return actor ? actor->GetVelocity() : Geometry::kZeroVector; }
Geometry::Quaternion Player::GetOrientation() const {
    return actor ? actor->GetOrientation() : Geometry::kIdentityQuaternion;
}

// ------------------------------------------------------------ pouch and hand

bool Player::AddToPouch(const BlockPtr& block) {
    if (!block || pouch.size() >= LogicSettings::kMaxPouchSize) return false;
    block->SetState(BlockState::kPouch);
    pouch.push_back(block);
    return true;
}

BlockPtr Player::TakeFromPouch() {
    if (pouch.empty()) return nullptr;
    BlockPtr front = pouch.front();
    pouch.pop_front();
    return front;
}

void Player::SetHeldBlock(const BlockPtr& block) {
    heldBlock = block;
    if (block && actor) actor->SetHeldActor(block->actor);
}

void Player::ClearHeldBlock() {
    if (actor) actor->SetHeldActor(nullptr);
    heldBlock.reset();
}

void Player::SelectNextBlock() {
    if (pouch.empty()) return;
    SetHeldBlock(TakeFromPouch());
}

void Player::UpdateHeldBlock() {
    if (heldBlock && actor) actor->FollowCarrier();
}

// ------------------------------------------------------------------ jumping

void Player::ApplyJump() {
    const LogicSettings& s = GetLogicSettings();
    const Geometry::Vector3 v = GetVelocity();
    float vy = v.y;
    if (vy < 0.0f && s.jumpYSpeedLessThanZeroDivisor != 0.0f) vy /= s.jumpYSpeedLessThanZeroDivisor;
    if (v.y > 0.0f && s.jumpYSpeedGreaterThanZeroDivisor != 0.0f) vy /= s.jumpYSpeedGreaterThanZeroDivisor;
    const float speed = jumpCount == 0 ? s.jumpSpeed : s.doubleJumpSpeed;
    float up = vy + speed;
    if (s.jumpSpeedHelpedByVelocityFactor != 0.0f)
        up += std::sqrt(v.x * v.x + vy * vy) / s.jumpSpeedHelpedByVelocityFactor;
    if (actor && actor->body) actor->body->SetVelocity(Geometry::Vector3(v.x, up, v.z));
    if (jumpCount == 0) ++jumpSerial;
    ++jumpCount;
    airborne = 1;
    canMove = 1;
}

void Player::OnLanded() {
    if (mayLand != 1) return;
    canMove = 1;
    jumpCount = 0;
    airborne = 0;
}

// ----------------------------------------------------------------- throwing

bool Player::ThrowBlock(const Geometry::Vector3& aim, ProcessSystem::ProcessManager* processes, BlockMan* blocks) {
    if (!heldBlock || !heldBlock->actor) return false;
    // A zero or non-finite aim has no direction to throw along.
    if (!aim.IsFinite() || aim.LengthSquared() == 0.0f) return false;
    const LogicSettings& s = GetLogicSettings();
    const BlockPtr block = heldBlock;
    Actor& blockActor = *block->actor;

    // Tilt upwards about the horizontal axis across the aim. An aim along
    // the vertical has no such axis and is thrown as it is.
    Geometry::Vector3 dir = aim;
    const Geometry::Vector3 axis = Geometry::Cross(aim, Geometry::Vector3(0.0f, 1.0f, 0.0f)).Normalized();
    if (axis.LengthSquared() > 0.0f) dir = Geometry::Quaternion::FromAxisAngle(axis, s.throwAngle).Rotate(aim);

    const bool carried = carryingFlag != 0;
    if (block->IsType(ActorTypes::kFlag)) {
        carryingFlag = 0;
        flagThrown = 1;
        AttachAfter(processes, 250, std::make_shared<ResetFlagThrown>(this));
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagDropped>(
            static_cast<int16_t>(actorId), static_cast<int16_t>(block->GetId()), team, blockActor.team));
    }
    if (block->state != BlockState::kThrown && block->state != BlockState::kFading)
        block->SetState(BlockState::kThrown);
    block->team = team;
    block->owner = actorId;
    if (blocks) blocks->OnBlockReleased(block);

    // The block leaves from the hand: one that came from the pouch since the
    // player last moved still lies where pouch blocks are kept, below the
    // level.
    if (actor) actor->FollowCarrier();
    const Geometry::Vector3 e = blockActor.extents;
    const Geometry::Quaternion q = blockActor.GetOrientation();
    const Geometry::Vector3 c = q.Rotate(Geometry::Vector3(0.0f, 0.0f, e.z));
    ClearHeldBlock();

    Physics::PhysBody* body = blockActor.body.get();
    if (dir.y < 0.0f) {
        // Thrown downwards: start it clear of the thrower's feet.
        if (body) body->SetPosition(body->GetPosition() + c * 1.5f);
        dir += c * 0.2f;
        const Geometry::Vector3 pv = GetVelocity();
        if (pv.y > 0.0f && pv.Dot(dir) >= 1.0f) dir.y *= 0.5f;
        dir.Normalize();
        if (dir.LengthSquared() == 0.0f) dir = Geometry::Vector3(0.0f, -1.0f, 0.0f);
    }
    Geometry::Vector3 velocity = dir * s.throwSpeed;
    if (carried) velocity *= 3.4f;
    if (body) {
        body->SetVelocity(velocity);
        const Geometry::Vector3 p = body->GetPosition() - c - Geometry::Vector3(0.0f, e.y, 0.0f);
        body->ApplyImpulseAt(p, dir * (s.throwImpulse * 5.0f * e.LengthSquared()));
    }

    SelectNextBlock();
    const int16_t nowHeld = heldBlock ? static_cast<int16_t>(heldBlock->GetId()) : static_cast<int16_t>(-1);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateThrowBlock>(
        GetPosition(), dir, static_cast<int16_t>(actorId), static_cast<int16_t>(block->GetId()), nowHeld));
    return true;
}

// ---------------------------------------------------------------- picking up

bool Player::PickUpBlock(BlockMan* blocks, const BlockPtr& block) {
    if (!block || IsDead() || pouch.size() >= GetPouchSize() || canPickUp != 1 || carryingFlag != 0) return false;
    if (heldBlock) {
        AddToPouch(heldBlock);
        ClearHeldBlock();
    }
    if (blocks) blocks->TakeBlock(block);
    SetHeldBlock(block);
    return true;
}

bool Player::PickUpFlag(BlockMan* blocks, const BlockPtr& flag) {
    if (!flag || !flag->actor || IsDead()) return false;
    if (flag->actor->team == team || carryingFlag != 0) return false;
    if (heldBlock) {
        const BlockPtr previous = heldBlock;
        ClearHeldBlock();
        // A full pouch takes nothing more: the block falls from the hand.
        if (pouch.size() >= GetPouchSize() || !AddToPouch(previous)) previous->SetState(BlockState::kFree);
    }
    if (blocks) blocks->TakeBlock(flag);
    SetHeldBlock(flag);
    carryingFlag = 1;
    return true;
}

}  // namespace GameLogicView
