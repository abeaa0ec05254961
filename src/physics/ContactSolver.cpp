#include "physics/ContactSolver.h"

#include "physics/PhysSimd.h"

#include <algorithm>
#include <cmath>

namespace Physics {

namespace {

using Simd::V;

// The solver's working copy of a body: velocities, momenta and world inverse
// inertia in registers, written back once at the end of a solve (nothing else
// reads the body meanwhile). Every vector read here (body state, contact
// normal and points) has more fields of its object after it, so the padded
// 16-byte loads stay inside the object.
struct Body {
    V v, w, p, l;
    Simd::M inertia;  // world inverse inertia; symmetric (R D R transposed)
    float inverseMass = 0.0f;
    bool isStatic;
    bool pushed = false;

    // The velocities only: most visits find nothing to do and need no more.
    explicit Body(const PhysBody& b)
        : v(Simd::LoadPadded(b.state.velocity)), w(Simd::LoadPadded(b.state.angularVelocity)), isStatic(b.solverStatic) {}
    // What impulses need.
    void LoadMomenta(const PhysBody& b) {
        p = Simd::LoadPadded(b.state.momentum);
        l = Simd::LoadPadded(b.state.angularMomentum);
        LoadInertia(b);
    }
    void LoadInertia(const PhysBody& b) {
        inertia = Simd::LoadSymmetricPadded(b.state.inverseInertiaWorld);
        inverseMass = b.inverseMass;
    }

    void WriteBack(PhysBody& b) const {
        if (!pushed) return;
        Simd::Store(b.state.velocity, v);
        Simd::Store(b.state.angularVelocity, w);
        Simd::Store(b.state.momentum, p);
        Simd::Store(b.state.angularMomentum, l);
        b.touched = true;
    }

    V VelocityAt(V r) const { return v + Simd::Cross(w, r); }

    // u . cross(I cross(r, u), r); 0 for a static body.
    float AngularTerm(V u, V r) const {
        if (isStatic) return 0.0f;
        return Simd::Dot(u, Simd::Cross(Simd::Mul(inertia, Simd::Cross(r, u)), r));
    }

