// Menu files, buttons, spin groups, the action table and the end screen's
// countdown, without a scene: files are written into a scratch working
// directory, the cursor is placed by hand and events are recorded.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "ini/IniFile.h"
#include "screens/Button.h"
#include "screens/MenuActions.h"
#include "screens/MenuScreens.h"
#include "screens/MouseCursor.h"
#include "screens/OpeningScreens.h"
#include "support/Harness.h"

using namespace GameLogicView;
using G = GlobalGameState;

namespace {

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* kArrows =
    "[ArrowLeft]\nstate = 102\nx = 0.3\ny = 0.5\nz = 0.5\nextX = 0.02\nextY = 0.02\nup = 108\nover = 109\n"
    "[ArrowRight]\nstate = 102\nx = 0.7\ny = 0.5\nz = 0.5\nextX = 0.02\nextY = 0.02\nup = 110\nover = 111\n"
    "[Text]\nstate = 104\nx = 0.5\ny = 0.5\nz = 0.6\nextX = 0.1\nextY = 0.02\nstatic = 1\nimage = 104\n";

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        char tmpl[] = "/tmp/mirav-menus-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(getcwd(oldCwd, sizeof oldCwd) != nullptr, true);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(system("mkdir -p Config/menus Levels xdg"), 0);
        setenv("XDG_CONFIG_HOME", (dir + "/xdg").c_str(), 1);
        Write("Config/Config.ini", "[MISC]\nAllowButtonDrag = 1\n");
        Write("Levels/levels.ini",
              "[level0]\nfile = Levels/a.ini\nname = First\n[level10]\nfile = Levels/b.ini\nname = Tenth\n"
              "[other]\nfile = Levels/a.ini\n");
        Write("Levels/a.ini", "[level]\nscreenshot = 120\n");
        Write("Levels/b.ini", "[level]\nscreenshot = 121\n");
        G::Create();
        cursor = CreateMouseCursor();
        cursor->SetPosition(-1, -1);
    }
    void TearDown() override {
        DestroyMouseCursor();
        G::Destroy();
        ASSERT_EQ(chdir(oldCwd), 0);
        ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
        TestSupport::ResetSingletons();
    }
    void Release(const char* command) {
        Input::EventIsReleased e(command);
        menu.OnInput(e);
    }
    void ClickAt(float x, float y) {
        cursor->SetPosition(x, y);
        menu.Update();
        Release("LEFTCLICK");
    }
    uint8_t Flag(int i) { return G::Instance()->GetFlag(i); }

    std::string dir;
    char oldCwd[4096];
    MouseCursor* cursor = nullptr;
    ButtonMan menu;
};

TEST_F(MenuTest, FileSectionsBecomeButtonsAndGroups) {
    Write("Config/menus/spin.ini", std::string(kArrows) +
                                       "[OptionButton]\ncaption = colour\n[Red]\naction = a\ncaption = R\nimage = 7\n"
                                       "[Blue]\naction = b\ncaption = B\nimage = 8\n[Green]\naction = c\ncaption = G\n");
    Write("Config/menus/m.ini",
          "[CONFIG]\ndepth = 2\n[CONFIGX]\nstate = 0\n[GROUPA]\ngroupfile =  spin.ini \n"
          "[GROUPB]\ngroupfile = missing.ini\n[Pic]\nstate = 104\nx = 0.5\ny = 0.2\nstatic = 1\nimage = 5\n");
    menu.Load("Config/menus/m.ini");
    EXPECT_EQ(menu.GetDepth(), 2);
    std::string names;
    for (const auto& b : menu.GetButtons()) names += b->GetName() + ",";
    EXPECT_EQ(names, "CONFIGX,ArrowLeft,ArrowRight,OptionButton,Text,ArrowLeft,ArrowRight,OptionButton,Text,Pic,");
    ASSERT_EQ(menu.GetGroups().size(), 2u);
    auto g = menu.FindGroup("colour");
    ASSERT_TRUE(g);
    ASSERT_EQ(g->Options().size(), 3u);
    // Loading shows option 0.
    EXPECT_EQ(g->text->GetCaption(), "R");
    EXPECT_EQ(g->optionButton->GetUp(), 7);
    // The missing group file: a group without options whose buttons have no quads.
    EXPECT_TRUE(menu.GetGroups()[1]->Options().empty());
    EXPECT_EQ(menu.GetGroups()[1]->arrowLeft->GetState(), 0);
    EXPECT_EQ(menu.FindButton("Pic")->GetAction(), "none");
    EXPECT_EQ(menu.GetGroupSelection("nothing"), "");

    // Arrows wrap both ways.
    ClickAt(0.3f, 0.5f);
    EXPECT_EQ(g->GetSelected(), 2u);
    EXPECT_EQ(g->text->GetCaption(), "G");
    ClickAt(0.7f, 0.5f);
    EXPECT_EQ(g->GetSelected(), 0u);
    ClickAt(0.7f, 0.5f);
    EXPECT_EQ(menu.GetGroupSelection("colour"), "b");
    menu.SelectGroupOption("colour", "c");
    EXPECT_EQ(menu.GetGroupSelection("colour"), "c");
    menu.SelectGroupOption("colour", "zzz");
    EXPECT_EQ(menu.GetGroupSelection("colour"), "c");
}

