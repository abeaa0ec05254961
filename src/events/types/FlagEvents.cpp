#include "events/types/FlagEvents.h"

#include "events/types/WireGeometry.h"

namespace EventTypes {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

void FlagHandData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    WriteInt16(w, flagId);
    w.WriteByte(team);
    w.WriteByte(flagTeam);
}
void FlagHandData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    flagId = r.ReadInt16();
    team = r.ReadByte();
    flagTeam = r.ReadByte();
}

void EventUpdateFlagCapturedData::Write(ByteWriter& w) const {
    WriteInt16(w, actorId);
    w.WriteByte(team);
    w.WriteByte(flagTeam);
    WriteInt16(w, flagId);
    WriteVector3(w, position);
}
void EventUpdateFlagCapturedData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    team = r.ReadByte();
    flagTeam = r.ReadByte();
    flagId = r.ReadInt16();
    ReadVector3(r, position);
}

void EventUpdateFlagRecoveredData::Write(ByteWriter& w) const {
    WriteInt16(w, flagId);
    w.WriteByte(flagTeam);
    WriteInt16(w, actorId);
    WriteVector3(w, fromPosition);
    WriteVector3(w, homePosition);
}
void EventUpdateFlagRecoveredData::Read(ByteReader& r) {
    flagId = r.ReadInt16();
    flagTeam = r.ReadByte();
    actorId = r.ReadInt16();
    ReadVector3(r, fromPosition);
    ReadVector3(r, homePosition);
}

void EventUpdateFlagStatusData::Write(ByteWriter& w) const {
    WriteInt16(w, flagId);
    WriteInt32(w, status);
}
void EventUpdateFlagStatusData::Read(ByteReader& r) {
    flagId = r.ReadInt16();
    status = r.ReadInt32();
}

void EventUpdateCapPtCreatedData::Write(ByteWriter& w) const {
    WriteVector3(w, position);
    w.WriteByte(team);
}
void EventUpdateCapPtCreatedData::Read(ByteReader& r) {
    ReadVector3(r, position);
    team = r.ReadByte();
}

void EventUpdateTeamVictoryData::Write(ByteWriter& w) const { w.WriteByte(team); }
void EventUpdateTeamVictoryData::Read(ByteReader& r) { team = r.ReadByte(); }

void EventUpdateGameOverData::Write(ByteWriter& w) const {
    w.WriteByte(winningTeam);
    w.WriteByte(quit);
}
void EventUpdateGameOverData::Read(ByteReader& r) {
    winningTeam = r.ReadByte();
    quit = r.ReadByte();
}

}  // namespace EventTypes
