#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "physics/Collision.h"
#include "physics/PhysWorld.h"

using Geometry::Vector3;
using Physics::CreateBody;
using Physics::PhysBodyPtr;
using Physics::PhysContact;
using Physics::PhysWorld;

namespace {

const Vector3 kUnit(0.5f, 0.5f, 0.5f);

struct Scene {
    PhysWorld world;
    PhysBodyPtr ground;

    Scene() {
        ground = CreateBody({0, -0.5f, 0}, {50, 0.5f, 50}, "TEST_STATIC");
        world.AddBody(ground);
    }
    PhysBodyPtr Box(const Vector3& p, uint16_t id, const char* material = "TEST") {
        PhysBodyPtr b = CreateBody(p, kUnit, material);
        b->SetActorId(id);
        world.AddBody(b);
        return b;
    }
    // Steps of 16 ms; the reports of every step are gathered.
    std::vector<PhysContact> Run(int steps, float dt = 0.016f) {
        std::vector<PhysContact> all;
        for (int i = 0; i < steps; ++i) {
            world.Step(dt);
            for (const PhysContact& r : world.TakeCollisionReports()) all.push_back(r);
        }
        return all;
    }
    size_t Moves() {
        std::vector<Physics::MoveReport> moves;
        world.CollectMoveReports(moves);
        return moves.size();
    }
};

}  // namespace

TEST(PhysWorld, StepLengthIsClamped) {
    struct Case {
        float dt, used;
    };
    const Case cases[] = {{1.0f, 0.04f},  {0.04f, 0.04f}, {0.016f, 0.016f},
                          {0.0f, 0.0001f}, {-1.0f, 0.0001f}, {std::nanf(""), 0.0001f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dt);
        PhysWorld world;
        PhysBodyPtr b = CreateBody({0, 10, 0}, kUnit, "TEST");
        world.AddBody(b);
        world.Step(c.dt);
        EXPECT_FLOAT_EQ(world.LastStep(), c.used);
        // Free fall: gravity 10 over the step actually taken.
        EXPECT_NEAR(b->GetVelocity().y, -10.0f * c.used, 1e-5f);
    }
}

TEST(PhysWorld, DroppedBlockComesToRestAndSleeps) {
    Scene s;
    PhysBodyPtr b = s.Box({0, 3, 0}, 1);
    std::vector<PhysContact> reports = s.Run(60);  // about 1 s: falls and lands
    bool impact = false;
    for (const PhysContact& r : reports) impact |= r.resting == 0;
    EXPECT_TRUE(impact);
    EXPECT_NEAR(b->GetPosition().y, 0.5f, 0.01f);
    EXPECT_FALSE(b->IsAsleep());

    // At rest it sleeps once 1.4 s have passed without motion.
    int steps = 0;
    while (!b->IsAsleep() && steps < 200) {
        s.Run(1);
        ++steps;
    }
    ASSERT_TRUE(b->IsAsleep());
    EXPECT_GE(steps, 1.3f / 0.016f - 60);  // not before it had settled
    EXPECT_EQ(b->GetVelocity(), Geometry::kZeroVector);
    EXPECT_EQ(s.Moves(), 0u);

    // Asleep, it reports neither moves nor contacts.
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(s.Run(1).empty());
        EXPECT_EQ(s.Moves(), 0u);
    }
    EXPECT_EQ(s.world.SleepingBodies().size(), 2u);
    EXPECT_TRUE(s.world.AwakeBodies().empty());
}

TEST(PhysWorld, RestingContactsAreReportedAsResting) {
    Scene s;
    PhysBodyPtr b = s.Box({0, 0.5f, 0}, 1);
    for (const PhysContact& r : s.Run(40)) {
        EXPECT_EQ(r.resting, 1u);
        EXPECT_EQ(r.normalSpeed, 0.0f);
    }
}

