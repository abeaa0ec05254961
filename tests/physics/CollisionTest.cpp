#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

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
        if ((m.OffsetA(i) + a.position - world).Length() < tol) return true;
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
        EXPECT_NEAR(m.Depth(0), c.depth, 1e-4f);
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
    EXPECT_NEAR(m.Depth(0), -0.04f, 1e-5f);
    ASSERT_GT(m.count, 1u);
    EXPECT_NEAR(m.Depth(1), -0.04f, 1e-5f);

    // A real overlap at the start: clipped points get 0.8 of it.
    BoxShape deep = Box({0, 0.98f, 0});
    deep.startPosition = {0, 0.99f, 0};
    ASSERT_TRUE(TestBoxBox(deep, Box({0, 0, 0}), m, true, 0.02f));
    EXPECT_NEAR(m.Depth(0), 0.01f, 1e-5f);
    EXPECT_NEAR(m.Depth(1), 0.008f, 1e-5f);
}

TEST(BoxCollision, MergedPointsStayWithinEight) {
    // Two equal boxes overlapping deeply in every way still give at most 8 points.
    ContactManifold m;
    ASSERT_TRUE(TestBoxBox(Box({0.1f, 0.3f, 0.05f}, {0.5f, 0.5f, 0.5f}, Quaternion::FromEuler(0.3f, 0.2f, 0.1f)),
                           Box({0, 0, 0}), m, true, 0.02f));
    EXPECT_LE(m.count, 9u);
    for (uint32_t i = 0; i < m.count; ++i) EXPECT_TRUE(m.OffsetA(i).IsFinite());
}

namespace {

// The clipping as plain Vector3 arithmetic, edge by edge and plane by plane:
// the narrow phase computes it in three-lane arithmetic and must give the
// same bits.
Vector3 RefMul(const Geometry::Matrix3x3& m, const Vector3& v) {
    return {m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z, m.m[3] * v.x + m.m[4] * v.y + m.m[5] * v.z,
            m.m[6] * v.x + m.m[7] * v.y + m.m[8] * v.z};
}

struct RefList {
    Vector3 pts[8];
    int count = 0;
    float merge2 = 0.0f;
    bool Add(const Vector3& p) {
        for (int i = 0; i < count; ++i)
            if ((pts[i] - p).LengthSquared() < merge2) {
                pts[i] = (pts[i] + p) * 0.5f;
                return false;
            }
        if (count == 8) return false;
        pts[count++] = p;
        return true;
    }
};

int RefClipEdge(const Vector3& e0, const Vector3& e1, const Vector3& size, const BoxShape& p, const Vector3& origin,
                RefList& list) {
    const Vector3 d = e1 - e0;
    int got = 0, fresh = 0;
    for (int axis = 2; axis >= 0; --axis)
        for (int side = 0; side < 2; ++side) {
            const float plane = side == 0 ? size[axis] : 0.0f;
            const float a0 = e0[axis] - plane, a1 = e1[axis] - plane;
            float u;
            if (a0 * a1 < -1e-6f) {
                u = -a0 / (a1 - a0);
                if (u < 0.0f) continue;
            } else if (std::fabs(a0) < 1e-6f) {
                u = 0.0f;
            } else if (std::fabs(a1) < 1e-6f) {
                u = 1.0f;
            } else {
                continue;
            }
            const Vector3 q(e0.x + d.x * u, e0.y + d.y * u, e0.z + d.z * u);
            const int o1 = (axis + 1) % 3, o2 = (axis + 2) % 3;
            if (!(q[o1] > -1e-6f && q[o1] < size[o1] + 1e-6f && q[o2] > -1e-6f && q[o2] < size[o2] + 1e-6f))
                continue;
            if (list.Add(RefMul(p.rotation, q) + origin)) ++fresh;
            if (++got == 2) return fresh;
        }
    return fresh;
}

int RefContactBoxBox(const BoxShape& a, const BoxShape& b, float merge, Vector3 out[8]) {
    static const int edges[12][2] = {{0, 1}, {0, 2}, {0, 4}, {2, 3}, {2, 6}, {4, 5},
                                     {4, 6}, {1, 3}, {1, 5}, {3, 7}, {5, 7}, {6, 7}};
    RefList list;
    list.merge2 = merge * merge;
    for (int phase = 0; phase < 2; ++phase) {
        const BoxShape& p = phase == 0 ? a : b;
        const BoxShape& q = phase == 0 ? b : a;
        const Vector3 size = p.halfExtents * 2.0f;
        const Vector3 origin = p.position - RefMul(p.rotation, p.halfExtents);
        const Vector3 c = RefMul(p.rotationT, q.position - p.position) + p.halfExtents;
        Vector3 qa[3];
        for (int i = 0; i < 3; ++i) qa[i] = RefMul(p.rotationT, q.rotationT.Row(i));
        const Vector3 ex = qa[0] * (2.0f * q.halfExtents.x), ey = qa[1] * (2.0f * q.halfExtents.y),
                      ez = qa[2] * (2.0f * q.halfExtents.z);
        const Vector3 mn = c - qa[0] * q.halfExtents.x - qa[1] * q.halfExtents.y - qa[2] * q.halfExtents.z;
        Vector3 corner[8];
        unsigned outside[8];
        for (int k = 0; k < 8; ++k) {
            Vector3 v = mn;
            if (k & 4) v += ex;
            if (k & 2) v += ey;
            if (k & 1) v += ez;
            corner[k] = v;
            outside[k] = 0;
            for (int axis = 0; axis < 3; ++axis) {
                if (v[axis] <= -1e-6f) outside[k] |= 1u << (2 * axis);
                if (v[axis] >= size[axis] + 1e-6f) outside[k] |= 2u << (2 * axis);
            }
        }
        int produced = 0;
        for (const auto& e : edges) {
            if (produced >= 6) break;
            if (outside[e[0]] & outside[e[1]]) continue;
            produced += RefClipEdge(corner[e[0]], corner[e[1]], size, p, origin, list);
        }
    }
    for (int i = 0; i < list.count; ++i) out[i] = list.pts[i];
    return list.count;
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

}  // namespace

TEST(BoxCollision, ClippingGivesTheSameBitsAsPlainArithmetic) {
    std::mt19937 rng(11);
    auto uni = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    int withPoints = 0;
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(round);
        // Every third pair axis-aligned (resting blocks), the others turned.
        const bool aligned = round % 3 == 0;
        auto turn = [&]() {
            if (aligned) return Geometry::kIdentityQuaternion;
            const Quaternion q(uni(-1, 1), uni(-1, 1), uni(-1, 1), uni(-1, 1));
            const float len = q.Length();
            return Quaternion(q.w / len, q.x / len, q.y / len, q.z / len);
        };
        const BoxShape a = Box({uni(-1, 1), uni(-1, 1), uni(-1, 1)}, {uni(0.2f, 1.5f), uni(0.2f, 1.5f), uni(0.2f, 1.5f)},
                               turn());
        const BoxShape b = aligned ? Box(a.position + Vector3(uni(-1, 1), a.halfExtents.y + 0.5f - 0.01f, uni(-1, 1)))
                                   : Box({uni(-1, 1), uni(-1, 1), uni(-1, 1)},
                                         {uni(0.2f, 1.5f), uni(0.2f, 1.5f), uni(0.2f, 1.5f)}, turn());
        const float merge = 0.1f * std::min(std::min(a.halfExtents.x, b.halfExtents.y), 0.5f);
        Vector3 got[8], want[8];
        const int n = Physics::ContactBoxBox(a, b, merge, got);
        ASSERT_EQ(n, RefContactBoxBox(a, b, merge, want));
        withPoints += n > 0 ? 1 : 0;
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(Bits(got[i].x), Bits(want[i].x));
            EXPECT_EQ(Bits(got[i].y), Bits(want[i].y));
            EXPECT_EQ(Bits(got[i].z), Bits(want[i].z));
        }
    }
    EXPECT_GT(withPoints, 250);
}