TEST_F(MenuTest, MissingMenuFileGivesNoButtons) {
    menu.Load("Config/menus/none.ini");
    EXPECT_TRUE(menu.GetButtons().empty());
    EXPECT_FALSE(menu.FindButton("TextStart"));
    menu.Update();
    Release("LEFTCLICK");
}

TEST_F(MenuTest, LevelListFillsTheGroupWithNamesAndPicturesOfAnyNumber) {
    Write("Config/menus/lv.ini", std::string(kArrows) + "[OptionButton]\ncaption = level\n[Any]\naction = spin_levels\n");
    Write("Config/menus/m.ini", "[GROUP1]\ngroupfile = lv.ini\n");
    menu.Load("Config/menus/m.ini");
    auto g = menu.FindGroup("level");
    ASSERT_TRUE(g);
    ASSERT_EQ(g->Options().size(), 2u);
    EXPECT_EQ(g->Options()[0].caption, "First");
    EXPECT_EQ(g->Options()[1].action, "level10");
    EXPECT_EQ(g->Options()[1].caption, "Tenth");
    EXPECT_EQ(g->Options()[1].image, 121);
    EXPECT_EQ(g->optionButton->GetUp(), 120);
    ClickAt(0.7f, 0.5f);
    menu.ApplyGroupSelections();
    EXPECT_EQ(Flag(G::kLevel), 10);
}

TEST_F(MenuTest, HoverTracksTheCursorWithAMarginAndLiftsTheHeldButton) {
    Write("Config/menus/m.ini",
          "[A]\nstate = 102\nx = 0.5\ny = 0.5\nz = 0.1\nextX = 0.1\nextY = 0.1\naction = x\nup = 1\nover = 2\n"
          "[B]\nstate = 102\nx = 0.55\ny = 0.5\nz = 0.2\nextX = 0.1\nextY = 0.1\naction = y\nup = 1\nover = 2\n"
          "[S]\nstate = 104\nx = 0.2\ny = 0.2\nz = 0.1\nextX = 0.05\nextY = 0.05\nstatic = 1\nimage = 3\n");
    menu.Load("Config/menus/m.ini");
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventCreateEffect>();
    cursor->SetPosition(0.52f, 0.5f);
    menu.Update();
    ASSERT_EQ(menu.GetHovered(), menu.FindButton("A"));
    EXPECT_FLOAT_EQ(menu.FindButton("A")->GetZ(), 0.201f);
    // Static buttons are pictures: no hover, no sound.
    cursor->SetPosition(0.2f + 0.05f + 0.0009f, 0.2f);
    menu.Update();
    EXPECT_FALSE(menu.GetHovered());
    EventSystem::ProcessEventQueue();
    const size_t effects = rec.Count<EventTypes::EventCreateEffect>();
    EXPECT_EQ(effects, 4u);  // over A, over B, out A, out B
    // Just inside the margin of A's edge.
    cursor->SetPosition(0.5f - 0.1f - 0.0009f, 0.5f);
    menu.Update();
    EXPECT_EQ(menu.GetHovered(), menu.FindButton("A"));
    cursor->SetPosition(0.5f - 0.1f - 0.002f, 0.5f);
    menu.Update();
    EXPECT_FALSE(menu.GetHovered());
}

