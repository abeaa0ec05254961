#include "events/types/InputEvents.h"

#include <istream>
#include <ostream>

#include "events/types/WireGeometry.h"

namespace Input {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

void CommandData::Write(ByteWriter& w) const {
    w.WriteString(command);
    EventTypes::WriteInt16(w, reserved);
}
void CommandData::Read(ByteReader& r) {
    r.ReadString(command);
    reserved = r.ReadInt16();
}

void EventMouseMoveData::Write(ByteWriter& w) const {
    EventTypes::WriteInt32(w, dx);
    EventTypes::WriteInt32(w, dy);
    EventTypes::WriteInt32(w, dz);
    EventTypes::WriteInt16(w, reserved);
}
void EventMouseMoveData::Read(ByteReader& r) {
    dx = r.ReadInt32();
    dy = r.ReadInt32();
    dz = r.ReadInt32();
    reserved = r.ReadInt16();
}

void EventAsciiKeyData::Write(ByteWriter& w) const { w.WriteByte(character); }
void EventAsciiKeyData::Read(ByteReader& r) { character = r.ReadByte(); }

void EventMoveDirData::Write(ByteWriter& w) const { EventTypes::WriteVector3(w, direction); }
void EventMoveDirData::Read(ByteReader& r) { EventTypes::ReadVector3(r, direction); }

EventMoveDir::EventMoveDir(float x, float y, float z) {
    auto d = std::make_shared<Data>();
    d->direction.x = x;
    d->direction.y = y;
    d->direction.z = z;
    SetData(std::move(d));
}

std::ostream& EventMoveDir::WriteText(std::ostream& out) const {
    Geometry::Vector3 v{};
    if (const Data* d = GetPayload()) v = d->direction;
    return out << v;
}

EventMoveDir& EventMoveDir::ReadText(std::istream& in) {
    Geometry::Vector3 v{};
    in >> v;
    if (!in.fail()) SetData(new Data(v));
    return *this;
}

}  // namespace Input
