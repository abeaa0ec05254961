// The narrow phase: box against box by separating axes, giving the contact
// normal and depth, and with full contacts a report point plus up to eight
// points from clipping each box's edges against the other box.
#pragma once

#include <cstdint>

#include "utility/Geometry.h"

namespace Physics {

class PhysBody;
struct BoxShape;

// The points of a contact, four to a block in lanes (one array per
// coordinate): the solver's first question at every visit, whether any point
// approaches faster than it may, is answered for four points at once. Each
// lane holds exactly the numbers a per-point record would.
struct alignas(16) ContactLanes {
    static constexpr uint32_t kWidth = 4;
    float ax[kWidth], ay[kWidth], az[kWidth];  // point - position of A
    float bx[kWidth], by[kWidth], bz[kWidth];  // point - position of B
    float targetSpeed[kWidth];
    float effectiveInverseMass[kWidth];
};

// What only impulses and the preparation read of a point.
struct ContactPointRest {
    Geometry::Vector3 worldPoint;
    float depth;  // at the start-of-step positions; negative for a gap
};

// The fields the solver reads on every visit come first, so that a visit that
// finds nothing to do touches the header's cache line and the lanes of its
// points; what only impulses read follows.
//
// A contact is done (skipped by the solver) from its solve until either of
// its bodies takes an impulse from any contact it is listed with. Rather than
// clearing a flag in every contact of both bodies after each solve, a contact
// keeps the impulse counts its bodies had when it was solved; it is done while
// they are unchanged (see IsDone in ContactSolver.h). A body whose contact
// list is emptied no longer reopens the contacts that were on it (listedA,
// listedB).
struct alignas(64) ContactManifold {
    static constexpr uint32_t kMaxPoints = 9;
    static constexpr uint32_t kBlocks = (kMaxPoints + ContactLanes::kWidth - 1) / ContactLanes::kWidth;

    Geometry::Vector3 normal;  // unit, from B towards A
    bool solved = false;       // marked done by its last solve (see above)
    bool listedA = false;      // on A's contact list
    bool listedB = false;      // on B's contact list
    uint32_t count = 0;
    uint32_t stampA = 0;       // A's impulse count when solved
    uint32_t stampB = 0;       // B's impulse count when solved
    PhysBody* bodyA = nullptr;
    PhysBody* bodyB = nullptr;
    float restitution = 0.0f;
    float staticFriction = 0.0f;
    float kineticFriction = 0.0f;
    float inverseMassSum = 0.0f;
    ContactLanes lanes[kBlocks];
    ContactPointRest rest[kMaxPoints];
    Geometry::Vector3 reportPoint;  // read once per step, kept out of the way

    // Point i's offsets from A and B and its depth (the rest is filled in by
    // PrepareContact).
    void SetPoint(uint32_t i, const Geometry::Vector3& offsetA, const Geometry::Vector3& offsetB, float depth) {
        ContactLanes& l = lanes[i / ContactLanes::kWidth];
        const uint32_t k = i % ContactLanes::kWidth;
        l.ax[k] = offsetA.x;
        l.ay[k] = offsetA.y;
        l.az[k] = offsetA.z;
        l.bx[k] = offsetB.x;
        l.by[k] = offsetB.y;
        l.bz[k] = offsetB.z;
        rest[i].depth = depth;
    }
    Geometry::Vector3 OffsetA(uint32_t i) const {
        const ContactLanes& l = lanes[i / ContactLanes::kWidth];
        const uint32_t k = i % ContactLanes::kWidth;
        return {l.ax[k], l.ay[k], l.az[k]};
    }
    Geometry::Vector3 OffsetB(uint32_t i) const {
        const ContactLanes& l = lanes[i / ContactLanes::kWidth];
        const uint32_t k = i % ContactLanes::kWidth;
        return {l.bx[k], l.by[k], l.bz[k]};
    }
    float TargetSpeed(uint32_t i) const { return lanes[i / ContactLanes::kWidth].targetSpeed[i % ContactLanes::kWidth]; }
    float EffectiveInverseMass(uint32_t i) const {
        return lanes[i / ContactLanes::kWidth].effectiveInverseMass[i % ContactLanes::kWidth];
    }
    float Depth(uint32_t i) const { return rest[i].depth; }
};

// Separation test of two boxes on one (not necessarily unit) axis. The
// tolerance widens only the side where A lies beyond B. On overlap, writes the
// overlap (negative for a gap within the tolerance).
bool OverlapOnAxis(const Geometry::Vector3& axis, const BoxShape& a, const BoxShape& b, float tolerance,
                   float& overlap);
// The same from the two projections [minA, maxA] and [minB, maxB].
bool OverlapOf(float minA, float maxA, float minB, float maxB, float tolerance, float& overlap);

// False when some axis separates the boxes (or an edge-edge contact is
// degenerate); else the normal, and with full also points, count and report point.
bool TestBoxBox(const BoxShape& a, const BoxShape& b, ContactManifold& out, bool full, float tolerance);

// TestBoxBox in two parts, so that a caller can decide first which pairs
// touch and make their contact points later (the boxes unchanged meanwhile).
struct AxisTest {
    Geometry::Vector3 normal;  // unit, from B towards A
    float depth = 0.0f;        // overlap along the normal (negative for a gap)
    int axis = -1;             // 0-2 A's axes, 3-5 B's, 6-14 the crossed ones
};
// The separating-axis test: false when some axis separates the boxes, or,
// with full, when the contact is a degenerate edge pair.
bool TestBoxAxes(const BoxShape& a, const BoxShape& b, float tolerance, bool full, AxisTest& out);
// The same one axis at a time in plain arithmetic (TestBoxAxes works four
// lanes at a time where it can and must agree with this bit for bit).
bool TestBoxAxesScalar(const BoxShape& a, const BoxShape& b, float tolerance, bool full, AxisTest& out);
// The normal, points, count and report point of a pair TestBoxAxes passed
// with full.
void ContactPointsOf(const BoxShape& a, const BoxShape& b, const AxisTest& axes, ContactManifold& out);

// The clipped contact points (world coordinates, at most 8), points that lie
// within mergeDistance of each other merged. Returns the count.
int ContactBoxBox(const BoxShape& a, const BoxShape& b, float mergeDistance, Geometry::Vector3 out[8]);

// The point of the box furthest along a direction.
Geometry::Vector3 Support(const BoxShape& box, const Geometry::Vector3& direction);

}  // namespace Physics
