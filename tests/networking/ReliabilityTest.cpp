// Numbering, acknowledgement, re-sending and the held list of one
// connection, including ids across the wrap from 65535 to 1.
#include <gtest/gtest.h>

#include <vector>

#include "NetTestSupport.h"
#include "events/types/ActorEvents.h"
#include "networking/Connection.h"
#include "networking/PacketIds.h"

using namespace Networking;
using namespace NetTest;

namespace {

Packet Reliable() {
    Packet p(0);
    p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(1));
    return p;
}

Packet Unreliable() {
    Packet p(0);
    p.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateJump>(1));
    return p;
}

std::vector<uint16_t> Ids(const std::list<Packet>& l) {
    std::vector<uint16_t> ids;
    for (const Packet& p : l) ids.push_back(p.id);
    return ids;
}

// A connection whose socket sends to nobody who listens.
struct ConnectionFixture : ::testing::Test {
    UdpSocket sink;
    UdpSocket sending;
    Connection c{sending.fd, sink.Address()};
};

}  // namespace

TEST(PacketIdsTest, OrderHoldsAcrossTheWrap) {
    struct Case {
        uint16_t a, b;
        bool before;
    };
    const Case cases[] = {
        {1, 2, true},         {2, 1, false},      {5, 5, false},      {65535, 1, true},  {1, 65535, false},
        {65534, 3, true},     {3, 65534, false},  {0, 1, true},       {0, 65535, true},  {1, 0, false},
        {0, 0, false},        {100, 32000, true}, {100, 40000, false}, {40000, 100, true},
    };
    for (const Case& c : cases) EXPECT_EQ(IdBefore(c.a, c.b), c.before) << c.a << " before " << c.b;
}

TEST(PacketIdsTest, RecentIdsTellsDuplicatesAcrossTheWrap) {
    RecentIds seen;
    EXPECT_TRUE(seen.Mark(65534));
    EXPECT_TRUE(seen.Mark(1));  // two ahead, across the wrap
    EXPECT_TRUE(seen.Mark(65535));
    EXPECT_FALSE(seen.Mark(65535));
    EXPECT_FALSE(seen.Mark(1));
    EXPECT_TRUE(seen.Mark(3));
    EXPECT_TRUE(seen.Mark(2));
    EXPECT_FALSE(seen.Mark(0));
    // Far behind the newest counts as seen.
    EXPECT_TRUE(seen.Mark(5000));
    EXPECT_FALSE(seen.Mark(3000));
}

TEST_F(ConnectionFixture, NumbersRunFromOneAndWrapPastZero) {
    Packet first = Reliable();
    c.QueuePacket(first, 0);
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(first.previousReliableId, 0);
    EXPECT_EQ(first.ack, 0);

    c.lastPacketId = 65534;
    EXPECT_EQ(c.NextPacketId(), 65535);
    EXPECT_EQ(c.NextPacketId(), 1);
}

TEST_F(ConnectionFixture, ReliablePacketsChainThroughTheUnreliableOnesBetween) {
    c.lastPacketId = 65533;
    Packet a = Reliable(), u = Unreliable(), b = Reliable();
    c.QueuePacket(a, 0);
    c.QueuePacket(u, 0);
    c.QueuePacket(b, 0);
    EXPECT_EQ(a.id, 65534);
    EXPECT_EQ(u.id, 65535);
    EXPECT_EQ(b.id, 1);
    EXPECT_EQ(u.previousReliableId, 65534);
    EXPECT_EQ(b.previousReliableId, 65534);
    c.SendPending();
    EXPECT_EQ(Ids(c.unacknowledged), (std::vector<uint16_t>{65534, 1}));
}

TEST_F(ConnectionFixture, QueuingANumberedPacketAgainKeepsItsIdsAndRefreshesTheRest) {
    Packet p = Reliable();
    c.QueuePacket(p, 10);
    c.SendPending();
    Packet& kept = c.unacknowledged.front();
    c.lastReliableReceived = 44;
    c.address = LoopbackAddress(9);
    c.QueuePacket(kept, 99);
    const Packet& again = c.pending.back();
    EXPECT_EQ(again.id, 1);
    EXPECT_EQ(again.previousReliableId, 0);
    EXPECT_EQ(again.ack, 44);
    EXPECT_EQ(again.sendTime, 99u);
    EXPECT_EQ(again.address.sin_port, htons(9));
    EXPECT_EQ(again.Data()[10], 44);  // the header carries the new ack
    c.SendPending();
    EXPECT_EQ(c.unacknowledged.size(), 1u);  // a re-send does not enter twice
}

