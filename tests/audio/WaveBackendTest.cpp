#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "AudioFixture.h"
#include "audio/WavReader.h"

namespace {

// Run by WaveBackend.NearIsLouderThanFarInTheWrittenFile in a program of its
// own on OpenAL Soft's wave-file back end: a humming sound near the listener,
// then far away.
TEST(WaveBackend, ChildPlaysNearThenFar) {
    if (!std::getenv("MIRAV_AUDIO_WAVE_FILE")) GTEST_SKIP() << "run by the wave-file test";
    AudioTest::World w;
    w.WriteFiles({{"Hum", "long", true, true, "ambiance"}});
    w.audio = std::make_unique<Audio::AudioMan>(w.config);
    ASSERT_TRUE(w.audio->Init());
    Audio::UpdateListener(Audio::ListenerPose());
    auto hum = w.audio->CreateEmitter("Hum");
    ASSERT_TRUE(hum);
    hum->SetPosition(0.0f, 0.0f, 2.0f);
    hum->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    hum->SetPosition(0.0f, 0.0f, 40.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    w.audio->ShutDown();
}

TEST(WaveBackend, NearIsLouderThanFarInTheWrittenFile) {
    if (std::getenv("MIRAV_AUDIO_WAVE_FILE")) GTEST_SKIP();
    const std::string dir = AudioTest::MakeTempDir();
    const std::string wave = dir + "/out.wav", conf = dir + "/alsoft.conf";
    AudioTest::WriteFile(conf, "[general]\ndrivers = wave\nfrequency = 22050\nchannels = stereo\nsample-type = int16\n"
                               "[wave]\nfile = " + wave + "\n");
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    const std::string command = "MIRAV_AUDIO_WAVE_FILE='" + wave + "' ALSOFT_CONF='" + conf +
                                "' ALSOFT_DRIVERS=wave '" + self +
                                "' --gtest_filter=WaveBackend.ChildPlaysNearThenFar > '" + dir + "/child.log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::ifstream in(wave, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Audio::WavData w;
    ASSERT_TRUE(Audio::ParseWav(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), w));
    ASSERT_EQ(w.channels, 2);
    ASSERT_EQ(w.bitsPerSample, 16);
    const auto* pcm = reinterpret_cast<const int16_t*>(w.pcm);
    const size_t frames = w.size / 4;
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) mono[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
    // From the first sound: 0.7 s near, then 0.7 s far; measure the middle of each.
    size_t onset = 0;
    while (onset < frames && std::fabs(mono[onset]) < 0.01f) ++onset;
    const size_t rate = w.frequency;
    ASSERT_LT(onset + rate * 13 / 10, frames);
    const double nearRms = AudioTest::Rms(mono, onset + rate * 2 / 10, rate * 3 / 10);
    const double farRms = AudioTest::Rms(mono, onset + rate * 9 / 10, rate * 3 / 10);
    EXPECT_GT(nearRms, 0.05);
    EXPECT_GT(farRms, 0.0);
    EXPECT_GT(nearRms, 5.0 * farRms);
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
