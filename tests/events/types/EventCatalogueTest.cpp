// Every class of the event catalogue in one table: built with sample values,
// serialised to the exact layout the catalogue gives (spelled out here field
// by field), read back through a prototype and compared field by field; its
// reliability; and every shortened payload refused.
#include <gtest/gtest.h>
#include <arpa/inet.h>

#include <functional>
#include <set>
#include <typeinfo>

#include "CatalogueSupport.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/NetworkEvents.h"
#include "events/types/ViewEvents.h"

using namespace CatalogueTest;
using EventSystem::IEvent;
using Geometry::Quaternion;
using Geometry::Vector3;
using EvPtr = std::shared_ptr<IEvent>;

namespace {

// ---- field comparison -------------------------------------------------------
void ExpectSame(float a, float b, const std::string& what) {
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)) << what << ": " << a << " vs " << b;
}
void ExpectSame(const Vector3& a, const Vector3& b, const std::string& what) {
    ExpectSame(a.x, b.x, what + ".x");
    ExpectSame(a.y, b.y, what + ".y");
    ExpectSame(a.z, b.z, what + ".z");
}
void ExpectSame(const Quaternion& a, const Quaternion& b, const std::string& what) {
    ExpectSame(a.w, b.w, what + ".w");
    ExpectSame(a.x, b.x, what + ".x");
    ExpectSame(a.y, b.y, what + ".y");
    ExpectSame(a.z, b.z, what + ".z");
}
void ExpectSame(const sockaddr_in& a, const sockaddr_in& b, const std::string& what) {
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)) << what;
}
void ExpectSame(const EventTypes::EventUpdateActorMove& a, const EventTypes::EventUpdateActorMove& b,
                const std::string& what) {
    ASSERT_NE(a.GetPayload(), nullptr) << what;
    ASSERT_NE(b.GetPayload(), nullptr) << what;
    EXPECT_EQ(a.GetPayload()->actorId, b.GetPayload()->actorId) << what;
    ExpectSame(a.GetPayload()->position, b.GetPayload()->position, what + ".position");
    ExpectSame(a.GetPayload()->orientation, b.GetPayload()->orientation, what + ".orientation");
}
template <class T>
void ExpectSame(const T& a, const T& b, const std::string& what) {
    EXPECT_TRUE(a == b) << what;
}

using Compare = std::function<void(const IEvent& expected, const IEvent& actual)>;

template <class E, class... Ms>
Compare Fields(Ms... members) {
    return [=](const IEvent& expected, const IEvent& actual) {
        const auto* a = dynamic_cast<const E*>(&expected);
        const auto* b = dynamic_cast<const E*>(&actual);
        ASSERT_TRUE(a && b) << "wrong class";
        ASSERT_TRUE(a->GetPayload() && b->GetPayload()) << "missing payload";
        const auto& da = *a->GetPayload();
        const auto& db = *b->GetPayload();
        int i = 0;
        (ExpectSame(da.*members, db.*members, "field #" + std::to_string(i++)), ...);
    };
}

// Members that never travel: null after a read, whatever the sender held.
template <class E, class... Ms>
Compare NullAfterRead(Compare fields, Ms... members) {
    return [=](const IEvent& expected, const IEvent& actual) {
        fields(expected, actual);
        const auto* b = dynamic_cast<const E*>(&actual);
        ASSERT_TRUE(b && b->GetPayload());
        auto check = [&](auto member) {
            EXPECT_EQ(b->GetPayload()->*member, nullptr) << "memory-only member travelled";
        };
        (check(members), ...);
    };
}

// ---- the table ----------------------------------------------------------------
struct Row {
    const char* className;
    const char* typeName;
    bool reliable;
    bool signal;
    size_t catalogueBytes;  // the catalogue's byte count for this sample
    std::function<EvPtr()> sample;
    std::function<EvPtr()> prototype;
    ByteVec bytes;
    Compare compare;  // null for signals
    bool sharesPrototypePayload = false;
};

template <class E, class... A>
std::function<EvPtr()> Make(A... args) {
    return [=] { return std::make_shared<E>(args...); };
}

// An event whose only constructor is the prototype one, given a payload.
template <class E>
std::function<EvPtr()> WithPayload(std::function<typename E::Data*()> data) {
    return [=] {
        auto e = std::make_shared<E>();
        e->SetData(data());
        return e;
    };
}

template <class E>
Row Signal(const char* className, bool reliable = false) {
    return Row{className, E::kTypeName, reliable, true, 0, Make<E>(), Make<E>(), {}, nullptr};
}

const Quaternion kQ(0.5f, -0.5f, 0.25f, 0.75f);
const Quaternion kIdentity(1.0f, 0.0f, 0.0f, 0.0f);

GameLogicView::ObjectState SampleState() {
    GameLogicView::ObjectState s(4);
    s.flags = 3;
    s.modelId = 7;
    s.materialId = 8;
    s.effectId = 9;
    s.textureId = 10;
    s.techniqueId = 11;
    s.alpha = 0.5f;
    return s;
}

sockaddr_in SampleAddress() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(8003);
    a.sin_addr.s_addr = htonl(0x7F000001);
    return a;
}

EventTypes::EventUpdateCollisionData CollisionReport() {
    EventTypes::EventUpdateCollision e(0, -8.5f, Vector3(1, 2, 3), Vector3(0, 1, 0), 25, 1.5f, 26, 2.5f);
    auto d = *e.GetPayload();
    d.typeNameA = "box";
    d.typeHashA = EventSystem::HashEventName("box");
    d.typeNameB = "character";
    d.typeHashB = EventSystem::HashEventName("character");
    return d;
}

