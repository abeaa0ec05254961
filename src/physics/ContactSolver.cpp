#include "physics/ContactSolver.h"

#include "physics/PhysSimd.h"

#include <algorithm>
#include <cmath>
#include <limits>

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


// Point i's offsets from A and B out of its lanes.
inline V OffsetA(const ContactManifold& c, uint32_t i) {
    const ContactLanes& l = c.lanes[i / ContactLanes::kWidth];
    const uint32_t k = i % ContactLanes::kWidth;
    return Simd::Gather3(&l.ax[k], &l.ay[k], &l.az[k]);
}
inline V OffsetB(const ContactManifold& c, uint32_t i) {
    const ContactLanes& l = c.lanes[i / ContactLanes::kWidth];
    const uint32_t k = i % ContactLanes::kWidth;
    return Simd::Gather3(&l.bx[k], &l.by[k], &l.bz[k]);
}

// Every point's offsets from A and B as vectors (for the impulses, which
// take the points one by one): a block's lanes transposed, four points at once.
inline void OffsetVectors(const ContactManifold& c, V* offsetA, V* offsetB) {
    const uint32_t blocks = (c.count + ContactLanes::kWidth - 1) / ContactLanes::kWidth;
    for (uint32_t k = 0; k < blocks; ++k) {
        V* ra = offsetA + k * ContactLanes::kWidth;
        V* rb = offsetB + k * ContactLanes::kWidth;
#if defined(__SSE2__)
        const ContactLanes& l = c.lanes[k];
        // The fourth row is zero, so each point's fourth lane is cleared.
        __m128 a0 = _mm_load_ps(l.ax), a1 = _mm_load_ps(l.ay), a2 = _mm_load_ps(l.az), a3 = _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
        ra[0].r = a0, ra[1].r = a1, ra[2].r = a2, ra[3].r = a3;
        __m128 b0 = _mm_load_ps(l.bx), b1 = _mm_load_ps(l.by), b2 = _mm_load_ps(l.bz), b3 = _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
        rb[0].r = b0, rb[1].r = b1, rb[2].r = b2, rb[3].r = b3;
#else
        for (uint32_t i = 0; i < ContactLanes::kWidth; ++i) {
            ra[i] = OffsetA(c, k * ContactLanes::kWidth + i);
            rb[i] = OffsetB(c, k * ContactLanes::kWidth + i);
        }
#endif
    }
}

// The normal impulses the points ask for: for each point, the relative
// velocity along the normal vn, and when vn <= the target speed and the
// wanted change delta >= 0.01, delta over the effective inverse mass into j
// (0 for the others). Returns the points that asked (bit i for point i).
// The points go four at a time, one per lane; each lane performs the scalar
// steps (Relative, Dot and the tests) in the same order, so its numbers are
// the same bits. Lanes past the last point have a NaN target speed, which no
// speed is at or below: they never ask.
#if defined(__SSE2__)
template <int kLane>
inline __m128 Broadcast(V v) {
    return _mm_shuffle_ps(v.r, v.r, _MM_SHUFFLE(kLane, kLane, kLane, kLane));
}

