// Particle systems: one emitter of a running particle effect. A system
// spawns pooled particles by its spawning method, places and aims them by its
// emitter kind (point, field, cone, circle), moves and ages them every update
// and at render time writes the live ones as camera-facing quads into the
// shared dynamic particle buffer, drawn through its DrawObjPSys.
#pragma once

#include <list>
#include <memory>
#include <vector>

#include "gfx/DrawObj.h"
#include "gfx/GfxState.h"
#include "utility/Geometry.h"
#include "utility/Random.h"

namespace Gfx {

class ParticleMan;
class ModelIVBuffer;
struct ParticleVertex;

struct LodLevel {
    float distance = 0.0f;
    float nextDistance = 0.0f;  // 0 for the last level
    int scale = 1;
    int drawEvery = 1;  // only particles whose id is a multiple of it are drawn
};

struct Particle {
    int id = 0;
    bool permanent = false;
    float life = 0.0f;
    float age = 0.0f;
    Geometry::Vector3 position;
    Geometry::Vector3 direction;
    Geometry::Vector2 scale{1.0f, 1.0f};
    Geometry::Vector2 scaleChange;
    float angle = 0.0f;
    float rotSpeed = 0.0f, rotSpeedChange = 0.0f;
    float speed = 0.0f, speedChange = 0.0f;
    Geometry::Vector4 color{1.0f, 1.0f, 1.0f, 1.0f};
    Geometry::Vector4 colorChange;
    void Reset() { *this = Particle(); }
};

// One definition of the particle-system file.
struct ParticleSystemData {
    enum Method { kOnce = 0, kContinuous = 1, kPermanent = 2 };
    enum Kind { kPoint = 0, kField = 1, kCone = 2, kCircle = 3 };
    enum Blend { kAdd = 0, kModulate = 1 };

    ParticleSystemData();

    int tag = 0;
    int numParticles = 0;
    int spawnMethod = kOnce;
    bool permanentParticles = false;
    Geometry::Vector3 center;
    float spawnRate = 0.0f;
    int blendMode = kModulate;
    GfxState state;
    float minAngle = 0, maxAngle = 0;
    float minLife = 0, maxLife = 0;
    float minSpeed = 0, maxSpeed = 0, endSpeed = 0;
    float minRotSpeed = 0, maxRotSpeed = 0, endRotSpeed = 0;
    Geometry::Vector4 minColor{1, 1, 1, 1}, maxColor{1, 1, 1, 1}, endColor{1, 1, 1, 0};
    Geometry::Vector2 startScale{1, 1}, endScale{1, 1};
    bool followSystem = true, billboarded = true, evenSpaced = true;
    int kind = kPoint;
    int fieldType = 0;
    float radius = 0.0f;  // circle radius or field half-extent
    float innerAngle = 0.0f;
    // Shared by every system built from this definition (seeded with 7).
    std::shared_ptr<Utility::Random<float>> random;

    // Random value between a and b: a without drawing unless a < b.
    float Between(float a, float b) const;
};

// The quads of one system: filled from its particle list and drawn from the
// shared particle buffer named by the state's model.
class DrawObjPSys : public IDrawObj {
public:
    DrawObjPSys(const GfxState& state, const std::list<std::shared_ptr<Particle>>* particles);
    void Draw(Platform::GLDevice* device) override;
    // Writes this frame's quads into the particle buffer; false when none is written.
    bool FillVertices();

    int startIndex = 0;      // in triangles
    int primitiveCount = 0;  // 2 per quad
    int blendMode = ParticleSystemData::kModulate;
    bool overlay = false;
    LodLevel level;
    bool billboarded = true;
    // The quads of the last fill (kept for reuse and for inspection).
    std::vector<ParticleVertex> vertices;
    std::vector<uint16_t> indices;

private:
    const std::list<std::shared_ptr<Particle>>* m_particles;
};

class ParticleSystem {
public:
    ParticleSystem(const ParticleSystemData& data, ParticleMan* man);
    virtual ~ParticleSystem();
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Places and aims a new particle (the emitter kind).
    virtual void Emit(Particle& p) = 0;

    // Spawns, moves, ages and retires particles; the largest squared distance
    // of a live particle from the origin.
    float Update(float dt, const Geometry::Vector3& move);
    // Orders modulated particles by depth, places and submits the draw object.
    void Submit(const Geometry::Vector3& effectPosition);
    void Spawn(float dt);
    void SpawnParticle(Particle& p);
    void InitParticle(Particle& p, const ParticleSystemData& data);
    bool Finished() const;

    void SetOverlay(bool o) { m_overlay = o; }
    bool IsOverlay() const { return m_overlay; }
    ParticleSystemData& Data() { return m_data; }
    const ParticleSystemData& Data() const { return m_data; }
    const std::list<std::shared_ptr<Particle>>& Particles() const { return m_particles; }
    const std::shared_ptr<DrawObjPSys>& GetDrawObj() const { return m_drawObj; }
    int Spawned() const { return m_spawned; }
    float SpawnRemainder() const { return m_remainder; }

protected:
    int m_nextId = 0;
    Geometry::Vector3 m_origin;
    int m_spawned = 0;
    ParticleSystemData m_data;
    std::shared_ptr<DrawObjPSys> m_drawObj;
    float m_remainder = 0.0f;
    bool m_overlay = false;
    std::list<std::shared_ptr<Particle>> m_particles;
    ParticleMan* m_man;
};

class ParticleSystemPoint : public ParticleSystem {
public:
    using ParticleSystem::ParticleSystem;
    void Emit(Particle& p) override;
};

class ParticleSystemField : public ParticleSystem {
public:
    ParticleSystemField(const ParticleSystemData& data, ParticleMan* man);
    void Emit(Particle& p) override;

private:
    int m_fieldType;
    float m_extent;
};

class ParticleSystemCone : public ParticleSystem {
public:
    ParticleSystemCone(const ParticleSystemData& data, ParticleMan* man, const Geometry::Vector3& axis);
    void Emit(Particle& p) override;

private:
    Geometry::Matrix3x3 m_rotation;
    float m_opening;
    Geometry::Vector3 m_axis;
};

class ParticleSystemCircle : public ParticleSystem {
public:
    ParticleSystemCircle(const ParticleSystemData& data, ParticleMan* man, const Geometry::Vector3& axis);
    void Emit(Particle& p) override;

private:
    Geometry::Matrix3x3 m_rotation;
    bool m_evenSpaced;
    int m_counter = 0;
    float m_tilt;
    float m_radius;
    Geometry::Vector3 m_axis;
};

}  // namespace Gfx
