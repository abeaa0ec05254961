// Sound, particle and on-screen feedback: the effect handler on its own with
// a recording output, the shipped tables against the shipped data, and the
// real view on a real logic.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gameviews/CueManager.h"
#include "gameviews/EffectEventHandler.h"
#include "gameviews/SpeechBubbleMan.h"
#include "gameviews/ViewPlayer.h"
#include "processes/Process.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "support/Harness.h"
#include "ViewFixture.h"
#include "utility/Diagnostics.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

struct Recorder : IEffectOutput {
    struct Sound {
        std::string name;
        Vector3 at;
        bool positional;
        bool stopped = false;
        bool finished = false;
    };
    struct Particle {
        int tag;
        Vector3 at, dir;
    };
    std::vector<std::shared_ptr<Sound>> sounds;
    std::vector<Particle> particles;

    void PlaySound(const std::string& name) override {
        sounds.push_back(std::make_shared<Sound>(Sound{name, Vector3(0, 0, 0), false}));
    }
    SoundHandle PlaySoundAt(const std::string& name, const Vector3& p) override {
        sounds.push_back(std::make_shared<Sound>(Sound{name, p, true}));
        return sounds.back();
    }
    void StopSound(const SoundHandle& h) override {
        if (h) static_cast<Sound*>(h.get())->stopped = true;
    }
    bool IsSounding(const SoundHandle& h) override {
        auto* s = static_cast<Sound*>(h.get());
        return s && !s->stopped && !s->finished;
    }
    void MoveSound(const SoundHandle& h, const Vector3& p) override {
        if (h) static_cast<Sound*>(h.get())->at = p;
    }
    void AddParticleEffect(int tag, const Vector3& p, const Vector3& d, bool) override {
        particles.push_back({tag, p, d});
    }
    std::vector<std::string> SoundNames() const {
        std::vector<std::string> n;
        for (auto& s : sounds) n.push_back(s->name);
        return n;
    }
    std::vector<int> Tags() const {
        std::vector<int> t;
        for (auto& p : particles) t.push_back(p.tag);
        return t;
    }
    void Clear() {
        sounds.clear();
        particles.clear();
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Deliver(EventSystem::IEvent* e) {
    EventSystem::QueueEvent(e);
    EventSystem::ProcessEventQueue();
}

EventSystem::IEvent* Effect(const std::string& name, float x = 0.0f) {
    return new EventTypes::EventCreateEffect(name, Vector3(x, 1, 2), Vector3(0, 1, 0), 0);
}

EventSystem::IEvent* Collision(float s, const char* a, const char* b, const Vector3& at = Vector3(0, 0, 0)) {
    EventTypes::EventUpdateCollisionData report;
    report.normalSpeed = s;
    report.point = at;
    report.normal = Vector3(0, 1, 0);
    report.typeHashA = EventSystem::HashEventName(a);
    report.typeHashB = EventSystem::HashEventName(b);
    auto* e = new EventTypes::EventUpdateCollisionToClient();
    e->SetData(new EventTypes::EventUpdateCollisionToClientData(report));
    return e;
}

class HandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Create();
    }
    void TearDown() override {
        handler.Reset();
        TestSupport::ResetSingletons();
    }
    void Start(bool menu) {
        handler.Reset();
        handler.Initialize(&out, &processes, menu);
    }
    Recorder out;
    ProcessSystem::ProcessManager processes;
    EffectEventHandler handler;
};

// The bots chat all the time; the view tests keep every line but the ones
// they raise themselves away from the bubbles, so theirs is neither talked
// over nor crowded out. The returned registry holds the filter.
std::unique_ptr<EventSystem::EventRegistry> HushTheBotsBut(std::vector<std::string> own) {
    auto r = std::make_unique<EventSystem::EventRegistry>();
    r->Register(EventTypes::EventCommandCreateSpeechBubble::GetStaticType(), [own](const EventSystem::IEvent& e) {
        const auto* b = dynamic_cast<const EventTypes::EventCommandCreateSpeechBubble*>(&e);
        return b && b->GetPayload() && std::find(own.begin(), own.end(), b->GetPayload()->text) == own.end();
    });
    return r;
}

}  // namespace

