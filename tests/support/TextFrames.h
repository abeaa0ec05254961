// Helpers of the screen-text tests: where the font files are, the box of
// drawn (non-background) pixels in a captured frame, and a PNG of a frame
// for looking at (written only when MIRAV_PNG_DIR names a folder).
#pragma once

// A private copy of the PNG writer in each test file that uses these helpers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace TextFrames {

// The font files the generator copies into data/Fonts (tests run in data/);
// the system's copy when the data has not been generated.
inline std::string FontFile(const std::string& name) {
    const std::string local = "Fonts/" + name;
    if (std::ifstream(local).good()) return local;
    return "/usr/share/fonts/truetype/dejavu/" + name;
}

struct Ink {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom just outside
    int count = 0;
    bool Empty() const { return count == 0; }
};

// frame: RGBA rows bottom first (as captured); the box is in top-down pixels.
// A pixel counts when any channel differs from the background by more than tolerance.
inline Ink FindInk(const std::vector<uint8_t>& frame, int w, int h, const uint8_t bg[3], int tolerance = 40,
                   int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
    if (x1 < 0) x1 = w;
    if (y1 < 0) y1 = h;
    Ink ink;
    ink.left = w, ink.top = h;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const size_t i = (static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4u;
            bool on = false;
            for (int c = 0; c < 3; ++c) on = on || std::abs(int(frame[i + c]) - int(bg[c])) > tolerance;
            if (!on) continue;
            ++ink.count;
            ink.left = std::min(ink.left, x);
            ink.top = std::min(ink.top, y);
            ink.right = std::max(ink.right, x + 1);
            ink.bottom = std::max(ink.bottom, y + 1);
        }
    if (ink.count == 0) ink.left = ink.top = 0;
    return ink;
}

inline std::vector<uint8_t> Pixel(const std::vector<uint8_t>& frame, int w, int h, int x, int y) {
    const size_t i = (static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4u;
    return {frame[i], frame[i + 1], frame[i + 2], frame[i + 3]};
}

inline void SavePng(const std::string& name, const std::vector<uint8_t>& frame, int w, int h) {
    const char* dir = std::getenv("MIRAV_PNG_DIR");
    if (!dir || !*dir) return;
    std::vector<uint8_t> top(frame.size());
    const size_t row = static_cast<size_t>(w) * 4u;
    for (int y = 0; y < h; ++y)
        std::copy_n(&frame[static_cast<size_t>(h - 1 - y) * row], row, &top[static_cast<size_t>(y) * row]);
    std::ofstream out(std::string(dir) + "/" + name + ".png", std::ios::binary);
    stbi_write_png_to_func(
        [](void* ctx, void* data, int size) { static_cast<std::ofstream*>(ctx)->write(static_cast<char*>(data), size); },
        &out, w, h, 4, top.data(), static_cast<int>(row));
}

}  // namespace TextFrames
