// Cameras, frustum and matrix builders: the projection's worked example,
// world-to-screen agreeing with the frustum's corners, spheres in, out and
// straddling each plane, and the camera's follow, orbit floor, shake, yaw and
// limits.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/DrawObjActor.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/Screenshot.h"
#include "gfx/Transforms.h"
#include "SceneFakes.h"

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector2;
using Geometry::Vector3;
using Geometry::Vector4;

namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectNear(const Vector3& a, const Vector3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// Camera at eye looking at the origin, free mode.
std::shared_ptr<Gfx::Camera> MakeCamera(const Vector3& eye, const Vector3& at, float fov = kPi / 2, float aspect = 1.0f,
                                        float n = 1.0f, float f = 11.0f) {
    auto fr = std::make_shared<Gfx::Frustum>(fov, aspect, n, f);
    return std::make_shared<Gfx::Camera>(1, fr, eye, at, Vector3(0, 1, 0), -2.0f, 2.5f, 4.0f, 20.0f);
}

}  // namespace

TEST(Camera, FollowLooksAtTheTargetRaisedByItsRadiusAndKeepsDistanceInLimits) {
    auto model = std::make_shared<FakeModel>(7, 1.0f);
    Gfx::GfxState st;
    st.model = model;
    auto target = std::make_shared<Gfx::DrawObjActor>(5, Vector3(10, 0, 4), Quaternion(), Vector3(2, 2, 2), st);
    auto cam = MakeCamera(Vector3(0, 10, 0), Vector3(0, 0, 0));
    cam->SetMode(Gfx::Camera::kFollow, target);
    EXPECT_FLOAT_EQ(cam->GetDistance(), 12.0f);
    cam->SetPitch(0.5f);
    cam->Update(16);
    ExpectNear(cam->GetLookAt(), Vector3(10, target->GetBoundingBox().radius, 4));
    EXPECT_NEAR((cam->GetEye() - cam->GetLookAt()).Length(), 12.0f, 1e-3f);
    for (float dz : {100.0f, -100.0f}) {
        cam->Move(Vector3(0, 0, dz));
        EXPECT_FLOAT_EQ(cam->GetDistance(), dz > 0 ? 4.0f : 20.0f);
    }
    // An empty target keeps the one followed.
    cam->SetMode(Gfx::Camera::kFollow, nullptr);
    EXPECT_EQ(cam->GetTarget(), target);
}

TEST(Camera, OrbitBelowTheFloorSlidesTheEyeUpItsLine) {
    auto cam = MakeCamera(Vector3(0, 10, 0), Vector3(0, 0, 0));
    cam->SetLookAt(Vector3(0, 1, 0));
    cam->SetDistance(10.0f);
    cam->SetPitch(-0.5f);
    cam->SetYawAngle(0.3f);
    cam->Update(0);
    EXPECT_NEAR(cam->GetEye().y, 0.2f, 1e-5f);
    // Still on the line through the look-at point along the orbit direction.
    const Vector3 dir(std::cos(-0.5f) * std::cos(0.3f), std::sin(-0.5f), std::cos(-0.5f) * std::sin(0.3f));
    const Vector3 off = cam->GetEye() - cam->GetLookAt();
    EXPECT_NEAR(Geometry::Cross(off, dir).Length(), 0.0f, 1e-4f);
}

TEST(Camera, ShakeFadesInFiftyFramesWithFrequencies8To6To5) {
    Gfx::Camera::ResetShakePhase();
    auto cam = MakeCamera(Vector3(0, 0, 10), Vector3(0, 0, 0));
    cam->AddShake(cam->GetEye());  // at the eye: capped at 4
    EXPECT_FLOAT_EQ(cam->GetShake(), 4.0f);
    int frames = 0;
    while (cam->GetShake() > 0.0f && frames < 100) {
        cam->SetLookAt(Vector3(0, 0, 0));
        const float phase = Gfx::Camera::ShakePhase() + 0.8f;
        const float shake = cam->GetShake() - 0.08f;
        cam->Update(16);
        ++frames;
        ExpectNear(cam->GetLookAt(), Vector3(std::sin(8 * phase), std::sin(6 * phase), std::sin(5 * phase)) * shake,
                   1e-3f);
    }
    EXPECT_EQ(frames, 50);
    cam->SetLookAt(Vector3(0, 0, 0));
    cam->Update(16);
    ExpectNear(cam->GetLookAt(), Vector3(0, 0, 0), 0.0f);
    // Far away: 1400 / d^2 added to what is left.
    const float left = cam->GetShake();
    EXPECT_LE(left, 0.0f);
    cam->AddShake(cam->GetEye() + Vector3(0, 0, 100));
    EXPECT_NEAR(cam->GetShake(), left + 1400.0f / 10000.0f, 1e-6f);
}

