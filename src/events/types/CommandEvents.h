// Commands: what a player's screen, a bot or a menu asks of the logic (or, for
// the three network signals, of the game runner).
#pragma once

#include <cstdint>

#include "events/Event.h"
#include "utility/Geometry.h"

namespace EventTypes {

// An actor id and a direction: the layout of the move and throw commands.
struct ActorDirectionData : EventSystem::IEventData {
    int16_t actorId = 0;
    Geometry::Vector3 direction{};

    ActorDirectionData() = default;
    ActorDirectionData(int16_t actor, const Geometry::Vector3& dir) : actorId(actor), direction(dir) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

// ---- "VtLActorMove": direction is the wanted walk, world axes ---------------
struct EventCommandActorMoveData : ActorDirectionData {
    using ActorDirectionData::ActorDirectionData;
};

class EventCommandActorMove : public EventSystem::PayloadEvent<EventCommandActorMove, EventCommandActorMoveData> {
public:
    static constexpr const char* kTypeName = "VtLActorMove";
    EventCommandActorMove() = default;
    EventCommandActorMove(int16_t actorId, const Geometry::Vector3& direction)
        : PayloadEvent(std::make_shared<Data>(actorId, direction)) {}
};

// ---- one actor id: jump, pick up, place, whistle ---------------------------
struct ActorIdData : EventSystem::IEventData {
    int16_t actorId = 0;