TEST_F(HandlerTest, PlayedMatchHoldsEveryEffectAndTheBackdropOnlyTheInterfaceOnes) {
    Start(false);
    // The written table's 28 rows and the flag view's six team effects.
    EXPECT_EQ(handler.GetEffectTable().size(), 34u);
    Start(true);
    std::set<std::string> names;
    for (auto& [n, e] : handler.GetEffectTable()) names.insert(n);
    EXPECT_EQ(names, (std::set<std::string>{"UIMouseClick", "UIMouseOver", "UIMouseOut", "Mirav", "Credits"}));
    // In the backdrop: interface sounds play, a match effect does nothing,
    // an explosion shows its particle without its sound.
    std::vector<std::string> warnings;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { warnings.push_back(m); });
    Deliver(Effect("UIMouseClick"));
    Deliver(Effect("SelfDeathCue"));
    Utility::SetProblemSink(nullptr);
    // The backdrop's match raising its usual effects is expected, not a fault of the data.
    EXPECT_TRUE(warnings.empty());
    Deliver(new EventTypes::EventUpdateExplosion(Vector3(5, 0, 5), 1, 0, 2));
    Deliver(new EventTypes::EventUpdateActorSpawn(3, 0, Vector3(0, 4, 0), Geometry::Quaternion(), 0, 0));
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"UIMouseClick"});
    EXPECT_EQ(out.Tags(), (std::vector<int>{5, 9}));
}

TEST_F(HandlerTest, NamedEffectsChooseRepeatablyStopTheirPredecessorAndIgnoreUnknownNames) {
    Start(false);
    for (int i = 0; i < 12; ++i) Deliver(Effect("JumpSelf"));
    const std::vector<std::string> first = out.SoundNames();
    std::set<std::string> distinct(first.begin(), first.end());
    EXPECT_EQ(distinct, (std::set<std::string>{"JumpSelf1", "JumpSelf2", "JumpSelf3"}));
    out.Clear();
    Start(false);  // a fresh handler sequence: the same choices
    EffectEventHandler again;
    handler.Reset();
    again.Initialize(&out, &processes, false);
    for (int i = 0; i < 12; ++i) Deliver(Effect("JumpSelf"));
    EXPECT_EQ(out.SoundNames(), first);
    again.Reset();
    Start(false);
    out.Clear();

    Deliver(Effect("Jump"));
    EXPECT_TRUE(out.sounds.empty());
    EXPECT_EQ(out.Tags(), std::vector<int>{0});

    out.Clear();
    Deliver(Effect("AngelFlagTaken", 7.0f));
    Deliver(Effect("AngelFlagTaken", 8.0f));
    Deliver(Effect("AngelFlagTaken", 7.0f));
    ASSERT_EQ(out.sounds.size(), 3u);
    EXPECT_TRUE(out.sounds[0]->stopped);
    EXPECT_FALSE(out.sounds[1]->stopped);
    EXPECT_FALSE(out.sounds[2]->stopped);

    out.Clear();
    std::vector<std::string> warnings;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { warnings.push_back(m); });
    Deliver(Effect("NoSuchEffect"));
    Deliver(Effect("NoSuchEffect"));
    Utility::SetProblemSink(nullptr);
    ASSERT_EQ(warnings.size(), 1u);  // once per name
    EXPECT_NE(warnings[0].find("NoSuchEffect"), std::string::npos);
    EXPECT_TRUE(out.sounds.empty());
    EXPECT_TRUE(out.particles.empty());
    EXPECT_EQ(handler.GetEffectTable().count("NoSuchEffect"), 0u);
}

TEST_F(HandlerTest, EffectEventIsConsumedByTheHandler) {
    // The event manager serves its first subscriber last: a listener that
    // was there before the handler comes after it and must not see the event.
    int later = 0;
    EventSystem::EventRegistry other;
    other.Register(EventTypes::EventCreateEffect::GetStaticType(), [&](const EventSystem::IEvent&) {
        ++later;
        return false;
    });
    Start(false);
    Deliver(Effect("UIMouseOver"));
    EXPECT_EQ(later, 0);
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"UIMouseOver"});
    other.UnregisterAll();
}

