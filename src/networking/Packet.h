// One datagram: a 14-byte header ("Mirav", reliable flag, packet id,
// previous reliable id, ack, sender id, event count) and the events, each
// as its wire index and payload. Filled event by event when sending, read
// event by event when receiving; reading never passes the received bytes.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>

namespace EventSystem {
class IEvent;
}

namespace Networking {

class Packet {
public:
    static constexpr uint32_t kHeaderSize = 14;
    static constexpr uint32_t kMaxSize = 1024;           // header included
    static constexpr uint32_t kBufferSize = kMaxSize + 1;  // plus the trailing datagram byte
    static constexpr uint8_t kMaxEvents = 255;           // the count is one byte

    explicit Packet(uint8_t senderId = 0);

    // Adds the event with or without its index byte. False, and the packet
    // unchanged, when it does not fit (or the packet already holds 255).
    bool AddIndexedEvent(const std::shared_ptr<EventSystem::IEvent>& event);
    bool AddBareEvent(const std::shared_ptr<EventSystem::IEvent>& event);
    // The first byte of a move packet; no capacity check.
    void WriteMoveIndex();

    void WriteHeader();
    // Takes a received datagram of `size` bytes (at most kBufferSize are
    // looked at). False when it cannot hold a header or lacks the magic.
    bool ReadHeader(const uint8_t* data, uint32_t size);

    void ResetCursor();
    // True when the payload starts with the move index; the cursor then
    // skips it.
    bool IsMovePacket();
    // The next event, or null when the bytes left do not hold one (an index
    // no type has, or a payload cut short); reading then stops for good.
    std::shared_ptr<EventSystem::IEvent> ReadEvent();
    std::shared_ptr<EventSystem::IEvent> ReadBareMove();
    bool HasFailed() const { return m_readFailed; }

    bool HasEvents() const { return eventCount > 0; }
    const uint8_t* Data() const { return buffer; }
    // Bytes a transmission sends: the used bytes and the one after them.
    uint32_t DatagramSize() const { return used + 1; }

    uint8_t reliable = 0;
    uint16_t id = 0;
    uint16_t previousReliableId = 0;
    uint16_t ack = 0;
    uint8_t senderId = 0;
    uint8_t eventCount = 0;
    uint8_t buffer[kBufferSize];
    bool numbered = false;
    uint16_t used = kHeaderSize;
    // Received packets: how many bytes of the buffer came off the wire.
    uint16_t received = 0;
    sockaddr_in address{};
    uint32_t sendTime = 0;

private:
    bool AddEvent(bool withIndex, const EventSystem::IEvent& event);
    std::shared_ptr<EventSystem::IEvent> Read(bool withIndex);

    uint16_t m_cursor = kHeaderSize;  // offset into the buffer
    bool m_readFailed = false;
};

}  // namespace Networking