std::vector<Row> CommandRows() {
    using namespace EventTypes;
    std::vector<Row> rows;
    rows.push_back({"EventCommandActorMove", "VtLActorMove", false, false, 14,
                    Make<EventCommandActorMove>(int16_t(7), Vector3(1, 2, 3)), Make<EventCommandActorMove>(),
                    Bytes().i16(7).v3(1, 2, 3).b,
                    Fields<EventCommandActorMove>(&EventCommandActorMoveData::actorId,
                                                  &EventCommandActorMoveData::direction)});
    rows.push_back({"EventCommandActorJump", "VtlCommandActorJump", false, false, 2,
                    Make<EventCommandActorJump>(int16_t(9)), Make<EventCommandActorJump>(), Bytes().i16(9).b,
                    Fields<EventCommandActorJump>(&EventCommandActorJumpData::actorId)});
    rows.push_back({"EventCommandActorTurn", "VtlCommandActorTurn", false, false, 18,
                    Make<EventCommandActorTurn>(int16_t(11), kQ), Make<EventCommandActorTurn>(),
                    Bytes().i16(11).q(0.5f, -0.5f, 0.25f, 0.75f).b,
                    Fields<EventCommandActorTurn>(&EventCommandActorTurnData::actorId,
                                                  &EventCommandActorTurnData::orientation)});
    rows.push_back({"EventCommandPickUpBlock", "VtLCommandPickUpBlock", true, false, 2,
                    Make<EventCommandPickUpBlock>(int16_t(12)), Make<EventCommandPickUpBlock>(), Bytes().i16(12).b,
                    Fields<EventCommandPickUpBlock>(&EventCommandPickUpBlockData::actorId)});
    rows.push_back({"EventCommandThrowBlock", "LtoVCommandThrowBlock", true, false, 14,
                    Make<EventCommandThrowBlock>(int16_t(13), Vector3(4, -5, 6)), Make<EventCommandThrowBlock>(),
                    Bytes().i16(13).v3(4, -5, 6).b,
                    Fields<EventCommandThrowBlock>(&EventCommandThrowBlockData::actorId,
                                                   &EventCommandThrowBlockData::direction)});
    rows.push_back({"EventCommandPlaceBlock", "VtLCommandPlaceBlock", false, false, 2,
                    Make<EventCommandPlaceBlock>(int16_t(-300)), Make<EventCommandPlaceBlock>(), Bytes().i16(-300).b,
                    Fields<EventCommandPlaceBlock>(&EventCommandPlaceBlockData::actorId)});
    rows.push_back({"EventHackActorView", "VtLHackActorView", false, false, 14,
                    Make<EventHackActorView>(int16_t(15), Vector3(0, -1, 2)), Make<EventHackActorView>(),
                    Bytes().i16(15).v3(0, -1, 2).b,
                    Fields<EventHackActorView>(&EventHackActorViewData::actorId, &EventHackActorViewData::viewDirection)});
    rows.push_back({"EventCommandWhistle", "VtLWhistle", false, false, 2, Make<EventCommandWhistle>(int16_t(16)),
                    Make<EventCommandWhistle>(), Bytes().i16(16).b,
                    Fields<EventCommandWhistle>(&EventCommandWhistleData::actorId)});
    rows.push_back({"EventCommandCreateBlock", "VtLCreateBlock", false, false, 18,
                    [] {
                        // Values no raiser sends, so a reader that skipped a field shows.
                        auto e = std::make_shared<EventCommandCreateBlock>(Vector3(7, 8, 9));
                        e->GetPayload()->objectType = 5;
                        e->GetPayload()->actorId = 33;
                        return e;
                    },
                    Make<EventCommandCreateBlock>(Vector3(0, 0, 0)), Bytes().i32(5).i16(33).v3(7, 8, 9).b,
                    Fields<EventCommandCreateBlock>(&EventCommandCreateBlockData::objectType,
                                                    &EventCommandCreateBlockData::actorId,
                                                    &EventCommandCreateBlockData::position)});
    rows.push_back({"EventDrawPath", "VtLDrawPath", false, false, 24,
                    Make<EventDrawPath>(Vector3(0.25f, 0.5f, 0.75f), Vector3(1.5f, 2.5f, 3.5f)),
                    Make<EventDrawPath>(Vector3(), Vector3()), Bytes().v3(1.5f, 2.5f, 3.5f).v3(0.25f, 0.5f, 0.75f).b,
                    Fields<EventDrawPath>(&EventDrawPathData::position, &EventDrawPathData::extent)});
    rows.push_back({"EventUpdateInitializeGameLogic", "VtLInitializeGameLogic", false, false, 1,
                    Make<EventUpdateInitializeGameLogic>(uint8_t(1)), Make<EventUpdateInitializeGameLogic>(),
                    Bytes().u8(1).b,
                    Fields<EventUpdateInitializeGameLogic>(&EventUpdateInitializeGameLogicData::menuBackdrop)});
    rows.push_back(Signal<EventSetupMultiplayer>("EventSetupMultiplayer"));
    rows.push_back(Signal<EventShutDownNetLogic>("EventShutDownNetLogic"));
    rows.push_back(Signal<EventShutDownNetView>("EventShutDownNetView"));
    return rows;
}