TEST_F(HandlerTest, CollisionsSoundByPairAndStrength) {
    Start(false);
    struct Case {
        float s;
        const char *a, *b;
        const char* sound;  // null: nothing
        int tag;
    } cases[] = {
        {9.9f, "box", "plane", nullptr, -1},        {10.0f, "plane", "box", "CollisionSlow", 19},
        {40.0f, "solid", "massless_box", "CollisionMed", 20}, {-60.0f, "box", "box", "CollisionFast", 21},
        {39.0f, "character", "plane", nullptr, -1}, {40.0f, "bot", "box", "CollisionPlayer", 19},
        {80.0f, "bot", "character", nullptr, -1},   {80.0f, "flag", "box", nullptr, -1},
        {80.0f, "plane", "plane", nullptr, -1},    {45.0f, "box", "character", "CollisionPlayer", 19},
        {60.0f, "plane", "bot", "CollisionPlayer", 19},
    };
    for (const Case& c : cases) {
        out.Clear();
        Deliver(Collision(c.s, c.a, c.b, Vector3(1, 1, 1)));
        SCOPED_TRACE(std::string(c.a) + "-" + c.b + " " + std::to_string(c.s));
        if (!c.sound) {
            EXPECT_TRUE(out.sounds.empty());
            EXPECT_TRUE(out.particles.empty());
            continue;
        }
        ASSERT_EQ(out.sounds.size(), 1u);
        EXPECT_EQ(out.sounds[0]->name, c.sound);
        EXPECT_EQ(out.Tags(), std::vector<int>{c.tag});
    }
    // The physics' report of the same name is not for the views.
    out.Clear();
    Deliver(new EventTypes::EventUpdateCollision(0, 80.0f, Vector3(0, 0, 0), Vector3(0, 1, 0), 1, 1.0f, 2, 1.0f));
    EXPECT_TRUE(out.sounds.empty());
}

TEST_F(HandlerTest, ExplosionQuietsNearbyBlockCollisionsForAWhile) {
    Start(false);
    Deliver(new EventTypes::EventUpdateExplosion(Vector3(0, 0, 0), 1, 0, 2));
    ASSERT_EQ(out.SoundNames(), std::vector<std::string>{"Explosion"});
    processes.UpdateProcesses(900);
    out.Clear();
    Deliver(Collision(30.0f, "box", "plane", Vector3(19, 0, 0)));
    EXPECT_TRUE(out.sounds.empty());
    Deliver(Collision(30.0f, "box", "plane", Vector3(21, 0, 0)));
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"CollisionSlow"});
    processes.UpdateProcesses(200);
    processes.UpdateProcesses(16);
    out.Clear();
    Deliver(Collision(30.0f, "box", "plane", Vector3(19, 0, 0)));
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"CollisionSlow"});
    EXPECT_EQ(handler.GetQuietZoneCount(), 0u);
}

TEST_F(HandlerTest, ReportsGiveTheirSoundsAndParticlesAndLowDetailDropsTheMinorOnes) {
    Start(false);
    Deliver(new EventTypes::EventUpdateFlagRecovered(4, 1, -1, Vector3(1, 0, 0), Vector3(9, 0, 0)));
    EXPECT_EQ(out.SoundNames(), (std::vector<std::string>{"FlagAutoRecover3D", "FlagSpawn3D"}));
    EXPECT_EQ(out.Tags(), (std::vector<int>{13, 14}));
    EXPECT_FLOAT_EQ(out.particles[1].at.x, 9.0f);
    out.Clear();
    Deliver(new EventTypes::EventUpdateActorDeath(3, 4, Vector3(1, 0, 0), Vector3(2, 2, 2)));
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"Death3D"});
    EXPECT_EQ(out.Tags(), (std::vector<int>{18, 33}));
    EXPECT_FLOAT_EQ(out.particles[0].dir.x, -1.0f);
    out.Clear();
    Deliver(new EventTypes::EventCommandWhistle(3));
    ASSERT_EQ(out.sounds.size(), 1u);
    EXPECT_FALSE(out.sounds[0]->positional);

    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 1);
    out.Clear();
    Deliver(new EventTypes::EventUpdateActorDeath(3, 4, Vector3(1, 0, 0), Vector3(2, 2, 2)));
    Deliver(new EventTypes::EventUpdateFlagCaptured(3, 0, 1, 4, Vector3(0, 10, 0)));
    EXPECT_EQ(out.SoundNames(), (std::vector<std::string>{"Death3D", "FlagCap3D"}));
    ASSERT_EQ(out.Tags(), std::vector<int>{11});
    EXPECT_FLOAT_EQ(out.particles[0].at.y, 4.0f);
}