// The separating-axis test works four lanes at a time; it must find the same
// axis, normal and depth, to the bit, as the one-axis-at-a-time version, on
// turned boxes, aligned ones (parallel edges: skipped crossed axes) and
// boxes with an axis nearly parallel.
TEST(BoxCollision, AxisTestGivesTheSameBitsAsOneAxisAtATime) {
    std::mt19937 rng(5);
    auto uni = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    int hits = 0;
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        auto turn = [&](int kind) {
            if (kind == 0) return Geometry::kIdentityQuaternion;
            if (kind == 1) return Quaternion::FromAxisAngle({0, 1, 0}, uni(-1e-3f, 1e-3f));
            const Quaternion q(uni(-1, 1), uni(-1, 1), uni(-1, 1), uni(-1, 1));
            const float len = q.Length();
            return Quaternion(q.w / len, q.x / len, q.y / len, q.z / len);
        };
        const BoxShape a = Box({uni(-1, 1), uni(-1, 1), uni(-1, 1)}, {uni(0.1f, 1.5f), uni(0.1f, 1.5f), uni(0.1f, 1.5f)},
                               turn(round % 3));
        const BoxShape b = Box({uni(-2, 2), uni(-2, 2), uni(-2, 2)}, {uni(0.1f, 1.5f), uni(0.1f, 1.5f), uni(0.1f, 1.5f)},
                               turn((round / 3) % 3));
        for (bool full : {false, true}) {
            const float tolerance = full ? 0.02f : 0.1f;
            Physics::AxisTest got, want;
            const bool hit = Physics::TestBoxAxes(a, b, tolerance, full, got);
            ASSERT_EQ(hit, Physics::TestBoxAxesScalar(a, b, tolerance, full, want));
            if (!hit) continue;
            ++hits;
            EXPECT_EQ(got.axis, want.axis);
            EXPECT_EQ(Bits(got.depth), Bits(want.depth));
            EXPECT_EQ(Bits(got.normal.x), Bits(want.normal.x));
            EXPECT_EQ(Bits(got.normal.y), Bits(want.normal.y));
            EXPECT_EQ(Bits(got.normal.z), Bits(want.normal.z));
        }
    }
    EXPECT_GT(hits, 1000);
}
