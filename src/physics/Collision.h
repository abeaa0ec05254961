// The narrow phase: box against box by separating axes, giving the contact
// normal and depth, and with full contacts a report point plus up to eight
// points from clipping each box's edges against the other box.
#pragma once

#include <cstdint>

#include "utility/Geometry.h"

namespace Physics {

class PhysBody;
struct BoxShape;

struct ContactPoint {
    Geometry::Vector3 offsetA;  // point - position of A
    Geometry::Vector3 offsetB;  // point - position of B
    float targetSpeed = 0.0f;
    float effectiveInverseMass = 0.0f;
    Geometry::Vector3 worldPoint;
    float depth = 0.0f;  // at the start-of-step positions; negative for a gap
};

// The fields the solver reads on every visit come first, so that a visit that
// finds nothing to do touches one cache line; the points follow.
//
// A contact is done (skipped by the solver) from its solve until either of
// its bodies takes an impulse from any contact it is listed with. Rather than
// clearing a flag in every contact of both bodies after each solve, a contact
// keeps the impulse counts its bodies had when it was solved; it is done while
// they are unchanged (see IsDone in ContactSolver.h). A body whose contact
// list is emptied no longer reopens the contacts that were on it (listedA,
// listedB).
struct ContactManifold {
    static constexpr uint32_t kMaxPoints = 9;

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
    ContactPoint points[kMaxPoints];
    Geometry::Vector3 reportPoint;  // read once per step, kept out of the way
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
