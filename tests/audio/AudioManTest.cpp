#include <gtest/gtest.h>

#include <cstdio>

#include "AudioFixture.h"
#include "audio/AudioBuffer.h"
#include "utility/Console.h"

namespace {

using AudioTest::EffectDef;
using AudioTest::ProblemLog;
using AudioTest::World;

const std::vector<EffectDef> kEffects = {
    {"Shot", "long", false, true, "event"},
    {"Click", "beep", false, false, "ui", 0.5f},
    {"Song", "loop", true, false, "music", 0.6f},
};

TEST(AudioMan, SettingsDecideWhetherSoundPlays) {
    struct Case {
        const char* what;
        std::string settings;
        bool init, enabled;
        unsigned sources;
        const char* line;  // part of the one line that says why it is silent
    };
    const Case cases[] = {
        {"all set", "MaxSources = 6\nDisableAudio = 0\n", true, true, 6, nullptr},
        {"DisableAudio missing", "MaxSources = 6\n", true, false, 6, "DisableAudio is missing"},
        {"DisableAudio = 1", "MaxSources = 6\nDisableAudio = 1\n", true, false, 6, "DisableAudio is 1"},
        {"MaxSources missing", "DisableAudio = 0\n", false, false, 0, "MaxSources is missing"},
        {"MaxSources huge", "MaxSources = 4000000000\nDisableAudio = 0\n", true, true, 256, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        w.WriteFiles(kEffects, c.settings);
        ProblemLog log;
        EXPECT_EQ(w.Init(), c.init);
        EXPECT_EQ(w.audio->IsEnabled(), c.enabled);
        EXPECT_EQ(w.audio->GetPool().GetSourceCount(), c.sources);
        EXPECT_EQ(static_cast<bool>(w.audio->CreateEmitter("Click")), c.enabled);
        if (c.line) {
            EXPECT_EQ(log.Count(c.line), 1);
            EXPECT_EQ(log.Count("silently"), 1);
        }
    }
    // Without the resources or effects file names nothing starts.
    for (const char* key : {"Resources", "Effects"}) {
        World w;
        w.WriteFiles(kEffects);
        AudioTest::WriteFile(w.config, std::string("[AudioSettings]\n") + (std::string(key) == "Effects" ? "Resources = " + w.resources : "Effects = " + w.effects) +
                                           "\nMaxSources = 4\nDisableAudio = 0\n");
        EXPECT_FALSE(w.Init()) << key;
        EXPECT_FALSE(w.audio->CreateEmitter("Click"));
    }
}

TEST(AudioMan, ResumeAfterSuspendOnlyWhenAudioWasOn) {
    World w;
    w.WriteFiles(kEffects, "MaxSources = 3\nDisableAudio = 0\n");
    ASSERT_TRUE(w.Init());
    auto before = w.audio->CreateEmitter("Song");
    before->Play();
    w.audio->Suspend();
    EXPECT_FALSE(w.audio->IsEnabled());
    EXPECT_EQ(w.audio->GetPool().GetSourceCount(), 0u);
    EXPECT_FALSE(before->HasSource());
    EXPECT_FALSE(w.audio->CreateEmitter("Click"));
    w.audio->Resume();
    EXPECT_TRUE(w.audio->IsEnabled());
    EXPECT_EQ(w.audio->GetPool().GetSourceCount(), 3u);
    EXPECT_TRUE(w.audio->PlaySound("Click"));
    EXPECT_FALSE(before->HasSource());  // the old sound stays silent

    World off;
    off.WriteFiles(kEffects, "MaxSources = 3\nDisableAudio = 1\n");
    ASSERT_TRUE(off.Init());
    off.audio->Suspend();
    off.audio->Resume();
    EXPECT_FALSE(off.audio->IsEnabled());
    EXPECT_FALSE(off.audio->PlaySound("Click"));
}

TEST(AudioMan, ReadsEffectDefinitions) {
    World w;
    w.WriteFiles(kEffects);
    std::string more =
        "[Misspelt]\nresource = beep\nloop = 0\npositional = 0\ntype = evnt\n"
        "[NoType]\nresource = beep\nloop = 1\npositional = 1\n"
        "[Preloaded]\nresource = long\nloop = 0\npositional = 0\ntype = cue\npreload = 1\n";
    std::ifstream in(w.effects);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AudioTest::WriteFile(w.effects, text + more);
    ASSERT_TRUE(w.Init());
    Audio::AudioMan& a = *w.audio;

    const Audio::EffectInfo& click = a.GetEffect("Click");
    EXPECT_EQ(click.resource, "beep");
    EXPECT_EQ(click.priorityClass, 2);
    EXPECT_FLOAT_EQ(click.gain, 0.5f);
    EXPECT_FALSE(click.preload);
    EXPECT_TRUE(a.GetEffect("Shot").positional);
    EXPECT_EQ(a.GetEffect("Shot").priorityClass, 4);
    EXPECT_TRUE(a.GetEffect("Song").loop);

    // An unknown class name is the most important class, and is remembered.
    EXPECT_EQ(a.GetEffect("Misspelt").priorityClass, 0);
    ASSERT_EQ(a.GetClassTable().count("evnt"), 1u);
    EXPECT_EQ(a.GetClassTable().at("evnt"), 0);
    EXPECT_EQ(a.GetClassTable().size(), 7u);
    // Without "type" the record is stored all the same; it keeps its resource.
    EXPECT_EQ(a.GetEffect("NoType").resource, "beep");
    EXPECT_FLOAT_EQ(a.GetEffect("NoType").gain, 1.0f);

    // A missing effect is read from the file once, then answered from the table.
    std::remove(w.effects.c_str());
    EXPECT_TRUE(a.GetEffect("Nothing").resource.empty());
    EXPECT_FALSE(a.CreateEmitter("Nothing"));
    EXPECT_EQ(a.GetEffect("Click").resource, "beep");
    EXPECT_EQ(a.GetEffectTable().size(), 6u);
}

TEST(AudioMan, PreloadsMarkedEffectsWithProgress) {
    World w;
    w.WriteFiles({{"A", "beep", false, false, "ui"}, {"B", "long", false, false, "event"}, {"C", "loop", true, false, "music"}});
    std::ifstream in(w.effects);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AudioTest::WriteFile(w.effects, text + "preload = 1\n");  // the last section, C
    ASSERT_TRUE(w.Init());
    std::vector<float> progress;
    w.audio->PreloadResources([&](float p) { progress.push_back(p); });
    EXPECT_EQ(progress, (std::vector<float>{0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f}));
    EXPECT_EQ(w.audio->GetEffectTable().size(), 3u);
    EXPECT_TRUE(w.audio->GetCache().IsCached("loop"));
    EXPECT_FALSE(w.audio->GetCache().IsCached("beep"));

    World empty;
    empty.WriteFiles({});
    ASSERT_TRUE(empty.Init());
    progress.clear();
    empty.audio->PreloadResources([&](float p) { progress.push_back(p); });
    EXPECT_EQ(progress, std::vector<float>{1.0f});
}

TEST(AudioMan, ReloadKeepsBuffersInUseAndReadsTheFilesAgain) {
    World w;
    w.WriteFiles(kEffects);
    ASSERT_TRUE(w.Init());
    auto playing = w.audio->CreateEmitter("Shot");
    playing->Play();
    EXPECT_TRUE(w.audio->PlaySound("Click"));
    w.Run(400);  // the click has finished and been reclaimed
    const int buffers = Audio::LiveBufferCount();
    EXPECT_EQ(w.audio->GetCache().GetCachedCount(), 2u);

    // The click now points at another sound; the console command re-reads.
    AudioTest::WriteFile(w.effects, "[Click]\nresource = long\nloop = 0\npositional = 0\ntype = ui\n");
    Utility::Console::Execute("call audio_reload_effects");
    EXPECT_TRUE(w.audio->GetCache().IsCached("long"));
    EXPECT_FALSE(w.audio->GetCache().IsCached("beep"));
    EXPECT_EQ(Audio::LiveBufferCount(), buffers - 1);
    EXPECT_EQ(playing->GetState(), AL_PLAYING);
    EXPECT_EQ(w.audio->GetEffect("Click").resource, "long");
}

TEST(AudioMan, EffectsShareTheirSoundDataAndTheConsoleSwitchesFiles) {
    World w;
    w.WriteFiles({{"Shot", "long"}, {"Shot2", "long"}});
    ASSERT_TRUE(w.Init());
    auto a = w.audio->CreateEmitter("Shot");
    auto b = w.audio->CreateEmitter("Shot2");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetBuffer(), b->GetBuffer());
    a->Play();
    b->Play();
    EXPECT_EQ(a->GetState(), AL_PLAYING);
    EXPECT_EQ(b->GetState(), AL_PLAYING);
    EXPECT_EQ(a->GetBuffer()->GetAttachCount(), 2);

    // Another effects file named at the console takes effect at the reload.
    const std::string other = w.dir + "/other.ini";
    AudioTest::WriteFile(other, "[Shot]\nresource = beep\nloop = 1\npositional = 0\ntype = ui\n");
    Utility::Console::Execute("set audio_effects_config " + other);
    EXPECT_EQ(w.audio->GetEffect("Shot").resource, "long");
    Utility::Console::Execute("call audio_reload_effects");
    EXPECT_EQ(w.audio->GetEffectsFile(), other);
    EXPECT_EQ(w.audio->GetEffect("Shot").resource, "beep");
    EXPECT_EQ(w.audio->GetEffect("Shot").priorityClass, 2);
}

TEST(AudioMan, AMissingOrDamagedFileIsNamedOnceAndTheRestPlays) {
    World w;
    AudioTest::WriteFile(w.dir + "/broken.wav", "RIFF\x04\x00\x00\x00WAVEjunk");
    w.AddResourceText("broken", "[broken]\nfilename = " + w.dir + "/broken.wav\ntype = wav\n");
    w.AddResourceText("gone", "[gone]\nfilename = " + w.dir + "/gone.wav\ntype = wav\n");
    w.AddResourceText("odd", "[odd]\nfilename = " + w.dir + "/beep.wav\ntype = mp3\n");
    w.WriteFiles({{"Broken", "broken"}, {"Gone", "gone"}, {"Odd", "odd"}, {"Fine", "beep"}});
    ASSERT_TRUE(w.Init());
    ProblemLog log;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(w.audio->PlaySound("Broken"));
        EXPECT_FALSE(w.audio->PlaySound("Gone"));
        EXPECT_FALSE(w.audio->PlaySound("Odd"));
    }
    EXPECT_TRUE(w.audio->PlaySound("Fine"));
    EXPECT_EQ(log.Count("broken.wav is damaged"), 1);
    EXPECT_EQ(log.Count("gone.wav is missing"), 1);
    EXPECT_EQ(log.Count("odd"), 1);
    EXPECT_EQ(log.lines.size(), 3u);
}

