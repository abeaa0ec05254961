// A person's way through the menus of the real view, offscreen, with
// injected mouse and keyboard events: into a match on a chosen level, from
// the in-game menu back to the main menu, an option kept across a restart,
// and the end screen's countdown starting one next game.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "ViewFixture.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "screens/MenuScreens.h"

using namespace ViewTest;
using namespace GameLogicView;
using G = GlobalGameState;

namespace {

class MenuPlayTest : public ViewFixture {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/mirav-menuplay-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        const char* old = getenv("XDG_CONFIG_HOME");
        hadHome = old != nullptr;
        if (old) oldHome = old;
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        ViewFixture::SetUp();
    }
    void TearDown() override {
        ViewFixture::TearDown();
        if (hadHome)
            setenv("XDG_CONFIG_HOME", oldHome.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        ASSERT_EQ(system(("rm -rf " + home).c_str()), 0);
    }
    MenuScreen* Top() const { return dynamic_cast<MenuScreen*>(view->GetScreens().back().get()); }
    // The cursor onto a button of the top menu, then a left click.
    void ClickOn(const std::shared_ptr<Button>& b) {
        ASSERT_TRUE(b);
        GetMouseCursor()->SetPosition(b->GetX(), b->GetY());
        Frame();
        PushButton(true, SDL_BUTTON_LEFT);
        Frame();
        PushButton(false, SDL_BUTTON_LEFT);
        Frames(2);  // the release reaches the screens at the next delivery
    }
    std::shared_ptr<ButtonGroup> TopGroup(const std::string& name) const {
        return Top() ? Top()->GetButtons().FindGroup(name) : nullptr;
    }
    void WaitForMainMenu() {
        ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 40));
        Frames(3);
        ASSERT_TRUE(dynamic_cast<MainMenuScreen*>(view->GetScreens().back().get()));
    }

    std::string home, oldHome;
    bool hadHome = false;
};

TEST_F(MenuPlayTest, ChooseALevelAndPlayIt) {
    WaitForMainMenu();
    ClickButton("TextStart");
    Frame();
    ASSERT_TRUE(dynamic_cast<StartMenuScreen*>(view->GetScreens().back().get()));
    auto level = TopGroup("level");
    ASSERT_TRUE(level);
    ASSERT_EQ(level->Options().size(), 3u);
    EXPECT_EQ(level->text->GetCaption(), "Twin Keeps");
    ClickOn(level->arrowRight);
    EXPECT_EQ(level->text->GetCaption(), "Canyon");
    EXPECT_EQ(level->optionButton->GetUp(), 121);
    ClickButton("TextStart");
    ASSERT_TRUE(Until([&] { return view->IsGameRunning() && LocalActor() != nullptr; }, 60));
    EXPECT_FALSE(view->IsMenuMode());
    EXPECT_EQ(G::Instance()->GetFlag(G::kLevel), 1);
    EXPECT_EQ(G::Instance()->GetFlag(G::kMultiplayer), 0);
}

TEST_F(MenuPlayTest, InGameMenuLeadsBackToTheMainMenu) {
    StartPlayedMatch();
    Tap(SDL_SCANCODE_ESCAPE);
    ASSERT_TRUE(dynamic_cast<InGameMenu*>(view->GetScreens().back().get()));
    ClickButton("TextQuit");
    ASSERT_TRUE(Until([&] { return view->IsMenuMode() && view->GetScreens().size() == 2; }, 60));
    EXPECT_TRUE(dynamic_cast<MainMenuScreen*>(view->GetScreens().back().get()));
    EXPECT_EQ(G::Instance()->GetFlag(G::kPaused), 0);
}

TEST_F(MenuPlayTest, ChangedOptionIsKeptAfterARestart) {
    WaitForMainMenu();
    ClickButton("TextOptions");
    Frame();
    ASSERT_TRUE(dynamic_cast<OptionsScreen*>(view->GetScreens().back().get()));
    auto invert = TopGroup("inverty");
    ASSERT_TRUE(invert);
    EXPECT_EQ(Top()->GetButtons().GetGroupSelection("inverty"), "0");
    // The size in use is the one shown.
    auto res = TopGroup("resolution");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->text->GetCaption(), "1024x768");
    ClickOn(invert->arrowRight);
    ClickButton("TextBack");
    Frame();
    ASSERT_TRUE(dynamic_cast<MainMenuScreen*>(view->GetScreens().back().get()));
    std::ifstream in(home + "/Mirav/UserConfig.ini");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("inverty = 1"), std::string::npos) << text;
    EXPECT_NE(text.find("width = 1024"), std::string::npos) << text;

    // A restart: a new game state reads the file.
    ViewFixture::TearDown();
    ViewFixture::SetUp();
    EXPECT_TRUE(G::Instance()->GetUserConfig().inverty);
    EXPECT_EQ(G::Instance()->GetFlag(G::kInvertMouseY), 1);
    WaitForMainMenu();
    ClickButton("TextOptions");
    Frame();
    EXPECT_EQ(Top()->GetButtons().GetGroupSelection("inverty"), "1");
}

TEST_F(MenuPlayTest, EndScreenCountdownStartsOneNextGame) {
    StartPlayedMatch();
    TestSupport::EventRecorder starts;
    starts.Listen<EventTypes::EventUpdateInitializeGameLogic>();
    EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(0, 0));
    ASSERT_TRUE(Until([&] { return dynamic_cast<EndGameScreen*>(view->GetScreens().back().get()) != nullptr; }, 20));
    auto* end = dynamic_cast<EndGameScreen*>(view->GetScreens().back().get());
    EXPECT_EQ(end->GetButtons().FindButton("TextTitle")->GetCaption(), "Zezuz Idad Win");
    Frames(5200 / 16);
    ASSERT_TRUE(Until([&] { return view->IsGameRunning(); }, 60));
    Frames(200);
    size_t played = 0;
    for (const auto& s : starts.Of<EventTypes::EventUpdateInitializeGameLogic>())
        if (s->GetPayload()->menuBackdrop == 0) ++played;
    EXPECT_EQ(played, 1u);
    EXPECT_TRUE(view->IsGameRunning());
}

}  // namespace
