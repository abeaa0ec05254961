#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "physics/PhysProc.h"
#include "support/Harness.h"

using EventTypes::EventUpdateActorMove;
using EventTypes::EventUpdateCollision;
using Geometry::Vector3;
using Physics::CreateBody;
using Physics::PhysBodyPtr;
using Physics::PhysProc;

namespace {

// Actors by id, as the logic's actor map would answer.
class Directory : public Physics::IActorDirectory {
public:
    bool LookUpActorType(uint16_t id, const char*& name, uint32_t& hash) const override {
        auto it = m_types.find(id);
        if (it == m_types.end()) return false;
        name = it->second;
        hash = EventSystem::HashEventName(it->second);
        return true;
    }
    std::map<uint16_t, const char*> m_types;
};

class PhysProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        m_recorder.Listen<EventUpdateActorMove, EventUpdateCollision>();
        m_proc = std::make_shared<PhysProc>(&m_directory);
        m_ground = CreateBody({0, -0.5f, 0}, {50, 0.5f, 50}, "TEST_STATIC");
        m_ground->SetActorId(0);
        m_directory.m_types[0] = "plane";
        m_proc->AddBody(m_ground);
    }
    void TearDown() override { TestSupport::ResetSingletons(); }

    PhysBodyPtr Block(const Vector3& p, uint16_t id) {
        PhysBodyPtr b = CreateBody(p, {0.5f, 0.5f, 0.5f}, "TEST");
        b->SetActorId(id);
        m_directory.m_types[id] = "box";
        m_proc->AddBody(b);
        return b;
    }
    // One logic frame: deliver what was queued, then update the process.
    void Frames(int n, int ms = 16) {
        for (int i = 0; i < n; ++i) {
            EventSystem::ProcessEventQueue();
            m_proc->OnUpdate(ms);
        }
        EventSystem::ProcessEventQueue();
    }
    std::vector<std::shared_ptr<EventUpdateCollision>> Collisions() const {
        return m_recorder.Of<EventUpdateCollision>();
    }

    Directory m_directory;
    TestSupport::EventRecorder m_recorder;
    std::shared_ptr<PhysProc> m_proc;
    PhysBodyPtr m_ground;
};

}  // namespace

TEST_F(PhysProcTest, IsAProcessOfTypeSixWithAnEmptyWorld) {
    PhysProc fresh;
    EXPECT_EQ(fresh.GetType(), 6);
    EXPECT_TRUE(fresh.World().AwakeBodies().empty());
    EXPECT_FLOAT_EQ(fresh.World().Grid().CellSize(), 6.0f);
}

TEST_F(PhysProcTest, StepLengthFollowsTheFrameAndIsClamped) {
    m_proc->OnUpdate(0);
    EXPECT_FLOAT_EQ(m_proc->World().LastStep(), 0.0001f);
    m_proc->OnUpdate(1000);
    EXPECT_FLOAT_EQ(m_proc->World().LastStep(), 0.04f);
    m_proc->OnUpdate(16);
    EXPECT_FLOAT_EQ(m_proc->World().LastStep(), 0.016f);
}

TEST_F(PhysProcTest, DroppedBlockLandsOnceThenRestsAndFallsSilent) {
    PhysBodyPtr b = Block({3, 2, 0}, 5);
    Frames(60);
    // Falling: a move event per frame for the block, none for the ground.
    auto moves = m_recorder.Of<EventUpdateActorMove>();
    ASSERT_GE(moves.size(), 30u);
    for (const auto& m : moves) EXPECT_EQ(m->GetPayload()->actorId, 5);
    // Landing: impacts of the pair (0, 5), ground first (lower id).
    auto hits = Collisions();
    ASSERT_FALSE(hits.empty());
    const auto* first = hits.front()->GetPayload();
    EXPECT_EQ(first->kind, 0);
    EXPECT_EQ(first->actorIdA, 0);
    EXPECT_EQ(first->actorIdB, 5);
    EXPECT_STREQ(first->typeNameA, "plane");
    EXPECT_STREQ(first->typeNameB, "box");
    EXPECT_EQ(first->typeHashB, EventSystem::HashEventName("box"));
    EXPECT_FLOAT_EQ(first->massA, 0.0f);
    EXPECT_FLOAT_EQ(first->massB, 800.0f);
    EXPECT_GT(std::fabs(first->normalSpeed), 0.5f);

    // Resting on the ground: no collision events at all.
    m_recorder.Clear();
    Frames(60);
    EXPECT_EQ(m_recorder.Count<EventUpdateCollision>(), 0u);

    // Once asleep (1.4 s at rest), no move events either.
    Frames(90);
    ASSERT_TRUE(b->IsAsleep());
    m_recorder.Clear();
    Frames(100);
    EXPECT_EQ(m_recorder.Count<EventUpdateActorMove>(), 0u);
    EXPECT_EQ(m_recorder.Count<EventUpdateCollision>(), 0u);
}

TEST_F(PhysProcTest, WallHitNamesTheBlockFirstAndTheWallAsNobody) {
    PhysBodyPtr wall = CreateBody({5, 2, 0}, {0.5f, 3, 5}, "TEST_STATIC");  // a level wall: no actor
    m_proc->AddBody(wall);
    PhysBodyPtr b = Block({2, 1.5f, 0}, 7);
    b->SetVelocity({12, 0, 0});
    std::vector<int> hitsPerFrame;
    for (int i = 0; i < 20; ++i) {
        m_recorder.Clear();
        Frames(1);
        int n = 0;
        for (const auto& e : Collisions())
            if (e->GetPayload()->actorIdB == -1) ++n;
        hitsPerFrame.push_back(n);
    }
    // At most one event per frame for the pair, and the first is the hit.
    int total = 0;
    for (int n : hitsPerFrame) {
        EXPECT_LE(n, 1);
        total += n;
    }
    ASSERT_GE(total, 1);

    m_recorder.Clear();
    PhysBodyPtr c = Block({2, 1.5f, 3}, 8);  // a second throw, recorded from the start
    c->SetVelocity({12, 0, 0});
    std::shared_ptr<EventUpdateCollision> hit;
    for (int i = 0; i < 20 && !hit; ++i) {
        Frames(1);
        for (const auto& e : Collisions())
            if (e->GetPayload()->actorIdA == 8 && e->GetPayload()->actorIdB == -1) hit = e;
    }
    ASSERT_TRUE(hit);
    const auto* d = hit->GetPayload();
    EXPECT_EQ(d->kind, 0);
    EXPECT_STREQ(d->typeNameA, "box");
    EXPECT_EQ(d->typeNameB, nullptr);
    EXPECT_EQ(d->typeHashB, 0u);
    EXPECT_LT(d->normal.x, -0.9f);  // from the wall towards the block
    EXPECT_NEAR(d->normalSpeed, -12.0f, 0.05f);
}

TEST_F(PhysProcTest, GlobalPointerIsClearedWithItsProcess) {
    {
        auto proc = std::make_shared<PhysProc>();
        Physics::SetPhysProc(proc.get());
        EXPECT_EQ(Physics::GetPhysProc(), proc.get());
    }
    EXPECT_EQ(Physics::GetPhysProc(), nullptr);
}
