#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "physics/PhysBody.h"

using Geometry::Quaternion;
using Geometry::Vector3;
using Physics::CreateBody;
using Physics::PhysBodyPtr;

namespace {

const Vector3 kUnit(0.5f, 0.5f, 0.5f);
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

void ExpectVec(const Vector3& v, const Vector3& want, float tol = 1e-4f) {
    EXPECT_NEAR(v.x, want.x, tol);
    EXPECT_NEAR(v.y, want.y, tol);
    EXPECT_NEAR(v.z, want.z, tol);
}

}  // namespace

TEST(PhysBody, CreationSetsMassInertiaAndSleepFromTheMaterial) {
    PhysBodyPtr b = CreateBody({1, 2, 3}, {0.5f, 1.0f, 1.5f}, "TEST");
    EXPECT_FLOAT_EQ(b->massProps.volume, 6.0f);
    EXPECT_FLOAT_EQ(b->GetMass(), 4800.0f);
    EXPECT_FLOAT_EQ(b->massProps.inverseMass, 1.0f / 4800.0f);
    EXPECT_FLOAT_EQ(b->massProps.inertiaShape(0, 0), 4.0f / 3.0f * (1.0f + 2.25f));
    EXPECT_FLOAT_EQ(b->massProps.inverseInertiaShape(2, 2), 1.0f / (4.0f / 3.0f * (0.25f + 1.0f)));
    EXPECT_FLOAT_EQ(b->massProps.radius, std::sqrt(0.25f + 1.0f + 2.25f));
    EXPECT_FALSE(b->IsAsleep());
    EXPECT_EQ(b->GetActorId(), 0xFFFF);
    ExpectVec(b->shape.position, {1, 2, 3});

    PhysBodyPtr s = CreateBody({0, 0, 0}, kUnit, "TEST_STATIC");
    EXPECT_TRUE(s->IsStatic());
    EXPECT_TRUE(s->IsAsleep());
    EXPECT_EQ(s->massProps.inverseMass, 0.0f);
    s->ApplyImpulseAt({0.5f, 0, 0}, {0, 100, 0});
    EXPECT_EQ(s->GetVelocity(), Geometry::kZeroVector);
    EXPECT_EQ(s->state.angularVelocity, Geometry::kZeroVector);
    s->SetPosition({3, 0, 0});
    EXPECT_TRUE(s->IsAsleep());  // a static body never wakes
    ExpectVec(s->shape.startPosition, {3, 0, 0});
}

TEST(PhysBody, WakingRules) {
    PhysBodyPtr b = CreateBody({0, 0, 0}, kUnit, "TEST");
    b->PutToSleep();
    b->SetVelocity({0, 0, 0});
    EXPECT_TRUE(b->IsAsleep());
    b->ApplyImpulse({0, 100, 0}, {0, 0, 0});  // impulses leave the decision to the world
    EXPECT_TRUE(b->IsAsleep());
    EXPECT_TRUE(b->touched);
    b->SetVelocity({0, 1, 0});
    EXPECT_FALSE(b->IsAsleep());
    ExpectVec(b->state.momentum, {0, 800, 0});
}

TEST(PhysBody, WalkingBodyDoesNotTurnUntilItStops) {
    PhysBodyPtr b = CreateBody({0, 0, 0}, kUnit, "TEST");
    b->SetMoveVelocity(1.0f, 0.0f);
    EXPECT_TRUE(b->walking);
    EXPECT_FLOAT_EQ(b->moveX, 800.0f);
    b->ApplyImpulseAt({0.5f, 0.5f, 0}, {0, 0, 100});
    EXPECT_EQ(b->state.angularVelocity, Geometry::kZeroVector);
    EXPECT_GT(b->GetVelocity().z, 0.0f);  // pushed, not turned

    b->StopMoving();
    b->SetOrientation(Geometry::kIdentityQuaternion);  // recomputes the world inertia
    b->ApplyImpulseAt({0.5f, 0.5f, 0}, {0, 0, 100});
    EXPECT_NE(b->state.angularVelocity, Geometry::kZeroVector);
}

