// Feeds arbitrary text to the reader of the text effect file: no crash, no
// hang, and every system handed over is well formed (no empty step, no
// missing record, no negative time, a bounded number of steps).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Quiet.h"
#include "screens/TextEffectParser.h"
#include "utility/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Quiet();

    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t systems = 0;
    GameLogicView::TextEffectParser parser([&](const GameLogicView::TextEffectSystem& s) {
        ++systems;
        if (s.steps.size() > GameLogicView::TextEffectParser::kMaxSteps) std::abort();
        for (const auto& step : s.steps) {
            if (step.empty()) std::abort();
            for (const auto& p : step) {
                if (!p || p->duration < 0 || p->type < 0 || p->type > 5) std::abort();
            }
        }
    });
    parser.ParseText(text, "fuzz");
    if (systems > size) std::abort();  // each system takes at least its name and "End"
    return 0;
}
