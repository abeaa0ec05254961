// The screenshot hook for tests and smoke runs: MIRAV_SCREENSHOT=<frame>:<file.png>
// writes the back buffer of that presented frame (counted from 1) as a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Gfx {

struct ScreenshotRequest {
    int frame = -1;  // -1: none
    std::string path;

    // Parses "<frame>:<file>"; anything else (no colon, a frame below 1,
    // an empty name) is no request.
    static ScreenshotRequest Parse(const char* value);
    static ScreenshotRequest FromEnvironment();
    bool Wanted(int frame_) const { return frame >= 1 && frame_ == frame; }
};

// Writes RGBA rows given bottom row first (as GL reads them) as a PNG with
// the top row first. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbaBottomUp);

}  // namespace Gfx
