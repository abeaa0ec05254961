// The machine's network endpoint while a multiplayer game is set up: one UDP
// socket, a connection per peer slot, the role's event handler, the queue of
// outgoing events packed once per flush period, and the reliable delivery
// that works on the connections.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "networking/NetworkSettings.h"

namespace EventSystem {
class IEvent;
}

namespace GameLogicView {
class MiravGameLogic;
}

namespace Networking {

class BaseEventHandler;
class Connection;
class Packet;

class NetworkManager {
public:
    using EventList = std::vector<std::shared_ptr<EventSystem::IEvent>>;

    static constexpr uint8_t kHostSlots = 3;
    static constexpr uint32_t kSilenceLimitMs = 10000;
    // Datagrams read in one update at most, so a flood cannot hold a frame.
    static constexpr int kMaxReceivesPerUpdate = 4096;

    // The process-wide manager, built with the current settings and the host
    // flag, with the role's handler in place (a host's or a joining
    // machine's); when one exists it is only pointed at the new queue.
    static NetworkManager* CreateInstance(EventList* incoming);
    // Null while no multiplayer game is set up.
    static NetworkManager* Instance();
    static void DestroyInstance();
    // Which role the next CreateInstance builds.
    static void SetHostFlag(bool host);
    static bool GetHostFlag();

    // A manager of its own (tools and tests may run several in one process):
    // binds the socket and opens the peer slots (3 for a host, 1 otherwise).
    NetworkManager(bool host, const NetworkSettings& settings, EventList* incoming);
    virtual ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // Hands an event over for the next packing.
    void SendEvent(std::shared_ptr<EventSystem::IEvent> event);
    // The per-frame step: time, silence, handler, flush, receive, re-send.
    void Update(uint32_t ms);
    // Puts every occupied slot back into its awaiting-join state.
    void MarkPeersAwaitingJoin();

    // Role handler (owned); a BasicEventHandler until a role sets its own.
    void SetHandler(std::unique_ptr<BaseEventHandler> handler);
    BaseEventHandler* GetHandler() const { return m_handler.get(); }
    // Hands the host's game logic to the host's handler, which creates the
    // joining machines' players in it; does nothing on a joining machine.
    void SetServerLogic(GameLogicView::MiravGameLogic* logic);
    void SetIncoming(EventList* incoming) { m_incoming = incoming; }
    // Who receives now: the owner the manager serves.
    EventList* GetIncoming() const { return m_incoming; }

    // Peer slots.
    uint8_t GetSlotCount() const { return static_cast<uint8_t>(m_peers.size()); }
    Connection* GetPeer(uint8_t slot) const;
    // Puts a new connection (this manager's socket, the address) into the
    // slot, replacing what was there; null for a slot out of range.
    Connection* OpenPeer(uint8_t slot, const sockaddr_in& address);
    void ClosePeer(uint8_t slot);
    // The first empty slot, or -1.
    int FirstEmptySlot() const;
    uint8_t GetConnectedCount() const { return m_connectedCount; }
    void SetConnectedCount(uint8_t n) { m_connectedCount = n; }

    bool IsHost() const { return m_host; }
    uint8_t GetOwnId() const { return m_ownId; }
    void SetOwnId(uint8_t id) { m_ownId = id; }
    uint32_t GetClock() const { return m_clock; }
    // The sender id written in the datagram being unpacked (or last
    // unpacked); together with GetAddress it tells a role who speaks.
    uint8_t GetLastSenderId() const { return m_lastSenderId; }
    int GetSocket() const { return m_socket; }
    // Takes another socket for sending and receiving (a joining machine
    // keeps the one it listed hosts on); the manager's own stays open.
    void SetSocket(int socket) { m_socket = socket; }
    // The bound port, 0 when the socket is not bound.
    uint16_t GetBoundPort() const;
    // After start-up the bound address; afterwards the sender of the last
    // datagram received.
    const sockaddr_in& GetAddress() const { return m_address; }
    void SetAddress(const sockaddr_in& address) { m_address = address; }
    bool IsGameStarted() const { return m_gameStarted; }
    void SetGameStarted(bool started) { m_gameStarted = started; }
    EventList& CreatedActors() { return m_createdActors; }
    const NetworkSettings& GetSettings() const { return m_settings; }

    // Milliseconds between packings, read once per process from the logic's
    // "NetworkingFramerate".
    static uint32_t FlushPeriod();

    // Steps of Update, open to the role handlers and to tests.
    void FlushOutgoing(uint32_t ms);
    void PackOutgoingEvents();
    void SendPacketToAll(Packet& packet);
    void ReceivePackets();
    // One received datagram from `from`, as the receive loop handles it.
    void HandleDatagram(const uint8_t* data, uint32_t size, const sockaddr_in& from);
    void UnpackPacket(Packet& packet);

    // Reliable delivery.
    void ProcessAck(const Packet& packet);
    void ReceiveReliablePacket(const Packet& packet);
    void DeliverHeldPackets(uint8_t senderId);
    void ResendReliablePackets(Connection& connection);

    struct Stats {
        uint64_t datagramsReceived = 0;
        uint64_t bytesReceived = 0;
        uint64_t dropped = 0;     // not a packet, oversized, duplicate, no peer
        uint64_t readErrors = 0;  // packets whose rest could not be read
    };
    const Stats& GetStats() const { return m_stats; }

private:
    void StartUp();
    void ShutDown();
    void CheckSilence(uint32_t ms);
    // The peer a packet came from: the slot its sender id names, when that
    // slot's connection has the address it came from.
    Connection* FindPeer(uint8_t senderId) const;

    NetworkSettings m_settings;
    bool m_host = false;
    uint8_t m_receiveBuffer[1025];
    uint32_t m_clock = 0;
    uint8_t m_ownId = 0;
    uint8_t m_lastSenderId = 0;
    EventList m_outgoing;
    EventList* m_incoming = nullptr;
    EventList m_createdActors;
    int m_ownSocket = -1;
    int m_socket = -1;
    sockaddr_in m_address{};
    std::vector<std::unique_ptr<Connection>> m_peers;
    uint8_t m_connectedCount = 0;
    std::unique_ptr<BaseEventHandler> m_handler;
    bool m_gameStarted = false;
    std::map<uint16_t, std::shared_ptr<EventSystem::IEvent>> m_latestMoves;
    std::map<uint16_t, std::shared_ptr<EventSystem::IEvent>> m_latestBlockInactive;
    std::map<std::pair<uint16_t, uint16_t>, std::shared_ptr<EventSystem::IEvent>> m_latestCollisions;
    uint32_t m_flushTimer = 0;
    Stats m_stats;
};

}  // namespace Networking
