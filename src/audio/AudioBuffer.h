// The sound data behind an effect: one interface for a whole WAV file in one
// OpenAL buffer (shared by any number of emitters) and for a streamed Ogg
// Vorbis file (StreamingBuffer.h). The resource cache owns every buffer.
#pragma once

#include <AL/al.h>

#include <string>

namespace Audio {

class Emitter;

class IBuffer {
public:
    virtual ~IBuffer() = default;
    virtual bool Load(const std::string& fileName) = 0;
    virtual void Unload() = 0;
    virtual bool IsStreaming() const = 0;
    virtual ALuint GetBufferID() const = 0;
    virtual bool IsLoaded() const = 0;
    // Binds or queues the data on the emitter's source.
    virtual bool Attach(Emitter* emitter) = 0;
    virtual bool Detach(Emitter* emitter) = 0;
    // Called every update; true while the buffer keeps the emitter playing.
    virtual bool Update() { return false; }
    // True while the buffer still has sound to give this emitter, even if its
    // source is momentarily stopped between refills.
    virtual bool IsDelivering(const Emitter*) const { return false; }

    int GetAttachCount() const { return m_attachCount; }
    // Why the last Load failed ("" when it did not say).
    const std::string& GetLoadError() const { return m_error; }

protected:
    int m_attachCount = 0;
    std::string m_error;
};

// A whole WAV file uploaded once.
class Buffer : public IBuffer {
public:
    ~Buffer() override { Unload(); }
    bool Load(const std::string& fileName) override;
    void Unload() override;
    bool IsStreaming() const override { return false; }
    ALuint GetBufferID() const override { return m_buffer; }
    bool IsLoaded() const override { return m_buffer != 0; }
    bool Attach(Emitter* emitter) override;
    bool Detach(Emitter* emitter) override;

private:
    ALuint m_buffer = 0;
};

// OpenAL buffers our classes hold at the moment (for tests of long runs).
int LiveBufferCount();
void CountBuffers(int delta);

}  // namespace Audio
