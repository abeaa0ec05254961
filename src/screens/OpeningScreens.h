// Pictures shown before the menus: a splash that hands over to the main menu
// after a while or at the first key let go, and a picture clicked through in
// three steps.
#pragma once

#include <memory>
#include <string>

#include "screens/IScreen.h"

namespace Gfx {
class IDrawObj;
}

namespace GameLogicView {

// The background of a screen file that goes with the screen.
class PictureScreen : public IScreen {
public:
    ~PictureScreen() override;
    int GetBackgroundId() const { return m_backgroundId; }
    const std::shared_ptr<Gfx::IDrawObj>& GetBackground() const { return m_background; }

protected:
    explicit PictureScreen(const std::string& file);

    int m_backgroundId;
    std::shared_ptr<Gfx::IDrawObj> m_background;
};

class NorvaleScreen : public PictureScreen {
public:
    static constexpr int kShowMs = 5000;
    explicit NorvaleScreen(const std::string& file) : PictureScreen(file) {}
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    // Takes every event.
    bool OnEvent(const EventSystem::IEvent& event) override;
    bool HasFired() const { return m_fired; }

private:
    void Fire();

    unsigned m_elapsedMs = 0;
    bool m_fired = false;
};

class OpenScreen : public PictureScreen {
public:
    static constexpr int kFirstTexture = 24;
    static constexpr int kSecondTexture = 25;
    static constexpr const char* kScreensFile = "Config/ui.ini";
    explicit OpenScreen(const std::string& file) : PictureScreen(file) {}
    void OnUpdate(unsigned, bool) override {}
    // Takes every event.
    bool OnEvent(const EventSystem::IEvent& event) override;
    int GetPresses() const { return m_presses; }

private:
    int m_presses = 0;
};

}  // namespace GameLogicView
