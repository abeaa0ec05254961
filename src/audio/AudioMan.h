// The human view's sound system: opens the OpenAL device, reads the audio
// settings and the effects file (named sound definitions), and turns an
// effect name into a playing Emitter on the bounded source pool.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioResourceCache.h"
#include "audio/SourcePool.h"

namespace Utility {
class IniFile;
}

namespace Audio {

class Emitter;

struct EffectInfo {
    std::string resource;
    int priorityClass = 0;
    bool loop = false;
    bool positional = false;
    float gain = 1.0f;
    bool preload = false;
};

class AudioMan {
public:
    explicit AudioMan(std::string configFile = "Config/Config.ini");
    ~AudioMan();
    AudioMan(const AudioMan&) = delete;
    AudioMan& operator=(const AudioMan&) = delete;

    // Opens the default device and a context, loads libvorbisfile and reads
    // the settings. False when there is no device or a required setting is
    // missing; audio then stays off for the run (one line says why).
    bool Init();
    // The same on a device the caller opened (a loopback device in tests),
    // with these context attributes (zero-terminated, may be null). The
    // manager closes the device at ShutDown.
    bool InitWithDevice(ALCdevice* device, const ALCint* contextAttributes);

    // Reads every effect and loads the data of those marked "preload";
    // progress goes from 0 to 1.
    void PreloadResources(const std::function<void(float)>& progress);
    const EffectInfo& GetEffect(const std::string& name);
    const EffectInfo& LoadEffect(const std::string& name, const Utility::IniFile& effects);

    // An attached emitter, not yet playing; empty when there is no sound
    // (audio off, unknown effect, missing data, no source to be had).
    std::shared_ptr<Emitter> CreateEmitter(const std::string& effect);
    // Creates and plays; true when OpenAL reports it playing. The pool keeps
    // the emitter until it has finished.
    bool PlaySound(const std::string& effect);
    bool PlaySoundAt(const std::string& effect, float x, float y, float z);

    // Console "audio_reload_effects": definitions are read again at next use.
    void ReloadEffects();
    // Power suspend: no sources, no new sounds.
    void Suspend();
    // Power resume: fresh sources; only when audio was on before.
    void Resume();
    void ShutDown();

    // Once per update of the human view: refill streams, then take back the
    // sources of finished sounds.
    void Update();

    bool IsEnabled() const { return m_enabled; }
    ALCdevice* GetDevice() const { return m_device; }
    ALCcontext* GetContext() const { return m_context; }
    const std::string& GetConfigFile() const { return m_configFile; }
    const std::string& GetEffectsFile() const { return m_effectsFile; }
    SourcePool& GetPool() { return m_pool; }
    AudioResourceCache& GetCache() { return m_cache; }
    const std::map<std::string, int>& GetClassTable() const { return m_classes; }
    const std::map<std::string, EffectInfo>& GetEffectTable() const { return m_effects; }

private:
    bool ReadSettings();

    std::string m_configFile;
    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    bool m_enabled = false;
    bool m_allowed = false;  // Init succeeded and the settings let audio play
    bool m_registered = false;
    unsigned m_resumeSources = 0;
    std::map<std::string, EffectInfo> m_effects;
    std::string m_effectsFile;
    std::map<std::string, int> m_classes;
    AudioResourceCache m_cache;  // before the pool: the pool detaches buffers as it goes
    SourcePool m_pool;
};

// Where the listener is: the active camera's eye and look-at point, its up
// axis, and how far the eye moved in the last update of elapsedMs.
struct ListenerPose {
    float eye[3] = {0.0f, 0.0f, 0.0f};
    float lookAt[3] = {0.0f, 0.0f, 1.0f};
    float up[3] = {0.0f, 1.0f, 0.0f};
    float displacement[3] = {0.0f, 0.0f, 0.0f};
    unsigned elapsedMs = 0;
};

// Places the OpenAL listener (position, orientation, velocity in units per
// second) on the current context; called every frame by the game screen.
void UpdateListener(const ListenerPose& pose);

}  // namespace Audio
