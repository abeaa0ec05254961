#include "physics/ContactSolver.h"

#include <algorithm>
#include <cmath>

namespace Physics {

using Geometry::Cross;
using Geometry::Vector3;

namespace {

inline Vector3 Mul(const Geometry::Matrix3x3& m, const Vector3& v) {
    return {m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z, m.m[3] * v.x + m.m[4] * v.y + m.m[5] * v.z,
            m.m[6] * v.x + m.m[7] * v.y + m.m[8] * v.z};
}

// u . cross(I cross(r, u), r): how much of a unit impulse along u at r goes
// into turning the body; 0 for a static body.
inline float AngularTerm(const PhysBody& b, const Vector3& u, const Vector3& r) {
    if (b.IsStatic()) return 0.0f;
    return u.Dot(Cross(Mul(b.state.inverseInertiaWorld, Cross(r, u)), r));
}

inline Vector3 VelocityAt(const PhysBody& b, const Vector3& r) {
    return b.state.velocity + Cross(b.state.angularVelocity, r);
}

// Velocity of A at ra relative to B at rb. A static body never moves (its
// velocity is inverse mass 0 times its momentum), so its side is skipped.
inline Vector3 Relative(const PhysBody& a, const Vector3& ra, const PhysBody& b, const Vector3& rb, bool bStatic) {
    return bStatic ? VelocityAt(a, ra) : VelocityAt(a, ra) - VelocityAt(b, rb);
}

// The velocities that follow from the momenta.
inline void Derive(PhysBody& b) {
    RigidState& s = b.state;
    s.velocity = s.momentum * b.massProps.inverseMass;
    s.angularVelocity = s.angularMomentum == Geometry::kZeroVector ? Geometry::kZeroVector
                                                                   : Mul(s.inverseInertiaWorld, s.angularMomentum);
    b.touched = true;
}

// PhysBody::ApplyImpulse (j, cross(r, j)) without the velocities, for a run
// of impulses that nothing reads in between; Derive follows the run.
inline void AddMomentum(PhysBody& b, const Vector3& j, const Vector3& r) {
    b.state.momentum += j;
    b.state.angularMomentum += Cross(r, j);
}

// PhysBody::ApplyImpulse (j, cross(r, j)) written out for the solver's inner
// loop; the solver's impulses are finite whenever the bodies' states are.
inline void Push(PhysBody& b, const Vector3& j, const Vector3& r) {
    if (b.IsStatic()) return;
    AddMomentum(b, j, r);
    Derive(b);
}

}  // namespace

void UnlistContacts(PhysBody& body) {
    for (ContactManifold* c : body.contacts) {
        // Reopened through this body already: it stays open.
        if (c->solved && !IsDone(*c)) Reopen(*c);
        if (c->bodyA == &body) c->listedA = false;
        if (c->bodyB == &body) c->listedB = false;
    }
    body.contacts.clear();
}

void PrepareContact(ContactManifold& c, float dt) {
    PhysBody& a = *c.bodyA;
    PhysBody& b = *c.bodyB;
    Reopen(c);
    const PhysMaterial& ma = a.massProps.material;
    const PhysMaterial& mb = b.massProps.material;
    c.restitution = std::max(ma.coRestitution, mb.coRestitution);
    c.staticFriction = std::min(ma.staticFriction, mb.staticFriction);
    c.kineticFriction = std::min(ma.kineticFriction, mb.kineticFriction);
    c.inverseMassSum = a.massProps.inverseMass + b.massProps.inverseMass;
    const float step = dt < 1e-6f ? 1e-6f : dt;
    for (uint32_t i = 0; i < c.count; ++i) {
        ContactPoint& p = c.points[i];
        p.effectiveInverseMass = std::max(
            1e-6f, c.inverseMassSum + AngularTerm(a, c.normal, p.offsetA) + AngularTerm(b, c.normal, p.offsetB));
        p.worldPoint = p.offsetA + a.shape.startPosition;
        p.targetSpeed = p.depth > 0.0f ? p.depth / (2.0f * step) : p.depth / step;
        if (p.targetSpeed > 3.0f) p.targetSpeed = 3.0f;
    }
    a.contacts.push_back(&c);
    c.listedA = true;
    c.listedB = !b.IsStatic();
    if (c.listedB) b.contacts.push_back(&c);
}

bool SolveContact(ContactManifold& c) {
    PhysBody& a = *c.bodyA;
    PhysBody& b = *c.bodyB;
    const Vector3 n = c.normal;
    const bool bStatic = b.IsStatic();
    MarkDone(c);

    float j[ContactManifold::kMaxPoints];
    float sum = 0.0f;
    float sumTarget = 0.0f;
    Vector3 sumPoint;
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        const ContactPoint& p = c.points[i];
        j[i] = 0.0f;
        const float vn = Relative(a, p.offsetA, b, p.offsetB, bStatic).Dot(n);
        if (vn <= p.targetSpeed) {
            float wanted = -c.restitution * vn;
            if (wanted < 0.01f) wanted = p.targetSpeed;
            const float delta = wanted - vn;
            if (delta >= 0.01f) {
                j[i] = delta / p.effectiveInverseMass;
                sum += j[i];
                sumTarget += p.targetSpeed * j[i];
                sumPoint += p.worldPoint * j[i];
            }
        }
    }
    if (sum <= 1e-6f) return false;

