#include "networking/Connection.h"

#include <algorithm>

#include "networking/Sockets.h"
#include "utility/HtmlLogger.h"

namespace Networking {

Connection::Connection(int s, const sockaddr_in& a) : address(a), socket(s) {}

uint16_t Connection::NextPacketId() {
    if (lastPacketId == 65535) lastPacketId = 0;
    return ++lastPacketId;
}

void Connection::QueuePacket(Packet& packet, uint32_t now) {
    if (!packet.numbered) {
        packet.id = NextPacketId();
        packet.previousReliableId = lastReliableSent;
        if (packet.reliable) lastReliableSent = packet.id;
    }
    packet.ack = lastReliableReceived;
    packet.address = address;
    packet.sendTime = now;
    packet.WriteHeader();
    pending.push_back(packet);
}

void Connection::SendPending() {
    for (Packet& packet : pending) {
        if (packet.reliable && !packet.numbered) {
            NetworkingLog.Log(HtmlLogger::LOG_INFO, "Reliable packet sent with ID: %i", packet.id);
            packet.numbered = true;
            unacknowledged.push_back(packet);
        }
        ++datagramsSent;
        bytesSent += packet.DatagramSize();
        SendData(socket, packet.Data(), packet.DatagramSize(), packet.address);
    }
    pending.clear();
}

void Connection::ProcessAck(uint16_t ackId) {
    // An ack beyond the last reliable packet numbered for this peer names
    // nothing we sent: it retires nothing.
    if (ackId == 0 || IdBefore(lastReliableSent, ackId)) return;
    while (!unacknowledged.empty() && IdAtOrBefore(unacknowledged.front().id, ackId)) unacknowledged.pop_front();
}

void Connection::ResendReliablePackets(uint32_t now) {
    // Every packet is looked at: after re-sends the list is no longer ordered
    // by send time.
    for (Packet& packet : unacknowledged) {
        if (static_cast<int32_t>(now - packet.sendTime) > static_cast<int32_t>(kResendAfterMs)) {
            NetworkingLog.Log(HtmlLogger::LOG_ERROR, "Reliable packet RE-SENT with ID: %i", packet.id);
            ++resends;
            QueuePacket(packet, now);
        }
    }
}

Connection::Arrival Connection::ClassifyReliable(const Packet& packet) const {
    if (packet.previousReliableId == lastReliableReceived) return Arrival::Deliver;
    if (IdBefore(lastReliableReceived, packet.previousReliableId)) return Arrival::Hold;
    return Arrival::Drop;
}

bool Connection::Hold(const Packet& packet) {
    if (held.size() >= kMaxHeld) return false;
    for (const Packet& h : held)
        if (h.id == packet.id) return false;
    held.push_back(packet);
    return true;
}

bool Connection::TakeNextHeld(Packet& out) {
    // Packets whose place in the chain has passed came in again by a re-send
    // and were delivered then.
    held.erase(std::remove_if(held.begin(), held.end(),
                              [&](const Packet& p) { return !IdBefore(lastReliableReceived, p.previousReliableId) &&
                                                            p.previousReliableId != lastReliableReceived; }),
               held.end());
    for (auto it = held.begin(); it != held.end(); ++it) {
        if (it->previousReliableId == lastReliableReceived) {
            out = *it;
            held.erase(it);
            lastReliableReceived = out.id;
            return true;
        }
    }
    return false;
}

}  // namespace Networking
