// Matrix builders, the frustum and the screenshot request: the projection's
// worked example, world-to-screen agreeing with the frustum's corners,
// spheres in, out and straddling each plane.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/Screenshot.h"
#include "gfx/Transforms.h"

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector2;
using Geometry::Vector3;
using Geometry::Vector4;

namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectNear(const Matrix4x4& a, const Matrix4x4& b, float tol = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

// A view from eye towards at, as a camera builds it: its axes, view matrix,
// view-projection and frustum planes.
struct View {
    Vector3 eye, back, side, up;
    Matrix4x4 viewProjection;
    std::shared_ptr<Gfx::Frustum> frustum;
};

View MakeView(const Vector3& eye, const Vector3& at, float fov, float aspect, float n, float f) {
    View v;
    v.eye = eye;
    v.back = (eye - at).Normalized();
    v.side = Geometry::Cross(Vector3(0, 1, 0), v.back).Normalized();
    v.up = Geometry::Cross(v.back, v.side);
    v.frustum = std::make_shared<Gfx::Frustum>(fov, aspect, n, f);
    v.frustum->BuildPlanes(eye, v.back, v.side, v.up, n, f, aspect);
    v.viewProjection = v.frustum->projection * Gfx::MatrixLookAt(v.side, v.up, v.back, eye);
    return v;
}

}  // namespace

TEST(Transforms, BuildersGiveTheWorkedMatrices) {
    // fov 90 degrees, aspect 2, near 1, far 3: f = 1.
    ExpectNear(Gfx::MatrixPerspective(kPi / 2, 2.0f, 1.0f, 3.0f),
               Matrix4x4(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, -3, 0, 0, -1, 0));
    ExpectNear(Gfx::MatrixRotationZ(kPi / 2), Matrix4x4(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    ExpectNear(Gfx::MatrixTranslation(1, 2, 3), Matrix4x4(1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1));
    ExpectNear(Gfx::MatrixScaling(2, 3, 4), Matrix4x4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1));
    // Look-at: rows (side, -side.eye), (up, ...), (back, ...).
    ExpectNear(Gfx::MatrixLookAt(Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1), Vector3(2, 3, 4)),
               Matrix4x4(1, 0, 0, -2, 0, 1, 0, -3, 0, 0, 1, -4, 0, 0, 0, 1));
    // Billboard: the transpose without the translation.
    const Matrix4x4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    ExpectNear(Gfx::MatrixBillboard(m), Matrix4x4(1, 5, 9, 0, 2, 6, 10, 0, 3, 7, 11, 0, 4, 8, 12, 16));
}

TEST(Transforms, PerspectiveMapsNearAndFarToTheClipRange) {
    const float n = 0.5f, f = 200.0f;
    const Matrix4x4 p = Gfx::MatrixPerspective(kPi / 3, 4.0f / 3.0f, n, f);
    struct Case {
        float z, ndc;
    } cases[] = {{-n, -1.0f}, {-f, 1.0f}};
    for (const Case& c : cases) {
        const Vector4 clip = p * Vector4(0, 0, c.z, 1);
        EXPECT_NEAR(clip.z / clip.w, c.ndc, 1e-4f) << c.z;
        EXPECT_GT(clip.w, 0.0f);
    }
}

TEST(Transforms, WorldIsTranslationTimesRotationTimesScale) {
    const Vector3 pos(3, -2, 7), scale(2, 0.5f, 3);
    const Quaternion q = Quaternion::FromAxisAngle(Vector3(0, 1, 0), 0.7f);
    const Matrix4x4 expected = Gfx::MatrixTranslation(3, -2, 7) *
                               (Gfx::MatrixRotationQuaternion(q) * Gfx::MatrixScaling(2, 0.5f, 3));
    ExpectNear(Gfx::MatrixWorld(pos, scale, q), expected);
    // The identity parts skipped still give the same matrix.
    ExpectNear(Gfx::MatrixWorld(Vector3(0, 0, 0), Vector3(1, 1, 1), Quaternion()), Matrix4x4::Identity());
    ExpectNear(Gfx::MatrixWorld(pos, Vector3(1, 1, 1), Quaternion()), Gfx::MatrixTranslation(3, -2, 7));
}

TEST(Frustum, WorldToScreenAgreesWithTheCorners) {
    // A camera away from the axes, so side, up and back are all oblique.
    const Vector3 at(1, 2, 3);
    const View v = MakeView(Vector3(10, 6, -8), at, kPi / 3, 4.0f / 3.0f, 0.5f, 80.0f);
    const Gfx::Frustum& fr = *v.frustum;
    Vector2 s;
    bool inFront = false;
    Gfx::GfxEngine::WorldToScreen(v.viewProjection, at, s, &inFront);
    EXPECT_TRUE(inFront);
    EXPECT_NEAR(s.x, 0.5f, 1e-4f);
    EXPECT_NEAR(s.y, 0.5f, 1e-4f);
    // Corners: 0 bottom-left, 1 top-left, 2 bottom-right, 3 top-right (near);
    // 4..7 the same on the far plane. Screen y runs downwards.
    const Vector2 expected[4] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    for (int i = 0; i < 8; ++i) {
        Gfx::GfxEngine::WorldToScreen(v.viewProjection, fr.corners[i], s, &inFront);
        EXPECT_TRUE(inFront) << i;
        EXPECT_NEAR(s.x, expected[i % 4].x, 1e-3f) << "corner " << i;
        EXPECT_NEAR(s.y, expected[i % 4].y, 1e-3f) << "corner " << i;
    }
    // A point behind the eye is reported as not in front.
    Gfx::GfxEngine::WorldToScreen(v.viewProjection, v.eye + v.back * 3.0f, s, &inFront);
    EXPECT_FALSE(inFront);
    // The side axis is screen right and the up axis screen up.
    Gfx::GfxEngine::WorldToScreen(v.viewProjection, at + v.side, s, &inFront);
    EXPECT_GT(s.x, 0.5f);
    Gfx::GfxEngine::WorldToScreen(v.viewProjection, at + v.up, s, &inFront);
    EXPECT_LT(s.y, 0.5f);
}

