// Silences the readers' problem reports once per process: a fuzzer feeds
// them broken input on purpose, millions of times, and only a crash, a hang
// or a broken promise of the reader is a finding.
#pragma once

#include <string>

#include "utility/Diagnostics.h"

namespace Fuzz {

inline void Quiet() {
    static const bool done = [] {
        Utility::SetProblemSink([](Utility::Severity, const std::string&) {});
        return true;
    }();
    (void)done;
}

}  // namespace Fuzz
