// Text effects: the reader of the effect file (words, comments, Init and
// steps, MoveX/MoveY, Repeat, malformed input), the runners that play the
// effects on text objects over time, and the shipped effect file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/TextMan.h"
#include "screens/TextEffectParser.h"
#include "screens/TextEffectSystemRunner.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "support/TextFrames.h"
#include "utility/Diagnostics.h"

using GameLogicView::ITextEffectProps;
using GameLogicView::MoveTextEffectProps;
using GameLogicView::TextEffectSystem;
using GameLogicView::TextObj;

namespace {

std::vector<TextEffectSystem> Parse(const std::string& text) {
    std::vector<TextEffectSystem> out;
    GameLogicView::TextEffectParser p([&](const TextEffectSystem& s) { out.push_back(s); });
    p.ParseText(text);
    return out;
}

// The types of each step, e.g. "1,3|0".
std::string Shape(const TextEffectSystem& s) {
    std::string r;
    for (size_t i = 0; i < s.steps.size(); ++i) {
        if (i) r += "|";
        for (size_t j = 0; j < s.steps[i].size(); ++j) {
            if (j) r += ",";
            r += std::to_string(s.steps[i][j]->type);
        }
    }
    return r;
}

struct Warnings {
    std::vector<std::string> seen;
    Warnings() {
        Utility::SetProblemSink([this](Utility::Severity, const std::string& m) { seen.push_back(m); });
    }
    ~Warnings() { Utility::SetProblemSink(nullptr); }
};

class TextEffects : public ::testing::Test {
protected:
    void SetUp() override { gfx.reset(new Gfx::TextMan(nullptr)); }
    void TearDown() override {
        Man().Clear();
        gfx.reset();
    }
    static GameLogicView::TextMan& Man() { return GameLogicView::TextMan::Instance(); }
    std::shared_ptr<TextObj> Text() {
        auto t = GameLogicView::CreateTextObj();
        t->SetFontId(1);
        t->SetText("cue");
        t->SetShadowOffset({0.002f, 0.002f});
        t->BuildText();
        return t;
    }
    // Advances all effects frame by frame.
    static void Run(int frames, unsigned ms) {
        for (int i = 0; i < frames; ++i) GameLogicView::UpdateTextEffects(ms);
    }
    std::unique_ptr<Gfx::TextMan> gfx;
};

}  // namespace

TEST(TextEffectFile, WordsCommentsAndSeparators) {
    const auto systems = Parse(
        "  \t# a comment line, with Alpha 1 100 End in it\n"
        "First Begin Move(0.1, -0.2, 300) Move 0.1 -0.2 300\n"
        "Alpha 0.5 250 # a note\n"  // '#' after words is an ordinary word, skipped
        "End\n"
        "Second Alpha(1,100)WhenDone Wait 50 End");
    ASSERT_EQ(systems.size(), 2u);
    EXPECT_EQ(systems[0].name, "First");
    ASSERT_EQ(Shape(systems[0]), "3,3,1");
    for (int i = 0; i < 2; ++i) {
        auto* m = dynamic_cast<MoveTextEffectProps*>(systems[0].steps[0][static_cast<size_t>(i)].get());
        ASSERT_TRUE(m);
        EXPECT_EQ(m->x, 0.1f);
        EXPECT_EQ(m->y, -0.2f);
        EXPECT_EQ(m->duration, 300);
    }
    EXPECT_EQ(systems[0].steps[0][2]->duration, 250);
    EXPECT_EQ(systems[1].name, "Second");
    EXPECT_EQ(Shape(systems[1]), "1|0");
}

