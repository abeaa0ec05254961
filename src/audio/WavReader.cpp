#include "audio/WavReader.h"

#include <cstring>

namespace Audio {
namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

}  // namespace

bool ParseWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why) {
    out = WavData();
    if (!bytes || size < 12) return Fail(why, "too short for a WAV file");
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return Fail(why, "not a RIFF/WAVE file");

    bool haveFormat = false;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* chunk = bytes + pos;
        const uint32_t claimed = Le32(chunk + 4);
        const size_t left = size - pos - 8;
        const uint8_t* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (claimed < 16 || claimed > left) return Fail(why, "format chunk cut short");
            uint16_t tag = Le16(body);
            const uint16_t channels = Le16(body + 2);
            const uint32_t rate = Le32(body + 4);
            const uint16_t blockAlign = Le16(body + 12);
            const uint16_t bits = Le16(body + 14);
            if (tag == 0xFFFE) {  // extensible: the sub-format's first two bytes name the coding
                if (claimed < 40) return Fail(why, "extensible format chunk cut short");
                tag = Le16(body + 24);
            }
            if (tag != 1) return Fail(why, "not uncompressed PCM");
            if (channels != 1 && channels != 2) return Fail(why, "only mono and stereo are played");
            if (bits != 8 && bits != 16) return Fail(why, "only 8- and 16-bit samples are played");
            if (rate == 0 || rate > 384000) return Fail(why, "sample rate out of range");
            if (blockAlign != channels * bits / 8) return Fail(why, "block alignment does not match the format");
            out.channels = channels;
            out.bitsPerSample = bits;
            out.frequency = rate;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return Fail(why, "data before the format chunk");
            const size_t frame = size_t(out.channels) * size_t(out.bitsPerSample / 8);
            size_t n = claimed < left ? claimed : left;
            n -= n % frame;
            if (n == 0) return Fail(why, "no samples");
            out.pcm = body;
            out.size = n;
            return true;
        }
        // Chunks are padded to an even length.
        const size_t skip = size_t(claimed) + (claimed & 1u);
        if (skip > left) break;
        pos += 8 + skip;
    }
    return Fail(why, haveFormat ? "no data chunk" : "no format chunk");
}

}  // namespace Audio
