// The empty screen a played match has in place of the HUD when the HUD is
// off (not exclusive, takes nothing).
#pragma once

#include "screens/IScreen.h"

namespace GameLogicView {

class DummyScreen : public IScreen {
public:
    DummyScreen() : IScreen("Config/defaultScreen.ini", false, false) {}
    void OnUpdate(unsigned, bool) override {}
    bool OnEvent(const EventSystem::IEvent&) override { return false; }
};

}  // namespace GameLogicView