TEST(TextEffectFile, InitValuesMovesAndSteps) {
    const auto s = Parse(
        "Cue Init Move -1 0.3 Alpha 0 Scale 2 3 Rotate 0.5 Color 0.1 0.2 0.3 "
        "Begin MoveX 0.3 200 MoveY 0.5 400 Move -1 -1 100 WhenDone WhenDone "
        "Init Alpha 0.25 Begin Wait 10 Color 1 0 0 20 Scale 1 1 30 Rotate 0 40 End");
    ASSERT_EQ(s.size(), 1u);
    const TextEffectSystem& c = s[0];
    ASSERT_TRUE(c.initialOffset && c.initialAlpha && c.initialScale && c.initialRotation && c.initialColor);
    EXPECT_EQ(c.initialOffset->x, -1.0f) << "an initial offset is kept as written";
    EXPECT_EQ(*c.initialAlpha, 0.25f) << "the later Init value wins";
    EXPECT_EQ(c.initialScale->y, 3.0f);
    EXPECT_EQ(c.initialColor->b, 0.3f);
    EXPECT_EQ(Shape(c), "3,3,3|0,5,4,2") << "an empty WhenDone adds no step";
    auto move = [&](size_t i) { return dynamic_cast<MoveTextEffectProps*>(c.steps[0][i].get()); };
    EXPECT_EQ(move(0)->x, 0.3f);
    EXPECT_EQ(move(0)->y, MoveTextEffectProps::kKeep);
    EXPECT_EQ(move(1)->x, MoveTextEffectProps::kKeep);
    EXPECT_EQ(move(1)->y, 0.5f);
    EXPECT_EQ(move(2)->x, -0.9999f) << "a move to -1 is not a kept axis";
    EXPECT_EQ(move(2)->y, -0.9999f);
}

TEST(TextEffectFile, RepeatCopiesTheLastClosedSteps) {
    struct Case {
        const char* body;
        const char* shape;
    };
    // Step types stand for the steps: Alpha 1, Rotate 2, Move 3.
    const Case cases[] = {
        {"Alpha 1 1 WhenDone Rotate 1 1 WhenDone Repeat 2 -2", "1|2|1|2|1|2"},
        {"Alpha 1 1 WhenDone Rotate 1 1 WhenDone Move 1 1 1 WhenDone Repeat 1 -2", "1|2|3|2|3"},
        {"Alpha 1 1 WhenDone Rotate 1 1 Repeat 1 -1", "1|1|2"},  // the open step closes after the copies
        {"Alpha 1 1 WhenDone Repeat 0 -1", "1"},
        {"Alpha 1 1 WhenDone Repeat -3 -1", "1"},
        {"Alpha 1 1 WhenDone Repeat 2 0", "1"},
        {"Alpha 1 1 WhenDone Repeat 2 1", "1"},            // forwards: refused
        {"Alpha 1 1 WhenDone Repeat 2 -2", "1"},           // before the first step: refused
        {"Alpha 1 1 WhenDone Repeat 999999999 -1", "1"},   // far too many steps: refused
    };
    for (const Case& c : cases) {
        Warnings quiet;
        const auto s = Parse(std::string("R ") + c.body + " End");
        ASSERT_EQ(s.size(), 1u) << c.body;
        EXPECT_EQ(Shape(s[0]), c.shape) << c.body;
    }
    const auto s = Parse("R Alpha 1 1 WhenDone Repeat 1 -1 End");
    EXPECT_EQ(s[0].steps[0][0], s[0].steps[1][0]) << "copies share their records";
}

TEST(TextEffectFile, MalformedInputIsSkippedAndNeverReadPastTheEnd) {
    struct Case {
        const char* text;
        const char* names;  // the systems read
        const char* shape;  // of the first
    };
    const Case cases[] = {
        {"A Alpha 1 100 End B Alpha 0 20", "A", "1"},         // B has no End
        {"A Alpha End", "", ""},                              // End eaten as a number
        {"A Alpha x 100 Wait 5 End", "A", "0"},               // bad number: the keyword is skipped
        {"A Bogus 1 2 3 Wait 5 End", "A", "0"},               // unknown words are skipped one by one
        {"A Wait -50 End", "A", "0"},                         // a negative time becomes 0
        {"A Color 1 1 End", "", ""},
        {"A Wait 1 End A Alpha 1 1 End", "A,A", "0"},          // both handed over; the manager keeps the later
        {"", "", ""},
        {"A", "", ""},
        {"A End End", "A", ""},                               // "End" as the next name, never ended
    };
    for (const Case& c : cases) {
        Warnings quiet;
        std::vector<TextEffectSystem> s;
        ASSERT_NO_FATAL_FAILURE(s = Parse(c.text));
        std::string names;
        for (const auto& x : s) names += (names.empty() ? "" : ",") + x.name;
        EXPECT_EQ(names, c.names) << c.text;
        if (!s.empty()) {
            EXPECT_EQ(Shape(s[0]), c.shape) << c.text;
        }
        if (!s.empty() && std::string(c.text) == "A Wait -50 End") {
            EXPECT_EQ(s[0].steps[0][0]->duration, 0);
        }
    }
    // A file that cannot be read gives no systems.
    GameLogicView::TextEffectParser p([](const TextEffectSystem&) { ADD_FAILURE(); });
    EXPECT_FALSE(p.ParseFile("Config/Text/no-such-file.txt"));
}

