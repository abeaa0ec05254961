#include "audio/Emitter.h"

#include "audio/AudioBuffer.h"
#include "audio/SourcePool.h"
#include "audio/Space.h"

namespace Audio {

Emitter::Emitter(SourcePool* pool) : m_pool(pool) {}

Emitter::~Emitter() {
    if (m_buffer) m_buffer->Detach(this);
    m_buffer = nullptr;
    if (m_source != 0) {
        alSourcei(m_source, AL_BUFFER, 0);
        ReleaseSource();
    }
}

bool Emitter::Attach(IBuffer* buffer, int priorityClass, bool positional, bool looping) {
    if (!buffer || !m_pool || m_source != 0 || m_buffer) return false;
    if (!m_pool->AcquireSource(this, priorityClass)) return false;
    m_looping = looping;  // a stream reads it while it queues its first blocks
    if (alIsSource(m_source) != AL_TRUE || !buffer->Attach(this)) {
        ReleaseSource();
        return false;
    }
    m_gain = 1.0f;
    m_buffer = buffer;
    m_stopRequested = false;
    SetPositional(positional);
    SetLooping(looping);
    m_class = priorityClass;
    return true;
}

void Emitter::Play() {
    m_stopRequested = false;
    if (m_source != 0) alSourcePlay(m_source);
}

void Emitter::Stop() {
    m_stopRequested = true;
    if (m_source != 0) alSourceStop(m_source);
}

void Emitter::SetGain(float gain) {
    m_gain = gain;
    if (m_source != 0) alSourcef(m_source, AL_GAIN, gain);
}

void Emitter::SetPosition(float x, float y, float z) {
    m_position[0] = x;
    m_position[1] = y;
    m_position[2] = z;
    if (m_source != 0) {
        float al[3];
        ToOpenAL(m_position, al);
        alSourcefv(m_source, AL_POSITION, al);
    }
}

void Emitter::SetPositional(bool positional) {
    m_positional = positional;
    if (m_source != 0) {
        alSourcei(m_source, AL_SOURCE_RELATIVE, positional ? AL_FALSE : AL_TRUE);
        alSourcef(m_source, AL_ROLLOFF_FACTOR, positional ? 1.0f : 0.0f);
    }
}

void Emitter::SetLooping(bool looping) {
    m_looping = looping;
    if (m_source != 0) {
        const bool streaming = m_buffer && m_buffer->IsStreaming();
        alSourcei(m_source, AL_LOOPING, (looping && !streaming) ? AL_TRUE : AL_FALSE);
    }
}

ALint Emitter::GetState() const {
    ALint state = AL_STOPPED;
    if (m_source != 0) alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    return state;
}

bool Emitter::IsStopped() const {
    if (m_source == 0) return true;
    const ALint s = GetState();
    return s != AL_INITIAL && s != AL_PLAYING && s != AL_PAUSED;
}

bool Emitter::IsSounding() const {
    if (m_source == 0) return false;
    if (!IsStopped()) return true;
    return m_buffer && m_buffer->IsDelivering(this);
}

bool Emitter::Update() { return m_buffer ? m_buffer->Update() : false; }

ALuint Emitter::GetBufferID() const { return m_buffer ? m_buffer->GetBufferID() : 0; }

void Emitter::Detach() {
    if (m_source != 0) {
        alSourceStop(m_source);
        alSourcei(m_source, AL_BUFFER, 0);
    }
    if (m_buffer) m_buffer->Detach(this);
    m_buffer = nullptr;
}

void Emitter::ReleaseSource() {
    if (m_source == 0) return;
    alSourceStop(m_source);
    if (m_pool)
        m_pool->ReturnSource(this);  // clears m_source
    m_source = 0;
}

}  // namespace Audio
