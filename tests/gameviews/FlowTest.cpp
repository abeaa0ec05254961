// The screen stack through the flow of a run, step by step, with the real
// logic answering: menus replace each other, a match sets up under a loading
// screen, the in-game menu pauses, a win leads to the end screen, quitting
// shows the closing screen and posts the quit message.
#include "gameviews/HudScreen.h"
#include <functional>
#include <string>

#include "ViewFixture.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "physics/PhysBody.h"
#include "screens/GameScreen.h"
#include "screens/MenuScreens.h"
#include "screens/SimpleScreens.h"
#include "screens/JoinMenuScreen.h"

using namespace ViewTest;
using namespace GameLogicView;

namespace {

char Letter(const IScreen* s) {
    if (dynamic_cast<const GameScreen*>(s)) return 'G';
    if (dynamic_cast<const LoadingScreen*>(s)) return 'L';
    if (dynamic_cast<const ClosingScreen*>(s)) return 'C';
    if (dynamic_cast<const DummyScreen*>(s)) return 'H';
    if (dynamic_cast<const GameLogicView::HudScreen*>(s)) return 'H';
    if (dynamic_cast<const MainMenuScreen*>(s)) return 'M';
    if (dynamic_cast<const StartMenuScreen*>(s)) return 'S';
    if (dynamic_cast<const OptionsScreen*>(s)) return 'O';
    if (dynamic_cast<const CreditsScreen*>(s)) return 'R';
    if (dynamic_cast<const InGameMenu*>(s)) return 'I';
    if (dynamic_cast<const EndGameScreen*>(s)) return 'E';
    if (dynamic_cast<const JoinMenuScreen*>(s)) return 'J';
    return '?';
}

class FlowTest : public ViewFixture {
protected:
    std::string Stack() const {
        std::string out;
        for (const auto& s : view->GetScreens()) out += Letter(s.get());
        return out;
    }
};

}  // namespace

TEST_F(FlowTest, StackThroughARun) {
    struct Step {
        const char* what;
        std::function<void()> act;
        int frames;
        const char* stack;
        int paused;  // global byte 12 afterwards
    };
    const auto queue = [](EventSystem::IEvent* e) { return [e] { EventSystem::QueueEvent(e); }; };
    const Step steps[] = {
        {"constructed (opscreen 1)", [] {}, 0, "G", 0},
        {"first backdrop set-up", [] {}, 1, "GML", 0},
        {"backdrop started", [] {}, 4, "GM", 0},
        {"start menu", queue(new EventTypes::EventCreateStartGameMenu()), 1, "GS", 0},
        {"options", queue(new EventTypes::EventCreateOptionsMenu()), 1, "GO", 0},
        {"credits", queue(new EventTypes::EventCreateCreditsMenu()), 1, "GR", 0},
        {"join menu", queue(new EventTypes::EventCreateJoinGameMenu()), 1, "GJ", 0},
        {"back to main menu (backdrop still runs)", queue(new EventTypes::EventCreateMainMenu()), 1, "GM", 0},
        {"Return does nothing on a menu", [&] { Tap(SDL_SCANCODE_RETURN); }, 1, "GM", 0},
        {"Play: the level choice", [&] { ClickButton("TextStart"); }, 1, "GS", 0},
        {"Start: the backdrop ends, a played match is set up", [&] { ClickButton("TextStart"); }, 2, "GHL", 0},
        {"played match started", [] {}, 4, "GH", 0},
        {"Escape: in-game menu", [&] { Tap(SDL_SCANCODE_ESCAPE); }, 0, "GHI", 1},
        {"a second request changes nothing", queue(new EventTypes::EventCreateInGameMenu()), 1, "GHI", 1},
        {"Escape again: keep playing", [&] { Tap(SDL_SCANCODE_ESCAPE); }, 0, "GH", 0},
        {"a win: tear-down, then the end screen", queue(new EventTypes::EventUpdateGameOver(1, 0)), 2, "GE", 0},
        {"the end screen's countdown: the next match", [&] { Frames(5000 / 16); }, 1, "GHL", 0},
        {"next match started", [] {}, 4, "GH", 0},
        {"abandoned: main menu, backdrop starts at once", queue(new EventTypes::EventUpdateGameOver(255, 0)), 2,
         "GML", 0},
        {"backdrop started again", [] {}, 4, "GM", 0},
        {"Quit on the main menu", [&] { ClickButton("TextExit"); }, 1, "GC", 0},
    };
    for (const Step& step : steps) {
        step.act();
        Frames(step.frames);
        EXPECT_EQ(Stack(), step.stack) << step.what;
        EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused), step.paused) << step.what;
    }
    Frame();
    EXPECT_EQ(quitCode, HumanGameView::kQuitCode);
}

