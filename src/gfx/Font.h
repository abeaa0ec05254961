// A font of the screen text: a TrueType file rasterised by FreeType into a
// glyph atlas, with the text layout of our DrawText (measuring, alignment,
// word wrap, clipping) and the sprite batch every screen text is drawn with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace Platform {
class AlphaTexture;
class SpriteBatch;
}  // namespace Platform

namespace Gfx {

// Format flags of DrawText, with the values the data files and callers use.
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_CALCRECT = 0x400;

// A rectangle in pixels: left and top inside, right and bottom just outside.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A 2-D affine map of text pixels to back-buffer pixels:
// x' = a x + b y + tx, y' = c x + d y + ty.
struct SpriteTransform {
    float a = 1, b = 0, tx = 0;
    float c = 0, d = 1, ty = 0;
};

// One batch of text quads per frame (all text is drawn through one).
class Sprite {
public:
    static constexpr unsigned kAlphaBlend = 0x10;
    static constexpr unsigned kSortTexture = 0x40;

    // Empty when the GL objects cannot be made (no context).
    static std::shared_ptr<Sprite> Create(int id);
    ~Sprite();

    int Id() const { return m_id; }
    // width x height: the back buffer the pixels refer to.
    void Begin(unsigned flags, int width, int height);
    void SetTransform(const SpriteTransform& t) { m_transform = t; }
    const SpriteTransform& GetTransform() const { return m_transform; }
    // A glyph's box in text pixels with its atlas texels; transformed here.
    void AddQuad(unsigned texture, float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                 uint32_t argb);
    // Draws what was queued so far (before the atlas under it changes).
    void Flush();
    void End();
    bool InBatch() const { return m_begun; }
    int DrawCalls() const;

    void OnLostDevice();
    void OnResetDevice();

private:
    explicit Sprite(int id);
    int m_id;
    std::unique_ptr<Platform::SpriteBatch> m_batch;
    SpriteTransform m_transform;
    unsigned m_flags = 0;
    bool m_begun = false;
};

class Font {
public:
    enum Style { kRegular = 0, kBold = 1, kItalic = 2, kBoldItalic = 3 };

    // Loads the file at path with a cell height of size pixels. Empty with
    // the reason when the file is not a font FreeType reads.
    static std::shared_ptr<Font> Create(int id, const std::string& path, const std::string& face, int size, int style,
                                        std::string* error);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Lays text (UTF-8; count bytes, or all when negative) out in rect.
    // DT_CALCRECT: rect becomes the text's extent and nothing is drawn.
    // Otherwise the glyphs are queued on the sprite (nothing when it is
    // null). Returns the height of the laid-out text in pixels.
    int DrawText(Sprite* sprite, const std::string& text, int count, Rect* rect, unsigned format, uint32_t argb);

    int Id() const { return m_id; }
    const std::string& FilePath() const { return m_path; }
    const std::string& Face() const { return m_faceName; }
    int Size() const { return m_size; }
    int GetStyle() const { return m_style; }
    int LineHeight() const { return m_lineHeight; }
    int Ascent() const { return m_ascent; }
    size_t CachedGlyphs() const { return m_glyphs.size(); }
    // The atlas in GL (0 until something was drawn, and after device loss).
    unsigned AtlasTexture() const;
    int AtlasWidth() const { return m_atlasW; }
    int AtlasHeight() const { return m_atlasH; }
    // Whether the font itself has a glyph for the code point.
    bool HasGlyph(uint32_t codePoint) const;

    void OnLostDevice();
    void OnResetDevice() {}

    struct Glyph {
        int x = 0, y = 0, w = 0, h = 0;  // in the atlas
        int left = 0, top = 0;           // bitmap offset from the pen (top: up from the baseline)
        int advance = 0;
    };

private:
    Font() = default;
    const Glyph& GetGlyph(uint32_t codePoint, Sprite* sprite);
    bool Rasterise(uint32_t codePoint, Glyph& out, Sprite* sprite);
    bool Place(int w, int h, int& x, int& y, Sprite* sprite);
    void MissingBox(Glyph& g, Sprite* sprite);
    void EnsureTexture();

    struct Library;
    std::shared_ptr<Library> m_lib;
    void* m_ftFace = nullptr;  // FT_Face
    int m_id = 0;
    std::string m_path;
    std::string m_faceName;
    int m_size = 0;
    int m_style = 0;
    bool m_fakeBold = false;
    bool m_fakeItalic = false;
    int m_ascent = 0;
    int m_lineHeight = 0;

    std::unordered_map<uint32_t, Glyph> m_glyphs;
    // The atlas: a copy in memory and the texture in GL, rows packed in shelves.
    std::vector<uint8_t> m_atlas;
    int m_atlasW = 0, m_atlasH = 0;
    int m_shelfX = 0, m_shelfY = 0, m_shelfH = 0;
    unsigned m_generation = 0;  // bumped when the atlas is cleared
    std::unique_ptr<Platform::AlphaTexture> m_texture;
    bool m_textureStale = false;
};

}  // namespace Gfx
