#include "physics/PhysBody.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace Physics {

using Geometry::Matrix3x3;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

const Matrix3x3 kZero3{0, 0, 0, 0, 0, 0, 0, 0, 0};

bool Finite(float v) { return std::isfinite(v); }

Vector3 Unit(const Vector3& v) { return v / v.Length(); }

}  // namespace

PhysBody::PhysBody() {
    state.massRef = &massProps;
    shape.rotation = Matrix3x3::Identity();
    shape.rotationT = Matrix3x3::Identity();
}

void PhysBody::RecomputeInertiaShape(bool zero) {
    const Vector3& h = massProps.halfExtents;
    if (zero) {
        massProps.inertiaShape = kZero3;
    } else {
        const float k = 4.0f / 3.0f;
        massProps.inertiaShape = Matrix3x3(k * (h.y * h.y + h.z * h.z), 0, 0, 0, k * (h.x * h.x + h.z * h.z), 0, 0,
                                           0, k * (h.x * h.x + h.y * h.y));
    }
    Matrix3x3 inv = kZero3;
    for (int i = 0; i < 3; ++i) {
        const float d = massProps.inertiaShape(i, i);
        inv(i, i) = d != 0.0f ? 1.0f / d : 0.0f;
    }
    massProps.inverseInertiaShape = inv;
    Matrix3x3 body = kZero3;
    for (int i = 0; i < 3; ++i) body(i, i) = massProps.inverseMass * inv(i, i);
    massProps.inverseInertiaBody = body;
}

void PhysBody::RecomputeInverseInertiaWorld() {
    // R x inverseInertiaBody x R transposed; the body inertia is diagonal, so
    // entry (i, j) is the sum over k of R(i, k) d_k R(j, k).
    const Matrix3x3 r = RotationOf(state.orientation);
    const Matrix3x3& ib = massProps.inverseInertiaBody;
    const float d[3] = {ib.m[0], ib.m[4], ib.m[8]};
    Matrix3x3& w = state.inverseInertiaWorld;
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j) {
            const float v = r.m[i * 3] * d[0] * r.m[j * 3] + r.m[i * 3 + 1] * d[1] * r.m[j * 3 + 1] +
                            r.m[i * 3 + 2] * d[2] * r.m[j * 3 + 2];
            w.m[i * 3 + j] = v;
            w.m[j * 3 + i] = v;
        }
}

namespace {
std::atomic<uint64_t> g_materialEpoch{0};
}  // namespace

uint64_t PhysBody::MaterialEpoch() { return g_materialEpoch.load(std::memory_order_relaxed); }

void PhysBody::ApplyMaterial(const PhysMaterial& material) {
    if (staticBody && asleep) g_materialEpoch.fetch_add(1, std::memory_order_relaxed);
    massProps.material = material;
    massProps.mass = massProps.volume * material.density;
    massProps.inverseMass = massProps.mass != 0.0f ? 1.0f / massProps.mass : 0.0f;
    inverseMass = massProps.inverseMass;
    staticBody = massProps.mass == 0.0f;
    solverStatic = staticBody;
    coRestitution = material.coRestitution;
    staticFriction = material.staticFriction;
    kineticFriction = material.kineticFriction;
    Matrix3x3 body = kZero3;
    for (int i = 0; i < 3; ++i) body(i, i) = massProps.inverseMass * massProps.inverseInertiaShape(i, i);
    massProps.inverseInertiaBody = body;
    RecomputeInverseInertiaWorld();
    // Keep velocity = inverse mass x momentum with the new mass.
    state.velocity = state.momentum * massProps.inverseMass;
    UpdateAngularVelocity();
    if (massProps.mass == 0.0f) {
        PutToSleep();
        // A static body keeps no contacts: the world passes over its list
        // from now on, so the last step's entries go now.
        contacts.clear();
    } else {
        Wake();
    }
}

void PhysBody::SetMaterial(const std::string& name) { ApplyMaterial(MaterialMan().GetMaterial(name)); }

namespace {
inline bool SameBits(const Quaternion& a, const Quaternion& b) { return std::memcmp(&a, &b, sizeof(Quaternion)) == 0; }
}  // namespace

