// The screen at the bottom of the stack for the whole run: turns the bound
// commands into the local player's game commands (move, turn, jump, throw,
// pick up, bomb, whistle), camera moves and switches, the display switches,
// the console and the in-game menu. It never stops an event.
#pragma once

#include "screens/IScreen.h"
#include "utility/Geometry.h"

#include <string>

namespace GameLogicView {

class IScreenHost;

class GameScreen : public IScreen {
public:
    static constexpr const char* kScreenFile = "Config/defaultScreen.ini";
    static constexpr float kMouseLookFactor = 0.003f;
    static constexpr float kWheelFactor = 0.005f;
    static constexpr float kCameraStep = 0.5f;

    explicit GameScreen(IScreenHost* host);
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    // Always false.
    bool OnEvent(const EventSystem::IEvent& event) override;

private:
    void OnPressed(const std::string& command);
    void OnHeld(const std::string& command);
    void OnMouseMove(int dx, int dy, int dz);
    void OnMoveDir(const Geometry::Vector3& d);

    IScreenHost* m_host;
};

}  // namespace GameLogicView
