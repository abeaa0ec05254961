// Reads random text as an object-state file and as a model-extent file: no
// crash and no hang, whatever markers, counts and values it holds.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Quiet.h"
#include "gamelogic/ObjectStateTable.h"
#include "utility/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Quiet();
    const std::string text(reinterpret_cast<const char*>(data), size);
    GameLogicView::ObjectStateTable table;
    std::istringstream states(text), extents(text);
    table.LoadStates(states, "fuzz");
    table.LoadExtents(extents, "fuzz");
    // Every stored extent came from a complete entry of the text.
    if (table.ModelExtents().size() > size / 8 + 1) std::abort();
    return 0;
}
