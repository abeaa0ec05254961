#include "events/types/ObjectState.h"

#include <cstring>

#include "events/ByteStream.h"

namespace GameLogicView {

namespace {
void TakeIfUnset(int32_t& mine, int32_t theirs) {
    if (mine == -1) mine = theirs;
}
}  // namespace

void ObjectState::MergeDefaults(const ObjectState& other) {
    TakeIfUnset(modelId, other.modelId);
    TakeIfUnset(textureId, other.textureId);
    TakeIfUnset(materialId, other.materialId);
    TakeIfUnset(effectId, other.effectId);
    if (alpha == -1.0f) alpha = other.alpha;
    TakeIfUnset(techniqueId, other.techniqueId);
    flags |= other.flags;
}

void ObjectState::Serialize(EventSystem::ByteWriter& w) const {
    w.WriteInt(static_cast<uint32_t>(stateId));
    w.WriteInt(static_cast<uint32_t>(techniqueId));
    w.WriteInt(static_cast<uint32_t>(modelId));
    w.WriteInt(static_cast<uint32_t>(materialId));
    w.WriteInt(static_cast<uint32_t>(effectId));
    w.WriteInt(static_cast<uint32_t>(textureId));
    w.WriteFloat(alpha);
    w.WriteInt(static_cast<uint32_t>(flags));
}

void ObjectState::Deserialize(EventSystem::ByteReader& r) {
    stateId = r.ReadInt32();
    techniqueId = r.ReadInt32();
    modelId = r.ReadInt32();
    materialId = r.ReadInt32();
    effectId = r.ReadInt32();
    textureId = r.ReadInt32();
    alpha = r.ReadFloat();
    flags = r.ReadInt32();
}

bool operator==(const ObjectState& a, const ObjectState& b) {
    // Alpha compared by its bits, so a record equals itself even when alpha
    // arrived as a NaN.
    return a.stateId == b.stateId && a.flags == b.flags && a.modelId == b.modelId && a.materialId == b.materialId &&
           a.effectId == b.effectId && a.textureId == b.textureId && a.techniqueId == b.techniqueId &&
           std::memcmp(&a.alpha, &b.alpha, sizeof(float)) == 0;
}

}  // namespace GameLogicView
