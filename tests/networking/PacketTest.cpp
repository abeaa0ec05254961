// The wire registry and the packet format: indices, the exact bytes of a
// packet, what fits, and reading that never passes the received bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "NetTestSupport.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "networking/Connection.h"
#include "networking/EventRegistry.h"
#include "networking/Packet.h"

using namespace Networking;
using namespace NetTest;
using EventSystem::HashEventName;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

Bytes Used(const Packet& p) { return Bytes(p.Data(), p.Data() + p.used); }

Packet Received(const Bytes& datagram) {
    Packet p;
    p.ReadHeader(datagram.data(), static_cast<uint32_t>(datagram.size()));
    p.ResetCursor();
    return p;
}

}  // namespace

TEST(EventRegistryTest, IndicesFollowTheTableAndTheLaterOfTwoRegistrationsSends) {
    EventRegistry* r = EventRegistry::Instance();
    EXPECT_EQ(r->GetCount(), 39u);
    const std::pair<const char*, int> cases[] = {
        {"ServerBroadcast", 0},        {"ClientIsAlive", 3},          {"LtVJoinConfirmed", 4},
        {"LtVUpdateActorMove", 6},     {"VtLCommandPickUpBlock", 24}, {"LtoVCommandThrowBlock", 26},
        {"LtVCollision", 15},          {"LtVUpdateJump", 32},         {"LtVBotFollowPlyaer", 36},
        {"EventTest", 37},             {"LtVForcedActorUpdate", 0xFF}, {"EventConnectToServer", 0xFF},
        {"LtVEventUpdateServerList", 0xFF}, {"LtVCapPtCreated", 38},
    };
    for (const auto& c : cases) EXPECT_EQ(r->GetIndex(HashEventName(c.first)), c.second) << c.first;
    // Every prototype is its index's type, and the earlier of a doubled
    // registration still reads.
    for (uint8_t i = 0; i < r->GetCount(); ++i) {
        ASSERT_NE(r->GetPrototype(i), nullptr);
        const uint8_t sendIndex = r->GetIndex(r->GetPrototype(i)->GetTypeHash());
        if (i == 11 || i == 12) {
            EXPECT_EQ(sendIndex, i == 11 ? 24 : 26);
        } else {
            EXPECT_EQ(sendIndex, i);
        }
    }
    EXPECT_EQ(r->GetPrototype(39), nullptr);
    EXPECT_EQ(r->GetPrototype(0xFF), nullptr);

    EventRegistry::DestroyInstance();
    EventRegistry::CreateInstance();
    EXPECT_EQ(EventRegistry::Instance()->GetIndex(HashEventName("LtVFlagStatus")), 34);
}

TEST(EventRegistryTest, IndexElevenReadsAsAPickUpCommand) {
    for (uint8_t index : {11, 24}) {
        Packet p;
        Bytes datagram = Hex("4D 69 72 61 76 00 01 00 00 00 00 00 00 01");
        datagram.push_back(index);
        datagram.push_back(0x2A);
        datagram.push_back(0x00);
        p = Received(datagram);
        auto e = std::dynamic_pointer_cast<EventTypes::EventCommandPickUpBlock>(p.ReadEvent());
        ASSERT_TRUE(e) << int(index);
        EXPECT_EQ(e->GetPayload()->actorId, 42);
    }
}

TEST(PacketTest, UnreliableJumpFromTheHostIsTheSeventeenBytesOfTheExample) {
    UdpSocket receiver;
    UdpSocket sending;
    Connection c(sending.fd, receiver.Address());
    c.lastPacketId = 4;
    c.lastReliableSent = 3;
    c.lastReliableReceived = 2;
    Packet p(0);
    ASSERT_TRUE(p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateJump>(7)));
    c.QueuePacket(p, 0);
    ASSERT_EQ(c.pending.size(), 1u);
    EXPECT_EQ(Used(c.pending.front()), Hex("4D 69 72 61 76 00 05 00 03 00 02 00 00 01 20 07 00"));
    c.SendPending();
    EXPECT_TRUE(c.unacknowledged.empty());
    EXPECT_EQ(receiver.Receive().size(), 18u);
}

TEST(PacketTest, AnnouncementIsTwentyFiveBytesUsedAndTwentySixSent) {
    Packet p(0);
    ASSERT_TRUE(p.AddIndexedEvent(std::make_shared<EventServerBroadcast>("Mirav", 0, 1, 1)));
    p.WriteHeader();
    EXPECT_EQ(Used(p), Hex("4D 69 72 61 76 00 00 00 00 00 00 00 00 01  00 05 00 4D 69 72 61 76 00 01 01"));
    EXPECT_EQ(p.DatagramSize(), 26u);
}

TEST(PacketTest, AnEventThatDoesNotFitLeavesThePacketAsItWas) {
    Packet p(0);
    auto create = std::make_shared<EventTypes::EventUpdateCreateActor>(
        1, Vector3(1, 2, 3), Quaternion(1, 0, 0, 0), Vector3(1, 1, 1), GameLogicView::ObjectState{}, 0,
        Vector3(1, 1, 1), "Player", HashEventName("Player"));
    int added = 0;
    while (p.AddIndexedEvent(create)) ++added;
    const uint16_t used = p.used;
    const uint8_t count = p.eventCount;
    EXPECT_EQ(count, added);
    EXPECT_LE(used, Packet::kMaxSize);
    EXPECT_FALSE(p.AddIndexedEvent(create));
    EXPECT_EQ(p.used, used);
    EXPECT_EQ(p.eventCount, count);
    EXPECT_EQ(p.reliable, 1);
    // A smaller event still fits into what is left, where the cursor stayed.
    EXPECT_TRUE(p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateJump>(9)));
    p.WriteHeader();
    Packet r = Received(Used(p));
    for (int i = 0; i < added; ++i) ASSERT_TRUE(r.ReadEvent());
    auto jump = std::dynamic_pointer_cast<EventTypes::EventUpdateJump>(r.ReadEvent());
    ASSERT_TRUE(jump);
    EXPECT_EQ(jump->GetPayload()->actorId, 9);
}

