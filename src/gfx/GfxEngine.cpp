#include "gfx/GfxEngine.h"

#include "gfx/D3D9Core.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
GfxEngine* g_engine = nullptr;
}

GfxEngine::GfxEngine() { GfxLog.Log(HtmlLogger::LOG_ALLOC, "Graphics Engine Created"); }

GfxEngine::~GfxEngine() {
    if (m_core) {
        m_core->Release();
        GfxLog.Log(HtmlLogger::LOG_RELEASE, "D3D9Core class released.");
        delete m_core;
        m_core = nullptr;
    }
    GfxLog.Log(HtmlLogger::LOG_RELEASE, "Graphics Engine Destroyed");
}

GfxEngine* GfxEngine::Create() {
    if (!g_engine) g_engine = new GfxEngine();
    return g_engine;
}

GfxEngine* GfxEngine::Instance() { return g_engine; }

void GfxEngine::Release() {
    delete g_engine;
    g_engine = nullptr;
}

bool GfxEngine::Initialize(Platform::Window* window, const DisplaySettings& settings) {
    if (!m_core) m_core = new D3D9Core();
    m_core->Initialize(window, settings.width, settings.height, settings.windowed, settings.fsaaSamples);
    return true;
}

bool GfxEngine::IsPixelShader20Supported() const { return m_core && m_core->IsPixelShader20Supported(); }

void GfxEngine::WorldToScreen(const Geometry::Vector3& world, Geometry::Vector2& screen, bool* inFront) const {
    WorldToScreen(m_viewProjection, world, screen, inFront);
}

void GfxEngine::WorldToScreen(const Geometry::Matrix4x4& vp, const Geometry::Vector3& world, Geometry::Vector2& screen,
                              bool* inFront) {
    Geometry::Vector4 p = vp * Geometry::Vector4(world, 1.0f);
    if (inFront) *inFront = p.w > 0.0f;
    // A point on the camera plane has no projection; it is placed at the
    // centre rather than at infinity.
    if (p.w == 0.0f) {
        screen = Geometry::Vector2(0.5f, 0.5f);
        return;
    }
    p = p.Scale(1.0f / p.w);
    screen.x = (p.x + 1.0f) * 0.5f;
    screen.y = (1.0f - p.y) * 0.5f;
}

}  // namespace Gfx