// Loudness of the left and right channels over a rendered stretch.
std::pair<double, double> LeftRight(const std::vector<float>& v) {
    const size_t frames = v.size() / 2;
    return {AudioTest::Rms(v, 0, frames, 2, 0), AudioTest::Rms(v, 0, frames, 2, 1)};
}

TEST(AudioMan, FarSoundsAreQuieterAndSidesFollowTheGameAxes) {
    World w;
    w.WriteFiles({{"Hum", "long", true, true, "ambiance"}});
    ASSERT_TRUE(w.Init());
    // The listener at the origin looking along +z (the game's forward), up +y.
    Audio::ListenerPose pose;
    Audio::UpdateListener(pose);
    auto measure = [&](float x, float y, float z) {
        auto e = w.audio->CreateEmitter("Hum");
        e->SetPosition(x, y, z);
        e->Play();
        w.Render(50);
        auto lr = LeftRight(w.Render(200));
        e->Stop();
        w.audio->Update();
        return lr;
    };
    const auto near = measure(0, 0, 2);
    const auto far = measure(0, 0, 40);
    EXPECT_GT(near.first + near.second, 5.0 * (far.first + far.second));
    EXPECT_GT(far.first + far.second, 0.0);

    // +x is to the right of a listener facing +z in the game's left-handed space.
    const auto right = measure(5, 0, 0);
    EXPECT_GT(right.second, 2.0 * right.first);
    // Turn round (face -z): the same sound is now on the left.
    pose.lookAt[2] = -1.0f;
    Audio::UpdateListener(pose);
    const auto turned = measure(5, 0, 0);
    EXPECT_GT(turned.first, 2.0 * turned.second);
    // In front and behind are told apart by the flip too: a sound ahead of
    // a listener that moved forward is nearer and louder.
    pose = Audio::ListenerPose();
    pose.eye[2] = 30.0f;
    pose.lookAt[2] = 31.0f;
    Audio::UpdateListener(pose);
    const auto ahead = measure(0, 0, 32);
    EXPECT_GT(ahead.first + ahead.second, 5.0 * (far.first + far.second));
}