// Forces of one velocity step, as momentum changes over dt = 0.1.
TEST(PhysBody, ForceTable) {
    struct Case {
        const char* name;
        bool walking;
        float tx, tz;      // walking target velocity
        Vector3 momentum;  // before the step (mass 1)
        Vector3 wantForce;
    };
    // "TEST" material, scaled to mass 1 by a tiny box: volume 1/800.
    const float side = std::cbrt(1.0f / 800.0f) * 0.5f;
    const Case cases[] = {
        {"falling block: gravity 10", false, 0, 0, {0, 0, 0}, {0, -10, 0}},
        {"walker without input brakes with slowCoeff", true, 0, 0, {4, 0, 0}, {-400, -24, 0}},
        {"walker accelerates towards its target", true, 2, 0, {0, 0, 0}, {20, -24, 0}},
        {"walker reversing gets switchCoeff", true, -2, 0, {1, 0, 0}, {-300, -24, 0}},
        {"walker falling at -55 keeps 55% of its target", true, 2, 0, {0, -55, 0}, {11, -24, 0}},
        {"walker at the fastest fall keeps airAccel", true, 2, 0, {0, -200, 0}, {2, -24, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhysBodyPtr b = CreateBody({0, 0, 0}, {side, side, side}, "TEST");
        ASSERT_NEAR(b->GetMass(), 1.0f, 1e-3f);
        if (c.walking) b->SetMoveVelocity(c.tx / b->GetMass(), c.tz / b->GetMass());
        b->state.momentum = c.momentum;
        b->state.velocity = c.momentum * b->massProps.inverseMass;
        b->IntegrateVelocity(0.1f);
        const Vector3 f = (b->state.momentum - c.momentum) / 0.1f;
        ExpectVec(f, c.wantForce, 0.05f);
    }
}

TEST(PhysBody, PositionStepMovesAndTurns) {
    PhysBodyPtr b = CreateBody({0, 0, 0}, kUnit, "TEST");
    b->state.velocity = {1, 2, 3};
    b->state.angularVelocity = {0, 1, 0};
    b->IntegratePosition(0.1f);
    ExpectVec(b->GetPosition(), {0.1f, 0.2f, 0.3f});
    ExpectVec(b->shape.position, {0.1f, 0.2f, 0.3f});
    // q + (dt/2)(0, w) q, normalised: about 0.1 rad round y.
    const Quaternion q = b->GetOrientation();
    EXPECT_NEAR(q.w, 1.0f / std::sqrt(1.0f + 0.0025f), 1e-5f);
    EXPECT_NEAR(q.y, 0.05f / std::sqrt(1.0f + 0.0025f), 1e-5f);
    // The shape keeps the orientation from before the step.
    EXPECT_FLOAT_EQ(b->shape.rotation(0, 0), 1.0f);
}

TEST(PhysBody, SleepsAfterOnePointFourSecondsAtRest) {
    PhysBodyPtr b = CreateBody({0, 0, 0}, kUnit, "TEST");
    for (int i = 0; i < 139; ++i) b->UpdateSleep(0.01f);
    EXPECT_FALSE(b->IsAsleep());
    b->UpdateSleep(0.01f);
    EXPECT_TRUE(b->IsAsleep());
    EXPECT_EQ(b->state.momentum, Geometry::kZeroVector);

    PhysBodyPtr m = CreateBody({0, 0, 0}, kUnit, "TEST");
    m->state.velocity = {0.3f, 0, 0};  // |v|^2 = 0.09 > 0.0529: moving
    for (int i = 0; i < 200; ++i) m->UpdateSleep(0.01f);
    EXPECT_FALSE(m->IsAsleep());
    m->state.velocity = {0.2f, 0, 0};
    m->state.angularVelocity = {0.21f, 0, 0};  // |w|^2 > 0.04: still moving
    EXPECT_TRUE(m->IsMoving());
}

TEST(PhysBody, BoundsOfATurnedBox) {
    PhysBodyPtr b = CreateBody({1, 0, 0}, {0.5f, 0.5f, 0.5f}, "TEST",
                               Quaternion::FromAxisAngle({0, 1, 0}, 3.14159265f / 4));
    const Geometry::AABB& box = b->GetAABB(1);
    const float r = std::sqrt(0.5f);
    ExpectVec(box.min, {1 - r, -0.5f, -r});
    ExpectVec(box.max, {1 + r, 0.5f, r});
    const Physics::GridRect rect = b->GetGridRect(1);
    EXPECT_NEAR(rect.minX, 1 - r, 1e-5f);
    EXPECT_NEAR(rect.maxZ, r, 1e-5f);
    // Moving the body makes cached bounds stale even within one stamp.
    b->SetPosition({5, 0, 0});
    EXPECT_NEAR(b->GetAABB(1).min.x, 5 - r, 1e-5f);
}

// Faults fixed: bad numbers never get into a body's state.
TEST(PhysBody, NonFiniteInputsAreRefused) {
    PhysBodyPtr b = CreateBody({1, 2, 3}, kUnit, "TEST");
    b->SetPosition({kNaN, 0, 0});
    b->SetPosition({0, kInf, 0});
    ExpectVec(b->GetPosition(), {1, 2, 3});
    b->SetVelocity({kNaN, 0, 0});
    b->ApplyImpulse({0, kInf, 0}, {0, 0, 0});
    b->ApplyImpulseAt({kNaN, 0, 0}, {1, 0, 0});
    b->SetMoveVelocity(kNaN, 1.0f);
    EXPECT_EQ(b->GetVelocity(), Geometry::kZeroVector);
    EXPECT_FALSE(b->walking);
    EXPECT_TRUE(b->state.angularMomentum.IsFinite());

    // A runaway velocity is dropped rather than carried to infinity.
    b->state.velocity = {3e38f, 0, 0};
    b->IntegratePosition(10.0f);
    ExpectVec(b->GetPosition(), {1, 2, 3});
    EXPECT_EQ(b->GetVelocity(), Geometry::kZeroVector);
    const Physics::GridRect r = b->GetGridRect(7);
    EXPECT_TRUE(std::isfinite(r.minX) && std::isfinite(r.maxX) && std::isfinite(r.minZ) && std::isfinite(r.maxZ));
}

TEST(PhysBody, OrientationStepNeverThrows) {
    const Quaternion turned = Quaternion::FromAxisAngle({0, 0, 1}, 0.5f);
    PhysBodyPtr b = CreateBody({0, 0, 0}, kUnit, "TEST", turned);
    b->SetOrientation(Quaternion(0, 0, 0, 0));
    b->SetOrientation(Quaternion(kNaN, 0, 0, 0));
    EXPECT_NEAR(b->GetOrientation().z, turned.z, 1e-6f);

    b->state.angularVelocity = {kNaN, 0, 0};
    EXPECT_NO_THROW(b->IntegratePosition(0.016f));
    EXPECT_NEAR(b->GetOrientation().w, turned.w, 1e-6f);
    EXPECT_NEAR(b->GetOrientation().z, turned.z, 1e-6f);

    // A zero orientation put straight into the state: the step keeps it and
    // the inertia falls back to the unturned one instead of throwing.
    PhysBodyPtr c = CreateBody({0, 0, 0}, kUnit, "TEST");
    c->state.angularVelocity = {0, 0, 0};
    c->state.orientation = Quaternion(0, 0, 0, 0);
    EXPECT_NO_THROW(c->IntegratePosition(0.016f));
    EXPECT_TRUE(c->GetOrientation().IsFinite());
}
