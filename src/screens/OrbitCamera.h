// A camera that orbits what it looks at: follows a target at a pitch, yaw and
// distance the player changes, flies freely, or looks at a fixed point. The
// view uses it for the follow and menu-backdrop cameras.
#pragma once

#include <functional>

#include "screens/ViewCamera.h"

namespace GameLogicView {

class OrbitCamera : public IViewCamera {
public:
    // Where the followed object stands and how far its top lies above that;
    // false while there is nothing to follow.
    using TargetQuery = std::function<bool(Geometry::Vector3& position, float& height)>;

    // Pitch limits in radians, distance limits in world units; starts free,
    // pitch and yaw 0, the middle distance.
    OrbitCamera(const Geometry::Vector3& eye, const Geometry::Vector3& lookAt, float minPitch, float maxPitch,
                float minDistance, float maxDistance);

    int GetMode() const override { return m_mode; }
    void SetMode(int mode) override;
    Geometry::Vector3 GetEye() const override { return m_eye; }
    Geometry::Vector3 GetLookAt() const override { return m_lookAt; }
    Geometry::Vector3 GetViewDirection() const override;
    float GetPitch() const override { return m_pitch; }
    float GetYaw() const override { return m_yaw; }
    void SetPitch(float pitch) override { m_pitch = pitch; }
    void SetYaw(float yaw) override { m_yaw = yaw; }
    void ClampPitch() override;
    void Move(const Geometry::Vector3& delta) override;
    void SetEye(const Geometry::Vector3& eye) override { m_eye = eye; }
    void SetFixedPoint(const Geometry::Vector3& point) override;
    void Update(unsigned ms) override;

    void SetTarget(TargetQuery target) { m_target = std::move(target); }
    float GetDistance() const { return m_distance; }

private:
    // The unit vector from the point looked at to the eye in orbit modes.
    Geometry::Vector3 OrbitDirection() const;

    int m_mode = kFree;
    Geometry::Vector3 m_eye;
    Geometry::Vector3 m_lookAt;
    Geometry::Vector3 m_fixedPoint;
    float m_pitch = 0.0f, m_yaw = 0.0f;
    float m_minPitch, m_maxPitch;
    float m_minDistance, m_maxDistance, m_distance;
    TargetQuery m_target;
};

}  // namespace GameLogicView
