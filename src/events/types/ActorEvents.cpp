#include "events/types/ActorEvents.h"

#include <algorithm>

#include "events/types/WireGeometry.h"

namespace EventTypes {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

EventUpdateCreateActor::EventUpdateCreateActor(int16_t actorId, const Geometry::Vector3& position,
                                               const Geometry::Quaternion& orientation,
                                               const Geometry::Vector3& scale,
                                               const GameLogicView::ObjectState& objectState, uint8_t team,
                                               const Geometry::Vector3& extents, const char* typeName,
                                               uint32_t typeHash) {
    auto d = std::make_shared<Data>();
    d->actorId = actorId;
    d->team = team;
    d->typeName = typeName;
    d->typeHash = typeHash;
    d->orientation = orientation;
    d->position = position;
    d->scale = scale;
    d->objectState = objectState;
    d->extents = extents;
    SetData(std::move(d));
}

void EventUpdateCreateActorData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    w.WriteInt(typeHash);
    WriteQuaternion(w, orientation);
    WriteVector3(w, position);
    WriteVector3(w, scale);
    objectState.Serialize(w);
    w.WriteByte(team);
    WriteVector3(w, extents);
}
void EventUpdateCreateActorData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    typeHash = r.ReadInt();
    ReadQuaternion(r, orientation);
    ReadVector3(r, position);
    ReadVector3(r, scale);
    objectState.Deserialize(r);
    team = r.ReadByte();
    ReadVector3(r, extents);
    typeName = nullptr;
}

void EventUpdateDeleteActorData::Write(ByteWriter& w) const { WriteInt16(w, actorId); }
void EventUpdateDeleteActorData::Read(ByteReader& r) { actorId = r.ReadInt16(); }
void EventUpdateJumpData::Write(ByteWriter& w) const { WriteInt16(w, actorId); }
void EventUpdateJumpData::Read(ByteReader& r) { actorId = r.ReadInt16(); }
void EventUpdateBlockActiveData::Write(ByteWriter& w) const { WriteInt16(w, blockId); }
void EventUpdateBlockActiveData::Read(ByteReader& r) { blockId = r.ReadInt16(); }
void EventUpdateBlockFadeData::Write(ByteWriter& w) const { WriteInt16(w, blockId); }
void EventUpdateBlockFadeData::Read(ByteReader& r) { blockId = r.ReadInt16(); }

void EventUpdateGameIDsData::Write(ByteWriter& w) const {
    WriteInt32(w, reserved);
    WriteInt16(w, actorId);
    w.WriteByte(team);
}
void EventUpdateGameIDsData::Read(ByteReader& r) {
    reserved = r.ReadInt32();
    actorId = r.ReadInt16();
    team = r.ReadByte();
}

void EventUpdateActorMoveData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteVector3(w, position);
    WriteQuaternion(w, orientation);
}
void EventUpdateActorMoveData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    ReadVector3(r, position);
    ReadQuaternion(r, orientation);
}

void EventForcedActorUpdateData::Write(ByteWriter& w) const {
    // The move is always 30 bytes, so a receiver can find clientId even when
    // the move was never filled.
    if (move.GetPayload())
        move.Serialize(w);
    else
        EventUpdateActorMoveData().Write(w);
    w.WriteByte(clientId);
}
void EventForcedActorUpdateData::Read(ByteReader& r) {
    move.Deserialize(r);  // installs a fresh payload on move; the copy it returns is not needed
    clientId = r.ReadByte();
}

EventUpdateCollision::EventUpdateCollision(int32_t kind, float normalSpeed, const Geometry::Vector3& point,
                                           const Geometry::Vector3& normal, int16_t actorIdA, float massA,
                                           int16_t actorIdB, float massB) {
    auto d = std::make_shared<Data>();
    d->kind = kind;
    d->normalSpeed = normalSpeed;
    d->point = point;
    d->normal = normal;
    d->actorIdA = actorIdA;
    d->massA = massA;
    d->actorIdB = actorIdB;
    d->massB = massB;
    SetData(std::move(d));
}

void EventUpdateCollisionData::Write(ByteWriter& w) const {
    WriteInt16(w, actorIdA);
    WriteInt16(w, actorIdB);
    w.WriteFloat(massA);
    w.WriteFloat(massB);
    w.WriteInt(typeHashA);
    w.WriteInt(typeHashB);
    WriteVector3(w, point);
    WriteVector3(w, normal);
    w.WriteFloat(normalSpeed);
    WriteInt32(w, kind);
}
void EventUpdateCollisionData::Read(ByteReader& r) {
    actorIdA = r.ReadInt16();
    actorIdB = r.ReadInt16();
    massA = r.ReadFloat();
    massB = r.ReadFloat();
    typeHashA = r.ReadInt();
    typeHashB = r.ReadInt();
    ReadVector3(r, point);
    ReadVector3(r, normal);
    normalSpeed = r.ReadFloat();
    kind = r.ReadInt32();
    typeNameA = nullptr;
    typeNameB = nullptr;
}

EventUpdateCollisionToClientData::EventUpdateCollisionToClientData(const EventUpdateCollisionData& report)
    : normalSpeed(report.normalSpeed),
      point(report.point),
      normal(report.normal),
      actorIdA(report.actorIdA),
      typeNameA(report.typeNameA),
      typeHashA(report.typeHashA),
      actorIdB(report.actorIdB),
      typeNameB(report.typeNameB),
      typeHashB(report.typeHashB) {}

