// The exact byte sequences the catalogue gives as examples, and the few
// behaviours of single classes that the table test does not reach.
#include <gtest/gtest.h>
#include <arpa/inet.h>

#include <sstream>

#include "CatalogueSupport.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/NetworkEvents.h"
#include "events/types/ViewEvents.h"
#include "support/Harness.h"

using namespace CatalogueTest;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

struct Example {
    const char* what;
    std::function<std::shared_ptr<EventSystem::IEvent>()> make;
    ByteVec bytes;
};

ByteVec Cat(ByteVec a, const ByteVec& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Example> Examples() {
    using namespace EventTypes;
    const ByteVec zeros12(12, 0);
    const int16_t held[17] = {40, 43, 42, 41, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    return {
        {"VtLActorMove actor 7 towards (1, 0, -1)",
         [] { return std::make_shared<EventCommandActorMove>(7, Vector3(1, 0, -1)); },
         Hex("07 00 00 00 80 3F 00 00 00 00 00 00 80 BF")},
        {"VtLCreateBlock at the origin asks for a bomb",
         [] { return std::make_shared<EventCommandCreateBlock>(Vector3(0, 0, 0)); },
         Cat(Hex("09 00 00 00 FF FF"), zeros12)},
        {"VtLDrawPath writes the position before the extent",
         [] { return std::make_shared<EventDrawPath>(Vector3(0.25f, 0.25f, 0.25f), Vector3(1.5f, 2.5f, 3.5f)); },
         Hex("00 00 C0 3F 00 00 20 40 00 00 60 40  00 00 80 3E 00 00 80 3E 00 00 80 3E")},
        {"VtLSetupMultiPlayer", [] { return std::make_shared<EventSetupMultiplayer>(); }, {}},
        {"VtLShutDownNetLogic", [] { return std::make_shared<EventShutDownNetLogic>(); }, {}},
        {"VtLShutDownNetView", [] { return std::make_shared<EventShutDownNetView>(); }, {}},
        {"LtVUpdateActorMove actor 3 at (1, 2, 3), identity",
         [] { return std::make_shared<EventUpdateActorMove>(3, Vector3(1, 2, 3), Geometry::kIdentityQuaternion); },
         Cat(Hex("03 00  00 00 80 3F 00 00 00 40 00 00 40 40  00 00 80 3F"), zeros12)},
        {"LtVHeldBlocks: hand 40, pouch newest first",
         [held] { return std::make_shared<EventUpdateHeldBlocks>(5, held); },
         Cat(Hex("05 00 28 00 2B 00 2A 00 29 00"), ByteVec(26, 0xFF))},
        {"LtVCreateSpeechBubble with \"abc\"",
         [] { return std::make_shared<EventCommandCreateSpeechBubble>(2, "abc", 0, 5000, 1); },
         Hex("02 00 03 00 61 62 63 00 88 13 00 00 01")},
        {"LtVFlagCaptured actor 12 flag 30 by team 1 of team 0's flag",
         [] { return std::make_shared<EventUpdateFlagCaptured>(12, 1, 0, 30, Vector3(0, 0, 0)); },
         Cat(Hex("0C 00 01 00 1E 00"), zeros12)},
        {"LtVFlagDropped by the flag check: no actor, no team",
         [] { return std::make_shared<EventUpdateFlagDropped>(-1, 6, 255, 1); }, Hex("FF FF 06 00 FF 01")},
        {"LtVFlagStatus: one flag team 1 lost",
         [] { return std::make_shared<EventUpdateFlagStatus>(-1, 3); }, Hex("FF FF 03 00 00 00")},
        {"LtVFlagStatus: one flag team 0 lost",
         [] { return std::make_shared<EventUpdateFlagStatus>(-1, 4); }, Hex("FF FF 04 00 00 00")},
        {"LtVGameOver of the main menu's exit", [] { return std::make_shared<EventUpdateGameOver>(255, 1); },
         Hex("FF 01")},
        {"ServerBroadcast \"Mirav\", mode 0, level 2, 1 player",
         [] { return std::make_shared<Networking::EventServerBroadcast>("Mirav", 0, 2, 1); },
         Hex("05 00 4D 69 72 61 76 00 02 01")},
        {"EventConnectToServer writes nothing",
         [] { return std::make_shared<Networking::EventConnectToServer>(9, sockaddr_in{}); }, {}},
        {"AssignClientID for slot 2", [] { return std::make_shared<Networking::EventAssignClientID>(2); },
         Hex("02")},
        {"ItvIsPressed JUMP", [] { return std::make_shared<Input::EventIsPressed>("JUMP"); },
         Hex("04 00 4A 55 4D 50 00 00")},
        {"ItvMouseMove (-3, 5, 0)", [] { return std::make_shared<Input::EventMouseMove>(-3, 5, 0); },
         Hex("FD FF FF FF 05 00 00 00 00 00 00 00 00 00")},
        {"VtVCreateEffect \"abc\" upwards",
         [] { return std::make_shared<EventCreateEffect>("abc", Vector3(0, 0, 0), Vector3(0, 1, 0), 0); },
         Cat(Cat(Hex("03 00 61 62 63"), zeros12),
             Cat(Hex("00 00 00 00 00 00 80 3F 00 00 00 00  00 00 80 3F"), Cat(zeros12, Hex("00"))))},
        {"VtVCreateCue without a flag",
         [] { return std::make_shared<EventCreateCue>("", EventCreateCueData::kNoFlag, 1); },
         Hex("00 00 FF FF 00 00 01")},
        {"VtVEventPowerSuspendResume after a critical suspension",
         [] { return std::make_shared<EventPowerSuspendResume>(1); }, Hex("01")},
    };
}

TEST(CatalogueExamples, WriteExactlyTheGivenBytes) {
    for (const Example& ex : Examples()) {
        SCOPED_TRACE(ex.what);
        bool overflowed = true;
        EXPECT_EQ(ToHex(Serialize(*ex.make(), 4096, &overflowed)), ToHex(ex.bytes));
        EXPECT_FALSE(overflowed);
    }
    for (const Example& ex : Examples()) {
        if (std::string(ex.what).rfind("VtVCreateEffect", 0) == 0) {
            EXPECT_EQ(ex.bytes.size(), 46u);
        }
    }
}

// ---- payload sharing -----------------------------------------------------------
TEST(PayloadSharing, TwoReadsFromOnePrototypeDoNotShareButCopiesDo) {
    using EventTypes::EventUpdateGameOver;
    EventUpdateGameOver prototype;
    const ByteVec first = Hex("00 00"), second = Hex("01 01");
    EventSystem::ByteReader r1(first.data(), 2), r2(second.data(), 2);
    auto a = std::static_pointer_cast<EventUpdateGameOver>(prototype.Deserialize(r1));
    auto b = std::static_pointer_cast<EventUpdateGameOver>(prototype.Deserialize(r2));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->GetData(), b->GetData());
    EXPECT_EQ(a->GetPayload()->winningTeam, 0);  // the second read left the first alone
    EXPECT_EQ(b->GetPayload()->winningTeam, 1);

    auto copy = std::static_pointer_cast<EventUpdateGameOver>(a->Copy());
    EXPECT_EQ(copy->GetData(), a->GetData());
    copy->GetPayload()->quit = 1;
    EXPECT_EQ(a->GetPayload()->quit, 1);
}

TEST(PayloadSharing, ConnectToServerCopiesKeepSocketAndAddress) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(8003);
    addr.sin_addr.s_addr = htonl(0x7F000001);
    Networking::EventConnectToServer e(42, addr);
    auto copy = std::static_pointer_cast<Networking::EventConnectToServer>(e.Copy());
    EventSystem::ByteReader nothing(nullptr, 0);
    auto read = std::static_pointer_cast<Networking::EventConnectToServer>(e.Deserialize(nothing));
    for (const auto* ev : {copy.get(), read.get()}) {
        ASSERT_NE(ev, nullptr);
        EXPECT_EQ(ev->GetData(), e.GetData());
        EXPECT_EQ(ev->GetPayload()->socket, 42);
        EXPECT_EQ(0, std::memcmp(&ev->GetPayload()->address, &addr, sizeof addr));
    }
}

