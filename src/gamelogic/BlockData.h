// The logic's record of one block or flag actor: what it is doing (placed in a
// structure, free, thrown, held, pouched, fading, exploded) and who threw it
// last. Changing the state switches the body's material and whether it is in
// the physics world.
#pragma once

#include <cstdint>
#include <memory>

#include "gamelogic/Actor.h"
#include "utility/Geometry.h"

namespace GameLogicView {

class Actor;

namespace BlockState {
enum : int32_t {
    kPlaced = 0,    // part of a structure, or a flag at home
    kFree = 1,      // lying loose; can be picked up
    kThrown = 2,    // flying after a throw
    kHeld = 3,      // in a hand
    kPouch = 4,     // in a pouch
    kFading = 6,    // about to be deleted; final
    kNew = 7,       // not yet classified
    kExploded = 8,  // an exploded bomb
};
}  // namespace BlockState

struct BlockData {
    explicit BlockData(std::shared_ptr<Actor> a);

    bool detachMark = false;  // set while a collapse is worked out
    uint8_t team = 255;       // team of the last thrower; 255 once harmless
    uint16_t owner = 0xFFFF;  // the last thrower
    int32_t state = BlockState::kNew;
    std::shared_ptr<Actor> actor;
    float radius = 0.0f;  // length of the actor's extents: the picker's sphere
    // Turn of the block relative to its carrier's orientation while held.
    Geometry::Quaternion rotation = Geometry::kIdentityQuaternion;

    // Nothing when the state is already that one or the block is fading;
    // otherwise applies the state's material and physics membership.
    void SetState(int32_t newState);
    int32_t GetState() const { return state; }
    uint16_t GetId() const;
    bool IsType(const char* typeName) const { return actor && actor->IsType(typeName); }
    // Actor extents exactly (0.5, 0.5, 0.5).
    bool IsUnitBlock() const;
    // The actor's extents turned by its body's orientation, made non-negative
    // and snapped to the half-unit grid.
    Geometry::Vector3 TurnedExtents() const;
    Geometry::Vector3 GetPosition() const { return actor ? actor->GetPosition() : Geometry::kZeroVector; }
};

using BlockPtr = std::shared_ptr<BlockData>;

}  // namespace GameLogicView