TEST_F(MenuTest, DraggedButtonWritesItsPlaceBack) {
    Write("Config/menus/m.ini", "[A]\nstate = 102\nx = 0.5\ny = 0.5\nz = 0.1\nextX = 0.05\nextY = 0.05\naction = x\n");
    {
        ButtonMan m;
        m.Load("Config/menus/m.ini");
        cursor->SetPosition(0.5f, 0.5f);
        m.Update();
        Input::EventIsPressed press("RIGHTCLICK");
        m.OnInput(press);
        cursor->SetPosition(0.6f, 0.4f);
        m.Update();
        Input::EventIsReleased rel("RIGHTCLICK");
        m.OnInput(rel);
    }
    Utility::IniFile ini("Config/menus/m.ini");
    EXPECT_EQ(ini.GetValue(Utility::Key("x"), Utility::Section("A")), "0.6000");
    EXPECT_EQ(ini.GetValue(Utility::Key("y"), Utility::Section("A")), "0.4000");
    EXPECT_EQ(ini.GetValue(Utility::Key("z"), Utility::Section("A")), "0.0010");
}

TEST_F(MenuTest, ActionTable) {
    struct Case {
        const char* action;
        std::vector<std::pair<int, int>> flagsBefore;
        std::vector<std::string> events;
        std::vector<std::pair<int, int>> flagsAfter;
    };
    const Case cases[] = {
        {"teamDemons", {}, {}, {{G::kTeam, 1}}},
        {"teamAngels", {{G::kTeam, 1}}, {}, {{G::kTeam, 0}}},
        {"level7", {}, {}, {{G::kLevel, 7}}},
        {"level12", {}, {}, {{G::kLevel, 12}}},
        {"level256", {{G::kLevel, 3}}, {}, {{G::kLevel, 3}}},
        {"levelx", {{G::kLevel, 3}}, {}, {{G::kLevel, 3}}},
        {"netMulti", {{G::kJoiningMachine, 1}}, {}, {{G::kMultiplayer, 1}, {G::kJoiningMachine, 0}}},
        {"mainMenuJoin", {}, {"VtLSetupMultiPlayer", "VtVSpawnJoinGameMenu"}, {{G::kMultiplayer, 1}, {G::kJoiningMachine, 1}}},
        {"StartGame", {}, {"LtVGameOver", "VtLInitializeGameLogic"}, {}},
        {"StartGame", {{G::kMultiplayer, 1}}, {"LtVGameOver", "VtLSetupMultiPlayer"}, {}},
        {"GoBack", {}, {"VtVSpawnMainMenu"}, {}},
        {"StopPlaying", {{G::kMultiplayer, 1}, {G::kJoiningMachine, 1}}, {"VtLShutDownNetLogic", "LtVGameOver"},
         {{G::kMultiplayer, 0}}},
        {"StopPlaying", {{G::kMultiplayer, 1}, {G::kJoiningMachine, 0}}, {"VtLShutDownNetView", "LtVGameOver"}, {}},
        {"mainMenuExit", {}, {"LtVGameOver"}, {}},
        {"modeSandbox", {}, {}, {{G::kGameMode, 1}}},
        {"Closescreen", {}, {}, {}},
        {"none", {}, {}, {}},
    };
    for (const Case& c : cases) {
        G::Instance()->Flags().assign(G::kFlagCount, 0);
        for (auto f : c.flagsBefore) G::Instance()->SetFlag(f.first, static_cast<uint8_t>(f.second));
        TestSupport::EventRecorder rec;
        rec.Listen<EventTypes::EventUpdateGameOver, EventTypes::EventUpdateInitializeGameLogic,
                   EventTypes::EventSetupMultiplayer, EventTypes::EventCreateJoinGameMenu,
                   EventTypes::EventCreateMainMenu, EventTypes::EventShutDownNetLogic,
                   EventTypes::EventShutDownNetView>();
        DispatchMenuAction(c.action);
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(rec.Names(), c.events) << c.action;
        for (auto f : c.flagsAfter) EXPECT_EQ(Flag(f.first), f.second) << c.action << " flag " << f.first;
        if (std::string(c.action) == "StartGame" && c.flagsBefore.empty()) {
            auto over = rec.Of<EventTypes::EventUpdateGameOver>();
            ASSERT_EQ(over.size(), 1u);
            EXPECT_EQ(over[0]->GetPayload()->winningTeam, 255);
            EXPECT_EQ(over[0]->GetPayload()->quit, 0);
        }
    }
}