TEST(PhysWorld, StackOfBoxesStaysStanding) {
    for (int height : {3, 6}) {
        SCOPED_TRACE(height);
        Scene s;
        std::vector<PhysBodyPtr> stack;
        for (int i = 0; i < height; ++i) stack.push_back(s.Box({0, 0.5f + i, 0}, static_cast<uint16_t>(i)));
        s.Run(250);  // 4 s
        for (int i = 0; i < height; ++i) {
            const Vector3 p = stack[i]->GetPosition();
            EXPECT_NEAR(p.x, 0.0f, 0.02f);
            EXPECT_NEAR(p.z, 0.0f, 0.02f);
            EXPECT_NEAR(p.y, 0.5f + i, 0.05f);
            EXPECT_TRUE(stack[i]->IsAsleep());
        }
    }
}

TEST(PhysWorld, WallHitGivesOneReportPerStepWithTheLowerIdFirst) {
    Scene s;
    PhysBodyPtr wall = CreateBody({5, 2, 0}, {0.5f, 3, 5}, "TEST_STATIC");  // no actor: id 0xFFFF
    s.world.AddBody(wall);
    PhysBodyPtr b = s.Box({2, 1.5f, 0}, 7);
    b->SetVelocity({12, 0, 0});
    std::vector<PhysContact> first;
    for (int i = 0; i < 30; ++i) {
        s.world.Step(0.016f);
        int pairReports = 0;
        for (const PhysContact& r : s.world.TakeCollisionReports()) {
            if (r.idB != 0xFFFF || std::fabs(r.normal.x) < 0.9f) continue;  // the ground shares id 0xFFFF
            ++pairReports;
            if (first.empty() && r.resting == 0) first.push_back(r);
        }
        EXPECT_LE(pairReports, 1) << "step " << i;
        EXPECT_LT(b->GetPosition().x, 4.0f + 0.01f);  // never into the wall
    }
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].idA, 7);
    EXPECT_LT(first[0].normal.x, -0.9f);  // from the wall towards the block
    EXPECT_NEAR(first[0].normalSpeed, -12.0f, 0.01f);
    EXPECT_FLOAT_EQ(first[0].massA, b->GetMass());
    EXPECT_FLOAT_EQ(first[0].massB, 0.0f);
    // The report point lies where the block meets the wall, not at the
    // middle of the wall's face.
    EXPECT_NEAR(first[0].point.x, 4.5f, 0.1f);
    EXPECT_LT(std::fabs(first[0].point.y - 1.4f), 0.5f);
    EXPECT_LT(b->state.angularVelocity.Length(), 1e-3f);
}

TEST(PhysWorld, ReportsAreFlippedSortedAndOnePerPair) {
    Scene s;
    PhysBodyPtr hi = s.Box({0, 0.5f, 0}, 9);
    PhysBodyPtr lo = s.Box({0, 1.6f, 0}, 4);
    lo->SetVelocity({0, -5, 0});
    s.world.Step(0.04f);
    std::vector<PhysContact> r = s.world.TakeCollisionReports();
    ASSERT_FALSE(r.empty());
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_LT(r[i].idA, r[i].idB);
        if (i) {
            EXPECT_TRUE(r[i - 1].idA < r[i].idA || (r[i - 1].idA == r[i].idA && r[i - 1].idB < r[i].idB));
        }
    }
    // Pair (4, 9): found from both bodies' queries, reported once, as the
    // falling box's impact. Body 9 queried first, so its report was flipped:
    // the normal now points at body A (id 4), and the speed is negated with it.
    const PhysContact* pair = nullptr;
    for (const PhysContact& c : r)
        if (c.idA == 4 && c.idB == 9) pair = &c;
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->resting, 0u);
    EXPECT_GT(pair->normal.y, 0.9f);
    EXPECT_NEAR(pair->normalSpeed, 5.0f, 0.5f);
    EXPECT_TRUE(s.world.TakeCollisionReports().empty());
}