void EventUpdateCollisionToClientData::Write(ByteWriter& w) const {
    WriteInt16(w, actorIdA);
    WriteInt16(w, actorIdB);
    w.WriteInt(typeHashA);
    w.WriteInt(typeHashB);
    WriteVector3(w, point);
    WriteVector3(w, normal);
    w.WriteFloat(normalSpeed);
}
void EventUpdateCollisionToClientData::Read(ByteReader& r) {
    actorIdA = r.ReadInt16();
    actorIdB = r.ReadInt16();
    typeHashA = r.ReadInt();
    typeHashB = r.ReadInt();
    ReadVector3(r, point);
    ReadVector3(r, normal);
    normalSpeed = r.ReadFloat();
    typeNameA = nullptr;
    typeNameB = nullptr;
}

void EventUpdatePlaceBlockData::Write(ByteWriter& w) const {
    WriteInt16(w, firstId);
    WriteInt16(w, secondId);
    WriteVector3(w, position);
    WriteVector3(w, halfExtents);
    w.WriteByte(flag);
}
void EventUpdatePlaceBlockData::Read(ByteReader& r) {
    firstId = r.ReadInt16();
    secondId = r.ReadInt16();
    ReadVector3(r, position);
    ReadVector3(r, halfExtents);
    flag = r.ReadByte();
}

void EventUpdateDetachBlockData::Write(ByteWriter& w) const {
    WriteInt16(w, blockId);
    WriteVector3(w, position);
    WriteVector3(w, halfExtents);
}
void EventUpdateDetachBlockData::Read(ByteReader& r) {
    blockId = r.ReadInt16();
    ReadVector3(r, position);
    ReadVector3(r, halfExtents);
}

void EventUpdatePickUpBlockData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteInt16(w, blockId);
    w.WriteByte(team);
    WriteVector3(w, actorPosition);
    WriteVector3(w, blockHalfExtents);
    WriteVector3(w, blockPosition);
}
void EventUpdatePickUpBlockData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    blockId = r.ReadInt16();
    team = r.ReadByte();
    ReadVector3(r, actorPosition);
    ReadVector3(r, blockHalfExtents);
    ReadVector3(r, blockPosition);
}

void EventUpdateThrowBlockData::Write(ByteWriter& w) const {
    WriteVector3(w, position);
    WriteVector3(w, direction);
    WriteInt16(w, actorId);
    WriteInt16(w, blockId);
    WriteInt16(w, heldBlockId);
}
void EventUpdateThrowBlockData::Read(ByteReader& r) {
    ReadVector3(r, position);
    ReadVector3(r, direction);
    actorId = r.ReadInt16();
    blockId = r.ReadInt16();
    heldBlockId = r.ReadInt16();
}

void EventUpdateExplosionData::Write(ByteWriter& w) const {
    WriteVector3(w, position);
    WriteInt16(w, ownerId);
    w.WriteByte(team);
    WriteInt16(w, bombId);
}
void EventUpdateExplosionData::Read(ByteReader& r) {
    ReadVector3(r, position);
    ownerId = r.ReadInt16();
    team = r.ReadByte();
    bombId = r.ReadInt16();
}

void EventUpdateActorSpawnData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    w.WriteByte(team);
    WriteVector3(w, position);
    WriteQuaternion(w, orientation);
    WriteInt16(w, firstPouchBlockId);
    WriteInt16(w, lastPouchBlockId);
}
void EventUpdateActorSpawnData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    team = r.ReadByte();
    ReadVector3(r, position);
    ReadQuaternion(r, orientation);
    firstPouchBlockId = r.ReadInt16();
    lastPouchBlockId = r.ReadInt16();
}

void EventUpdateActorDeathData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteInt16(w, killerId);
    WriteVector3(w, impulse);
    WriteVector3(w, hitPoint);
}
void EventUpdateActorDeathData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    killerId = r.ReadInt16();
    ReadVector3(r, impulse);
    ReadVector3(r, hitPoint);
}

EventUpdateHeldBlocksData::EventUpdateHeldBlocksData(int16_t actor, const int16_t* ids) : actorId(actor) {
    if (ids)
        std::copy(ids, ids + kEntries, blockIds.begin());
    else
        blockIds.fill(-1);
}
void EventUpdateHeldBlocksData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    for (int16_t id : blockIds) WriteInt16(w, id);
}
void EventUpdateHeldBlocksData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    for (int16_t& id : blockIds) id = r.ReadInt16();
}

void EventUpdateInitializeGameViewData::Write(ByteWriter& w) const { w.WriteByte(menuBackdrop); }
void EventUpdateInitializeGameViewData::Read(ByteReader& r) { menuBackdrop = r.ReadByte(); }

void EventUpdateBotFollowPlayerData::Write(ByteWriter& w) const {
    WriteInt16(w, leaderId);
    WriteInt16(w, followerId);
    w.WriteByte(following);
}
void EventUpdateBotFollowPlayerData::Read(ByteReader& r) {
    leaderId = r.ReadInt16();
    followerId = r.ReadInt16();
    following = r.ReadByte();
}

void EventCommandCreateSpeechBubbleData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    w.WriteString(text);
    w.WriteByte(tutorial);
    WriteInt32(w, durationMs);
    w.WriteByte(showSymbol);
}
void EventCommandCreateSpeechBubbleData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    r.ReadString(text);
    tutorial = r.ReadByte();
    durationMs = r.ReadInt32();
    showSymbol = r.ReadByte();
}

}  // namespace EventTypes
