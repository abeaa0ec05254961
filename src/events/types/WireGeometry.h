// The byte form of the geometry values events carry: a vector is x, y, z and
// a quaternion w, x, y, z, each a little-endian 32-bit float.
#pragma once

#include "events/ByteStream.h"
#include "utility/Geometry.h"

namespace EventTypes {

inline void WriteVector3(EventSystem::ByteWriter& w, const Geometry::Vector3& v) {
    w.WriteFloat(v.x);
    w.WriteFloat(v.y);
    w.WriteFloat(v.z);
}

inline void WriteQuaternion(EventSystem::ByteWriter& w, const Geometry::Quaternion& q) {
    w.WriteFloat(q.w);
    w.WriteFloat(q.x);
    w.WriteFloat(q.y);
    w.WriteFloat(q.z);
}

inline void ReadVector3(EventSystem::ByteReader& r, Geometry::Vector3& v) {
    v.x = r.ReadFloat();
    v.y = r.ReadFloat();
    v.z = r.ReadFloat();
}

inline void ReadQuaternion(EventSystem::ByteReader& r, Geometry::Quaternion& q) {
    q.w = r.ReadFloat();
    q.x = r.ReadFloat();
    q.y = r.ReadFloat();
    q.z = r.ReadFloat();
}

inline void WriteInt16(EventSystem::ByteWriter& w, int16_t v) { w.WriteShort(static_cast<uint16_t>(v)); }
inline void WriteInt32(EventSystem::ByteWriter& w, int32_t v) { w.WriteInt(static_cast<uint32_t>(v)); }

}  // namespace EventTypes
