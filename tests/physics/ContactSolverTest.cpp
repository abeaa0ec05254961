#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "physics/Collision.h"
#include "physics/ContactSolver.h"
#include "physics/PhysBody.h"

using Geometry::Vector3;
using Physics::ContactManifold;
using Physics::PhysBodyPtr;
using Physics::PhysMaterial;

namespace {

// A unit block over a static ground with one contact point straight below
// the block's centre, so no point turns the block.
struct Pair {
    PhysBodyPtr block = Physics::CreateBody({0, 0.5f, 0}, {0.5f, 0.5f, 0.5f}, "TEST");
    PhysBodyPtr ground = Physics::CreateBody({0, -0.5f, 0}, {5, 0.5f, 5}, "TEST_STATIC");
    ContactManifold m;

    explicit Pair(float depth = 0.0f, float groundRestitution = 0.0f) {
        PhysMaterial g = PhysMaterial::TestStatic();
        g.coRestitution = groundRestitution;
        ground->ApplyMaterial(g);
        block->shape.startPosition = block->GetPosition();
        m.normal = {0, 1, 0};
        m.bodyA = block.get();
        m.bodyB = ground.get();
        m.count = 1;
        m.SetPoint(0, {0, -0.5f, 0}, {0, 0.5f, 0}, depth);
    }
};

}  // namespace

