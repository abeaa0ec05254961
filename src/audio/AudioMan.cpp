#include "audio/AudioMan.h"

#include <AL/alext.h>

#include <cmath>
#include <ostream>

#include "audio/AudioBuffer.h"
#include "audio/Emitter.h"
#include "audio/Space.h"
#include "audio/VorbisLibrary.h"
#include "ini/IniFile.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

namespace Audio {
namespace {

const Utility::Section kSettings("AudioSettings");
constexpr unsigned kDefaultResumeSources = 32;
constexpr unsigned kMostSources = 256;

void Silent(const std::string& why) { Utility::ReportWarning("audio: " + why + "; the game runs silently"); }

}  // namespace

AudioMan::AudioMan(std::string configFile) : m_configFile(std::move(configFile)) {
    m_classes = {{"music", 0}, {"cue", 1}, {"ui", 2}, {"high_event", 3}, {"event", 4}, {"ambiance", 5}};
}

AudioMan::~AudioMan() { ShutDown(); }

bool AudioMan::Init() {
    const ALCchar* name = alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER);
    const std::string deviceName = name ? name : "";
    ALCdevice* device = alcOpenDevice(deviceName.empty() ? nullptr : deviceName.c_str());
    if (!device && !deviceName.empty()) device = alcOpenDevice(nullptr);
    if (!device) {
        Silent("no sound device could be opened");
        return false;
    }
    const ALCchar* opened = alcGetString(device, ALC_DEVICE_SPECIFIER);
    const std::string openedName = opened ? opened : deviceName;
    Utility::Console::Out() << "Audio device found: " << openedName << "\n";
    const bool ok = InitWithDevice(device, nullptr);
    // OpenAL Soft's null back end (chosen, or in place of a missing sound
    // card) lists itself as its only device.
    const ALCchar* all = alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT")
                             ? alcGetString(nullptr, ALC_ALL_DEVICES_SPECIFIER) : nullptr;
    if (ok && m_enabled && all && std::string(all) == "No Output") Silent("no sound output (OpenAL's null device)");
    return ok;
}

bool AudioMan::InitWithDevice(ALCdevice* device, const ALCint* contextAttributes) {
    ShutDown();
    m_device = device;
    if (!m_device) {
        Silent("no sound device");
        return false;
    }
    m_context = alcCreateContext(m_device, contextAttributes);
    if (!m_context) {
        Silent("the sound device refused a context");
        return false;
    }
    alcMakeContextCurrent(m_context);
    LoadVorbisLibrary();
    return ReadSettings();
}

bool AudioMan::ReadSettings() {
    const Utility::IniFile config(m_configFile);
    std::string resources, effects;
    if (!config.GetTrimmedString(Utility::Key("Resources"), kSettings, resources) || resources.empty()) {
        Silent("[AudioSettings] Resources is missing from " + m_configFile);
        return false;
    }
    m_cache.SetConfigFile(resources);
    unsigned sources = 0;
    if (!config.GetValue(Utility::Key("MaxSources"), kSettings, sources)) {
        Silent("[AudioSettings] MaxSources is missing from " + m_configFile);
        return false;
    }
    sources = config.GetClamped<unsigned>(Utility::Key("MaxSources"), kSettings, sources, 1, kMostSources);
    m_pool.Create(sources);
    if (!config.GetTrimmedString(Utility::Key("Effects"), kSettings, effects) || effects.empty()) {
        Silent("[AudioSettings] Effects is missing from " + m_configFile);
        return false;
    }
    m_effectsFile = effects;
    if (!m_registered) {
        Utility::Console::RegisterVariable<std::string>("audio_effects_config", &m_effectsFile, this);
        Utility::RegisterConsoleFunction("audio_reload_effects", [this] { ReloadEffects(); }, this);
        m_registered = true;
    }
    bool disable = false;
    if (config.GetValue(Utility::Key("DisableAudio"), kSettings, disable)) {
        m_enabled = !disable;
        if (disable) Silent("DisableAudio is 1 in " + m_configFile);
    } else {
        m_enabled = false;
        Silent("[AudioSettings] DisableAudio is missing from " + m_configFile);
    }
    m_allowed = m_enabled;
    float doppler = 0.0f;
    if (config.GetValue(Utility::Key("DopplerFactor"), kSettings, doppler) && std::isfinite(doppler) && doppler >= 0.0f)
        alDopplerFactor(doppler);
    return true;
}

const EffectInfo& AudioMan::GetEffect(const std::string& name) {
    auto found = m_effects.find(name);
    if (found != m_effects.end()) return found->second;
    const Utility::IniFile effects(m_effectsFile);
    return LoadEffect(name, effects);
}

