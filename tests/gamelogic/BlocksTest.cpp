// Block records and states, the collision rule that knocks a block out of its
// structure, collapses over the occupancy grid, and the return of a thrown
// block to the free state.
#include <chrono>
#include <cmath>
#include <set>

#include "ai/SearchSpace.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/LogicFixture.h"
#include "support/Lcg.h"

namespace LogicTest {
namespace {

using EventTypes::EventUpdateBlockActive;
using EventTypes::EventUpdateCollision;
using EventTypes::EventUpdateCollisionData;
using EventTypes::EventUpdateDetachBlock;

class BlocksTest : public LogicFixture {
protected:
    void SetUp() override {
        LogicFixture::SetUp();
        recorder.Listen<EventUpdateDetachBlock, EventUpdateBlockActive>();
    }
    // The bots' grid the logic's blocks mark.
    AI::SearchSpace& BotGrid() {
        auto* grid = dynamic_cast<AI::SearchSpace*>(Blocks().Grid());
        EXPECT_NE(grid, nullptr);
        return *grid;
    }
    bool InWorld(const BlockPtr& b) const {
        for (const auto& body : physics->World().AwakeBodies())
            if (body == b->actor->body) return true;
        for (const auto& body : physics->World().SleepingBodies())
            if (body == b->actor->body) return true;
        return false;
    }
    std::set<uint16_t> Detached() const {
        std::set<uint16_t> ids;
        for (const auto& e : recorder.Of<EventUpdateDetachBlock>()) ids.insert(e->GetPayload()->blockId);
        return ids;
    }
    // A report of a hit of `thrown` against `placed`, normal from placed's
    // side towards... as the physics gives it: from B towards A.
    static EventUpdateCollisionData Report(uint16_t a, uint16_t b, const Vector3& normal, float speed = 10.0f) {
        EventUpdateCollisionData d;
        d.kind = 0;
        d.normalSpeed = speed;
        d.normal = normal;
        d.actorIdA = static_cast<int16_t>(a);
        d.actorIdB = static_cast<int16_t>(b);
        return d;
    }
    TestSupport::EventRecorder recorder;
};

TEST_F(BlocksTest, RegistrationByTypeAndStateMaterials) {
    StartPhysics();
    const BlockPtr placed = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 0.5f, 0.5f));
    const BlockPtr solid = MakeBlock(ActorTypes::kSolid, Vector3(3.5f, 0.5f, 0.5f));
    const BlockPtr box = MakeBlock(ActorTypes::kBox, Vector3(6.5f, 5.5f, 0.5f));
    ASSERT_TRUE(placed && solid && box);
    EXPECT_EQ(placed->state, BlockState::kPlaced);
    EXPECT_EQ(solid->state, BlockState::kPlaced);
    EXPECT_EQ(box->state, BlockState::kFree);
    EXPECT_EQ(Blocks().StaticBlocks().count(placed->GetId()), 1u);
    EXPECT_EQ(Blocks().StaticBlocks().count(box->GetId()), 0u);
    EXPECT_NEAR(box->radius, std::sqrt(0.75f), 1e-6f);
    // The placed block's cell is marked in the grid; the free one's is not.
    EXPECT_TRUE(BotGrid().IsCellBlocked(250, 0, 250));
    EXPECT_FALSE(BotGrid().IsCellBlocked(256, 5, 250));

    EXPECT_TRUE(placed->actor->body->IsStatic());
    EXPECT_FALSE(box->actor->body->IsStatic());
    box->SetState(BlockState::kHeld);
    EXPECT_FALSE(InWorld(box)) << "a held block leaves the world";
    EXPECT_TRUE(box->actor->body->IsStatic()) << "held: massless";
    box->SetState(BlockState::kThrown);
    EXPECT_TRUE(InWorld(box));
    EXPECT_FALSE(box->actor->body->IsStatic());
    box->SetState(BlockState::kFading);
    for (int32_t s : {BlockState::kPlaced, BlockState::kFree, BlockState::kHeld, BlockState::kPouch}) {
        box->SetState(s);
        EXPECT_EQ(box->state, BlockState::kFading) << "fading is final";
    }
    EXPECT_TRUE(InWorld(box));
}

