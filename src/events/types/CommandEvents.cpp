#include "events/types/CommandEvents.h"

#include "events/types/WireGeometry.h"

namespace EventTypes {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

void ActorDirectionData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteVector3(w, direction);
}
void ActorDirectionData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    ReadVector3(r, direction);
}

void ActorIdData::Write(ByteWriter& w) const { WriteInt16(w, actorId); }
void ActorIdData::Read(ByteReader& r) { actorId = r.ReadInt16(); }

void EventCommandActorTurnData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteQuaternion(w, orientation);
}
void EventCommandActorTurnData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    ReadQuaternion(r, orientation);
}

void EventHackActorViewData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteVector3(w, viewDirection);
}
void EventHackActorViewData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    ReadVector3(r, viewDirection);
}

void EventCommandCreateBlockData::Write(ByteWriter& w) const {
    WriteInt32(w, objectType);
    WriteInt16(w, actorId);
    WriteVector3(w, position);
}
void EventCommandCreateBlockData::Read(ByteReader& r) {
    objectType = r.ReadInt32();
    actorId = r.ReadInt16();
    ReadVector3(r, position);
}

void EventDrawPathData::Write(ByteWriter& w) const {
    WriteVector3(w, position);
    WriteVector3(w, extent);
}
void EventDrawPathData::Read(ByteReader& r) {
    ReadVector3(r, position);
    ReadVector3(r, extent);
}

void EventUpdateInitializeGameLogicData::Write(ByteWriter& w) const { w.WriteByte(menuBackdrop); }
void EventUpdateInitializeGameLogicData::Read(ByteReader& r) { menuBackdrop = r.ReadByte(); }

}  // namespace EventTypes