TEST(PacketTest, FullPacketTravelsAsA1025ByteDatagram) {
    UdpSocket receiver;
    UdpSocket sending;
    Connection c(sending.fd, receiver.Address());
    Packet p(0);
    // A jump, 32 indexed moves of 31 bytes, then one-byte signals up to
    // exactly 1010 payload bytes.
    ASSERT_TRUE(p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateJump>(1)));
    auto move = std::make_shared<EventTypes::EventUpdateActorMove>(5, Vector3(1, 2, 3), Quaternion(1, 0, 0, 0));
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(p.AddIndexedEvent(move));
    while (p.used < Packet::kMaxSize)
        if (!p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateStartGame>())) break;
    ASSERT_EQ(p.used, Packet::kMaxSize);
    c.QueuePacket(p, 0);
    c.SendPending();
    Bytes got = receiver.Receive();
    ASSERT_EQ(got.size(), 1025u);
    Packet r = Received(got);
    int read = 0;
    while (read < r.eventCount && r.ReadEvent()) ++read;
    EXPECT_EQ(read, p.eventCount);
    EXPECT_FALSE(r.HasFailed());
}

TEST(PacketTest, CountStopsAt255Events) {
    Packet p(0);
    int added = 0;
    while (p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateStartGame>())) ++added;
    EXPECT_EQ(added, 255);
    EXPECT_EQ(p.eventCount, 255);
}

TEST(PacketTest, UnregisteredTypeIsWrittenWithIndexFF) {
    Packet p(0);
    ASSERT_TRUE(p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateGameOver>(1, 0)));
    ASSERT_TRUE(p.AddIndexedEvent(std::make_shared<EventConnectToServer>(3, sockaddr_in{})));
    EXPECT_EQ(p.Data()[14 + 3], 0xFF);
}

TEST(PacketTest, SingleIndexedMoveReadsLikeAMovePacket) {
    auto move = std::make_shared<EventTypes::EventUpdateActorMove>(5, Vector3(1, 2, 3), Quaternion(1, 0, 0, 0));
    Packet indexed(0);
    ASSERT_TRUE(indexed.AddIndexedEvent(move));
    Packet bare(0);
    bare.WriteMoveIndex();
    ASSERT_TRUE(bare.AddBareEvent(move));
    indexed.WriteHeader();
    bare.WriteHeader();
    EXPECT_EQ(Used(indexed), Used(bare));
    Packet r = Received(Used(bare));
    ASSERT_TRUE(r.IsMovePacket());
    auto got = std::dynamic_pointer_cast<EventTypes::EventUpdateActorMove>(r.ReadBareMove());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->GetPayload()->actorId, 5);
    EXPECT_EQ(got->GetPayload()->position.y, 2.0f);
}

// Bad input stops the reading; what was read before stays read.
TEST(PacketTest, ReadingStopsAtTheFirstEventTheBytesDoNotHold) {
    const Bytes header = Hex("4D 69 72 61 76 00 01 00 00 00 00 00 00");
    struct Case {
        const char* what;
        Bytes body;  // count byte, then payload
        int readable;
    };
    const Case cases[] = {
        {"index past the table", Hex("02 20 07 00 26 01 00"), 1},
        {"index FF", Hex("02 FF 07 00 20 01 00"), 0},
        {"payload cut short", Hex("02 20 07 00 20 01"), 1},
        {"count beyond the payload", Hex("FF 20 07 00 20 08 00"), 2},
        {"string longer than the datagram", Hex("01 00 FF FF 4D 69"), 0},
        {"move count beyond the moves", Hex("03 06 01 00 00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 3F 00 00 00 00 "
                                            "00 00 00 00 00 00 00 00"),
         1},
        {"no payload at all", Hex("04"), 0},
    };
    for (const Case& c : cases) {
        Bytes datagram = header;
        datagram.insert(datagram.end(), c.body.begin(), c.body.end());
        Packet p = Received(datagram);
        const bool moves = p.IsMovePacket();
        int read = 0;
        for (int i = 0; i < p.eventCount; ++i) {
            if (!(moves ? p.ReadBareMove() : p.ReadEvent())) break;
            ++read;
        }
        EXPECT_EQ(read, c.readable) << c.what;
        EXPECT_TRUE(p.HasFailed()) << c.what;
        EXPECT_FALSE(p.ReadEvent()) << c.what;  // failure is for good
    }
}

TEST(PacketTest, HeaderNeedsMagicAndFourteenBytes) {
    Packet p;
    const Bytes good = Hex("4D 69 72 61 76 01 02 00 01 00 09 00 03 00");
    EXPECT_TRUE(p.ReadHeader(good.data(), static_cast<uint32_t>(good.size())));
    EXPECT_EQ(p.reliable, 1);
    EXPECT_EQ(p.id, 2);
    EXPECT_EQ(p.previousReliableId, 1);
    EXPECT_EQ(p.ack, 9);
    EXPECT_EQ(p.senderId, 3);
    Bytes bad = good;
    bad[4] = 'w';
    EXPECT_FALSE(p.ReadHeader(bad.data(), static_cast<uint32_t>(bad.size())));
    EXPECT_FALSE(p.ReadHeader(good.data(), 13));
}
