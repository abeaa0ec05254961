// What the active camera hands the effects once per frame: its matrices
// (row-major, multiplying column vectors) and its frame of reference.
#pragma once

#include "utility/Geometry.h"

namespace Gfx {

struct CameraParams {
    Geometry::Matrix4x4 view;
    Geometry::Matrix4x4 projection;
    Geometry::Matrix4x4 viewProjection;
    Geometry::Matrix4x4 billboard;
    Geometry::Vector3 eye{0.0f, 0.0f, 0.0f};
    Geometry::Vector3 up{0.0f, 1.0f, 0.0f};
    Geometry::Vector3 side{1.0f, 0.0f, 0.0f};
};

}  // namespace Gfx
