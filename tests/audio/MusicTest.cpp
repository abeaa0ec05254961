#include <gtest/gtest.h>

#include "AudioFixture.h"
#include "audio/MusicMan.h"
#include "processes/Process.h"

namespace {

using AudioTest::EffectDef;
using AudioTest::World;

const std::vector<EffectDef> kMusic = {
    {"MenuMusic", "loop", true, false, "music", 0.6f},
    {"Level1Music", "voice", true, false, "music", 0.8f},
};

struct MusicWorld : World {
    ProcessSystem::ProcessManager processes;
    Audio::MusicMan music;
    explicit MusicWorld(const std::string& settings) {
        WriteFiles(kMusic, "MaxSources = 4\nDisableAudio = 0\n" + settings);
        EXPECT_TRUE(Init());
        music.Initialize(audio.get(), &processes);
    }
    ~MusicWorld() { music.Shutdown(); }
    void Step(int ms) {
        processes.UpdateProcesses(ms);
        Render(ms);
        audio->Update();
    }
};

TEST(Music, FadesInAndOutOverTheConfiguredTimes) {
    struct Case { const char* settings; int in, out; };
    for (const Case& c : {Case{"", 32, 32}, Case{"MusicFadeInTime = 200\nMusicFadeOutTime = 100\n", 200, 100},
                          Case{"MusicFadeInTime = 0\nMusicFadeOutTime = 0\n", 0, 0}}) {
        SCOPED_TRACE(c.settings);
        MusicWorld w(c.settings);
        w.music.PlayTrack(0);
        auto menu = w.music.GetTrack(0);
        ASSERT_TRUE(menu);
        // Starts at the next process update, from silence.
        EXPECT_EQ(menu->GetState(), AL_INITIAL);
        EXPECT_FLOAT_EQ(menu->GetGain(), 0.0f);
        const int step = 4;
        for (int t = step; t <= c.in + step; t += step) {
            w.Step(step);
            EXPECT_EQ(menu->GetState(), AL_PLAYING);
            const float expected = c.in == 0 ? 0.6f : 0.6f * std::min(1.0f, float(t) / float(c.in));
            EXPECT_NEAR(menu->GetGain(), expected, 1e-5) << "at " << t << " ms";
            float al = 0;
            alGetSourcef(menu->GetSource(), AL_GAIN, &al);
            EXPECT_FLOAT_EQ(al, menu->GetGain());
        }
        w.Step(step);
        EXPECT_FLOAT_EQ(menu->GetGain(), 0.6f);

        // Cross-fade: the level track rises while the menu track falls and stops.
        w.music.PlayTrack(1);
        auto level = w.music.GetTrack(1);
        ASSERT_TRUE(level);
        EXPECT_FALSE(w.music.GetTrack(0));
        for (int t = step; t <= std::max(c.in, c.out) + step; t += step) {
            w.Step(step);
            if (t < c.out) {
                EXPECT_NEAR(menu->GetGain(), 0.6f * (1.0f - float(t) / float(c.out)), 1e-5) << "at " << t << " ms";
                EXPECT_EQ(menu->GetState(), AL_PLAYING);
            }
            const float expected = c.in == 0 ? 0.8f : 0.8f * std::min(1.0f, float(t) / float(c.in));
            EXPECT_NEAR(level->GetGain(), expected, 1e-5) << "at " << t << " ms";
        }
        EXPECT_FLOAT_EQ(menu->GetGain(), 0.0f);
        EXPECT_FALSE(menu->HasSource());  // stopped and reclaimed
        EXPECT_EQ(level->GetState(), AL_PLAYING);
        EXPECT_EQ(w.processes.Count(), 0u);
        menu.reset();
        w.Step(step);
        EXPECT_EQ(w.audio->GetPool().GetActiveCount(), 1u);
    }
}

TEST(Music, TheFadeIsHeard) {
    MusicWorld w("MusicFadeInTime = 1000\nMusicFadeOutTime = 500\n");
    w.music.PlayTrack(0);
    std::vector<float> mixed;
    for (int t = 0; t < 1600; t += 16) {
        w.processes.UpdateProcesses(16);
        auto part = w.Render(16);
        mixed.insert(mixed.end(), part.begin(), part.end());
        w.audio->Update();
    }
    const size_t r = AudioTest::kRate;
    const double early = AudioTest::Rms(mixed, r / 10, r / 10, 2);
    const double middle = AudioTest::Rms(mixed, r / 2, r / 10, 2);
    const double full = AudioTest::Rms(mixed, r * 12 / 10, r / 10, 2);
    EXPECT_LT(early, 0.4 * middle);
    EXPECT_LT(middle, 0.8 * full);
    EXPECT_GT(full, 0.1);
}

TEST(Music, RestartingATrackStartsItOverWithoutAFadeOut) {
    MusicWorld w("MusicFadeInTime = 100\n");
    w.music.PlayTrack(0);
    w.Step(200);
    auto first = w.music.GetTrack(0);
    w.music.PlayTrack(0);
    auto second = w.music.GetTrack(0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_NE(first->GetState(), AL_PLAYING);
    EXPECT_EQ(w.processes.Count(), 1u);  // one fade in, nothing fading out
    w.Step(16);
    EXPECT_EQ(second->GetState(), AL_PLAYING);
    EXPECT_FALSE(first->HasSource());
    w.music.StopAll();
    EXPECT_FALSE(w.music.GetTrack(0));
    w.Step(16);
    EXPECT_FALSE(second->HasSource());
    EXPECT_EQ(w.audio->GetPool().GetFreeCount(), 4u);
}

TEST(Music, NothingWithoutAudio) {
    World off;
    off.WriteFiles(kMusic, "MaxSources = 4\nDisableAudio = 1\n");
    ASSERT_TRUE(off.Init());
    Audio::MusicMan music;
    ProcessSystem::ProcessManager processes;
    music.Initialize(off.audio.get(), &processes);
    music.PlayTrack(0);
    music.PlayTrack(1);
    EXPECT_FALSE(music.GetTrack(0));
    EXPECT_FALSE(music.GetTrack(1));
    EXPECT_EQ(processes.Count(), 0u);

    Audio::MusicMan uninitialised;  // audio failed to start
    uninitialised.PlayTrack(0);
    EXPECT_FALSE(uninitialised.GetTrack(0));
}

}  // namespace
