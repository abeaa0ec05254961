#include <gtest/gtest.h>

#include <cstdio>

#include "AudioFixture.h"
#include "audio/StreamingBuffer.h"
#include "audio/VorbisLibrary.h"
#include "audio/VorbisStream.h"

namespace {

using AudioTest::EffectDef;
using AudioTest::ProblemLog;
using AudioTest::World;

TEST(Stream, FormatAndBlockSizeByChannels) {
    World w;  // a context, for the extension formats
    w.WriteFiles({});
    ASSERT_TRUE(w.Init());
    struct Case { int channels; long rate; bool playable; size_t block; };
    for (const Case& c : {Case{2, 44100, true, 44100}, Case{1, 22050, true, 11024}, Case{6, 48000, true, 144000},
                          Case{4, 44100, true, 88200}, Case{1, 44100, true, 22050}, Case{3, 44100, false, 0},
                          Case{2, 0, false, 0}}) {
        ALenum format = 0;
        size_t block = 0;
        Audio::StreamingBuffer::ChooseFormat(c.channels, c.rate, format, block);
        EXPECT_EQ(format != 0, c.playable) << c.channels << " channels";
        EXPECT_EQ(block, c.block) << c.channels << " channels at " << c.rate;
    }
    ALenum f;
    size_t b;
    Audio::StreamingBuffer::ChooseFormat(2, 44100, f, b);
    EXPECT_EQ(f, AL_FORMAT_STEREO16);
}

TEST(Stream, AChannelCountOpenALCannotPlayIsRefusedWithItsName) {
    World w;
    w.AddOgg("three", AudioTest::Tone(300.0f, 0.5f, AudioTest::kRate, 0.5f, 3), 3);
    w.WriteFiles({{"Three", "three", false, false, "event"}, {"Click", "beep", false, false, "ui"}});
    ASSERT_TRUE(w.Init());
    ProblemLog log;
    EXPECT_FALSE(w.audio->CreateEmitter("Three"));
    EXPECT_FALSE(w.audio->CreateEmitter("Three"));
    EXPECT_EQ(log.Count("three.ogg"), 1);
    EXPECT_TRUE(w.audio->PlaySound("Click"));
}

TEST(Stream, MemoryStreamSeeksOnlyInsideTheData) {
    Audio::MemoryStream s;
    s.bytes = std::vector<uint8_t>(100, 7);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, 40, SEEK_SET), 0);
    EXPECT_EQ(Audio::MemoryStream::Tell(&s), 40);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, 61, SEEK_CUR), -1);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, 1, SEEK_END), -1);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, -41, SEEK_CUR), -1);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, int64_t(1) << 32, SEEK_SET), -1);  // not cut to 32 bits
    EXPECT_EQ(Audio::MemoryStream::Tell(&s), 40);
    EXPECT_EQ(Audio::MemoryStream::Seek(&s, -10, SEEK_END), 0);
    uint8_t buf[32];
    EXPECT_EQ(Audio::MemoryStream::Read(buf, 1, 32, &s), 10u);
    EXPECT_EQ(Audio::MemoryStream::Read(buf, 1, 32, &s), 0u);
}

TEST(Stream, DecodesEverySampleOfTheFile) {
    ASSERT_TRUE(Audio::LoadVorbisLibrary());
    for (int channels : {1, 2}) {
        const std::vector<float> tone = AudioTest::Tone(500.0f, 1.0f, AudioTest::kRate, 0.5f, channels);
        const std::string ogg = GenData::EncodeOgg(tone, channels, AudioTest::kRate, 0.4f);
        Audio::VorbisStream s;
        ASSERT_TRUE(s.Open(std::vector<uint8_t>(ogg.begin(), ogg.end())));
        EXPECT_EQ(s.GetChannels(), channels);
        EXPECT_EQ(s.GetRate(), AudioTest::kRate);
        std::vector<char> block(4096);
        long total = 0, got;
        while ((got = s.Read(block.data(), static_cast<int>(block.size()))) > 0) total += got;
        EXPECT_EQ(got, 0);
        EXPECT_EQ(total, static_cast<long>(tone.size() * 2));
        ASSERT_TRUE(s.Rewind());
        EXPECT_GT(s.Read(block.data(), 4096), 0);
    }
    Audio::VorbisStream junk;
    EXPECT_FALSE(junk.Open(std::vector<uint8_t>(5000, 0x4F)));
}

