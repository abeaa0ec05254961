// Screen-space quads in one batch: single-channel coverage textures (glyph
// atlases) drawn in a colour with alpha blending, in back-buffer pixels.
// Drawing leaves every piece of GL state it touches as it found it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Platform {

// A single-channel texture whose storage may grow; its GL name stays the
// same, so quads queued against it stay valid (texture coordinates are in
// texels and normalised when drawn).
class AlphaTexture {
public:
    AlphaTexture() = default;
    ~AlphaTexture();
    AlphaTexture(const AlphaTexture&) = delete;
    AlphaTexture& operator=(const AlphaTexture&) = delete;

    // (Re)allocates width x height texels from rows (top first, width bytes
    // each; null clears). False when GL refuses.
    bool Allocate(int width, int height, const uint8_t* texels);
    // Writes a block; rows are `pitch` bytes apart. Ignored outside the texture.
    void Upload(int x, int y, int w, int h, const uint8_t* texels, int pitch);
    void Release();

    unsigned Id() const { return m_id; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    unsigned m_id = 0;
    void* m_context = nullptr;  // the GL context the name belongs to
    int m_width = 0;
    int m_height = 0;
};

struct SpriteVertex {
    float x, y;    // back-buffer pixels, y down
    float u, v;    // texels of the texture
    uint32_t argb;  // colour with alpha in the top byte
};

class SpriteBatch {
public:
    SpriteBatch();
    ~SpriteBatch();
    SpriteBatch(const SpriteBatch&) = delete;
    SpriteBatch& operator=(const SpriteBatch&) = delete;

    // GL objects made (again); false without a usable context.
    bool Create();
    void Release();
    bool IsValid() const { return m_program != 0; }

    // Quads are queued until Flush; viewport size maps pixels to the screen.
    void SetViewport(int width, int height) { m_width = width, m_height = height; }
    // Four corners: top left, top right, bottom right, bottom left.
    void AddQuad(unsigned texture, const SpriteVertex corners[4]);
    // Draws the queued quads (grouped by texture when sortByTexture, the
    // order within a texture kept) and empties the queue.
    void Flush(bool sortByTexture);
    size_t QueuedQuads() const { return m_quads.size(); }
    int DrawCalls() const { return m_drawCalls; }

private:
    struct Quad {
        unsigned texture;
        SpriteVertex v[4];
    };
    std::vector<Quad> m_quads;
    std::vector<float> m_scratch;
    void* m_context = nullptr;  // the GL context the objects belong to
    unsigned m_program = 0;
    unsigned m_vao = 0;
    unsigned m_vbo = 0;
    unsigned m_ebo = 0;
    int m_locScreen = -1;
    int m_locAtlas = -1;
    size_t m_eboQuads = 0;
    size_t m_vboBytes = 0;
    int m_width = 1;
    int m_height = 1;
    int m_drawCalls = 0;
};

}  // namespace Platform
