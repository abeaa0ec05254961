// Two music tracks (the menu's and the match's) cross-faded through timed
// processes in the human view's process list: the new track fades in from
// silence to its effect gain while the other fades out and stops.
#pragma once

#include <memory>
#include <string>

#include "processes/Process.h"

namespace Audio {

class AudioMan;
class Emitter;

class FadeEmitterIn : public ProcessSystem::ITimeProcess {
public:
    FadeEmitterIn(std::shared_ptr<Emitter> emitter, int durationMs, float targetGain);
    void OnInitialize() override;  // starts the sound
    void OnUpdate(int ms) override;

private:
    float m_gain;
    std::shared_ptr<Emitter> m_emitter;
};

class FadeEmitterOut : public ProcessSystem::ITimeProcess {
public:
    FadeEmitterOut(std::shared_ptr<Emitter> emitter, int durationMs);
    void OnUpdate(int ms) override;  // stops the sound at the end

private:
    float m_gain;
    std::shared_ptr<Emitter> m_emitter;
};

class MusicMan {
public:
    static constexpr unsigned kDefaultFadeMs = 32;

    MusicMan() = default;
    ~MusicMan();
    MusicMan(const MusicMan&) = delete;
    MusicMan& operator=(const MusicMan&) = delete;

    // Given only when the audio manager initialised; without it PlayTrack
    // does nothing.
    void Initialize(AudioMan* audio, ProcessSystem::ProcessManager* processes,
                    const std::string& track0 = "MenuMusic", const std::string& track1 = "Level1Music");

    // Starts track 0 or 1 from its beginning with a fade in; the other one
    // fades out.
    void PlayTrack(int track);
    void FadeIn(const std::shared_ptr<Emitter>& emitter);
    void FadeOut(const std::shared_ptr<Emitter>& emitter);
    // Stops both tracks at once.
    void StopAll();
    void Shutdown();

    const std::shared_ptr<Emitter>& GetTrack(int track) const { return m_tracks[track == 1 ? 1 : 0]; }
    const std::string& GetTrackName(int track) const { return m_names[track == 1 ? 1 : 0]; }
    unsigned GetFadeInMs() const { return m_fadeInMs; }
    unsigned GetFadeOutMs() const { return m_fadeOutMs; }

private:
    AudioMan* m_audio = nullptr;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    std::string m_names[2];
    std::shared_ptr<Emitter> m_tracks[2];
    bool m_readIn = false, m_readOut = false;
    unsigned m_fadeInMs = kDefaultFadeMs, m_fadeOutMs = kDefaultFadeMs;
};

}  // namespace Audio
