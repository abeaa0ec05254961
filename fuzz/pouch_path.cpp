// Reads a HUD pouch path from arbitrary text, builds the curve and samples
// it: no crash, no hang, at most the asked number of points kept, every
// one finite, and a length that is never negative.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "utility/Spline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    Utility::Spline path;
    path.ReadPoints(in, 64);
    if (path.points.size() > 64) std::abort();
    for (const auto& p : path.points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) std::abort();
    if (!path.Build()) return 0;
    if (!(path.totalLength >= 0.0f)) std::abort();
    if (!std::isfinite(path.totalLength)) return 0;  // points huge enough to overflow the length
    for (float d : {-1.0f, 0.0f, 0.25f, 1.0f, 3.5f, 1e6f, path.totalLength, path.totalLength * 2.5f}) {
        const auto p = path.GetPointAtDistance(d);
        (void)p;
    }
    return 0;
}
