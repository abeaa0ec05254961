// Feeds arbitrary text to the tokeniser and to a reader of marked, counted
// blocks built on it: no crash, no hang, no token with a delimiter in it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Quiet.h"
#include "utility/Diagnostics.h"
#include "utility/Tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Quiet();

    const std::string text(reinterpret_cast<const char*>(data), size);
    Utility::Tokenizer t;
    t.LoadText(text, "fuzz");
    for (const auto& token : t.Tokens()) {
        if (token.empty() || token.find_first_of(Utility::Tokenizer::kDelimiters) != std::string::npos) std::abort();
        if (token.find('\n') != std::string::npos) std::abort();
    }

    // A reader of "START n v1 .. vn ... END" blocks; every loop must end.
    size_t steps = 0;
    while (t.SkipTo("START")) {
        long count = 0;
        if (!t.NextCount(64, count)) break;
        for (long i = 0; i < count; ++i) {
            float f;
            t.NextFloat(f);
        }
        std::vector<std::string> rest;
        if (!t.ReadUntil("END", rest)) break;
        if (++steps > size + 1) std::abort();  // each pass consumes tokens
    }
    // Reads past the end are harmless and keep the cursor in range.
    t.NextToken();
    t.NextInt();
    t.NextFloat();
    if (t.Cursor() > t.Tokens().size()) std::abort();
    return 0;
}