std::vector<Row> ActorRows() {
    using namespace EventTypes;
    std::vector<Row> rows;
    const uint32_t boxHash = EventSystem::HashEventName("box");
    rows.push_back(
        {"EventUpdateCreateActor", "LtVEventUpdateCreateActor", true, false, 91,
         Make<EventUpdateCreateActor>(int16_t(21), Vector3(1, 2, 3), kQ, Vector3(2, 3, 4), SampleState(), uint8_t(1),
                                      Vector3(0.5f, 1.5f, 2.5f), "box", boxHash),
         Make<EventUpdateCreateActor>(),
         Bytes()
             .i16(21)
             .u32(boxHash)
             .q(0.5f, -0.5f, 0.25f, 0.75f)
             .v3(1, 2, 3)
             .v3(2, 3, 4)
             .i32(4).i32(11).i32(7).i32(8).i32(9).i32(10).f32(0.5f).i32(3)  // object state
             .u8(1)
             .v3(0.5f, 1.5f, 2.5f)
             .b,
         NullAfterRead<EventUpdateCreateActor>(
             Fields<EventUpdateCreateActor>(&EventUpdateCreateActorData::actorId, &EventUpdateCreateActorData::team,
                                            &EventUpdateCreateActorData::typeHash,
                                            &EventUpdateCreateActorData::orientation,
                                            &EventUpdateCreateActorData::position, &EventUpdateCreateActorData::scale,
                                            &EventUpdateCreateActorData::objectState,
                                            &EventUpdateCreateActorData::extents),
             &EventUpdateCreateActorData::typeName)});
    rows.push_back({"EventUpdateDeleteActor", "LtVEventUpdateDeleteActor", true, false, 2,
                    Make<EventUpdateDeleteActor>(int16_t(-1)), Make<EventUpdateDeleteActor>(), Bytes().i16(-1).b,
                    Fields<EventUpdateDeleteActor>(&EventUpdateDeleteActorData::actorId)});
    rows.push_back({"EventUpdateGameIDs", "LtVJoinConfirmed", true, false, 7,
                    Make<EventUpdateGameIDs>(int32_t(5), int16_t(22), uint8_t(1)), Make<EventUpdateGameIDs>(),
                    Bytes().i32(5).i16(22).u8(1).b,
                    Fields<EventUpdateGameIDs>(&EventUpdateGameIDsData::reserved, &EventUpdateGameIDsData::actorId,
                                               &EventUpdateGameIDsData::team)});
    rows.push_back(Signal<EventUpdateStartGame>("EventUpdateStartGame", true));
    rows.push_back({"EventUpdateActorMove", "LtVUpdateActorMove", false, false, 30,
                    Make<EventUpdateActorMove>(int16_t(23), Vector3(1, -2, 3), kQ), Make<EventUpdateActorMove>(),
                    Bytes().i16(23).v3(1, -2, 3).q(0.5f, -0.5f, 0.25f, 0.75f).b,
                    Fields<EventUpdateActorMove>(&EventUpdateActorMoveData::actorId,
                                                 &EventUpdateActorMoveData::position,
                                                 &EventUpdateActorMoveData::orientation)});
    rows.push_back({"EventForcedActorUpdate", "LtVForcedActorUpdate", true, false, 31,
                    Make<EventForcedActorUpdate>(EventUpdateActorMove(24, Vector3(4, 5, 6), kQ), uint8_t(2)),
                    Make<EventForcedActorUpdate>(),
                    Bytes().i16(24).v3(4, 5, 6).q(0.5f, -0.5f, 0.25f, 0.75f).u8(2).b,
                    Fields<EventForcedActorUpdate>(&EventForcedActorUpdateData::move,
                                                   &EventForcedActorUpdateData::clientId)});
    {
        const EventUpdateCollisionData r = CollisionReport();
        rows.push_back(
            {"EventUpdateCollision", "LtVCollision", false, false, 52,
             [r] {
                 auto e = std::make_shared<EventUpdateCollision>(1, r.normalSpeed, r.point, r.normal, r.actorIdA,
                                                                 r.massA, r.actorIdB, r.massB);
                 e->GetPayload()->typeNameA = r.typeNameA;
                 e->GetPayload()->typeHashA = r.typeHashA;
                 e->GetPayload()->typeNameB = r.typeNameB;
                 e->GetPayload()->typeHashB = r.typeHashB;
                 return e;
             },
             Make<EventUpdateCollision>(0, 0.0f, Vector3(), Vector3(), int16_t(0), 0.0f, int16_t(0), 0.0f),
             Bytes()
                 .i16(25)
                 .i16(26)
                 .f32(1.5f)
                 .f32(2.5f)
                 .u32(r.typeHashA)
                 .u32(r.typeHashB)
                 .v3(1, 2, 3)
                 .v3(0, 1, 0)
                 .f32(-8.5f)
                 .i32(1)
                 .b,
             NullAfterRead<EventUpdateCollision>(
                 Fields<EventUpdateCollision>(
                     &EventUpdateCollisionData::kind, &EventUpdateCollisionData::normalSpeed,
                     &EventUpdateCollisionData::point, &EventUpdateCollisionData::normal,
                     &EventUpdateCollisionData::actorIdA, &EventUpdateCollisionData::typeHashA,
                     &EventUpdateCollisionData::massA, &EventUpdateCollisionData::actorIdB,
                     &EventUpdateCollisionData::typeHashB, &EventUpdateCollisionData::massB),
                 &EventUpdateCollisionData::typeNameA, &EventUpdateCollisionData::typeNameB)});
        rows.push_back(
            {"EventUpdateCollisionToClient", "LtVCollision", false, false, 40, Make<EventUpdateCollisionToClient>(r),
             Make<EventUpdateCollisionToClient>(),
             Bytes().i16(25).i16(26).u32(r.typeHashA).u32(r.typeHashB).v3(1, 2, 3).v3(0, 1, 0).f32(-8.5f).b,
             NullAfterRead<EventUpdateCollisionToClient>(
                 Fields<EventUpdateCollisionToClient>(
                     &EventUpdateCollisionToClientData::normalSpeed, &EventUpdateCollisionToClientData::point,
                     &EventUpdateCollisionToClientData::normal, &EventUpdateCollisionToClientData::actorIdA,
                     &EventUpdateCollisionToClientData::typeHashA, &EventUpdateCollisionToClientData::actorIdB,
                     &EventUpdateCollisionToClientData::typeHashB),
                 &EventUpdateCollisionToClientData::typeNameA, &EventUpdateCollisionToClientData::typeNameB)});
    }
    rows.push_back({"EventUpdatePlaceBlock", "LtVUpdatePlaceBlock", false, false, 29,
                    WithPayload<EventUpdatePlaceBlock>([] {
                        return new EventUpdatePlaceBlockData(31, 32, Vector3(1, 2, 3), Vector3(0.5f, 1, 1.5f), 7);
                    }),
                    Make<EventUpdatePlaceBlock>(), Bytes().i16(31).i16(32).v3(1, 2, 3).v3(0.5f, 1, 1.5f).u8(7).b,
                    Fields<EventUpdatePlaceBlock>(&EventUpdatePlaceBlockData::firstId,
                                                  &EventUpdatePlaceBlockData::secondId,
                                                  &EventUpdatePlaceBlockData::position,
                                                  &EventUpdatePlaceBlockData::halfExtents,
                                                  &EventUpdatePlaceBlockData::flag)});
    rows.push_back({"EventUpdateDetachBlock", "LtVUpdateDetachBlock", false, false, 26,
                    Make<EventUpdateDetachBlock>(int16_t(33), Vector3(1, 2, 3), Vector3(0.5f, 1, 1.5f)),
                    Make<EventUpdateDetachBlock>(int16_t(0), Vector3(), Vector3()),
                    Bytes().i16(33).v3(1, 2, 3).v3(0.5f, 1, 1.5f).b,
                    Fields<EventUpdateDetachBlock>(&EventUpdateDetachBlockData::blockId,
                                                   &EventUpdateDetachBlockData::position,
                                                   &EventUpdateDetachBlockData::halfExtents)});
    rows.push_back({"EventUpdatePickUpBlock", "LtVUpdatePickUpBlock", true, false, 41,
                    Make<EventUpdatePickUpBlock>(int16_t(34), int16_t(35), uint8_t(1), Vector3(1, 2, 3),
                                                 Vector3(0.5f, 0.5f, 1), Vector3(4, 5, 6)),
                    Make<EventUpdatePickUpBlock>(),
                    Bytes().i16(34).i16(35).u8(1).v3(1, 2, 3).v3(0.5f, 0.5f, 1).v3(4, 5, 6).b,
                    Fields<EventUpdatePickUpBlock>(
                        &EventUpdatePickUpBlockData::actorId, &EventUpdatePickUpBlockData::blockId,
                        &EventUpdatePickUpBlockData::team, &EventUpdatePickUpBlockData::actorPosition,
                        &EventUpdatePickUpBlockData::blockHalfExtents, &EventUpdatePickUpBlockData::blockPosition)});
    rows.push_back({"EventUpdateThrowBlock", "LtoVUpdateThrowBlock", true, false, 30,
                    Make<EventUpdateThrowBlock>(Vector3(1, 2, 3), Vector3(0, 0, 1), int16_t(36), int16_t(37),
                                                int16_t(38)),
                    Make<EventUpdateThrowBlock>(), Bytes().v3(1, 2, 3).v3(0, 0, 1).i16(36).i16(37).i16(38).b,
                    Fields<EventUpdateThrowBlock>(&EventUpdateThrowBlockData::position,
                                                  &EventUpdateThrowBlockData::direction,
                                                  &EventUpdateThrowBlockData::actorId,
                                                  &EventUpdateThrowBlockData::blockId,
                                                  &EventUpdateThrowBlockData::heldBlockId)});
    rows.push_back({"EventUpdateBlockActive", "LtVBlockInactive", true, false, 2,
                    Make<EventUpdateBlockActive>(int16_t(39)), Make<EventUpdateBlockActive>(), Bytes().i16(39).b,
                    Fields<EventUpdateBlockActive>(&EventUpdateBlockActiveData::blockId)});
    rows.push_back({"EventUpdateBlockFade", "LtVBlockFade", true, false, 2, Make<EventUpdateBlockFade>(int16_t(40)),
                    Make<EventUpdateBlockFade>(int16_t(0)), Bytes().i16(40).b,
                    Fields<EventUpdateBlockFade>(&EventUpdateBlockFadeData::blockId)});
    rows.push_back({"EventUpdateExplosion", "VtLUpdateExplosion", false, false, 17,
                    Make<EventUpdateExplosion>(Vector3(1, 2, 3), int16_t(41), uint8_t(0), int16_t(42)),
                    Make<EventUpdateExplosion>(), Bytes().v3(1, 2, 3).i16(41).u8(0).i16(42).b,
                    Fields<EventUpdateExplosion>(&EventUpdateExplosionData::position,
                                                 &EventUpdateExplosionData::ownerId, &EventUpdateExplosionData::team,
                                                 &EventUpdateExplosionData::bombId)});
    rows.push_back({"EventUpdateJump", "LtVUpdateJump", false, false, 2, Make<EventUpdateJump>(int16_t(43)),
                    Make<EventUpdateJump>(), Bytes().i16(43).b,
                    Fields<EventUpdateJump>(&EventUpdateJumpData::actorId)});
    rows.push_back({"EventUpdateActorSpawn", "LtVUpdateActorSpawn", true, false, 35,
                    Make<EventUpdateActorSpawn>(int16_t(44), uint8_t(1), Vector3(1, 2, 3), kQ, int16_t(45),
                                                int16_t(60)),
                    Make<EventUpdateActorSpawn>(),
                    Bytes().i16(44).u8(1).v3(1, 2, 3).q(0.5f, -0.5f, 0.25f, 0.75f).i16(45).i16(60).b,
                    Fields<EventUpdateActorSpawn>(
                        &EventUpdateActorSpawnData::actorId, &EventUpdateActorSpawnData::team,
                        &EventUpdateActorSpawnData::position, &EventUpdateActorSpawnData::orientation,
                        &EventUpdateActorSpawnData::firstPouchBlockId, &EventUpdateActorSpawnData::lastPouchBlockId)});
    rows.push_back({"EventUpdateActorDeath", "LtVUpdateActorDeath", true, false, 28,
                    Make<EventUpdateActorDeath>(int16_t(46), int16_t(47), Vector3(10, 0, -10), Vector3(1, 2, 3)),
                    Make<EventUpdateActorDeath>(), Bytes().i16(46).i16(47).v3(10, 0, -10).v3(1, 2, 3).b,
                    Fields<EventUpdateActorDeath>(&EventUpdateActorDeathData::actorId,
                                                  &EventUpdateActorDeathData::killerId,
                                                  &EventUpdateActorDeathData::impulse,
                                                  &EventUpdateActorDeathData::hitPoint)});
    {
        static const int16_t ids[17] = {50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, -1};
        Bytes b;
        b.i16(48);
        for (int16_t id : ids) b.i16(id);
        rows.push_back({"EventUpdateHeldBlocks", "LtVHeldBlocks", true, false, 36,
                        [] { return std::make_shared<EventUpdateHeldBlocks>(48, ids); },
                        Make<EventUpdateHeldBlocks>(), b.b,
                        Fields<EventUpdateHeldBlocks>(&EventUpdateHeldBlocksData::actorId,
                                                      &EventUpdateHeldBlocksData::blockIds)});
    }
    rows.push_back({"EventUpdateInitializeGameView", "LtVInitializeGameView", false, false, 1,
                    Make<EventUpdateInitializeGameView>(uint8_t(1)), Make<EventUpdateInitializeGameView>(),
                    Bytes().u8(1).b,
                    Fields<EventUpdateInitializeGameView>(&EventUpdateInitializeGameViewData::menuBackdrop)});
    rows.push_back({"EventUpdateBotFollowPlayer", "LtVBotFollowPlyaer", true, false, 5,
                    Make<EventUpdateBotFollowPlayer>(int16_t(66), int16_t(67), uint8_t(1)),
                    Make<EventUpdateBotFollowPlayer>(), Bytes().i16(66).i16(67).u8(1).b,
                    Fields<EventUpdateBotFollowPlayer>(&EventUpdateBotFollowPlayerData::leaderId,
                                                       &EventUpdateBotFollowPlayerData::followerId,
                                                       &EventUpdateBotFollowPlayerData::following)});
    rows.push_back({"EventCommandCreateSpeechBubble", "LtVCreateSpeechBubble", false, false, 10 + 5,
                    Make<EventCommandCreateSpeechBubble>(int16_t(68), std::string("hello"), uint8_t(1),
                                                         int32_t(12300), uint8_t(1)),
                    Make<EventCommandCreateSpeechBubble>(int16_t(0), std::string("a much longer earlier text"),
                                                         uint8_t(0), int32_t(0), uint8_t(0)),
                    Bytes().i16(68).str("hello").u8(1).i32(12300).u8(1).b,
                    Fields<EventCommandCreateSpeechBubble>(
                        &EventCommandCreateSpeechBubbleData::actorId, &EventCommandCreateSpeechBubbleData::text,
                        &EventCommandCreateSpeechBubbleData::durationMs, &EventCommandCreateSpeechBubbleData::tutorial,
                        &EventCommandCreateSpeechBubbleData::showSymbol)});
    return rows;
}

