// The engine's matrix builders. Matrices are stored row-major and multiply
// column vectors (v' = M v), so a translation sits in the fourth column and
// in A x B the matrix B applies first.
#pragma once

#include "utility/Geometry.h"

namespace Gfx {

Geometry::Matrix4x4 MatrixIdentity();
Geometry::Matrix4x4 MatrixTranslation(float x, float y, float z);
Geometry::Matrix4x4 MatrixScaling(float x, float y, float z);
// Rows (cos, sin, 0, 0), (-sin, cos, 0, 0), (0, 0, 1, 0), (0, 0, 0, 1).
Geometry::Matrix4x4 MatrixRotationZ(float angle);
// The quaternion's rotation in the upper 3x3 (a zero quaternion gives identity).
Geometry::Matrix4x4 MatrixRotationQuaternion(const Geometry::Quaternion& q);
// translation x rotation x scaling; identity factors are skipped.
Geometry::Matrix4x4 MatrixWorld(const Geometry::Vector3& position, const Geometry::Vector3& scale,
                                const Geometry::Quaternion& orientation);
// World to camera: rows (side, -side.eye), (up, -up.eye), (back, -back.eye),
// (0, 0, 0, 1). The camera looks along -back.
Geometry::Matrix4x4 MatrixLookAt(const Geometry::Vector3& side, const Geometry::Vector3& up,
                                 const Geometry::Vector3& back, const Geometry::Vector3& eye);
// Camera to clip space. This is the one place where the view (looking along
// -z, Direct3D-style left-handed world data) meets GL's clip conventions: the
// result already maps near..far to GL's z in [-w, w] and x, y to [-w, w], so
// no other part of the engine remaps depth or flips an axis.
Geometry::Matrix4x4 MatrixPerspective(float fov, float aspect, float nearZ, float farZ);
// Transpose of m with the first three elements of its fourth column zeroed:
// the camera's rotation without its translation.
Geometry::Matrix4x4 MatrixBillboard(const Geometry::Matrix4x4& m);

}  // namespace Gfx