const EffectInfo& AudioMan::LoadEffect(const std::string& name, const Utility::IniFile& effects) {
    EffectInfo info;
    const Utility::Section section(name);
    std::string resource, type;
    bool loop = false, positional = false;
    const bool haveResource = effects.GetTrimmedString(Utility::Key("resource"), section, resource);
    const bool haveLoop = effects.GetValue(Utility::Key("loop"), section, loop);
    const bool havePositional = effects.GetValue(Utility::Key("positional"), section, positional);
    const bool haveType = effects.GetTrimmedString(Utility::Key("type"), section, type);
    if (haveResource) info.resource = resource;
    // An incomplete definition keeps what it has; without "type" it counts
    // as the most important class, like an unknown type name.
    info.loop = haveLoop && loop;
    info.positional = havePositional && positional;
    if (haveResource && haveLoop && havePositional && haveType) {
        auto cls = m_classes.find(type);
        if (cls == m_classes.end()) cls = m_classes.emplace(type, 0).first;
        info.priorityClass = cls->second;
    }
    info.gain = effects.GetValueOr(Utility::Key("gain"), section, 1.0f);
    if (!std::isfinite(info.gain) || info.gain < 0.0f) info.gain = 1.0f;
    info.preload = effects.GetValueOr(Utility::Key("preload"), section, false);
    m_effects[name] = info;
    return m_effects[name];
}

void AudioMan::PreloadResources(const std::function<void(float)>& progress) {
    const Utility::IniFile effects(m_effectsFile);
    for (const std::string& name : effects.GetSectionNames())
        if (!name.empty()) LoadEffect(name, effects);
    const size_t n = m_effects.size();
    size_t i = 0;
    for (const auto& entry : m_effects) {
        if (progress) progress(static_cast<float>(i) / static_cast<float>(n));
        if (entry.second.preload) m_cache.GetBuffer(entry.second.resource);
        ++i;
    }
    if (progress) progress(1.0f);
}

std::shared_ptr<Emitter> AudioMan::CreateEmitter(const std::string& effect) {
    if (!m_enabled) return nullptr;
    const EffectInfo& e = GetEffect(effect);
    if (e.resource.empty()) return nullptr;
    const std::shared_ptr<IBuffer> buffer = m_cache.GetBuffer(e.resource);
    if (!buffer) return nullptr;
    auto emitter = std::make_shared<Emitter>(&m_pool);
    if (!emitter->Attach(buffer.get(), e.priorityClass, e.positional, e.loop)) return nullptr;
    emitter->SetGain(e.gain);
    m_pool.AddActive(emitter);
    return emitter;
}

bool AudioMan::PlaySound(const std::string& effect) {
    const std::shared_ptr<Emitter> e = CreateEmitter(effect);
    if (!e) return false;
    e->Play();
    return e->GetState() == AL_PLAYING;
}

bool AudioMan::PlaySoundAt(const std::string& effect, float x, float y, float z) {
    const std::shared_ptr<Emitter> e = CreateEmitter(effect);
    if (!e) return false;
    e->SetPosition(x, y, z);
    e->Play();
    return e->GetState() == AL_PLAYING;
}

void AudioMan::ReloadEffects() {
    m_effects.clear();
    m_cache.ReleaseUnused();
}

void AudioMan::Suspend() {
    m_enabled = false;
    m_pool.Destroy();
}

void AudioMan::Resume() {
    // Audio that was never on (no device, or switched off in the settings)
    // stays off.
    if (!m_allowed || !m_context) return;
    if (m_resumeSources == 0) {
        m_resumeSources = Utility::ReadIniOrDefault<unsigned int>(Utility::Key("MaxSources"), kSettings, m_configFile,
                                                                  kDefaultResumeSources);
        if (m_resumeSources == 0) m_resumeSources = kDefaultResumeSources;
        if (m_resumeSources > kMostSources) m_resumeSources = kMostSources;
    }
    m_pool.Destroy();
    m_pool.Create(m_resumeSources);
    m_enabled = true;
}

void AudioMan::ShutDown() {
    m_pool.Destroy();
    m_cache.UnloadAll();
    UnloadVorbisLibrary();
    if (m_registered) {
        Utility::Console::Unregister(this);
        m_registered = false;
    }
    m_enabled = false;
    m_allowed = false;
    if (m_context) {
        if (alcGetCurrentContext() == m_context) alcMakeContextCurrent(nullptr);
        alcDestroyContext(m_context);
        m_context = nullptr;
    }
    if (m_device) {
        alcCloseDevice(m_device);
        m_device = nullptr;
    }
}

void AudioMan::Update() {
    m_pool.UpdateStreams();
    m_pool.ReclaimStopped();
}

void UpdateListener(const ListenerPose& pose) {
    float eye[3], at[3], up[3], vel[3];
    ToOpenAL(pose.eye, eye);
    float dir[3] = {pose.lookAt[0] - pose.eye[0], pose.lookAt[1] - pose.eye[1], pose.lookAt[2] - pose.eye[2]};
    const float len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    if (!(len > 0.0f) || !std::isfinite(len)) {
        dir[0] = dir[1] = 0.0f;
        dir[2] = 1.0f;
    } else {
        for (float& c : dir) c /= len;
    }
    ToOpenAL(dir, at);
    ToOpenAL(pose.up, up);
    float v[3] = {0.0f, 0.0f, 0.0f};
    if (pose.elapsedMs > 0)
        for (int i = 0; i < 3; ++i) v[i] = pose.displacement[i] * 1000.0f / static_cast<float>(pose.elapsedMs);
    ToOpenAL(v, vel);
    const float orientation[6] = {at[0], at[1], at[2], up[0], up[1], up[2]};
    alListenerfv(AL_POSITION, eye);
    alListenerfv(AL_VELOCITY, vel);
    alListenerfv(AL_ORIENTATION, orientation);
}

}  // namespace Audio
