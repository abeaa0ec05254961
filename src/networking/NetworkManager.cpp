#include "networking/NetworkManager.h"

#include <sys/socket.h>

#include <cstring>

#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "ini/IniFile.h"
#include "networking/BaseEventHandler.h"
#include "networking/ServerEventHandler.h"
#include "networking/ClientEventHandler.h"
#include "networking/ServerEventHandler.h"
#include "networking/Connection.h"
#include "networking/EventRegistry.h"
#include "networking/Packet.h"
#include "networking/Sockets.h"
#include "utility/Diagnostics.h"
#include "utility/HtmlLogger.h"

namespace Networking {

namespace {
NetworkManager* g_instance = nullptr;
bool g_hostFlag = false;
// Managers alive; the wire registry goes with the last one.
int g_live = 0;

template <class E>
const E* As(const EventSystem::IEvent& e) {
    return e.GetTypeHash() == E::GetStaticType().hash ? dynamic_cast<const E*>(&e) : nullptr;
}
}  // namespace

// ---- process-wide instance --------------------------------------------------

NetworkManager* NetworkManager::CreateInstance(EventList* incoming) {
    if (g_instance) {
        g_instance->SetIncoming(incoming);
        return g_instance;
    }
    g_instance = new NetworkManager(g_hostFlag, CurrentNetworkSettings(), incoming);
    if (g_hostFlag)
        g_instance->SetHandler(std::make_unique<ServerEventHandler>(*g_instance));
    else
        g_instance->SetHandler(std::make_unique<ClientEventHandler>(*g_instance));
    return g_instance;
}

NetworkManager* NetworkManager::Instance() { return g_instance; }

void NetworkManager::DestroyInstance() {
    delete g_instance;
    g_instance = nullptr;
}

void NetworkManager::SetHostFlag(bool host) { g_hostFlag = host; }
bool NetworkManager::GetHostFlag() { return g_hostFlag; }

uint32_t NetworkManager::FlushPeriod() {
    static const uint32_t period = [] {
        const float fps = Utility::ReadIniOrDefault<float>(Utility::Key("NetworkingFramerate"),
                                                           Utility::Section("LOGIC"), "Config/Config.ini", 60.0f);
        if (!(fps > 0.0f))
            Utility::ReportWarning("Config/Config.ini: [LOGIC] NetworkingFramerate must be above 0; using 60");
        return FlushPeriodForFramerate(fps);
    }();
    return period;
}

// ---- life ---------------------------------------------------------------------

NetworkManager::NetworkManager(bool host, const NetworkSettings& settings, EventList* incoming)
    : m_settings(settings), m_host(host), m_incoming(incoming) {
    std::memset(m_receiveBuffer, 0, sizeof(m_receiveBuffer));
    ++g_live;
    StartUp();
}

NetworkManager::~NetworkManager() {
    ShutDown();
    --g_live;
    if (g_live == 0) EventRegistry::DestroyInstance();
}

void NetworkManager::StartUp() {
    EventRegistry::CreateInstance();
    if (!CreateSocket(m_ownSocket)) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "NetworkManager::StartUp(): could not create socket.");
    }
    m_socket = m_ownSocket;
    if (!MakeAddress(m_settings.bindAddress, m_settings.port, m_address)) {
        MakeAddress("0.0.0.0", m_settings.port, m_address);
    }
    if (m_socket >= 0 && !BindSocketToPort(m_socket, m_address)) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "Bind failed in NetworkManager::StartUp");
    }
    m_ownId = 0;
    m_peers.clear();
    m_peers.resize(m_host ? kHostSlots : 1);
    m_connectedCount = 0;
    m_handler = std::make_unique<BasicEventHandler>(*this);
    GameLogicView::GlobalGameState::Instance()->SetFlag(GameLogicView::GlobalGameState::kMachines, 1);
}

void NetworkManager::ShutDown() {
    CloseSocket(m_ownSocket);
    m_socket = -1;
    m_peers.clear();
    m_handler.reset();
}

void NetworkManager::SetHandler(std::unique_ptr<BaseEventHandler> handler) { m_handler = std::move(handler); }

// ---- peers -------------------------------------------------------------------------

Connection* NetworkManager::GetPeer(uint8_t slot) const {
    return slot < m_peers.size() ? m_peers[slot].get() : nullptr;
}

Connection* NetworkManager::OpenPeer(uint8_t slot, const sockaddr_in& address) {
    if (slot >= m_peers.size()) return nullptr;
    m_peers[slot] = std::make_unique<Connection>(m_socket, address);
    return m_peers[slot].get();
}

void NetworkManager::ClosePeer(uint8_t slot) {
    if (slot < m_peers.size()) m_peers[slot].reset();
}

int NetworkManager::FirstEmptySlot() const {
    for (size_t i = 0; i < m_peers.size(); ++i)
        if (!m_peers[i]) return static_cast<int>(i);
    return -1;
}

void NetworkManager::MarkPeersAwaitingJoin() {
    for (auto& peer : m_peers)
        if (peer) peer->awaitingJoin = true;
}

