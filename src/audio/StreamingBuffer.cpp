#include "audio/StreamingBuffer.h"

#include <cstdio>

#include "audio/Emitter.h"
#include "audio/VorbisLibrary.h"
#include "audio/VorbisStream.h"
#include "utility/Diagnostics.h"

namespace Audio {
namespace {

constexpr long kMaxFileBytes = 64L * 1024 * 1024;

bool ReadWholeFile(const std::string& fileName, std::vector<uint8_t>& out) {
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && size <= kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(size));
        ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    return ok;
}

}  // namespace

StreamingBuffer::StreamingBuffer() : m_stream(std::make_unique<VorbisStream>()) {}

StreamingBuffer::~StreamingBuffer() { Unload(); }

void StreamingBuffer::ChooseFormat(int channels, long rate, ALenum& format, size_t& blockSize) {
    format = 0;
    blockSize = 0;
    if (rate <= 0) return;
    const size_t f = static_cast<size_t>(rate);
    switch (channels) {
        case 1: format = AL_FORMAT_MONO16; blockSize = f / 2 - (f / 2) % 2; break;
        case 2: format = AL_FORMAT_STEREO16; blockSize = f - f % 4; break;
        case 4: format = alGetEnumValue("AL_FORMAT_QUAD16"); blockSize = 2 * f - (2 * f) % 8; break;
        case 6: format = alGetEnumValue("AL_FORMAT_51CHN16"); blockSize = 3 * f - (3 * f) % 12; break;
        default: break;
    }
    if (format == 0 || format == -1) {
        format = 0;
        blockSize = 0;
    }
}

bool StreamingBuffer::Load(const std::string& fileName) {
    m_error.clear();
    if (fileName.empty()) return false;
    Unload();
    m_fileName = fileName;
    if (!Vorbis().available) return false;  // said once when the library failed to load
    m_buffers.assign(kBufferCount, 0);
    alGetError();
    alGenBuffers(kBufferCount, m_buffers.data());
    if (alGetError() != AL_NO_ERROR) {
        m_buffers.clear();
        return false;
    }
    CountBuffers(kBufferCount);
    if (!Open(fileName)) {
        Unload();
        return false;
    }
    return alIsBuffer(m_buffers.front()) == AL_TRUE;
}

bool StreamingBuffer::Open(const std::string& fileName) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes)) {
        m_error = "sound file " + fileName + " is missing or unreadable";
        return false;
    }
    if (!m_stream->Open(std::move(bytes))) {
        m_error = "sound file " + fileName + " is not an Ogg Vorbis stream";
        return false;
    }
    size_t blockSize = 0;
    ChooseFormat(m_stream->GetChannels(), m_stream->GetRate(), m_format, blockSize);
    m_frequency = m_stream->GetRate();
    if (m_format == 0 || blockSize == 0) {
        m_error = "sound file " + fileName + " has a channel count that cannot be played";
        m_stream->Close();
        return false;
    }
    m_block.assign(blockSize, 0);
    m_damaged = false;
    return true;
}

void StreamingBuffer::Unload() {
    if (m_attached) Detach(m_attached);
    if (!m_buffers.empty()) {
        alDeleteBuffers(static_cast<ALsizei>(m_buffers.size()), m_buffers.data());
        CountBuffers(-static_cast<int>(m_buffers.size()));
        m_buffers.clear();
    }
    m_stream->Close();
    m_block.clear();
    m_format = 0;
}

void StreamingBuffer::Rewind() {
    if (!m_stream->Rewind()) m_damaged = true;
}

bool StreamingBuffer::FillBuffer(ALuint b) {
    if (!m_attached || m_attached->GetSource() == 0 || m_damaged || m_block.empty()) return false;
    const int frame = (m_format == AL_FORMAT_MONO16) ? 2 : (m_format == AL_FORMAT_STEREO16 ? 4 : 1);
    const size_t size = m_block.size();
    size_t n = 0;
    bool rewound = false;
    size_t atRewind = 0;
    while (n < size) {
        const long got = m_stream->Read(m_block.data() + n, static_cast<int>(size - n));
        if (got > 0) {
            n += static_cast<size_t>(got) <= size - n ? static_cast<size_t>(got) : size - n;
            continue;
        }
        if (got < 0) {
            // Damaged data: what was decoded so far still plays, then the
            // stream ends (a looping one too, or it would play the damage
            // again and again).
            m_damaged = true;
            Utility::ReportWarning("audio: sound file " + m_fileName + " is damaged; its stream ends here");
            break;
        }
        // The end of the data: a looping stream carries on from its start in
        // the same block; a stream without a single sample stops.
        if (!m_attached->IsLooping() || (rewound && n == atRewind)) break;
        Rewind();
        if (m_damaged) break;
        rewound = true;
        atRewind = n;
    }
    n -= n % static_cast<size_t>(frame);
    if (n == 0) return false;
    alGetError();
    alBufferData(b, m_format, m_block.data(), static_cast<ALsizei>(n), static_cast<ALsizei>(m_frequency));
    ALuint queued = b;
    alSourceQueueBuffers(m_attached->GetSource(), 1, &queued);
    return alGetError() == AL_NO_ERROR;
}

bool StreamingBuffer::Attach(Emitter* emitter) {
    if (!IsLoaded() || !emitter || emitter->GetSource() == 0) return false;
    if (m_attached && m_attached != emitter) {
        // A stream plays on one emitter at a time: the previous one loses it.
        Emitter* previous = m_attached;
        Detach(previous);
        previous->ForgetBuffer();
    } else if (m_attached == emitter) {
        Detach(emitter);
    }
    m_attached = emitter;
    m_ended = false;
    for (ALuint b : m_buffers) FillBuffer(b);
    ++m_attachCount;
    return true;
}

bool StreamingBuffer::Detach(Emitter* emitter) {
    if (!m_attached || (emitter && emitter != m_attached)) return false;
    const ALuint source = m_attached->GetSource();
    if (source != 0) {
        alSourceStop(source);
        ALint queued = 0;
        alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
        if (queued > 0 && queued <= kBufferCount) {
            ALuint dropped[kBufferCount];
            alSourceUnqueueBuffers(source, queued, dropped);
        }
        alSourcei(source, AL_BUFFER, 0);
    }
    if (m_stream->IsOpen()) Rewind();
    m_attached = nullptr;
    m_ended = false;
    --m_attachCount;
    return true;
}

bool StreamingBuffer::Update() {
    if (!m_attached || m_attached->GetSource() == 0 || m_ended) return false;
    if (m_attached->IsStopRequested()) {
        // Stopped on purpose: the refill must not start it again.
        m_ended = true;
        return false;
    }
    const ALuint source = m_attached->GetSource();
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i) {
        ALuint b = 0;
        alSourceUnqueueBuffers(source, 1, &b);
        if (!FillBuffer(b)) break;
    }
    ALint queued = 0, state = 0;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING || state == AL_INITIAL) return true;
    if (state == AL_PAUSED) return true;
    if (queued > 0) {
        // The source ran dry before the refill: start it again.
        alSourcePlay(source);
        return true;
    }
    if (m_attached->IsLooping() && !m_damaged) {
        Rewind();
        for (ALuint b : m_buffers) FillBuffer(b);
        alSourcePlay(source);
        return true;
    }
    m_ended = true;
    return false;
}

bool StreamingBuffer::IsDelivering(const Emitter* emitter) const {
    return emitter && emitter == m_attached && emitter->GetSource() != 0 && !m_ended &&
           !emitter->IsStopRequested();
}

}  // namespace Audio
