#include "events/ByteStream.h"

#include <cstring>

namespace EventSystem {

void ByteWriter::Write(const void* bytes, uint32_t n) {
    if (m_overflow) return;
    if (static_cast<uint64_t>(m_size) + n > m_capacity) {
        m_overflow = true;
        return;
    }
    if (n) std::memcpy(m_cursor, bytes, n);
    m_cursor += n;
    m_size += n;
}

void ByteWriter::WriteShort(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    Write(b, 2);
}

void ByteWriter::WriteInt(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    Write(b, 4);
}

void ByteWriter::WriteFloat(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    WriteInt(bits);
}

void ByteWriter::WriteString(const std::string& s) {
    if (s.size() > 0xFFFF) {
        m_overflow = true;
        return;
    }
    WriteShort(static_cast<uint16_t>(s.size()));
    Write(s.data(), static_cast<uint32_t>(s.size()));
}

void ByteReader::Read(void* dest, uint32_t n) {
    if (m_failed || static_cast<uint64_t>(m_consumed) + n > m_size) {
        m_failed = true;
        if (n) std::memset(dest, 0, n);
        return;
    }
    if (n) std::memcpy(dest, m_cursor, n);
    m_cursor += n;
    m_consumed += n;
}

uint8_t ByteReader::ReadByte() {
    uint8_t b = 0;
    Read(&b, 1);
    return b;
}

uint16_t ByteReader::ReadShort() {
    uint8_t b[2];
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ByteReader::ReadInt() {
    uint8_t b[4];
    Read(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}

float ByteReader::ReadFloat() {
    const uint32_t bits = ReadInt();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

void ByteReader::ReadString(std::string& target) {
    const uint16_t len = ReadShort();
    if (m_failed || static_cast<uint64_t>(m_consumed) + len > m_size) {
        // A length that points past the input is a truncated payload.
        m_failed = true;
        target.clear();
        return;
    }
    target.assign(reinterpret_cast<const char*>(m_cursor), len);
    m_cursor += len;
    m_consumed += len;
}

}  // namespace EventSystem
