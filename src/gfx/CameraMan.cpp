#include "gfx/CameraMan.h"

#include "gfx/Camera.h"
#include "gfx/Frustum.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

CameraMan::CameraMan() { GfxLog.Log(HtmlLogger::LOG_ALLOC, "Camera Manager class created"); }

CameraMan::~CameraMan() { GfxLog.Log(HtmlLogger::LOG_RELEASE, "Camera Manager class destroyed"); }

void CameraMan::LoadCamera(int id, const Geometry::Vector3& eye, const Geometry::Vector3& lookAt,
                           const Geometry::Vector3& up, float a, float b, float minDistance, float maxDistance,
                           std::shared_ptr<Frustum> frustum) {
    m_cameras[id] = std::make_shared<Camera>(id, std::move(frustum), eye, lookAt, up, a, b, minDistance, maxDistance);
    GfxLog.Log(HtmlLogger::LOG_INFO, "CameraMan::LoadCamera: %i camera loaded in Free mode", id);
}

bool CameraMan::SetActiveCamera(int id) {
    auto it = m_cameras.find(id);
    if (it == m_cameras.end()) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "CameraMan::SetActiveCamera: Camera %i could not be found", id);
        return false;
    }
    m_active = it->second;
    return true;
}

std::shared_ptr<Camera> CameraMan::GetCamera(int id) const {
    auto it = m_cameras.find(id);
    return it == m_cameras.end() ? nullptr : it->second;
}

}  // namespace Gfx
