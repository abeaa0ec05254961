// The particle manager: particle systems and effects are data (the system
// file defines emitters by tag, the effect file timed lists of systems by
// tag, the main configuration the levels of detail). It starts effect
// instances on request, updates them until they finish, submits the visible
// ones to the render queue and owns the pool every system draws particles from.
#pragma once

#include <istream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gfx/ParticleSystem.h"
#include "utility/Geometry.h"

namespace Gfx {

class Camera;
class RenderQueue;

// One running effect instance.
class ParticleEffect {
public:
    struct Entry {
        std::shared_ptr<ParticleSystem> system;
        float startTime = 0.0f;
    };
    void Update(float dt);

    int instanceId = -1;
    float radiusSquared = 0.0f;
    Geometry::Vector3 startPosition, startDirection;
    Geometry::Quaternion startOrientation;
    Geometry::Vector3 previousPosition, position;
    Geometry::Quaternion orientation;
    std::vector<Entry> systems;
    float elapsed = 0.0f;
    bool overlay = false;
};

// Where a reader stopped with an error (empty message: none).
struct ParticleFileError {
    std::string message;
    int line = 0;
};

class ParticleMan {
public:
    using EffectDefinition = std::vector<std::pair<int, float>>;  // {system tag, start time}

    explicit ParticleMan(const std::string& configFile);
    ~ParticleMan();
    ParticleMan(const ParticleMan&) = delete;
    ParticleMan& operator=(const ParticleMan&) = delete;

    void LoadLodLevels(const std::string& fileName);
    // Levels given directly (a draw-every below 1 is refused and 1 used).
    void SetLodLevels(std::vector<LodLevel> levels);
    LodLevel GetLodLevel(float distance) const;
    const std::vector<LodLevel>& LodLevels() const { return m_levels; }

    bool LoadParticleData(const std::string& systemFile, const std::string& effectFile);
    // The readers on their own (file names only label messages). A refused
    // file (unknown system type, missing "End") keeps what it read before
    // the error out of the tables and reports file and line.
    static bool ReadSystems(std::istream& in, const std::string& name,
                            std::map<int, std::shared_ptr<ParticleSystemData>>& out, ParticleFileError* error);
    static bool ReadEffects(std::istream& in, const std::string& name, std::map<int, EffectDefinition>& out,
                            ParticleFileError* error);
    void SetDefinitions(std::map<int, std::shared_ptr<ParticleSystemData>> systems,
                        std::map<int, EffectDefinition> effects);

    int AddParticleEffect(int effectTag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                          const Geometry::Quaternion& orientation, bool overlay);
    bool GetParticleEffect(int instanceId, std::shared_ptr<ParticleEffect>& out) const;
    bool RemoveParticleEffect(int instanceId);
    void ClearParticleEffects();
    // Moves or turns a running effect (an effect attached to something follows it).
    bool SetEffectTransform(int instanceId, const Geometry::Vector3& position, const Geometry::Quaternion& orientation);

    void Update(float dt);
    // Submits visible effects into the queue's buckets 3 (world) and 6 (overlay).
    void Submit();
    void Submit(const Camera& camera, RenderQueue& queue);

    std::shared_ptr<Particle> TakeParticle();
    void ReturnParticle(const std::shared_ptr<Particle>& p);
    size_t PoolSize() const { return m_pool.size(); }
    unsigned ParticlesCreated() const { return m_created; }

    const std::map<int, std::shared_ptr<ParticleEffect>>& RunningEffects() const { return m_running; }
    const std::map<int, EffectDefinition>& EffectDefinitions() const { return m_effects; }
    const std::map<int, std::shared_ptr<ParticleSystemData>>& SystemDefinitions() const { return m_systems; }

    // The manager the systems of the current scene draw from (the last made).
    static ParticleMan* Current();
    // Quads a system may write in one frame: the shared buffer's capacity.
    static constexpr int kMaxQuadsPerSystem = 16000;

private:
    std::vector<LodLevel> m_levels;
    std::vector<std::shared_ptr<Particle>> m_pool;
    unsigned m_created = 0;
    std::map<int, EffectDefinition> m_effects;
    std::map<int, std::shared_ptr<ParticleSystemData>> m_systems;
    std::map<int, std::shared_ptr<ParticleEffect>> m_running;
};

}  // namespace Gfx