TEST(Camera, YawFromDirectionPitchLimitsAndFrozenView) {
    auto cam = MakeCamera(Vector3(0, 0, 10), Vector3(0, 0, 0));
    EXPECT_NEAR(cam->GetMinPitch(), -kPi / 2.0f, 1e-6f);
    EXPECT_NEAR(cam->GetMaxPitch(), kPi / 2.5f, 1e-6f);
    cam->SetYaw(Vector3(0.5f, 0, 0.5f));
    EXPECT_NEAR(cam->GetYaw(), std::acos(0.5f) - kPi, 1e-6f);
    EXPECT_FLOAT_EQ(cam->GetPitch(), 0.1f);
    cam->SetYaw(Vector3(-0.5f, 0, 0.5f));
    EXPECT_NEAR(cam->GetYaw(), std::acos(0.5f), 1e-6f);
    cam->Rotate(0.2f, 10.0f);
    EXPECT_FLOAT_EQ(cam->GetPitch(), cam->GetMaxPitch());
    cam->Rotate(0.0f, -20.0f);
    EXPECT_FLOAT_EQ(cam->GetPitch(), cam->GetMinPitch());
    // Eye on the look-at point: the view keeps its previous matrices.
    const Matrix4x4 before = cam->GetView();
    cam->SetEye(Vector3(1, 1, 1));
    cam->SetLookAt(Vector3(1, 1, 1));
    cam->UpdateView();
    EXPECT_EQ(cam->GetView(), before);
    // Straight above a fixed point: a finite view with unit axes.
    cam->SetFixedPoint(Vector3(0, 0, 0));
    cam->SetEye(Vector3(0, 10, 0));
    cam->Update(16);
    for (float v : cam->GetView().m) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(cam->GetSide().Length(), 1.0f, 1e-5f);
    // Free mode moves eye and look-at together along the camera's axes.
    auto freeCam = MakeCamera(Vector3(0, 0, 10), Vector3(0, 0, 0));
    freeCam->Move(Vector3(1, 0, -2));
    ExpectNear(freeCam->GetLookAt(), Vector3(1, 0, -2));
    ExpectNear(freeCam->GetLastMove(), Vector3(1, 0, -2));
}

TEST(CameraMan, LoadsByIdReplacesAndKeepsTheActiveOnAMiss) {
    Gfx::CameraMan man;
    auto fr = std::make_shared<Gfx::Frustum>(1.0f, 1.0f, 1.0f, 100.0f);
    man.LoadCamera(3, Vector3(0, 0, 5), Vector3(0, 0, 0), Vector3(0, 1, 0), -2, 2, 1, 10, fr);
    EXPECT_EQ(man.GetActiveCamera(), nullptr);
    man.LoadCamera(3, Vector3(0, 0, 9), Vector3(0, 0, 0), Vector3(0, 1, 0), -2, 2, 1, 10, fr);
    EXPECT_EQ(man.CameraCount(), 1u);
    ASSERT_TRUE(man.SetActiveCamera(3));
    EXPECT_EQ(man.GetActiveCamera()->GetEye(), Vector3(0, 0, 9));
    EXPECT_EQ(man.GetActiveCamera()->GetMode(), Gfx::Camera::kFree);
    EXPECT_FALSE(man.SetActiveCamera(4));
    EXPECT_EQ(man.GetActiveCamera()->GetId(), 3);
}
