// The draw object of a skinned, animated model (the players' characters):
// its own animation clock and controller clone, a pending animation request,
// and bone callbacks that tell a view where a bone is in the drawn frame.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "gfx/DrawObj.h"

namespace Gfx {

class AnimationController;
class MeshSkinned;

class DrawObjActorAnimated : public IDrawObj {
public:
    // Called with the bone matrix of a palette slot (our column-vector form).
    using BoneCallback = std::function<void(const Geometry::Matrix4x4&)>;

    // The state's model must be a skinned model; without one the object
    // draws nothing and plays nothing.
    DrawObjActorAnimated(int id, const Geometry::Vector3& position, const Geometry::Quaternion& orientation,
                         const Geometry::Vector3& scale, const GfxState& state, float startSeconds);

    void AdvanceTime(float seconds) override;
    void Draw(Platform::GLDevice* device) override;

    // The animation started when the current one has finished (slot 0).
    void SetAnimation(int animation, float weight, float speed);
    // Starts at once: a short cross-fade when looping, else a one-shot.
    void PlayAnimation(int animation, float speed, float weight, bool loop);
    // Replaces the callback of palette slot 1.
    void SetCallback(BoneCallback callback);
    void ClearCallbacks() { m_callbacks.clear(); }

    // -1 when the object has no controller of its own.
    int ControllerIndex() const { return m_controllerIndex; }
    MeshSkinned* Mesh() const { return m_mesh.get(); }
    float Time() const { return m_time; }

private:
    std::map<int, BoneCallback> m_callbacks;
    float m_previousTime;
    float m_time;
    int m_controllerIndex = -1;
    std::shared_ptr<MeshSkinned> m_mesh;  // keeps the controller alive
    AnimationController* m_animation = nullptr;
};

}  // namespace Gfx