const Matrix3x3& PhysBody::RotationOf(const Quaternion& q) {
    if (!m_cachedRotationValid || !SameBits(q, m_cachedOrientation)) {
        m_cachedRotation = q.SafeToMatrix3x3();
        m_cachedOrientation = q;
        m_cachedRotationValid = true;
    }
    return m_cachedRotation;
}

void PhysBody::RefreshShape() {
    shape.position = state.position;
    if (!m_shapeRotationValid || !SameBits(state.orientation, m_shapeOrientation)) {
        shape.rotation = RotationOf(state.orientation);
        shape.rotationT = shape.rotation.Transpose();
        m_shapeOrientation = state.orientation;
        m_shapeRotationValid = true;
    }
    if (IsStatic()) shape.startPosition = state.position;
    boundsDirty = true;
}

void PhysBody::SetPosition(const Vector3& p) {
    if (!p.IsFinite()) return;
    Wake();
    state.position = p;
    RefreshShape();
}

void PhysBody::SetOrientation(const Quaternion& q) {
    if (!q.IsFinite() || q.LengthSquared() == 0.0f) return;
    const float len = q.Length();
    if (!(len > 0.0f) || !Finite(len)) return;
    state.orientation = Quaternion(q.w / len, q.x / len, q.y / len, q.z / len);
    RecomputeInverseInertiaWorld();
    RefreshShape();
}

void PhysBody::SetVelocity(const Vector3& v) {
    if (!v.IsFinite()) return;
    if (v != Geometry::kZeroVector) Wake();
    state.momentum = v * massProps.mass;
    state.velocity = IsStatic() ? Geometry::kZeroVector : v;
    touched = true;
}

void PhysBody::ResetMotion() {
    state.momentum = Geometry::kZeroVector;
    state.velocity = Geometry::kZeroVector;
    touched = true;
}

void PhysBody::ApplyImpulse(const Vector3& linear, const Vector3& angular) {
    if (!linear.IsFinite() || !angular.IsFinite()) return;
    state.momentum += linear;
    state.velocity = state.momentum * massProps.inverseMass;
    state.angularMomentum += angular;
    UpdateAngularVelocity();
    touched = true;
}

void PhysBody::ApplyImpulseAt(const Vector3& worldPoint, const Vector3& impulse) {
    if (IsStatic()) return;
    ApplyImpulse(impulse, Geometry::Cross(worldPoint - state.position, impulse));
}

void PhysBody::SetMoveVelocity(float vx, float vz) {
    if (!Finite(vx) || !Finite(vz)) return;
    Wake();
    walking = true;
    moveX = massProps.mass * vx;
    moveZ = massProps.mass * vz;
    RecomputeInertiaShape(true);
    RecomputeInverseInertiaWorld();
}

void PhysBody::StopMoving() {
    moveX = 0.0f;
    moveZ = 0.0f;
    walking = false;
    RecomputeInertiaShape(false);
}

void PhysBody::UpdateAngularVelocity() {
    if (state.angularMomentum == Geometry::kZeroVector)
        state.angularVelocity = Geometry::kZeroVector;
    else
        state.angularVelocity = state.inverseInertiaWorld * state.angularMomentum;
}

Vector3 PhysBody::Forces() const {
    const PhysMaterial& mat = massProps.material;
    const float m = massProps.mass;
    const Vector3& v = state.velocity;
    const Vector3& p = state.momentum;
    if (walking) {
        float tx = moveX;
        float tz = moveZ;
        if (v.y < mat.minAirAccelSpeed) {
            const float span = mat.maxAirAccelSpeed - mat.minAirAccelSpeed;
            if (span != 0.0f) {
                const float vy = std::max(v.y, mat.maxAirAccelSpeed);
                const float f =
                    ((vy - mat.minAirAccelSpeed) * mat.airAccel + mat.maxAirAccelSpeed - vy) / span;
                tx *= f;
                tz *= f;
            }
        }
        Vector3 f((tx - p.x) / mat.moveTime, -24.0f * m, (tz - p.z) / mat.moveTime);
        if (tx == 0.0f && tz == 0.0f) {
            f.x *= mat.slowCoeff;
            f.z *= mat.slowCoeff;
        } else {
            if (p.x != 0.0f && (tx > 0.0f) != (p.x > 0.0f)) f.x *= mat.switchCoeff;
            if (p.z != 0.0f && (tz > 0.0f) != (p.z > 0.0f)) f.z *= mat.switchCoeff;
        }
        return f;
    }
    Vector3 f = v * (v.Length() * massProps.volume * -mat.linDrag);
    f.y -= 10.0f * m;
    return f;
}