uint16_t NetworkManager::GetBoundPort() const {
    if (m_ownSocket < 0) return 0;
    sockaddr_in a{};
    socklen_t len = sizeof(a);
    if (getsockname(m_ownSocket, reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

Connection* NetworkManager::FindPeer(uint8_t senderId) const {
    Connection* peer = GetPeer(senderId);
    if (!peer) return nullptr;
    // Only the machine in the slot speaks for it.
    if (peer->address.sin_addr.s_addr != m_address.sin_addr.s_addr || peer->address.sin_port != m_address.sin_port)
        return nullptr;
    return peer;
}

// ---- the frame -----------------------------------------------------------------

void NetworkManager::SendEvent(std::shared_ptr<EventSystem::IEvent> event) {
    if (event) m_outgoing.push_back(std::move(event));
}

void NetworkManager::Update(uint32_t ms) {
    m_clock += ms;
    CheckSilence(ms);
    if (m_handler) m_handler->Update();
    FlushOutgoing(ms);
    ReceivePackets();
    for (auto& peer : m_peers)
        if (peer) ResendReliablePackets(*peer);
}

void NetworkManager::CheckSilence(uint32_t ms) {
    using GameLogicView::GlobalGameState;
    for (size_t slot = 0; slot < m_peers.size(); ++slot) {
        Connection* peer = m_peers[slot].get();
        if (!peer) continue;
        peer->silence += ms;
        if (peer->silence <= kSilenceLimitMs) continue;
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "Peer in slot %i timed out", static_cast<int>(slot));
        GlobalGameState* state = GlobalGameState::Instance();
        if (state->GetFlag(GlobalGameState::kJoiningMachine) != 0) {
            EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameOver>(255, 0));
        } else {
            if (m_connectedCount > 0) --m_connectedCount;
            state->SetFlag(GlobalGameState::kMachines, static_cast<uint8_t>(m_connectedCount + 1));
            // A machine that left before its player was confirmed has no
            // actor to hand over.
            if (peer->actorId != -1)
                EventSystem::QueueEvent(std::make_shared<EventClientToBot>(peer->actorId, peer->team));
        }
        m_peers[slot].reset();
    }
}

void NetworkManager::FlushOutgoing(uint32_t ms) {
    m_flushTimer += ms;
    if (m_flushTimer > FlushPeriod()) {
        PackOutgoingEvents();
        m_flushTimer = 0;
    }
    for (auto& peer : m_peers) {
        if (!peer) continue;
        // A peer that sent reliable packets while we had nothing for it would
        // otherwise wait for our next event (a keep-alive, up to a second
        // away) to learn they arrived, and keep sending them every 50 ms.
        if (peer->ackOwed && peer->pending.empty()) {
            Packet ackOnly(m_ownId);
            peer->QueuePacket(ackOnly, m_clock);
        }
        peer->ackOwed = false;
        peer->SendPending();
    }
}

void NetworkManager::PackOutgoingEvents() {
    using namespace EventTypes;
    EventList reliable;
    EventList unreliable;
    // The handler may send events of its own while it looks at these.
    EventList outgoing;
    outgoing.swap(m_outgoing);
    for (const auto& event : outgoing) {
        if (m_handler && m_handler->HandleOutgoingEvent(event)) continue;
        const uint32_t type = event->GetTypeHash();
        if (type == EventUpdateActorMove::GetStaticType().hash) {
            if (const auto* move = As<EventUpdateActorMove>(*event); move && move->GetPayload()) {
                m_latestMoves[static_cast<uint16_t>(move->GetPayload()->actorId)] = event;
                continue;
            }
        } else if (type == EventUpdateCollisionToClient::GetStaticType().hash) {
            // The physics report of the same name has no wire form.
            const auto* hit = dynamic_cast<const EventUpdateCollisionToClient*>(event.get());
            if (hit && hit->GetPayload()) {
                const auto* d = hit->GetPayload();
                m_latestCollisions[{static_cast<uint16_t>(d->actorIdA), static_cast<uint16_t>(d->actorIdB)}] = event;
            }
            continue;
        } else if (type == EventUpdateBlockActive::GetStaticType().hash) {
            if (const auto* block = As<EventUpdateBlockActive>(*event); block && block->GetPayload()) {
                m_latestBlockInactive[static_cast<uint16_t>(block->GetPayload()->blockId)] = event;
                continue;
            }
        }
        (event->IsReliable() ? reliable : unreliable).push_back(event);
    }
    for (auto& kv : m_latestCollisions) unreliable.push_back(kv.second);
    for (auto& kv : m_latestBlockInactive) reliable.push_back(kv.second);

    auto packNormal = [&](Packet& packet, const std::shared_ptr<EventSystem::IEvent>& event) {
        if (packet.AddIndexedEvent(event)) return;
        SendPacketToAll(packet);
        packet = Packet(m_ownId);
        if (!packet.AddIndexedEvent(event))
            NetworkingLog.Log(HtmlLogger::LOG_ERROR, "Event %s does not fit in a packet", event->GetTypeName());
    };
    Packet packet(m_ownId);
    for (const auto& e : reliable) packNormal(packet, e);
    for (const auto& e : unreliable) packNormal(packet, e);
    if (packet.HasEvents()) SendPacketToAll(packet);

    if (!m_latestMoves.empty()) {
        Packet moves(m_ownId);
        moves.WriteMoveIndex();
        for (const auto& kv : m_latestMoves) {
            if (moves.AddBareEvent(kv.second)) continue;
            SendPacketToAll(moves);
            moves = Packet(m_ownId);
            moves.WriteMoveIndex();
            moves.AddBareEvent(kv.second);
        }
        if (moves.HasEvents()) SendPacketToAll(moves);
    }

    m_latestMoves.clear();
    m_latestCollisions.clear();
    m_latestBlockInactive.clear();
}

void NetworkManager::SendPacketToAll(Packet& packet) {
    for (auto& peer : m_peers)
        if (peer) peer->QueuePacket(packet, m_clock);
}

// ---- receiving -------------------------------------------------------------------

void NetworkManager::ReceivePackets() {
    for (int n = 0; n < kMaxReceivesPerUpdate && SniffForRecieving(m_socket); ++n) {
        std::memset(m_receiveBuffer, 0, sizeof(m_receiveBuffer));
        sockaddr_in from{};
        const long size = RecieveData(m_socket, m_receiveBuffer, sizeof(m_receiveBuffer), from);
        if (size < 0) continue;
        if (size > static_cast<long>(sizeof(m_receiveBuffer))) {
            // Cut by the receive: no packet of ours is that long.
            ++m_stats.dropped;
            continue;
        }
        HandleDatagram(m_receiveBuffer, static_cast<uint32_t>(size), from);
    }
}

void NetworkManager::HandleDatagram(const uint8_t* data, uint32_t size, const sockaddr_in& from) {
    ++m_stats.datagramsReceived;
    m_stats.bytesReceived += size;
    if (size > Packet::kBufferSize) {
        ++m_stats.dropped;
        return;
    }
    m_address = from;
    Packet packet(0);
    if (!packet.ReadHeader(data, size)) {
        ++m_stats.dropped;
        return;
    }
    m_lastSenderId = packet.senderId;
    ProcessAck(packet);
    if (packet.reliable) {
        ReceiveReliablePacket(packet);
    } else {
        // An unreliable packet goes up at once, but only the first copy of it.
        Connection* peer = FindPeer(packet.senderId);
        if (!peer || peer->seen.Mark(packet.id)) {
            UnpackPacket(packet);
        } else {
            ++m_stats.dropped;
        }
    }
    DeliverHeldPackets(packet.senderId);
}

void NetworkManager::UnpackPacket(Packet& packet) {
    packet.ResetCursor();
    const bool moves = packet.IsMovePacket();
    for (int i = 0; i < packet.eventCount; ++i) {
        std::shared_ptr<EventSystem::IEvent> event = moves ? packet.ReadBareMove() : packet.ReadEvent();
        if (!event) {
            // An unknown index or a payload cut short: the rest of the
            // datagram cannot be found.
            ++m_stats.readErrors;
            NetworkingLog.Log(HtmlLogger::LOG_ERROR, "Packet %i from %i: event %i of %i unreadable; rest dropped",
                              packet.id, packet.senderId, i + 1, packet.eventCount);
            return;
        }
        if (m_handler && m_handler->HandleIncomingEvent(event)) continue;
        if (m_incoming) m_incoming->push_back(std::move(event));
    }
}

// ---- reliable delivery --------------------------------------------------------------

void NetworkManager::ProcessAck(const Packet& packet) {
    if (Connection* peer = FindPeer(packet.senderId)) peer->ProcessAck(packet.ack);
}

void NetworkManager::ReceiveReliablePacket(const Packet& packet) {
    Connection* peer = FindPeer(packet.senderId);
    if (!peer) {
        ++m_stats.dropped;
        return;
    }
    peer->seen.Mark(packet.id);
    peer->ackOwed = true;
    switch (peer->ClassifyReliable(packet)) {
        case Connection::Arrival::Deliver: {
            peer->lastReliableReceived = packet.id;
            Packet copy = packet;
            UnpackPacket(copy);
            break;
        }
        case Connection::Arrival::Hold:
            if (!peer->Hold(packet)) ++m_stats.dropped;
            break;
        case Connection::Arrival::Drop:
            ++m_stats.dropped;
            break;
    }
}

void NetworkManager::DeliverHeldPackets(uint8_t senderId) {
    Connection* peer = FindPeer(senderId);
    if (!peer) return;
    Packet next;
    while (peer->TakeNextHeld(next)) {
        UnpackPacket(next);
        // A handler may have closed the slot while the events went up.
        if (FindPeer(senderId) != peer) return;
    }
}

void NetworkManager::ResendReliablePackets(Connection& connection) { connection.ResendReliablePackets(m_clock); }

void NetworkManager::SetServerLogic(GameLogicView::MiravGameLogic* logic) {
    if (auto* host = dynamic_cast<ServerEventHandler*>(m_handler.get())) host->SetLogic(logic);
}

}  // namespace Networking
