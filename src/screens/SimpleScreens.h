// The screens that only cover the scene: the loading and closing screens
// (exclusive, every input taken) and the empty screen a played match has in
// place of the HUD when the HUD is off (not exclusive, takes nothing).
#pragma once

#include "screens/IScreen.h"

namespace GameLogicView {

class LoadingScreen : public IScreen {
public:
    static constexpr const char* kScreenFile = "Config/menus/loadingscreen.ini";
    LoadingScreen() : IScreen(kScreenFile, true, false) {}
    void OnUpdate(unsigned, bool) override {}
    bool OnEvent(const EventSystem::IEvent&) override { return true; }
};

class ClosingScreen : public IScreen {
public:
    static constexpr const char* kScreenFile = "Config/menus/closingscreen.ini";
    ClosingScreen() : IScreen(kScreenFile, true, false) {}
    void OnUpdate(unsigned, bool) override {}
    bool OnEvent(const EventSystem::IEvent&) override { return true; }
};

class DummyScreen : public IScreen {
public:
    DummyScreen() : IScreen("Config/defaultScreen.ini", false, false) {}
    void OnUpdate(unsigned, bool) override {}
    bool OnEvent(const EventSystem::IEvent&) override { return false; }
};

}  // namespace GameLogicView