TEST_F(TextEffects, EffectsAnimateOffsetScaleColourAndAlphaOverTime) {
    Man().LoadEffectsText(
        "Show Init Move 0.1 0.2 Scale 0.5 0.5 Alpha 0 Color 0 0 1 "
        "Begin Move 0.5 0.6 400 Scale 1.5 2.5 200 Alpha 1 100 Color 1 0 0 400 Rotate 1 400 End");
    auto t = Text();
    t->SetAlpha(0.4f);
    ASSERT_TRUE(GameLogicView::RunTextEffect(t, "Show"));
    // The starting values apply at once (the colour with alpha 1).
    EXPECT_EQ(t->GetOffset(), Geometry::Vector2(0.1f, 0.2f));
    EXPECT_EQ(t->GetScale(), Geometry::Vector2(0.5f, 0.5f));
    EXPECT_EQ(t->GetAlphaMultiplier(), 0.0f);
    EXPECT_EQ(t->GetColor(), Gfx::Color4(0, 0, 1, 1));

    Run(1, 100);  // a quarter of the move, half the scale, all of the alpha
    EXPECT_NEAR(t->GetOffset().x, 0.2f, 1e-6);
    EXPECT_NEAR(t->GetOffset().y, 0.3f, 1e-6);
    EXPECT_NEAR(t->GetScale().x, 1.0f, 1e-6);
    EXPECT_NEAR(t->GetScale().y, 1.5f, 1e-6);
    EXPECT_EQ(t->GetAlphaMultiplier(), 1.0f);
    EXPECT_NEAR(t->GetColor().r, 0.25f, 1e-6);
    EXPECT_NEAR(t->GetColor().b, 0.75f, 1e-6);
    EXPECT_NEAR(t->GetRotation(), 0.25f, 1e-6);
    // ... and reach the entries at once.
    Gfx::TextEntry* e = t->GetTextEntry();
    Gfx::TextEntry* s = t->GetShadowEntry();
    EXPECT_NEAR(e->position.x, 0.2f, 1e-6);
    EXPECT_NEAR(s->position.y, 0.302f, 1e-6);
    EXPECT_NEAR(e->scale.y, 1.5f, 1e-6);
    EXPECT_NEAR(e->colour.r, 0.25f, 1e-6);
    EXPECT_NEAR(e->rotation, 0.25f, 1e-6);
    EXPECT_EQ(e->colour.a, 1.0f) << "the colour's own alpha was set to 1 by the effect";

    Run(1, 300);
    EXPECT_NEAR(t->GetOffset().x, 0.5f, 1e-6);
    EXPECT_NEAR(t->GetOffset().y, 0.6f, 1e-6);
    EXPECT_NEAR(t->GetScale().x, 1.5f, 1e-6);
    EXPECT_EQ(t->GetColor(), Gfx::Color4(1, 0, 0, 1));
    EXPECT_EQ(Man().RunnerCount(), 0u) << "the runner is gone once its last step ended";
    EXPECT_FALSE(t->GetRunner());
}

