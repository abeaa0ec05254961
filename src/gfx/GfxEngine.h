// The graphics engine: the one process-wide object that owns the device
// holder, brings it up on the game window with the player's display
// settings, and maps world points to screen fractions through the active
// camera.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "gfx/CameraParams.h"
#include "utility/Geometry.h"

namespace Platform {
class Window;
}

namespace Gfx {

class D3D9Core;
class IModel;
class RenderQueue;
class StateMan;

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
    // Resources and named render states by tag; made by Initialize.
    StateMan* GetStateMan() const { return m_stateMan; }
    // The frame's render buckets, filled by the scene's cull and drawn by
    // every frame of the device holder.
    RenderQueue& GetRenderQueue();

    // Model loaders of the asset files; each stores its model in the state
    // manager under the tag and returns false (logged) when it could not.
    bool LoadMeshModel(const std::string& path, int tag);                 // MSH: a .x mesh
    bool LoadSkinnedModel(const std::string& path, int param, int tag);   // SKN
    bool LoadParticleBuffer(int quadCount, int tag);                      // PBUFF: dynamic quads
    bool LoadBoxModel(float tiling, int tag);                             // BOX: the 10-unit cube
    bool LoadInstanceModel(int sourceTag, int copies, int tag);           // INST: copies of a mesh
    // Skinned hierarchies are built by their own loader when one is set;
    // without it an SKN model is loaded as its static mesh.
    using SkinnedLoader = std::function<std::shared_ptr<IModel>(const std::string& path, int param)>;
    void SetSkinnedLoader(SkinnedLoader loader) { m_skinnedLoader = std::move(loader); }

    // The active camera's values for the effects' per-frame parameters, set
    // by the camera manager; also the view-projection of WorldToScreen.
    void SetCameraParams(const CameraParams& params) {
        m_camera = params;
        m_viewProjection = params.viewProjection;
    }
    const CameraParams& GetCameraParams() const { return m_camera; }

    // The active camera's view-projection matrix (row-major, column vectors),
    // set by the camera manager; identity until then.
    void SetViewProjection(const Geometry::Matrix4x4& vp) {
        m_viewProjection = vp;
        m_camera.viewProjection = vp;
    }
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
    StateMan* m_stateMan = nullptr;
    std::unique_ptr<RenderQueue> m_renderQueue;
    Geometry::Matrix4x4 m_viewProjection;
    CameraParams m_camera;
    SkinnedLoader m_skinnedLoader;
};

}  // namespace Gfx