// A small structure (x to the right, one unit per block, all at z = 0.5):
//   G (on D)       F (on E)   J
//   D (over A, B)             I
//   A  B           E          H
TEST_F(BlocksTest, ACollapseTakesExactlyWhatRestedOnlyOnTheFallenBlocks) {
    const Vector3 unit(1, 1, 1);
    const BlockPtr A = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 0.5f, 0.5f));
    const BlockPtr B = MakeBlock(ActorTypes::kMasslessBox, Vector3(1.5f, 0.5f, 0.5f));
    const BlockPtr D = MakeBlock(ActorTypes::kMasslessBox, Vector3(1.0f, 1.5f, 0.5f), Vector3(2, 1, 1));
    const BlockPtr G = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 2.5f, 0.5f));
    const BlockPtr E = MakeBlock(ActorTypes::kMasslessBox, Vector3(4.5f, 0.5f, 0.5f));
    const BlockPtr F = MakeBlock(ActorTypes::kMasslessBox, Vector3(4.5f, 1.5f, 0.5f));
    const BlockPtr H = MakeBlock(ActorTypes::kMasslessBox, Vector3(7.5f, 0.5f, 0.5f));
    const BlockPtr I = MakeBlock(ActorTypes::kMasslessBox, Vector3(7.5f, 1.5f, 0.5f));
    const BlockPtr J = MakeBlock(ActorTypes::kMasslessBox, Vector3(7.5f, 2.5f, 0.5f));
    // K hovers 0.0001 above E's neighbour L: never carried along.
    const BlockPtr L = MakeBlock(ActorTypes::kMasslessBox, Vector3(10.5f, 0.5f, 0.5f));
    const BlockPtr K = MakeBlock(ActorTypes::kMasslessBox, Vector3(10.5f, 1.5001f, 0.5f));
    // A "solid" block on H's column top stays whatever falls under it.
    const BlockPtr S = MakeBlock(ActorTypes::kSolid, Vector3(7.5f, 3.5f, 0.5f));

    Blocks().DetachBlock(A);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(Detached(), (std::set<uint16_t>{A->GetId()})) << "D has a second support, so D and G stay";
    EXPECT_EQ(A->state, BlockState::kFree);
    EXPECT_EQ(D->state, BlockState::kPlaced);

    recorder.Clear();
    Blocks().DetachBlock(B);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(Detached(), (std::set<uint16_t>{B->GetId(), D->GetId(), G->GetId()}));

    recorder.Clear();
    Blocks().DetachBlock(H);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(Detached(), (std::set<uint16_t>{H->GetId(), I->GetId(), J->GetId()}));
    EXPECT_EQ(S->state, BlockState::kPlaced);

    recorder.Clear();
    Blocks().DetachBlock(L);
    Blocks().DetachBlock(S);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(Detached(), (std::set<uint16_t>{L->GetId()})) << "the height test is exact; solid never comes loose";
    EXPECT_EQ(E->state, BlockState::kPlaced);
    EXPECT_EQ(F->state, BlockState::kPlaced);

    // Each report carries the block's snapped extents, and the grid is free
    // where the fallen blocks stood.
    const auto events = recorder.Of<EventUpdateDetachBlock>();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->GetPayload()->halfExtents, Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_FALSE(BotGrid().IsCellBlocked(260, 0, 250));
    EXPECT_TRUE(BotGrid().IsCellBlocked(254, 0, 250)) << "E still stands";
}

