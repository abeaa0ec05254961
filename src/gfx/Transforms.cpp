#include "gfx/Transforms.h"

#include <cmath>

namespace Gfx {

using Geometry::Matrix4x4;
using Geometry::Vector3;

Matrix4x4 MatrixIdentity() { return Matrix4x4::Identity(); }

Matrix4x4 MatrixTranslation(float x, float y, float z) {
    Matrix4x4 m;
    m(0, 3) = x;
    m(1, 3) = y;
    m(2, 3) = z;
    return m;
}

Matrix4x4 MatrixScaling(float x, float y, float z) {
    Matrix4x4 m;
    m(0, 0) = x;
    m(1, 1) = y;
    m(2, 2) = z;
    return m;
}

Matrix4x4 MatrixRotationZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return Matrix4x4(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

Matrix4x4 MatrixRotationQuaternion(const Geometry::Quaternion& q) {
    return Matrix4x4::FromRotation(q.SafeToMatrix3x3());
}

Matrix4x4 MatrixWorld(const Vector3& position, const Vector3& scale, const Geometry::Quaternion& orientation) {
    // Built directly: the upper 3x3 is R with its columns scaled, the fourth
    // column the position (the same as T x (R x S) without the products).
    Matrix4x4 w;
    if (!orientation.IsIdentity()) {
        const Geometry::Matrix3x3 r = orientation.SafeToMatrix3x3();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) w(i, j) = r(i, j);
    }
    if (!(scale == Vector3(1.0f, 1.0f, 1.0f))) {
        for (int i = 0; i < 3; ++i) {
            w(i, 0) *= scale.x;
            w(i, 1) *= scale.y;
            w(i, 2) *= scale.z;
        }
    }
    w(0, 3) = position.x;
    w(1, 3) = position.y;
    w(2, 3) = position.z;
    return w;
}

Matrix4x4 MatrixLookAt(const Vector3& side, const Vector3& up, const Vector3& back, const Vector3& eye) {
    return Matrix4x4(side.x, side.y, side.z, -side.Dot(eye), up.x, up.y, up.z, -up.Dot(eye), back.x, back.y, back.z,
                     -back.Dot(eye), 0, 0, 0, 1);
}

Matrix4x4 MatrixPerspective(float fov, float aspect, float nearZ, float farZ) {
    const float f = 1.0f / std::tan(fov * 0.5f);
    // A zero aspect or a near plane equal to the far one would divide by
    // zero; such a frustum keeps finite (if useless) numbers.
    const float a = aspect != 0.0f ? aspect : 1.0f;
    const float depth = nearZ != farZ ? nearZ - farZ : -1.0f;
    return Matrix4x4(f / a, 0, 0, 0, 0, f, 0, 0, 0, 0, (nearZ + farZ) / depth, 2.0f * nearZ * farZ / depth, 0, 0, -1,
                     0);
}

Matrix4x4 MatrixBillboard(const Matrix4x4& m) {
    Matrix4x4 b = m.Transpose();
    b(0, 3) = 0.0f;
    b(1, 3) = 0.0f;
    b(2, 3) = 0.0f;
    return b;
}

}  // namespace Gfx
