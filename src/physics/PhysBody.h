// A rigid oriented box with its physical material: state, mass properties,
// the operations the game logic calls on it and the per-step integration the
// world runs. Bodies are shared between their actor and the physics world.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "physics/PhysGrid.h"
#include "physics/PhysMaterial.h"
#include "utility/Geometry.h"

namespace Physics {

struct ContactManifold;

struct MassProperties {
    float mass = 0.0f;
    float inverseMass = 0.0f;
    Geometry::Matrix3x3 inertiaShape{0, 0, 0, 0, 0, 0, 0, 0, 0};
    Geometry::Matrix3x3 inverseInertiaShape{0, 0, 0, 0, 0, 0, 0, 0, 0};
    Geometry::Matrix3x3 inverseInertiaBody{0, 0, 0, 0, 0, 0, 0, 0, 0};
    float volume = 0.0f;
    float radius = 0.0f;  // bounding-sphere radius
    Geometry::Vector3 halfExtents;
    PhysMaterial material;
};

// The fields the contact solver reads come first, in the order it reads
// them (see PhysBody's field order).
struct RigidState {
    Geometry::Vector3 velocity;         // always momentum x inverse mass
    Geometry::Vector3 angularVelocity;  // world frame
    Geometry::Vector3 momentum;
    Geometry::Vector3 angularMomentum;  // world frame
    Geometry::Matrix3x3 inverseInertiaWorld{0, 0, 0, 0, 0, 0, 0, 0, 0};
    Geometry::Vector3 position;
    Geometry::Quaternion orientation;
    MassProperties* massRef = nullptr;
};

// The collision box as the narrow phase sees it; its position is always the
// body's (refreshed with every change of it).
struct BoxShape {
    Geometry::Vector3 position;
    Geometry::Vector3 halfExtents;
    Geometry::Matrix3x3 rotationT;  // rows: the box's x, y, z axes in world coordinates
    Geometry::Vector3 startPosition;  // position when the current step began
    Geometry::Matrix3x3 rotation;

    Geometry::Vector3 Axis(int i) const { return rotationT.Row(i); }
};

// What the world's prediction saves and restores.
struct SavedState {
    Geometry::Vector3 position;
    Geometry::Quaternion orientation;
    Geometry::Matrix3x3 inverseInertiaWorld;
    Geometry::Vector3 momentum;
    Geometry::Vector3 velocity;
    Geometry::Vector3 angularMomentum;
    Geometry::Vector3 angularVelocity;
};

// Cache-line aligned, so that the pair-test fields below share one line.
class alignas(64) PhysBody {
public:
    static constexpr uint16_t kNoActor = 0xFFFF;
    static constexpr float kSleepTime = 1.4f;

    PhysBody();
    PhysBody(const PhysBody&) = delete;
    PhysBody& operator=(const PhysBody&) = delete;

    void SetMaterial(const std::string& name);
    void ApplyMaterial(const PhysMaterial& material);
    // Counts the material changes of static sleepers, of all bodies
    // (ApplyMaterial is the only place where a static sleeper can stop being
    // static or asleep): a world that noted bodies as static sleepers knows
    // the notes hold while the count stays the same.
    static uint64_t MaterialEpoch();

    // Placement and motion. Non-finite arguments are refused (the call does
    // nothing), so NaN never reaches the integration or the grid.
    void SetPosition(const Geometry::Vector3& p);
    // A zero or non-finite quaternion is refused.
    void SetOrientation(const Geometry::Quaternion& q);
    void SetVelocity(const Geometry::Vector3& v);
    void ResetMotion();
    void ApplyImpulse(const Geometry::Vector3& linear, const Geometry::Vector3& angular);
    void ApplyImpulseAt(const Geometry::Vector3& worldPoint, const Geometry::Vector3& impulse);
    void SetMoveVelocity(float vx, float vz);
    void StopMoving();
    void UpdateAngularVelocity();
    void SetActorId(uint16_t id) { actorId = id; }

    // Per-step operations of the world.
    void IntegrateVelocity(float dt);
    void IntegratePosition(float dt);
    // Cuts a speed that would carry the body more than twice its smallest
    // size in a step of dt (see the definition).
    void LimitTravel(float dt);
    bool IsMoving() const;
    // Whether an impulse gave a sleeping body enough motion to wake it: twice
    // the speeds below which an awake body counts as resting (see the
    // definition).
    bool IsPushedAwake() const;
    void UpdateSleep(float dt);
    void PutToSleep();
    void Wake();
    const Geometry::AABB& GetAABB(uint32_t stamp);
    GridRect GetGridRect(uint32_t stamp);
    void SaveState(SavedState& out) const;
    void RestoreState(const SavedState& in);
    void RefreshShape();
    void RecomputeInverseInertiaWorld();

