// One sound on one OpenAL source borrowed from the source pool. Positions are
// in game space (see Space.h). An emitter whose source was taken by a more
// important sound, or which has finished, has source 0 and stays silent.
#pragma once

#include <AL/al.h>

namespace Audio {

class IBuffer;
class SourcePool;

class Emitter {
public:
    static constexpr int kNotAttached = 6;

    explicit Emitter(SourcePool* pool);
    // Gives the source back to the pool and the buffer back to the cache, so
    // nothing keeps pointing at a destroyed emitter.
    ~Emitter();
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;

    // Borrows a source of the given priority class and binds the buffer.
    // False when no source can be had or the buffer refuses; the source
    // borrowed then goes back to the pool at once.
    bool Attach(IBuffer* buffer, int priorityClass, bool positional, bool looping);

    void Play();
    // Stops for good: a stream is not refilled and restarted after this.
    void Stop();
    void SetGain(float gain);
    float GetGain() const { return m_gain; }
    void SetPosition(float x, float y, float z);
    const float* GetPosition() const { return m_position; }
    // Positional: in the world, the gain falls with distance. Otherwise
    // relative to the listener with no fall-off.
    void SetPositional(bool positional);
    bool IsPositional() const { return m_positional; }
    // AL_LOOPING only for whole buffers; a stream loops by itself.
    void SetLooping(bool looping);
    bool IsLooping() const { return m_looping; }

    ALint GetState() const;
    // No source, or neither initial, playing nor paused.
    bool IsStopped() const;
    // Still sounding or about to: initial, playing or paused, or a stream
    // between two refills.
    bool IsSounding() const;
    bool IsStopRequested() const { return m_stopRequested; }
    // The buffer's Update; false without a buffer.
    bool Update();

    int GetPriority() const { return m_class; }
    bool HasSource() const { return m_source != 0; }
    ALuint GetSource() const { return m_source; }
    ALuint GetBufferID() const;
    IBuffer* GetBuffer() const { return m_buffer; }
    SourcePool* GetPool() const { return m_pool; }

    // Stop; unbind; the buffer's Detach; no buffer.
    void Detach();
    // Stop and give the source back to the pool.
    void ReleaseSource();

private:
    friend class SourcePool;
    friend class StreamingBuffer;
    // A stream taken over by another emitter forgets it was ours.
    void ForgetBuffer() { m_buffer = nullptr; }

    ALuint m_source = 0;
    IBuffer* m_buffer = nullptr;
    SourcePool* m_pool = nullptr;
    float m_position[3] = {0.0f, 0.0f, 0.0f};
    bool m_positional = false;
    bool m_looping = false;
    bool m_stopRequested = false;
    int m_class = kNotAttached;
    float m_gain = 1.0f;
};

}  // namespace Audio
