// 2-D textures: decoded from PNG (stb_image) or made from RGBA pixels,
// uploaded with mipmaps, sampled with clamped addressing by default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform {

class Texture {
public:
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Null with the reason when the file cannot be read or decoded.
    static std::shared_ptr<Texture> FromFile(const std::string& path, std::string* error);
    static std::shared_ptr<Texture> FromMemory(const uint8_t* data, size_t size, std::string* error);
    // rgba: width * height * 4 bytes, top row first.
    static std::shared_ptr<Texture> FromPixels(int width, int height, const uint8_t* rgba, std::string* error);

    unsigned Id() const { return m_id; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Bind(int unit) const;
    // Reads level 0 back as RGBA, top row first (tests, diagnostics).
    bool ReadBack(std::vector<uint8_t>& rgba) const;

private:
    Texture(unsigned id, int w, int h) : m_id(id), m_width(w), m_height(h) {}
    unsigned m_id;
    int m_width;
    int m_height;
};

}  // namespace Platform