std::vector<Row> FlagRows() {
    using namespace EventTypes;
    std::vector<Row> rows;
    rows.push_back({"EventUpdateFlagGrabbed", "LtVFlagGrabbed", true, false, 6,
                    Make<EventUpdateFlagGrabbed>(int16_t(70), int16_t(71), uint8_t(0), uint8_t(1)),
                    Make<EventUpdateFlagGrabbed>(), Bytes().i16(70).i16(71).u8(0).u8(1).b,
                    Fields<EventUpdateFlagGrabbed>(&EventUpdateFlagGrabbedData::actorId,
                                                   &EventUpdateFlagGrabbedData::flagId,
                                                   &EventUpdateFlagGrabbedData::team,
                                                   &EventUpdateFlagGrabbedData::flagTeam)});
    rows.push_back({"EventUpdateFlagDropped", "LtVFlagDropped", true, false, 6,
                    Make<EventUpdateFlagDropped>(int16_t(72), int16_t(73), uint8_t(1), uint8_t(0)),
                    Make<EventUpdateFlagDropped>(), Bytes().i16(72).i16(73).u8(1).u8(0).b,
                    Fields<EventUpdateFlagDropped>(&EventUpdateFlagDroppedData::actorId,
                                                   &EventUpdateFlagDroppedData::flagId,
                                                   &EventUpdateFlagDroppedData::team,
                                                   &EventUpdateFlagDroppedData::flagTeam)});
    rows.push_back({"EventUpdateFlagCaptured", "LtVFlagCaptured", true, false, 18,
                    Make<EventUpdateFlagCaptured>(int16_t(74), uint8_t(1), uint8_t(0), int16_t(75), Vector3(1, 2, 3)),
                    Make<EventUpdateFlagCaptured>(), Bytes().i16(74).u8(1).u8(0).i16(75).v3(1, 2, 3).b,
                    Fields<EventUpdateFlagCaptured>(
                        &EventUpdateFlagCapturedData::actorId, &EventUpdateFlagCapturedData::flagId,
                        &EventUpdateFlagCapturedData::team, &EventUpdateFlagCapturedData::flagTeam,
                        &EventUpdateFlagCapturedData::position)});
    rows.push_back({"EventUpdateFlagRecovered", "LtVFlagRecovered", true, false, 29,
                    Make<EventUpdateFlagRecovered>(int16_t(76), uint8_t(1), int16_t(77), Vector3(1, 2, 3),
                                                   Vector3(4, 5, 6)),
                    Make<EventUpdateFlagRecovered>(), Bytes().i16(76).u8(1).i16(77).v3(1, 2, 3).v3(4, 5, 6).b,
                    Fields<EventUpdateFlagRecovered>(
                        &EventUpdateFlagRecoveredData::flagTeam, &EventUpdateFlagRecoveredData::flagId,
                        &EventUpdateFlagRecoveredData::actorId, &EventUpdateFlagRecoveredData::fromPosition,
                        &EventUpdateFlagRecoveredData::homePosition)});
    rows.push_back({"EventUpdateFlagStatus", "LtVFlagStatus", true, false, 6,
                    Make<EventUpdateFlagStatus>(int16_t(78), int32_t(2)), Make<EventUpdateFlagStatus>(),
                    Bytes().i16(78).i32(2).b,
                    Fields<EventUpdateFlagStatus>(&EventUpdateFlagStatusData::flagId,
                                                  &EventUpdateFlagStatusData::status)});
    rows.push_back({"EventUpdateCapPtCreated", "LtVCapPtCreated", false, false, 13,
                    Make<EventUpdateCapPtCreated>(Vector3(1, 2, 3), uint8_t(1)),
                    Make<EventUpdateCapPtCreated>(Vector3(), uint8_t(0)), Bytes().v3(1, 2, 3).u8(1).b,
                    Fields<EventUpdateCapPtCreated>(&EventUpdateCapPtCreatedData::position,
                                                    &EventUpdateCapPtCreatedData::team)});
    rows.push_back({"EventUpdateTeamVictory", "LtVTeamVictory", true, false, 1,
                    Make<EventUpdateTeamVictory>(uint8_t(1)), Make<EventUpdateTeamVictory>(), Bytes().u8(1).b,
                    Fields<EventUpdateTeamVictory>(&EventUpdateTeamVictoryData::team)});
    rows.push_back({"EventUpdateGameOver", "LtVGameOver", true, false, 2,
                    Make<EventUpdateGameOver>(uint8_t(0), uint8_t(1)), Make<EventUpdateGameOver>(),
                    Bytes().u8(0).u8(1).b,
                    Fields<EventUpdateGameOver>(&EventUpdateGameOverData::winningTeam,
                                                &EventUpdateGameOverData::quit)});
    return rows;
}