TEST_F(HandlerTest, ActorSoundsFollowTheirActorUntilTheyEnd) {
    Start(false);
    handler.PlaySoundOnActor("Spawn", 3, Vector3(0, 0, 0));
    handler.PlaySoundOnActor("Death3D", 3, Vector3(0, 0, 0));
    handler.PlaySoundOnActor("Spawn", 4, Vector3(1, 1, 1));
    ASSERT_EQ(out.sounds.size(), 3u);
    Deliver(new EventTypes::EventUpdateActorMove(3, Vector3(5, 6, 7), Geometry::Quaternion()));
    EXPECT_FLOAT_EQ(out.sounds[0]->at.x, 5.0f);
    EXPECT_FLOAT_EQ(out.sounds[1]->at.z, 7.0f);
    EXPECT_FLOAT_EQ(out.sounds[2]->at.x, 1.0f);  // another actor's sound stays
    // A finished sound is let go at the actor's next move and no longer moved.
    out.sounds[0]->finished = true;
    Deliver(new EventTypes::EventUpdateActorMove(3, Vector3(8, 8, 8), Geometry::Quaternion()));
    EXPECT_FLOAT_EQ(out.sounds[0]->at.x, 5.0f);
    EXPECT_FLOAT_EQ(out.sounds[1]->at.x, 8.0f);
    EXPECT_EQ(handler.GetActorSoundCount(), 2u);
    // The menu backdrop plays none; a reset forgets them.
    Start(true);
    handler.PlaySoundOnActor("Spawn", 3, Vector3(0, 0, 0));
    EXPECT_EQ(out.sounds.size(), 3u);
    EXPECT_EQ(handler.GetActorSoundCount(), 0u);
}

// -------------------------------------------------------------- shipped data

TEST(FeedbackTables, EveryRaisedNameIsInTheShippedTablesAndData) {
    // Names raised in code as literals: every "VtVCreateEffect" and
    // "VtVCreateCue" built from a string in the sources.
    std::set<std::string> effects, cues;
    // Also the names handed to the small wrappers that queue them, the team
    // effects (a team's prefix before the name) and the menus' "effect" keys.
    const std::regex effectRe(R"((?:EventCreateEffect|\bEffect|QueueUIEffect)\(\s*\"([^\"]+)\")"),
        cueRe(R"((?:EventCreateCue|\bCue)\(\s*\"([^\"]+)\")"), teamRe(R"(TeamEffect\([^,]+,\s*\"([^\"]+)\")"),
        menuRe(R"((?:^|\n)\s*effect\s*=\s*(\S+))");
    for (auto& f : std::filesystem::recursive_directory_iterator("../src")) {
        if (f.path().extension() != ".cpp" && f.path().extension() != ".h") continue;
        const std::string text = ReadFile(f.path().string());
        for (std::sregex_iterator i(text.begin(), text.end(), effectRe), end; i != end; ++i) effects.insert((*i)[1]);
        for (std::sregex_iterator i(text.begin(), text.end(), cueRe), end; i != end; ++i) cues.insert((*i)[1]);
        for (std::sregex_iterator i(text.begin(), text.end(), teamRe), end; i != end; ++i)
            effects.insert({"Angel" + (*i)[1].str(), "Demon" + (*i)[1].str()});
    }
    for (auto& f : std::filesystem::directory_iterator("Config/menus")) {
        const std::string text = ReadFile(f.path().string());
        for (std::sregex_iterator i(text.begin(), text.end(), menuRe), end; i != end; ++i) effects.insert((*i)[1]);
    }
    ASSERT_TRUE(effects.count("AngelFlagTaken") && effects.count("SelfDeath") && effects.count("UIMouseClick"));
    // And the ones the speech bubbles raise through a name chosen at run time.
    effects.insert({"CreateSpeechBubble", "CreateSpeechBubbleTutorial"});
    const std::vector<std::string> effectNames = EffectEventHandler::AllEffectNames();
    const std::set<std::string> table(effectNames.begin(), effectNames.end());
    for (const std::string& n : effects) EXPECT_TRUE(table.count(n)) << "effect " << n;
    const std::vector<std::string> cueNames = CueManager::AllCueNames();
    const std::set<std::string> cueTable(cueNames.begin(), cueNames.end());
    for (const std::string& n : cues) EXPECT_TRUE(cueTable.count(n)) << "cue " << n;

    // Every sound the handler may play is an audio effect of the shipped file.
    const std::string audio = ReadFile("Config/Audio/AudioEffects.ini");
    ASSERT_FALSE(audio.empty());
    for (const std::string& s : EffectEventHandler::AllSoundNames())
        EXPECT_NE(audio.find("[" + s + "]"), std::string::npos) << "sound " << s;
    // Every text effect the cues and bubbles run is in the effects file.
    TextMan::Instance().LoadEffects("Config/Text/effects.txt");
    for (const char* e : {CueManager::EntryEffect(0), CueManager::EntryEffect(1), CueManager::EntryEffect(2),
                          CueManager::EntryEffect(3), "CueEarlyExit", "SpeechBubble", "SpeechBubbleTutorial"})
        EXPECT_NE(TextMan::Instance().FindEffectSystem(e), nullptr) << "text effect " << e;
}