Vector3 PhysBody::Torque() const {
    const Vector3& w = state.angularVelocity;
    Vector3 t = w * (w.Length() * massProps.volume * -massProps.material.angDrag);
    if (t.LengthSquared() > 1e10f) t = Unit(t) * 1e5f;
    return t;
}

// The two integrations run for every awake body twice a step (prediction and
// real): their helpers (forces, torque, travel limit, shape and inertia
// refresh) are inlined into them rather than called.
__attribute__((flatten)) void PhysBody::IntegrateVelocity(float dt) {
    if (asleep) return;
    const Vector3 f = Forces();
    state.momentum += f * dt;
    if (!state.momentum.IsFinite()) state.momentum = Geometry::kZeroVector;
    state.velocity = state.momentum * massProps.inverseMass;
    touched = true;

    if (state.angularMomentum.LengthSquared() > 1e10f) {
        state.angularMomentum = Unit(state.angularMomentum) * 1e5f;
        UpdateAngularVelocity();
    }
    Vector3 t = Torque();
    if (t.LengthSquared() > 1e16f) t = Unit(t) * 1e6f;
    state.angularMomentum += t * dt;
    if (!state.angularMomentum.IsFinite()) state.angularMomentum = Geometry::kZeroVector;
    UpdateAngularVelocity();
}

__attribute__((flatten)) void PhysBody::IntegratePosition(float dt) {
    if (asleep) return;
    LimitTravel(dt);
    const Vector3 next = state.position + state.velocity * dt;
    if (next.IsFinite()) {
        state.position = next;
    } else {
        // A runaway velocity must not carry the body to infinity.
        ResetMotion();
    }
    RefreshShape();

    const Quaternion& q = state.orientation;
    const Vector3& w = state.angularVelocity;
    const float h = dt * 0.5f;
    const Quaternion p = Quaternion(0.0f, w.x * h, w.y * h, w.z * h) * q;
    const Quaternion sum(q.w + p.w, q.x + p.x, q.y + p.y, q.z + p.z);
    const float len = sum.Length();
    // A zero or non-finite result keeps the previous orientation.
    if (len > 0.0f && Finite(len) && sum.IsFinite())
        state.orientation = Quaternion(sum.w / len, sum.x / len, sum.y / len, sum.z / len);
    RecomputeInverseInertiaWorld();
}

// A body moving more than twice its own thickness in one step could pass
// through a body as thick as itself between two contact tests (a thin wall,
// the ground) and leave the world. Such speeds come only from runaway pushes;
// they are cut to that distance per step, momentum along.
void PhysBody::LimitTravel(float dt) {
    const Vector3& e = massProps.halfExtents;
    const float limit = 4.0f * std::min(e.x, std::min(e.y, e.z));
    const float travel2 = state.velocity.LengthSquared() * dt * dt;
    if (!(travel2 > limit * limit) || !(limit > 0.0f)) return;
    const float k = limit / std::sqrt(travel2);
    state.velocity = state.velocity * k;
    state.momentum = state.momentum * k;
}

bool PhysBody::IsMoving() const {
    return state.velocity.LengthSquared() > 0.0529f || state.angularVelocity.LengthSquared() > 0.04f;
}

