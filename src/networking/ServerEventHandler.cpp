#include "networking/ServerEventHandler.h"

#include <sys/socket.h>

#include <cerrno>
#include <sstream>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/MiravGameLogic.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "networking/Packet.h"
#include "networking/Sockets.h"
#include "physics/PhysBody.h"
#include "utility/HtmlLogger.h"

namespace Networking {

using GameLogicView::GlobalGameState;

namespace {

template <class E>
const typename E::Data* PayloadIf(const EventSystem::IEvent& e) {
    if (e.GetTypeHash() != E::GetStaticType().hash) return nullptr;
    const auto* typed = dynamic_cast<const E*>(&e);
    return typed ? typed->GetPayload() : nullptr;
}

bool Is(const EventSystem::IEvent& e, const EventSystem::EventType& type) { return e.GetTypeHash() == type.hash; }

// The actor a joined machine's command names; false for anything that is
// not such a command.
bool CommandActor(const EventSystem::IEvent& e, int16_t& actor) {
    using namespace EventTypes;
    if (const auto* d = PayloadIf<EventCommandActorMove>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandActorJump>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandActorTurn>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandPickUpBlock>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandThrowBlock>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandPlaceBlock>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventCommandWhistle>(e)) return actor = d->actorId, true;
    if (const auto* d = PayloadIf<EventHackActorView>(e)) return actor = d->actorId, true;
    return false;
}

std::vector<sockaddr_in> ParseAddresses(const std::string& text, uint16_t port) {
    std::string spaced = text;
    for (char& c : spaced)
        if (c == ',') c = ' ';
    std::istringstream in(spaced);
    std::vector<sockaddr_in> out;
    std::string word;
    while (in >> word) {
        sockaddr_in a{};
        if (MakeAddress(word, port, a))
            out.push_back(a);
        else
            NetworkingLog.Log(HtmlLogger::LOG_ERROR, "ServerEventHandler: bad announcement address %s", word.c_str());
    }
    return out;
}

}  // namespace

ServerEventHandler::ServerEventHandler(NetworkManager& manager) : BaseEventHandler(manager) {
    const NetworkSettings& settings = manager.GetSettings();
    if (!CreateSocket(m_broadcastSocket)) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "ServerEventHandler: could not create socket.");
    } else {
        const int on = 1;
        if (setsockopt(m_broadcastSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0)
            NetworkingLog.Log(HtmlLogger::LOG_ERROR, "ServerEventHandler - Error returned from setsockopt: %i", errno);
        // Announce from the address the game listens on, so the machines
        // that hear it answer the right one (an unbound socket would let the
        // system pick).
        sockaddr_in from{};
        if (MakeAddress(settings.bindAddress, 0, from) && from.sin_addr.s_addr != htonl(INADDR_ANY))
            BindSocketToPort(m_broadcastSocket, from);
    }
    m_announceTo = ParseAddresses(settings.announcementAddress, settings.port);
    m_lastAnnouncement = 0;
}

ServerEventHandler::~ServerEventHandler() { CloseSocket(m_broadcastSocket); }

int ServerEventHandler::SlotOfAddress(const sockaddr_in& a) const {
    for (uint8_t slot = 0; slot < m_manager.GetSlotCount(); ++slot) {
        const Connection* peer = m_manager.GetPeer(slot);
        if (peer && peer->address.sin_addr.s_addr == a.sin_addr.s_addr && peer->address.sin_port == a.sin_port)
            return slot;
    }
    return -1;
}

void ServerEventHandler::Update() {
    if (m_manager.GetConnectedCount() >= m_manager.GetSlotCount()) return;
    if (static_cast<int32_t>(m_manager.GetClock() - m_lastAnnouncement) <= kAnnounceEveryMs) return;
    m_lastAnnouncement = m_manager.GetClock();
    const GlobalGameState* state = GlobalGameState::Instance();
    m_manager.SendEvent(std::make_shared<EventServerBroadcast>(kGameName, state->GetFlag(GlobalGameState::kGameMode),
                                                               state->GetFlag(GlobalGameState::kLevel),
                                                               state->GetFlag(GlobalGameState::kMachines)));
}