    bool IsStatic() const { return staticBody; }
    bool IsAsleep() const { return asleep; }
    uint16_t GetActorId() const { return actorId; }
    const Geometry::Vector3& GetPosition() const { return state.position; }
    const Geometry::Vector3& GetVelocity() const { return state.velocity; }
    const Geometry::Quaternion& GetOrientation() const { return state.orientation; }
    const Geometry::Vector3& GetHalfExtents() const { return massProps.halfExtents; }
    float GetMass() const { return massProps.mass; }
    const PhysMaterial& GetMaterial() const { return massProps.material; }

    // What a pair test reads of a candidate comes first, in one cache line:
    // the broad phase visits many bodies it then rejects.
    uint32_t queryStamp = 0;
    bool asleep = false;
    bool boundsDirty = true;  // the shape moved since the bounds were computed
    // mass == 0; ApplyMaterial, the only place the mass changes, sets it and
    // its copy solverStatic below (the world's list walks read this line).
    bool staticBody = true;
    uint32_t boundsStamp = 0;
    float boundingRadius = 0.0f;  // massProps.radius, kept here for the pair test
    Geometry::AABB bounds;
    BoxShape shape;
    // Making a contact record reads both bodies' shapes (above); preparing it
    // next reads these, which therefore share the shape's last cache line.
    std::vector<ContactManifold*> contacts;
    // The material's restitution and frictions (ApplyMaterial copies them).
    float coRestitution = 0.0f, staticFriction = 0.0f, kineticFriction = 0.0f;
    // What the contact solver reads and writes of a body lies in two cache
    // lines from here: the first holds all that a visit that finds nothing to
    // do reads (impulse count, static flag, velocities), the second the
    // inertia and position that impulses need.
    // Solves that gave this body an impulse; reopens its listed contacts
    // (see ContactManifold).
    alignas(64) uint32_t impulseCount = 0;
    // massProps.inverseMass and staticBody, kept here for the solver; mass
    // changes only through ApplyMaterial, which sets both.
    float inverseMass = 0.0f;
    bool solverStatic = true;
    bool touched = false;
    RigidState state;
    MassProperties massProps;
    uint16_t actorId = kNoActor;
    float moveX = 0.0f, moveZ = 0.0f;  // walking target as mass x velocity
    bool walking = false;
    float restTime = 0.0f;
    // The world's last filing of the body in its grid.
    Filing filing;

    // Inertia of the box (zero while walking, so it does not turn) and its inverses.
    void RecomputeInertiaShape(bool zero);

private:
    Geometry::Vector3 Forces() const;
    Geometry::Vector3 Torque() const;
    // The rotation of an orientation, computed once: a step asks for the
    // same orientation's matrix up to five times (the prediction's shape and
    // inertia, the restored shape, the final shape and inertia), and the next
    // step's first shape asks for the last inertia's one.
    const Geometry::Matrix3x3& RotationOf(const Geometry::Quaternion& q);

    // The orientation shape.rotation (and rotationT) was made from; the
    // shape keeps its matrices while the orientation is bitwise the same.
    Geometry::Quaternion m_shapeOrientation;
    bool m_shapeRotationValid = false;
    // The last rotation RotationOf computed and its orientation.
    Geometry::Quaternion m_cachedOrientation;
    Geometry::Matrix3x3 m_cachedRotation;
    bool m_cachedRotationValid = false;
};

using PhysBodyPtr = std::shared_ptr<PhysBody>;

// Builds a body: box with the half extents at the position, the named
// material, the orientation; actor id 0xFFFF. A density-0 material gives a
// static body, asleep from creation.
void CreateBody(const Geometry::Vector3& position, const Geometry::Vector3& halfExtents, PhysBodyPtr& out,
                const std::string& materialName,
                const Geometry::Quaternion& orientation = Geometry::kIdentityQuaternion);
PhysBodyPtr CreateBody(const Geometry::Vector3& position, const Geometry::Vector3& halfExtents,
                       const std::string& materialName,
                       const Geometry::Quaternion& orientation = Geometry::kIdentityQuaternion);

}  // namespace Physics