    // The points' shares of the normal impulse; nothing reads the velocities
    // in between, so they follow once from the summed momenta.
    const bool aStatic = a.IsStatic();
    bool pushed = false;
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        if (j[i] <= 1e-6f) continue;
        const Vector3 impulse = n * (j[i] * j[i] / sum);
        if (!aStatic) AddMomentum(a, impulse, c.points[i].offsetA);
        if (!bStatic) AddMomentum(b, -impulse, c.points[i].offsetB);
        pushed = true;
    }
    if (pushed) {
        if (!aStatic) Derive(a);
        if (!bStatic) Derive(b);
    }

    // One more impulse at the weighted centre of the points.
    float jc = 0.0f;
    const Vector3 centre = sumPoint / sum;
    const float target = sumTarget / sum;
    const Vector3 ra = centre - a.state.position;
    const Vector3 rb = centre - b.state.position;
    const float vc = Relative(a, ra, b, rb, bStatic).Dot(n);
    if (target > vc) {
        float wanted = -c.restitution * vc;
        if (wanted < 0.01f) wanted = target;
        const float delta = wanted - vc;
        if (delta > 0.01f) {
            const float k = std::max(1e-6f, AngularTerm(a, n, ra) + AngularTerm(b, n, rb) + c.inverseMassSum);
            jc = delta / k;
            Push(a, n * jc, ra);
            Push(b, n * -jc, rb);
        }
    }

    // Coulomb friction at each point; later points see the earlier impulses.
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        const ContactPoint& p = c.points[i];
        const Vector3 u = Relative(a, p.offsetA, b, p.offsetB, bStatic);
        const Vector3 ut = u - n * u.Dot(n);
        const float ut2 = ut.LengthSquared();
        if (ut2 <= 0.0001f) continue;
        const float utLen = std::sqrt(ut2);
        const Vector3 t = ut * (-1.0f / utLen);
        const float kt = AngularTerm(a, t, p.offsetA) + AngularTerm(b, t, p.offsetB) + c.inverseMassSum;
        if (kt <= 1e-6f) continue;
        const float jn = (j[i] + jc) * j[i] / sum;
        const float js = utLen / kt;
        const float friction = c.staticFriction * jn > js ? js : c.kineticFriction * jn;
        if (friction == 0.0f) continue;
        Push(a, t * friction, p.offsetA);
        Push(b, t * -friction, p.offsetB);
    }

    // Every contact listed with either body is open again, this one included.
    ++a.impulseCount;
    ++b.impulseCount;
    return true;
}

}  // namespace Physics
