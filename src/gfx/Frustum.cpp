#include "gfx/Frustum.h"

#include <algorithm>
#include <cmath>

#include "gfx/Transforms.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

using Geometry::Vector3;

Frustum::Frustum(float fov_, float aspect_, float near_, float far_)
    : fov(fov_), aspect(aspect_), nearZ(near_), farZ(far_) {
    // The values come from the asset file: a field of view of 0 or a half
    // turn, a zero aspect or an empty depth range would divide by zero in the
    // projection and the planes. Such a frustum gets the nearest usable one.
    const float kPi = 3.14159265f;
    const bool usable = std::isfinite(fov) && fov > 0.0f && fov < kPi && std::isfinite(aspect) && aspect > 0.0f &&
                        std::isfinite(nearZ) && nearZ > 0.0f && std::isfinite(farZ) && farZ > nearZ;
    if (!usable) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Frustum: unusable fov %f, aspect %f, near %f, far %f; corrected",
                   static_cast<double>(fov), static_cast<double>(aspect), static_cast<double>(nearZ),
                   static_cast<double>(farZ));
        fov = std::isfinite(fov) ? std::clamp(fov, 0.01f, kPi - 0.01f) : kPi / 4.0f;
        aspect = std::isfinite(aspect) && aspect > 0.0f ? aspect : 4.0f / 3.0f;
        nearZ = std::isfinite(nearZ) && nearZ > 0.0f ? nearZ : 0.1f;
        farZ = std::isfinite(farZ) && farZ > nearZ ? farZ : nearZ + 1000.0f;
    }
    UpdateProjection();
}

void Frustum::UpdateProjection() { projection = MatrixPerspective(fov, aspect, nearZ, farZ); }

namespace {
FrustumPlane PlaneFrom(const Vector3& a, const Vector3& b, const Vector3& c) {
    FrustumPlane p;
    p.normal = Geometry::Cross(b - a, c - a).Normalized();
    p.d = -p.normal.Dot(b);
    return p;
}
}  // namespace

void Frustum::BuildPlanes(const Vector3& o, const Vector3& back, const Vector3& side, const Vector3& up, float n,
                          float f, float asp) {
    const float t = std::tan(fov * 0.5f);
    const float hn = n * t, wn = hn * asp;
    const Vector3 nc = o - back * n;
    corners[0] = nc - up * hn - side * wn;
    corners[1] = nc + up * hn - side * wn;
    corners[2] = nc - up * hn + side * wn;
    corners[3] = nc + up * hn + side * wn;
    // The far corners are the near ones pushed out by far / near from the
    // origin; built from far directly so a near distance of 0 stays finite.
    const float hf = f * t, wf = hf * asp;
    const Vector3 fc = o - back * f;
    corners[4] = fc - up * hf - side * wf;
    corners[5] = fc + up * hf - side * wf;
    corners[6] = fc - up * hf + side * wf;
    corners[7] = fc + up * hf + side * wf;

    const Vector3* c = corners;
    planes[0] = PlaneFrom(c[7], c[6], c[2]);
    planes[1] = PlaneFrom(c[1], c[0], c[4]);
    planes[2] = PlaneFrom(c[6], c[4], c[2]);
    planes[3] = PlaneFrom(c[1], c[5], c[3]);
    planes[4] = PlaneFrom(c[0], c[1], c[2]);
    planes[5] = PlaneFrom(c[5], c[4], c[6]);

    cone.apex = o;
    cone.axis = -back;
    cone.angle = std::atan(t * std::sqrt(1.0f + asp * asp));
    cone.cos = std::cos(cone.angle);
    cone.sin = std::sin(cone.angle);
    cone.cosSq = cone.cos * cone.cos;
    cone.sinSq = cone.sin * cone.sin;
    cone.invSin = cone.sin != 0.0f ? 1.0f / cone.sin : 0.0f;
}

bool Frustum::TestCone(const Vector3& centre, float r) const {
    const Vector3 u = cone.apex - cone.axis * (r * cone.invSin);
    const Vector3 d1 = centre - u;
    const float a1 = cone.axis.Dot(d1);
    if (a1 <= 0.0f || a1 * a1 < d1.LengthSquared() * cone.cosSq) return false;
    const Vector3 d2 = centre - cone.apex;
    const float e = -cone.axis.Dot(d2);
    const float len2 = d2.LengthSquared();
    if (e > 0.0f && e * e >= len2 * cone.sinSq && len2 > r * r) return false;
    return true;
}

int Frustum::TestSphere(const Vector3& c, float r) const {
    if (!TestCone(c, r)) return kOutside;
    int inside = 0, touching = 0;
    for (const FrustumPlane& p : planes) {
        const float dist = p.normal.Dot(c) + p.d;
        if (dist > r) ++inside;
        else if (dist >= -r) ++touching;
        else return kOutside;
    }
    if (touching == 6) return kTouchingAll;
    if (inside == 6) return kInside;
    return kPartly;
}

}  // namespace Gfx