TEST_F(FlowTest, InGameMenuPausesTheMatchAndTakesTheInput) {
    StartPlayedMatch();
    Frames(20);
    Tap(SDL_SCANCODE_ESCAPE);
    ASSERT_TRUE(view->IsInGameMenuOpen());
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventCommandActorMove, EventTypes::EventCommandActorJump>();
    const Geometry::Vector3 before = LocalPosition();
    // Movement and jumping are held while the menu is open.
    PushKey(true, SDL_SCANCODE_S);
    Tap(SDL_SCANCODE_SPACE);
    Frames(20);
    for (const auto& m : recorder.Of<EventTypes::EventCommandActorMove>())
        EXPECT_NE(m->GetPayload()->actorId, HumanGameView::GetLocalActor());
    EXPECT_TRUE(recorder.Of<EventTypes::EventCommandActorJump>().empty());
    const Geometry::Vector3 after = LocalPosition();
    EXPECT_EQ(before.x, after.x);
    EXPECT_EQ(before.y, after.y);
    EXPECT_EQ(before.z, after.z);
    PushKey(false, SDL_SCANCODE_S);
    Tap(SDL_SCANCODE_ESCAPE);
    EXPECT_FALSE(view->IsInGameMenuOpen());
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused), 0);
}

TEST_F(FlowTest, InGameMenuInAMultiplayerMatchStopsThePlayerWithoutPausing) {
    StartPlayedMatch();
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kMultiplayer, 1);
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventCommandActorMove>();
    Tap(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(view->IsInGameMenuOpen());
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused), 0);
    int stops = 0;
    for (const auto& m : recorder.Of<EventTypes::EventCommandActorMove>()) {
        if (m->GetPayload()->actorId != HumanGameView::GetLocalActor()) continue;
        ++stops;
        EXPECT_EQ(m->GetPayload()->direction.z, 0.0f);
    }
    EXPECT_GE(stops, 1);
    // The match goes on; the menu takes the player's input.
    recorder.Clear();
    PushKey(true, SDL_SCANCODE_W);
    Frames(10);
    PushKey(false, SDL_SCANCODE_W);
    size_t others = 0;
    for (const auto& m : recorder.Of<EventTypes::EventCommandActorMove>()) {
        if (m->GetPayload()->actorId == HumanGameView::GetLocalActor()) {
            // Only the view's stop, still on its way; W never gets through.
            EXPECT_EQ(m->GetPayload()->direction.z, 0.0f);
            continue;
        }
        ++others;
    }
    EXPECT_GT(others, 0u);  // the bots still play
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kMultiplayer, 0);
}

TEST_F(FlowTest, TeamVictoryWithoutGameOverEndsTheMatchAfterTenUnpausedSeconds) {
    StartPlayedMatch();
    // Only the view hears of it: the logic's own game over never comes.
    EventTypes::EventUpdateTeamVictory victory(0);
    view->OnTeamVictory(victory);
    Frames(600);  // 9.6 s
    EXPECT_TRUE(view->IsGameRunning());
    Tap(SDL_SCANCODE_ESCAPE);
    Frames(100);  // paused: the wait stands still
    EXPECT_TRUE(view->IsGameRunning());
    Tap(SDL_SCANCODE_ESCAPE);
    Frames(30);
    EXPECT_FALSE(view->IsGameRunning());
    EXPECT_TRUE(view->IsMenuMode());  // winner 255: back to the main menu and its backdrop
}

TEST_F(FlowTest, JoinConfirmationTakesTheFirstOnly) {
    StartPlayedMatch();
    const int16_t actor = HumanGameView::GetLocalActor();
    const uint8_t team = HumanGameView::GetLocalTeam();
    EventTypes::EventUpdateGameIDs again(0, static_cast<int16_t>(actor + 1), static_cast<uint8_t>(1 - team));
    view->OnJoinConfirmed(again);
    EXPECT_EQ(HumanGameView::GetLocalActor(), actor);
    EXPECT_EQ(HumanGameView::GetLocalTeam(), team);
}
