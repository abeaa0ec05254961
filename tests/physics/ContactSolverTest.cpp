#include <gtest/gtest.h>

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
        m.points[0].offsetA = {0, -0.5f, 0};
        m.points[0].offsetB = {0, 0.5f, 0};
        m.points[0].depth = depth;
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
        EXPECT_NEAR(p.m.points[0].targetSpeed, c.target, 1e-5f);
        EXPECT_FLOAT_EQ(p.m.restitution, 0.3f);  // the larger of 0.3 and 0
        EXPECT_FLOAT_EQ(p.m.inverseMassSum, 1.0f / 800.0f);
        EXPECT_FLOAT_EQ(p.m.points[0].effectiveInverseMass, 1.0f / 800.0f);
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
        p.m.points[0].offsetA = {0.5f, -0.5f, 0};
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
        above.points[0].offsetA = {0, -0.5f, 0};
        above.points[0].offsetB = {0, 0.5f, 0};
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
