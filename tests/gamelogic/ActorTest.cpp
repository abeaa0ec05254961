#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/ObjectStateTable.h"
#include "physics/PhysBody.h"
#include "physics/PhysProc.h"
#include "support/Harness.h"
#include "support/Lcg.h"

using EventTypes::EventUpdateCreateActor;
using Geometry::Vector3;
using GameLogicView::ActorCreateInfo;
using GameLogicView::ActorMan;
using GameLogicView::ActorPtr;
using GameLogicView::BuildActor;
namespace ActorTypes = GameLogicView::ActorTypes;

namespace {

class ActorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        ActorMan::ResetIdCounter();
        m_recorder.Listen<EventUpdateCreateActor>();
        std::istringstream states("STATES_START STATE 4 MODEL 7 MATERIAL 2 ALPHA 0.5 FLAGS 1 STATES_END");
        std::istringstream extents("EXTENT_START 1 7 0.5 1.0 0.25");
        m_table.LoadStates(states, "states");
        m_table.LoadExtents(extents, "extents");
        m_proc = std::make_shared<Physics::PhysProc>(&m_actors);
        Physics::SetPhysProc(m_proc.get());
    }
    void TearDown() override {
        m_actors.Clear();
        Physics::SetPhysProc(nullptr);
        TestSupport::ResetSingletons();
    }

    ActorCreateInfo Info(const char* type, int32_t state = 4) {
        ActorCreateInfo info;
        info.params.SetType(type);
        info.params.objectStateId = state;
        info.params.team = 1;
        return info;
    }
    bool InWorld(const ActorPtr& a) const {
        for (const auto& b : m_proc->World().AwakeBodies())
            if (b == a->body) return true;
        for (const auto& b : m_proc->World().SleepingBodies())
            if (b == a->body) return true;
        return false;
    }

    GameLogicView::ObjectStateTable m_table;
    ActorMan m_actors;
    std::shared_ptr<Physics::PhysProc> m_proc;
    TestSupport::EventRecorder m_recorder;
};

}  // namespace

TEST_F(ActorTest, BuildSizesTheBodyMergesTheStateAndAnnouncesIt) {
    ActorCreateInfo info = Info(ActorTypes::kBox);
    info.position = {1, 2, 3};
    info.scale = {2, 1, 1};
    info.velocity = {0, 0, 4};
    info.overrides.materialId = 9;  // a team material: must win over the table's 2
    info.overrides.flags = 4;
    int calls = 0;
    ActorPtr a = BuildActor(info, m_actors, m_table, [&](const ActorPtr& made) {
        ++calls;
        EXPECT_EQ(made->GetId(), 0);
    });
    ASSERT_TRUE(a);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(a->GetId(), 0);
    EXPECT_EQ(a->body->GetActorId(), 0);
    EXPECT_EQ(a->GetExtents(), Vector3(1.0f, 1.0f, 0.25f));
    EXPECT_FLOAT_EQ(a->body->GetMass(), 800.0f * 8 * 1.0f * 1.0f * 0.25f);  // "box" material
    EXPECT_EQ(a->GetVelocity(), Vector3(0, 0, 4));
    EXPECT_TRUE(a->inPhysics);
    EXPECT_TRUE(InWorld(a));

    EXPECT_EQ(a->objectState.stateId, 4);
    EXPECT_EQ(a->objectState.modelId, 7);
    EXPECT_EQ(a->objectState.materialId, 9);
    EXPECT_FLOAT_EQ(a->objectState.alpha, 0.5f);
    EXPECT_EQ(a->objectState.flags, 5);

    EventSystem::ProcessEventQueue();
    auto created = m_recorder.Of<EventUpdateCreateActor>();
    ASSERT_EQ(created.size(), 1u);
    const auto* d = created[0]->GetPayload();
    EXPECT_EQ(d->actorId, 0);
    EXPECT_EQ(d->team, 1);
    EXPECT_STREQ(d->typeName, "box");
    EXPECT_EQ(d->typeHash, EventSystem::HashEventName("box"));
    EXPECT_EQ(d->position, Vector3(1, 2, 3));
    EXPECT_EQ(d->scale, Vector3(2, 1, 1));
    EXPECT_EQ(d->extents, Vector3(1.0f, 1.0f, 0.25f));
    EXPECT_EQ(d->objectState, a->objectState);
}

TEST_F(ActorTest, UnknownStateGetsOverridesAndAUnitBody) {
    ActorCreateInfo info = Info(ActorTypes::kPlane, 99);
    info.overrides.textureId = 3;
    info.addToPhysics = false;
    ActorPtr a = BuildActor(info, m_actors, m_table);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->GetExtents(), Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(a->objectState.stateId, 0);
    EXPECT_EQ(a->objectState.textureId, 3);
    EXPECT_EQ(a->objectState.modelId, -1);
    EXPECT_TRUE(a->body->IsStatic());  // "plane" has density 0
    // Not simulated until asked.
    EXPECT_FALSE(InWorld(a));
    a->AddToPhysics();
    EXPECT_TRUE(InWorld(a));
    m_actors.RemoveActor(a->GetId());
    EXPECT_FALSE(InWorld(a));
    EXPECT_FALSE(m_actors.GetActor(a->GetId()));
}