// A sleeper in a pile is pushed every step by the awake blocks leaning on it
// and landing next to it: the penetration recovery alone gives it a few tenths
// of a metre per second. Woken at the resting threshold itself, a sleeper went
// back to its 1.4 s wait for every such push, each woken block woke the blocks
// on it in turn, and piles hardly ever slept. Waking takes twice the resting
// speeds (four times their squares): a real hit or shove still wakes at once.
bool PhysBody::IsPushedAwake() const {
    return state.velocity.LengthSquared() > 4.0f * 0.0529f || state.angularVelocity.LengthSquared() > 4.0f * 0.04f;
}

void PhysBody::UpdateSleep(float dt) {
    if (IsStatic() || asleep) return;
    if (IsMoving()) {
        restTime = 0.0f;
        return;
    }
    restTime += dt;
    // The small allowance absorbs the rounding of many float steps adding up.
    if (restTime >= kSleepTime - 1e-4f) PutToSleep();
}

void PhysBody::PutToSleep() {
    shape.startPosition = state.position;
    state.momentum = Geometry::kZeroVector;
    state.velocity = Geometry::kZeroVector;
    state.angularMomentum = Geometry::kZeroVector;
    UpdateAngularVelocity();
    asleep = true;
    restTime = 0.0f;
}

void PhysBody::Wake() {
    if (asleep && massProps.mass != 0.0f) {
        asleep = false;
        restTime = 0.0f;
    }
}

const Geometry::AABB& PhysBody::GetAABB(uint32_t stamp) {
    if (stamp != boundsStamp || boundsDirty) {
        const Vector3& h = shape.halfExtents;
        const Matrix3x3& rt = shape.rotationT;
        Vector3 ext;
        for (int e = 0; e < 3; ++e)
            ext[e] = h.x * std::fabs(rt(0, e)) + h.y * std::fabs(rt(1, e)) + h.z * std::fabs(rt(2, e));
        bounds.min = shape.position - ext;
        bounds.max = shape.position + ext;
        boundsStamp = stamp;
        boundsDirty = false;
    }
    return bounds;
}

GridRect PhysBody::GetGridRect(uint32_t stamp) {
    const Geometry::AABB& b = GetAABB(stamp);
    GridRect r;
    r.minX = b.min.x;
    r.maxZ = b.max.z;
    r.maxX = b.max.x;
    r.minZ = b.min.z;
    return r;
}

void PhysBody::SaveState(SavedState& out) const {
    out.position = state.position;
    out.orientation = state.orientation;
    out.inverseInertiaWorld = state.inverseInertiaWorld;
    out.momentum = state.momentum;
    out.velocity = state.velocity;
    out.angularMomentum = state.angularMomentum;
    out.angularVelocity = state.angularVelocity;
}

void PhysBody::RestoreState(const SavedState& in) {
    state.position = in.position;
    state.orientation = in.orientation;
    state.inverseInertiaWorld = in.inverseInertiaWorld;
    state.momentum = in.momentum;
    state.velocity = in.velocity;
    state.angularMomentum = in.angularMomentum;
    state.angularVelocity = in.angularVelocity;
}

void CreateBody(const Vector3& position, const Vector3& halfExtents, PhysBodyPtr& out,
                const std::string& materialName, const Quaternion& orientation) {
    auto body = std::make_shared<PhysBody>();
    out = body;
    Vector3 h(std::fabs(halfExtents.x), std::fabs(halfExtents.y), std::fabs(halfExtents.z));
    if (!h.IsFinite()) h = Vector3(0.5f, 0.5f, 0.5f);

    body->shape.halfExtents = h;
    body->SetPosition(position);
    body->RefreshShape();

    MassProperties& mp = body->massProps;
    mp.volume = 8.0f * h.x * h.y * h.z;
    mp.radius = h.Length();
    body->boundingRadius = mp.radius;
    mp.halfExtents = h;
    body->RecomputeInertiaShape(false);
    body->ApplyMaterial(MaterialMan().GetMaterial(materialName));
    body->SetOrientation(orientation);
    body->actorId = PhysBody::kNoActor;
}

PhysBodyPtr CreateBody(const Vector3& position, const Vector3& halfExtents, const std::string& materialName,
                       const Quaternion& orientation) {
    PhysBodyPtr body;
    CreateBody(position, halfExtents, body, materialName, orientation);
    return body;
}

}  // namespace Physics