// ---------------------------------------------------------------- cues

TEST(Cues, SlotsReplaceByKindAndTheWinHidesLaterOnes) {
    TestSupport::ResetSingletons();
    TextMan::Instance().LoadEffects("Config/Text/effects.txt");
    {
        CueManager cues;
        Deliver(new EventTypes::EventCreateCue("FlagTaken", 7, 0));
        ASSERT_TRUE(cues.GetSlot(0));
        EXPECT_EQ(cues.GetSlot(0)->GetText(), "Cloud Kid flag taken!");
        EXPECT_FLOAT_EQ(cues.GetSlot(0)->GetColor().b, 0.9f);
        cues.CreateCue("FlagTakenSelf", 7, 0);
        EXPECT_EQ(cues.GetSlot(0)->GetText(), "You have the Cloud Kid flag!");
        EXPECT_FLOAT_EQ(cues.GetSlot(0)->GetColor().r, 0.8f);
        // Same text still showing: nothing changes.
        for (int t = 0; t < 300; t += 16) UpdateTextEffects(16);
        auto shown = cues.GetSlot(0);
        cues.CreateCue("FlagTakenSelf", 7, 0);
        EXPECT_EQ(cues.GetSlot(0), shown);
        // Once it has faded, the same text enters anew.
        for (int t = 0; t < 4000; t += 16) UpdateTextEffects(16);
        cues.CreateCue("FlagTakenSelf", 7, 0);
        EXPECT_NE(cues.GetSlot(0), shown);
        // A high message about owner 8 leaves owner 7's; about 7 ends it.
        cues.CreateCue("Score", 8, 1);
        EXPECT_TRUE(cues.GetSlot(0));
        EXPECT_EQ(cues.GetSlot(1)->GetText(), "Duzu Radizev score!");
        cues.CreateCue("Score", 7, 0);
        EXPECT_FALSE(cues.GetSlot(0));
        cues.CreateCue("Score21", 0xFFFF, 0);
        cues.CreateCue("NotACue", 1, 0);  // ignored
        cues.CreateCue("Win", 0xFFFF, 1);
        EXPECT_FALSE(cues.GetSlot(1));
        EXPECT_FALSE(cues.GetSlot(3));
        EXPECT_EQ(cues.GetSlot(2)->GetText(), "Duzu Radizev Win!");
        cues.CreateCue("FlagDropped", 3, 0);
        EXPECT_FLOAT_EQ(cues.GetSlot(0)->GetAlpha(), 0.0f);
        cues.ShowCues();
        EXPECT_FLOAT_EQ(cues.GetSlot(0)->GetAlpha(), 1.0f);
        EXPECT_FLOAT_EQ(cues.GetSlot(2)->GetAlpha(), 1.0f);
    }
    TestSupport::ResetSingletons();
}

// ------------------------------------------------------- view and logic

class FeedbackViewTest : public ViewTest::ViewFixture {};

