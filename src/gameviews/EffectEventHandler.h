// Sound and particle feedback of the human view. Serves the named effects
// that view components raise with "VtVCreateEffect" and plays a fixed sound
// and particle effect for each of the logic's reports (collisions,
// explosions, throws, spawns, deaths, flag captures and returns, bombs
// appearing, whistles). Built afresh at every match set-up: a played match
// gets every effect, the menu backdrop only the interface ones and no event
// sounds (its particles still show).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "events/EventManager.h"
#include "utility/Geometry.h"
#include "utility/Random.h"

namespace Audio {
class AudioMan;
}
namespace ProcessSystem {
class ProcessManager;
}

namespace GameLogicView {

// Where the handler's sounds and particles go. The default output plays
// through the audio manager and hands particles to whatever particle spawner
// is installed; tests put a recorder here.
class IEffectOutput {
public:
    using SoundHandle = std::shared_ptr<void>;
    virtual ~IEffectOutput() = default;
    virtual void PlaySound(const std::string& name) = 0;
    // Empty when nothing plays.
    virtual SoundHandle PlaySoundAt(const std::string& name, const Geometry::Vector3& position) = 0;
    virtual void StopSound(const SoundHandle& handle) = 0;
    // Still sounding or about to: initial, playing or paused.
    virtual bool IsSounding(const SoundHandle& handle) = 0;
    virtual void MoveSound(const SoundHandle& handle, const Geometry::Vector3& position) = 0;
    virtual void AddParticleEffect(int tag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                                   bool overlay) = 0;
};

// Plays through an audio manager (may be null: silent) and spawns particles
// through the process-wide spawner, or, when none is installed, through the
// scene's particle manager (none without a scene).
class AudioEffectOutput : public IEffectOutput {
public:
    using ParticleSpawner = void (*)(int tag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                                     bool overlay);
    explicit AudioEffectOutput(Audio::AudioMan* audio) : m_audio(audio) {}
    void PlaySound(const std::string& name) override;
    SoundHandle PlaySoundAt(const std::string& name, const Geometry::Vector3& position) override;
    void StopSound(const SoundHandle& handle) override;
    bool IsSounding(const SoundHandle& handle) override;
    void MoveSound(const SoundHandle& handle, const Geometry::Vector3& position) override;
    void AddParticleEffect(int tag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                           bool overlay) override;
    static void SetParticleSpawner(ParticleSpawner spawner);

private:
    Audio::AudioMan* m_audio;
};

struct EffectEntry {
    std::vector<std::string> sounds;
    int particleTag = -1;
    bool lowDetail = false;
    bool stopPrevious = false;
};

class EffectEventHandler {
public:
    EffectEventHandler();
    ~EffectEventHandler();
    EffectEventHandler(const EffectEventHandler&) = delete;
    EffectEventHandler& operator=(const EffectEventHandler&) = delete;

    void Reset();
    // The output is borrowed; null leaves the handler without sound or
    // particles.
    void Initialize(IEffectOutput* output, ProcessSystem::ProcessManager* processes, bool menuMode);
    void BuildEffectTable(bool menuMode);
    void RegisterListeners();

    void MarkQuietZone(const Geometry::Vector3& position);
    bool IsInQuietZone(const Geometry::Vector3& position) const;
    // Plays a sound at an actor that follows the actor while it sounds.
    // Nothing is played in the menu backdrop or without an output.
    void PlaySoundOnActor(const std::string& sound, uint16_t actor, const Geometry::Vector3& position);
    size_t GetActorSoundCount() const { return m_actorSounds.size(); }

    const std::map<std::string, EffectEntry>& GetEffectTable() const { return m_effects; }
    size_t GetQuietZoneCount() const { return m_quietZones.size(); }
    bool IsMenuMode() const { return m_menuMode; }
    // Every effect name any build of the table holds (the played match's).
    static std::vector<std::string> AllEffectNames();
    // Every audio effect name the table and the event sounds may play.
    static std::vector<std::string> AllSoundNames();

    bool OnCreateEffect(const EventSystem::IEvent& event);
    bool OnActorMove(const EventSystem::IEvent& event);
    bool OnActorSpawn(const EventSystem::IEvent& event);
    bool OnActorDeath(const EventSystem::IEvent& event);
    bool OnWhistle(const EventSystem::IEvent& event);
    bool OnThrowBlock(const EventSystem::IEvent& event);
    bool OnCollision(const EventSystem::IEvent& event);
    bool OnExplosion(const EventSystem::IEvent& event);
    bool OnCreateActor(const EventSystem::IEvent& event);
    bool OnFlagCaptured(const EventSystem::IEvent& event);
    bool OnFlagRecovered(const EventSystem::IEvent& event);

private:
    struct QuietZone {
        Geometry::Vector3 centre;
        float radiusSquared = 0.0f;
    };
    void Sound(const char* name, const Geometry::Vector3& position);
    void Particle(int tag, const Geometry::Vector3& position, const Geometry::Vector3& direction, bool evenLowDetail);

    std::unordered_multimap<uint16_t, IEffectOutput::SoundHandle> m_actorSounds;
    unsigned m_nextQuietZone = 0;
    std::map<unsigned, QuietZone> m_quietZones;
    std::map<std::string, EffectEntry> m_effects;
    std::map<float, IEffectOutput::SoundHandle> m_lastSounds;
    std::set<std::string> m_unknownLogged;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    IEffectOutput* m_output = nullptr;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    bool m_menuMode = false;
    Utility::Random<long> m_random;
    // Shared by every zone this handler marks; the removal steps hold it
    // weakly, so a zone outliving its handler is never touched.
    std::shared_ptr<int> m_alive;
};

}  // namespace GameLogicView