template <bool kStaticB>
unsigned AskedImpulses(const ContactManifold& c, const Body& a, const Body& b, V n, float* j) {
    const __m128 vax = Broadcast<0>(a.v), vay = Broadcast<1>(a.v), vaz = Broadcast<2>(a.v);
    const __m128 wax = Broadcast<0>(a.w), way = Broadcast<1>(a.w), waz = Broadcast<2>(a.w);
    const __m128 nx = Broadcast<0>(n), ny = Broadcast<1>(n), nz = Broadcast<2>(n);
    const __m128 negRestitution = _mm_set1_ps(-c.restitution);
    const __m128 hundredth = _mm_set1_ps(0.01f);
    unsigned asked = 0;
    const uint32_t blocks = (c.count + ContactLanes::kWidth - 1) / ContactLanes::kWidth;
    for (uint32_t k = 0; k < blocks; ++k) {
        const ContactLanes& l = c.lanes[k];
        const __m128 ax = _mm_load_ps(l.ax), ay = _mm_load_ps(l.ay), az = _mm_load_ps(l.az);
        // v + cross(w, r): (w.y r.z - w.z r.y, w.z r.x - w.x r.z, w.x r.y - w.y r.x).
        __m128 ux = _mm_add_ps(vax, _mm_sub_ps(_mm_mul_ps(way, az), _mm_mul_ps(waz, ay)));
        __m128 uy = _mm_add_ps(vay, _mm_sub_ps(_mm_mul_ps(waz, ax), _mm_mul_ps(wax, az)));
        __m128 uz = _mm_add_ps(vaz, _mm_sub_ps(_mm_mul_ps(wax, ay), _mm_mul_ps(way, ax)));
        if (!kStaticB) {
            const __m128 bx = _mm_load_ps(l.bx), by = _mm_load_ps(l.by), bz = _mm_load_ps(l.bz);
            const __m128 wbx = Broadcast<0>(b.w), wby = Broadcast<1>(b.w), wbz = Broadcast<2>(b.w);
            ux = _mm_sub_ps(ux, _mm_add_ps(Broadcast<0>(b.v), _mm_sub_ps(_mm_mul_ps(wby, bz), _mm_mul_ps(wbz, by))));
            uy = _mm_sub_ps(uy, _mm_add_ps(Broadcast<1>(b.v), _mm_sub_ps(_mm_mul_ps(wbz, bx), _mm_mul_ps(wbx, bz))));
            uz = _mm_sub_ps(uz, _mm_add_ps(Broadcast<2>(b.v), _mm_sub_ps(_mm_mul_ps(wbx, by), _mm_mul_ps(wby, bx))));
        }
        const __m128 vn = _mm_add_ps(_mm_add_ps(_mm_mul_ps(ux, nx), _mm_mul_ps(uy, ny)), _mm_mul_ps(uz, nz));
        const __m128 target = _mm_load_ps(l.targetSpeed);
        __m128 wanted = _mm_mul_ps(negRestitution, vn);
        const __m128 low = _mm_cmplt_ps(wanted, hundredth);
        wanted = _mm_or_ps(_mm_and_ps(low, target), _mm_andnot_ps(low, wanted));
        const __m128 delta = _mm_sub_ps(wanted, vn);
        const __m128 asks = _mm_and_ps(_mm_cmple_ps(vn, target), _mm_cmpge_ps(delta, hundredth));
        _mm_store_ps(j + k * ContactLanes::kWidth, _mm_and_ps(asks, _mm_div_ps(delta, _mm_load_ps(l.effectiveInverseMass))));
        asked |= static_cast<unsigned>(_mm_movemask_ps(asks)) << (k * ContactLanes::kWidth);
    }
    return asked;
}
#else
template <bool kStaticB>
unsigned AskedImpulses(const ContactManifold& c, const Body& a, const Body& b, V n, float* j) {
    unsigned asked = 0;
    for (uint32_t i = 0; i < c.count; ++i) {
        j[i] = 0.0f;
        const V ra = OffsetA(c, i);
        const V u = kStaticB ? a.VelocityAt(ra) : a.VelocityAt(ra) - b.VelocityAt(OffsetB(c, i));
        const float vn = Simd::Dot(u, n);
        const float target = c.TargetSpeed(i);
        if (!(vn <= target)) continue;
        float wanted = -c.restitution * vn;
        if (wanted < 0.01f) wanted = target;
        const float delta = wanted - vn;
        if (!(delta >= 0.01f)) continue;
        j[i] = delta / c.EffectiveInverseMass(i);
        asked |= 1u << i;
    }
    return asked;
}
#endif

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
        ContactLanes& l = c.lanes[i / ContactLanes::kWidth];
        const uint32_t k = i % ContactLanes::kWidth;
        const V ra = OffsetA(c, i);
        l.effectiveInverseMass[k] =
            std::max(1e-6f, c.inverseMassSum + ba.AngularTerm(n, ra) + bb.AngularTerm(n, OffsetB(c, i)));
        Simd::Store(c.rest[i].worldPoint, ra + start);
        const float depth = c.rest[i].depth;
        float target = depth > 0.0f ? depth / (2.0f * step) : depth / step;
        if (target > 3.0f) target = 3.0f;
        l.targetSpeed[k] = target;
    }
    // The lanes past the last point, which the solver reads along with the
    // points: plain numbers, and a target speed no speed is at or below.
    // (They have no depth: the points' rest ends at the last possible point.)
    for (uint32_t i = c.count; i % ContactLanes::kWidth != 0; ++i) {
        ContactLanes& l = c.lanes[i / ContactLanes::kWidth];
        const uint32_t k = i % ContactLanes::kWidth;
        l.ax[k] = l.ay[k] = l.az[k] = l.bx[k] = l.by[k] = l.bz[k] = 0.0f;
        l.targetSpeed[k] = std::numeric_limits<float>::quiet_NaN();
        l.effectiveInverseMass[k] = 1.0f;
    }
    a.contacts.push_back(&c);
    c.listedA = true;
    c.listedB = !b.IsStatic();
    if (c.listedB) b.contacts.push_back(&c);
}


