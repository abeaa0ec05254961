// Reads random bytes as every field type in an order the input itself picks:
// the reader must never touch memory past its end, and once it has failed it
// must only yield zeros.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "events/ByteStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t opCount = data[0] % 32;
    if (size < 1 + opCount) return 0;
    const uint8_t* ops = data + 1;
    // Copy the payload to its own heap block so ASan sees its exact end.
    std::vector<uint8_t> payload(data + 1 + opCount, data + size);
    EventSystem::ByteReader r(payload.data(), static_cast<uint32_t>(payload.size()));
    std::string s;
    for (size_t i = 0; i < opCount; ++i) {
        const bool failedBefore = r.HasFailed();
        uint64_t value = 0;
        switch (ops[i] % 6) {
            case 0: value = r.ReadByte(); break;
            case 1: value = r.ReadShort(); break;
            case 2: value = r.ReadInt(); break;
            case 3: { float f = r.ReadFloat(); value = (f != 0.0f); break; }
            case 4: r.ReadString(s); value = s.size(); break;
            default: { uint8_t tmp[7]; r.Read(tmp, sizeof tmp); for (uint8_t b : tmp) value |= b; break; }
        }
        if (failedBefore && value != 0) std::abort();
        if (r.GetBytesRead() > payload.size()) std::abort();
    }
    return 0;
}
