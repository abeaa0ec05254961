#include "events/types/ViewEvents.h"

#include "events/types/WireGeometry.h"

namespace EventTypes {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

namespace {
Geometry::Quaternion Identity() {
    Geometry::Quaternion q{};
    q.w = 1.0f;
    q.x = 0.0f;
    q.y = 0.0f;
    q.z = 0.0f;
    return q;
}
}  // namespace

EventCreateEffectData::EventCreateEffectData() : orientation(Identity()) {}

EventCreateEffectData::EventCreateEffectData(std::string name, const Geometry::Vector3& pos,
                                             const Geometry::Vector3& dir, uint8_t hud)
    : effectName(std::move(name)), position(pos), direction(dir), orientation(Identity()), onHud(hud) {}

void EventCreateEffectData::Write(ByteWriter& w) const {
    w.WriteString(effectName);
    WriteVector3(w, position);
    WriteVector3(w, direction);
    WriteQuaternion(w, orientation);
    w.WriteByte(onHud);
}
void EventCreateEffectData::Read(ByteReader& r) {
    r.ReadString(effectName);
    ReadVector3(r, position);
    ReadVector3(r, direction);
    ReadQuaternion(r, orientation);
    onHud = r.ReadByte();
}

void EventCreateCueData::Write(ByteWriter& w) const {
    w.WriteString(cueName);
    WriteInt32(w, flagId);
    w.WriteByte(team);
}
void EventCreateCueData::Read(ByteReader& r) {
    r.ReadString(cueName);
    flagId = r.ReadInt32();
    team = r.ReadByte();
}

void EventScreenOpenData::Write(ByteWriter& w) const { WriteInt32(w, screen); }
void EventScreenOpenData::Read(ByteReader& r) { screen = r.ReadInt32(); }

void EventCreateWinScreenData::Write(ByteWriter& w) const { w.WriteByte(team); }
void EventCreateWinScreenData::Read(ByteReader& r) { team = r.ReadByte(); }

void EventPowerSuspendResumeData::Write(ByteWriter& w) const { w.WriteByte(critical); }
void EventPowerSuspendResumeData::Read(ByteReader& r) { critical = r.ReadByte(); }

}  // namespace EventTypes
