// Places the menu backdrop's camera: it looks at the level's second capture
// point from beside its first flag, placed again after every point reported.
#pragma once

#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

class IViewCamera;

class CameraController {
public:
    CameraController() = default;
    void SetCamera(IViewCamera* camera);
    void AddFlagPoint(const Geometry::Vector3& point);
    void AddCapturePoint(const Geometry::Vector3& point);
    // Looks at the second capture point (when there are two), then puts the
    // eye at the first flag + (-25, 15, -25) (when there is a flag).
    void Place();
    void LookAt(const Geometry::Vector3& point);
    void MoveEyeTo(const Geometry::Vector3& point);

    const std::vector<Geometry::Vector3>& GetFlagPoints() const { return m_flags; }
    const std::vector<Geometry::Vector3>& GetCapturePoints() const { return m_captures; }

private:
    IViewCamera* m_camera = nullptr;
    std::vector<Geometry::Vector3> m_flags;
    std::vector<Geometry::Vector3> m_captures;
};

}  // namespace GameLogicView