void ServerEventHandler::Announce(const std::shared_ptr<EventSystem::IEvent>& event) {
    Packet packet(m_manager.GetOwnId());
    packet.AddIndexedEvent(event);
    packet.reliable = 0;
    packet.WriteHeader();
    for (const sockaddr_in& to : m_announceTo) {
        if (m_broadcastSocket < 0) break;
        packet.address = to;
        SendData(m_broadcastSocket, packet.Data(), packet.DatagramSize(), to);
    }
}

bool ServerEventHandler::HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    using namespace EventTypes;
    const EventSystem::IEvent& e = *event;
    if (Is(e, EventServerBroadcast::GetStaticType())) {
        Announce(event);
        return true;
    }
    if (Is(e, EventUpdateGameIDs::GetStaticType())) {
        SendJoinSnapshot(event);
        return true;
    }
    if (Is(e, EventUpdateCreateActor::GetStaticType())) {
        m_manager.CreatedActors().push_back(event);
        return false;
    }
    if (Is(e, EventUpdateStartGame::GetStaticType())) {
        m_manager.SetGameStarted(true);
        return false;
    }
    if (const auto* forced = PayloadIf<EventForcedActorUpdate>(e)) {
        if (Connection* peer = m_manager.GetPeer(forced->clientId); peer && forced->move.GetPayload()) {
            Packet packet(m_manager.GetOwnId());
            packet.AddIndexedEvent(forced->move.Copy());
            packet.reliable = 1;
            peer->QueuePacket(packet, m_manager.GetClock());
        }
        return true;
    }
    return false;
}

void ServerEventHandler::SendJoinSnapshot(const std::shared_ptr<EventSystem::IEvent>& confirmation) {
    const auto* ids = PayloadIf<EventTypes::EventUpdateGameIDs>(*confirmation);
    Connection* peer = nullptr;
    for (uint8_t slot = 0; slot < m_manager.GetSlotCount() && !peer; ++slot) {
        Connection* c = m_manager.GetPeer(slot);
        if (c && c->awaitingJoin) peer = c;
    }
    // A confirmation nobody waits for goes nowhere.
    if (!peer || !ids) return;
    peer->awaitingJoin = false;
    peer->actorId = ids->actorId;
    peer->team = ids->team;

    const uint8_t own = m_manager.GetOwnId();
    const uint32_t now = m_manager.GetClock();
    Packet packet(own);
    auto add = [&](const std::shared_ptr<EventSystem::IEvent>& e) {
        if (packet.AddIndexedEvent(e)) return;
        packet.reliable = 1;
        peer->QueuePacket(packet, now);
        packet = Packet(own);
        packet.AddIndexedEvent(e);
    };
    add(confirmation);
    auto& created = m_manager.CreatedActors();
    for (auto it = created.begin(); it != created.end();) {
        // The kept report is brought up to date before it goes out again.
        auto* typed = dynamic_cast<EventTypes::EventUpdateCreateActor*>(it->get());
        auto* d = typed ? typed->GetPayload() : nullptr;
        GameLogicView::ActorPtr actor = (d && m_logic) ? m_logic->GetActor(static_cast<uint16_t>(d->actorId)) : nullptr;
        if (!actor) {
            // Gone since: neither sent nor kept.
            it = created.erase(it);
            continue;
        }
        if (actor->body) {
            d->orientation = actor->body->GetOrientation();
            d->position = actor->body->GetPosition();
        }
        add(*it);
        ++it;
    }
    // The joining machine runs no level of its own, so without these it
    // would know no capture point (no goal markers, nothing to aim for).
    // They follow the confirmation, so its view already knows its team.
    if (m_logic && m_logic->GetCapMan()) {
        for (uint8_t team = 0; team < 2; ++team) {
            const std::vector<Geometry::Vector3>* points = m_logic->GetCapMan()->GetCapturePoints(team);
            if (!points) continue;
            for (const Geometry::Vector3& p : *points) add(std::make_shared<EventTypes::EventUpdateCapPtCreated>(p, team));
        }
    }
    if (packet.HasEvents()) {
        packet.reliable = 1;
        peer->QueuePacket(packet, now);
    }
    // Each state event in a reliable packet of its own.
    auto sendAlone = [&](const std::shared_ptr<EventSystem::IEvent>& e) {
        Packet single(own);
        if (!single.AddIndexedEvent(e)) return;
        single.reliable = 1;
        peer->QueuePacket(single, now);
    };
    if (m_logic) {
        m_logic->GetPlayerManager().SendStateToClient(sendAlone);
        m_logic->GetFlagMan().SendStateToClient(sendAlone);
    }
    sendAlone(std::make_shared<EventTypes::EventUpdateStartGame>());
}

