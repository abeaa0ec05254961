// The graphics engine's scene side: owns the scene store and the camera
// manager, counts frames and seconds, steps the camera and culls once per
// frame, and offers the factories through which views and screens create
// draw objects.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx/GfxState.h"
#include "utility/Geometry.h"

namespace Gfx {

class Camera;
class CameraMan;
class IDrawObj;
class DrawObjActorAnimated;
class RenderQueue;
class Spatial;

class DrawScreen {
public:
    static DrawScreen* Create();
    static DrawScreen* Instance();
    static void Destroy();

    // Makes the scene store (with the particle configuration file) and the
    // camera manager; the seconds start again at 0.
    void Initialize(const std::string& particleConfig);
    // The frame step: camera, clocks, cull. Nothing while the device is lost.
    void Update(unsigned ms);

    // Starts a particle effect of the particle manager; its instance id (-1 when none starts).
    int AddParticleEffect(int effectTag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                          const Geometry::Quaternion& orientation, bool overlay);
    std::shared_ptr<Camera> GetActiveCamera() const;
    bool SetActiveCamera(int id);
    // Follows the world object with the id; false (camera unchanged) when
    // there is none.
    bool SetCameraTarget(int id);

    std::shared_ptr<IDrawObj> CreateObject(int id, const Geometry::Vector3& position,
                                           const Geometry::Quaternion& orientation, const Geometry::Vector3& scale,
                                           const GfxState& state);
    std::shared_ptr<IDrawObj> CreateUIObject(int id, const Geometry::Vector3& position,
                                             const Geometry::Vector3& scale, const GfxState& state);
    std::shared_ptr<IDrawObj> CreateCursor(const Geometry::Vector3& position, const Geometry::Vector3& scale,
                                           const GfxState& state);
    // A skinned, animated object (the state's model is a skinned model),
    // drawn like the world objects and clocked with the scene's seconds.
    std::shared_ptr<DrawObjActorAnimated> CreateAnimatedObject(int id, const Geometry::Vector3& position,
                                                               const Geometry::Quaternion& orientation,
                                                               const Geometry::Vector3& scale, const GfxState& state);
    // Each tag names a loaded texture; a missing one repeats the entry before it.
    std::shared_ptr<IDrawObj> CreateSkyBox(const std::vector<int>& textureTags, const GfxState& state);

    // Tells whether the game is paused (the global game state's paused
    // byte); set by the human view, which sits above the graphics engine.
    void SetPausedQuery(std::function<bool()> query) { m_pausedQuery = std::move(query); }

    Spatial* GetSpatial() const { return m_spatial.get(); }
    CameraMan* GetCameraMan() const { return m_cameraMan.get(); }
    // The queue the cull fills: the engine's when there is one, else our own.
    RenderQueue& GetRenderQueue();
    int FrameCounter() const { return m_frame; }
    float Seconds() const { return m_seconds; }

private:
    DrawScreen();
    ~DrawScreen();

    int m_frame = 0;
    float m_seconds = 0.0f;
    std::unique_ptr<CameraMan> m_cameraMan;
    std::unique_ptr<Spatial> m_spatial;
    std::unique_ptr<RenderQueue> m_ownQueue;
    std::function<bool()> m_pausedQuery;
};

}  // namespace Gfx