TEST_F(MenuTest, InvertActionsSaveTheOptionAndSetTheFlag) {
    DispatchMenuAction("invertOn");
    EXPECT_EQ(Flag(G::kInvertMouseY), 1);
    UserConfig saved("UserConfig.ini");
    EXPECT_NE(Slurp(G::Instance()->GetUserConfig().filePath).find("inverty"), std::string::npos);
    EXPECT_EQ(G::Instance()->GetUserConfig().filePath.rfind(dir + "/xdg/Mirav/", 0), 0u);
    EXPECT_TRUE(saved.inverty);
    DispatchMenuAction("invertOff");
    EXPECT_EQ(Flag(G::kInvertMouseY), 0);
}

TEST_F(MenuTest, EndScreenCountsDownAndStartsTheNextGameOnce) {
    Write("Config/menus/endlv.ini", std::string(kArrows) + "[OptionButton]\ncaption = level\nstate = 104\nx = 0.5\ny = 0.8\n"
                                                           "extX = 0.1\nextY = 0.1\nstatic = 1\n[Any]\naction = spin_levels\n");
    Write("Config/menus/endgamemenu.ini",
          "[CONFIG]\nshowMouse = 1\n[TextTitle]\nstate = 104\nstatic = 1\n[TeamPic]\nstate = 104\nstatic = 1\nimage = 1\n"
          "[AngelScore]\nstate = 104\nstatic = 1\n[DemonScore]\nstate = 104\nstatic = 1\n"
          "[TextCountdown]\nstate = 104\nstatic = 1\n[GROUPlevel]\ngroupfile = endlv.ini\n");
    G::Instance()->SetFlag(G::kWinsAngel, 2);
    EndGameScreen end(0);
    EXPECT_EQ(end.GetButtons().FindButton("TextTitle")->GetCaption(), "Zezuz Idad Win");
    EXPECT_EQ(end.GetButtons().FindButton("TeamPic")->GetUp(), 94);
    EXPECT_EQ(end.GetButtons().FindButton("AngelScore")->GetCaption(), "3");
    EXPECT_EQ(end.GetButtons().FindButton("DemonScore")->GetCaption(), "0");
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventUpdateInitializeGameLogic>();
    auto countdown = end.GetButtons().FindButton("TextCountdown");
    end.OnUpdate(16, true);  // the watched picture becomes the level's: the count starts
    std::string seen;
    for (int i = 0; i < 700; ++i) {
        end.OnUpdate(16, true);
        if (seen.empty() || seen.back() != countdown->GetCaption().back()) seen += countdown->GetCaption();
    }
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(seen, "543210");
    EXPECT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameLogic>(), 1u);
    EXPECT_EQ(Flag(G::kLevel), 0);

    // Building the main menu resets the score.
    Write("Config/menus/mainmenu.ini", "");
    MainMenuScreen main;
    EXPECT_EQ(Flag(G::kWinsAngel), 0);
}

TEST_F(MenuTest, OptionsKeepWhatAMissingGroupDoesNotSayAndSave) {
    Write("Config/menus/inv.ini", std::string(kArrows) + "[OptionButton]\ncaption = inverty\n[Off]\naction = 0\n[On]\naction = 1\n");
    Write("Config/menus/optionsmenu.ini", "[GROUPi]\ngroupfile = inv.ini\n");
    UserConfig& uc = G::Instance()->GetUserConfig();
    uc.antialiasing = 4;
    uc.lowdetail = true;
    uc.width = 1280;
    uc.height = 1024;
    {
        OptionsScreen options;
        EXPECT_EQ(options.GetButtons().GetGroupSelection("inverty"), "0");
        cursor->SetPosition(0.7f, 0.5f);
        options.OnUpdate(16, true);
        Input::EventIsReleased click("LEFTCLICK");
        options.OnEvent(click);
    }
    UserConfig saved("UserConfig.ini");
    EXPECT_TRUE(saved.inverty);
    EXPECT_EQ(saved.antialiasing, 4);
    EXPECT_TRUE(saved.lowdetail);
    EXPECT_EQ(saved.width, 1280);
    EXPECT_EQ(Flag(G::kInvertMouseY), 1);
}

}  // namespace