TEST(AudioMan, NonPositionalSoundsDoNotFallWithDistance) {
    World w;
    w.WriteFiles({{"Hud", "long", true, false, "ui"}});
    ASSERT_TRUE(w.Init());
    auto e = w.audio->CreateEmitter("Hud");
    e->SetPosition(0, 0, 0);
    e->Play();
    w.Render(50);
    const auto atListener = LeftRight(w.Render(200));
    Audio::ListenerPose pose;
    pose.eye[0] = 500.0f;
    pose.lookAt[0] = 500.0f;
    Audio::UpdateListener(pose);
    const auto moved = LeftRight(w.Render(200));
    EXPECT_NEAR(atListener.first, moved.first, 0.05 * atListener.first);
    EXPECT_GT(atListener.first, 0.1);
}

TEST(AudioMan, ListenerVelocityIsInUnitsPerSecond) {
    World w;
    w.WriteFiles(kEffects);
    ASSERT_TRUE(w.Init());
    Audio::ListenerPose pose;
    pose.displacement[0] = 0.5f;
    pose.displacement[2] = 0.25f;
    pose.elapsedMs = 25;
    Audio::UpdateListener(pose);
    float v[3];
    alGetListenerfv(AL_VELOCITY, v);
    EXPECT_FLOAT_EQ(v[0], 20.0f);
    EXPECT_FLOAT_EQ(v[2], -10.0f);
    float o[6];
    alGetListenerfv(AL_ORIENTATION, o);
    EXPECT_FLOAT_EQ(o[2], -1.0f);  // forward is the game's +z
    EXPECT_FLOAT_EQ(o[4], 1.0f);
}

TEST(AudioMan, OpensTheSystemDeviceAndSaysWhenItIsSilent) {
    // The test program runs OpenAL Soft on its null back end (NullDevice.cpp).
    World w;
    w.WriteFiles(kEffects);
    w.audio = std::make_unique<Audio::AudioMan>(w.config);
    ProblemLog log;
    ASSERT_TRUE(w.audio->Init());
    EXPECT_EQ(log.Count("null device"), 1);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(w.audio->PlaySound("Click"));
    w.audio->ShutDown();
    w.audio->ShutDown();
    EXPECT_EQ(w.audio->GetDevice(), nullptr);
}

}  // namespace
