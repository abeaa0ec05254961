// One Ogg Vorbis stream decoded from bytes held in memory, through the
// run-time bound libvorbisfile. No OpenAL here: the streaming buffer feeds
// OpenAL from it, the fuzz target feeds it random bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Audio {

// The data source handed to libvorbisfile: the whole file and a read position.
struct MemoryStream {
    std::vector<uint8_t> bytes;
    size_t position = 0;

    // The callbacks libvorbisfile calls (as its ov_callbacks expects them).
    static size_t Read(void* destination, size_t size, size_t count, void* stream);
    // A position beyond the data (or before its start) is refused: -1, and
    // the position stays.
    static int Seek(void* stream, int64_t offset, int whence);
    static int Close(void* stream);
    static long Tell(void* stream);
};

class VorbisStream {
public:
    VorbisStream();
    ~VorbisStream();
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    // Takes the bytes and opens the decoder. False when the library is not
    // available or the bytes are not an Ogg Vorbis stream.
    bool Open(std::vector<uint8_t> bytes);
    void Close();
    bool IsOpen() const { return m_open; }

    int GetChannels() const { return m_channels; }
    long GetRate() const { return m_rate; }

    // Decodes up to `length` bytes of 16-bit little-endian signed samples.
    // The count of bytes written, 0 at the end, negative for damaged data.
    long Read(char* destination, int length);
    // Back to the first sample; false when the decoder refuses.
    bool Rewind();

private:
    struct Decoder;
    std::unique_ptr<Decoder> m_decoder;
    std::unique_ptr<MemoryStream> m_stream;
    bool m_open = false;
    int m_channels = 0;
    long m_rate = 0;
};

}  // namespace Audio