TEST_F(BlocksTest, AThrownBlockKnocksAPlacedBlockLooseButNotASolidOne) {
    const BlockPtr wall = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 0.5f, 0.5f));
    const BlockPtr top = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 1.5f, 0.5f));
    const BlockPtr solid = MakeBlock(ActorTypes::kSolid, Vector3(5.5f, 0.5f, 0.5f));
    const BlockPtr thrown = MakeBlock(ActorTypes::kBox, Vector3(0.5f, 0.5f, 3.0f));
    thrown->SetState(BlockState::kThrown);

    Blocks().OnBlockCollision(Report(solid->GetId(), thrown->GetId(), Vector3(0, 0, -1)));
    EventSystem::ProcessEventQueue();
    EXPECT_TRUE(Detached().empty());
    EXPECT_TRUE(Blocks().HasCollisionToFree(thrown->GetId())) << "the thrown block starts returning to free";

    // The wall has the lower id, so it is A; the normal points from B (the
    // thrown block) towards A.
    Blocks().OnBlockCollision(Report(wall->GetId(), thrown->GetId(), Vector3(0, 0, -1), -10.0f));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(Detached(), (std::set<uint16_t>{wall->GetId(), top->GetId()}));
    ASSERT_EQ(recorder.Count<EventUpdateBlockActive>(), 1u);
    EXPECT_EQ(recorder.Of<EventUpdateBlockActive>()[0]->GetPayload()->blockId, thrown->GetId());
    // n x |speed x 400|
    EXPECT_EQ(wall->actor->body->GetVelocity().z < -3999.0f, true);
}

TEST_F(BlocksTest, AThrownBlockFlyingIntoAWallInThePhysicsBringsDownWhatOnlyItHeld) {
    StartPhysics();
    // A wall two blocks wide and two high, a block bridging the two columns on
    // top, and a lone block on the left column's top... the bridge stays.
    const BlockPtr left = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 0.5f, 0.5f));
    const BlockPtr right = MakeBlock(ActorTypes::kMasslessBox, Vector3(1.5f, 0.5f, 0.5f));
    const BlockPtr leftUp = MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, 1.5f, 0.5f));
    const BlockPtr rightUp = MakeBlock(ActorTypes::kMasslessBox, Vector3(1.5f, 1.5f, 0.5f));
    const BlockPtr bridge = MakeBlock(ActorTypes::kMasslessBox, Vector3(1.0f, 2.5f, 0.5f), Vector3(2, 1, 1));
    const BlockPtr thrown = MakeBlock(ActorTypes::kBox, Vector3(0.5f, 0.5f, 5.0f));
    thrown->SetState(BlockState::kThrown);
    thrown->actor->body->SetVelocity(Vector3(0, 0, -30));

    // The logic's collision handler hands block-block reports to the blocks.
    EventSystem::EventRegistry handler;
    handler.Register(EventUpdateCollision::GetStaticType(), [this](const EventSystem::IEvent& e) {
        if (const auto* c = dynamic_cast<const EventUpdateCollision*>(&e))
            if (Blocks().GetBlock(c->GetPayload()->actorIdA) && Blocks().GetBlock(c->GetPayload()->actorIdB))
                Blocks().OnBlockCollision(*c->GetPayload());
        return false;
    });
    Run(400);
    EXPECT_EQ(Detached(), (std::set<uint16_t>{left->GetId(), leftUp->GetId()}))
        << "the hit block and the one resting only on it; the bridge keeps its right support";
    EXPECT_EQ(bridge->state, BlockState::kPlaced);
    EXPECT_EQ(rightUp->state, BlockState::kPlaced);
    EXPECT_EQ(thrown->state, BlockState::kFree) << "free again after its first collision";
    EXPECT_EQ(thrown->team, 255);
}

TEST_F(BlocksTest, ReturnToFreeRunsOutUnlessTheBlockIsPickedUp) {
    const BlockPtr block = MakeBlock(ActorTypes::kBox, Vector3(0.5f, 3.5f, 0.5f));
    block->SetState(BlockState::kThrown);
    block->team = 0;
    Blocks().StartCollisionToFree(block);
    Blocks().StartCollisionToFree(block);  // one timer per block
    EXPECT_EQ(logic->GetProcessManager().Count(), 1u);
    Run(16);  // 16 > BlockFatalTime (10)
    EXPECT_EQ(block->team, 255) << "harmless after the fatal time";
    EXPECT_EQ(block->state, BlockState::kThrown);
    Run(192);  // 208 > BlockFreeTime (200)
    EXPECT_EQ(block->state, BlockState::kFree);
    EXPECT_EQ(recorder.Count<EventUpdateBlockActive>(), 1u);

    // Picked up while its timer runs: the timer is cancelled, the block stays
    // in the hand, and a new throw starts a new timer.
    recorder.Clear();
    block->SetState(BlockState::kThrown);
    block->team = 1;
    Blocks().StartCollisionToFree(block);
    Run(16);
    Blocks().TakeBlock(block);
    EXPECT_FALSE(Blocks().HasCollisionToFree(block->GetId()));
    Run(400);
    EXPECT_EQ(block->state, BlockState::kHeld);
    EXPECT_EQ(recorder.Count<EventUpdateBlockActive>(), 0u);
    block->SetState(BlockState::kThrown);
    Blocks().StartCollisionToFree(block);
    EXPECT_TRUE(Blocks().HasCollisionToFree(block->GetId()));
    Run(224);
    EXPECT_EQ(block->state, BlockState::kFree);
}