TEST(Frustum, SpheresInsideOutsideAndStraddlingEachPlane) {
    // From the origin along -z: fov 90 degrees, aspect 1, near 1, far 11; at
    // depth 6 the side planes stand at x, y = +-6.
    const View v = MakeView(Vector3(0, 0, 0), Vector3(0, 0, -1), kPi / 2, 1.0f, 1.0f, 11.0f);
    const Gfx::Frustum& fr = *v.frustum;
    for (const Gfx::FrustumPlane& p : fr.planes) EXPECT_GT(p.normal.Dot(Vector3(0, 0, -6)) + p.d, 0.0f);
    struct Case {
        const char* what;
        Vector3 c;
        float r;
        int expected;
    } cases[] = {
        {"inside", {0, 0, -6}, 1.0f, 2},
        {"left out", {-8.5f, 0, -6}, 1.0f, 0},    {"left straddles", {-6, 0, -6}, 1.0f, 1},
        {"right out", {8.5f, 0, -6}, 1.0f, 0},    {"right straddles", {6, 0, -6}, 1.0f, 1},
        {"top out", {0, 8.5f, -6}, 1.0f, 0},      {"top straddles", {0, 6, -6}, 1.0f, 1},
        {"bottom out", {0, -8.5f, -6}, 1.0f, 0},  {"bottom straddles", {0, -6, -6}, 1.0f, 1},
        {"near out", {0, 0, -0.7f}, 0.2f, 0},     {"near straddles", {0, 0, -1}, 0.2f, 1},
        {"far out", {0, 0, -12}, 0.5f, 0},        {"far straddles", {0, 0, -11}, 0.5f, 1},
        {"behind the apex", {0, 0, 2}, 1.0f, 0},
        {"outside the cone, between planes", {0, 0, 5}, 0.5f, 0},
        {"touching all six", {0, 0, -6}, 100.0f, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(fr.TestSphere(c.c, c.r), c.expected) << c.what;
}

TEST(Screenshot, RequestParsesFrameAndFileOrNothing) {
    struct Case {
        const char* value;
        int frame;
        const char* path;
    } cases[] = {{"12:/tmp/a.png", 12, "/tmp/a.png"}, {"1:x:y.png", 1, "x:y.png"}, {"0:a.png", -1, ""},
                 {"-3:a.png", -1, ""},  {"12", -1, ""}, {"12:", -1, ""}, {":a.png", -1, ""}, {"4x:a.png", -1, ""},
                 {"", -1, ""}};
    for (const Case& c : cases) {
        const Gfx::ScreenshotRequest r = Gfx::ScreenshotRequest::Parse(c.value);
        EXPECT_EQ(r.frame, c.frame) << c.value;
        EXPECT_EQ(r.path, c.path) << c.value;
    }
    EXPECT_EQ(Gfx::ScreenshotRequest::Parse(nullptr).frame, -1);
}

TEST(Frustum, UnusableValuesFromTheAssetFileAreCorrected) {
    struct Case {
        float fov, aspect, n, f;
    } cases[] = {{0, 1, 1, 10}, {kPi, 1, 1, 10}, {1, 0, 1, 10}, {1, 1, 0, 10}, {1, 1, 5, 5}, {1, 1, 5, 2},
                 {NAN, NAN, NAN, NAN}};
    for (const Case& c : cases) {
        Gfx::Frustum fr(c.fov, c.aspect, c.n, c.f);
        fr.BuildPlanes(Vector3(0, 0, 0), Vector3(0, 0, 1), Vector3(1, 0, 0), Vector3(0, 1, 0), fr.nearZ, fr.farZ,
                       fr.aspect);
        for (float v : fr.projection.m) EXPECT_TRUE(std::isfinite(v)) << c.fov << " " << c.aspect << " " << c.n;
        for (const Gfx::FrustumPlane& p : fr.planes) EXPECT_TRUE(std::isfinite(p.d) && std::isfinite(p.normal.x));
        EXPECT_GT(fr.farZ, fr.nearZ);
        // A point straight ahead between the planes is seen.
        EXPECT_NE(fr.TestSphere(Vector3(0, 0, -(fr.nearZ + fr.farZ) * 0.5f), 0.01f), Gfx::Frustum::kOutside);
    }
    // Usable values are kept as given.
    Gfx::Frustum ok(1.0f, 1.5f, 0.5f, 100.0f);
    EXPECT_EQ(ok.fov, 1.0f);
    EXPECT_EQ(ok.aspect, 1.5f);
    EXPECT_EQ(ok.nearZ, 0.5f);
    EXPECT_EQ(ok.farZ, 100.0f);
}
