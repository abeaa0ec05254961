// The rules state of one steered actor (a person's or a bot's): alive or dead,
// the block in the hand and the pouch of further blocks, the jump, throw and
// pick-up locks, a carried flag and the view direction.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "gamelogic/Actor.h"
#include "gamelogic/BlockData.h"
#include "utility/Geometry.h"

namespace Utility {
namespace Implementation {
template <class T>
class IRandImpl;
}
}  // namespace Utility
namespace ProcessSystem {
class ProcessManager;
}

namespace GameLogicView {

class Actor;
class BlockMan;

class Player {
public:
    // A new player is not yet in the game: dead until its first respawn.
    explicit Player(const std::shared_ptr<Actor>& actor);

    bool IsDead() const { return dead == 1; }
    bool CanJump() const { return !IsDead() && jumpCount <= 1 && jumpReady == 1; }
    bool CanThrow() const { return !IsDead() && heldBlock && canThrow == 1; }
    bool CanPickUp() const;
    bool HasHeldBlock() const { return static_cast<bool>(heldBlock); }
    const BlockPtr& GetHeldBlock() const { return heldBlock; }
    uint16_t GetActorId() const { return actorId; }
    uint8_t GetTeam() const { return team; }
    void SetTeam(uint8_t t);
    uint32_t GetJumpCount() const { return jumpCount; }
    int32_t GetJumpSerial() const { return jumpSerial; }
    Geometry::Vector3 GetPosition() const { return actor ? actor->GetPosition() : Geometry::kZeroVector; }
    Geometry::Vector3 GetVelocity() const;
    Geometry::Quaternion GetOrientation() const;
    const std::shared_ptr<Actor>& GetActor() const { return actor; }
    const std::deque<BlockPtr>& GetPouch() const { return pouch; }
    static uint32_t GetPouchSize();

    // The flag setters the timers end with.
    void AllowThrow() { canThrow = 1; }
    void AllowPickUp() { canPickUp = 1; }
    void EnableMove() { canMove = 1; }
    void AllowJump() { jumpReady = 1; }
    void AllowLanding() { mayLand = 1; }

    // Pouch and hand.
    // Pouches the block (state 4) at the back. False, nothing changed, when
    // the pouch already holds the most any pouch may (16): callers check
    // CanPickUp first, this keeps the snapshot for joining machines whole.
    bool AddToPouch(const BlockPtr& block);
    // The oldest pouched block, removed; empty when the pouch is empty.
    BlockPtr TakeFromPouch();
    // The block goes into the hand and its actor follows this player's.
    void SetHeldBlock(const BlockPtr& block);
    // Empties the hand; the block's state is the caller's business.
    void ClearHeldBlock();
    void SelectNextBlock();
    // Keeps the held block's actor above the player.
    void UpdateHeldBlock();

    // Jumping.
    void ApplyJump();
    // Touching the ground ends a jump once landing is allowed again.
    void OnLanded();

    // Throws the held block along the aim, tilted up by ThrowAngle. False,
    // nothing changed, without a held block or with an aim that is zero or
    // not finite (no such number may reach the physics).
    // The flag-thrown timer is bound to this record (records live until the
    // logic's reset, which drops the timers first).
    bool ThrowBlock(const Geometry::Vector3& aim, ProcessSystem::ProcessManager* processes, BlockMan* blocks);
    // A block into the hand (the previous one to the pouch); false when dead,
    // the pouch is full, picking up is locked or a flag is carried.
    bool PickUpBlock(BlockMan* blocks, const BlockPtr& block);
    // An enemy flag into the hand. The block in the hand goes to the pouch
    // when it has room and is dropped free otherwise, so the pouch is never
    // overfilled.
    bool PickUpFlag(BlockMan* blocks, const BlockPtr& flag);

    // The record's fields, in the order of the description of a player.
    std::shared_ptr<Actor> actor;
    uint8_t canThrow = 1;
    uint8_t canPickUp = 1;
    std::deque<BlockPtr> pouch;  // oldest first; blocks in state 4
    BlockPtr heldBlock;          // state 3
    std::shared_ptr<Utility::Implementation::IRandImpl<float>> random;  // seed 1, used by deaths
    uint8_t dead = 1;
    uint8_t invincible = 0;
    uint32_t jumpCount = 0;
    int32_t jumpSerial = 0;
    uint8_t jumpReady = 1;
    uint8_t canMove = 1;
    uint8_t mayLand = 1;
    uint8_t airborne = 0;
    uint16_t actorId = 0xFFFF;
    uint8_t team = 255;
    uint8_t carryingFlag = 0;
    uint8_t flagThrown = 0;
    Geometry::Vector3 viewDirection;
};

}  // namespace GameLogicView