std::vector<Row> NetworkRows() {
    using namespace Networking;
    std::vector<Row> rows;
    const sockaddr_in addr = SampleAddress();
    rows.push_back({"EventServerBroadcast", "ServerBroadcast", false, false, 5 + 5,
                    Make<EventServerBroadcast>(std::string("Mirav"), uint8_t(1), uint8_t(2), uint8_t(3)),
                    Make<EventServerBroadcast>(), Bytes().str("Mirav").u8(1).u8(2).u8(3).b,
                    Fields<EventServerBroadcast>(&EventServerBroadcastData::gameName, &EventServerBroadcastData::mode,
                                                 &EventServerBroadcastData::level,
                                                 &EventServerBroadcastData::players)});
    rows.push_back({"EventClientConnect", "ClientConnectionAttempt", false, false, 1,
                    Make<EventClientConnect>(uint8_t(1)), Make<EventClientConnect>(), Bytes().u8(1).b,
                    Fields<EventClientConnect>(&EventClientConnectData::team)});
    rows.push_back({"EventAssignClientID", "AssignClientID", false, false, 1, Make<EventAssignClientID>(uint8_t(2)),
                    Make<EventAssignClientID>(), Bytes().u8(2).b,
                    Fields<EventAssignClientID>(&EventAssignClientIDData::clientId)});
    rows.push_back({"EventClientIsAlive", "ClientIsAlive", true, false, 1, Make<EventClientIsAlive>(uint8_t(3)),
                    Make<EventClientIsAlive>(), Bytes().u8(3).b,
                    Fields<EventClientIsAlive>(&EventClientIsAliveData::clientId)});
    rows.push_back({"EventClientToBot", "ClientToBot", false, false, 3, Make<EventClientToBot>(int16_t(80), uint8_t(1)),
                    Make<EventClientToBot>(int16_t(0), uint8_t(0)), Bytes().i16(80).u8(1).b,
                    Fields<EventClientToBot>(&EventClientToBotData::actorId, &EventClientToBotData::team)});
    rows.push_back({"EventUpdateServerList", "LtVEventUpdateServerList", false, false, 25 + 5,
                    Make<EventUpdateServerList>(std::string("Mirav"), uint8_t(1), uint8_t(2), uint8_t(3),
                                                int32_t(17), addr),
                    Make<EventUpdateServerList>(std::string(""), uint8_t(0), uint8_t(0), uint8_t(0), int32_t(-1),
                                                sockaddr_in{}),
                    Bytes().str("Mirav").u8(1).u8(2).u8(3).i32(17).raw(&addr, sizeof addr).b,
                    Fields<EventUpdateServerList>(
                        &EventUpdateServerListData::gameName, &EventUpdateServerListData::mode,
                        &EventUpdateServerListData::level, &EventUpdateServerListData::players,
                        &EventUpdateServerListData::socket, &EventUpdateServerListData::address)});
    // Socket and address stay in memory: nothing is written, and reading hands
    // back the prototype's own payload.
    Row connect{"EventConnectToServer", "EventConnectToServer", false, false, 0,
                Make<EventConnectToServer>(int32_t(17), addr),
                Make<EventConnectToServer>(int32_t(5), sockaddr_in{}), {},
                Fields<EventConnectToServer>(&EventConnectToServerData::socket, &EventConnectToServerData::address)};
    connect.sharesPrototypePayload = true;
    rows.push_back(connect);
    rows.push_back({"TestEvent", "EventTest", false, false, 4,
                    WithPayload<TestEvent>([] { return new TestEventData(-123456); }), Make<TestEvent>(),
                    Bytes().i32(-123456).b, Fields<TestEvent>(&TestEventData::value)});
    return rows;
}

