// The wire registry: every event type the network carries gets a one-byte
// index, and every index a prototype that reads that type's payload. All
// machines build the same table in the same order, so it is part of the
// protocol: never reorder it, only append.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace EventSystem {
class IEvent;
}

namespace Networking {

class EventRegistry {
public:
    static constexpr uint8_t kUnregistered = 0xFF;

    // Creates the process-wide table when there is none.
    static void CreateInstance();
    // The table, created first when missing.
    static EventRegistry* Instance();
    static void DestroyInstance();

    virtual ~EventRegistry();
    EventRegistry(const EventRegistry&) = delete;
    EventRegistry& operator=(const EventRegistry&) = delete;

    // The wire index of a type (by its name hash); kUnregistered when the type
    // does not travel.
    uint8_t GetIndex(uint32_t typeHash) const;
    // The prototype of an index; null for an index no type has (so a received
    // byte can be checked and looked up in one step).
    EventSystem::IEvent* GetPrototype(uint8_t index) const;
    size_t GetCount() const { return m_prototypes.size(); }

    // The index the move packets start with.
    static uint8_t MoveIndex();

private:
    EventRegistry();
    void RegisterEvents();
    template <class E>
    void RegisterEvent();

    std::unordered_map<uint32_t, uint8_t> m_indices;
    std::vector<std::unique_ptr<EventSystem::IEvent>> m_prototypes;
};

}  // namespace Networking
