// Shared pieces of the catalogue tests: a byte builder that spells out the
// expected wire image field by field, and serialise/deserialise helpers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "events/ByteStream.h"
#include "events/Event.h"

namespace CatalogueTest {

using ByteVec = std::vector<uint8_t>;

// Little-endian image built independently of the event code.
struct Bytes {
    ByteVec b;
    Bytes& u8(uint8_t v) {
        b.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Bytes& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Bytes& v3(float x, float y, float z) { return f32(x).f32(y).f32(z); }
    Bytes& q(float w, float x, float y, float z) { return f32(w).f32(x).f32(y).f32(z); }
    Bytes& str(const std::string& s) {
        u16(static_cast<uint16_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& raw(const void* p, size_t n) {
        const auto* c = static_cast<const uint8_t*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
    Bytes& repeat(uint8_t v, size_t n) {
        b.insert(b.end(), n, v);
        return *this;
    }
};

inline ByteVec Serialize(const EventSystem::IEvent& e, uint32_t capacity = 1 << 17, bool* overflowed = nullptr) {
    ByteVec buf(capacity);
    EventSystem::ByteWriter w(buf.data(), capacity);
    e.Serialize(w);
    if (overflowed) *overflowed = w.HasOverflowed();
    buf.resize(w.GetSize());
    return buf;
}

inline ByteVec Hex(const char* text) {
    ByteVec out;
    unsigned v;
    int n;
    while (std::sscanf(text, " %2x%n", &v, &n) == 1) {
        out.push_back(static_cast<uint8_t>(v));
        text += n;
    }
    return out;
}

inline std::string ToHex(const ByteVec& v) {
    std::string s;
    char tmp[4];
    for (uint8_t c : v) {
        std::snprintf(tmp, sizeof tmp, "%02X ", c);
        s += tmp;
    }
    return s;
}

}  // namespace CatalogueTest
