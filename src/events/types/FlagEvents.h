// The logic's reports on the flags and on the course of a match.
#pragma once

#include <cstdint>

#include "events/Event.h"
#include "utility/Geometry.h"

namespace EventTypes {

// A player and a flag, with both teams: the layout of grab and drop.
struct FlagHandData : EventSystem::IEventData {
    int16_t actorId = -1;  // -1 when no player was involved
    int16_t flagId = -1;
    uint8_t team = 255;  // the player's
    uint8_t flagTeam = 255;

    FlagHandData() = default;
    FlagHandData(int16_t actor, int16_t flag, uint8_t t, uint8_t ft)
        : actorId(actor), flagId(flag), team(t), flagTeam(ft) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

// ---- "LtVFlagGrabbed" ------------------------------------------------------
struct EventUpdateFlagGrabbedData : FlagHandData {
    using FlagHandData::FlagHandData;
};
class EventUpdateFlagGrabbed : public EventSystem::PayloadEvent<EventUpdateFlagGrabbed, EventUpdateFlagGrabbedData> {
public:
    static constexpr const char* kTypeName = "LtVFlagGrabbed";
    EventUpdateFlagGrabbed() = default;
    EventUpdateFlagGrabbed(int16_t actorId, int16_t flagId, uint8_t team, uint8_t flagTeam)
        : PayloadEvent(std::make_shared<Data>(actorId, flagId, team, flagTeam)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVFlagDropped": actorId -1 and team 255 when the flag-check moved it -
struct EventUpdateFlagDroppedData : FlagHandData {
    using FlagHandData::FlagHandData;
};
class EventUpdateFlagDropped : public EventSystem::PayloadEvent<EventUpdateFlagDropped, EventUpdateFlagDroppedData> {
public:
    static constexpr const char* kTypeName = "LtVFlagDropped";
    EventUpdateFlagDropped() = default;
    EventUpdateFlagDropped(int16_t actorId, int16_t flagId, uint8_t team, uint8_t flagTeam)
        : PayloadEvent(std::make_shared<Data>(actorId, flagId, team, flagTeam)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVFlagCaptured": bytes follow the constructor's order ----------------
struct EventUpdateFlagCapturedData : EventSystem::IEventData {
    int16_t actorId = -1;  // the player credited
    int16_t flagId = -1;
    uint8_t team = 255;  // the scoring team
    uint8_t flagTeam = 255;
    Geometry::Vector3 position{};  // the capture point's

    EventUpdateFlagCapturedData() = default;
    EventUpdateFlagCapturedData(int16_t actor, uint8_t t, uint8_t ft, int16_t flag, const Geometry::Vector3& pos)
        : actorId(actor), flagId(flag), team(t), flagTeam(ft), position(pos) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateFlagCaptured
    : public EventSystem::PayloadEvent<EventUpdateFlagCaptured, EventUpdateFlagCapturedData> {
public:
    static constexpr const char* kTypeName = "LtVFlagCaptured";
    EventUpdateFlagCaptured() = default;
    EventUpdateFlagCaptured(int16_t actorId, uint8_t team, uint8_t flagTeam, int16_t flagId,
                            const Geometry::Vector3& position)
        : PayloadEvent(std::make_shared<Data>(actorId, team, flagTeam, flagId, position)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVFlagRecovered": a flag went back home ------------------------------
struct EventUpdateFlagRecoveredData : EventSystem::IEventData {
    uint8_t flagTeam = 255;
    int16_t flagId = -1;
    int16_t actorId = -1;  // who touched it; -1 when it returned by itself
    Geometry::Vector3 fromPosition{};
    Geometry::Vector3 homePosition{};

    EventUpdateFlagRecoveredData() = default;
    EventUpdateFlagRecoveredData(int16_t flag, uint8_t ft, int16_t actor, const Geometry::Vector3& from,
                                 const Geometry::Vector3& home)
        : flagTeam(ft), flagId(flag), actorId(actor), fromPosition(from), homePosition(home) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateFlagRecovered
    : public EventSystem::PayloadEvent<EventUpdateFlagRecovered, EventUpdateFlagRecoveredData> {
public:
    static constexpr const char* kTypeName = "LtVFlagRecovered";
    EventUpdateFlagRecovered() = default;
    EventUpdateFlagRecovered(int16_t flagId, uint8_t flagTeam, int16_t actorId, const Geometry::Vector3& fromPosition,
                             const Geometry::Vector3& homePosition)
        : PayloadEvent(std::make_shared<Data>(flagId, flagTeam, actorId, fromPosition, homePosition)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVFlagStatus": one flag, or one lost flag, for a joining machine ----
struct EventUpdateFlagStatusData : EventSystem::IEventData {
    // 0 at home, 1 carried, 2 lying away, 3 one flag team 1 lost, 4 one flag team 0 lost.
    enum Status : int32_t { kHome = 0, kCarried = 1, kDropped = 2, kLostByTeam1 = 3, kLostByTeam0 = 4 };

    int16_t flagId = -1;  // -1 for a captured flag
    int32_t status = kHome;

    EventUpdateFlagStatusData() = default;
    EventUpdateFlagStatusData(int16_t flag, int32_t s) : flagId(flag), status(s) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateFlagStatus : public EventSystem::PayloadEvent<EventUpdateFlagStatus, EventUpdateFlagStatusData> {
public:
    static constexpr const char* kTypeName = "LtVFlagStatus";
    EventUpdateFlagStatus() = default;
    EventUpdateFlagStatus(int16_t flagId, int32_t status) : PayloadEvent(std::make_shared<Data>(flagId, status)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVCapPtCreated" -------------------------------------------------------
struct EventUpdateCapPtCreatedData : EventSystem::IEventData {
    Geometry::Vector3 position{};
    uint8_t team = 255;  // the point's owner

    EventUpdateCapPtCreatedData() = default;
    EventUpdateCapPtCreatedData(const Geometry::Vector3& pos, uint8_t t) : position(pos), team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateCapPtCreated
    : public EventSystem::PayloadEvent<EventUpdateCapPtCreated, EventUpdateCapPtCreatedData> {
public:
    static constexpr const char* kTypeName = "LtVCapPtCreated";
    EventUpdateCapPtCreated() = default;
    EventUpdateCapPtCreated(const Geometry::Vector3& position, uint8_t team) : PayloadEvent(std::make_shared<Data>(position, team)) {}
};

// ---- "LtVTeamVictory" --------------------------------------------------------
struct EventUpdateTeamVictoryData : EventSystem::IEventData {
    uint8_t team = 255;  // the winner

    EventUpdateTeamVictoryData() = default;
    explicit EventUpdateTeamVictoryData(uint8_t t) : team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateTeamVictory : public EventSystem::PayloadEvent<EventUpdateTeamVictory, EventUpdateTeamVictoryData> {
public:
    static constexpr const char* kTypeName = "LtVTeamVictory";
    EventUpdateTeamVictory() = default;
    explicit EventUpdateTeamVictory(uint8_t team) : PayloadEvent(std::make_shared<Data>(team)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVGameOver" -----------------------------------------------------------
struct EventUpdateGameOverData : EventSystem::IEventData {
    uint8_t winningTeam = 255;  // 255: none
    uint8_t quit = 0;           // 1: the program is to end

    EventUpdateGameOverData() = default;
    EventUpdateGameOverData(uint8_t winner, uint8_t q) : winningTeam(winner), quit(q) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateGameOver : public EventSystem::PayloadEvent<EventUpdateGameOver, EventUpdateGameOverData> {
public:
    static constexpr const char* kTypeName = "LtVGameOver";
    EventUpdateGameOver() = default;
    EventUpdateGameOver(uint8_t winningTeam, uint8_t quit) : PayloadEvent(std::make_shared<Data>(winningTeam, quit)) {}
    bool IsReliable() const override { return true; }
};

}  // namespace EventTypes
