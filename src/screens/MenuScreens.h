// The menu screens: a full-screen background picture and the buttons of the
// screen's menu file; the main menu, level choice, options (applied when the
// screen goes), credits, the in-game menu, loading and closing screens and
// the end-of-game screen with its score and countdown to the next game.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "screens/Button.h"
#include "screens/IScreen.h"

namespace Gfx {
class IDrawObj;
}

namespace GameLogicView {

// The full-screen background of a screen file: section "CONFIG" gives
// "depth" and the render state "bgImage"; the quad lies one unit of z
// beyond the buttons. None without a scene.
std::shared_ptr<Gfx::IDrawObj> CreateScreenBackground(int id, const std::string& file);

class MenuScreen : public IScreen {
public:
    ~MenuScreen() override;
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    bool OnEvent(const EventSystem::IEvent& event) override;

    ButtonMan& GetButtons() { return m_buttons; }
    int GetBackgroundId() const { return m_backgroundId; }

protected:
    // Builds the screen base, the background and the buttons of the file.
    MenuScreen(const std::string& file, bool placeMouse = false);
    // For classes that must act before the background and buttons exist.
    struct Deferred {};
    MenuScreen(const std::string& file, bool placeMouse, Deferred);
    void Build(const std::string& file);

    int m_backgroundId = -1;
    ButtonMan m_buttons;
};

class MainMenuScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/mainmenu.ini";
    MainMenuScreen();
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
};

class StartMenuScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/startgamemenu.ini";
    StartMenuScreen() : MenuScreen(kFile) {}
};

class CreditsScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/creditsmenu.ini";
    CreditsScreen() : MenuScreen(kFile) {}
};

class LoadingScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/loadingMenu.ini";
    LoadingScreen() : MenuScreen(kFile) {}
};

class ClosingScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/closingScreen.ini";
    ClosingScreen() : MenuScreen(kFile) {}
};

class OptionsScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/optionsmenu.ini";
    struct Mode {
        unsigned width, height;
    };
    OptionsScreen();
    ~OptionsScreen() override;
    // Reads the groups, validates, switches the display and saves what took.
    void ApplyOptions();
    const std::vector<Mode>& GetDisplayModes() const { return m_displayModes; }

private:
    std::vector<Mode> m_displayModes;
};

class InGameMenu : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/ingamemenu.ini";
    InGameMenu();
    bool OnEvent(const EventSystem::IEvent& event) override;
    void UpdateInvertText();

private:
    uint8_t m_lastInvert = 255;
};

class EndGameScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/endgamemenu.ini";
    explicit EndGameScreen(uint8_t winningTeam);
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    void BuildScoreText(const std::string& button, unsigned count, const float colour[4]);
    uint8_t GetWinner() const { return m_winner; }
    bool HasStartedNextGame() const { return m_started; }

private:
    int m_elapsedMs = 0;
    int m_shownImage = 0;
    uint8_t m_winner;
    bool m_started = false;
};

// A screen of buttons that closes when its command key comes up.
class HoldScreen : public MenuScreen {
public:
    HoldScreen(const std::string& file, const std::string& command) : MenuScreen(file), m_command(command) {}
    bool OnEvent(const EventSystem::IEvent& event) override;
    const std::string& GetCommand() const { return m_command; }

private:
    std::string m_command;
};

// Buttons only, without a background picture.
class CommandScreen : public MenuScreen {
public:
    explicit CommandScreen(const std::string& file) : MenuScreen(file, false, Deferred{}) { m_buttons.Load(file); }
};

}  // namespace GameLogicView
