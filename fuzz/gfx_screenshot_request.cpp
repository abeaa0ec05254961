// Reads random text as the screenshot hook's "<frame>:<file>" value: no
// crash; a request it accepts names a frame from 1 and a file that is the
// text after the first colon.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gfx/Screenshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Gfx::ScreenshotRequest r = Gfx::ScreenshotRequest::Parse(text.c_str());
    if (r.frame == -1) {
        if (!r.path.empty()) std::abort();
        return 0;
    }
    if (r.frame < 1 || r.path.empty()) std::abort();
    const char* colon = std::strchr(text.c_str(), ':');
    if (!colon || r.path != std::string(colon + 1)) std::abort();
    return 0;
}
