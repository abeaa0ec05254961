#include "gamelogic/ObjectStateTable.h"

#include <fstream>
#include <istream>

#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

// Reads words until one equals marker; false when the input ends first.
bool SkipToWord(std::istream& in, const char* marker) {
    std::string word;
    while (in >> word)
        if (word == marker) return true;
    return false;
}

void Error(const std::string& where, const std::string& name, const std::string& what) {
    Utility::ReportError("ObjectStateTable::" + where + ": " + name + ": " + what);
}

}  // namespace

bool ObjectStateTable::Load(const std::string& statesFile, const std::string& extentsFile) {
    bool ok = true;
    std::ifstream states(statesFile);
    if (!states) {
        Error("Load", statesFile, "cannot open the object-state file");
        ok = false;
    } else {
        ok = LoadStates(states, statesFile) && ok;
    }
    std::ifstream extents(extentsFile);
    if (!extents) {
        Error("Load", extentsFile, "cannot open the model-extent file");
        ok = false;
    } else {
        ok = LoadExtents(extents, extentsFile) && ok;
    }
    return ok;
}

namespace {
// Reads one value; the target keeps its value when the text is not a number.
template <class T>
bool ReadValue(std::istream& in, T& target) {
    T value{};
    if (!(in >> value)) return false;
    target = value;
    return true;
}
}  // namespace

bool ObjectStateTable::LoadStates(std::istream& in, const std::string& name) {
    if (!SkipToWord(in, "STATES_START")) {
        Error("LoadStates", name, "no STATES_START marker; no state read");
        return false;
    }
    ObjectState record;
    int32_t id = 0;
    bool started = false;
    bool ended = false;
    bool readOk = true;
    std::string word;
    while (readOk && in >> word) {
        if (word == "STATES_END") {
            ended = true;
            break;
        }
        if (word == "MODEL") {
            readOk = ReadValue(in, record.modelId);
        } else if (word == "TEXTURE") {
            readOk = ReadValue(in, record.textureId);
        } else if (word == "TECHNIQUE") {
            readOk = ReadValue(in, record.techniqueId);
        } else if (word == "ALPHA") {
            readOk = ReadValue(in, record.alpha);
        } else if (word == "EFFECT") {
            readOk = ReadValue(in, record.effectId);
        } else if (word == "FLAGS") {
            readOk = ReadValue(in, record.flags);
        } else if (word == "MATERIAL") {
            readOk = ReadValue(in, record.materialId);
        } else {
            // Any other word is a state's header: the previous state is done.
            int32_t next = 0;
            readOk = ReadValue(in, next);
            if (!readOk) break;
            if (started) m_states[id] = record;
            started = true;
            id = next;
            record = ObjectState(id);
        }
    }
    // The state being read is kept even when the list ended early. (A
    // section without any state stores the all-unset record under id 0.)
    m_states[id] = record;
    if (ended) return true;
    if (!readOk && !in.eof())
        Error("LoadStates", name, "malformed value after '" + word + "'; states read so far kept");
    else
        Error("LoadStates", name, "no STATES_END marker; states read so far kept");
    return false;
}

bool ObjectStateTable::LoadExtents(std::istream& in, const std::string& name) {
    if (!SkipToWord(in, "EXTENT_START")) {
        Error("LoadExtents", name, "no EXTENT_START marker; no extent read");
        return false;
    }
    long count = 0;
    if (!(in >> count) || count < 0) {
        Error("LoadExtents", name, "missing or negative count; no extent read");
        return false;
    }
    for (long i = 0; i < count; ++i) {
        int32_t model = 0;
        Geometry::Vector3 e;
        if (!(in >> model >> e.x >> e.y >> e.z)) {
            Error("LoadExtents", name,
                  "count " + std::to_string(count) + " but only " + std::to_string(i) + " complete entries");
            return false;
        }
        m_extents[model] = e;
    }
    return true;
}

bool ObjectStateTable::GetState(int32_t stateId, ObjectState& out) const {
    auto it = m_states.find(stateId);
    if (it == m_states.end()) return false;
    out = it->second;
    return true;
}

bool ObjectStateTable::GetStateAndExtent(int32_t stateId, Geometry::Vector3& out) const {
    auto state = m_states.find(stateId);
    const int32_t model = state == m_states.end() ? -1 : state->second.modelId;
    auto extent = m_extents.find(model);
    if (extent == m_extents.end()) return false;
    out = extent->second;
    return true;
}

}  // namespace GameLogicView
