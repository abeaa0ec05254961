// Audio test fixtures: a loopback OpenAL device that the test renders by hand
// (so time is exact and no sound card is needed), temporary settings, effects
// and resources files, and generated sound files.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/AudioMan.h"
#include "audio/Emitter.h"
#include "gen-data/SoundWriters.h"
#include "utility/Diagnostics.h"

namespace AudioTest {

constexpr int kRate = 22050;

inline std::string MakeTempDir() {
    char pattern[] = "/tmp/mirav-audio-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A sine of the given frequency; `seconds` is rounded to whole periods when
// `wholePeriods` is set, so the sound can loop without a seam.
inline std::vector<float> Tone(float hz, float seconds, int rate = kRate, float amplitude = 0.5f, int channels = 1,
                               bool wholePeriods = false) {
    size_t n = static_cast<size_t>(seconds * static_cast<float>(rate));
    if (wholePeriods) {
        const double period = rate / static_cast<double>(hz);
        n = static_cast<size_t>(std::lround(std::round(static_cast<double>(n) / period) * period));
    }
    std::vector<float> v(n * static_cast<size_t>(channels));
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
            v[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
    return v;
}

struct EffectDef {
    std::string name, resource;
    bool loop = false, positional = false;
    std::string type = "event";
    float gain = 1.0f;
};

inline double Rms(const std::vector<float>& v, size_t from, size_t count, int stride = 1, int offset = 0) {
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from; i < from + count && i * stride + offset < v.size(); ++i, ++n) {
        const double x = v[i * stride + offset];
        sum += x * x;
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

// Collects the problem lines reported while it lives.
struct ProblemLog {
    std::vector<std::string> lines;
    ProblemLog() {
        Utility::SetProblemSink([this](Utility::Severity, const std::string& m) { lines.push_back(m); });
    }
    ~ProblemLog() { Utility::SetProblemSink({}); }
    int Count(const std::string& part) const {
        int n = 0;
        for (const std::string& l : lines) n += l.find(part) != std::string::npos;
        return n;
    }
};

// A manager on a loopback device with its own settings in a temporary folder.
class World {
public:
    std::string dir = MakeTempDir();
    std::string config = dir + "/Config.ini";
    std::string effects = dir + "/effects.ini";
    std::string resources = dir + "/resources.ini";
    std::unique_ptr<Audio::AudioMan> audio;
    ALCdevice* device = nullptr;

    World() {
        // Standard sounds every test may use.
        AddWav("beep", Tone(440.0f, 0.3f));
        AddWav("long", Tone(330.0f, 2.0f));
        AddOgg("loop", Tone(441.0f, 0.7f, kRate, 0.5f, 1, true));
        AddOgg("voice", Tone(550.0f, 2.0f));
    }
    ~World() {
        audio.reset();
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }

    void AddWav(const std::string& name, const std::vector<float>& samples, int channels = 1) {
        WriteFile(dir + "/" + name + ".wav", GenData::EncodeWav(samples, channels, kRate));
        m_resources[name] = "[" + name + "]\nfilename = " + dir + "/" + name + ".wav\ntype = wav\n";
    }
    void AddOgg(const std::string& name, const std::vector<float>& samples, int channels = 1) {
        WriteFile(dir + "/" + name + ".ogg", GenData::EncodeOgg(samples, channels, kRate, 0.4f));
        m_resources[name] = "[" + name + "]\nfilename = " + dir + "/" + name + ".ogg\ntype = ogg\n";
    }
    void AddResourceText(const std::string& name, const std::string& text) { m_resources[name] = text; }

    // Writes the three files; `settings` are the [AudioSettings] lines after
    // Resources and Effects.
    void WriteFiles(const std::vector<EffectDef>& defs, const std::string& settings = "MaxSources = 4\nDisableAudio = 0\n") {
        std::string e;
        for (const EffectDef& d : defs)
            e += "[" + d.name + "]\nresource = " + d.resource + "\nloop = " + (d.loop ? "1" : "0") +
                 "\npositional = " + (d.positional ? "1" : "0") + "\ntype = " + d.type +
                 "\ngain = " + std::to_string(d.gain) + "\n";
        WriteFile(effects, e);
        std::string r;
        for (const auto& entry : m_resources) r += entry.second;
        WriteFile(resources, r);
        WriteFile(config, "[AudioSettings]\nResources = " + resources + "\nEffects = " + effects + "\n" + settings);
    }

    // Opens the system's device instead (OpenAL Soft's null back end in
    // the tests); it mixes in real time, so Render only waits.
    bool InitNullDevice() {
        audio.reset();
        audio = std::make_unique<Audio::AudioMan>(config);
        device = nullptr;
        return audio->InitWithDevice(alcOpenDevice(nullptr), nullptr);
    }

    // Opens the loopback device and initialises a fresh manager on it.
    bool Init() {
        audio.reset();
        audio = std::make_unique<Audio::AudioMan>(config);
        auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        device = open ? open(nullptr) : nullptr;
        std::vector<ALCint> attrs = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                     ALC_FREQUENCY, kRate};
        attrs.push_back(0);
        return audio->InitWithDevice(device, attrs.data());
    }

    // Mixes `ms` of sound (stereo, interleaved) without updating the manager.
    std::vector<float> Render(int ms) {
        const int frames = kRate * ms / 1000;
        std::vector<float> out(static_cast<size_t>(frames) * 2);
        if (!device) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return out;
        }
        auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(device, "alcRenderSamplesSOFT"));
        if (render && frames > 0) render(device, out.data(), frames);
        return out;
    }
    // Mixes in frames of `frameMs` and updates the manager after each, as the
    // game does; returns everything mixed.
    std::vector<float> Run(int ms, int frameMs = 16) {
        std::vector<float> all;
        for (int t = 0; t < ms; t += frameMs) {
            std::vector<float> part = Render(frameMs);
            all.insert(all.end(), part.begin(), part.end());
            audio->Update();
        }
        return all;
    }

private:
    std::map<std::string, std::string> m_resources;
};

}  // namespace AudioTest