TEST_F(ConnectionFixture, AckRetiresUpToItInSendOrder) {
    struct Case {
        const char* what;
        std::vector<uint16_t> unacked;
        uint16_t lastSent;
        uint16_t ack;
        std::vector<uint16_t> left;
    };
    const Case cases[] = {
        {"the example", {5, 7, 9, 11}, 11, 9, {11}},
        {"ack between two ids", {5, 7, 9, 11}, 11, 8, {9, 11}},
        {"ack 0 retires nothing", {5, 7}, 7, 0, {5, 7}},
        {"old ack", {5, 7}, 7, 3, {5, 7}},
        {"ack of everything", {5, 7}, 7, 7, {}},
        {"ack past what was sent is ignored", {5, 7}, 7, 9, {5, 7}},
        {"wrap: ack 65535", {65533, 65535, 2, 4}, 4, 65535, {2, 4}},
        {"wrap: ack 2", {65533, 65535, 2, 4}, 4, 2, {4}},
        {"wrap: ack 65534", {65533, 65535, 2, 4}, 4, 65534, {65535, 2, 4}},
        {"wrap: high ack does not retire low ids", {1, 3}, 3, 65535, {1, 3}},
    };
    for (const Case& k : cases) {
        c.unacknowledged.clear();
        for (uint16_t id : k.unacked) {
            Packet p = Reliable();
            p.id = id;
            c.unacknowledged.push_back(p);
        }
        c.lastReliableSent = k.lastSent;
        c.ProcessAck(k.ack);
        EXPECT_EQ(Ids(c.unacknowledged), k.left) << k.what;
    }
}

TEST_F(ConnectionFixture, UnacknowledgedPacketGoesAgainAfterFiftyMilliseconds) {
    Packet p = Reliable();
    c.QueuePacket(p, 100);
    c.SendPending();
    Packet q = Reliable();
    c.QueuePacket(q, 130);
    c.SendPending();
    c.ResendReliablePackets(150);
    EXPECT_TRUE(c.pending.empty());
    c.ResendReliablePackets(151);
    EXPECT_EQ(Ids(c.pending), (std::vector<uint16_t>{1}));
    c.SendPending();
    // The second is due at 181 although the first, re-sent at 151, is not.
    c.ResendReliablePackets(181);
    EXPECT_EQ(Ids(c.pending), (std::vector<uint16_t>{2}));
    EXPECT_EQ(c.pending.front().previousReliableId, 1);
    EXPECT_EQ(c.resends, 2u);
}

TEST_F(ConnectionFixture, ReliableArrivalsAreDeliveredHeldOrDroppedAcrossTheWrap) {
    using A = Connection::Arrival;
    struct Case {
        uint16_t last, prev;
        A expected;
    };
    const Case cases[] = {
        {3, 3, A::Deliver},    {3, 5, A::Hold},        {7, 3, A::Drop},        {0, 0, A::Deliver},
        {0, 9, A::Hold},       {9, 0, A::Drop},        {65535, 65535, A::Deliver}, {65535, 2, A::Hold},
        {2, 65535, A::Drop},   {65000, 64000, A::Drop},
    };
    for (const Case& k : cases) {
        c.lastReliableReceived = k.last;
        Packet p = Reliable();
        p.previousReliableId = k.prev;
        EXPECT_EQ(c.ClassifyReliable(p), k.expected) << k.last << " / " << k.prev;
    }
}

TEST_F(ConnectionFixture, HeldListKeepsEachIdOnceStaysBoundedAndDeliversInChainOrder) {
    c.lastReliableReceived = 65533;
    auto make = [](uint16_t id, uint16_t prev) {
        Packet p = Reliable();
        p.id = id;
        p.previousReliableId = prev;
        return p;
    };
    // Arrived in the order 3, 1 (twice), with 65535 missing.
    EXPECT_TRUE(c.Hold(make(3, 1)));
    EXPECT_TRUE(c.Hold(make(1, 65535)));
    EXPECT_FALSE(c.Hold(make(1, 65535)));
    EXPECT_EQ(c.held.size(), 2u);
    Packet out;
    EXPECT_FALSE(c.TakeNextHeld(out));
    c.lastReliableReceived = 65535;  // 65535 delivered on arrival
    ASSERT_TRUE(c.TakeNextHeld(out));
    EXPECT_EQ(out.id, 1);
    ASSERT_TRUE(c.TakeNextHeld(out));
    EXPECT_EQ(out.id, 3);
    EXPECT_EQ(c.lastReliableReceived, 3);
    EXPECT_TRUE(c.held.empty());

    // A held packet whose turn has passed is let go.
    EXPECT_TRUE(c.Hold(make(9, 7)));
    c.lastReliableReceived = 11;
    EXPECT_FALSE(c.TakeNextHeld(out));
    EXPECT_TRUE(c.held.empty());

    for (uint16_t i = 0; i < Connection::kMaxHeld; ++i) EXPECT_TRUE(c.Hold(make(100 + 2 * i, 99 + 2 * i)));
    EXPECT_FALSE(c.Hold(make(5000, 4999)));
    EXPECT_EQ(c.held.size(), Connection::kMaxHeld);
}
