#include <gtest/gtest.h>

#include <cstring>

#include "events/ByteStream.h"
#include "events/Event.h"

using namespace EventSystem;

namespace {

struct PingData : IEventData {
    int16_t actorId = 0;
    std::string text;
    void Write(ByteWriter& w) const {
        w.WriteShort(static_cast<uint16_t>(actorId));
        w.WriteString(text);
    }
    void Read(ByteReader& r) {
        actorId = r.ReadInt16();
        r.ReadString(text);
    }
};

class Ping : public PayloadEvent<Ping, PingData> {
public:
    static constexpr const char* kTypeName = "TestPing";
    Ping() = default;
    Ping(int16_t id, std::string t) : PayloadEvent(new Data{}) {
        GetPayload()->actorId = id;
        GetPayload()->text = std::move(t);
    }
    bool IsReliable() const override { return true; }
};

class Pong : public SignalEvent<Pong> {
public:
    static constexpr const char* kTypeName = "TestPong";
};

}  // namespace

TEST(HashEventName, KnownValues) {
    struct Case {
        const char* name;
        uint32_t hash;
    } cases[] = {
        {"", 0u},
        {"a", 0x9E377A1Au},
        {"LtVGameOver", 0x7C15B981u},
        {"VtLSetupMultiPlayer", 0x909D33FBu},
        {"\x80", 0x9E377939u},  // bytes above 0x7F count as negative
    };
    for (const auto& c : cases) EXPECT_EQ(HashEventName(c.name), c.hash) << c.name;
    EXPECT_EQ(HashEventName(nullptr), 0u);
}

TEST(Event, StaticTypeIsSharedByEveryInstance) {
    Ping a(1, "x"), b;
    EXPECT_EQ(a.GetTypeName(), Ping::GetStaticType().name);  // one pointer, not a copy
    EXPECT_EQ(a.GetTypeHash(), HashEventName("TestPing"));
    EXPECT_EQ(b.GetTypeHash(), a.GetTypeHash());
    EXPECT_TRUE(a.IsReliable());
    EXPECT_FALSE(Pong().IsReliable());
}

TEST(Event, CopiesSharePayloadDeserialisedEventsDoNot) {
    Ping original(7, "hello");
    auto copy = original.Copy();
    EXPECT_EQ(copy->GetData().get(), original.GetData().get());
    original.GetPayload()->actorId = 9;
    EXPECT_EQ(static_cast<Ping&>(*copy).GetPayload()->actorId, 9);

    uint8_t buf[64];
    ByteWriter w(buf, sizeof buf);
    original.Serialize(w);
    ASSERT_FALSE(w.HasOverflowed());
    EXPECT_EQ(w.GetSize(), 2u + 2u + 5u);

    Ping prototype;
    EXPECT_EQ(prototype.GetPayload(), nullptr);
    ByteReader r1(buf, w.GetSize()), r2(buf, w.GetSize());
    auto e1 = prototype.Deserialize(r1);
    auto e2 = prototype.Deserialize(r2);
    ASSERT_TRUE(e1 && e2);
    EXPECT_NE(e1->GetData().get(), e2->GetData().get());
    auto* p1 = static_cast<Ping&>(*e1).GetPayload();
    EXPECT_EQ(p1->actorId, 9);
    EXPECT_EQ(p1->text, "hello");
    EXPECT_EQ(r1.GetBytesRead(), w.GetSize());
}

TEST(Event, TruncatedPayloadIsAFailedRead) {
    Ping original(3, "abcdef");
    uint8_t buf[32];
    ByteWriter w(buf, sizeof buf);
    original.Serialize(w);
    Ping prototype;
    for (uint32_t n = 0; n < w.GetSize(); ++n) {
        ByteReader r(buf, n);
        EXPECT_EQ(prototype.Deserialize(r), nullptr) << "length " << n;
    }
}

TEST(Event, SignalWritesAndReadsNothing) {
    Pong p;
    uint8_t buf[4] = {1, 2, 3, 4};
    ByteWriter w(buf, sizeof buf);
    p.Serialize(w);
    EXPECT_EQ(w.GetSize(), 0u);
    ByteReader r(buf, 0);
    auto e = p.Deserialize(r);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetTypeHash(), Pong::GetStaticType().hash);
    EXPECT_EQ(r.GetBytesRead(), 0u);
    EXPECT_FALSE(r.HasFailed());
}

TEST(Event, PayloadOfReadsOnlyItsOwnClass) {
    const Ping ping(4, "hi");
    const Pong pong;
    const Ping prototype;
    ASSERT_NE(PayloadOf<Ping>(ping), nullptr);
    EXPECT_EQ(PayloadOf<Ping>(ping), ping.GetPayload());
    EXPECT_EQ(PayloadOf<Ping>(ping)->text, "hi");
    EXPECT_EQ(PayloadOf<Ping>(pong), nullptr);
    EXPECT_EQ(PayloadOf<Ping>(prototype), nullptr);
}
