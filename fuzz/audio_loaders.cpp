// Feeds arbitrary bytes to the sound loaders: the WAV reader and the Ogg
// Vorbis stream (through our in-memory data source). Besides the raw bytes,
// the input also patches a valid WAV and a valid Ogg Vorbis file, so the
// fuzzer reaches past the signatures. No read past the input, no crash, no
// hang; what is accepted stays inside the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/VorbisLibrary.h"
#include "audio/VorbisStream.h"
#include "audio/WavReader.h"
#include "gen-data/SoundWriters.h"

namespace {

std::vector<float> Tone(size_t n) {
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = 0.4f * static_cast<float>((i * 37) % 200) / 200.0f - 0.2f;
    return v;
}

const std::string& ValidWav() {
    static const std::string wav = GenData::EncodeWav(Tone(400), 2, 8000);
    return wav;
}
const std::string& ValidOgg() {
    static const std::string ogg = GenData::EncodeOgg(Tone(8000), 1, 8000, 0.1f);
    return ogg;
}

void CheckWav(const std::vector<uint8_t>& bytes) {
    Audio::WavData w;
    if (!Audio::ParseWav(bytes.data(), bytes.size(), w)) return;
    const size_t frame = static_cast<size_t>(w.channels * w.bitsPerSample / 8);
    if (w.channels < 1 || w.channels > 2 || frame == 0 || w.size == 0 || w.size % frame != 0) std::abort();
    if (w.pcm < bytes.data() || w.pcm + w.size > bytes.data() + bytes.size()) std::abort();
}

void CheckOgg(std::vector<uint8_t> bytes) {
    Audio::VorbisStream s;
    if (!s.Open(std::move(bytes))) return;
    if (s.GetChannels() < 1 || s.GetRate() < 1) return;
    std::vector<char> block(4096);
    size_t total = 0;
    for (int rewinds = 0; rewinds < 2; ++rewinds) {
        long got;
        while ((got = s.Read(block.data(), static_cast<int>(block.size()))) > 0) {
            if (got > static_cast<long>(block.size())) std::abort();
            total += static_cast<size_t>(got);
            if (total > (size_t(1) << 24)) return;  // long enough
        }
        if (!s.Rewind()) return;
    }
}

// The input as (offset, byte) patches over a valid file.
std::vector<uint8_t> Patched(const std::string& valid, const uint8_t* data, size_t size) {
    std::vector<uint8_t> out(valid.begin(), valid.end());
    for (size_t i = 0; i + 2 < size; i += 3) {
        const size_t at = (static_cast<size_t>(data[i]) << 8 | data[i + 1]) % out.size();
        out[at] = data[i + 2];
    }
    if (size % 7 == 3 && !out.empty()) out.resize(out.size() - (data[0] % out.size()));  // cut short too
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool vorbis = Audio::LoadVorbisLibrary();
    const std::vector<uint8_t> raw(data, data + size);
    CheckWav(raw);
    CheckWav(Patched(ValidWav(), data, size));
    if (vorbis) {
        CheckOgg(raw);
        CheckOgg(Patched(ValidOgg(), data, size));
    }
    return 0;
}