TEST_F(BlocksTest, NearestFreeBlockSkipsBusyAndExcludedBlocks) {
    const BlockPtr near = MakeBlock(ActorTypes::kBox, Vector3(1, 0.5f, 0));
    const BlockPtr mid = MakeBlock(ActorTypes::kBox, Vector3(2, 0.5f, 0));
    const BlockPtr far = MakeBlock(ActorTypes::kBox, Vector3(3, 0.5f, 0));
    const BlockPtr away = MakeBlock(ActorTypes::kBox, Vector3(1000, 0.5f, 0));
    const std::vector<BlockPtr> list{away, far, mid, near};
    std::map<uint16_t, uint16_t> excluded;
    // The search over the manager's own blocks answers as the one over a list.
    EXPECT_EQ(Blocks().FindNearestFreeBlock(list, Vector3(), excluded), near);
    EXPECT_EQ(Blocks().FindNearestFreeBlock(Vector3(), excluded), near);
    near->SetState(BlockState::kHeld);
    mid->SetState(BlockState::kThrown);
    EXPECT_EQ(Blocks().FindNearestFreeBlock(list, Vector3(), excluded), far);
    EXPECT_EQ(Blocks().FindNearestFreeBlock(Vector3(), excluded), far);
    // At equal distance the first block in id order stays the nearest.
    const BlockPtr twin = MakeBlock(ActorTypes::kBox, Vector3(-3, 0.5f, 0));
    ASSERT_LT(far->GetId(), twin->GetId());
    EXPECT_EQ(Blocks().FindNearestFreeBlock(Vector3(), excluded), far);
    excluded[far->GetId()] = 1;
    EXPECT_EQ(Blocks().FindNearestFreeBlock(Vector3(), excluded), twin);
    excluded[twin->GetId()] = 1;
    EXPECT_EQ(Blocks().FindNearestFreeBlock(list, Vector3(), excluded), nullptr) << "1000 away is out of range";
    EXPECT_EQ(Blocks().FindNearestFreeBlock(Vector3(), excluded), nullptr);
}

TEST_F(BlocksTest, NearestFreeBlockWithinBoundsSkipsTheBlocksBeyondThem) {
    // Bounds of 10 in x and 4 in z around the origin; the position searched
    // from may lie outside them.
    const BlockPtr beyondX = MakeBlock(ActorTypes::kBox, Vector3(10.5f, 0.5f, 0));
    const BlockPtr beyondZ = MakeBlock(ActorTypes::kBox, Vector3(9, 0.5f, -4.5f));
    const BlockPtr onEdge = MakeBlock(ActorTypes::kBox, Vector3(10, 0.5f, 4));
    const BlockPtr inside = MakeBlock(ActorTypes::kBox, Vector3(-8, 0.5f, 0));
    const std::map<uint16_t, uint16_t> none;
    const Vector3 from(11, 0.5f, -2);
    EXPECT_EQ(Blocks().FindNearestFreeBlock(from, none), beyondX) << "unbounded, the nearest of all";
    EXPECT_EQ(Blocks().FindNearestFreeBlockWithin(from, none, 10, 4), onEdge) << "the edge belongs to the field";
    onEdge->SetState(BlockState::kHeld);
    EXPECT_EQ(Blocks().FindNearestFreeBlockWithin(from, none, 10, 4), inside);
    EXPECT_EQ(Blocks().FindNearestFreeBlockWithin(from, none, 10, 5), beyondZ);
    EXPECT_EQ(Blocks().FindNearestFreeBlockWithin(from, {{inside->GetId(), 1}}, 10, 4), nullptr);
}

