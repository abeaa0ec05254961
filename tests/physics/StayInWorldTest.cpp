// Bodies never leave the world through its ground or walls, however fast a
// throw, a blast or a knock-out sends them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "physics/PhysBody.h"
#include "physics/PhysWorld.h"

using Geometry::Vector3;
using Physics::CreateBody;
using Physics::PhysBodyPtr;
using Physics::PhysWorld;

namespace {

// The shipped levels' proportions: a ground 3.2 thick with its top at 0, and
// walls 10 thick round it from 32 out, reaching down past the ground.
struct Arena {
    PhysWorld world;
    Arena() {
        world.AddBody(CreateBody({0, -1.6f, 0}, {32, 1.6f, 32}, "TEST_STATIC"));
        for (float side : {-1.0f, 1.0f}) {
            world.AddBody(CreateBody({side * 37, 245.9f, 0}, {5, 254.1f, 42}, "TEST_STATIC"));
            world.AddBody(CreateBody({0, 245.9f, side * 37}, {32, 254.1f, 5}, "TEST_STATIC"));
        }
    }
};

struct Shot {
    const char* what;
    float speed;
    float degreesBelowLevel;  // 90 straight down at the ground, 0 level at the wall
    float height;
    float dt;
};

std::string Name(const Shot& s) {
    return std::string(s.what) + " speed " + std::to_string(s.speed) + " angle " +
           std::to_string(s.degreesBelowLevel) + " height " + std::to_string(s.height) + " dt " +
           std::to_string(s.dt);
}

}  // namespace

TEST(StayInWorld, AUnitBlockAtAnySpeedEndsAboveTheGroundAndInsideTheWall) {
    // Throws leave the hand at up to 55 units per second; blasts add a few;
    // a knock-out as the rule is written gives hundreds to tens of thousands.
    const float speeds[] = {6.0f, 55.0f, 400.0f, 22000.0f};
    const float angles[] = {0.0f, 30.0f, 60.0f, 90.0f};
    const float heights[] = {0.6f, 5.0f};
    const float steps[] = {0.016f, 0.04f};
    for (float speed : speeds)
        for (float angle : angles)
            for (float height : heights)
                for (float dt : steps) {
                    const Shot shot{"block", speed, angle, height, dt};
                    Arena arena;
                    const float a = angle * 3.14159265f / 180.0f;
                    // From 3 units in front of the wall, towards it and down.
                    PhysBodyPtr block = CreateBody({29, height, 0}, {0.5f, 0.5f, 0.5f}, "TEST");
                    arena.world.AddBody(block);
                    block->SetVelocity(Vector3(std::cos(a), -std::sin(a), 0.0f) * speed);
                    for (int i = 0; i < 150; ++i) arena.world.Step(dt);
                    const Vector3 p = block->state.position;
                    ASSERT_TRUE(p.IsFinite()) << Name(shot);
                    // The centre of a resting unit block is at 0.5; a little
                    // sinking into a contact is allowed, passing it is not.
                    EXPECT_GT(p.y, 0.3f) << Name(shot) << " ended at y " << p.y;
                    EXPECT_LT(p.x, 31.7f) << Name(shot) << " ended at x " << p.x;
                    EXPECT_GT(p.x, -31.7f) << Name(shot) << " ended at x " << p.x;
                }
}

TEST(StayInWorld, ARunawaySpeedIsCutToTwiceTheBodysThicknessPerStep) {
    struct Case {
        Vector3 half;
        Vector3 velocity;
        float dt;
        float expectedSpeed;  // after the cut
    };
    const Case cases[] = {
        {{0.5f, 0.5f, 0.5f}, {30, 0, 0}, 0.016f, 30.0f},        // a throw: untouched
        {{0.5f, 0.5f, 0.5f}, {0, -1000, 0}, 0.016f, 125.0f},    // 2 units a step
        {{0.5f, 0.5f, 0.5f}, {0, -1000, 0}, 0.04f, 50.0f},      // a longer step, the same distance
        {{1.5f, 0.5f, 3.0f}, {600, 800, 0}, 0.016f, 125.0f},    // the thinnest side counts
        {{2.0f, 2.0f, 2.0f}, {0, 0, 480}, 0.016f, 480.0f},      // a big body may go faster
    };
    for (const Case& c : cases) {
        PhysWorld world;
        PhysBodyPtr b = CreateBody({0, 100, 0}, c.half, "TEST");
        world.AddBody(b);
        b->SetVelocity(c.velocity);
        const Vector3 direction = c.velocity * (1.0f / c.velocity.Length());
        b->IntegratePosition(c.dt);
        EXPECT_NEAR(b->state.velocity.Length(), c.expectedSpeed, c.expectedSpeed * 1e-4f);
        EXPECT_NEAR(b->state.velocity.Dot(direction), c.expectedSpeed, c.expectedSpeed * 1e-4f) << "direction kept";
        const Vector3 fromMomentum = b->state.momentum * b->massProps.inverseMass;
        EXPECT_NEAR((fromMomentum - b->state.velocity).Length(), 0.0f, 1e-3f) << "momentum follows the velocity";
    }
}