// Many reports at once (a large batch is ordered by a radix sort): the same
// list as flipping, a stable sort by (idA, idB, resting) and the first report
// of each pair. Ids are given in a scrambled order so that the pairs come
// from both queries and impacts mix with resting contacts. The impacts alone
// (what the physics process raises) are that list less its resting reports.
TEST(PhysWorld, ManyReportsKeepTheirStableOrder) {
    for (int side : {3, 24})
    for (bool impactsOnly : {false, true}) {
        SCOPED_TRACE(testing::Message() << side << (impactsOnly ? " impacts" : " all"));
        Scene s;
        uint16_t id = 0;
        for (int i = 0; i < side; ++i)
            for (int k = 0; k < side; ++k) {
                const uint16_t scrambled = static_cast<uint16_t>((id++ * 7919u) % 65521u);
                PhysBodyPtr b = s.Box({i * 1.0f, 0.5f + (i + k) % 3 * 0.002f, k * 1.0f}, scrambled);
                if ((i + k) % 4 == 0) b->SetVelocity({0, -3, 0});
            }
        for (int step = 0; step < 3; ++step) {
            s.world.Step(0.016f);
            std::vector<PhysContact> want = s.world.Reports();
            for (PhysContact& r : want)
                if (r.idB < r.idA) {
                    std::swap(r.idA, r.idB);
                    std::swap(r.massA, r.massB);
                    r.normalSpeed = -r.normalSpeed;
                    r.normal = -r.normal;
                }
            std::stable_sort(want.begin(), want.end(), [](const PhysContact& x, const PhysContact& y) {
                if (x.idA != y.idA) return x.idA < y.idA;
                if (x.idB != y.idB) return x.idB < y.idB;
                return x.resting < y.resting;
            });
            want.erase(std::unique(want.begin(), want.end(),
                                   [](const PhysContact& x, const PhysContact& y) {
                                       return x.idA == y.idA && x.idB == y.idB;
                                   }),
                       want.end());
            if (impactsOnly) {
                const size_t pairs = want.size();
                want.erase(std::remove_if(want.begin(), want.end(), [](const PhysContact& r) { return r.resting != 0; }),
                           want.end());
                if (step == 0) {
                    EXPECT_GT(want.size(), 0u);
                    EXPECT_LT(want.size(), pairs);
                }
            }
            const size_t found = s.world.Reports().size();
            const std::vector<PhysContact> got =
                impactsOnly ? s.world.TakeImpactReports() : s.world.TakeCollisionReports();
            if (side > 3) {
                EXPECT_GT(found, 256u);
            }
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < got.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(got[i].idA, want[i].idA);
                EXPECT_EQ(got[i].idB, want[i].idB);
                EXPECT_EQ(got[i].resting, want[i].resting);
                EXPECT_EQ(got[i].normalSpeed, want[i].normalSpeed);
                EXPECT_EQ(got[i].point, want[i].point);
                EXPECT_EQ(got[i].normal, want[i].normal);
            }
        }
    }
}

// A static block placed anew between steps (in the cell it is filed in) is
// met at its new place: contact detection must not work from positions of an
// earlier step.
TEST(PhysWorld, StaticBlockMovedBetweenStepsIsMetWhereItIsNow) {
    Scene s;
    PhysBodyPtr block = CreateBody({2, 0.5f, 0}, kUnit, "TEST_STATIC");
    block->SetActorId(7);
    s.world.AddBody(block);
    PhysBodyPtr box = s.Box({0, 3.2f, 0}, 3);
    s.Run(2);
    block->SetPosition({0, 1.0f, 0});
    bool met = false;
    for (const PhysContact& r : s.Run(40))
        if (r.idA == 3 && r.idB == 7) met = true;
    EXPECT_TRUE(met);
    EXPECT_GT(box->GetPosition().y, 1.9f);  // resting on the block, not on the ground
}

