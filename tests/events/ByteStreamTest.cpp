#include <gtest/gtest.h>

#include <vector>

#include "events/ByteStream.h"

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

TEST(ByteWriter, LittleEndianWhateverTheHost) {
    uint8_t buf[16] = {};
    ByteWriter w(buf, sizeof buf);
    w.WriteShort(0x1234);
    w.WriteInt(0xA1B2C3D4u);
    w.WriteFloat(1.0f);  // 0x3F800000
    w.WriteByte(0xEE);
    const std::vector<uint8_t> expect = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0x80, 0x3F, 0xEE};
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + w.GetSize()), expect);
}

TEST(ByteWriter, OverflowIsStickyAndWritesNothingPartial) {
    uint8_t buf[8] = {};
    ByteWriter w(buf, 5);
    w.WriteInt(0x01020304);
    EXPECT_FALSE(w.HasOverflowed());
    w.WriteShort(0xFFFF);  // does not fit: nothing written
    EXPECT_TRUE(w.HasOverflowed());
    w.WriteByte(0x77);  // would fit, but the writer has overflowed
    EXPECT_EQ(w.GetSize(), 4u);
    EXPECT_EQ(buf[4], 0);

    ByteWriter exact(buf, 4);
    exact.WriteInt(7);
    EXPECT_FALSE(exact.HasOverflowed());
    EXPECT_EQ(exact.GetSize(), 4u);
}

TEST(ByteWriter, Strings) {
    uint8_t buf[8] = {};
    ByteWriter w(buf, sizeof buf);
    w.WriteString("abc");
    w.WriteString("");
    const std::vector<uint8_t> expect = {0x03, 0x00, 'a', 'b', 'c', 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + w.GetSize()), expect);

    // The length fits but the characters do not: the length stays, overflow set.
    uint8_t small[4] = {};
    ByteWriter s(small, sizeof small);
    s.WriteString("abcdef");
    EXPECT_TRUE(s.HasOverflowed());
    EXPECT_EQ(s.GetSize(), 2u);
    EXPECT_EQ(small[0], 6);

    // Longer than 65535 is refused, never written with a wrapped length.
    std::vector<uint8_t> big(70000);
    ByteWriter b(big.data(), static_cast<uint32_t>(big.size()));
    b.WriteString(std::string(65536, 'x'));
    EXPECT_TRUE(b.HasOverflowed());
    EXPECT_EQ(b.GetSize(), 0u);
}

TEST(ByteReader, RoundTrip) {
    uint8_t buf[32];
    ByteWriter w(buf, sizeof buf);
    w.WriteShort(0xFFFF);
    w.WriteInt(0x80000000u);
    w.WriteFloat(-2.5f);
    w.WriteString("hi");
    ByteReader r(buf, w.GetSize());
    EXPECT_EQ(r.ReadInt16(), -1);
    EXPECT_EQ(r.ReadInt32(), INT32_MIN);
    EXPECT_EQ(r.ReadFloat(), -2.5f);
    std::string s = "a much longer text";
    r.ReadString(s);
    EXPECT_EQ(s, "hi");
    EXPECT_EQ(r.GetBytesRead(), w.GetSize());
    EXPECT_FALSE(r.HasFailed());
}

TEST(ByteReader, NeverReadsPastItsEnd) {
    const uint8_t buf[5] = {1, 2, 3, 4, 5};
    ByteReader r(buf, 3);
    EXPECT_EQ(r.ReadShort(), 0x0201);
    EXPECT_EQ(r.ReadInt(), 0u);  // only one byte left: zero, and failed
    EXPECT_TRUE(r.HasFailed());
    EXPECT_EQ(r.ReadByte(), 0);  // sticky, even though a byte is left
    EXPECT_EQ(r.GetBytesRead(), 2u);

    // A string length that points past the input.
    const uint8_t str[4] = {0x10, 0x00, 'a', 'b'};
    ByteReader rs(str, sizeof str);
    std::string s = "old";
    rs.ReadString(s);
    EXPECT_TRUE(rs.HasFailed());
    EXPECT_TRUE(s.empty());
}