TEST_F(BlocksTest, CollapsesLookOnlyAtTheBlocksAboveAndNeedNoDeepStack) {
    // A tower far taller than any recursion could walk, beside a wide field:
    // the collapse tests only blocks resting on fallen ones.
    AI::SearchSpace grid;
    grid.SetBounds(-8.0f, 8.0f, 0.0f, 30010.0f, -8.0f, 8.0f);
    grid.Build();
    Blocks().SetGrid(&grid);
    constexpr int kTower = 30000;
    for (int y = 0; y < kTower; ++y) MakeBlock(ActorTypes::kMasslessBox, Vector3(0.5f, y + 0.5f, 0.5f));
    for (int x = -8; x < 8; ++x)
        for (int z = -8; z < 8; ++z)
            if (x != 0 || z != 0) MakeBlock(ActorTypes::kMasslessBox, Vector3(x + 0.5f, 0.5f, z + 0.5f));
    EventSystem::EventManager::Instance().Reset();  // the creation reports are of no interest
    recorder.Listen<EventUpdateDetachBlock>();

    const auto start = std::chrono::steady_clock::now();
    Blocks().DetachBlock(Blocks().GetBlock(0));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventUpdateDetachBlock>(), static_cast<size_t>(kTower));
    EXPECT_EQ(Blocks().StaticBlocks().size(), 255u) << "the field stays";
    EXPECT_LE(Blocks().RestTests(), static_cast<size_t>(kTower)) << "one test per block above a fallen one";
    EXPECT_LT(seconds, 5.0);
    Blocks().SetGrid(nullptr);
}

TEST_F(BlocksTest, LookUpsAndTheListingFollowTheTableThroughAddsRemovesAndClears) {
    // The manager answers look-ups and walks from copies of its table; a
    // shuffled run of changes must leave them equal to the table itself.
    StartPhysics();
    auto expectSame = [&](const char* when) {
        SCOPED_TRACE(when);
        const BlockMan::Table& table = Blocks().AllBlocks();
        const uint16_t top = table.empty() ? 0 : table.rbegin()->first;
        for (uint32_t id = 0; id <= top + 2u; ++id) {
            const auto it = table.find(static_cast<uint16_t>(id));
            ASSERT_EQ(Blocks().GetBlock(static_cast<uint16_t>(id)), it == table.end() ? nullptr : it->second) << id;
        }
        const std::vector<BlockMan::Listed>& listing = Blocks().Listing();
        ASSERT_EQ(listing.size(), table.size());
        size_t i = 0;
        for (const auto& [id, block] : table) {
            EXPECT_EQ(listing[i].id, id);
            EXPECT_EQ(listing[i].block, block.get());
            ++i;
        }
    };
    const char* const types[] = {ActorTypes::kBox, ActorTypes::kMasslessBox, ActorTypes::kSolid};
    std::vector<uint16_t> live;
    TestSupport::Lcg draws(12345);
    auto next = [&draws](uint32_t n) { return draws.Below(n); };
    for (int step = 0; step < 300; ++step) {
        const uint32_t op = next(10);
        if (op < 5 || live.empty()) {
            // A player now and then leaves ids without a block.
            if (next(4) == 0) MakePlayer(0, Vector3(0.0f, 0.5f, 0.0f));
            const BlockPtr b = MakeBlock(types[next(3)], Vector3(static_cast<float>(step), 0.5f, 0.0f));
            ASSERT_NE(b, nullptr);
            live.push_back(b->GetId());
        } else if (op < 8) {
            const size_t k = next(static_cast<uint32_t>(live.size()));
            logic->DeleteBlockActor(live[k]);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            // A second record for an actor that has one replaces it.
            const uint16_t id = live[next(static_cast<uint32_t>(live.size()))];
            const BlockPtr before = Blocks().GetBlock(id);
            const BlockPtr after = Blocks().AddBlock(before->actor);
            EXPECT_NE(before, after);
        }
        expectSame("after a change");
        if (step == 150) {
            Blocks().Clear();
            live.clear();
            expectSame("after a clear");
        }
    }
}

}  // namespace
}  // namespace LogicTest
