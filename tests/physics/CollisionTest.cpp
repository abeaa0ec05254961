#include <gtest/gtest.h>

#include <cmath>

#include "physics/Collision.h"
#include "physics/PhysBody.h"

using Geometry::Quaternion;
using Geometry::Vector3;
using Physics::BoxShape;
using Physics::ContactManifold;
using Physics::TestBoxBox;

namespace {

const float kPi = 3.14159265f;

BoxShape Box(const Vector3& pos, const Vector3& half = {0.5f, 0.5f, 0.5f},
             const Quaternion& q = Geometry::kIdentityQuaternion) {
    BoxShape s;
    s.rotation = q.ToMatrix3x3();
    s.rotationT = s.rotation.Transpose();
    s.halfExtents = half;
    s.position = pos;
    s.startPosition = pos;
    return s;
}

void ExpectVec(const Vector3& v, const Vector3& want, float tol = 1e-4f) {
    EXPECT_NEAR(v.x, want.x, tol);
    EXPECT_NEAR(v.y, want.y, tol);
    EXPECT_NEAR(v.z, want.z, tol);
}

bool HasPoint(const ContactManifold& m, const BoxShape& a, const Vector3& world, float tol = 1e-3f) {
    for (uint32_t i = 1; i < m.count; ++i)
        if ((m.points[i].offsetA + a.position - world).Length() < tol) return true;
    return false;
}

}  // namespace

