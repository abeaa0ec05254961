#include "screens/IScreen.h"

#include "events/EventManager.h"
#include "events/types/ViewEvents.h"
#include "ini/IniFile.h"
#include "screens/MouseCursor.h"

namespace GameLogicView {

IScreen::IScreen(const std::string& configFile, bool exclusive, bool placeMouse, bool showMouseDefault)
    : m_configFile(configFile), m_exclusive(exclusive), m_showMouse(showMouseDefault) {
    const Utility::IniFile file(configFile);
    const Utility::Section config("CONFIG");
    file.GetValue(Utility::Key("showMouse"), config, m_showMouse);
    file.GetValue(Utility::Key("mouseX"), config, m_mouseX);
    file.GetValue(Utility::Key("mouseY"), config, m_mouseY);
    // Screens are built just before they are pushed: the cursor follows the
    // newest one.
    if (MouseCursor* cursor = GetMouseCursor()) {
        cursor->SetVisible(m_showMouse);
        if (placeMouse && m_showMouse) cursor->SetPosition(m_mouseX, m_mouseY);
    }
    std::string effect;
    if (file.GetTrimmedString(Utility::Key("effect"), config, effect))
        EventSystem::QueueEvent(new EventTypes::EventCreateEffect(effect, Geometry::Vector3(0.0f, 0.0f, 0.0f),
                                                                  Geometry::Vector3(0.0f, 1.0f, 0.0f), 0));
}

}  // namespace GameLogicView
