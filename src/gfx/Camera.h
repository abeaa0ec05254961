// One camera: follows a draw object at a pitch, yaw and distance, flies
// freely, or circles a fixed point; may shake; rebuilds its view,
// view-projection and billboard matrices and its frustum on each update.
#pragma once

#include <memory>

#include "utility/Geometry.h"

namespace Gfx {

class Frustum;
class IDrawObj;

class Camera {
public:
    enum Mode { kFollow = 0, kFree = 1, kFixed = 2 };

    // Free mode; pitch limits pi / a and pi / b; distance halfway between the
    // limits. The up vector is replaced at the first view update.
    Camera(int id, std::shared_ptr<Frustum> frustum, const Geometry::Vector3& eye, const Geometry::Vector3& lookAt,
           const Geometry::Vector3& up, float a, float b, float minDistance, float maxDistance);

    void Update(unsigned ms);
    void UpdateView();
    // Mode 0 takes the target when one is given and resets the distance.
    void SetMode(int mode, const std::shared_ptr<IDrawObj>& target = nullptr);
    void SetFixedPoint(const Geometry::Vector3& point);
    void Move(const Geometry::Vector3& delta);
    void Rotate(float yawStep, float pitchStep);
    void SetYaw(const Geometry::Vector3& direction);
    void AddShake(const Geometry::Vector3& position);
    void ClampDistance();
    void ClampPitch();

    std::shared_ptr<Frustum> GetFrustum() const { return m_frustum; }
    int GetId() const { return m_id; }
    int GetMode() const { return m_mode; }
    const Geometry::Vector3& GetEye() const { return m_eye; }
    const Geometry::Vector3& GetLookAt() const { return m_lookAt; }
    const Geometry::Vector3& GetLastMove() const { return m_lastMove; }
    const Geometry::Vector3& GetBack() const { return m_back; }
    const Geometry::Vector3& GetSide() const { return m_side; }
    const Geometry::Vector3& GetUp() const { return m_up; }
    const Geometry::Matrix4x4& GetView() const { return m_view; }
    const Geometry::Matrix4x4& GetViewProjection() const { return m_viewProjection; }
    const Geometry::Matrix4x4& GetBillboard() const { return m_billboard; }
    const std::shared_ptr<IDrawObj>& GetTarget() const { return m_target; }
    float GetPitch() const { return m_pitch; }
    float GetYaw() const { return m_yaw; }
    float GetDistance() const { return m_distance; }
    float GetMinPitch() const { return m_minPitch; }
    float GetMaxPitch() const { return m_maxPitch; }
    float GetShake() const { return m_shake; }
    void SetEye(const Geometry::Vector3& eye) { m_eye = eye; }
    void SetLookAt(const Geometry::Vector3& at) { m_lookAt = at; }
    void SetPitch(float p) { m_pitch = p; }
    void SetYawAngle(float y) { m_yaw = y; }
    void SetDistance(float d) { m_distance = d; }

    // The phase of every camera's shake; tests reset it.
    static float ShakePhase();
    static void ResetShakePhase();

private:
    int m_id;
    int m_mode = kFree;
    std::shared_ptr<Frustum> m_frustum;
    Geometry::Vector3 m_eye, m_lookAt, m_lastMove;
    Geometry::Matrix4x4 m_viewProjection, m_view, m_billboard;
    Geometry::Vector3 m_back{0, 0, 1}, m_side{1, 0, 0}, m_up{0, 1, 0};
    Geometry::Vector3 m_fixedPoint;
    std::shared_ptr<IDrawObj> m_target;
    float m_pitch = 0.0f, m_yaw = 0.0f, m_distance = 0.0f;
    float m_minPitch = 0.0f, m_maxPitch = 0.0f, m_minDistance = 0.0f, m_maxDistance = 0.0f;
    float m_shake = 0.0f;
};

}  // namespace Gfx
