// What the screens ask of the human view that holds them: the active camera,
// following the local player with it, the scene's per-frame update and the
// two display switches. The view implements it; tests may stand in.
#pragma once

namespace GameLogicView {

class IViewCamera;

class IScreenHost {
public:
    virtual ~IScreenHost() = default;
    // Null while no camera is active.
    virtual IViewCamera* GetActiveCamera() = 0;
    // The active camera follows the local player's actor.
    virtual void FollowLocalActor() = 0;
    // The audio listener at the active camera, then the scene advanced by ms.
    virtual void UpdateScene(unsigned ms) = 0;
    // Full screen or windowed, 1024 x 768 without multisampling.
    virtual void SwitchDisplay(bool fullScreen) = 0;
};

}  // namespace GameLogicView