TEST(PayloadSharing, ForcedUpdateSharesTheMoveItWasGivenAndReadsAFreshOne) {
    using namespace EventTypes;
    EventUpdateActorMove move(3, Vector3(1, 2, 3), Geometry::kIdentityQuaternion);
    EventForcedActorUpdate forced(move, 2);
    EXPECT_EQ(forced.GetPayload()->move.GetData(), move.GetData());

    const ByteVec bytes = Serialize(forced);
    ASSERT_EQ(bytes.size(), 31u);
    EventForcedActorUpdate prototype;
    EventSystem::ByteReader r(bytes.data(), 31);
    auto got = std::static_pointer_cast<EventForcedActorUpdate>(prototype.Deserialize(r));
    ASSERT_NE(got, nullptr);
    EXPECT_NE(got->GetPayload()->move.GetData(), move.GetData());
    EXPECT_EQ(got->GetPayload()->move.GetPayload()->actorId, 3);
    EXPECT_EQ(got->GetPayload()->clientId, 2);
}

TEST(PayloadSharing, AnUnfilledForcedMoveStillWritesThirtyOneBytes) {
    // A forced update whose move was never filled keeps its length, so the
    // client id stays where a reader looks for it.
    EventTypes::EventForcedActorUpdate forced;
    forced.SetData(new EventTypes::EventForcedActorUpdateData());
    forced.GetPayload()->clientId = 3;
    const ByteVec bytes = Serialize(forced);
    ASSERT_EQ(bytes.size(), 31u);
    EXPECT_EQ(bytes[30], 3);
}

