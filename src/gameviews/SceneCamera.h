// One of the scene's cameras as the screens and the backdrop camera
// controller handle it.
#pragma once

#include <memory>

#include "screens/ViewCamera.h"

namespace Gfx {
class Camera;
}

namespace GameLogicView {

class SceneCamera : public IViewCamera {
public:
    explicit SceneCamera(std::shared_ptr<Gfx::Camera> camera) : m_camera(std::move(camera)) {}

    int GetMode() const override;
    void SetMode(int mode) override;
    Geometry::Vector3 GetEye() const override;
    Geometry::Vector3 GetLookAt() const override;
    Geometry::Vector3 GetViewDirection() const override;
    float GetPitch() const override;
    float GetYaw() const override;
    void SetPitch(float pitch) override;
    void SetYaw(float yaw) override;
    void ClampPitch() override;
    void Move(const Geometry::Vector3& delta) override;
    void SetEye(const Geometry::Vector3& eye) override;
    void SetFixedPoint(const Geometry::Vector3& point) override;
    void Update(unsigned ms) override;

    Gfx::Camera& Get() const { return *m_camera; }

private:
    std::shared_ptr<Gfx::Camera> m_camera;
};

}  // namespace GameLogicView