TEST(ContactSolver, PrepareTable) {
    struct Case {
        const char* name;
        float depth, dt, target;
    };
    const Case cases[] = {
        {"deep overlap is capped at 3.0", 0.3f, 0.04f, 3.0f},
        {"small overlap separates over two steps", 0.01f, 0.04f, 0.125f},
        {"gap tolerates approach", -0.02f, 0.04f, -0.5f},
        {"touching", 0.0f, 0.04f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pair p(c.depth);
        Physics::PrepareContact(p.m, c.dt);
        EXPECT_NEAR(p.m.TargetSpeed(0), c.target, 1e-5f);
        EXPECT_FLOAT_EQ(p.m.restitution, 0.3f);  // the larger of 0.3 and 0
        EXPECT_FLOAT_EQ(p.m.inverseMassSum, 1.0f / 800.0f);
        EXPECT_FLOAT_EQ(p.m.EffectiveInverseMass(0), 1.0f / 800.0f);
        EXPECT_EQ(p.block->contacts.size(), 1u);
        EXPECT_TRUE(p.ground->contacts.empty());  // static bodies keep no list
    }
}

TEST(ContactSolver, CollisionAndContactPasses) {
    struct Case {
        const char* name;
        float depth;
        float restitution;  // 0 models the contact pass
        float vy;           // block's vertical speed before
        bool applies;
        float vyAfter;
    };
    const Case cases[] = {
        {"bounce with the larger restitution", 0.0f, 0.3f, -2.0f, true, 0.6f},
        {"contact pass only stops the block", 0.0f, 0.0f, -2.0f, true, 0.0f},
        {"slow bounce below 0.01 goes to the target", 0.0f, 0.3f, -0.02f, true, 0.0f},
        {"gap lets the block approach up to 0.5", -0.02f, 0.0f, -0.4f, false, -0.4f},
        {"too fast for the gap", -0.02f, 0.0f, -1.0f, true, -0.5f},
        {"separating already", 0.0f, 0.3f, 1.0f, false, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pair p(c.depth);
        Physics::PrepareContact(p.m, 0.04f);
        p.m.restitution = c.restitution;
        p.block->SetVelocity({0, c.vy, 0});
        EXPECT_EQ(Physics::SolveContact(p.m), c.applies);
        EXPECT_NEAR(p.block->GetVelocity().y, c.vyAfter, 1e-4f);
        EXPECT_EQ(p.ground->GetVelocity(), Geometry::kZeroVector);
        EXPECT_EQ(p.block->state.angularVelocity, Geometry::kZeroVector);
        EXPECT_EQ(Physics::IsDone(p.m), !c.applies);
    }
}

TEST(ContactSolver, FrictionUsesTheSmallerCoefficients) {
    // Sliding at 2 along x while pressed into the ground.
    struct Case {
        const char* name;
        float staticF, kineticF;
        float vxAfter;
    };
    // Normal impulse per unit mass: 1.0 (from -1 to 0); kinetic friction then
    // takes mu x 1.0 of the sliding speed; static friction holds only when
    // mu_s x 1.0 exceeds the 2.0 needed to stop.
    const Case cases[] = {
        {"TEST material: no friction", 0.0f, 0.0f, 2.0f},
        {"static 0: always kinetic", 0.0f, 0.5f, 1.5f},
        {"static friction too weak", 1.0f, 0.5f, 1.5f},
        {"static friction holds", 3.0f, 0.5f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pair p;
        PhysMaterial block = PhysMaterial::Test();
        block.staticFriction = c.staticF;
        block.kineticFriction = c.kineticF;
        p.block->ApplyMaterial(block);
        PhysMaterial ground = PhysMaterial::TestStatic();
        ground.staticFriction = 10.0f;
        ground.kineticFriction = 10.0f;
        p.ground->ApplyMaterial(ground);
        // Friction at a point below the centre would also turn the block;
        // a walking block has no inverse inertia, so only its speed changes.
        p.block->SetMoveVelocity(0, 0);
        Physics::PrepareContact(p.m, 0.04f);
        p.m.restitution = 0.0f;
        p.block->SetVelocity({2, -1, 0});
        ASSERT_TRUE(Physics::SolveContact(p.m));
        EXPECT_NEAR(p.block->GetVelocity().x, c.vxAfter, 1e-3f);
        EXPECT_EQ(p.block->state.angularVelocity, Geometry::kZeroVector);
    }
}

TEST(ContactSolver, OffCentrePointsTurnABlockButNotAWalker) {
    for (bool walking : {false, true}) {
        SCOPED_TRACE(walking ? "walking" : "free");
        Pair p;
        p.m.SetPoint(0, {0.5f, -0.5f, 0}, {0, 0.5f, 0}, 0.0f);
        if (walking) p.block->SetMoveVelocity(0, 0);
        Physics::PrepareContact(p.m, 0.04f);
        p.block->SetVelocity({0, -1, 0});
        ASSERT_TRUE(Physics::SolveContact(p.m));
        EXPECT_GT(p.block->GetVelocity().y, -1.0f);
        EXPECT_EQ(p.block->state.angularVelocity == Geometry::kZeroVector, walking);
    }
}

TEST(ContactSolver, SolvingReopensTheContactsOfBothBodies) {
    Pair p;
    Pair other;
    other.m.bodyA = p.block.get();  // a second contact of the same block
    Physics::PrepareContact(p.m, 0.04f);
    Physics::PrepareContact(other.m, 0.04f);
    Physics::MarkDone(other.m);
    ASSERT_TRUE(Physics::IsDone(other.m));
    p.block->SetVelocity({0, -1, 0});
    ASSERT_TRUE(Physics::SolveContact(p.m));
    EXPECT_FALSE(Physics::IsDone(other.m));
    EXPECT_FALSE(Physics::IsDone(p.m));
}

// A body's contact list is emptied when the world wakes it during a step: the
// contacts that were on it keep their state, and its later impulses no longer
// reopen them (only the other body of such a contact still does).
TEST(ContactSolver, AnEmptiedListNoLongerReopensItsContacts) {
    for (bool reopenedBefore : {false, true}) {
        SCOPED_TRACE(reopenedBefore ? "reopened before the list was emptied" : "done when the list was emptied");
        Pair p;
        PhysBodyPtr upper = Physics::CreateBody({0, 1.5f, 0}, {0.5f, 0.5f, 0.5f}, "TEST");
        ContactManifold above;  // upper block on p.block
        above.normal = {0, 1, 0};
        above.bodyA = upper.get();
        above.bodyB = p.block.get();
        above.count = 1;
        above.SetPoint(0, {0, -0.5f, 0}, {0, 0.5f, 0}, 0.0f);
        Physics::PrepareContact(p.m, 0.04f);
        Physics::PrepareContact(above, 0.04f);
        ASSERT_EQ(p.block->contacts.size(), 2u);
        Physics::MarkDone(above);
        p.block->SetVelocity({0, -1, 0});
        if (reopenedBefore) {
            ASSERT_TRUE(Physics::SolveContact(p.m));
        }
        Physics::UnlistContacts(*p.block);
        EXPECT_TRUE(p.block->contacts.empty());
        EXPECT_EQ(Physics::IsDone(above), !reopenedBefore);
        // The block takes another impulse: no effect on the unlisted contact.
        Physics::PrepareContact(p.m, 0.04f);
        p.block->SetVelocity({0, -1, 0});
        ASSERT_TRUE(Physics::SolveContact(p.m));
        EXPECT_EQ(Physics::IsDone(above), !reopenedBefore);
        // The upper block still reopens it, through a contact of its own.
        Physics::MarkDone(above);
        Pair own;
        own.m.bodyA = upper.get();
        Physics::PrepareContact(own.m, 0.04f);
        upper->SetVelocity({0, -1, 0});
        ASSERT_TRUE(Physics::SolveContact(own.m));
        EXPECT_FALSE(Physics::IsDone(above));
    }
}

namespace {

// The solver as the algorithm reads, one impulse at a time through the
// body's own ApplyImpulse, in plain Vector3 arithmetic: the solver proper
// batches and vectorises this work and must give the same bits.
Vector3 RefVelocityAt(const Physics::PhysBody& b, const Vector3& r) {
    return b.state.velocity + Geometry::Cross(b.state.angularVelocity, r);
}
float RefAngularTerm(const Physics::PhysBody& b, const Vector3& u, const Vector3& r) {
    if (b.IsStatic()) return 0.0f;
    return u.Dot(Geometry::Cross(b.state.inverseInertiaWorld * Geometry::Cross(r, u), r));
}
void RefPush(Physics::PhysBody& b, const Vector3& j, const Vector3& r) {
    if (!b.IsStatic()) b.ApplyImpulse(j, Geometry::Cross(r, j));
}

bool ReferenceSolve(ContactManifold& c) {
    Physics::PhysBody& a = *c.bodyA;
    Physics::PhysBody& b = *c.bodyB;
    const Vector3 n = c.normal;
    auto relative = [&](const Vector3& ra, const Vector3& rb) {
        return b.IsStatic() ? RefVelocityAt(a, ra) : RefVelocityAt(a, ra) - RefVelocityAt(b, rb);
    };
    float j[ContactManifold::kMaxPoints] = {};
    float sum = 0.0f, sumTarget = 0.0f;
    Vector3 sumPoint;
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        const uint32_t k = static_cast<uint32_t>(i);
        const float vn = relative(c.OffsetA(k), c.OffsetB(k)).Dot(n);
        if (vn > c.TargetSpeed(k)) continue;
        float wanted = -c.restitution * vn;
        if (wanted < 0.01f) wanted = c.TargetSpeed(k);
        const float delta = wanted - vn;
        if (delta < 0.01f) continue;
        j[i] = delta / c.EffectiveInverseMass(k);
        sum += j[i];
        sumTarget += c.TargetSpeed(k) * j[i];
        sumPoint += (c.OffsetA(k) + a.shape.startPosition) * j[i];
    }
    if (sum <= 1e-6f) return false;
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        if (j[i] <= 1e-6f) continue;
        const Vector3 impulse = n * (j[i] * j[i] / sum);
        RefPush(a, impulse, c.OffsetA(static_cast<uint32_t>(i)));
        RefPush(b, -impulse, c.OffsetB(static_cast<uint32_t>(i)));
    }
    float jc = 0.0f;
    const Vector3 centre = sumPoint / sum;
    const float target = sumTarget / sum;
    const Vector3 ra = centre - a.state.position;
    const Vector3 rb = centre - b.state.position;
    const float vc = relative(ra, rb).Dot(n);
    if (target > vc) {
        float wanted = -c.restitution * vc;
        if (wanted < 0.01f) wanted = target;
        const float delta = wanted - vc;
        if (delta > 0.01f) {
            jc = delta / std::max(1e-6f, RefAngularTerm(a, n, ra) + RefAngularTerm(b, n, rb) + c.inverseMassSum);
            RefPush(a, n * jc, ra);
            RefPush(b, n * -jc, rb);
        }
    }
    for (int i = static_cast<int>(c.count) - 1; i >= 0; --i) {
        const Vector3 pa = c.OffsetA(static_cast<uint32_t>(i)), pb = c.OffsetB(static_cast<uint32_t>(i));
        const Vector3 u = relative(pa, pb);
        const Vector3 ut = u - n * u.Dot(n);
        if (ut.LengthSquared() <= 0.0001f) continue;
        const float utLen = std::sqrt(ut.LengthSquared());
        const Vector3 t = ut * (-1.0f / utLen);
        const float kt = RefAngularTerm(a, t, pa) + RefAngularTerm(b, t, pb) + c.inverseMassSum;
        if (kt <= 1e-6f) continue;
        const float jn = (j[i] + jc) * j[i] / sum;
        const float js = utLen / kt;
        const float friction = c.staticFriction * jn > js ? js : c.kineticFriction * jn;
        if (friction == 0.0f) continue;
        RefPush(a, t * friction, pa);
        RefPush(b, t * -friction, pb);
    }
    return true;
}

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void ExpectSameBits(const Vector3& got, const Vector3& want, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(Bits(got.x), Bits(want.x));
    EXPECT_EQ(Bits(got.y), Bits(want.y));
    EXPECT_EQ(Bits(got.z), Bits(want.z));
}

}  // namespace

TEST(ContactSolver, SameBitsAsTheOneImpulseAtATimeAlgorithm) {
    std::mt19937 rng(7);
    auto uni = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto vec = [&uni](float r) { return Vector3(uni(-r, r), uni(-r, r), uni(-r, r)); };
    int applied = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const bool staticB = round % 3 == 0;
        const bool walkingA = round % 7 == 0;
        const Vector3 ha(uni(0.2f, 2.0f), uni(0.2f, 2.0f), uni(0.2f, 2.0f));
        const Vector3 hb(uni(0.2f, 2.0f), uni(0.2f, 2.0f), uni(0.2f, 2.0f));
        const Vector3 pa = vec(5), pb = vec(5);
        const Geometry::Quaternion qa(uni(-1, 1), uni(-1, 1), uni(-1, 1), uni(-1, 1));
        const Geometry::Quaternion qb(uni(-1, 1), uni(-1, 1), uni(-1, 1), uni(-1, 1));
        PhysMaterial ma = PhysMaterial::Test(), mb = PhysMaterial::Test();
        ma.coRestitution = uni(0, 0.6f);
        ma.staticFriction = uni(0, 1);
        ma.kineticFriction = uni(0, 1);
        mb.staticFriction = uni(0, 1);
        mb.kineticFriction = uni(0, 1);
        if (staticB) mb.density = 0.0f;
        const Vector3 va = vec(3), vb = vec(3), la = vec(2000), lb = vec(2000);
        Vector3 normal = vec(1);
        if (normal.LengthSquared() < 1e-3f) normal = {0, 1, 0};
        normal = normal / normal.Length();
        ContactManifold m[2];
        PhysBodyPtr bodies[2][2];
        for (int k = 0; k < 2; ++k) {
            PhysBodyPtr a = Physics::CreateBody(pa, ha, "TEST", qa);
            PhysBodyPtr b = Physics::CreateBody(pb, hb, "TEST", qb);
            a->ApplyMaterial(ma);
            b->ApplyMaterial(mb);
            if (walkingA) a->SetMoveVelocity(1, 0);
            a->SetVelocity(va);
            b->SetVelocity(vb);
            a->ApplyImpulse({}, la);
            b->ApplyImpulse({}, lb);
            a->shape.startPosition = a->GetPosition() + Vector3(0, -0.01f, 0);
            bodies[k][0] = a;
            bodies[k][1] = b;
            m[k].normal = normal;
            m[k].bodyA = a.get();
            m[k].bodyB = b.get();
            m[k].count = 1 + round % ContactManifold::kMaxPoints;
        }
        for (uint32_t i = 0; i < m[0].count; ++i) {
            const Vector3 at = pa + vec(1.5f);
            const float depth = uni(-0.05f, 0.3f);
            for (int k = 0; k < 2; ++k) m[k].SetPoint(i, at - pa, at - pb, depth);
        }
        Physics::PrepareContact(m[0], 1.0f / 60.0f);
        Physics::PrepareContact(m[1], 1.0f / 60.0f);
        const bool got = Physics::SolveContact(m[0]);
        ASSERT_EQ(got, ReferenceSolve(m[1]));
        applied += got ? 1 : 0;
        for (int side = 0; side < 2; ++side) {
            const Physics::RigidState& s = bodies[0][side]->state;
            const Physics::RigidState& r = bodies[1][side]->state;
            ExpectSameBits(s.momentum, r.momentum, "momentum");
            ExpectSameBits(s.velocity, r.velocity, "velocity");
            ExpectSameBits(s.angularMomentum, r.angularMomentum, "angular momentum");
            ExpectSameBits(s.angularVelocity, r.angularVelocity, "angular velocity");
        }
    }
    EXPECT_GT(applied, 100);  // most rounds do apply impulses
}
