// A bounded reader of RIFF/WAVE files held in memory: uncompressed PCM, 8 or
// 16 bits, mono or stereo. It never reads past the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Audio {

struct WavData {
    int channels = 0;
    int bitsPerSample = 0;
    uint32_t frequency = 0;
    const uint8_t* pcm = nullptr;  // points into the bytes given to ParseWav
    size_t size = 0;               // whole sample frames only
};

// False (with the reason in *why when given) for anything but a playable
// PCM file. A data chunk that claims more bytes than the file holds is cut
// to what is there.
bool ParseWav(const uint8_t* bytes, size_t size, WavData& out, std::string* why = nullptr);

}  // namespace Audio
