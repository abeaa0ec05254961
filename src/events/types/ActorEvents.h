// Reports of the authoritative game about its actors, blocks and bodies, and
// the bots' two reports to the human view.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "events/Event.h"
#include "events/types/ObjectState.h"
#include "utility/Geometry.h"

namespace EventTypes {

// ---- "LtVEventUpdateCreateActor" ------------------------------------------
struct EventUpdateCreateActorData : EventSystem::IEventData {
    int16_t actorId = 0;
    uint8_t team = 0;
    const char* typeName = nullptr;  // in memory only: null after Deserialize
    uint32_t typeHash = 0;
    Geometry::Quaternion orientation{};
    Geometry::Vector3 position{};
    Geometry::Vector3 scale{};
    GameLogicView::ObjectState objectState;
    Geometry::Vector3 extents{};  // half-extents: model extent times scale

    EventUpdateCreateActorData() = default;
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};

class EventUpdateCreateActor : public EventSystem::PayloadEvent<EventUpdateCreateActor, EventUpdateCreateActorData> {
public:
    static constexpr const char* kTypeName = "LtVEventUpdateCreateActor";
    EventUpdateCreateActor() = default;
    EventUpdateCreateActor(int16_t actorId, const Geometry::Vector3& position, const Geometry::Quaternion& orientation,
                           const Geometry::Vector3& scale, const GameLogicView::ObjectState& objectState, uint8_t team,
                           const Geometry::Vector3& extents, const char* typeName, uint32_t typeHash);
    bool IsReliable() const override { return true; }
};

// ---- one 16-bit id ----------------------------------------------------------
// "LtVEventUpdateDeleteActor": actorId no longer exists.
struct EventUpdateDeleteActorData : EventSystem::IEventData {
    int16_t actorId = 0;
    EventUpdateDeleteActorData() = default;
    explicit EventUpdateDeleteActorData(int16_t actor) : actorId(actor) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateDeleteActor : public EventSystem::PayloadEvent<EventUpdateDeleteActor, EventUpdateDeleteActorData> {
public:
    static constexpr const char* kTypeName = "LtVEventUpdateDeleteActor";
    EventUpdateDeleteActor() = default;
    explicit EventUpdateDeleteActor(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
    bool IsReliable() const override { return true; }
};

// "LtVUpdateJump": actorId jumps.
struct EventUpdateJumpData : EventSystem::IEventData {
    int16_t actorId = 0;
    EventUpdateJumpData() = default;
    explicit EventUpdateJumpData(int16_t actor) : actorId(actor) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateJump : public EventSystem::PayloadEvent<EventUpdateJump, EventUpdateJumpData> {
public:
    static constexpr const char* kTypeName = "LtVUpdateJump";
    EventUpdateJump() = default;
    explicit EventUpdateJump(int16_t actorId) : PayloadEvent(std::make_shared<Data>(actorId)) {}
};

// "LtVBlockInactive": blockId is a free block again.
struct EventUpdateBlockActiveData : EventSystem::IEventData {
    int16_t blockId = 0;
    EventUpdateBlockActiveData() = default;
    explicit EventUpdateBlockActiveData(int16_t block) : blockId(block) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateBlockActive : public EventSystem::PayloadEvent<EventUpdateBlockActive, EventUpdateBlockActiveData> {
public:
    static constexpr const char* kTypeName = "LtVBlockInactive";
    EventUpdateBlockActive() = default;
    explicit EventUpdateBlockActive(int16_t blockId) : PayloadEvent(std::make_shared<Data>(blockId)) {}
    bool IsReliable() const override { return true; }
};

// "LtVBlockFade": blockId starts fading out. Reliable, but never sent.
struct EventUpdateBlockFadeData : EventSystem::IEventData {
    int16_t blockId = 0;
    EventUpdateBlockFadeData() = default;
    explicit EventUpdateBlockFadeData(int16_t block) : blockId(block) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateBlockFade : public EventSystem::PayloadEvent<EventUpdateBlockFade, EventUpdateBlockFadeData> {
public:
    static constexpr const char* kTypeName = "LtVBlockFade";
    explicit EventUpdateBlockFade(int16_t blockId) : PayloadEvent(std::make_shared<Data>(blockId)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVJoinConfirmed": a player now steers an actor ----------------------
struct EventUpdateGameIDsData : EventSystem::IEventData {
    int32_t reserved = 0;  // always 0; nobody reads it
    int16_t actorId = 0;
    uint8_t team = 0;

    EventUpdateGameIDsData() = default;
    EventUpdateGameIDsData(int32_t res, int16_t actor, uint8_t t) : reserved(res), actorId(actor), team(t) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateGameIDs : public EventSystem::PayloadEvent<EventUpdateGameIDs, EventUpdateGameIDsData> {
public:
    static constexpr const char* kTypeName = "LtVJoinConfirmed";
    EventUpdateGameIDs() = default;
    EventUpdateGameIDs(int32_t reserved, int16_t actorId, uint8_t team)
        : PayloadEvent(std::make_shared<Data>(reserved, actorId, team)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVStartGame" ---------------------------------------------------------
class EventUpdateStartGame : public EventSystem::SignalEvent<EventUpdateStartGame> {
public:
    static constexpr const char* kTypeName = "LtVStartGame";
    bool IsReliable() const override { return true; }
};

// ---- "LtVUpdateActorMove": a body moved ------------------------------------
struct EventUpdateActorMoveData : EventSystem::IEventData {
    int16_t actorId = 0;
    Geometry::Vector3 position{};
    Geometry::Quaternion orientation{};

    EventUpdateActorMoveData() = default;
    EventUpdateActorMoveData(int16_t actor, const Geometry::Vector3& pos, const Geometry::Quaternion& q)
        : actorId(actor), position(pos), orientation(q) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateActorMove : public EventSystem::PayloadEvent<EventUpdateActorMove, EventUpdateActorMoveData> {
public:
    static constexpr const char* kTypeName = "LtVUpdateActorMove";
    EventUpdateActorMove() = default;
    EventUpdateActorMove(int16_t actorId, const Geometry::Vector3& position, const Geometry::Quaternion& orientation)
        : PayloadEvent(std::make_shared<Data>(actorId, position, orientation)) {}
};

// ---- "LtVForcedActorUpdate": a move that must reach one machine -------------
struct EventForcedActorUpdateData : EventSystem::IEventData {
    EventUpdateActorMove move;  // a whole event; a prototype until filled
    uint8_t clientId = 0;

    EventForcedActorUpdateData() = default;
    EventForcedActorUpdateData(const EventUpdateActorMove& m, uint8_t client) : move(m), clientId(client) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventForcedActorUpdate : public EventSystem::PayloadEvent<EventForcedActorUpdate, EventForcedActorUpdateData> {
public:
    static constexpr const char* kTypeName = "LtVForcedActorUpdate";
    EventForcedActorUpdate() = default;
    // The move is shared with the given event, not duplicated.
    EventForcedActorUpdate(const EventUpdateActorMove& move, uint8_t clientId) : PayloadEvent(std::make_shared<Data>(move, clientId)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVCollision", the physics report -------------------------------------
// Shares its type name with EventUpdateCollisionToClient: a listener of
// "LtVCollision" checks the class it is handed and ignores the other one.
struct EventUpdateCollisionData : EventSystem::IEventData {
    int32_t kind = 0;  // 0 an impact, 1 a resting contact
    float normalSpeed = 0.0f;
    Geometry::Vector3 point{};
    Geometry::Vector3 normal{};  // from B towards A
    int16_t actorIdA = -1;
    const char* typeNameA = nullptr;  // in memory only
    uint32_t typeHashA = 0;
    float massA = 0.0f;
    int16_t actorIdB = -1;
    const char* typeNameB = nullptr;  // in memory only
    uint32_t typeHashB = 0;
    float massB = 0.0f;

    EventUpdateCollisionData() = default;
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateCollision : public EventSystem::PayloadEvent<EventUpdateCollision, EventUpdateCollisionData> {
public:
    static constexpr const char* kTypeName = "LtVCollision";
    // The type fields start empty; the physics process fills them from the
    // actor map before queueing.
    EventUpdateCollision(int32_t kind, float normalSpeed, const Geometry::Vector3& point,
                         const Geometry::Vector3& normal, int16_t actorIdA, float massA, int16_t actorIdB,
                         float massB);
    // From the physics world's contact record (resting, normalSpeed, point,
    // normal, idA, massA, idB, massB).
    template <class Contact>
    explicit EventUpdateCollision(const Contact& c)
        : EventUpdateCollision(static_cast<int32_t>(c.resting), c.normalSpeed, c.point, c.normal,
                               static_cast<int16_t>(c.idA), c.massA, static_cast<int16_t>(c.idB), c.massB) {}
};

// ---- "LtVCollision", the report for the views and the joined machines ------
struct EventUpdateCollisionToClientData : EventSystem::IEventData {
    float normalSpeed = 0.0f;
    Geometry::Vector3 point{};
    Geometry::Vector3 normal{};
    int16_t actorIdA = -1;
    const char* typeNameA = nullptr;  // in memory only
    uint32_t typeHashA = 0;
    int16_t actorIdB = -1;
    const char* typeNameB = nullptr;  // in memory only
    uint32_t typeHashB = 0;

    EventUpdateCollisionToClientData() = default;
    // Everything of the physics report but kind and the masses.
    explicit EventUpdateCollisionToClientData(const EventUpdateCollisionData& report);
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateCollisionToClient
    : public EventSystem::PayloadEvent<EventUpdateCollisionToClient, EventUpdateCollisionToClientData> {
public:
    static constexpr const char* kTypeName = "LtVCollision";
    EventUpdateCollisionToClient() = default;
    explicit EventUpdateCollisionToClient(const EventUpdateCollisionData& report) : PayloadEvent(std::make_shared<Data>(report)) {}
};

// ---- "LtVUpdatePlaceBlock": nothing raises it; the bots' grid marks the box -
struct EventUpdatePlaceBlockData : EventSystem::IEventData {
    int16_t firstId = 0;
    int16_t secondId = 0;
    Geometry::Vector3 position{};
    Geometry::Vector3 halfExtents{};
    uint8_t flag = 0;

    EventUpdatePlaceBlockData() = default;
    EventUpdatePlaceBlockData(int16_t first, int16_t second, const Geometry::Vector3& pos,
                              const Geometry::Vector3& half, uint8_t f)
        : firstId(first), secondId(second), position(pos), halfExtents(half), flag(f) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdatePlaceBlock : public EventSystem::PayloadEvent<EventUpdatePlaceBlock, EventUpdatePlaceBlockData> {
public:
    static constexpr const char* kTypeName = "LtVUpdatePlaceBlock";
    EventUpdatePlaceBlock() = default;
};

// ---- "LtVUpdateDetachBlock": a block left the level's fixed structure ------
struct EventUpdateDetachBlockData : EventSystem::IEventData {
    int16_t blockId = 0;
    Geometry::Vector3 position{};     // the block body's centre
    Geometry::Vector3 halfExtents{};  // half size along the world axes

    EventUpdateDetachBlockData() = default;
    EventUpdateDetachBlockData(int16_t block, const Geometry::Vector3& pos, const Geometry::Vector3& half)
        : blockId(block), position(pos), halfExtents(half) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateDetachBlock : public EventSystem::PayloadEvent<EventUpdateDetachBlock, EventUpdateDetachBlockData> {
public:
    static constexpr const char* kTypeName = "LtVUpdateDetachBlock";
    EventUpdateDetachBlock(int16_t blockId, const Geometry::Vector3& position, const Geometry::Vector3& halfExtents)
        : PayloadEvent(std::make_shared<Data>(blockId, position, halfExtents)) {}
};

// ---- "LtVUpdatePickUpBlock": an actor took a block (or a flag) -------------
struct EventUpdatePickUpBlockData : EventSystem::IEventData {
    int16_t actorId = 0;
    int16_t blockId = 0;
    uint8_t team = 0;
    Geometry::Vector3 actorPosition{};
    Geometry::Vector3 blockHalfExtents{};
    Geometry::Vector3 blockPosition{};  // before the pick-up

    EventUpdatePickUpBlockData() = default;
    EventUpdatePickUpBlockData(int16_t actor, int16_t block, uint8_t t, const Geometry::Vector3& actorPos,
                               const Geometry::Vector3& half, const Geometry::Vector3& blockPos)
        : actorId(actor), blockId(block), team(t), actorPosition(actorPos), blockHalfExtents(half),
          blockPosition(blockPos) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdatePickUpBlock : public EventSystem::PayloadEvent<EventUpdatePickUpBlock, EventUpdatePickUpBlockData> {
public:
    static constexpr const char* kTypeName = "LtVUpdatePickUpBlock";
    EventUpdatePickUpBlock() = default;
    EventUpdatePickUpBlock(int16_t actorId, int16_t blockId, uint8_t team, const Geometry::Vector3& actorPosition,
                           const Geometry::Vector3& blockHalfExtents, const Geometry::Vector3& blockPosition)
        : PayloadEvent(std::make_shared<Data>(actorId, blockId, team, actorPosition, blockHalfExtents, blockPosition)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtoVUpdateThrowBlock": an actor threw its held block ------------------
struct EventUpdateThrowBlockData : EventSystem::IEventData {
    Geometry::Vector3 position{};   // the thrower's body
    Geometry::Vector3 direction{};  // unit throw direction
    int16_t actorId = 0;
    int16_t blockId = 0;
    int16_t heldBlockId = -1;  // now in the thrower's hand, -1 when none

    EventUpdateThrowBlockData() = default;
    EventUpdateThrowBlockData(const Geometry::Vector3& pos, const Geometry::Vector3& dir, int16_t actor, int16_t block,
                              int16_t held)
        : position(pos), direction(dir), actorId(actor), blockId(block), heldBlockId(held) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateThrowBlock : public EventSystem::PayloadEvent<EventUpdateThrowBlock, EventUpdateThrowBlockData> {
public:
    static constexpr const char* kTypeName = "LtoVUpdateThrowBlock";
    EventUpdateThrowBlock() = default;
    EventUpdateThrowBlock(const Geometry::Vector3& position, const Geometry::Vector3& direction, int16_t actorId,
                          int16_t blockId, int16_t heldBlockId)
        : PayloadEvent(std::make_shared<Data>(position, direction, actorId, blockId, heldBlockId)) {}
    bool IsReliable() const override { return true; }
};

// ---- "VtLUpdateExplosion": a bomb exploded (a report of the logic) ---------
struct EventUpdateExplosionData : EventSystem::IEventData {
    Geometry::Vector3 position{};
    int16_t ownerId = -1;  // credited with the kills
    uint8_t team = 255;    // spared by the blast
    int16_t bombId = -1;

    EventUpdateExplosionData() = default;
    EventUpdateExplosionData(const Geometry::Vector3& pos, int16_t owner, uint8_t t, int16_t bomb)
        : position(pos), ownerId(owner), team(t), bombId(bomb) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateExplosion : public EventSystem::PayloadEvent<EventUpdateExplosion, EventUpdateExplosionData> {
public:
    static constexpr const char* kTypeName = "VtLUpdateExplosion";
    EventUpdateExplosion() = default;
    EventUpdateExplosion(const Geometry::Vector3& position, int16_t ownerId, uint8_t team, int16_t bombId)
        : PayloadEvent(std::make_shared<Data>(position, ownerId, team, bombId)) {}
};

// ---- "LtVUpdateActorSpawn": a player (re)appeared ---------------------------
struct EventUpdateActorSpawnData : EventSystem::IEventData {
    int16_t actorId = 0;
    uint8_t team = 0;
    Geometry::Vector3 position{};
    Geometry::Quaternion orientation{};
    int16_t firstPouchBlockId = 0;  // both 0 when no block was made
    int16_t lastPouchBlockId = 0;

    EventUpdateActorSpawnData() = default;
    EventUpdateActorSpawnData(int16_t actor, uint8_t t, const Geometry::Vector3& pos, const Geometry::Quaternion& q,
                              int16_t first, int16_t last)
        : actorId(actor), team(t), position(pos), orientation(q), firstPouchBlockId(first), lastPouchBlockId(last) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateActorSpawn : public EventSystem::PayloadEvent<EventUpdateActorSpawn, EventUpdateActorSpawnData> {
public:
    static constexpr const char* kTypeName = "LtVUpdateActorSpawn";
    EventUpdateActorSpawn() = default;
    EventUpdateActorSpawn(int16_t actorId, uint8_t team, const Geometry::Vector3& position,
                          const Geometry::Quaternion& orientation, int16_t firstPouchBlockId, int16_t lastPouchBlockId)
        : PayloadEvent(std::make_shared<Data>(actorId, team, position, orientation, firstPouchBlockId, lastPouchBlockId)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVUpdateActorDeath": a player died -----------------------------------
struct EventUpdateActorDeathData : EventSystem::IEventData {
    int16_t actorId = 0;
    int16_t killerId = -1;
    Geometry::Vector3 impulse{};
    Geometry::Vector3 hitPoint{};

    EventUpdateActorDeathData() = default;
    EventUpdateActorDeathData(int16_t actor, int16_t killer, const Geometry::Vector3& imp, const Geometry::Vector3& hit)
        : actorId(actor), killerId(killer), impulse(imp), hitPoint(hit) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateActorDeath : public EventSystem::PayloadEvent<EventUpdateActorDeath, EventUpdateActorDeathData> {
public:
    static constexpr const char* kTypeName = "LtVUpdateActorDeath";
    EventUpdateActorDeath() = default;
    EventUpdateActorDeath(int16_t actorId, int16_t killerId, const Geometry::Vector3& impulse,
                          const Geometry::Vector3& hitPoint)
        : PayloadEvent(std::make_shared<Data>(actorId, killerId, impulse, hitPoint)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVHeldBlocks": the hand (entry 0) and the pouch, newest first --------
struct EventUpdateHeldBlocksData : EventSystem::IEventData {
    static constexpr int kEntries = 17;

    int16_t actorId = 0;
    std::array<int16_t, kEntries> blockIds;  // -1 in every empty entry

    EventUpdateHeldBlocksData() { blockIds.fill(-1); }
    // ids: 17 entries, or null for an empty hand and pouch.
    EventUpdateHeldBlocksData(int16_t actor, const int16_t* ids);
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateHeldBlocks : public EventSystem::PayloadEvent<EventUpdateHeldBlocks, EventUpdateHeldBlocksData> {
public:
    static constexpr const char* kTypeName = "LtVHeldBlocks";
    EventUpdateHeldBlocks() = default;
    EventUpdateHeldBlocks(int16_t actorId, const int16_t* blockIds) : PayloadEvent(std::make_shared<Data>(actorId, blockIds)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVInitializeGameView" ------------------------------------------------
struct EventUpdateInitializeGameViewData : EventSystem::IEventData {
    uint8_t menuBackdrop = 0;  // 1: the bot-only match behind the main menu

    EventUpdateInitializeGameViewData() = default;
    explicit EventUpdateInitializeGameViewData(uint8_t backdrop) : menuBackdrop(backdrop) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateInitializeGameView
    : public EventSystem::PayloadEvent<EventUpdateInitializeGameView, EventUpdateInitializeGameViewData> {
public:
    static constexpr const char* kTypeName = "LtVInitializeGameView";
    EventUpdateInitializeGameView() : PayloadEvent(std::make_shared<Data>(0)) {}
    explicit EventUpdateInitializeGameView(uint8_t menuBackdrop) : PayloadEvent(std::make_shared<Data>(menuBackdrop)) {}
};

// ---- "LtVBotFollowPlyaer" (spelled so on the wire) --------------------------
struct EventUpdateBotFollowPlayerData : EventSystem::IEventData {
    int16_t leaderId = 0;
    int16_t followerId = 0;
    uint8_t following = 0;  // 1 started, 0 stopped

    EventUpdateBotFollowPlayerData() = default;
    EventUpdateBotFollowPlayerData(int16_t leader, int16_t follower, uint8_t f)
        : leaderId(leader), followerId(follower), following(f) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventUpdateBotFollowPlayer
    : public EventSystem::PayloadEvent<EventUpdateBotFollowPlayer, EventUpdateBotFollowPlayerData> {
public:
    static constexpr const char* kTypeName = "LtVBotFollowPlyaer";
    EventUpdateBotFollowPlayer() = default;
    EventUpdateBotFollowPlayer(int16_t leaderId, int16_t followerId, uint8_t following)
        : PayloadEvent(std::make_shared<Data>(leaderId, followerId, following)) {}
    bool IsReliable() const override { return true; }
};

// ---- "LtVCreateSpeechBubble": a bot says something --------------------------
struct EventCommandCreateSpeechBubbleData : EventSystem::IEventData {
    int16_t actorId = 0;
    std::string text;
    int32_t durationMs = 0;
    uint8_t tutorial = 0;    // 1: the tutorial's style
    uint8_t showSymbol = 0;  // 1: an extra symbol in the bubble

    EventCommandCreateSpeechBubbleData() = default;
    EventCommandCreateSpeechBubbleData(int16_t actor, std::string t, uint8_t tut, int32_t ms, uint8_t symbol)
        : actorId(actor), text(std::move(t)), durationMs(ms), tutorial(tut), showSymbol(symbol) {}
    void Write(EventSystem::ByteWriter& w) const;
    void Read(EventSystem::ByteReader& r);
};
class EventCommandCreateSpeechBubble
    : public EventSystem::PayloadEvent<EventCommandCreateSpeechBubble, EventCommandCreateSpeechBubbleData> {
public:
    static constexpr const char* kTypeName = "LtVCreateSpeechBubble";
    EventCommandCreateSpeechBubble(int16_t actorId, const std::string& text, uint8_t tutorial, int32_t durationMs,
                                   uint8_t showSymbol)
        : PayloadEvent(std::make_shared<Data>(actorId, text, tutorial, durationMs, showSymbol)) {}
};

}  // namespace EventTypes
