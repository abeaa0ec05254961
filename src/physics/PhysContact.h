// The physics world's reports: a collision (one per contact found at the
// predicted positions) and a move (one per body that moved in a step).
#pragma once

#include <cstdint>

#include "utility/Geometry.h"

namespace Physics {

struct PhysContact {
    uint32_t resting = 0;  // 1 when |normalSpeed| < 0.5 (then normalSpeed is 0)
    float normalSpeed = 0.0f;  // (velocity of A - velocity of B) . normal
    Geometry::Vector3 point;
    Geometry::Vector3 normal;  // from B towards A
    uint16_t idA = 0xFFFF;
    float massA = 0.0f;
    uint16_t idB = 0xFFFF;
    float massB = 0.0f;
};

struct MoveReport {
    uint16_t actorId = 0xFFFF;
    Geometry::Vector3 position;
    Geometry::Vector3 velocity;
    Geometry::Quaternion orientation;
};

}  // namespace Physics
