// Network control events: the host's announcement, the join handshake, the
// keep-alive, the hand-over of a silent machine to a bot, the server list and
// the request to connect; and the placeholder test type of the wire table.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "events/Event.h"

namespace Networking {

// ---- "ServerBroadcast": a host announces its game -----------------------------
struct EventServerBroadcastData : EventSystem::IEventData {
    std::string gameName;
    uint8_t mode = 0;     // 0 capture the flag, 1 sandbox
    uint8_t level = 0;    // level number
    uint8_t players = 0;  // machines in the game

    EventServerBroadcastData() = default;
    EventServerBroadcastData(std::string name, uint8_t m, uint8_t l, uint8_t p)
        : gameName(std::move(name)), mode(m), level(l), players(p) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventServerBroadcast : public EventSystem::PayloadEvent<EventServerBroadcast, EventServerBroadcastData> {
public:
    static constexpr const char* kTypeName = "ServerBroadcast";
    EventServerBroadcast() = default;
    EventServerBroadcast(const std::string& gameName, uint8_t mode, uint8_t level, uint8_t players)
        : PayloadEvent(std::make_shared<Data>(gameName, mode, level, players)) {}
};

// ---- "ClientConnectionAttempt": a machine asks to join ------------------------
struct EventClientConnectData : EventSystem::IEventData {
    uint8_t team = 0;  // the joining player's chosen team

    EventClientConnectData() = default;
    explicit EventClientConnectData(uint8_t t) : team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventClientConnect : public EventSystem::PayloadEvent<EventClientConnect, EventClientConnectData> {
public:
    static constexpr const char* kTypeName = "ClientConnectionAttempt";
    EventClientConnect() = default;
    explicit EventClientConnect(uint8_t team) : PayloadEvent(std::make_shared<Data>(team)) {}
};

// One client id: the layout of the handshake answer and the keep-alive.
struct ClientIdData : EventSystem::IEventData {
    uint8_t clientId = 0;

    ClientIdData() = default;
    explicit ClientIdData(uint8_t id) : clientId(id) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

// ---- "AssignClientID": the host's answer (not reliable) ------------------------
struct EventAssignClientIDData : ClientIdData {
    using ClientIdData::ClientIdData;
};
class EventAssignClientID : public EventSystem::PayloadEvent<EventAssignClientID, EventAssignClientIDData> {
public:
    static constexpr const char* kTypeName = "AssignClientID";
    EventAssignClientID() = default;
    explicit EventAssignClientID(uint8_t clientId) : PayloadEvent(std::make_shared<Data>(clientId)) {}
};

// ---- "ClientIsAlive": keep-alive ------------------------------------------------
struct EventClientIsAliveData : ClientIdData {
    using ClientIdData::ClientIdData;
};
class EventClientIsAlive : public EventSystem::PayloadEvent<EventClientIsAlive, EventClientIsAliveData> {
public:
    static constexpr const char* kTypeName = "ClientIsAlive";
    EventClientIsAlive() = default;
    explicit EventClientIsAlive(uint8_t clientId) : PayloadEvent(std::make_shared<Data>(clientId)) {}
    bool IsReliable() const override { return true; }
};

// ---- "ClientToBot": a joined machine went silent ---------------------------------
struct EventClientToBotData : EventSystem::IEventData {
    int16_t actorId = -1;  // the actor its player steered
    uint8_t team = 255;

    EventClientToBotData() = default;
    EventClientToBotData(int16_t actor, uint8_t t) : actorId(actor), team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventClientToBot : public EventSystem::PayloadEvent<EventClientToBot, EventClientToBotData> {
public:
    static constexpr const char* kTypeName = "ClientToBot";
    EventClientToBot(int16_t actorId, uint8_t team) : PayloadEvent(std::make_shared<Data>(actorId, team)) {}
};

// ---- "LtVEventUpdateServerList": one host seen (never leaves the machine) -------
struct EventUpdateServerListData : EventSystem::IEventData {
    std::string gameName;
    uint8_t mode = 0;
    uint8_t level = 0;
    uint8_t players = 0;
    int32_t socket = -1;  // the joining machine's socket
    sockaddr_in address{};  // the announcing host, as received

    EventUpdateServerListData() = default;
    EventUpdateServerListData(std::string name, uint8_t m, uint8_t l, uint8_t p, int32_t s, const sockaddr_in& a)
        : gameName(std::move(name)), mode(m), level(l), players(p), socket(s), address(a) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateServerList : public EventSystem::PayloadEvent<EventUpdateServerList, EventUpdateServerListData> {
public:
    static constexpr const char* kTypeName = "LtVEventUpdateServerList";
    EventUpdateServerList(const std::string& gameName, uint8_t mode, uint8_t level, uint8_t players, int32_t socket,
                          const sockaddr_in& address)
        : PayloadEvent(std::make_shared<Data>(gameName, mode, level, players, socket, address)) {}
};

// ---- "EventConnectToServer": join the chosen host --------------------------------
// Socket and address stay in memory: nothing is written, and Deserialize hands
// back a copy sharing this event's payload.
struct EventConnectToServerData : EventSystem::IEventData {
    int32_t socket = -1;
    sockaddr_in address{};

    EventConnectToServerData() = default;
    EventConnectToServerData(int32_t s, const sockaddr_in& a) : socket(s), address(a) {}
    void Write(EventSystem::ByteWriter&) const {}
    void Read(EventSystem::ByteReader&) {}
};
class EventConnectToServer : public EventSystem::PayloadEvent<EventConnectToServer, EventConnectToServerData> {
public:
    static constexpr const char* kTypeName = "EventConnectToServer";
    EventConnectToServer(int32_t socket, const sockaddr_in& address) : PayloadEvent(std::make_shared<Data>(socket, address)) {}
    std::shared_ptr<EventSystem::IEvent> Deserialize(EventSystem::ByteReader&) override { return Copy(); }
};

}  // namespace Networking

// ---- "EventTest": holds a place in the wire table; nothing raises it -------------
struct TestEventData : EventSystem::IEventData {
    int32_t value = 0;

    TestEventData() = default;
    explicit TestEventData(int32_t v) : value(v) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class TestEvent : public EventSystem::PayloadEvent<TestEvent, TestEventData> {
public:
    static constexpr const char* kTypeName = "EventTest";
    TestEvent() = default;
};
