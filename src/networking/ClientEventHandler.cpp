#include "networking/ClientEventHandler.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "utility/HtmlLogger.h"

namespace Networking {

using GameLogicView::GlobalGameState;

namespace {
bool Is(const EventSystem::IEvent& e, const EventSystem::EventType& type) { return e.GetTypeHash() == type.hash; }
template <class E>
const typename E::Data* PayloadIf(const EventSystem::IEvent& e) {
    if (e.GetTypeHash() != E::GetStaticType().hash) return nullptr;
    const auto* typed = dynamic_cast<const E*>(&e);
    return typed ? typed->GetPayload() : nullptr;
}
}  // namespace

void ClientEventHandler::Update() {
    // The silence rule empties the host's slot; an attempt that never got
    // its id ends there, and the machine may choose a host again.
    if (m_connecting && !m_connected && !m_manager.GetPeer(0)) {
        m_connecting = false;
        ++m_failedAttempts;
        NetworkingLog.Log(HtmlLogger::LOG_WARNING, "ClientEventHandler: the host did not answer the attempt");
    }
}

bool ClientEventHandler::HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    const EventSystem::IEvent& e = *event;
    if (const auto* connect = PayloadIf<EventConnectToServer>(e)) {
        // One host at a time.
        if (m_connecting || m_connected) return true;
        m_connecting = true;
        if (connect->socket >= 0) m_manager.SetSocket(connect->socket);
        m_manager.SetAddress(connect->address);
        m_manager.OpenPeer(0, connect->address);
        EventSystem::QueueEvent(std::make_shared<EventClientConnect>(
            GlobalGameState::Instance()->GetFlag(GlobalGameState::kTeam)));
        return true;
    }
    if (Is(e, EventClientConnect::GetStaticType())) return false;
    if (Is(e, EventClientIsAlive::GetStaticType())) {
        // Held back until the host has given us our id: sent before, its
        // reliable packet would carry sender id 0, which names another
        // machine's slot on the host, and block our reliable stream there.
        return !m_connected;
    }
    return !m_manager.IsGameStarted();
}

bool ClientEventHandler::FromHost() const {
    const Connection* host = m_manager.GetPeer(0);
    const sockaddr_in& from = m_manager.GetAddress();
    return host && m_manager.GetLastSenderId() == 0 && host->address.sin_addr.s_addr == from.sin_addr.s_addr &&
           host->address.sin_port == from.sin_port;
}

bool ClientEventHandler::HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    const EventSystem::IEvent& e = *event;
    if (const auto* announced = PayloadIf<EventServerBroadcast>(e)) {
        if (m_connected || m_connecting) return true;
        // Announcements leave from a socket of their own; the game listens
        // on the configured port of the same address.
        sockaddr_in host = m_manager.GetAddress();
        host.sin_port = htons(m_manager.GetSettings().port);
        EventSystem::QueueEvent(std::make_shared<EventUpdateServerList>(announced->gameName, announced->mode,
                                                                        announced->level, announced->players,
                                                                        m_manager.GetSocket(), host));
        return true;
    }
    // Past the announcements, only the chosen host is heard.
    if (!FromHost()) {
        ++m_refused;
        return true;
    }
    if (const auto* id = PayloadIf<EventAssignClientID>(e)) {
        if (!m_connected && m_connecting) {
            m_connecting = false;
            m_connected = true;
            m_manager.SetConnectedCount(static_cast<uint8_t>(m_manager.GetConnectedCount() + 1));
            m_manager.SetOwnId(id->clientId);
            GlobalGameState::Instance()->SetFlag(GlobalGameState::kClientIdAssigned, 1);
        }
        return true;
    }
    if (Is(e, EventTypes::EventUpdateStartGame::GetStaticType())) {
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kGameStarted, 1);
        m_manager.SetGameStarted(true);
        return false;
    }
    if (Is(e, EventClientIsAlive::GetStaticType())) return ConsumeKeepAlive(e);
    return false;
}

}  // namespace Networking
