// The graphics object state an actor is drawn with: which model, material,
// effect, texture and technique, with which flags and alpha. The logic only
// stores, merges and forwards it; -1 (or -1.0 for alpha) means unset.
#pragma once

#include <cstdint>

namespace EventSystem {
class ByteWriter;
class ByteReader;
}  // namespace EventSystem

namespace GameLogicView {

struct ObjectState {
    // The byte form: eight 32-bit words.
    static constexpr uint32_t kByteSize = 32;

    int32_t stateId = 0;
    int32_t flags = 0;
    int32_t modelId = -1;
    int32_t materialId = -1;
    int32_t effectId = -1;
    int32_t textureId = -1;
    int32_t techniqueId = -1;
    float alpha = -1.0f;

    ObjectState() = default;
    explicit ObjectState(int32_t id) : stateId(id) {}

    // Fills this record's unset ids and alpha from other and ORs its flags in;
    // the state id stays.
    void MergeDefaults(const ObjectState& other);

    // Word order: state, technique, model, material, effect, texture, alpha, flags.
    void Serialize(EventSystem::ByteWriter& writer) const;
    void Deserialize(EventSystem::ByteReader& reader);
};

bool operator==(const ObjectState& a, const ObjectState& b);
inline bool operator!=(const ObjectState& a, const ObjectState& b) { return !(a == b); }

}  // namespace GameLogicView
