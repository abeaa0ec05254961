#include "screens/OpeningScreens.h"

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "ini/IniFile.h"
#include "screens/Button.h"
#include "screens/MenuScreens.h"

namespace GameLogicView {

PictureScreen::PictureScreen(const std::string& file)
    : IScreen(file, true, false), m_backgroundId(NextUIObjectId()) {
    m_background = CreateScreenBackground(m_backgroundId, file);
}

PictureScreen::~PictureScreen() {
    if (!m_background) return;
    if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
        if (screen->GetSpatial()) screen->GetSpatial()->DestroyUIObject(m_backgroundId);
}

// ---- splash -----------------------------------------------------------------------------

void NorvaleScreen::Fire() {
    if (m_fired) return;
    m_fired = true;
    EventSystem::QueueEvent(new EventTypes::EventCreateMainMenu());
}

void NorvaleScreen::OnUpdate(unsigned elapsedMs, bool) {
    m_elapsedMs += elapsedMs;
    if (m_elapsedMs > static_cast<unsigned>(kShowMs)) Fire();
}

bool NorvaleScreen::OnEvent(const EventSystem::IEvent& event) {
    if (dynamic_cast<const Input::EventIsReleased*>(&event)) Fire();
    return true;
}

// ---- click-through picture ------------------------------------------------------------------

bool OpenScreen::OnEvent(const EventSystem::IEvent& event) {
    const auto* p = dynamic_cast<const Input::EventIsPressed*>(&event);
    if (!p || !p->GetPayload()) return true;
    const std::string& command = p->GetPayload()->command;
    if (command != "UP" && command != "LEFTCLICK") return true;
    ++m_presses;
    if (m_presses == 1) {
        if (m_background) m_background->TopState().SetTextureTag(kFirstTexture);
    } else if (m_presses == 2) {
        if (m_background) {
            m_background->TopState().SetTextureTag(kSecondTexture);
            m_background->SetScale(Geometry::Vector3(0.8f, 0.8f, 0.8f));
        }
    } else if (m_presses == 3) {
        const int next = Utility::ReadIniOrDefault<int>(Utility::Key("mainMenu"), Utility::Section("SCREENS"),
                                                        kScreensFile, -1);
        EventSystem::QueueEvent(new EventTypes::EventScreenClose());
        EventSystem::QueueEvent(new EventTypes::EventScreenOpen(next));
    }
    return true;
}

}  // namespace GameLogicView