TEST(Stream, TheLibraryStaysWhileADecoderOutlivesItsManager) {
    // A stream kept by an emitter or a second manager after the first one
    // shut down is still freed by the library that made its decoder.
    ASSERT_TRUE(Audio::LoadVorbisLibrary());
    const std::vector<float> tone = AudioTest::Tone(500.0f, 0.2f, AudioTest::kRate, 0.5f, 1);
    const std::string ogg = GenData::EncodeOgg(tone, 1, AudioTest::kRate, 0.4f);
    {
        Audio::VorbisStream s;
        ASSERT_TRUE(s.Open(std::vector<uint8_t>(ogg.begin(), ogg.end())));
        Audio::UnloadVorbisLibrary();
        EXPECT_TRUE(Audio::Vorbis().available) << "kept for the open decoder";
        std::vector<char> block(1024);
        EXPECT_GT(s.Read(block.data(), 1024), 0);
    }
    EXPECT_FALSE(Audio::Vorbis().available) << "let go with the last decoder";
    ASSERT_TRUE(Audio::LoadVorbisLibrary());
    Audio::UnloadVorbisLibrary();
    EXPECT_FALSE(Audio::Vorbis().available) << "no decoder open: let go at once";
}

TEST(Stream, WithoutTheLibraryOnlyOggSoundsAreSilent) {
    World w;
    w.WriteFiles({{"Song", "loop", true, false, "music"}, {"Click", "beep", false, false, "ui"}});
    ASSERT_TRUE(w.Init());
    Audio::UnloadVorbisLibrary();
    {
        ProblemLog log;
        EXPECT_FALSE(Audio::LoadVorbisLibrary("libvorbisfile-not-here.so.3"));
        EXPECT_EQ(log.Count("libvorbisfile-not-here.so.3"), 1);
        EXPECT_EQ(log.lines.size(), 1u);
    }
    EXPECT_FALSE(w.audio->CreateEmitter("Song"));
    EXPECT_TRUE(w.audio->PlaySound("Click"));
    EXPECT_TRUE(Audio::LoadVorbisLibrary());
    EXPECT_TRUE(w.audio->CreateEmitter("Song"));
}

long g_reads = 0;
long (*g_realRead)(OggVorbis_File*, char*, int, int, int, int, int*) = nullptr;
// Good data for a few reads, then the decoder reports damage.
long DamagedRead(OggVorbis_File* f, char* b, int n, int e, int w, int s, int* sec) {
    if (++g_reads > 6) return OV_EBADLINK;
    return g_realRead(f, b, n, e, w, s, sec);
}

TEST(Stream, DamagedDataEndsTheStreamCleanly) {
    World w;
    w.WriteFiles({{"Song", "loop", true, false, "music"}});
    ASSERT_TRUE(w.Init());
    ProblemLog log;
    g_realRead = Audio::Vorbis().ov_read;
    g_reads = 0;
    Audio::Vorbis().ov_read = &DamagedRead;
    auto song = w.audio->CreateEmitter("Song");
    ASSERT_TRUE(song);
    song->Play();
    const std::vector<float> mixed = w.Run(3000);
    Audio::Vorbis().ov_read = g_realRead;
    // What was decoded played, then the looping stream ended for good.
    EXPECT_GT(AudioTest::Rms(mixed, 0, 2000, 2), 0.1);
    EXPECT_LT(AudioTest::Rms(mixed, mixed.size() / 2 - 4000, 4000, 2), 1e-4);
    EXPECT_FALSE(song->HasSource());
    EXPECT_EQ(w.audio->GetPool().GetFreeCount(), 4u);
    EXPECT_EQ(log.Count("loop.ogg is damaged"), 1);
    EXPECT_LT(g_reads, 20);
}

TEST(Stream, ALoopingStreamHasNoGap) {
    World w;
    w.WriteFiles({{"Song", "loop", true, false, "music"}, {"Voice", "voice", false, false, "event"}});
    ASSERT_TRUE(w.Init());
    auto song = w.audio->CreateEmitter("Song");
    song->Play();
    // 0.7 s of a steady tone looped for 3 s, mixed in game-sized frames.
    const std::vector<float> mixed = w.Run(3000);
    const size_t frames = mixed.size() / 2;
    const size_t period = 50;  // 441 Hz at 22050 Hz
    double lowest = 1.0;
    for (size_t at = period * 4; at + period <= frames; at += period / 2)
        lowest = std::min(lowest, AudioTest::Rms(mixed, at, period, 2));
    // A steady 0.5 sine has an RMS of 0.35 (per channel, panned centre a little less);
    // a gap of even one period would drop a window towards 0.
    EXPECT_GT(lowest, 0.15);
    EXPECT_EQ(song->GetState(), AL_PLAYING);

    // A stream that does not loop ends and gives its source back.
    auto voice = w.audio->CreateEmitter("Voice");
    voice->Play();
    w.Run(2600);
    EXPECT_FALSE(voice->HasSource());
    EXPECT_TRUE(song->HasSource());
}

}  // namespace
