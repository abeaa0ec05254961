// The tutor bot: greets, teaches throwing, picking up, forming and releasing
// a squad with its reminders, keeps close to the pupil, and closes with the
// "Flag" line; a pupil who wanders off cancels it, a pupil out of sight ends
// it for now.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ai/Tutorial.h"
#include "BehaviourFixture.h"
#include "ini/IniFile.h"

using namespace AITest;

namespace {

// One bubble as the tutor showed it: when, which section (the test's chat
// pool has one line per section, the section's own name), how.
struct Bubble {
    int atMs;
    std::string section;
    int tutorial;
    int durationMs;
    int symbol;
};

class TutorialTest : public BehaviourFixture {
protected:
    TutorialTest() {
        std::string pool;
        for (const char* s : {"AngelTutorialIntro", "DemonTutorialIntro", "HowToThrow", "ImpatientThrow", "HowToPickUp",
                              "ImpatientPick", "HowToFormSquad", "ImpatientFormSquad", "HowToReleaseSquad",
                              "ImpatientReleaseSquad", "CancelTutorial", "Flag"})
            pool += std::string("[") + s + "]\nline = " + s + "\n";
        Utility::IniFile file;
        file.Parse(pool);
        world.ai->GetChatPool().Load(file);
        pupil = world.AddHuman(0, {3.5f, 0.5f, 0.5f});
        record = world.Team(0).FindPlayer(pupil->GetActorId());
    }

    // Frames until the predicate holds (or maxMs ran), collecting bubbles.
    template <class F>
    void RunUntil(F done, int maxMs) {
        for (int t = 0; t < maxMs && !done(); t += 16) Step();
    }
    void Step() {
        cmds.Clear();
        Frame();
        cmds.Deliver();
        for (const auto& b : cmds.Bubbles()) {
            const auto& d = *b->GetPayload();
            EXPECT_EQ(d.actorId, static_cast<int16_t>(id()));
            bubbles.push_back({elapsed, d.text, d.tutorial, d.durationMs, d.showSymbol});
        }
    }
    std::vector<std::string> Sections() const {
        std::vector<std::string> out;
        for (const auto& b : bubbles) out.push_back(b.section);
        return out;
    }
    const Bubble* Find(const std::string& section, size_t nth = 0) const {
        for (const auto& b : bubbles)
            if (b.section == section && nth-- == 0) return &b;
        return nullptr;
    }

    GameLogicView::Player* pupil = nullptr;
    AI::PlayerRecord* record = nullptr;
    std::vector<Bubble> bubbles;
};

}  // namespace

