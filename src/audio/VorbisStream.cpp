#include "audio/VorbisStream.h"

#include <cstdio>
#include <cstring>

#include "audio/VorbisLibrary.h"

namespace Audio {

size_t MemoryStream::Read(void* destination, size_t size, size_t count, void* stream) {
    auto* s = static_cast<MemoryStream*>(stream);
    if (!s || !destination || size == 0) return 0;
    const size_t left = s->position < s->bytes.size() ? s->bytes.size() - s->position : 0;
    // Whole items only, as fread counts them.
    size_t items = left / size;
    if (items > count) items = count;
    const size_t n = items * size;
    if (n) std::memcpy(destination, s->bytes.data() + s->position, n);
    s->position += n;
    return items;
}

int MemoryStream::Seek(void* stream, int64_t offset, int whence) {
    auto* s = static_cast<MemoryStream*>(stream);
    if (!s) return -1;
    const int64_t size = static_cast<int64_t>(s->bytes.size());
    int64_t base;
    switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<int64_t>(s->position); break;
        case SEEK_END: base = size; break;
        default: return 0;
    }
    // Compare without overflowing: the new position must lie in 0..size.
    if (offset > size - base || offset < -base) return -1;
    s->position = static_cast<size_t>(base + offset);
    return 0;
}

int MemoryStream::Close(void*) { return 0; }  // the VorbisStream owns the bytes

long MemoryStream::Tell(void* stream) {
    auto* s = static_cast<MemoryStream*>(stream);
    return s ? static_cast<long>(s->position) : -1;
}

struct VorbisStream::Decoder {
    OggVorbis_File file;
};

VorbisStream::VorbisStream() = default;

VorbisStream::~VorbisStream() { Close(); }

bool VorbisStream::Open(std::vector<uint8_t> bytes) {
    Close();
    const VorbisFunctions& ov = Vorbis();
    if (!ov.available || bytes.empty()) return false;
    m_stream = std::make_unique<MemoryStream>();
    m_stream->bytes = std::move(bytes);
    m_decoder = std::make_unique<Decoder>();
    std::memset(&m_decoder->file, 0, sizeof(m_decoder->file));
    ov_callbacks callbacks;
    callbacks.read_func = &MemoryStream::Read;
    callbacks.seek_func = [](void* s, ogg_int64_t offset, int whence) {
        return MemoryStream::Seek(s, static_cast<int64_t>(offset), whence);
    };
    callbacks.close_func = &MemoryStream::Close;
    callbacks.tell_func = &MemoryStream::Tell;
    if (ov.ov_open_callbacks(m_stream.get(), &m_decoder->file, nullptr, 0, callbacks) != 0) {
        // A failed open leaves nothing for ov_clear to free.
        m_decoder.reset();
        m_stream.reset();
        return false;
    }
    m_open = true;
    NoteDecoderOpened();
    const vorbis_info* info = ov.ov_info(&m_decoder->file, -1);
    if (!info) {
        Close();
        return false;
    }
    m_channels = info->channels;
    m_rate = info->rate;
    return true;
}

void VorbisStream::Close() {
    if (m_open) {
        if (Vorbis().ov_clear) Vorbis().ov_clear(&m_decoder->file);
        m_open = false;
        NoteDecoderClosed();
    }
    m_decoder.reset();
    m_stream.reset();
    m_channels = 0;
    m_rate = 0;
}

long VorbisStream::Read(char* destination, int length) {
    if (!m_open || length <= 0) return 0;
    int section = 0;
    return Vorbis().ov_read(&m_decoder->file, destination, length, 0, 2, 1, &section);
}

bool VorbisStream::Rewind() {
    if (!m_open) return false;
    return Vorbis().ov_time_seek(&m_decoder->file, 0.0) == 0;
}

}  // namespace Audio
