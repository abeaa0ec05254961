#include "screens/MouseCursor.h"

#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "ini/IniFile.h"

namespace GameLogicView {

namespace {
constexpr int kCursorState = 17;
MouseCursor* g_cursor = nullptr;
std::string g_configFile = "Config/Config.ini";
}  // namespace

MouseCursor::MouseCursor(const std::string& configFile) {
    m_depth = Utility::ReadIniOrDefault<int>(Utility::Key("mouseDepth"), Utility::Section("MISC"), configFile, 0);
    CreateQuad();
}

void MouseCursor::CreateQuad() {
    if (m_quad) return;
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!screen || !engine || !engine->GetStateMan()) return;
    Gfx::GfxState state;
    engine->GetStateMan()->RequestState(kCursorState, state);
    m_quad = screen->CreateCursor(Geometry::Vector3(0.5f, 0.5f, static_cast<float>(m_depth)),
                                  Geometry::Vector3(0.03125f, 0.041666f, 0.1f), state);
    if (!m_visible) {
        Gfx::GfxState clear;
        clear.alpha = 0.0f;
        m_quad->PushState(clear);
    }
}

void MouseCursor::UpdatePosition() {
    if (m_x < 0.0f) m_x = 0.0f;
    if (m_x > 0.99f) m_x = 0.99f;
    if (m_y < 0.0f) m_y = 0.0f;
    if (m_y > 0.99f) m_y = 0.99f;
    m_quadX = m_x + 0.02f;
    m_quadY = m_y + 0.02f;
    if (m_quad) m_quad->SetPosition(Geometry::Vector3(m_quadX, m_quadY, static_cast<float>(m_depth)));
}

void MouseCursor::Show() {
    if (m_visible) return;
    m_visible = true;
    if (m_hiddenStates > 0) --m_hiddenStates;
    if (m_quad && m_quad->StateCount() > 1) m_quad->PopState();
}

void MouseCursor::Hide() {
    if (!m_visible) return;
    m_visible = false;
    ++m_hiddenStates;
    if (m_quad) {
        // Transparent, everything else as it was.
        Gfx::GfxState clear;
        clear.alpha = 0.0f;
        m_quad->PushState(clear);
    }
}

void SetMouseCursorConfigFile(const std::string& file) { g_configFile = file; }

MouseCursor* CreateMouseCursor() {
    if (!g_cursor) g_cursor = new MouseCursor(g_configFile);
    return g_cursor;
}

MouseCursor* GetMouseCursor() { return g_cursor; }

void DestroyMouseCursor() {
    if (g_cursor && g_cursor->GetQuad())
        if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
            if (screen->GetSpatial()) screen->GetSpatial()->ClearCursor();
    delete g_cursor;
    g_cursor = nullptr;
}

}  // namespace GameLogicView