    ActorIdData() = default;
    explicit ActorIdData(int16_t actor) : actorId(actor) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

struct EventCommandActorJumpData : ActorIdData {
    using ActorIdData::ActorIdData;
};
class EventCommandActorJump : public EventSystem::PayloadEvent<EventCommandActorJump, EventCommandActorJumpData> {
public:
    static constexpr const char* kTypeName = "VtlCommandActorJump";
    EventCommandActorJump() = default;
    explicit EventCommandActorJump(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
};

struct EventCommandPickUpBlockData : ActorIdData {
    using ActorIdData::ActorIdData;
};
class EventCommandPickUpBlock
    : public EventSystem::PayloadEvent<EventCommandPickUpBlock, EventCommandPickUpBlockData> {
public:
    static constexpr const char* kTypeName = "VtLCommandPickUpBlock";
    EventCommandPickUpBlock() = default;
    explicit EventCommandPickUpBlock(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
    bool IsReliable() const override { return true; }
};

struct EventCommandPlaceBlockData : ActorIdData {
    using ActorIdData::ActorIdData;
};
class EventCommandPlaceBlock : public EventSystem::PayloadEvent<EventCommandPlaceBlock, EventCommandPlaceBlockData> {
public:
    static constexpr const char* kTypeName = "VtLCommandPlaceBlock";
    EventCommandPlaceBlock() = default;
    explicit EventCommandPlaceBlock(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
};

struct EventCommandWhistleData : ActorIdData {
    using ActorIdData::ActorIdData;
};
class EventCommandWhistle : public EventSystem::PayloadEvent<EventCommandWhistle, EventCommandWhistleData> {
public:
    static constexpr const char* kTypeName = "VtLWhistle";
    EventCommandWhistle() = default;
    explicit EventCommandWhistle(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
};

// ---- "VtlCommandActorTurn" ------------------------------------------------
struct EventCommandActorTurnData : EventSystem::IEventData {
    int16_t actorId = 0;
    Geometry::Quaternion orientation{};  // the actor's new facing

    EventCommandActorTurnData() = default;
    EventCommandActorTurnData(int16_t actor, const Geometry::Quaternion& q) : actorId(actor), orientation(q) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventCommandActorTurn : public EventSystem::PayloadEvent<EventCommandActorTurn, EventCommandActorTurnData> {
public:
    static constexpr const char* kTypeName = "VtlCommandActorTurn";
    EventCommandActorTurn() = default;
    EventCommandActorTurn(int16_t actorId, const Geometry::Quaternion& orientation)
        : PayloadEvent(std::make_shared<Data>(actorId, orientation)) {}
};

// ---- "LtoVCommandThrowBlock" (a command to the logic despite its prefix) ---
struct EventCommandThrowBlockData : ActorDirectionData {
    using ActorDirectionData::ActorDirectionData;  // direction: the aim, world axes
};
class EventCommandThrowBlock : public EventSystem::PayloadEvent<EventCommandThrowBlock, EventCommandThrowBlockData> {
public:
    static constexpr const char* kTypeName = "LtoVCommandThrowBlock";
    EventCommandThrowBlock() = default;
    EventCommandThrowBlock(int16_t actorId, const Geometry::Vector3& direction)
        : PayloadEvent(std::make_shared<Data>(actorId, direction)) {}
    bool IsReliable() const override { return true; }
};

// ---- "VtLHackActorView" ---------------------------------------------------
struct EventHackActorViewData : EventSystem::IEventData {
    int16_t actorId = 0;
    Geometry::Vector3 viewDirection{};  // where the player's camera looks

    EventHackActorViewData() = default;
    EventHackActorViewData(int16_t actor, const Geometry::Vector3& dir) : actorId(actor), viewDirection(dir) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventHackActorView : public EventSystem::PayloadEvent<EventHackActorView, EventHackActorViewData> {
public:
    static constexpr const char* kTypeName = "VtLHackActorView";
    EventHackActorView() = default;
    EventHackActorView(int16_t actorId, const Geometry::Vector3& viewDirection)
        : PayloadEvent(std::make_shared<Data>(actorId, viewDirection)) {}
};

// ---- "VtLCreateBlock": every raiser asks for a bomb --------------------------
struct EventCommandCreateBlockData : EventSystem::IEventData {
    static constexpr int32_t kBombObjectType = 9;

    int32_t objectType = kBombObjectType;
    int16_t actorId = -1;
    Geometry::Vector3 position{};

    EventCommandCreateBlockData() = default;
    explicit EventCommandCreateBlockData(const Geometry::Vector3& pos) : position(pos) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventCommandCreateBlock
    : public EventSystem::PayloadEvent<EventCommandCreateBlock, EventCommandCreateBlockData> {
public:
    static constexpr const char* kTypeName = "VtLCreateBlock";
    explicit EventCommandCreateBlock(const Geometry::Vector3& position) : PayloadEvent(std::make_shared<Data>(position)) {}
};

// ---- "VtLDrawPath": debug boxes of the path search -------------------------
struct EventDrawPathData : EventSystem::IEventData {
    Geometry::Vector3 position{};
    Geometry::Vector3 extent{};

    EventDrawPathData() = default;
    EventDrawPathData(const Geometry::Vector3& pos, const Geometry::Vector3& ext) : position(pos), extent(ext) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventDrawPath : public EventSystem::PayloadEvent<EventDrawPath, EventDrawPathData> {
public:
    static constexpr const char* kTypeName = "VtLDrawPath";
    // Extent first, although position is written first.
    EventDrawPath(const Geometry::Vector3& extent, const Geometry::Vector3& position)
        : PayloadEvent(std::make_shared<Data>(position, extent)) {}
};

// ---- "VtLInitializeGameLogic" ---------------------------------------------
struct EventUpdateInitializeGameLogicData : EventSystem::IEventData {
    uint8_t menuBackdrop = 0;  // 1: the bot-only match behind the main menu

    EventUpdateInitializeGameLogicData() = default;
    explicit EventUpdateInitializeGameLogicData(uint8_t backdrop) : menuBackdrop(backdrop) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventUpdateInitializeGameLogic
    : public EventSystem::PayloadEvent<EventUpdateInitializeGameLogic, EventUpdateInitializeGameLogicData> {
public:
    static constexpr const char* kTypeName = "VtLInitializeGameLogic";
    EventUpdateInitializeGameLogic() : PayloadEvent(std::make_shared<Data>(0)) {}
    explicit EventUpdateInitializeGameLogic(uint8_t menuBackdrop) : PayloadEvent(std::make_shared<Data>(menuBackdrop)) {}
};

// ---- signals for the game runner ------------------------------------------
class EventSetupMultiplayer : public EventSystem::SignalEvent<EventSetupMultiplayer> {
public:
    static constexpr const char* kTypeName = "VtLSetupMultiPlayer";
};

class EventShutDownNetLogic : public EventSystem::SignalEvent<EventShutDownNetLogic> {
public:
    static constexpr const char* kTypeName = "VtLShutDownNetLogic";
};

class EventShutDownNetView : public EventSystem::SignalEvent<EventShutDownNetView> {
public:
    static constexpr const char* kTypeName = "VtLShutDownNetView";
};

}  // namespace EventTypes
