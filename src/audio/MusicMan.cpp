#include "audio/MusicMan.h"

#include "audio/AudioMan.h"
#include "audio/Emitter.h"
#include "ini/IniFile.h"

namespace Audio {
namespace {

// Fades longer than ten minutes are a typing error.
constexpr unsigned kLongestFadeMs = 600000;

unsigned ReadFade(const AudioMan& audio, const char* key) {
    return Utility::ReadIniClamped<unsigned int>(Utility::Key(key), Utility::Section("AudioSettings"),
                                                 audio.GetConfigFile(), MusicMan::kDefaultFadeMs, 0, kLongestFadeMs);
}

}  // namespace

FadeEmitterIn::FadeEmitterIn(std::shared_ptr<Emitter> emitter, int durationMs, float targetGain)
    : ITimeProcess(durationMs), m_gain(targetGain), m_emitter(std::move(emitter)) {}

void FadeEmitterIn::OnInitialize() {
    if (m_emitter) m_emitter->Play();
}

void FadeEmitterIn::OnUpdate(int ms) {
    Advance(ms);
    if (m_emitter) m_emitter->SetGain(m_gain * GetProgress());
}

FadeEmitterOut::FadeEmitterOut(std::shared_ptr<Emitter> emitter, int durationMs)
    : ITimeProcess(durationMs), m_gain(emitter ? emitter->GetGain() : 0.0f), m_emitter(std::move(emitter)) {}

void FadeEmitterOut::OnUpdate(int ms) {
    Advance(ms);
    if (!m_emitter) return;
    m_emitter->SetGain((1.0f - GetProgress()) * m_gain);
    if (GetProgress() >= 1.0f) m_emitter->Stop();
}

MusicMan::~MusicMan() { StopAll(); }

void MusicMan::Initialize(AudioMan* audio, ProcessSystem::ProcessManager* processes, const std::string& track0,
                          const std::string& track1) {
    m_audio = audio;
    m_processes = processes;
    m_names[0] = track0;
    m_names[1] = track1;
}

void MusicMan::PlayTrack(int track) {
    if (!m_audio || !m_processes || (track != 0 && track != 1)) return;
    if (m_tracks[track]) {
        m_tracks[track]->Stop();
        m_tracks[track].reset();
    }
    std::shared_ptr<Emitter> e = m_audio->CreateEmitter(m_names[track]);
    FadeIn(e);
    m_tracks[track] = e;
    std::shared_ptr<Emitter>& other = m_tracks[1 - track];
    if (other) {
        FadeOut(other);
        other.reset();
    }
}

void MusicMan::FadeIn(const std::shared_ptr<Emitter>& emitter) {
    if (!m_readIn && m_audio) {
        m_fadeInMs = ReadFade(*m_audio, "MusicFadeInTime");
        m_readIn = true;
    }
    if (!emitter || !m_processes) return;
    const float target = emitter->GetGain();
    emitter->SetGain(0.0f);
    m_processes->Attach(std::make_shared<FadeEmitterIn>(emitter, static_cast<int>(m_fadeInMs), target));
}

void MusicMan::FadeOut(const std::shared_ptr<Emitter>& emitter) {
    if (!m_readOut && m_audio) {
        m_fadeOutMs = ReadFade(*m_audio, "MusicFadeOutTime");
        m_readOut = true;
    }
    if (!emitter || !m_processes) return;
    m_processes->Attach(std::make_shared<FadeEmitterOut>(emitter, static_cast<int>(m_fadeOutMs)));
}

void MusicMan::StopAll() {
    for (std::shared_ptr<Emitter>& t : m_tracks) {
        if (t) t->Stop();
        t.reset();
    }
}

void MusicMan::Shutdown() {
    StopAll();
    m_audio = nullptr;
    m_processes = nullptr;
}

}  // namespace Audio