// A sleeping block that a falling one lands on is listed with the landing's
// contacts; made static (a block placed for good), it drops that list at once,
// since the world no longer looks at the lists of static bodies, and can
// still be removed.
TEST(PhysWorld, ABodyMadeStaticDropsItsContacts) {
    Scene s;
    PhysBodyPtr lower = s.Box({0, 0.5f, 0}, 1);
    s.Run(120);
    ASSERT_TRUE(lower->IsAsleep());
    PhysBodyPtr upper = s.Box({0, 1.52f, 0}, 2);
    bool listed = false;
    for (int i = 0; i < 10 && !listed; ++i) {
        s.Run(1);
        listed = !lower->contacts.empty();
    }
    ASSERT_TRUE(listed);
    lower->SetMaterial("TEST_STATIC");
    EXPECT_TRUE(lower->contacts.empty());
    s.Run(5);
    EXPECT_TRUE(lower->contacts.empty());
    s.world.RemoveBody(lower);
    s.Run(5);
    EXPECT_LT(upper->GetPosition().y, 1.5f);  // the support is gone: it falls
}

TEST(PhysWorld, RemovingTheLowestBlockWakesTheWholeStack) {
    Scene s;
    PhysBodyPtr lower = s.Box({0, 0.5f, 0}, 1);
    PhysBodyPtr middle = s.Box({0, 1.5f, 0}, 2);
    PhysBodyPtr top = s.Box({0, 2.5f, 0}, 3);
    s.Run(250);
    ASSERT_TRUE(lower->IsAsleep() && middle->IsAsleep() && top->IsAsleep());
    s.world.RemoveBody(lower);
    EXPECT_FALSE(middle->IsAsleep());
    EXPECT_FALSE(top->IsAsleep());  // not left hanging in the air
    s.Run(60);
    EXPECT_NEAR(middle->GetPosition().y, 0.5f, 0.03f);
    EXPECT_NEAR(top->GetPosition().y, 1.5f, 0.03f);
}

TEST(PhysWorld, RefreshWakesOnlyWhatRestsOnTop) {
    Scene s;
    PhysBodyPtr lower = s.Box({0, 0.5f, 0}, 1);
    PhysBodyPtr upper = s.Box({0, 1.5f, 0}, 2);
    PhysBodyPtr beside = s.Box({3, 0.5f, 0}, 3);
    s.Run(200);
    ASSERT_TRUE(upper->IsAsleep() && lower->IsAsleep() && beside->IsAsleep());
    s.world.RefreshBody(lower);
    EXPECT_FALSE(lower->IsAsleep());
    EXPECT_FALSE(upper->IsAsleep());
    EXPECT_TRUE(beside->IsAsleep());
    EXPECT_TRUE(s.ground->IsAsleep());  // static bodies never wake
    s.world.RefreshBody(upper);         // nothing rests on the upper block
    EXPECT_TRUE(beside->IsAsleep());
}

TEST(PhysWorld, NudgedSleeperKeepsSleepingAndForgetsThePush) {
    Scene s;
    PhysBodyPtr sleeper = s.Box({0, 0.5f, 0}, 1);
    s.Run(150);
    ASSERT_TRUE(sleeper->IsAsleep());
    // A slow block settles against it: the sleeper gets small impulses.
    PhysBodyPtr mover = s.Box({1.01f, 0.5f, 0}, 2);
    mover->SetVelocity({-0.1f, 0, 0});
    s.Run(5);
    EXPECT_TRUE(sleeper->IsAsleep());
    EXPECT_EQ(sleeper->GetVelocity(), Geometry::kZeroVector);
    EXPECT_NEAR(sleeper->GetPosition().x, 0.0f, 1e-6f);
}

