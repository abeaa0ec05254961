#include "GfxTestSupport.h"
#include "support/TempPath.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace GfxTest {

std::string WriteSolidPng(const std::string& name, int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4u);
    for (size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = a;
    const std::string path = TestSupport::TempPath(name);
    stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4);
    return path;
}

void DumpFrame(const std::vector<uint8_t>& rgba, int size, const std::string& name) {
    const char* dir = std::getenv("MIRAV_GFX_DUMP");
    if (!dir || rgba.size() != static_cast<size_t>(size) * static_cast<size_t>(size) * 4u) return;
    stbi_flip_vertically_on_write(1);
    stbi_write_png((std::string(dir) + "/" + name + ".png").c_str(), size, size, 4, rgba.data(), size * 4);
    stbi_flip_vertically_on_write(0);
}

}  // namespace GfxTest
