#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "AudioFixture.h"
#include "audio/AudioBuffer.h"
#include "audio/VorbisLibrary.h"
#include "audio/VorbisStream.h"
#include "ini/IniFile.h"

namespace {

// Every sound the game asks for by name: the effect table's sounds, the
// event sounds and the two music tracks.
const char* const kNames[] = {
    "DeathSelfVO", "DeathSelfVO2", "DeathSelfVO3", "DeathSelfVO4", "DeathSelf", "KilledSomeoneVO",
    "KilledSomeoneVO2", "KilledSomeoneVO3", "BoomVO", "BoomVO2", "CelebrateVO1", "CelebrateVO2", "CelebrateVO3",
    "AddBlockToPouchUI", "AddBlockToFullPouch", "SpeechBubblePopupTutorial", "SpeechBubblePopup", "SpawnCountdown",
    "FlagCapFriendly", "FlagCapEnemy", "AngelFlagTaken", "DemonFlagTaken", "AngelScore", "DemonScore", "JumpSelf1",
    "JumpSelf2", "JumpSelf3", "UIMouseClick", "UIMouseOver", "UIMouseOut", "Mirav1", "Mirav2", "Credits",
    "Whistle", "ThrowBlock3D", "Explosion", "BombSpawn", "FlagCap3D", "FlagAutoRecover3D", "FlagRecover3D",
    "FlagSpawn3D", "Spawn", "Death3D", "CollisionSlow", "CollisionMed", "CollisionFast", "CollisionPlayer",
    "MenuMusic", "Level1Music",
};

// The manager on the shipped settings (the working directory is data/).
struct Shipped : AudioTest::World {
    Shipped() {
        config = "Config/Config.ini";
        EXPECT_TRUE(Init());
    }
};

TEST(ShippedSounds, EveryNamedSoundIsDefinedAndLoads) {
    Shipped w;
    ASSERT_TRUE(w.audio->IsEnabled());
    AudioTest::ProblemLog log;
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const Audio::EffectInfo& e = w.audio->GetEffect(name);
        ASSERT_FALSE(e.resource.empty());
        auto emitter = w.audio->CreateEmitter(name);
        ASSERT_TRUE(emitter);
        const bool music = std::string(name).find("Music") != std::string::npos;
        EXPECT_EQ(e.priorityClass == 0, music);
        EXPECT_EQ(e.loop, music);
        EXPECT_EQ(emitter->GetBuffer()->IsStreaming(), music);
        emitter->Detach();
        emitter->ReleaseSource();
    }
    // No effect uses a class name outside the six.
    EXPECT_EQ(w.audio->GetClassTable().size(), 6u);
    EXPECT_TRUE(log.lines.empty()) << log.lines.front();
    // Everything the effects file defines loads in the preload too.
    w.audio->PreloadResources({});
    EXPECT_TRUE(log.lines.empty());
}

TEST(ShippedSounds, EffectsAreAudibleAndDoNotClip) {
    Shipped w;
    for (const char* name : kNames) {
        if (std::string(name).find("Music") != std::string::npos) continue;
        SCOPED_TRACE(name);
        auto e = w.audio->CreateEmitter(name);
        ASSERT_TRUE(e);
        e->SetPosition(0.0f, 0.0f, 3.0f);
        e->Play();
        std::vector<float> mixed = w.Run(400, 20);
        float peak = 0.0f;
        for (float v : mixed) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.02f);
        EXPECT_LT(peak, 1.0f);
        e->Stop();
        w.Run(20);
    }
}

TEST(ShippedSounds, MusicLoopsWithoutASeam) {
    ASSERT_TRUE(Audio::LoadVorbisLibrary());
    for (const char* file : {"Music/MenuMusic.ogg", "Music/Level1Music.ogg"}) {
        SCOPED_TRACE(file);
        std::FILE* f = std::fopen(file, "rb");
        ASSERT_TRUE(f);
        std::vector<uint8_t> bytes;
        uint8_t chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
        Audio::VorbisStream s;
        ASSERT_TRUE(s.Open(bytes));
        EXPECT_EQ(s.GetChannels(), 2);
        std::vector<int16_t> pcm;
        std::vector<char> block(16384);
        long got;
        while ((got = s.Read(block.data(), static_cast<int>(block.size()))) > 0) {
            const auto* p = reinterpret_cast<const int16_t*>(block.data());
            pcm.insert(pcm.end(), p, p + got / 2);
        }
        ASSERT_EQ(got, 0);
        ASSERT_GT(pcm.size(), 44100u * 2 * 20);  // at least 20 s
        // The step from the last frame to the first is no bigger than the
        // steps the music takes inside itself.
        int largest = 0;
        for (size_t i = 2; i < pcm.size(); ++i) largest = std::max(largest, std::abs(pcm[i] - pcm[i - 2]));
        for (int c = 0; c < 2; ++c)
            EXPECT_LE(std::abs(pcm[pcm.size() - 2 + c] - pcm[c]), largest);
        const auto loudest = *std::max_element(pcm.begin(), pcm.end());
        EXPECT_GT(loudest, 8000);
        EXPECT_LT(loudest, 32000);
    }
}

}  // namespace
