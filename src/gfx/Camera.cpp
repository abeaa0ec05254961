#include "gfx/Camera.h"

#include <algorithm>
#include <cmath>

#include "gfx/DrawObj.h"
#include "gfx/Frustum.h"
#include "gfx/Transforms.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

using Geometry::Vector3;

namespace {
constexpr float kPi = 3.14159265358979f;
// Lowest eye height of an orbiting camera.
constexpr float kMinEyeHeight = 0.2f;
float g_shakePhase = 0.0f;

// pi / divisor; a divisor of 0 (an unset limit) means straight up or down,
// short of the vertical where the view has no side axis.
float PitchLimit(float divisor, float sign) {
    if (divisor == 0.0f) return sign * (kPi * 0.5f - 0.01f);
    return kPi / divisor;
}
}  // namespace

float Camera::ShakePhase() { return g_shakePhase; }
void Camera::ResetShakePhase() { g_shakePhase = 0.0f; }

Camera::Camera(int id, std::shared_ptr<Frustum> frustum, const Vector3& eye, const Vector3& lookAt, const Vector3& up,
               float a, float b, float minDistance, float maxDistance)
    : m_id(id), m_frustum(std::move(frustum)), m_eye(eye), m_lookAt(lookAt), m_up(up) {
    m_minPitch = PitchLimit(a, -1.0f);
    m_maxPitch = PitchLimit(b, 1.0f);
    m_minDistance = minDistance;
    m_maxDistance = maxDistance;
    m_distance = (minDistance + maxDistance) * 0.5f;
    UpdateView();
    GfxLog.Log(HtmlLogger::LOG_INFO, "Camera %i created", id);
}

void Camera::Update(unsigned ms) {
    if (m_mode == kFollow && m_target) {
        m_lookAt = m_target->GetPosition() + Vector3(0.0f, m_target->GetBoundingBox().radius, 0.0f);
    } else if (m_mode == kFixed) {
        m_lookAt = m_fixedPoint;
    }
    g_shakePhase += static_cast<float>(ms) * 0.05f;
    if (m_shake > 0.0f) {
        m_shake -= static_cast<float>(ms) * 0.005f;
        // Float steps of 0.08 leave a crumb of about 1e-7 where 4 - 50 x 0.08
        // is 0; a crumb that small counts as run out.
        if (m_shake > 0.0f && m_shake < 1e-5f) m_shake = 0.0f;
        m_lookAt += Vector3(std::sin(8.0f * g_shakePhase) * m_shake, std::sin(6.0f * g_shakePhase) * m_shake,
                            std::sin(5.0f * g_shakePhase) * m_shake);
    }
    if (m_mode == kFollow || m_mode == kFree) {
        const float cp = std::cos(m_pitch), sp = std::sin(m_pitch);
        const Vector3 dir(cp * std::cos(m_yaw), sp, cp * std::sin(m_yaw));
        const Vector3 before = m_eye;
        m_eye = m_lookAt + dir * m_distance;
        m_lastMove = m_eye - before;
        if (m_eye.y < kMinEyeHeight && sp != 0.0f) m_eye += dir * ((kMinEyeHeight - m_eye.y) / sp);
    }
    UpdateView();
}

void Camera::UpdateView() {
    Vector3 back = m_eye - m_lookAt;
    if (back == Vector3(0.0f, 0.0f, 0.0f)) return;
    back.Normalize();
    Vector3 side = Geometry::Cross(Vector3(0.0f, 1.0f, 0.0f), back);
    // Looking straight up or down leaves no side direction: keep the last one
    // (made perpendicular to the new back axis).
    if (side.LengthSquared() < 1e-12f) side = m_side - back * back.Dot(m_side);
    if (side.LengthSquared() < 1e-12f) side = Vector3(1.0f, 0.0f, 0.0f);
    side.Normalize();
    m_back = back;
    m_side = side;
    m_up = Geometry::Cross(back, side);
    m_view = MatrixLookAt(m_side, m_up, m_back, m_eye);
    if (m_frustum) {
        m_viewProjection = m_frustum->projection * m_view;
        m_frustum->BuildPlanes(m_eye, m_back, m_side, m_up, m_frustum->nearZ, m_frustum->farZ, m_frustum->aspect);
    } else {
        m_viewProjection = m_view;
    }
    m_billboard = MatrixBillboard(m_view);
}

void Camera::SetMode(int mode, const std::shared_ptr<IDrawObj>& target) {
    m_mode = mode;
    if (mode == kFollow) {
        if (target) m_target = target;
        m_distance = (m_minDistance + m_maxDistance) * 0.5f;
    }
}

void Camera::SetFixedPoint(const Vector3& point) {
    m_fixedPoint = point;
    m_distance = 0.0f;
    m_mode = kFixed;
}

void Camera::Move(const Vector3& delta) {
    if (m_mode == kFree) {
        if (delta == Vector3(0.0f, 0.0f, 0.0f)) return;
        const Vector3 move = m_side * delta.x + m_up * delta.y + m_back * delta.z;
        m_lastMove = move;
        m_eye += move;
        m_lookAt += move;
    } else if (m_mode == kFixed) {
        m_eye += delta;
    } else if (delta.z != 0.0f) {
        m_distance -= delta.z;
        ClampDistance();
    }
}

void Camera::Rotate(float yawStep, float pitchStep) {
    m_pitch += pitchStep;
    m_yaw -= yawStep;
    ClampPitch();
}

void Camera::SetYaw(const Vector3& direction) {
    m_pitch = 0.1f;
    ClampPitch();
    // acos of a value a hair above 1 would be NaN.
    m_yaw = std::acos(std::min(std::fabs(direction.x), 1.0f));
    if (direction.x > 0.0f) m_yaw -= kPi;
}

void Camera::AddShake(const Vector3& position) {
    const float d2 = (position - m_eye).LengthSquared();
    m_shake = d2 > 0.0f ? m_shake + 1400.0f / d2 : 4.0f;
    m_shake = std::min(m_shake, 4.0f);
}

void Camera::ClampDistance() {
    if (m_distance > m_maxDistance) m_distance = m_maxDistance;
    else if (m_distance < m_minDistance) m_distance = m_minDistance;
}

void Camera::ClampPitch() {
    if (m_pitch > m_maxPitch) m_pitch = m_maxPitch;
    else if (m_pitch < m_minPitch) m_pitch = m_minPitch;
}

}  // namespace Gfx