namespace {

// A static B never moves and takes no impulse: its terms are 0 and its
// pushes nothing (as Body's own checks give), decided once per visit.
template <bool kStaticB>
inline float TermB(const Body& b, V u, V r) {
    return kStaticB ? 0.0f : b.AngularTerm(u, r);
}
// Velocity of A at ra relative to B at rb. A static body never moves (its
// velocity is inverse mass 0 times its momentum), so its side is skipped.
template <bool kStaticB>
inline V RelativeTo(const Body& a, V ra, const Body& b, V rb) {
    return kStaticB ? a.VelocityAt(ra) : a.VelocityAt(ra) - b.VelocityAt(rb);
}

template <bool kStaticB>
bool Solve(ContactManifold& c, Body& a, Body& b, V n) {
    const int count = static_cast<int>(c.count);

    // The impulses the points ask for; most visits end here, with none.
    alignas(16) float j[ContactManifold::kBlocks * ContactLanes::kWidth];
    const unsigned asked = AskedImpulses<kStaticB>(c, a, b, n, j);
    if (asked == 0) return false;

    // Their sums, last point first.
    float sum = 0.0f;
    float sumTarget = 0.0f;
    V sumPoint = Simd::Zero();
    for (unsigned left = asked; left != 0;) {
        const int i = 31 - __builtin_clz(left);
        left &= ~(1u << i);
        const float ji = j[i];
        sum += ji;
        sumTarget += c.TargetSpeed(static_cast<uint32_t>(i)) * ji;
        sumPoint += Simd::LoadPadded(c.rest[i].worldPoint) * ji;
    }
    if (sum <= 1e-6f) return false;
    a.LoadMomenta(*c.bodyA);
    if (!kStaticB) b.LoadMomenta(*c.bodyB);
    V offsetA[ContactManifold::kBlocks * ContactLanes::kWidth];
    V offsetB[ContactManifold::kBlocks * ContactLanes::kWidth];
    OffsetVectors(c, offsetA, offsetB);

    // The points' shares of the normal impulse; nothing reads the velocities
    // in between, so they follow once from the summed momenta. Only the
    // points that asked have an impulse (the others' is 0), so the walk goes
    // over those, last first.
    bool shared = false;
    for (unsigned left = asked; left != 0;) {
        const int i = 31 - __builtin_clz(left);
        left &= ~(1u << i);
        if (j[i] <= 1e-6f) continue;
        const V impulse = n * (j[i] * j[i] / sum);
        if (!a.isStatic) a.AddMomentum(impulse, offsetA[i]);
        if (!kStaticB) b.AddMomentum(-impulse, offsetB[i]);
        shared = true;
    }
    if (shared) {
        if (!a.isStatic) a.Derive();
        if (!kStaticB) b.Derive();
    }

    // One more impulse at the weighted centre of the points.
    float jc = 0.0f;
    const V centre = sumPoint / sum;
    const float target = sumTarget / sum;
    const V ra = centre - Simd::LoadPadded(c.bodyA->state.position);
    const V rb = kStaticB ? ra : centre - Simd::LoadPadded(c.bodyB->state.position);
    const float vc = Simd::Dot(RelativeTo<kStaticB>(a, ra, b, rb), n);
    if (target > vc) {
        float wanted = -c.restitution * vc;
        if (wanted < 0.01f) wanted = target;
        const float delta = wanted - vc;
        if (delta > 0.01f) {
            const float k = std::max(1e-6f, a.AngularTerm(n, ra) + TermB<kStaticB>(b, n, rb) + c.inverseMassSum);
            jc = delta / k;
            a.Push(n * jc, ra);
            if (!kStaticB) b.Push(n * -jc, rb);
        }
    }

    // Coulomb friction at each point; later points see the earlier impulses.
    // A point that asked for no impulse has j 0, so its normal share jn is 0
    // and its friction, kineticFriction times that, is 0 as well (the static
    // bound 0 > js never holds, js being at least 0): it pushes nothing.
    // That holds while jc and the frictions are finite (an infinite one
    // times 0 would be NaN), and then the walk passes over those points.
    const bool idleHaveNone =
        std::isfinite(jc) && std::isfinite(c.staticFriction) && std::isfinite(c.kineticFriction);
    const unsigned frictionPoints = idleHaveNone ? asked : (1u << count) - 1u;
    for (unsigned left = frictionPoints; left != 0;) {
        const int i = 31 - __builtin_clz(left);
        left &= ~(1u << i);
        const V pa = offsetA[i];
        const V pb = offsetB[i];
        const V u = RelativeTo<kStaticB>(a, pa, b, pb);
        const V ut = u - n * Simd::Dot(u, n);
        const float ut2 = Simd::Dot(ut, ut);
        if (ut2 <= 0.0001f) continue;
        const float utLen = std::sqrt(ut2);
        const V t = ut * (-1.0f / utLen);
        const float kt = a.AngularTerm(t, pa) + TermB<kStaticB>(b, t, pb) + c.inverseMassSum;
        if (kt <= 1e-6f) continue;
        const float jn = (j[i] + jc) * j[i] / sum;
        const float js = utLen / kt;
        const float friction = c.staticFriction * jn > js ? js : c.kineticFriction * jn;
        if (friction == 0.0f) continue;
        a.Push(t * friction, pa);
        if (!kStaticB) b.Push(t * -friction, pb);
    }

    a.WriteBack(*c.bodyA);
    if (!kStaticB) b.WriteBack(*c.bodyB);
    // Every contact listed with either body is open again, this one included.
    ++c.bodyA->impulseCount;
    ++c.bodyB->impulseCount;
    return true;
}

}  // namespace

bool SolveContact(ContactManifold& c) {
    MarkDone(c);
    Body a(*c.bodyA);
    Body b(*c.bodyB);
    const V n = Simd::LoadPadded(c.normal);
    return b.isStatic ? Solve<true>(c, a, b, n) : Solve<false>(c, a, b, n);
}

}  // namespace Physics
