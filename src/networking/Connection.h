// One peer: the packets queued for it and not yet sent, the reliable ones it
// has not acknowledged, the reliable ones that came from it ahead of their
// turn, and the counters that number and order both directions.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <list>
#include <vector>

#include "networking/Packet.h"
#include "networking/PacketIds.h"

namespace Networking {

class Connection {
public:
    // Packets from this peer kept while their predecessor is missing.
    static constexpr size_t kMaxHeld = 256;
    // Milliseconds a reliable packet waits for its acknowledgement before it
    // goes out again.
    static constexpr uint32_t kResendAfterMs = 50;

    Connection(int socket, const sockaddr_in& address);

    // Ids run 1..65535 and then 1 again; 0 is never given.
    uint16_t NextPacketId();
    // Numbers the packet for this peer (once), stamps ack, address and time,
    // writes its header and appends a copy to pending.
    void QueuePacket(Packet& packet, uint32_t now);
    // Transmits every pending packet (reliable ones enter unacknowledged at
    // their first transmission) and empties pending.
    void SendPending();

    // Retires every unacknowledged packet up to the ack. An ack of a packet
    // never sent is ignored.
    void ProcessAck(uint16_t ackId);
    // Queues again every unacknowledged packet older than the resend delay.
    void ResendReliablePackets(uint32_t now);

    // What a reliable packet from this peer is, against what was delivered.
    enum class Arrival { Deliver, Hold, Drop };
    Arrival ClassifyReliable(const Packet& packet) const;
    // Keeps a packet that came ahead of its turn; false (not kept) when it is
    // already held or the held list is full.
    bool Hold(const Packet& packet);
    // Takes the held packet that follows what was delivered, if any, and
    // moves lastReliableReceived to it; held packets left behind are dropped.
    bool TakeNextHeld(Packet& out);

    sockaddr_in address{};
    uint16_t lastPacketId = 0;
    uint16_t lastReliableSent = 0;
    uint16_t lastReliableReceived = 0;
    bool awaitingJoin = false;
    int socket = -1;
    std::list<Packet> pending;
    std::list<Packet> unacknowledged;
    std::vector<Packet> held;
    uint32_t silence = 0;
    int16_t actorId = -1;  // set when the host confirms this peer's player
    uint8_t team = 255;
    RecentIds seen;  // ids that came from this peer, for dropping duplicates
    // A reliable packet came from this peer since the last flush; when no
    // packet goes to it then, an empty one carries the acknowledgement.
    bool ackOwed = false;

    // Traffic counters.
    uint64_t datagramsSent = 0;
    uint64_t bytesSent = 0;
    uint64_t resends = 0;
};

}  // namespace Networking
