#include "events/Event.h"

namespace EventSystem {

uint32_t HashEventName(const char* name) {
    uint32_t h = 0;
    if (!name) return 0;
    for (const char* p = name; *p; ++p) {
        // Each byte is taken as a signed char and widened with its sign.
        const uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
        h ^= (h << 6) + (h >> 2) + c + 0x9E3779B9u;
    }
    return h;
}

EventType::EventType(const char* typeName) : name(typeName), hash(HashEventName(typeName)) {}

IEvent::IEvent(const char* typeName, uint32_t typeHash, std::shared_ptr<IEventData> data)
    : m_typeName(typeName), m_typeHash(typeHash), m_data(std::move(data)) {}

}  // namespace EventSystem
