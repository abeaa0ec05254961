#include "networking/Packet.h"

#include <cstring>

#include "events/ByteStream.h"
#include "events/Event.h"
#include "networking/EventRegistry.h"

namespace Networking {

namespace {
constexpr uint8_t kMagic[5] = {'M', 'i', 'r', 'a', 'v'};

void PutShort(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}
uint16_t GetShort(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

Packet::Packet(uint8_t sender) : senderId(sender) {
    std::memset(buffer, 0, sizeof(buffer));
    EventRegistry::CreateInstance();
}

bool Packet::AddEvent(bool withIndex, const EventSystem::IEvent& event) {
    if (eventCount >= kMaxEvents) return false;
    EventSystem::ByteWriter writer(buffer + m_cursor, kMaxSize - used);
    if (withIndex) writer.WriteByte(EventRegistry::Instance()->GetIndex(event.GetTypeHash()));
    event.Serialize(writer);
    if (writer.HasOverflowed()) return false;
    used = static_cast<uint16_t>(used + writer.GetSize());
    m_cursor = static_cast<uint16_t>(m_cursor + writer.GetSize());
    ++eventCount;
    if (event.IsReliable()) reliable = 1;
    return true;
}

bool Packet::AddIndexedEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    return event && AddEvent(true, *event);
}

bool Packet::AddBareEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    return event && AddEvent(false, *event);
}

void Packet::WriteMoveIndex() {
    buffer[m_cursor] = EventRegistry::MoveIndex();
    ++m_cursor;
    ++used;
}

void Packet::WriteHeader() {
    std::memcpy(buffer, kMagic, sizeof(kMagic));
    buffer[5] = reliable;
    PutShort(buffer + 6, id);
    PutShort(buffer + 8, previousReliableId);
    PutShort(buffer + 10, ack);
    buffer[12] = senderId;
    buffer[13] = eventCount;
}

bool Packet::ReadHeader(const uint8_t* data, uint32_t size) {
    if (size > kMaxSize) size = kMaxSize;  // the trailing byte carries nothing
    std::memset(buffer, 0, sizeof(buffer));
    std::memcpy(buffer, data, size);
    received = static_cast<uint16_t>(size);
    used = static_cast<uint16_t>(size);
    if (size < kHeaderSize || std::memcmp(buffer, kMagic, sizeof(kMagic)) != 0) return false;
    reliable = buffer[5];
    id = GetShort(buffer + 6);
    previousReliableId = GetShort(buffer + 8);
    ack = GetShort(buffer + 10);
    senderId = buffer[12];
    eventCount = buffer[13];
    return true;
}

void Packet::ResetCursor() {
    m_cursor = kHeaderSize;
    m_readFailed = false;
}

bool Packet::IsMovePacket() {
    if (used <= kHeaderSize || buffer[kHeaderSize] != EventRegistry::MoveIndex()) return false;
    m_cursor = kHeaderSize + 1;
    return true;
}

std::shared_ptr<EventSystem::IEvent> Packet::Read(bool withIndex) {
    if (m_readFailed || m_cursor >= used) {
        m_readFailed = true;
        return nullptr;
    }
    EventSystem::ByteReader reader(buffer + m_cursor, static_cast<uint32_t>(used - m_cursor));
    const uint8_t index = withIndex ? reader.ReadByte() : EventRegistry::MoveIndex();
    EventSystem::IEvent* prototype = EventRegistry::Instance()->GetPrototype(index);
    std::shared_ptr<EventSystem::IEvent> event = prototype ? prototype->Deserialize(reader) : nullptr;
    if (!event || reader.HasFailed()) {
        m_readFailed = true;
        return nullptr;
    }
    m_cursor = static_cast<uint16_t>(m_cursor + reader.GetBytesRead());
    return event;
}

std::shared_ptr<EventSystem::IEvent> Packet::ReadEvent() { return Read(true); }

std::shared_ptr<EventSystem::IEvent> Packet::ReadBareMove() { return Read(false); }

}  // namespace Networking