TEST_F(TextEffects, StepsFollowEachOtherWhenAllTheirChangesHaveEnded) {
    Man().LoadEffectsText(
        "Steps Begin Wait 500 WhenDone Alpha 0 100 WhenDone "
        "MoveX 0.3 200 MoveY 0.5 400 WhenDone Scale 2 2 0 End "
        "Zero Begin Alpha 0 0 End "
        "InitOnly Init Alpha 0.5 Rotate 1 End "
        "Keep Begin Move -1 -1 100 End");
    auto t = Text();
    auto runner = GameLogicView::RunTextEffect(t, "Steps");
    ASSERT_TRUE(runner);
    Run(1, 499);
    EXPECT_EQ(runner->GetStepIndex(), 0u);
    Run(1, 1);  // the wait ends; the next step starts, untouched until the next frame
    EXPECT_EQ(runner->GetStepIndex(), 1u);
    EXPECT_EQ(t->GetAlphaMultiplier(), 1.0f);
    Run(1, 50);
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.5f, 1e-6);
    Run(1, 50);
    EXPECT_EQ(runner->GetStepIndex(), 2u);
    Run(1, 100);
    EXPECT_NEAR(t->GetOffset().x, 0.15f, 1e-6) << "half of MoveX";
    EXPECT_NEAR(t->GetOffset().y, 0.125f, 1e-6) << "a quarter of MoveY";
    Run(1, 100);
    EXPECT_NEAR(t->GetOffset().x, 0.3f, 1e-6);
    EXPECT_EQ(runner->GetStepIndex(), 2u) << "the 400 ms move still runs";
    Run(1, 100);
    EXPECT_NEAR(t->GetOffset().x, 0.3f, 1e-6) << "MoveY does not reset x";
    EXPECT_NEAR(t->GetOffset().y, 0.375f, 1e-6);
    Run(1, 100);
    EXPECT_NEAR(t->GetOffset().y, 0.5f, 1e-6);
    EXPECT_EQ(runner->GetStepIndex(), 3u);
    EXPECT_EQ(t->GetScale().x, 1.0f);
    Run(1, 16);
    EXPECT_EQ(t->GetScale().x, 2.0f) << "a zero-time change lands on its first update";
    EXPECT_TRUE(runner->IsFinished());
    EXPECT_EQ(Man().RunnerCount(), 0u);

    auto u = Text();
    GameLogicView::RunTextEffect(u, "Zero");
    EXPECT_EQ(u->GetAlphaMultiplier(), 1.0f);
    Run(1, 16);
    EXPECT_EQ(u->GetAlphaMultiplier(), 0.0f);

    auto v = Text();
    auto r = GameLogicView::RunTextEffect(v, "InitOnly");
    EXPECT_EQ(v->GetAlphaMultiplier(), 0.5f);
    EXPECT_EQ(v->GetRotation(), 1.0f);
    EXPECT_TRUE(r->IsFinished());
    EXPECT_EQ(Man().RunnerCount(), 1u);
    Run(1, 16);
    EXPECT_EQ(Man().RunnerCount(), 0u);

    auto w = Text();
    GameLogicView::RunTextEffect(w, "Keep");
    Run(1, 100);
    EXPECT_EQ(w->GetOffset(), Geometry::Vector2(-0.9999f, -0.9999f));
}

TEST_F(TextEffects, ASecondEffectStopsTheFirstWhereItIs) {
    Man().LoadEffectsText(
        "Out Begin Alpha 0 200 End "
        "In Init Scale 2 2 Begin Alpha 1 100 End "
        "Twice Begin Wait 1 End Twice Begin Alpha 0.5 0 End");
    auto t = Text();
    GameLogicView::RunTextEffect(t, "Out");
    Run(1, 100);
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.5f, 1e-6);
    auto second = GameLogicView::RunTextEffect(t, "In");
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.5f, 1e-6) << "stopped where it was";
    EXPECT_EQ(t->GetScale().x, 2.0f);
    EXPECT_EQ(Man().RunnerCount(), 1u);
    Run(1, 50);
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.75f, 1e-6) << "the new change starts from the stopped value";

    // Stopping half way keeps the values it reached.
    GameLogicView::TextMan::Instance().StopEffect(t);
    Run(1, 50);
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.75f, 1e-6);
    EXPECT_TRUE(second->IsFinished());
    EXPECT_EQ(second->GetProcesses().Count(), 0u);

    // The later of two systems with one name is used.
    GameLogicView::RunTextEffect(t, "Twice");
    Run(1, 1);
    EXPECT_EQ(t->GetAlphaMultiplier(), 0.5f);
}

// An effect redefined while it plays (by a later system of the same name)
// may have fewer steps than the runner has reached.
TEST_F(TextEffects, ARedefinedEffectEndsItsRunnersSafely) {
    Man().LoadEffectsText("Long Begin Wait 10 WhenDone Wait 10 WhenDone Wait 10 End");
    auto t = Text();
    auto r = GameLogicView::RunTextEffect(t, "Long");
    Run(2, 10);
    ASSERT_EQ(r->GetStepIndex(), 2u);
    GameLogicView::TextEffectSystem shorter;
    shorter.name = "Long";
    shorter.steps.push_back({std::make_shared<ITextEffectProps>(ITextEffectProps::kWait, 10)});
    Man().AddEffectSystem(shorter);
    EXPECT_TRUE(r->IsFinished());
    Run(1, 10);
    EXPECT_EQ(Man().RunnerCount(), 0u);
    EXPECT_FALSE(t->GetRunner());
}