// ---- single classes ------------------------------------------------------------------
TEST(CreateActor, ReadBackHasNoTypeNameButTheSendersHash) {
    using namespace EventTypes;
    const uint32_t hash = EventSystem::HashEventName("flag");
    EventUpdateCreateActor sent(4, Vector3(), Geometry::kIdentityQuaternion, Vector3(1, 1, 1),
                                GameLogicView::ObjectState(), 0, Vector3(1, 1, 1), "flag", hash);
    const ByteVec bytes = Serialize(sent);
    ASSERT_EQ(bytes.size(), 91u);
    EventUpdateCreateActor prototype;
    EventSystem::ByteReader r(bytes.data(), 91);
    auto got = std::static_pointer_cast<EventUpdateCreateActor>(prototype.Deserialize(r));
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->GetPayload()->typeName, nullptr);
    EXPECT_EQ(got->GetPayload()->typeHash, hash);
}

TEST(Collision, PhysicsReportIsBuiltFromTheWorldsContactRecord) {
    struct Contact {  // the physics world's record, field for field
        uint32_t resting = 0;
        float normalSpeed = -8.0f;
        Vector3 point{1, 2, 3};
        Vector3 normal{0, 1, 0};
        uint16_t idA = 5;
        float massA = 2.0f;
        uint16_t idB = 0xFFFF;
        float massB = 0.0f;
    } contact;
    EventTypes::EventUpdateCollision report(contact);
    const auto& d = *report.GetPayload();
    EXPECT_EQ(d.kind, 0);
    EXPECT_EQ(d.normalSpeed, -8.0f);
    EXPECT_EQ(d.point, Vector3(1, 2, 3));
    EXPECT_EQ(d.actorIdA, 5);
    EXPECT_EQ(d.actorIdB, -1) << "a wall's 0xFFFF is the id -1";
    EXPECT_EQ(d.massA, 2.0f);
    EXPECT_EQ(d.typeNameA, nullptr);
    EXPECT_EQ(d.typeHashA, 0u);

    // The client report keeps everything but kind and the masses.
    report.GetPayload()->typeNameA = "box";
    report.GetPayload()->typeHashA = 77;
    EventTypes::EventUpdateCollisionToClient client(*report.GetPayload());
    EXPECT_EQ(client.GetPayload()->normalSpeed, -8.0f);
    EXPECT_EQ(client.GetPayload()->normal, Vector3(0, 1, 0));
    EXPECT_STREQ(client.GetPayload()->typeNameA, "box");
    EXPECT_EQ(client.GetPayload()->typeHashA, 77u);
    EXPECT_EQ(client.GetPayload()->actorIdB, -1);
}

