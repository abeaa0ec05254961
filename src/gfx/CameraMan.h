// The cameras loaded from the asset file, by id, and the one active camera.
#pragma once

#include <map>
#include <memory>

#include "utility/Geometry.h"

namespace Gfx {

class Camera;
class Frustum;

class CameraMan {
public:
    CameraMan();
    ~CameraMan();
    CameraMan(const CameraMan&) = delete;
    CameraMan& operator=(const CameraMan&) = delete;

    // Builds a free camera and stores it under the id (replacing one there);
    // does not activate it.
    void LoadCamera(int id, const Geometry::Vector3& eye, const Geometry::Vector3& lookAt,
                    const Geometry::Vector3& up, float a, float b, float minDistance, float maxDistance,
                    std::shared_ptr<Frustum> frustum);
    bool SetActiveCamera(int id);
    std::shared_ptr<Camera> GetActiveCamera() const { return m_active; }
    std::shared_ptr<Camera> GetCamera(int id) const;
    size_t CameraCount() const { return m_cameras.size(); }

private:
    std::map<int, std::shared_ptr<Camera>> m_cameras;
    std::shared_ptr<Camera> m_active;
};

}  // namespace Gfx