std::vector<Row> InputRows() {
    using namespace Input;
    std::vector<Row> rows;
    rows.push_back({"EventIsPressed", "ItvIsPressed", false, false, 4 + 4, Make<EventIsPressed>(std::string("JUMP")),
                    Make<EventIsPressed>(std::string("PICK_UP")), Bytes().str("JUMP").i16(0).b,
                    Fields<EventIsPressed>(&EventIsPressedData::command, &EventIsPressedData::reserved)});
    rows.push_back({"EventIsHeld", "ItvIsHeld", false, false, 4 + 5, Make<EventIsHeld>(std::string("THROW")),
                    Make<EventIsHeld>(std::string("")), Bytes().str("THROW").i16(0).b,
                    Fields<EventIsHeld>(&EventIsHeldData::command, &EventIsHeldData::reserved)});
    rows.push_back({"EventIsReleased", "ItvIsReleased", false, false, 4 + 7,
                    Make<EventIsReleased>(std::string("WHISTLE")), Make<EventIsReleased>(std::string("X")),
                    Bytes().str("WHISTLE").i16(0).b,
                    Fields<EventIsReleased>(&EventIsReleasedData::command, &EventIsReleasedData::reserved)});
    rows.push_back({"EventMouseMove", "ItvMouseMove", false, false, 14,
                    Make<EventMouseMove>(int32_t(-3), int32_t(5), int32_t(-120)),
                    Make<EventMouseMove>(int32_t(0), int32_t(0), int32_t(0)), Bytes().i32(-3).i32(5).i32(-120).i16(0).b,
                    Fields<EventMouseMove>(&EventMouseMoveData::dx, &EventMouseMoveData::dy, &EventMouseMoveData::dz,
                                           &EventMouseMoveData::reserved)});
    rows.push_back({"EventAsciiKey", "ItvAsciiKey", false, false, 1, Make<EventAsciiKey>(uint8_t('q')),
                    Make<EventAsciiKey>(uint8_t(0)), Bytes().u8('q').b,
                    Fields<EventAsciiKey>(&EventAsciiKeyData::character)});
    rows.push_back({"EventMoveDir", "ItvMoveDir", false, false, 12, Make<EventMoveDir>(0.6f, 0.0f, -0.8f),
                    Make<EventMoveDir>(0.0f, 0.0f, 0.0f), Bytes().v3(0.6f, 0.0f, -0.8f).b,
                    Fields<EventMoveDir>(&EventMoveDirData::direction)});
    return rows;
}