TEST_F(TutorialTest, GreetsTeachesFourLessonsWithRemindersAndClosesWithTheFlagLine) {
    ASSERT_NE(record, nullptr);
    record->tutorialDone = false;
    auto tutorial = Plan(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
    Fresh();
    Step();  // entered: the greeting
    const int start = elapsed - 16;
    ASSERT_EQ(bubbles.size(), 1u);
    EXPECT_EQ(bubbles[0].section, "AngelTutorialIntro");
    EXPECT_EQ(bubbles[0].tutorial, 1);
    EXPECT_EQ(bubbles[0].durationMs, 5000);
    EXPECT_EQ(bubbles[0].symbol, 0);

    // Lesson 1 after 2500 ms, its first reminder 9500 ms later, then every 6000.
    RunUntil([&] { return Find("ImpatientThrow", 1) != nullptr; }, 30000);
    const Bubble* how = Find("HowToThrow");
    const Bubble* first = Find("ImpatientThrow");
    const Bubble* second = Find("ImpatientThrow", 1);
    ASSERT_TRUE(how && first && second);
    EXPECT_NEAR(how->atMs - start, 2500, 32);
    EXPECT_EQ(how->durationMs, 10000);
    EXPECT_NEAR(first->atMs - how->atMs, 9500, 32);
    EXPECT_EQ(first->durationMs, 9000);
    EXPECT_NEAR(second->atMs - first->atMs, 6000, 32);
    EXPECT_EQ(tutorial->GetSubstate(), AI::Tutorial::kThrowing);

    // Each lesson ends when the pupil has done it; its reminder goes with it.
    struct Lesson {
        bool AI::PlayerRecord::*done;
        const char* next;
    } lessons[] = {{&AI::PlayerRecord::hasThrown, "HowToPickUp"},
                   {&AI::PlayerRecord::hasPickedUp, "HowToFormSquad"},
                   {&AI::PlayerRecord::formedSquad, "HowToReleaseSquad"},
                   {&AI::PlayerRecord::releasedSquad, "Flag"}};
    for (const Lesson& l : lessons) {
        SCOPED_TRACE(l.next);
        record->*l.done = true;
        const size_t before = bubbles.size();
        RunUntil([&] { return bubbles.size() > before; }, 1000);
        ASSERT_GT(bubbles.size(), before);
        EXPECT_EQ(bubbles[before].section, l.next);
        if (std::string(l.next) != "Flag") {
            // Four seconds on, no reminder of the lesson before has come.
            RunUntil([] { return false; }, 4000);
            EXPECT_EQ(bubbles.size(), before + 1);
        }
    }
    const Bubble* closing = Find("Flag");
    ASSERT_TRUE(closing);
    EXPECT_EQ(closing->durationMs, 12300);
    EXPECT_EQ(closing->symbol, 1);
    EXPECT_EQ(closing->tutorial, 1);
    EXPECT_TRUE(record->tutorialDone);

    // The tutor starts over 9500 ms after the closing line appeared.
    RunUntil([&] { return bot->GetTop() != tutorial; }, 12000);
    EXPECT_NEAR(elapsed - closing->atMs, 9500, 48);
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    EXPECT_EQ(Sections(), (std::vector<std::string>{"AngelTutorialIntro", "HowToThrow", "ImpatientThrow",
                                                    "ImpatientThrow", "HowToPickUp", "HowToFormSquad",
                                                    "HowToReleaseSquad", "Flag"}));
}

TEST_F(TutorialTest, LessonsAlreadyDoneAreSkipped) {
    struct Case {
        bool thrown, picked;
        std::vector<std::string> start;  // the bubbles of the first 3 s
        bool done;
    } cases[] = {
        {true, true, {}, true},  // nothing to teach: done at once
        {true, false, {"AngelTutorialIntro", "HowToPickUp"}, false},
        {false, true, {"AngelTutorialIntro", "HowToThrow"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start.size());
        bubbles.clear();
        record->tutorialDone = false;
        record->hasThrown = c.thrown;
        record->hasPickedUp = c.picked;
        Plan(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
        Fresh();
        RunUntil([] { return false; }, 3000);
        EXPECT_EQ(Sections(), c.start);
        EXPECT_EQ(record->tutorialDone, c.done);
        Restart();
        DrainTimers();
    }
}

TEST_F(TutorialTest, DemonTutorGreetsWithTheDemonLine) {
    AI::BotGameView* demon = world.AddBot(1, {0.5f, 0.5f, 3.5f});
    world.Spawn(demon);
    GameLogicView::Player* human = world.AddHuman(1, {2.5f, 0.5f, 3.5f});
    cmds.Fresh();
    demon->PushMachine(std::make_shared<AI::Tutorial>(demon, human->GetActorId()));
    cmds.Deliver();
    ASSERT_EQ(cmds.Bubbles().size(), 1u);
    EXPECT_EQ(cmds.Bubbles()[0]->GetPayload()->text, "DemonTutorialIntro");
}

TEST_F(TutorialTest, KeepsCloseFacingThePupil) {
    record->hasThrown = false;
    auto tutorial = Run(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
    struct Case {
        Vector3 pupil;
        Vector3 move;
    } cases[] = {
        {{3.5f, 0.5f, 0.5f}, {0, 0, 0}},   // 3 away: stand
        {{4.5f, 0.5f, 0.5f}, {0, 0, 0}},   // 4 away (16): still stand
        {{8.5f, 0.5f, 0.5f}, {1, 0, 0}},   // farther: walk at BotSpeed
        {{0.5f, 0.5f, -6.5f}, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pupil.x);
        Place(pupil, c.pupil);
        cmds.Fresh();
        tutorial->Update();
        cmds.Deliver();
        ASSERT_EQ(cmds.Moves(id()).size(), 1u);
        EXPECT_EQ(cmds.Moves(id())[0], c.move);
        ASSERT_EQ(cmds.Turns(id()).size(), 1u);
        const Vector3 d = c.pupil - Vector3(0.5f, 0.5f, 0.5f);
        const Vector3 face = cmds.Turns(id())[0].Rotate({0, 0, 1});
        EXPECT_GT(face.Dot(Vector3(d.x, 0, d.z).Normalized()), 0.999f);
    }
}

TEST_F(TutorialTest, WanderingOffCancelsForGoodLosingSightEndsForNow) {
    // In a lesson, the tutor moved more than about 29 units from where the
    // lesson began: "CancelTutorial", reset, done.
    record->hasThrown = false;
    auto tutorial = Plan(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
    Fresh();
    RunUntil([&] { return tutorial->GetSubstate() == AI::Tutorial::kThrowing; }, 4000);
    ASSERT_EQ(tutorial->GetSubstate(), AI::Tutorial::kThrowing);
    Place(Me(), {29.0f, 0.5f, 0.5f});  // 28.5 from the start: 812 < 850
    Place(pupil, {31.5f, 0.5f, 0.5f});
    Step();
    EXPECT_EQ(bot->GetTop(), tutorial);
    Place(Me(), {30.0f, 0.5f, 0.5f});  // 29.5: 870 > 850
    Step();
    EXPECT_TRUE(AskedReset());
    EXPECT_EQ(Sections().back(), "CancelTutorial");
    EXPECT_EQ(bubbles.back().durationMs, 5000);
    EXPECT_TRUE(record->tutorialDone);

    // Out of sight: reset without the done flag, so it may start again.
    Restart();
    DrainTimers();
    record->tutorialDone = false;
    Place(Me(), {0.5f, 0.5f, 0.5f});
    Place(pupil, {6.5f, 0.5f, 0.5f});
    tutorial = Plan(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
    Fresh();
    Step();
    ASSERT_EQ(bot->GetTop(), tutorial);
    Wall({3.5f, 1.0f, 0.5f}, {0.5f, 1.0f, 3.0f});
    bubbles.clear();
    Step();
    EXPECT_TRUE(AskedReset());
    EXPECT_TRUE(bubbles.empty());
    EXPECT_FALSE(record->tutorialDone);
}

TEST_F(TutorialTest, APupilHandedToABotEndsTheTutorial) {
    record->hasThrown = false;
    auto tutorial = Plan(std::make_shared<AI::Tutorial>(bot, pupil->GetActorId()));
    Fresh();
    Step();
    ASSERT_EQ(bot->GetTop(), tutorial);
    world.Team(0).RemovePlayer(pupil->GetActorId());  // its record is freed
    Step();
    EXPECT_TRUE(AskedReset());
    Step();
    EXPECT_NE(bot->GetTop(), tutorial);
}
