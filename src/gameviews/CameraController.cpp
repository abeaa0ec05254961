#include "gameviews/CameraController.h"

#include "screens/ViewCamera.h"

namespace GameLogicView {

void CameraController::SetCamera(IViewCamera* camera) {
    m_camera = camera;
    Place();
}

void CameraController::AddFlagPoint(const Geometry::Vector3& point) {
    m_flags.push_back(point);
    Place();
}

void CameraController::AddCapturePoint(const Geometry::Vector3& point) {
    m_captures.push_back(point);
    Place();
}

void CameraController::Place() {
    if (m_captures.size() >= 2 && m_camera) LookAt(m_captures[1]);
    if (!m_flags.empty() && m_camera) {
        const Geometry::Vector3& f = m_flags.front();
        MoveEyeTo(Geometry::Vector3(f.x - 25.0f, f.y + 15.0f, f.z - 25.0f));
    }
}

void CameraController::LookAt(const Geometry::Vector3& point) {
    if (m_camera) m_camera->SetFixedPoint(point);
}

void CameraController::MoveEyeTo(const Geometry::Vector3& point) {
    if (!m_camera) return;
    m_camera->SetEye(Geometry::Vector3(0.0f, 0.0f, 0.0f));
    m_camera->Move(point);
}

}  // namespace GameLogicView
