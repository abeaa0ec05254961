// Little-endian cursors over a caller's buffer: the writer never passes its
// capacity and remembers that it ran out; the reader never passes its size and
// remembers that the input ended early (every later read then yields zeros).
#pragma once

#include <cstdint>
#include <string>

namespace EventSystem {

class ByteWriter {
public:
    ByteWriter() = default;
    ByteWriter(uint8_t* buffer, uint32_t capacity) : m_cursor(buffer), m_capacity(capacity) {}

    // Writes n bytes, or nothing at all (and sets overflow) when they do not fit.
    void Write(const void* bytes, uint32_t n);
    void WriteByte(uint8_t v) { Write(&v, 1); }
    void WriteBool(bool v) { WriteByte(v ? 1 : 0); }
    void WriteShort(uint16_t v);
    void WriteInt(uint32_t v);
    void WriteFloat(float v);
    // 16-bit length and the characters. A string longer than 65535 bytes is
    // refused: overflow is set and nothing is written.
    void WriteString(const std::string& s);

    bool HasOverflowed() const { return m_overflow; }
    uint32_t GetSize() const { return m_size; }
    uint32_t GetCapacity() const { return m_capacity; }

private:
    uint8_t* m_cursor = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_size = 0;
    bool m_overflow = false;
};

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* buffer, uint32_t size) : m_cursor(buffer), m_size(size) {}

    // Copies n bytes; past the end nothing is read, the destination is zeroed
    // and the failure flag is set for good.
    void Read(void* dest, uint32_t n);
    uint8_t ReadByte();
    bool ReadBool() { return ReadByte() != 0; }
    uint16_t ReadShort();
    int16_t ReadInt16() { return static_cast<int16_t>(ReadShort()); }
    uint32_t ReadInt();
    int32_t ReadInt32() { return static_cast<int32_t>(ReadInt()); }
    float ReadFloat();
    void ReadString(std::string& target);

    uint32_t GetBytesRead() const { return m_consumed; }
    uint32_t GetSize() const { return m_size; }
    bool HasFailed() const { return m_failed; }

private:
    const uint8_t* m_cursor = nullptr;
    uint32_t m_size = 0;
    uint32_t m_consumed = 0;
    bool m_failed = false;
};

}  // namespace EventSystem