// Fault fixed: the counter never hands out 0xFFFF (no actor) or an id in use.
TEST_F(ActorTest, IdsSkipNoActorAndIdsInUse) {
    auto make = [&] { return BuildActor(Info(ActorTypes::kBox), m_actors, m_table); };
    ActorPtr first = make();
    ActorPtr second = make();
    EXPECT_EQ(first->GetId(), 0);
    EXPECT_EQ(second->GetId(), 1);

    ActorMan::SetNextId(0xFFFE);
    ActorPtr last = make();
    EXPECT_EQ(last->GetId(), 0xFFFE);
    ActorPtr wrapped = make();
    EXPECT_EQ(wrapped->GetId(), 2);  // not 0xFFFF, not 0 or 1 (still alive)
    EXPECT_EQ(m_actors.Count(), 4u);
    EXPECT_EQ(m_actors.GetActor(0), first);

    // A game over empties the map but the counter goes on.
    m_actors.Clear();
    EXPECT_EQ(make()->GetId(), 3);
}

TEST_F(ActorTest, DirectoryNamesActorsForCollisionEvents) {
    ActorPtr a = BuildActor(Info(ActorTypes::kFlag), m_actors, m_table);
    const char* name = nullptr;
    uint32_t hash = 0;
    ASSERT_TRUE(m_actors.LookUpActorType(a->GetId(), name, hash));
    EXPECT_STREQ(name, "flag");
    EXPECT_EQ(hash, EventSystem::HashEventName("flag"));
    name = nullptr;
    hash = 0;
    EXPECT_FALSE(m_actors.LookUpActorType(0xFFFF, name, hash));
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(hash, 0u);
    EXPECT_EQ(ActorTypes::Find("character"), ActorTypes::kCharacter);
    EXPECT_EQ(ActorTypes::Find("Character"), nullptr);
}

TEST_F(ActorTest, LookUpsFollowTheMapThroughAddsRemovesWrapsAndClears) {
    // Look-ups answer from a table of the map's entries; a shuffled run of
    // changes (with the ids wrapping round) must leave both saying the same.
    auto expectSame = [&](const char* when) {
        SCOPED_TRACE(when);
        const auto& map = m_actors.Actors();
        for (uint32_t id = 0; id <= 0xFFFF; ++id) {
            const auto it = map.find(static_cast<uint16_t>(id));
            const ActorPtr want = it == map.end() ? nullptr : it->second;
            ASSERT_EQ(m_actors.GetActor(static_cast<uint16_t>(id)), want) << id;
            const char* name = nullptr;
            uint32_t hash = 0;
            ASSERT_EQ(m_actors.LookUpActorType(static_cast<uint16_t>(id), name, hash), want != nullptr) << id;
            if (want) {
                EXPECT_EQ(name, want->typeName);
                EXPECT_EQ(hash, want->typeHash);
            }
        }
    };
    const char* const types[] = {ActorTypes::kBox, ActorTypes::kFlag, ActorTypes::kBot};
    std::vector<uint16_t> live;
    TestSupport::Lcg draws(777);
    auto next = [&draws](uint32_t n) { return draws.Below(n); };
    for (int step = 0; step < 120; ++step) {
        if (step == 40) ActorMan::SetNextId(0xFFF0);  // the ids wrap round past 0xFFFF
        if (next(3) != 0 || live.empty()) {
            const ActorPtr a = BuildActor(Info(types[next(3)]), m_actors, m_table);
            ASSERT_NE(a, nullptr);
            live.push_back(a->GetId());
        } else {
            const size_t k = next(static_cast<uint32_t>(live.size()));
            m_actors.RemoveActor(live[k]);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(k));
        }
        if (step % 20 == 19) expectSame("after changes");
    }
    m_actors.Clear();
    expectSame("after a clear");
    BuildActor(Info(ActorTypes::kBox), m_actors, m_table);
    expectSame("after a clear and an add");
}

TEST_F(ActorTest, CarrierHoldsItsBlockOnTheHalfGrid) {
    ActorCreateInfo carrierInfo = Info(ActorTypes::kCharacter);
    carrierInfo.position = {1, 2, 3};
    ActorPtr carrier = BuildActor(carrierInfo, m_actors, m_table);
    ActorPtr block = BuildActor(Info(ActorTypes::kBox), m_actors, m_table);
    carrier->SetHeldActor(block);
    EXPECT_TRUE(carrier->HasHeldActor());
    EXPECT_EQ(carrier->heldActorId, static_cast<int16_t>(block->GetId()));
    carrier->FollowCarrier();
    // Held extents (0.5, 1, 0.25) snap to (0.5, 1, 0.5): 2 + 1 above the carrier.
    EXPECT_EQ(block->GetPosition(), Vector3(1, 5, 3));
    carrier->SetHeldActor(nullptr);
    EXPECT_FALSE(carrier->HasHeldActor());
}

TEST(SnapToHalfGrid, Table) {
    struct Case {
        Vector3 in, out;
    };
    const Case cases[] = {{{-1.3f, 0.74f, 2.2f}, {1.5f, 0.5f, 2.0f}},
                          {{0.25f, 0.24f, -0.75f}, {0.5f, 0.0f, 1.0f}},
                          {{0, 3, -3}, {0, 3, 3}}};
    for (const Case& c : cases) {
        Vector3 v = c.in;
        GameLogicView::SnapToHalfGrid(v);
        EXPECT_EQ(v, c.out) << c.in;
    }
}
