#include <gtest/gtest.h>

#include "AudioFixture.h"
#include "audio/AudioBuffer.h"
#include "audio/SourcePool.h"
#include "audio/StreamingBuffer.h"

namespace {

using AudioTest::EffectDef;
using AudioTest::World;

// Effects of every class over the standard sounds.
std::vector<EffectDef> Effects() {
    return {
        {"Shot", "long", false, false, "event"},         {"Boom", "long", false, false, "high_event"},
        {"Wind", "long", true, false, "ambiance"},       {"Click", "beep", false, false, "ui"},
        {"Song", "loop", true, false, "music"},          {"Voice", "voice", false, false, "event"},
        {"Hum", "long", false, false, "ambiance"},
    };
}

struct PoolWorld : World {
    explicit PoolWorld(bool nullDevice = false) {
        WriteFiles(Effects());
        EXPECT_TRUE(nullDevice ? InitNullDevice() : Init());
    }
    std::shared_ptr<Audio::Emitter> Play(const std::string& effect) {
        auto e = audio->CreateEmitter(effect);
        if (e) e->Play();
        return e;
    }
    Audio::SourcePool& pool() { return audio->GetPool(); }
};

TEST(SourcePool, StealsByPriorityOldestFirst) {
    struct Case {
        const char* what;
        std::vector<std::string> holders;  // played in this order on the four sources
        std::vector<int> finished;         // holders stopped before the request
        std::string request;
        int taken;                         // index of the holder that loses its source, -1: the request fails
    };
    const Case cases[] = {
        {"looping ambiance is never taken", {"Wind", "Wind", "Wind", "Wind"}, {}, "Click", -1},
        {"a finished loop is taken", {"Wind", "Wind", "Wind", "Wind"}, {2}, "Click", 2},
        {"a less important class cannot take", {"Shot", "Shot", "Shot", "Shot"}, {}, "Hum", -1},
        {"same class takes the oldest one-shot", {"Shot", "Shot", "Shot", "Shot"}, {}, "Shot", 0},
        {"least important class first", {"Boom", "Shot", "Boom", "Shot"}, {}, "Click", 1},
        {"loops skipped, the oldest one-shot of the lowest class offering one",
         {"Wind", "Boom", "Shot", "Wind"}, {}, "Song", 2},
        {"music takes from any class", {"Boom", "Boom", "Click", "Boom"}, {}, "Song", 0},
        {"a playing stream is never taken by a one-shot", {"Voice", "Shot", "Shot", "Shot"}, {}, "Shot", 1},
        {"nothing but streams and loops: no source", {"Voice", "Wind", "Song", "Wind"}, {}, "Shot", -1},
        {"a stopped stream is taken", {"Voice", "Wind", "Song", "Wind"}, {0}, "Shot", 0},
    };
    // On the loopback device and on OpenAL Soft's null back end.
    for (bool nullDevice : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SCOPED_TRACE(nullDevice ? "null back end" : "loopback");
        PoolWorld w(nullDevice);
        std::vector<std::shared_ptr<Audio::Emitter>> held;
        for (const std::string& h : c.holders) {
            held.push_back(w.Play(h));
            ASSERT_TRUE(held.back() && held.back()->HasSource());
        }
        w.Render(20);
        for (int i : c.finished) held[i]->Stop();
        std::vector<ALuint> sources;
        for (auto& h : held) sources.push_back(h->GetSource());
        ASSERT_EQ(w.pool().GetFreeCount(), 0u);

        auto added = w.Play(c.request);
        if (c.taken < 0) {
            EXPECT_FALSE(added);
            for (auto& h : held) EXPECT_TRUE(h->HasSource());
            continue;
        }
        ASSERT_TRUE(added);
        EXPECT_EQ(added->GetSource(), sources[c.taken]);
        EXPECT_EQ(added->GetState(), AL_PLAYING);
        for (size_t i = 0; i < held.size(); ++i)
            EXPECT_EQ(held[i]->HasSource(), static_cast<int>(i) != c.taken) << "holder " << i;
        // The pool's records follow: four in use, the request under its class.
        EXPECT_EQ(w.pool().GetInUseCount(), 4u);
        bool found = false;
        for (const auto& r : *w.pool().GetInUse(added->GetPriority())) found = found || r.holder == added.get();
        EXPECT_TRUE(found);
    }
}

TEST(SourcePool, KeepsTheSourcesOpenALCanGive) {
    // OpenAL Soft gives 256 sources per device by default.
    World w;
    w.WriteFiles(Effects());
    ASSERT_TRUE(w.Init());
    Audio::SourcePool pool;
    EXPECT_TRUE(pool.Create(300));
    EXPECT_EQ(pool.GetSourceCount() + w.audio->GetPool().GetSourceCount(), 256u);
    EXPECT_EQ(pool.GetFreeCount(), pool.GetSourceCount());
    pool.Destroy();
    EXPECT_FALSE(pool.Create(0));
    EXPECT_EQ(pool.GetSourceCount(), 0u);
}

TEST(SourcePool, FinishedSoundsGiveTheirSourcesBackButUnplayedOnesKeepThem) {
    PoolWorld w;
    auto unplayed = w.audio->CreateEmitter("Shot");
    EXPECT_TRUE(w.audio->PlaySound("Click"));  // 0.3 s, nobody keeps it
    EXPECT_EQ(w.pool().GetFreeCount(), 2u);
    EXPECT_EQ(w.pool().GetActiveCount(), 2u);
    w.Run(500);
    EXPECT_EQ(w.pool().GetFreeCount(), 3u);
    EXPECT_EQ(w.pool().GetActiveCount(), 1u);
    EXPECT_TRUE(unplayed->HasSource());
    EXPECT_EQ(unplayed->GetState(), AL_INITIAL);
}

// A buffer that refuses every emitter.
struct RefusingBuffer : Audio::Buffer {
    bool Attach(Audio::Emitter*) override { return false; }
};

TEST(SourcePool, AFailedAttachGivesTheSourceBack) {
    PoolWorld w;
    RefusingBuffer refusing;
    {
        Audio::Emitter e(&w.pool());
        EXPECT_FALSE(e.Attach(&refusing, 4, false, false));
        EXPECT_FALSE(e.HasSource());
        EXPECT_EQ(w.pool().GetFreeCount(), 4u);
        EXPECT_EQ(w.pool().GetInUseCount(), 0u);
    }
    // With every source held, stealing walks records of live emitters only.
    std::vector<std::shared_ptr<Audio::Emitter>> held;
    for (int i = 0; i < 4; ++i) held.push_back(w.Play("Shot"));
    EXPECT_TRUE(w.Play("Shot"));
}

TEST(SourcePool, DestroyingAnEmitterClearsEveryPointerToIt) {
    PoolWorld w;
    auto beep = w.audio->GetCache().GetBuffer("long");
    auto stream = w.audio->GetCache().GetBuffer("loop");
    ASSERT_TRUE(beep && stream);
    {
        // Emitters the pool does not keep alive, destroyed while they hold
        // sources and buffers.
        auto a = std::make_unique<Audio::Emitter>(&w.pool());
        auto b = std::make_unique<Audio::Emitter>(&w.pool());
        ASSERT_TRUE(a->Attach(beep.get(), 4, false, false));
        ASSERT_TRUE(b->Attach(stream.get(), 0, false, true));
        a->Play();
        b->Play();
        EXPECT_EQ(beep->GetAttachCount(), 1);
        EXPECT_EQ(static_cast<Audio::StreamingBuffer*>(stream.get())->GetAttachedEmitter(), b.get());
        a.reset();
        b.reset();
    }
    EXPECT_EQ(w.pool().GetFreeCount(), 4u);
    EXPECT_EQ(w.pool().GetInUseCount(), 0u);
    EXPECT_EQ(beep->GetAttachCount(), 0);
    EXPECT_EQ(static_cast<Audio::StreamingBuffer*>(stream.get())->GetAttachedEmitter(), nullptr);
    // Filling the pool and stealing reads only live records (ASan would see a dead one).
    std::vector<std::shared_ptr<Audio::Emitter>> held;
    for (int i = 0; i < 5; ++i) held.push_back(w.Play("Shot"));
    EXPECT_TRUE(held[4]);
    w.Run(100);
}

TEST(SourcePool, AStoppedStreamStaysStopped) {
    PoolWorld w;
    auto song = w.Play("Song");
    ASSERT_TRUE(song);
    w.Run(300);
    EXPECT_EQ(song->GetState(), AL_PLAYING);
    song->Stop();
    w.Run(300);
    EXPECT_FALSE(song->HasSource());
    EXPECT_EQ(w.pool().GetFreeCount(), 4u);
    EXPECT_EQ(w.pool().GetActiveCount(), 0u);
}

TEST(SourcePool, ATakenStreamMovesToTheNewEmitterFromItsStart) {
    PoolWorld w;
    auto first = w.Play("Song");
    w.Run(200);
    auto second = w.Play("Song");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetBuffer(), nullptr);
    EXPECT_NE(first->GetState(), AL_PLAYING);
    EXPECT_EQ(second->GetState(), AL_PLAYING);
    w.Run(100);
    EXPECT_FALSE(first->HasSource());
    EXPECT_EQ(w.pool().GetActiveCount(), 1u);
}

}  // namespace