TEST_F(MenuTest, OpeningPicturesHandOverOnceAndTakeEveryEvent) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventCreateMainMenu, EventTypes::EventScreenClose, EventTypes::EventScreenOpen>();
    Input::EventIsPressed up("UP"), click("LEFTCLICK"), jump("JUMP");
    Input::EventIsReleased released("JUMP");
    {
        // The splash goes to the main menu after 5 s (not at exactly 5 s),
        // or at the first key let go, whichever is first; once only.
        NorvaleScreen splash("Config/menus/splash.ini");
        EXPECT_TRUE(splash.IsExclusive());
        splash.OnUpdate(4000, true);
        splash.OnUpdate(1000, true);
        EXPECT_TRUE(splash.OnEvent(jump));
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(rec.Count<EventTypes::EventCreateMainMenu>(), 0u);
        splash.OnUpdate(1, true);
        EXPECT_TRUE(splash.OnEvent(released));
        splash.OnUpdate(5000, true);
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(rec.Count<EventTypes::EventCreateMainMenu>(), 1u);
        NorvaleScreen early("Config/menus/splash.ini");
        early.OnEvent(released);
        early.OnUpdate(6000, true);
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(rec.Count<EventTypes::EventCreateMainMenu>(), 2u);
    }
    rec.Clear();
    // The click-through picture: only "UP" and the left button count; the
    // third press closes it and asks for the screen the file names.
    Write("Config/ui.ini", "[SCREENS]\nmainMenu = 3\n");
    for (int screen : {3, -1}) {
        if (screen == -1) Write("Config/ui.ini", "");
        OpenScreen open("Config/menus/open.ini");
        EXPECT_TRUE(open.OnEvent(up));
        EXPECT_TRUE(open.OnEvent(jump));
        EXPECT_TRUE(open.OnEvent(released));
        EXPECT_TRUE(open.OnEvent(click));
        EventSystem::ProcessEventQueue();
        EXPECT_TRUE(rec.Events().empty());
        EXPECT_EQ(open.GetPresses(), 2);
        open.OnEvent(up);
        EventSystem::ProcessEventQueue();
        ASSERT_EQ(rec.Names(), (std::vector<std::string>{"VtVCloseScreen", "VtVOpenScreen"}));
        EXPECT_EQ(rec.Of<EventTypes::EventScreenOpen>()[0]->GetPayload()->screen, screen);
        open.OnEvent(up);  // a fourth press does nothing more
        EventSystem::ProcessEventQueue();
        EXPECT_EQ(rec.Events().size(), 2u);
        rec.Clear();
    }
}

TEST_F(MenuTest, HoldScreenClosesOnItsKeyAndCommandScreenIsButtonsOnly) {
    Write("Config/menus/hold.ini", "[Credits]\nstate = 102\nx = 0.5\ny = 0.5\nextX = 0.1\nextY = 0.1\naction = mainMenuCredits\n");
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventScreenClose, EventTypes::EventCreateCreditsMenu>();
    HoldScreen hold("Config/menus/hold.ini", "SCORES");
    EXPECT_NE(hold.GetBackgroundId(), -1);
    Input::EventIsReleased other("JUMP"), mine("SCORES");
    Input::EventIsPressed pressed("SCORES");
    EXPECT_TRUE(hold.OnEvent(other));
    EXPECT_TRUE(hold.OnEvent(pressed));
    EventSystem::ProcessEventQueue();
    EXPECT_TRUE(rec.Events().empty());
    EXPECT_TRUE(hold.OnEvent(mine));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Names(), std::vector<std::string>{"VtVCloseScreen"});
    // Everything else reaches its buttons.
    rec.Clear();
    cursor->SetPosition(0.5f, 0.5f);
    hold.OnUpdate(16, true);
    Input::EventIsReleased left("LEFTCLICK");
    EXPECT_TRUE(hold.OnEvent(left));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Names(), std::vector<std::string>{"VtVSpawnCreditsMenu"});

    rec.Clear();
    CommandScreen buttons("Config/menus/hold.ini");
    EXPECT_EQ(buttons.GetBackgroundId(), -1);
    ASSERT_EQ(buttons.GetButtons().GetButtons().size(), 1u);
    buttons.OnUpdate(16, true);
    EXPECT_TRUE(buttons.OnEvent(left));
    EXPECT_TRUE(buttons.OnEvent(mine));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Names(), std::vector<std::string>{"VtVSpawnCreditsMenu"});
}