// Separating-axis cases: which pairs touch, the normal from B towards A and the depth.
TEST(BoxCollision, SeparatingAxisTable) {
    struct Case {
        const char* name;
        BoxShape a, b;
        float tolerance;
        bool hit;
        Vector3 normal;
        float depth;
    };
    const Quaternion q45z = Quaternion::FromAxisAngle({0, 0, 1}, kPi / 4);
    const Quaternion q45x = Quaternion::FromAxisAngle({1, 0, 0}, kPi / 4);
    const float diag = std::sqrt(0.5f);
    const Case cases[] = {
        {"A on B, 0.01 overlap", Box({0, 0.99f, 0}), Box({0, 0, 0}), 0.02f, true, {0, 1, 0}, 0.01f},
        {"A under B: normal down", Box({0, -0.99f, 0}), Box({0, 0, 0}), 0.02f, true, {0, -1, 0}, 0.01f},
        {"gap of 0.015, A on the high side", Box({1.015f, 0, 0}), Box({0, 0, 0}), 0.02f, true, {1, 0, 0}, -0.015f},
        {"gap of 0.015, A on the low side", Box({-1.015f, 0, 0}), Box({0, 0, 0}), 0.02f, false, {}, 0},
        {"gap beyond the tolerance", Box({1.05f, 0, 0}), Box({0, 0, 0}), 0.02f, false, {}, 0},
        {"edge on edge: crossed axes win", Box({0, 2 * diag - 0.01f, 0}, {0.5f, 0.5f, 0.5f}, q45z),
         Box({0, 0, 0}, {0.5f, 0.5f, 0.5f}, q45x), 0.02f, true, {0, 1, 0}, 0.01f},
        {"nearly parallel boxes use a face axis", Box({0, 0.99f, 0}, {0.5f, 0.5f, 0.5f},
                                                      Quaternion::FromAxisAngle({0, 1, 0}, 1e-4f)),
         Box({0, 0, 0}), 0.02f, true, {0, 1, 0}, 0.01f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContactManifold m;
        ASSERT_EQ(TestBoxBox(c.a, c.b, m, true, c.tolerance), c.hit);
        if (!c.hit) continue;
        ExpectVec(m.normal, c.normal);
        EXPECT_NEAR(m.points[0].depth, c.depth, 1e-4f);
    }
}

TEST(BoxCollision, ReportPointsOfTheWinningAxisKind) {
    ContactManifold m;
    // Face of A: the report point lies half the depth inside B's top face.
    ASSERT_TRUE(TestBoxBox(Box({0, 0.99f, 0}), Box({0, 0, 0}), m, true, 0.02f));
    ExpectVec(m.reportPoint, {0, 0.495f, 0});
    // Edge on edge: the middle of the crossing edges.
    const float diag = std::sqrt(0.5f);
    ASSERT_TRUE(TestBoxBox(Box({0, 2 * diag - 0.01f, 0}, {0.5f, 0.5f, 0.5f},
                               Quaternion::FromAxisAngle({0, 0, 1}, kPi / 4)),
                           Box({0, 0, 0}, {0.5f, 0.5f, 0.5f}, Quaternion::FromAxisAngle({1, 0, 0}, kPi / 4)), m,
                           true, 0.02f));
    ExpectVec(m.reportPoint, {0, diag - 0.005f, 0});
    // Without full contacts only the normal is produced.
    ContactManifold bare;
    ASSERT_TRUE(TestBoxBox(Box({0, 0.99f, 0}), Box({0, 0, 0}), bare, false, 0.1f));
    EXPECT_EQ(bare.count, 0u);
    ExpectVec(bare.normal, {0, 1, 0});
}

// Clipping: the points found on the touching faces.
TEST(BoxCollision, ClippingTable) {
    struct Case {
        const char* name;
        BoxShape a, b;
        std::vector<Vector3> corners;
    };
    const Quaternion q45y = Quaternion::FromAxisAngle({0, 1, 0}, kPi / 4);
    const float d = 0.25f * std::sqrt(2.0f);
    const Case cases[] = {
        // Equal aligned boxes share four corners; all four are found, so a
        // stack of blocks is supported evenly.
        {"equal cubes stacked", Box({0, 0.99f, 0}), Box({0, 0, 0}),
         {{-0.5f, 0.495f, -0.5f}, {-0.5f, 0.495f, 0.5f}, {0.5f, 0.495f, -0.5f}, {0.5f, 0.495f, 0.5f}}},
        {"small box on a slab", Box({0, 0.74f, 0}, {0.25f, 0.25f, 0.25f}), Box({0, 0, 0}, {2, 0.5f, 2}),
         {{-0.25f, 0.495f, -0.25f}, {0.25f, 0.495f, -0.25f}, {-0.25f, 0.495f, 0.25f}, {0.25f, 0.495f, 0.25f}}},
        {"turned box on a slab", Box({0, 0.49f, 0}, {0.25f, 0.25f, 0.25f}, q45y), Box({0, 0, 0}, {2, 0.25f, 2}),
         {{d, 0.245f, 0}, {-d, 0.245f, 0}, {0, 0.245f, d}, {0, 0.245f, -d}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContactManifold m;
        ASSERT_TRUE(TestBoxBox(c.a, c.b, m, true, 0.02f));
        EXPECT_EQ(m.count, 1 + c.corners.size());
        for (const Vector3& p : c.corners) EXPECT_TRUE(HasPoint(m, c.a, p, 0.02f)) << p;
    }
}

TEST(BoxCollision, DepthIsMovedBackToTheStartOfTheStep) {
    // Predicted 0.01 into B, but A started 0.05 higher: a gap of 0.04.
    BoxShape a = Box({0, 0.99f, 0});
    a.startPosition = {0, 1.04f, 0};
    ContactManifold m;
    ASSERT_TRUE(TestBoxBox(a, Box({0, 0, 0}), m, true, 0.02f));
    EXPECT_NEAR(m.points[0].depth, -0.04f, 1e-5f);
    ASSERT_GT(m.count, 1u);
    EXPECT_NEAR(m.points[1].depth, -0.04f, 1e-5f);

    // A real overlap at the start: clipped points get 0.8 of it.
    BoxShape deep = Box({0, 0.98f, 0});
    deep.startPosition = {0, 0.99f, 0};
    ASSERT_TRUE(TestBoxBox(deep, Box({0, 0, 0}), m, true, 0.02f));
    EXPECT_NEAR(m.points[0].depth, 0.01f, 1e-5f);
    EXPECT_NEAR(m.points[1].depth, 0.008f, 1e-5f);
}

TEST(BoxCollision, MergedPointsStayWithinEight) {
    // Two equal boxes overlapping deeply in every way still give at most 8 points.
    ContactManifold m;
    ASSERT_TRUE(TestBoxBox(Box({0.1f, 0.3f, 0.05f}, {0.5f, 0.5f, 0.5f}, Quaternion::FromEuler(0.3f, 0.2f, 0.1f)),
                           Box({0, 0, 0}), m, true, 0.02f));
    EXPECT_LE(m.count, 9u);
    for (uint32_t i = 0; i < m.count; ++i) EXPECT_TRUE(m.points[i].offsetA.IsFinite());
}
