// A view frustum: the projection built from field of view, aspect, near and
// far, and the six inward-facing planes, eight corners and enclosing cone
// that sphere tests run against.
#pragma once

#include "utility/Geometry.h"

namespace Gfx {

struct FrustumPlane {
    Geometry::Vector3 normal;
    float d = 0.0f;  // a point p is inside when dot(normal, p) + d > 0
};

struct FrustumCone {
    Geometry::Vector3 apex;
    Geometry::Vector3 axis;
    float cos = 1.0f, sin = 0.0f, cosSq = 1.0f, sinSq = 0.0f, invSin = 0.0f, angle = 0.0f;
};

class Frustum {
public:
    enum SphereResult { kOutside = 0, kPartly = 1, kInside = 2, kTouchingAll = 3 };

    // Stores the four values and builds the projection; the planes come with
    // the first BuildPlanes.
    Frustum(float fov, float aspect, float nearZ, float farZ);

    void UpdateProjection();
    // The frustum looks from origin along -back, with the given side and up
    // axes (right-handed side, up, back give inward normals). The field of
    // view is the frustum's own.
    void BuildPlanes(const Geometry::Vector3& origin, const Geometry::Vector3& back, const Geometry::Vector3& side,
                     const Geometry::Vector3& up, float nearZ, float farZ, float aspect);
    // 0 outside, 1 partly inside, 2 inside all six planes, 3 touching all six.
    int TestSphere(const Geometry::Vector3& centre, float radius) const;
    // False when the sphere lies wholly outside the enclosing cone.
    bool TestCone(const Geometry::Vector3& centre, float radius) const;

    float fov, aspect, nearZ, farZ;
    Geometry::Matrix4x4 projection;
    FrustumPlane planes[6];
    Geometry::Vector3 corners[8];
    FrustumCone cone;
};

}  // namespace Gfx