TEST_F(FeedbackViewTest, BackdropIsQuietButForTheInterfaceAndAPlayedMatchSoundsAndShowsCues) {
    Recorder out;
    view->SetEffectOutput(&out);
    ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
    Frames(30);
    EventSystem::QueueEvent(new EventTypes::EventUpdateExplosion(Vector3(0, 2, 0), 1, 0, 2));
    EventSystem::QueueEvent(Effect("UIMouseClick"));
    EventSystem::QueueEvent(Effect("SelfDeathCue"));
    Frames(2);
    EXPECT_EQ(out.SoundNames(), std::vector<std::string>{"UIMouseClick"});
    EXPECT_FALSE(out.particles.empty());
    EXPECT_EQ(view->GetCueManager(), nullptr);

    out.Clear();
    StartPlayedMatch();
    Frames(10);
    // The logic's own reports: the players spawned with a sound each.
    const std::vector<std::string> names = out.SoundNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "Spawn"), names.end());
    EXPECT_NE(std::find(out.Tags().begin(), out.Tags().end(), 9), out.Tags().end());
    out.Clear();
    EventSystem::QueueEvent(new EventTypes::EventUpdateExplosion(Vector3(0, 2, 0), 1, 0, 2));
    EventSystem::QueueEvent(Effect("SelfDeathCue"));
    EventSystem::QueueEvent(new EventTypes::EventCreateCue("FlagTaken", 3, 1));
    Frames(2);
    const std::vector<std::string> after = out.SoundNames();
    EXPECT_NE(std::find(after.begin(), after.end(), "Explosion"), after.end());
    EXPECT_EQ(std::count_if(after.begin(), after.end(), [](const std::string& s) { return s.rfind("DeathSelfVO", 0) == 0; }), 1);
    ASSERT_NE(view->GetCueManager(), nullptr);
    ASSERT_TRUE(view->GetCueManager()->GetSlot(0));
    EXPECT_EQ(view->GetCueManager()->GetSlot(0)->GetText(), "Fire Friend flag taken!");
    view->SetEffectOutput(nullptr);
}

TEST_F(FeedbackViewTest, BotChatLineShowsAsABubbleOverTheBotForItsTimeThenGoes) {
    Recorder out;
    view->SetEffectOutput(&out);
    StartPlayedMatch();
    ASSERT_NE(view->GetSpeechBubbles(), nullptr);
    ASSERT_NE(view->GetPlayerMan(), nullptr);
    int16_t bot = -1;
    for (auto& [id, p] : view->GetPlayerMan()->Players())
        if (id != view->GetPlayerMan()->LocalPlayer()) bot = static_cast<int16_t>(id);
    ASSERT_NE(bot, -1);
    // Served before the bubbles (registered later): the bots' own lines stay
    // out, and those already shown go after their time.
    auto hush = HushTheBotsBut({"Follow me!"});
    const auto& bubbles = view->GetSpeechBubbles()->Bubbles();
    ASSERT_TRUE(Until([&] { return bubbles.empty(); }, 1500));
    out.Clear();
    EventSystem::QueueEvent(new EventTypes::EventCommandCreateSpeechBubble(bot, "Follow me!", 0, 1000, 0));
    Frames(2);
    ASSERT_EQ(bubbles.count(bot), 1u) << bubbles.size() << " other bubbles, " << view->GetPlayerMan()->Players().size() << " players";
    EXPECT_EQ(bubbles.at(bot)->textObj->GetText(), "Follow me!");
    const std::vector<std::string> names = out.SoundNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "SpeechBubblePopup"), names.end());
    // The bubble's pictures: a background as wide as the line asks, a
    // pointer below it, no icon; each with its own render state.
    const SpeechBubble& b = *bubbles.at(bot);
    Gfx::Spatial* scene = Gfx::DrawScreen::Instance()->GetSpatial();
    auto quad = [&](const BubbleQuad& q) {
        std::shared_ptr<Gfx::IDrawObj> obj;
        return q.id != -1 && scene->GetUIObject(q.id, obj) && obj == q.obj ? obj : nullptr;
    };
    auto texture = [](int state) {
        Gfx::GfxState st;
        EXPECT_TRUE(Gfx::GfxEngine::Instance()->GetStateMan()->RequestState(state, st));
        return st.texture;
    };
    auto bg = quad(b.background), pointer = quad(b.pointer);
    ASSERT_TRUE(bg && pointer);
    EXPECT_EQ(b.icon.id, -1);
    EXPECT_EQ(bg->TopState().texture, texture(59));
    EXPECT_EQ(pointer->TopState().texture, texture(60));
    EXPECT_FLOAT_EQ(bg->GetScale().x, SpeechBubbleMan::WidthFor("Follow me!"));
    EXPECT_FLOAT_EQ(pointer->GetScale().x, 0.0375f);
    const std::vector<int> ids = {b.background.id, b.pointer.id};
    Frames(50);  // 0.8 s: still there, placed and faded with the text
    ASSERT_EQ(bubbles.count(bot), 1u);
    EXPECT_NEAR(pointer->GetPosition().y - bg->GetPosition().y, 0.112f, 1e-5f);
    EXPECT_FLOAT_EQ(bg->GetPosition().x, b.textObj->GetPosition().x);
    EXPECT_FLOAT_EQ(bg->TopState().alpha, b.alpha);
    EXPECT_FLOAT_EQ(pointer->TopState().alpha, b.textObj->GetAlpha());
    Frames(40);  // past 1 s plus the 0.3 s fade
    EXPECT_TRUE(bubbles.count(bot) == 0 || bubbles.at(bot)->text != "Follow me!");
    std::shared_ptr<Gfx::IDrawObj> gone;
    for (int id : ids) EXPECT_FALSE(scene->GetUIObject(id, gone)) << id;
    view->SetEffectOutput(nullptr);
}

