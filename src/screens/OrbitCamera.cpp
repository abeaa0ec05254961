#include "screens/OrbitCamera.h"

#include <cmath>

namespace GameLogicView {

using Geometry::Vector3;

OrbitCamera::OrbitCamera(const Vector3& eye, const Vector3& lookAt, float minPitch, float maxPitch,
                         float minDistance, float maxDistance)
    : m_eye(eye),
      m_lookAt(lookAt),
      m_minPitch(minPitch),
      m_maxPitch(maxPitch),
      m_minDistance(minDistance),
      m_maxDistance(maxDistance),
      m_distance((minDistance + maxDistance) * 0.5f) {}

void OrbitCamera::SetMode(int mode) {
    m_mode = mode;
    if (mode == kFollow) m_distance = (m_minDistance + m_maxDistance) * 0.5f;
}

Vector3 OrbitCamera::OrbitDirection() const {
    const float cp = std::cos(m_pitch);
    return Vector3(cp * std::cos(m_yaw), std::sin(m_pitch), cp * std::sin(m_yaw));
}

Vector3 OrbitCamera::GetViewDirection() const {
    const Vector3 d(m_lookAt.x - m_eye.x, m_lookAt.y - m_eye.y, m_lookAt.z - m_eye.z);
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (!(len > 0.0f)) return Vector3(0.0f, 0.0f, 0.0f);
    return Vector3(d.x / len, d.y / len, d.z / len);
}

void OrbitCamera::ClampPitch() {
    if (m_pitch > m_maxPitch)
        m_pitch = m_maxPitch;
    else if (m_pitch < m_minPitch)
        m_pitch = m_minPitch;
}

void OrbitCamera::Move(const Vector3& delta) {
    switch (m_mode) {
    case kFree: {
        if (delta.x == 0.0f && delta.y == 0.0f && delta.z == 0.0f) return;
        // The camera's own axes: back from the point to the eye, side and up.
        const Vector3 back = OrbitDirection();
        Vector3 side(back.z, 0.0f, -back.x);  // (0, 1, 0) x back
        const float sl = std::sqrt(side.x * side.x + side.z * side.z);
        if (sl > 0.0f) side = Vector3(side.x / sl, 0.0f, side.z / sl);
        const Vector3 up(back.y * side.z - back.z * side.y, back.z * side.x - back.x * side.z,
                         back.x * side.y - back.y * side.x);
        const Vector3 move(delta.x * side.x + delta.y * up.x + delta.z * back.x,
                           delta.x * side.y + delta.y * up.y + delta.z * back.y,
                           delta.x * side.z + delta.y * up.z + delta.z * back.z);
        m_eye = Vector3(m_eye.x + move.x, m_eye.y + move.y, m_eye.z + move.z);
        m_lookAt = Vector3(m_lookAt.x + move.x, m_lookAt.y + move.y, m_lookAt.z + move.z);
        break;
    }
    case kFixedPoint: m_eye = Vector3(m_eye.x + delta.x, m_eye.y + delta.y, m_eye.z + delta.z); break;
    default:
        if (delta.z != 0.0f) {
            m_distance -= delta.z;
            if (m_distance > m_maxDistance)
                m_distance = m_maxDistance;
            else if (m_distance < m_minDistance)
                m_distance = m_minDistance;
        }
        break;
    }
}

void OrbitCamera::SetFixedPoint(const Vector3& point) {
    m_fixedPoint = point;
    m_distance = 0.0f;
    m_mode = kFixedPoint;
}

void OrbitCamera::Update(unsigned) {
    if (m_mode == kFollow) {
        Vector3 position;
        float height = 0.0f;
        if (m_target && m_target(position, height)) m_lookAt = Vector3(position.x, position.y + height, position.z);
    } else if (m_mode == kFixedPoint) {
        m_lookAt = m_fixedPoint;
        return;  // the eye stays where it was put
    }
    const Vector3 dir = OrbitDirection();
    m_eye = Vector3(m_lookAt.x + m_distance * dir.x, m_lookAt.y + m_distance * dir.y, m_lookAt.z + m_distance * dir.z);
    // Never below the ground: slide along the same line up to 0.2.
    const float s = std::sin(m_pitch);
    if (m_eye.y < 0.2f && s != 0.0f) {
        const float t = (0.2f - m_eye.y) / s;
        m_eye = Vector3(m_eye.x + t * dir.x, m_eye.y + t * dir.y, m_eye.z + t * dir.z);
    }
}

}  // namespace GameLogicView
