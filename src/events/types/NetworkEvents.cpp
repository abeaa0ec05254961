#include "events/types/NetworkEvents.h"

#include "events/ByteStream.h"

static_assert(sizeof(sockaddr_in) == 16, "the address record is 16 bytes on the wire");

namespace Networking {

using EventSystem::ByteReader;
using EventSystem::ByteWriter;

void EventServerBroadcastData::Write(ByteWriter& w) const {
    w.WriteString(gameName);
    w.WriteByte(mode);
    w.WriteByte(level);
    w.WriteByte(players);
}
void EventServerBroadcastData::Read(ByteReader& r) {
    r.ReadString(gameName);
    mode = r.ReadByte();
    level = r.ReadByte();
    players = r.ReadByte();
}

void EventClientConnectData::Write(ByteWriter& w) const { w.WriteByte(team); }
void EventClientConnectData::Read(ByteReader& r) { team = r.ReadByte(); }

void ClientIdData::Write(ByteWriter& w) const { w.WriteByte(clientId); }
void ClientIdData::Read(ByteReader& r) { clientId = r.ReadByte(); }

void EventClientToBotData::Write(ByteWriter& w) const {
    w.WriteShort(static_cast<uint16_t>(actorId));
    w.WriteByte(team);
}
void EventClientToBotData::Read(ByteReader& r) {
    actorId = r.ReadInt16();
    team = r.ReadByte();
}

void EventUpdateServerListData::Write(ByteWriter& w) const {
    w.WriteString(gameName);
    w.WriteByte(mode);
    w.WriteByte(level);
    w.WriteByte(players);
    w.WriteInt(static_cast<uint32_t>(socket));
    w.Write(&address, sizeof address);
}
void EventUpdateServerListData::Read(ByteReader& r) {
    r.ReadString(gameName);
    mode = r.ReadByte();
    level = r.ReadByte();
    players = r.ReadByte();
    socket = r.ReadInt32();
    r.Read(&address, sizeof address);
}

}  // namespace Networking

void TestEventData::Write(EventSystem::ByteWriter& w) const { w.WriteInt(static_cast<uint32_t>(value)); }
void TestEventData::Read(EventSystem::ByteReader& r) { value = r.ReadInt32(); }
