// The graphics engine: the one process-wide object that owns the device
// holder, brings it up on the game window with the player's display
// settings, and maps world points to screen fractions through the active
// camera.
#pragma once

#include <functional>

#include "utility/Geometry.h"

namespace Platform {
class Window;
}

namespace Gfx {

class D3D9Core;

struct DisplaySettings {
    int width = 1024;
    int height = 768;
    int fsaaSamples = 0;  // the multisample count asked for; 0 none
    bool windowed = false;
};

class GfxEngine {
public:
    // Creates the engine when there is none; returns it.
    static GfxEngine* Create();
    // Null until created.
    static GfxEngine* Instance();
    // Releases the device holder and destroys the engine.
    static void Release();

    // Creates the device holder and initialises it on the window. True
    // whatever the device did; the caller checks IsPixelShader20Supported.
    bool Initialize(Platform::Window* window, const DisplaySettings& settings);
    bool IsPixelShader20Supported() const;
    D3D9Core* GetCore() const { return m_core; }

    // The active camera's view-projection matrix (row-major, column vectors),
    // set by the camera manager; identity until then.
    void SetViewProjection(const Geometry::Matrix4x4& vp) { m_viewProjection = vp; }
    const Geometry::Matrix4x4& GetViewProjection() const { return m_viewProjection; }

    // world -> screen fractions (x 0..1 left to right, y 0..1 top to bottom)
    // through the active camera. inFront, when asked for, tells whether the
    // point lies in front of the camera; a point behind it still gets its
    // (mirrored) position.
    void WorldToScreen(const Geometry::Vector3& world, Geometry::Vector2& screen, bool* inFront = nullptr) const;
    static void WorldToScreen(const Geometry::Matrix4x4& viewProjection, const Geometry::Vector3& world,
                              Geometry::Vector2& screen, bool* inFront = nullptr);

private:
    GfxEngine();
    ~GfxEngine();

    D3D9Core* m_core = nullptr;
    Geometry::Matrix4x4 m_viewProjection;
};

}  // namespace Gfx
