// What the screens and the camera controller do with the active camera:
// read its mode and view direction, turn it by pitch and yaw, move it (by
// mode), follow the local player, look at a fixed point.
#pragma once

#include "utility/Geometry.h"

namespace GameLogicView {

class IViewCamera {
public:
    enum Mode : int { kFollow = 0, kFree = 1, kFixedPoint = 2 };

    virtual ~IViewCamera() = default;
    virtual int GetMode() const = 0;
    // Mode 0 also restores the middle follow distance.
    virtual void SetMode(int mode) = 0;
    virtual Geometry::Vector3 GetEye() const = 0;
    virtual Geometry::Vector3 GetLookAt() const = 0;
    // The unit vector from the eye towards the point looked at (the zero
    // vector while eye and point coincide).
    virtual Geometry::Vector3 GetViewDirection() const = 0;
    virtual float GetPitch() const = 0;
    virtual float GetYaw() const = 0;
    virtual void SetPitch(float pitch) = 0;
    virtual void SetYaw(float yaw) = 0;
    // Pitch into the camera's limits.
    virtual void ClampPitch() = 0;
    // Free: along the camera's own axes; fixed point: the eye; follow: the
    // z component shortens the distance.
    virtual void Move(const Geometry::Vector3& delta) = 0;
    virtual void SetEye(const Geometry::Vector3& eye) = 0;
    // Fixed-point mode looking at the point.
    virtual void SetFixedPoint(const Geometry::Vector3& point) = 0;
    // One frame: the point looked at follows the mode, the eye the orbit.
    virtual void Update(unsigned ms) = 0;
};

}  // namespace GameLogicView