TEST_F(TextEffects, AMissingEffectNameLogsAndLeavesTheTextAlone) {
    Man().LoadEffectsText("Fade Begin Alpha 0 100 End");
    auto t = Text();
    GameLogicView::RunTextEffect(t, "Fade");
    Run(1, 50);
    Warnings w;
    EXPECT_FALSE(GameLogicView::RunTextEffect(t, "NoSuchEffect"));
    ASSERT_EQ(w.seen.size(), 1u);
    EXPECT_NE(w.seen[0].find("NoSuchEffect"), std::string::npos);
    EXPECT_EQ(Man().RunnerCount(), 0u) << "the old effect was stopped all the same";
    Run(1, 50);
    EXPECT_NEAR(t->GetAlphaMultiplier(), 0.5f, 1e-6);

    auto u = GameLogicView::CreateTextObjWithEffect("AlsoMissing");
    ASSERT_TRUE(u) << "the object comes back anyway";
    EXPECT_EQ(u->GetOffset(), Geometry::Vector2(0, 0));
    EXPECT_EQ(w.seen.size(), 2u);
}

TEST_F(TextEffects, ARunningEffectKeepsItsTextAliveAndLetsGoAfter) {
    Man().LoadEffectsText("Long Begin Alpha 0 1000 End");
    std::weak_ptr<TextObj> seen;
    {
        auto t = GameLogicView::CreateTextObjWithEffect("Long");
        seen = t;
    }
    ASSERT_FALSE(seen.expired()) << "held by its runner";
    Run(1, 500);
    ASSERT_FALSE(seen.expired());
    Run(1, 500);
    EXPECT_TRUE(seen.expired()) << "released when the effect ended";

    // Clear stops everything; the systems stay.
    std::weak_ptr<TextObj> cleared;
    {
        auto t = GameLogicView::CreateTextObjWithEffect("Long");
        cleared = t;
    }
    GameLogicView::ClearTextEffects();
    EXPECT_TRUE(cleared.expired());
    EXPECT_TRUE(Man().FindEffectSystem("Long"));

    // Loading forgets the old systems and stops what runs.
    auto t = GameLogicView::CreateTextObjWithEffect("Long");
    EXPECT_FALSE(GameLogicView::LoadTextEffects("Config/Text/no-such-file.txt"));
    EXPECT_EQ(Man().SystemCount(), 0u);
    EXPECT_EQ(Man().RunnerCount(), 0u);
    EXPECT_FALSE(t->GetRunner());
}

// The shipped file names every effect the game runs, reads without a
// complaint, and every effect comes to an end.
TEST_F(TextEffects, TheShippedEffectFileHasEveryEffectTheGameRuns) {
    Warnings w;
    ASSERT_TRUE(GameLogicView::LoadTextEffects("Config/Text/effects.txt"));
    EXPECT_TRUE(w.seen.empty()) << w.seen.front();
    const char* names[] = {"CueNormalEntry", "CueHighEntry",     "CueWinEntry",        "CueScoreUpdateEntry",
                           "CueEarlyExit",   "MenuEffectNew",    "MenuEffectUpdate",   "FlagCountdown",
                           "SpawnCountdown", "SpeechBubble",     "SpeechBubbleTutorial", "PowerToLow",
                           "PowerToMedium",  "PowerToHigh",      "PowerHide"};
    for (const char* n : names) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(Man().FindEffectSystem(n));
        auto t = Text();
        auto r = GameLogicView::RunTextEffect(t, n);
        ASSERT_TRUE(r);
        for (int i = 0; i < 1000 && !r->IsFinished(); ++i) Run(1, 16);
        EXPECT_TRUE(r->IsFinished()) << "still running after 16 s";
    }
    EXPECT_TRUE(w.seen.empty());
    // A normal cue is gone by the end of its entry (so a repeat of it shows again);
    // the winner stays.
    auto cue = Text();
    GameLogicView::RunTextEffect(cue, "CueNormalEntry");
    Run(600, 16);
    EXPECT_LE(cue->GetAlphaMultiplier(), 0.3f);
    auto win = Text();
    GameLogicView::RunTextEffect(win, "CueWinEntry");
    Run(600, 16);
    EXPECT_EQ(win->GetAlphaMultiplier(), 1.0f);
}
