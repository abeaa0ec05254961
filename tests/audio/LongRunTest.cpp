#include <gtest/gtest.h>

#include "AudioFixture.h"
#include "audio/AudioBuffer.h"
#include "audio/MusicMan.h"
#include "processes/Process.h"

namespace {

using AudioTest::EffectDef;
using AudioTest::World;

// Half an hour of a menu backdrop: sounds requested all the time at random
// places, music switched every two minutes, effects reloaded and the power
// suspended now and then. Sources, buffers and emitters stay flat.
TEST(LongRun, HalfAnHourKeepsSourcesAndBuffersFlat) {
    World w;
    w.WriteFiles({{"MenuMusic", "loop", true, false, "music", 0.5f},
                  {"Level1Music", "voice", true, false, "music", 0.5f},
                  {"Shot", "beep", false, true, "event"},
                  {"Boom", "long", false, true, "high_event"},
                  {"Wind", "long", true, true, "ambiance"},
                  {"Click", "beep", false, false, "ui"},
                  {"Cue", "beep", false, false, "cue"}},
                 "MaxSources = 8\nDisableAudio = 0\nMusicFadeInTime = 1500\nMusicFadeOutTime = 1000\n");
    ASSERT_TRUE(w.Init());
    ProcessSystem::ProcessManager processes;
    Audio::MusicMan music;
    music.Initialize(w.audio.get(), &processes);
    const char* names[] = {"Shot", "Shot", "Shot", "Boom", "Click", "Cue", "Wind"};
    std::vector<std::shared_ptr<Audio::Emitter>> kept;  // a few held by their callers, like the effect handler's
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };

    const int frameMs = 100;
    const int minutes = 30;
    int buffersAfterWarmUp = -1;
    size_t mostActive = 0;
    int played = 0;
    for (int t = 0; t < minutes * 60000; t += frameMs) {
        if (t % 120000 == 0) music.PlayTrack((t / 120000) % 2);
        if (t % 600000 == 300000) w.audio->ReloadEffects();
        if (t == 900000) w.audio->Suspend();
        if (t == 905000) w.audio->Resume();
        for (uint32_t k = next(4); k > 0; --k) {
            const char* name = names[next(7)];
            auto e = w.audio->CreateEmitter(name);
            if (!e) continue;
            ++played;
            e->SetPosition(float(next(200)) - 100.0f, 1.0f, float(next(200)) - 100.0f);
            e->Play();
            if (std::string(name) == "Wind") {
                kept.push_back(e);
                if (kept.size() > 2) {
                    kept.front()->Stop();
                    kept.erase(kept.begin());
                }
            }
        }
        processes.UpdateProcesses(frameMs);
        w.Render(frameMs);
        w.audio->Update();

        Audio::SourcePool& pool = w.audio->GetPool();
        if (t < 900000 || t >= 905000) {
            ASSERT_EQ(pool.GetSourceCount(), 8u) << "at " << t;
            ASSERT_EQ(pool.GetFreeCount() + pool.GetInUseCount(), 8u) << "at " << t;
            for (ALuint s : pool.GetSources()) {
                ASSERT_EQ(alIsSource(s), AL_TRUE);
            }
        }
        mostActive = std::max(mostActive, pool.GetActiveCount());
        ASSERT_LE(w.audio->GetCache().GetCachedCount(), 4u);
        if (t == 200000) buffersAfterWarmUp = Audio::LiveBufferCount();
        if (t > 200000 && t % 60000 == 0) {
            ASSERT_LE(Audio::LiveBufferCount(), buffersAfterWarmUp) << "at " << t;
        }
    }
    EXPECT_LE(mostActive, 8u);
    EXPECT_GT(played, 20000);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    music.Shutdown();
    kept.clear();
    w.audio->ShutDown();
    EXPECT_EQ(Audio::LiveBufferCount(), 0);
}

}  // namespace
