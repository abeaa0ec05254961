#include <gtest/gtest.h>

#include <cstring>

#include "audio/WavReader.h"
#include "gen-data/SoundWriters.h"

namespace {

std::string Wav(int channels, int bits, uint32_t rate, const std::string& data) {
    auto put32 = [](std::string& s, uint32_t v) {
        for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [](std::string& s, uint16_t v) {
        s.push_back(char(v & 0xFF));
        s.push_back(char(v >> 8));
    };
    std::string s = "RIFF";
    put32(s, uint32_t(36 + data.size()));
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, uint16_t(channels));
    put32(s, rate);
    put32(s, rate * uint32_t(channels * bits / 8));
    put16(s, uint16_t(channels * bits / 8));
    put16(s, uint16_t(bits));
    s += "data";
    put32(s, uint32_t(data.size()));
    return s + data;
}

bool Parse(const std::string& bytes, Audio::WavData& out) {
    return Audio::ParseWav(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

TEST(WavReader, ReadsPcmFormats) {
    struct Case { int channels, bits; uint32_t rate; size_t bytes; };
    for (const Case& c : {Case{1, 8, 8000, 100}, Case{1, 16, 22050, 200}, Case{2, 8, 11025, 64}, Case{2, 16, 44100, 400}}) {
        const std::string file = Wav(c.channels, c.bits, c.rate, std::string(c.bytes, '\x10'));
        Audio::WavData w;
        ASSERT_TRUE(Parse(file, w)) << c.channels << "ch " << c.bits << " bit";
        EXPECT_EQ(w.channels, c.channels);
        EXPECT_EQ(w.bitsPerSample, c.bits);
        EXPECT_EQ(w.frequency, c.rate);
        EXPECT_EQ(w.size, c.bytes);
        EXPECT_EQ(w.pcm, reinterpret_cast<const uint8_t*>(file.data()) + 44);
    }
    // The generator's own files read back.
    const std::string gen = GenData::EncodeWav(std::vector<float>(300, 0.25f), 2, 22050);
    Audio::WavData w;
    ASSERT_TRUE(Parse(gen, w));
    EXPECT_EQ(w.size, 600u);
}

TEST(WavReader, RefusesWhatCannotBePlayed) {
    const std::string good = Wav(1, 16, 22050, std::string(100, '\0'));
    auto with = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const struct { const char* what; std::string bytes; } cases[] = {
        {"empty", ""},
        {"header only", good.substr(0, 11)},
        {"not RIFF", with(0, "RIFX")},
        {"not WAVE", with(8, "AVI ")},
        {"compressed", with(20, std::string("\x02\x00", 2))},
        {"three channels", with(22, std::string("\x03\x00", 2))},
        {"24-bit", with(34, std::string("\x18\x00", 2))},
        {"bad block alignment", with(32, std::string("\x04\x00", 2))},
        {"zero rate", with(24, std::string(4, '\0'))},
        {"no data samples", Wav(1, 16, 22050, "")},
        {"format chunk longer than the file", with(16, std::string("\xff\xff\x00\x00", 4))},
        {"data before format", std::string("RIFF\x10\x00\x00\x00WAVEdata\x02\x00\x00\x00\x01\x02", 22)},
        {"no data chunk", good.substr(0, 36)},
    };
    for (const auto& c : cases) {
        Audio::WavData w;
        std::string why;
        EXPECT_FALSE(Audio::ParseWav(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), w, &why))
            << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(WavReader, BoundsTheDataToTheFileAndSkipsPaddedChunks) {
    // A data chunk that claims more than is there is cut to whole frames.
    std::string cut = Wav(2, 16, 22050, std::string(64, '\x01'));
    cut.resize(cut.size() - 3);
    Audio::WavData w;
    ASSERT_TRUE(Parse(cut, w));
    EXPECT_EQ(w.size, 60u);
    EXPECT_LE(w.pcm + w.size, reinterpret_cast<const uint8_t*>(cut.data()) + cut.size());

    // An odd-length chunk before the data is skipped with its pad byte.
    std::string padded = Wav(1, 8, 8000, "abcd");
    const std::string list("LIST\x03\x00\x00\x00xyz\x00", 12);
    padded.insert(36, list);
    ASSERT_TRUE(Parse(padded, w));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(w.pcm), w.size), "abcd");
}

}  // namespace
