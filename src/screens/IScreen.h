// The base of every screen on the human view's stack: built from its screen
// file (whether the cursor shows and where it goes), updated once a frame
// bottom-up, offered the input events top-down.
#pragma once

#include <string>

namespace EventSystem {
class IEvent;
}

namespace GameLogicView {

class IScreen {
public:
    virtual ~IScreen() = default;
    virtual void OnUpdate(unsigned elapsedMs, bool isTop) = 0;
    bool IsActive() const { return m_active; }
    // True when the screen handled the event.
    virtual bool OnEvent(const EventSystem::IEvent& event) = 0;

    bool IsExclusive() const { return m_exclusive; }
    bool ShowsMouse() const { return m_showMouse; }
    const std::string& GetConfigFile() const { return m_configFile; }
    float GetMouseX() const { return m_mouseX; }
    float GetMouseY() const { return m_mouseY; }

protected:
    // Reads section "CONFIG" of the file: "showMouse" (the cursor shows while
    // this screen is on top; missing: showMouseDefault), "mouseX", "mouseY"
    // (where placeMouse puts it) and "effect" (the opening effect).
    IScreen(const std::string& configFile, bool exclusive, bool placeMouse, bool showMouseDefault = false);

private:
    std::string m_configFile;
    bool m_active = true;
    bool m_exclusive;
    bool m_showMouse = false;
    float m_mouseX = 0.5f;
    float m_mouseY = 0.5f;
};

}  // namespace GameLogicView