bool ServerEventHandler::Refuse(const EventSystem::IEvent& event, const char* why) {
    ++m_refused;
    const sockaddr_in& from = m_manager.GetAddress();
    NetworkingLog.Log(HtmlLogger::LOG_WARNING, "ServerEventHandler: refused %s from %08x:%u (sender id %i): %s",
                      event.GetTypeName(), ntohl(from.sin_addr.s_addr), ntohs(from.sin_port),
                      m_manager.GetLastSenderId(), why);
    return true;
}

bool ServerEventHandler::MayComeFrom(const EventSystem::IEvent& e, uint8_t slot) const {
    const Connection* peer = m_manager.GetPeer(slot);
    if (!peer) return false;
    int16_t actor = -1;
    // Only its own player's commands, and only once that player exists.
    if (CommandActor(e, actor)) return peer->actorId != -1 && actor == peer->actorId;
    return false;
}

bool ServerEventHandler::HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    const EventSystem::IEvent& e = *event;
    // Another host's announcement, or our own coming back: nothing to do.
    if (Is(e, EventServerBroadcast::GetStaticType())) return true;

    const int slot = SlotOfAddress(m_manager.GetAddress());
    if (Is(e, EventClientConnect::GetStaticType())) {
        // A machine that holds a slot already asked before (a duplicated
        // datagram, or a second try): it keeps what it has.
        if (slot >= 0) return true;
        return OnConnectionAttempt(e);
    }
    // Everything else comes only from a machine holding a slot, and only in
    // its own name: a sender id other than its slot (0 would claim the
    // host's) is not trusted.
    if (slot < 0) return Refuse(e, "unknown address");
    if (m_manager.GetLastSenderId() != slot) return Refuse(e, "sender id is not the slot of its address");
    if (const auto* alive = PayloadIf<EventClientIsAlive>(e)) {
        if (alive->clientId != slot) return Refuse(e, "keep-alive for another slot");
        m_manager.GetPeer(static_cast<uint8_t>(slot))->silence = 0;
        return true;
    }
    if (!MayComeFrom(e, static_cast<uint8_t>(slot))) return Refuse(e, "not a command for its own actor");
    // Its command: the server view hands it to the logic.
    return false;
}

bool ServerEventHandler::OnConnectionAttempt(const EventSystem::IEvent& e) {
    const auto* attempt = PayloadIf<EventClientConnect>(e);
    if (!attempt) return true;
    const int slot = m_manager.FirstEmptySlot();
    if (slot < 0) {
        // Refused whole: no slot, no player, nothing counted.
        return Refuse(e, "all slots taken");
    }
    // Teams are 0 and 1; anything else joins team 0.
    const uint8_t team = attempt->team == 1 ? 1 : 0;
    if (m_manager.IsGameStarted() && m_logic) m_logic->CreatePlayer(team);
    m_manager.SetConnectedCount(static_cast<uint8_t>(m_manager.GetConnectedCount() + 1));
    // The machine is answered where its datagrams come from (its game
    // socket), so machines sharing one host address each keep their own.
    Connection* peer = m_manager.OpenPeer(static_cast<uint8_t>(slot), m_manager.GetAddress());
    Packet packet(m_manager.GetOwnId());
    packet.AddIndexedEvent(std::make_shared<EventAssignClientID>(static_cast<uint8_t>(slot)));
    packet.reliable = 1;
    peer->QueuePacket(packet, m_manager.GetClock());
    peer->awaitingJoin = true;
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kMachines, static_cast<uint8_t>(state->GetFlag(GlobalGameState::kMachines) + 1));
    NetworkingLog.Log(HtmlLogger::LOG_INFO, "ServerEventHandler: machine joins in slot %i", slot);
    // The server view queues it for its own listener.
    return false;
}

}  // namespace Networking
