#include "platform/GLTexture.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <climits>
#include <fstream>
#include <iterator>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>

namespace Platform {

namespace {
// Larger images than this are refused before decoding: no texture of the
// game comes near it, and a damaged header must not ask for gigabytes.
constexpr int kMaxSide = 8192;
}

Texture::~Texture() {
    // After the context is gone its objects went with it.
    if (m_id && SDL_GL_GetCurrentContext()) glDeleteTextures(1, &m_id);
}

std::shared_ptr<Texture> Texture::FromFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return nullptr;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error) *error = "cannot read " + path;
        return nullptr;
    }
    std::string why;
    auto tex = FromMemory(bytes.data(), bytes.size(), &why);
    if (!tex && error) *error = path + ": " + why;
    return tex;
}

std::shared_ptr<Texture> Texture::FromMemory(const uint8_t* data, size_t size, std::string* error) {
    if (!data || size == 0 || size > static_cast<size_t>(INT_MAX)) {
        if (error) *error = "no image data";
        return nullptr;
    }
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels)) {
        if (error) *error = std::string("not a PNG image: ") + stbi_failure_reason();
        return nullptr;
    }
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        if (error) *error = "image size out of range";
        return nullptr;
    }
    stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (!pixels) {
        if (error) *error = std::string("cannot decode the image: ") + stbi_failure_reason();
        return nullptr;
    }
    auto tex = FromPixels(w, h, pixels, error);
    stbi_image_free(pixels);
    return tex;
}

std::shared_ptr<Texture> Texture::FromPixels(int width, int height, const uint8_t* rgba, std::string* error) {
    if (!rgba || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        if (error) *error = "bad pixel data";
        return nullptr;
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    if (!id) {
        if (error) *error = "cannot create a texture";
        return nullptr;
    }
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Images come top row first; GL's first row is the bottom one. Rows are
    // uploaded as they are and texture coordinates keep Direct3D's
    // convention (v = 0 at the top), so the two flips cancel.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() == GL_OUT_OF_MEMORY) {
        glDeleteTextures(1, &id);
        if (error) *error = "out of video memory";
        return nullptr;
    }
    return std::shared_ptr<Texture>(new Texture(id, width, height));
}

void Texture::Bind(int unit) const {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, m_id);
}

bool Texture::ReadBack(std::vector<uint8_t>& rgba) const {
    if (!m_id) return false;
    rgba.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height) * 4u, 0);
    glBindTexture(GL_TEXTURE_2D, m_id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

}  // namespace Platform
