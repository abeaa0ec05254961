#include "gameviews/SceneCamera.h"

#include <cmath>

#include "gfx/Camera.h"

namespace GameLogicView {

using Geometry::Vector3;

int SceneCamera::GetMode() const { return m_camera->GetMode(); }
void SceneCamera::SetMode(int mode) { m_camera->SetMode(mode); }
Vector3 SceneCamera::GetEye() const { return m_camera->GetEye(); }
Vector3 SceneCamera::GetLookAt() const { return m_camera->GetLookAt(); }

Vector3 SceneCamera::GetViewDirection() const {
    const Vector3 d = m_camera->GetLookAt() - m_camera->GetEye();
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(len > 0.0f)) return Vector3(0.0f, 0.0f, 0.0f);
    return Vector3(d.x / len, d.y / len, d.z / len);
}

float SceneCamera::GetPitch() const { return m_camera->GetPitch(); }
float SceneCamera::GetYaw() const { return m_camera->GetYaw(); }
void SceneCamera::SetPitch(float pitch) { m_camera->SetPitch(pitch); }
void SceneCamera::SetYaw(float yaw) { m_camera->SetYawAngle(yaw); }
void SceneCamera::ClampPitch() { m_camera->ClampPitch(); }
void SceneCamera::Move(const Vector3& delta) { m_camera->Move(delta); }
void SceneCamera::SetEye(const Vector3& eye) { m_camera->SetEye(eye); }
void SceneCamera::SetFixedPoint(const Vector3& point) { m_camera->SetFixedPoint(point); }
void SceneCamera::Update(unsigned ms) { m_camera->Update(ms); }

}  // namespace GameLogicView
