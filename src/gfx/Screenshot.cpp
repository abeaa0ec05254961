#include "gfx/Screenshot.h"

#include <cstdlib>
#include <cstring>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace Gfx {

ScreenshotRequest ScreenshotRequest::Parse(const char* value) {
    ScreenshotRequest r;
    if (!value) return r;
    const char* colon = std::strchr(value, ':');
    if (!colon || colon == value || colon[1] == '\0') return r;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end != colon || n < 1 || n > 1000000000L) return r;
    r.frame = static_cast<int>(n);
    r.path = colon + 1;
    return r;
}

ScreenshotRequest ScreenshotRequest::FromEnvironment() { return Parse(std::getenv("MIRAV_SCREENSHOT")); }

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        return false;
    const size_t stride = static_cast<size_t>(width) * 4;
    // Top row first, and opaque: what blending left in the alpha channel is
    // not part of the picture.
    std::vector<uint8_t> out(stride * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgba.data() + static_cast<size_t>(height - 1 - y) * stride;
        uint8_t* dst = out.data() + static_cast<size_t>(y) * stride;
        std::memcpy(dst, src, stride);
        for (size_t x = 3; x < stride; x += 4) dst[x] = 255;
    }
    return stbi_write_png(path.c_str(), width, height, 4, out.data(), static_cast<int>(stride)) != 0;
}

}  // namespace Gfx
