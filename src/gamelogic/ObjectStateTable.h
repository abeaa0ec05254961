// The logic's copy of the object-state table and the model extents, read from
// the same files the graphics engine reads: each actor's state, and the size
// of its body from the extent of that state's model.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>

#include "events/types/ObjectState.h"
#include "utility/Geometry.h"

namespace GameLogicView {

class ObjectStateTable {
public:
    static constexpr const char* kStatesFile = "Config/Graphics/gfxObjStates.ini";
    static constexpr const char* kExtentsFile = "Config/Graphics/ModelExtents.ini";

    // Reads both files. Entries already present stay unless the files
    // redefine them. A file that cannot be opened, lacks a marker or ends
    // before its count is reached keeps what was read before the problem,
    // logs an error and makes the result false.
    bool Load(const std::string& statesFile, const std::string& extentsFile);
    bool LoadStates(std::istream& in, const std::string& name);
    bool LoadExtents(std::istream& in, const std::string& name);

    // Copies the stored record; false (output untouched) when absent.
    bool GetState(int32_t stateId, ObjectState& out) const;
    // The extent of the state's model (model -1 when the state is absent);
    // false (output untouched) when that model has none.
    bool GetStateAndExtent(int32_t stateId, Geometry::Vector3& out) const;

    const std::map<int32_t, ObjectState>& States() const { return m_states; }
    const std::map<int32_t, Geometry::Vector3>& ModelExtents() const { return m_extents; }

private:
    std::map<int32_t, ObjectState> m_states;
    std::map<int32_t, Geometry::Vector3> m_extents;
};

}  // namespace GameLogicView
