#include "audio/AudioBuffer.h"

#include "audio/Emitter.h"
#include "audio/WavReader.h"
#include "resourceman/ResCache.h"
#include "utility/Diagnostics.h"

namespace Audio {
namespace {

int g_liveBuffers = 0;

ALenum FormatOf(const WavData& w) {
    if (w.channels == 1) return w.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    return w.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

}  // namespace

int LiveBufferCount() { return g_liveBuffers; }
void CountBuffers(int delta) { g_liveBuffers += delta; }

bool Buffer::Load(const std::string& fileName) {
    m_error.clear();
    if (fileName.empty()) return false;
    Unload();
    const Utility::ResCache::Data bytes = Utility::ResCache::Get(fileName);
    if (!bytes) {
        m_error = "sound file " + fileName + " is missing or unreadable";
        return false;
    }
    WavData wav;
    std::string why;
    if (!ParseWav(bytes.data(), bytes.size(), wav, &why)) {
        m_error = "sound file " + fileName + " is damaged: " + why;
        return false;
    }
    alGetError();
    alGenBuffers(1, &m_buffer);
    if (alGetError() != AL_NO_ERROR) {
        m_buffer = 0;
        return false;
    }
    CountBuffers(1);
    alBufferData(m_buffer, FormatOf(wav), wav.pcm, static_cast<ALsizei>(wav.size), static_cast<ALsizei>(wav.frequency));
    if (alGetError() != AL_NO_ERROR || alIsBuffer(m_buffer) != AL_TRUE) {
        m_error = "sound file " + fileName + " was refused by OpenAL";
        Unload();
        return false;
    }
    return true;
}

void Buffer::Unload() {
    if (m_buffer == 0) return;
    alDeleteBuffers(1, &m_buffer);
    CountBuffers(-1);
    m_buffer = 0;
}

bool Buffer::Attach(Emitter* emitter) {
    if (!IsLoaded() || !emitter) return false;
    if (emitter->GetBufferID() != 0) return false;
    alGetError();
    alSourcei(emitter->GetSource(), AL_BUFFER, static_cast<ALint>(m_buffer));
    if (alGetError() != AL_NO_ERROR) return false;
    ++m_attachCount;
    return true;
}

bool Buffer::Detach(Emitter* emitter) {
    if (!emitter || emitter->GetBufferID() != m_buffer) return false;
    if (emitter->GetSource() != 0) alSourcei(emitter->GetSource(), AL_BUFFER, 0);
    --m_attachCount;
    return true;
}

}  // namespace Audio
