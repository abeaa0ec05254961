// An Ogg Vorbis file kept in memory and decoded a quarter second at a time
// into four OpenAL buffers queued on the one emitter that plays it. A looping
// stream goes on from its first sample inside the same block as its last, so
// it loops without a gap.
#pragma once

#include <AL/al.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioBuffer.h"

namespace Audio {

class VorbisStream;

class StreamingBuffer : public IBuffer {
public:
    static constexpr int kBufferCount = 4;

    StreamingBuffer();
    ~StreamingBuffer() override;
    bool Load(const std::string& fileName) override;
    void Unload() override;
    bool IsStreaming() const override { return true; }
    ALuint GetBufferID() const override { return m_buffers.empty() ? 0 : m_buffers.front(); }
    bool IsLoaded() const override { return !m_buffers.empty() && m_buffers.front() != 0; }
    bool Attach(Emitter* emitter) override;
    bool Detach(Emitter* emitter) override;
    bool Update() override;
    bool IsDelivering(const Emitter* emitter) const override;

    // File into memory, decoder opened, format chosen.
    bool Open(const std::string& fileName);
    // Decodes one block into b and queues it on the attached emitter's source.
    bool FillBuffer(ALuint b);

    ALenum GetFormat() const { return m_format; }
    long GetFrequency() const { return m_frequency; }
    size_t GetBlockSize() const { return m_block.size(); }
    Emitter* GetAttachedEmitter() const { return m_attached; }
    bool IsDamaged() const { return m_damaged; }
    // Format and block size (bytes of a quarter second) for a channel count
    // and rate; format 0 when the count cannot be played.
    static void ChooseFormat(int channels, long rate, ALenum& format, size_t& blockSize);

private:
    void Rewind();

    std::vector<ALuint> m_buffers;
    ALenum m_format = 0;
    long m_frequency = 0;
    std::vector<char> m_block;
    std::unique_ptr<VorbisStream> m_stream;
    Emitter* m_attached = nullptr;
    std::string m_fileName;
    bool m_damaged = false;  // the decoder reported damaged data; no more refills
    bool m_ended = false;    // a non-looping stream has played out
};

}  // namespace Audio