TEST(SpeechBubble, TextLongerThanASixteenBitLengthIsRefusedNotWrapped) {
    EventTypes::EventCommandCreateSpeechBubble e(1, std::string(70000, 'x'), 0, 1000, 0);
    bool overflowed = false;
    const ByteVec bytes = Serialize(e, 1 << 17, &overflowed);
    EXPECT_TRUE(overflowed);
    EXPECT_EQ(bytes.size(), 2u) << "only the actor id before the refused text";

    // The longest length that fits is written whole.
    EventTypes::EventCommandCreateSpeechBubble longest(1, std::string(65535, 'y'), 0, 1000, 0);
    EXPECT_EQ(Serialize(longest, 1 << 17, &overflowed).size(), 10u + 65535u);
    EXPECT_FALSE(overflowed);
}

TEST(MoveDir, TextFormRoundTrips) {
    Input::EventMoveDir e(1, 0, -1);
    std::ostringstream out;
    e.WriteText(out);
    EXPECT_EQ(out.str(), "(1,0,-1)");

    Input::EventMoveDir other(0, 0, 0);
    auto keep = other.Copy();
    std::istringstream in(out.str());
    other.ReadText(in);
    EXPECT_EQ(other.GetPayload()->direction, Vector3(1, 0, -1));
    // A new payload: the copy taken before keeps the old direction.
    EXPECT_EQ(static_cast<Input::EventMoveDir&>(*keep).GetPayload()->direction, Vector3(0, 0, 0));
}

TEST(MoveDir, TextThatIsNotAVectorLeavesThePayload) {
    Input::EventMoveDir e(0, 0, 1);
    std::istringstream in("(1,x,3)");
    e.ReadText(in);
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(e.GetPayload()->direction, Vector3(0, 0, 1));
}

TEST(InitializeEvents, DefaultConstructorsCarryZero) {
    EXPECT_EQ(ToHex(Serialize(EventTypes::EventUpdateInitializeGameLogic())), "00 ");
    EXPECT_EQ(ToHex(Serialize(EventTypes::EventUpdateInitializeGameView())), "00 ");
}

// ---- types nobody listens to -------------------------------------------------------
TEST(Unheard, DrawPathAndAsciiKeyAreDroppedWhenNothingListens) {
    TestSupport::ResetSingletons();
    EXPECT_FALSE(EventSystem::QueueEvent(
        std::make_shared<EventTypes::EventDrawPath>(Vector3(0.25f, 0.25f, 0.25f), Vector3(1, 2, 3))));
    EXPECT_FALSE(EventSystem::QueueEvent(std::make_shared<Input::EventAsciiKey>('a')));
    EXPECT_EQ(EventSystem::EventManager::Instance().QueuedCount(), 0u);
    TestSupport::ResetSingletons();
}

}  // namespace

namespace {
TEST(HeldBlocks, WithoutAListTheHandAndPouchAreEmpty) {
    EventTypes::EventUpdateHeldBlocks e(9, nullptr);
    EXPECT_EQ(ToHex(Serialize(e)), ToHex(Cat(Hex("09 00"), ByteVec(34, 0xFF))));
}
}  // namespace