std::vector<Row> ViewRows() {
    using namespace EventTypes;
    std::vector<Row> rows;
    rows.push_back({"EventCreateEffect", "VtVCreateEffect", false, false, 43 + 6,
                    Make<EventCreateEffect>(std::string("Splash"), Vector3(1, 2, 3), Vector3(0, 1, 0), uint8_t(1)),
                    Make<EventCreateEffect>(std::string(""), Vector3(), Vector3(), uint8_t(0)),
                    Bytes().str("Splash").v3(1, 2, 3).v3(0, 1, 0).q(1, 0, 0, 0).u8(1).b,
                    Fields<EventCreateEffect>(&EventCreateEffectData::effectName, &EventCreateEffectData::position,
                                              &EventCreateEffectData::direction, &EventCreateEffectData::orientation,
                                              &EventCreateEffectData::onHud)});
    rows.push_back({"EventCreateCue", "VtVCreateCue", false, false, 7 + 7,
                    Make<EventCreateCue>(std::string("Capture"), int32_t(81), uint8_t(1)),
                    Make<EventCreateCue>(std::string(""), int32_t(0), uint8_t(0)),
                    Bytes().str("Capture").i32(81).u8(1).b,
                    Fields<EventCreateCue>(&EventCreateCueData::cueName, &EventCreateCueData::flagId,
                                           &EventCreateCueData::team)});
    rows.push_back({"EventScreenOpen", "VtVOpenScreen", false, false, 4, Make<EventScreenOpen>(int32_t(-2)),
                    Make<EventScreenOpen>(int32_t(0)), Bytes().i32(-2).b,
                    Fields<EventScreenOpen>(&EventScreenOpenData::screen)});
    rows.push_back(Signal<EventScreenClose>("EventScreenClose"));
    rows.push_back(Signal<EventCreateMainMenu>("EventCreateMainMenu"));
    rows.push_back(Signal<EventCreateInGameMenu>("EventCreateInGameMenu"));
    rows.push_back(Signal<EventCreateStartGameMenu>("EventCreateStartGameMenu"));
    rows.push_back(Signal<EventCreateJoinGameMenu>("EventCreateJoinGameMenu"));
    rows.push_back(Signal<EventCreateOptionsMenu>("EventCreateOptionsMenu"));
    rows.push_back(Signal<EventCreateCreditsMenu>("EventCreateCreditsMenu"));
    rows.push_back({"EventCreateWinScreen", "VtVSpawnWinScreen", false, false, 1,
                    Make<EventCreateWinScreen>(uint8_t(1)), Make<EventCreateWinScreen>(uint8_t(0)), Bytes().u8(1).b,
                    Fields<EventCreateWinScreen>(&EventCreateWinScreenData::team)});
    rows.push_back(Signal<EventUpdateKeepPlaying>("EventUpdateKeepPlaying"));
    rows.push_back(Signal<EventJoinSelectedGame>("EventJoinSelectedGame"));
    rows.push_back(Signal<EventPowerSuspend>("EventPowerSuspend"));
    rows.push_back(Signal<EventPowerUpdate>("EventPowerUpdate"));
    rows.push_back({"EventPowerSuspendResume", "VtVEventPowerSuspendResume", true, false, 1,
                    Make<EventPowerSuspendResume>(uint8_t(1)), Make<EventPowerSuspendResume>(uint8_t(0)),
                    Bytes().u8(1).b, Fields<EventPowerSuspendResume>(&EventPowerSuspendResumeData::critical)});
    return rows;
}