    // PhysBody::ApplyImpulse (j, cross(r, j)) without the velocities.
    void AddMomentum(V j, V r) {
        p += j;
        l += Simd::Cross(r, j);
        pushed = true;
    }
    // The velocities that follow from the momenta.
    void Derive() {
        v = p * inverseMass;
        w = Simd::IsZero(l) ? Simd::Zero() : Simd::Mul(inertia, l);
    }
    // PhysBody::ApplyImpulse (j, cross(r, j)); nothing for a static body.
    void Push(V j, V r) {
        if (isStatic) return;
        AddMomentum(j, r);
        Derive();
    }
};

// Velocity of A at ra relative to B at rb. A static body never moves (its
// velocity is inverse mass 0 times its momentum), so its side is skipped.
inline V Relative(const Body& a, V ra, const Body& b, V rb) {
    return b.isStatic ? a.VelocityAt(ra) : a.VelocityAt(ra) - b.VelocityAt(rb);
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
    c.restitution = std::max(a.coRestitution, b.coRestitution);
    c.staticFriction = std::min(a.staticFriction, b.staticFriction);
    c.kineticFriction = std::min(a.kineticFriction, b.kineticFriction);
    c.inverseMassSum = a.inverseMass + b.inverseMass;
    const float step = dt < 1e-6f ? 1e-6f : dt;
    Body ba(a), bb(b);
    ba.LoadInertia(a);
    bb.LoadInertia(b);
    const V n = Simd::LoadPadded(c.normal);
    const V start = Simd::LoadPadded(a.shape.startPosition);
    for (uint32_t i = 0; i < c.count; ++i) {
        ContactPoint& p = c.points[i];
        const V ra = Simd::LoadPadded(p.offsetA);
        p.effectiveInverseMass =
            std::max(1e-6f, c.inverseMassSum + ba.AngularTerm(n, ra) + bb.AngularTerm(n, Simd::LoadPadded(p.offsetB)));
        Simd::Store(p.worldPoint, ra + start);
        p.targetSpeed = p.depth > 0.0f ? p.depth / (2.0f * step) : p.depth / step;
        if (p.targetSpeed > 3.0f) p.targetSpeed = 3.0f;
    }
    a.contacts.push_back(&c);
    c.listedA = true;
    c.listedB = !b.IsStatic();
    if (c.listedB) b.contacts.push_back(&c);
}


bool SolveContact(ContactManifold& c) {
    MarkDone(c);
    Body a(*c.bodyA);
    Body b(*c.bodyB);
    const V n = Simd::LoadPadded(c.normal);
    const int count = static_cast<int>(c.count);

    float j[ContactManifold::kMaxPoints];
    float sum = 0.0f;
    float sumTarget = 0.0f;
    V sumPoint = Simd::Zero();
    for (int i = count - 1; i >= 0; --i) {
        const ContactPoint& p = c.points[i];
        float ji = 0.0f;  // one store per point (clearing j first compiles to a memset call)
        const float vn = Simd::Dot(Relative(a, Simd::LoadPadded(p.offsetA), b, Simd::LoadPadded(p.offsetB)), n);
        if (vn <= p.targetSpeed) {
            float wanted = -c.restitution * vn;
            if (wanted < 0.01f) wanted = p.targetSpeed;
            const float delta = wanted - vn;
            if (delta >= 0.01f) {
                ji = delta / p.effectiveInverseMass;
                sum += ji;
                sumTarget += p.targetSpeed * ji;
                sumPoint += Simd::LoadPadded(p.worldPoint) * ji;
            }
        }
        j[i] = ji;
    }
    if (sum <= 1e-6f) return false;
    a.LoadMomenta(*c.bodyA);
    b.LoadMomenta(*c.bodyB);

    // The points' shares of the normal impulse; nothing reads the velocities
    // in between, so they follow once from the summed momenta.
    bool shared = false;
    for (int i = count - 1; i >= 0; --i) {
        if (j[i] <= 1e-6f) continue;
        const V impulse = n * (j[i] * j[i] / sum);
        if (!a.isStatic) a.AddMomentum(impulse, Simd::LoadPadded(c.points[i].offsetA));
        if (!b.isStatic) b.AddMomentum(-impulse, Simd::LoadPadded(c.points[i].offsetB));
        shared = true;
    }
    if (shared) {
        if (!a.isStatic) a.Derive();
        if (!b.isStatic) b.Derive();
    }

    // One more impulse at the weighted centre of the points.
    float jc = 0.0f;
    const V centre = sumPoint / sum;
    const float target = sumTarget / sum;
    const V ra = centre - Simd::LoadPadded(c.bodyA->state.position);
    const V rb = centre - Simd::LoadPadded(c.bodyB->state.position);
    const float vc = Simd::Dot(Relative(a, ra, b, rb), n);
    if (target > vc) {
        float wanted = -c.restitution * vc;
        if (wanted < 0.01f) wanted = target;
        const float delta = wanted - vc;
        if (delta > 0.01f) {
            const float k = std::max(1e-6f, a.AngularTerm(n, ra) + b.AngularTerm(n, rb) + c.inverseMassSum);
            jc = delta / k;
            a.Push(n * jc, ra);
            b.Push(n * -jc, rb);
        }
    }

    // Coulomb friction at each point; later points see the earlier impulses.
    for (int i = count - 1; i >= 0; --i) {
        const ContactPoint& p = c.points[i];
        const V pa = Simd::LoadPadded(p.offsetA);
        const V pb = Simd::LoadPadded(p.offsetB);
        const V u = Relative(a, pa, b, pb);
        const V ut = u - n * Simd::Dot(u, n);
        const float ut2 = Simd::Dot(ut, ut);
        if (ut2 <= 0.0001f) continue;
        const float utLen = std::sqrt(ut2);
        const V t = ut * (-1.0f / utLen);
        const float kt = a.AngularTerm(t, pa) + b.AngularTerm(t, pb) + c.inverseMassSum;
        if (kt <= 1e-6f) continue;
        const float jn = (j[i] + jc) * j[i] / sum;
        const float js = utLen / kt;
        const float friction = c.staticFriction * jn > js ? js : c.kineticFriction * jn;
        if (friction == 0.0f) continue;
        a.Push(t * friction, pa);
        b.Push(t * -friction, pb);
    }

    a.WriteBack(*c.bodyA);
    b.WriteBack(*c.bodyB);
    // Every contact listed with either body is open again, this one included.
    ++c.bodyA->impulseCount;
    ++c.bodyB->impulseCount;
    return true;
}

}  // namespace Physics