TEST_F(FeedbackViewTest, ABubbleWithAnIconShowsTheLocalTeamsBadgeAndGoesWithItsSpeaker) {
    StartPlayedMatch();
    ASSERT_NE(view->GetSpeechBubbles(), nullptr);
    auto hush = HushTheBotsBut({"Take the flag!"});
    const auto& bubbles = view->GetSpeechBubbles()->Bubbles();
    ASSERT_TRUE(Until([&] { return bubbles.empty(); }, 1500));
    int16_t bot = -1;
    for (auto& [id, p] : view->GetPlayerMan()->Players())
        if (id != view->GetPlayerMan()->LocalPlayer()) bot = static_cast<int16_t>(id);
    ASSERT_NE(bot, -1);
    EventSystem::QueueEvent(new EventTypes::EventCommandCreateSpeechBubble(bot, "Take the flag!", 1, 5000, 1));
    Frames(2);
    ASSERT_EQ(bubbles.count(bot), 1u);
    const SpeechBubble& b = *bubbles.at(bot);
    Gfx::Spatial* scene = Gfx::DrawScreen::Instance()->GetSpatial();
    std::shared_ptr<Gfx::IDrawObj> icon;
    ASSERT_TRUE(scene->GetUIObject(b.icon.id, icon));
    Gfx::GfxState st;
    const int state = HumanGameView::GetLocalTeam() == 0 ? 32 : 69;
    ASSERT_TRUE(Gfx::GfxEngine::Instance()->GetStateMan()->RequestState(state, st));
    EXPECT_EQ(icon->TopState().texture, st.texture);
    EXPECT_FLOAT_EQ(icon->GetScale().y, 0.166667f);
    // Icon at the left, the text moved right to make room.
    std::shared_ptr<Gfx::IDrawObj> bg;
    ASSERT_TRUE(scene->GetUIObject(b.background.id, bg));
    EXPECT_NEAR(bg->GetPosition().x - icon->GetPosition().x, 0.185f, 1e-5f);
    EXPECT_NEAR(b.textObj->GetPosition().x - bg->GetPosition().x, 0.0475f, 1e-5f);
    // The speaker leaves the match: the bubble and its pictures go at once.
    const std::vector<int> ids = {b.background.id, b.pointer.id, b.icon.id};
    EventSystem::QueueEvent(new EventTypes::EventUpdateDeleteActor(bot));
    Frames(2);
    EXPECT_EQ(bubbles.count(bot), 0u);
    std::shared_ptr<Gfx::IDrawObj> gone;
    for (int id : ids) EXPECT_FALSE(scene->GetUIObject(id, gone)) << id;
}