// A push wakes a sleeper only when it gives it twice the speed below which an
// awake body counts as resting (0.23 m/s, 0.2 rad/s); a lesser push is
// forgotten, even one an awake body would count as motion.
TEST(PhysWorld, ASleeperWakesOnlyForTwiceTheRestingSpeed) {
    struct Case {
        Vector3 velocity, spin;
        bool wakes;
    };
    const Case cases[] = {
        {{0.3f, 0, 0}, {}, false},   // moving for an awake body, not enough to wake
        {{0, 0.4f, 0}, {}, false},
        {{0, 0, -0.44f}, {}, false},
        {{0.5f, 0, 0}, {}, true},
        {{0, 0, 2.0f}, {}, true},
        {{}, {0, 0.3f, 0}, false},
        {{}, {0.42f, 0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.velocity.x << " " << c.velocity.y << " " << c.velocity.z << " spin "
                                        << c.spin.x << " " << c.spin.y << " " << c.spin.z);
        Scene s;
        PhysBodyPtr sleeper = s.Box({0, 0.5f, 0}, 1);
        s.Run(150);
        ASSERT_TRUE(sleeper->IsAsleep());
        Physics::PhysBody& b = *sleeper;
        b.ApplyImpulse(c.velocity * b.GetMass(), Vector3());
        if (c.spin != Vector3()) {
            // The angular momentum that gives this spin.
            const Geometry::Matrix3x3& inv = b.massProps.inverseInertiaBody;
            b.ApplyImpulse(Vector3(), Vector3(c.spin.x / inv(0, 0), c.spin.y / inv(1, 1), c.spin.z / inv(2, 2)));
        }
        ASSERT_TRUE(b.IsAsleep());  // impulses never wake by themselves
        s.Run(1);
        EXPECT_EQ(!b.IsAsleep(), c.wakes);
        if (!c.wakes) {
            EXPECT_EQ(b.GetVelocity(), Geometry::kZeroVector);
            EXPECT_EQ(b.state.angularVelocity, Geometry::kZeroVector);
        }
    }
}

TEST(PhysWorld, PredictedOverlapGivesAGapContact) {
    Scene s;
    PhysBodyPtr b = s.Box({0, 0.52f, 0}, 1);  // 0.02 above the ground
    b->SetVelocity({0, -3, 0});               // inside it after one predicted step
    s.world.Step(0.016f);
    // The block slowed down to at most the speed that closes the gap.
    EXPECT_GE(b->GetVelocity().y, -0.02f / 0.016f - 0.2f);
    EXPECT_GT(b->GetPosition().y, 0.49f);
}

TEST(PhysWorld, RunsAreReproducible) {
    auto run = [] {
        Scene s;
        std::vector<PhysBodyPtr> boxes;
        for (int i = 0; i < 12; ++i)
            boxes.push_back(s.Box({(i % 4) * 1.02f, 0.5f + (i / 4) * 1.3f, (i % 3) * 0.3f}, static_cast<uint16_t>(i)));
        boxes[0]->SetVelocity({3, 4, 1});
        s.Run(80);
        std::vector<Vector3> out;
        for (auto& b : boxes) out.push_back(b->GetPosition());
        return out;
    };
    EXPECT_EQ(run(), run());
}

// Faults fixed: a body whose numbers went bad does not poison the grid, and
// wake propagation up a tall tower does not recurse.
TEST(PhysWorld, NonFiniteMotionNeverReachesTheGrid) {
    Scene s;
    PhysBodyPtr b = s.Box({1, 0.5f, 1}, 1);
    b->state.velocity = {std::numeric_limits<float>::quiet_NaN(), 0, 0};
    b->state.angularVelocity = {0, std::numeric_limits<float>::infinity(), 0};
    s.Run(3);
    EXPECT_TRUE(b->GetPosition().IsFinite());
    EXPECT_TRUE(b->GetOrientation().IsFinite());
    const auto cells = s.world.Grid().CellsOf(b.get());
    ASSERT_FALSE(cells.empty());
    for (const Physics::CellKey& k : cells) {
        EXPECT_LE(std::abs(k.x), 1);
        EXPECT_LE(std::abs(k.z), 1);
    }
}

namespace {

struct TowerJob {
    Scene* scene;
    PhysBodyPtr bottom;
};

void* WakeTower(void* arg) {
    auto* job = static_cast<TowerJob*>(arg);
    job->scene->world.RefreshBody(job->bottom);
    return nullptr;
}

}  // namespace

TEST(PhysWorld, WakingATallTowerNeedsLittleStack) {
    Scene s;
    const int height = 3000;
    std::vector<PhysBodyPtr> tower;
    for (int i = 0; i < height; ++i) {
        PhysBodyPtr b = s.Box({0, 0.5f + i, 0}, static_cast<uint16_t>(i));
        b->PutToSleep();
        tower.push_back(b);
    }
    s.world.Step(0.016f);  // files the sleepers
    ASSERT_EQ(s.world.SleepingBodies().size(), static_cast<size_t>(height + 1));

    // A recursive walk would need thousands of frames; 256 KiB is plenty for
    // an iterative one.
    TowerJob job{&s, tower[0]};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, WakeTower, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    for (int i = 0; i < height; ++i) ASSERT_FALSE(tower[i]->IsAsleep()) << i;
}

// A body refiled into the same cells step after step is left as it is filed;
// taken out of the world (removed, or the world cleared) and put back at the
// same place, it must be filed again, or no other body would meet it.
TEST(PhysWorld, ABodyPutBackWhereItWasIsFiledAgain) {
    for (bool clear : {false, true}) {
        SCOPED_TRACE(clear ? "cleared" : "removed");
        Scene s;
        PhysBodyPtr block = s.Box({0, 0.5f, 0}, 1);
        s.Run(5);
        const std::vector<Physics::CellKey> cells = s.world.Grid().CellsOf(block.get());
        ASSERT_FALSE(cells.empty());
        if (clear) {
            s.world.Clear();
            s.world.AddBody(s.ground);
        } else {
            s.world.RemoveBody(block);
        }
        EXPECT_TRUE(s.world.Grid().CellsOf(block.get()).empty());
        s.world.AddBody(block);
        s.Run(1);
        EXPECT_EQ(s.world.Grid().CellsOf(block.get()), cells);
        // A block dropped onto it lands on it.
        PhysBodyPtr upper = s.Box({0, 1.8f, 0}, 2);
        s.Run(60);
        EXPECT_NEAR(upper->GetPosition().y, 1.5f, 0.05f);
    }
}

// The world passes over the sleepers it noted static while no static
// sleeper's material changed. A placed block made free (a static sleeper
// given a mass, as a collapse does) must still leave the sleeping list at
// once and fall, after any number of quiet steps with the notes held; and a
// static sleeper kept static stays put while another one changes.
TEST(PhysWorld, AStaticSleeperGivenAMassWakesAndFalls) {
    for (int quiet : {1, 2, 30}) {
        SCOPED_TRACE(quiet);
        Scene s;
        PhysBodyPtr placed = s.Box({0, 5, 0}, 1, "TEST_STATIC");
        PhysBodyPtr other = s.Box({4, 5, 0}, 2, "TEST_STATIC");
        s.Run(quiet);
        ASSERT_TRUE(placed->IsAsleep());
        ASSERT_EQ(s.world.SleepingBodies().size(), 3u);

        placed->SetMaterial("TEST");
        s.Run(30);  // about half a second of fall from 5
        EXPECT_FALSE(placed->IsAsleep());
        EXPECT_LT(placed->GetPosition().y, 4.0f);
        EXPECT_EQ(std::count(s.world.AwakeBodies().begin(), s.world.AwakeBodies().end(), placed), 1);
        EXPECT_EQ(s.world.SleepingBodies().size(), 2u);
        EXPECT_EQ(other->GetPosition(), Vector3(4, 5, 0));
        EXPECT_TRUE(other->IsAsleep());
    }
}
