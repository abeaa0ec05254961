#include "screens/MouseCursor.h"

#include "ini/IniFile.h"

namespace GameLogicView {

namespace {
MouseCursor* g_cursor = nullptr;
std::string g_configFile = "Config/Config.ini";
}  // namespace

MouseCursor::MouseCursor(const std::string& configFile) {
    m_depth = Utility::ReadIniOrDefault<int>(Utility::Key("mouseDepth"), Utility::Section("MISC"), configFile, 0);
}

void MouseCursor::UpdatePosition() {
    if (m_x < 0.0f) m_x = 0.0f;
    if (m_x > 0.99f) m_x = 0.99f;
    if (m_y < 0.0f) m_y = 0.0f;
    if (m_y > 0.99f) m_y = 0.99f;
    m_quadX = m_x + 0.02f;
    m_quadY = m_y + 0.02f;
}

void MouseCursor::Show() {
    if (m_visible) return;
    m_visible = true;
    if (m_hiddenStates > 0) --m_hiddenStates;
}

void MouseCursor::Hide() {
    if (!m_visible) return;
    m_visible = false;
    ++m_hiddenStates;
}

void SetMouseCursorConfigFile(const std::string& file) { g_configFile = file; }

MouseCursor* CreateMouseCursor() {
    if (!g_cursor) g_cursor = new MouseCursor(g_configFile);
    return g_cursor;
}

MouseCursor* GetMouseCursor() { return g_cursor; }

void DestroyMouseCursor() {
    delete g_cursor;
    g_cursor = nullptr;
}

}  // namespace GameLogicView