const std::vector<Row>& AllRows() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> all;
        for (auto part : {CommandRows, ActorRows, FlagRows, NetworkRows, InputRows, ViewRows}) {
            auto r = part();
            all.insert(all.end(), r.begin(), r.end());
        }
        return all;
    }();
    return rows;
}

// ---- the table as a whole ---------------------------------------------------------
TEST(EventCatalogue, HoldsEverySeventyFourClassesFifteenOfThemSignals) {
    const auto& rows = AllRows();
    EXPECT_EQ(rows.size(), 74u);

    std::set<std::string> classes, names;
    size_t signals = 0;
    for (const Row& r : rows) {
        EXPECT_TRUE(classes.insert(r.className).second) << r.className << " listed twice";
        names.insert(r.typeName);
        if (r.signal) ++signals;
    }
    EXPECT_EQ(signals, 15u);
    // One wire name, "LtVCollision", belongs to two classes.
    EXPECT_EQ(names.size(), 73u);
}

TEST(EventCatalogue, TheTwoCollisionClassesShareOneTypeButNotAClass) {
    const EvPtr physics = AllRows()[20].sample();
    const EvPtr client = AllRows()[21].sample();
    ASSERT_STREQ(AllRows()[20].className, "EventUpdateCollision");
    ASSERT_STREQ(AllRows()[21].className, "EventUpdateCollisionToClient");
    EXPECT_EQ(physics->GetTypeHash(), client->GetTypeHash());
    EXPECT_STREQ(physics->GetTypeName(), client->GetTypeName());
    EXPECT_EQ(dynamic_cast<const EventTypes::EventUpdateCollisionToClient*>(physics.get()), nullptr);
    EXPECT_EQ(dynamic_cast<const EventTypes::EventUpdateCollision*>(client.get()), nullptr);
}

// ---- one row at a time -----------------------------------------------------------
class EachEventClass : public ::testing::TestWithParam<size_t> {
protected:
    const Row& row() const { return AllRows()[GetParam()]; }
};

TEST_P(EachEventClass, NamesItsTypeAndReliability) {
    const EvPtr e = row().sample();
    EXPECT_STREQ(e->GetTypeName(), row().typeName);
    EXPECT_EQ(e->GetTypeHash(), EventSystem::HashEventName(row().typeName));
    EXPECT_EQ(e->IsReliable(), row().reliable);
    EXPECT_EQ(row().prototype()->IsReliable(), row().reliable);
}

TEST_P(EachEventClass, WritesTheCatalogueLayout) {
    const EvPtr e = row().sample();
    bool overflowed = true;
    const ByteVec bytes = Serialize(*e, 4096, &overflowed);
    EXPECT_FALSE(overflowed);
    EXPECT_EQ(row().bytes.size(), row().catalogueBytes) << "the expected image itself disagrees with the catalogue";
    EXPECT_EQ(ToHex(bytes), ToHex(row().bytes));
    if (row().signal) {
        EXPECT_EQ(e->GetData(), nullptr) << "a signal carries no payload";
    }
}

TEST_P(EachEventClass, ReadsBackThroughAPrototypeFieldByField) {
    const EvPtr sent = row().sample();
    const EvPtr proto = row().prototype();
    const ByteVec bytes = Serialize(*sent);
    EventSystem::ByteReader reader(bytes.data(), static_cast<uint32_t>(bytes.size()));

    const EvPtr got = proto->Deserialize(reader);
    ASSERT_NE(got, nullptr);
    EXPECT_FALSE(reader.HasFailed());
    EXPECT_EQ(reader.GetBytesRead(), bytes.size());
    EXPECT_EQ(typeid(*got), typeid(*sent));
    EXPECT_EQ(got->GetTypeHash(), sent->GetTypeHash());
    EXPECT_NE(got.get(), proto.get()) << "Deserialize returns a new event";

    if (row().signal) {
        EXPECT_EQ(got->GetData(), nullptr);
        return;
    }
    if (row().sharesPrototypePayload) {
        EXPECT_EQ(got->GetData(), proto->GetData());
        row().compare(*proto, *got);
        return;
    }
    // The prototype now holds the fresh payload, and the result shares it.
    EXPECT_EQ(got->GetData(), proto->GetData());
    EXPECT_NE(got->GetData(), sent->GetData());
    row().compare(*sent, *got);
    // Written again, it gives the same bytes.
    EXPECT_EQ(ToHex(Serialize(*got)), ToHex(bytes));
}

TEST_P(EachEventClass, RefusesEveryShortenedPayload) {
    const ByteVec bytes = Serialize(*row().sample());
    const EvPtr proto = row().prototype();
    for (size_t n = 0; n < bytes.size(); ++n) {
        // A copy on the heap of exactly n bytes, so a read past it is caught
        // by the address sanitizer as well as by the result.
        std::unique_ptr<uint8_t[]> cut(new uint8_t[n ? n : 1]);
        std::memcpy(cut.get(), bytes.data(), n);
        EventSystem::ByteReader reader(cut.get(), static_cast<uint32_t>(n));
        EXPECT_EQ(proto->Deserialize(reader), nullptr) << "accepted " << n << " of " << bytes.size() << " bytes";
        EXPECT_LE(reader.GetBytesRead(), n);
    }
}

TEST_P(EachEventClass, OverflowingWriterMarksThePayloadIncomplete) {
    const ByteVec bytes = Serialize(*row().sample());
    if (bytes.empty()) return;
    bool overflowed = false;
    const ByteVec cut = Serialize(*row().sample(), static_cast<uint32_t>(bytes.size() - 1), &overflowed);
    EXPECT_TRUE(overflowed);
    EXPECT_LT(cut.size(), bytes.size());
}

std::string RowName(const ::testing::TestParamInfo<size_t>& info) { return AllRows()[info.param].className; }

INSTANTIATE_TEST_SUITE_P(All, EachEventClass, ::testing::Range<size_t>(0, AllRows().size()), RowName);

}  // namespace