TEST_F(FeedbackViewTest, TheBubbleSwitchOfTheConfigurationLeavesPlayedMatchesWithoutBubbles) {
    // The switch is read once per run, so the match is played in a process
    // of its own, in a copy of the data folder whose configuration says so.
    namespace fs = std::filesystem;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* inherited = std::getenv("MIRAV_NO_BUBBLES_DIR");
    const fs::path copy = inherited ? fs::path(inherited)
                                    : fs::path(::testing::TempDir()) / ("mirav_no_bubbles_" + std::to_string(getpid()));
    setenv("MIRAV_NO_BUBBLES_DIR", copy.c_str(), 1);
    const fs::path data = fs::current_path();
    EXPECT_EXIT(
        {
            fs::create_directories(copy / "Config");
            for (auto& e : fs::directory_iterator(data))
                if (e.path().filename() != "Config") fs::create_symlink(e.path(), copy / e.path().filename());
            for (auto& e : fs::directory_iterator(data / "Config"))
                if (e.path().filename() != "Config.ini") fs::create_symlink(e.path(), copy / "Config" / e.path().filename());
            std::string config = ReadFile("Config/Config.ini");
            config = std::regex_replace(config, std::regex("disableSpeechBubbles = 0"), "disableSpeechBubbles = 1");
            std::ofstream(copy / "Config/Config.ini") << config;
            fs::current_path(copy);
            StartPlayedMatch();
            std::_Exit(view->GetSpeechBubbles() == nullptr && view->GetCueManager() != nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv("MIRAV_NO_BUBBLES_DIR");
    fs::remove_all(copy);
}

TEST(SpeechBubbles, CrowdsRefuseChatterButNotTutorialLinesAndGoneSpeakersDrop) {
    TestSupport::ResetSingletons();
    std::map<int16_t, Vector3> at = {{1, Vector3(0, 0, 0)}, {2, Vector3(1, 0, 0)}, {3, Vector3(2, 0, 0)}};
    ProcessSystem::ProcessManager processes;
    {
        SpeechBubbleMan man;
        man.Init(
            [&](int16_t s, Vector3& p) {
                auto it = at.find(s);
                if (it == at.end()) return false;
                p = it->second;
                return true;
            },
            [](const Vector3&) { return Geometry::Vector2(0.5f, 0.5f); }, &processes);
        auto say = [&](int16_t who, const char* text, uint8_t tutorial) {
            EventTypes::EventCommandCreateSpeechBubble e(who, text, tutorial, 1000, 0);
            return man.OnCreateSpeechBubble(e);
        };
        EXPECT_TRUE(say(1, "one", 0));
        EXPECT_TRUE(say(2, "two", 0));   // crowding 2
        EXPECT_FALSE(say(3, "three", 0));  // crowding 4
        EXPECT_TRUE(say(3, "learn", 1));   // tutorial lines always show
        EXPECT_FALSE(say(3, "chatter", 0));  // cannot talk over its tutorial line
        EXPECT_FALSE(say(1, "one", 0));  // the same line again
        EXPECT_FALSE(say(9, "nobody", 0));
        EXPECT_FLOAT_EQ(SpeechBubbleMan::WidthFor("a"), 0.15f);
        EXPECT_FLOAT_EQ(SpeechBubbleMan::WidthFor(std::string(40, 'a')), 0.5f);
        // Alpha by distance: 25 units in front gives 0.85 - 0.04.
        man.Update(Vector3(1, 0, 0), Vector3(-25, 0, 0));
        EXPECT_NEAR(man.Bubbles().at(1)->alpha, 0.81f, 1e-4f);
        at.erase(2);
        man.Update(Vector3(1, 0, 0), Vector3(-25, 0, 0));
        EXPECT_EQ(man.Bubbles().count(2), 0u);
        // Hidden with the menu, restored after.
        man.HideAll();
        EXPECT_FLOAT_EQ(man.Bubbles().at(1)->textObj->GetAlpha(), 0.0f);
        man.SetHidden(false);
        man.Update(Vector3(1, 0, 0), Vector3(-25, 0, 0));
        EXPECT_NEAR(man.Bubbles().at(1)->alpha, 0.81f, 1e-4f);
    }
    processes.DetachAll();
    TestSupport::ResetSingletons();
}
