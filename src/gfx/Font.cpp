#include "gfx/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/GLSprite.h"

namespace Gfx {

namespace {

constexpr int kAtlasStart = 256;
constexpr int kAtlasMax = 4096;
constexpr uint32_t kReplacement = 0xFFFD;

// UTF-8 to code points; every byte that does not start a well-formed
// sequence (overlong, surrogate, beyond U+10FFFF, cut short) becomes U+FFFD.
void DecodeUtf8(const char* s, size_t n, std::vector<uint32_t>& out) {
    size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = 0;
        uint32_t cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
}

bool IsSpace(uint32_t cp) { return cp == ' ' || cp == '\t'; }

}  // namespace

// ---- Sprite ----

Sprite::Sprite(int id) : m_id(id), m_batch(new Platform::SpriteBatch) {}

Sprite::~Sprite() = default;

std::shared_ptr<Sprite> Sprite::Create(int id) {
    std::shared_ptr<Sprite> s(new Sprite(id));
    if (!s->m_batch->Create()) return nullptr;
    return s;
}

void Sprite::Begin(unsigned flags, int width, int height) {
    m_flags = flags;
    m_begun = true;
    m_transform = SpriteTransform();
    m_batch->SetViewport(width, height);
}

void Sprite::AddQuad(unsigned texture, float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                     uint32_t argb) {
    const SpriteTransform& t = m_transform;
    Platform::SpriteVertex c[4] = {{x0, y0, u0, v0, argb}, {x1, y0, u1, v0, argb}, {x1, y1, u1, v1, argb},
                                   {x0, y1, u0, v1, argb}};
    // Unscaled, unrotated text lands on whole pixels, so it stays sharp.
    const bool plain = t.a == 1.0f && t.d == 1.0f && t.b == 0.0f && t.c == 0.0f;
    const float tx = plain ? std::round(t.tx) : t.tx;
    const float ty = plain ? std::round(t.ty) : t.ty;
    for (auto& v : c) {
        const float x = v.x, y = v.y;
        v.x = t.a * x + t.b * y + tx;
        v.y = t.c * x + t.d * y + ty;
    }
    m_batch->AddQuad(texture, c);
}

void Sprite::Flush() { m_batch->Flush((m_flags & kSortTexture) != 0); }

void Sprite::End() {
    Flush();
    m_begun = false;
}

int Sprite::DrawCalls() const { return m_batch->DrawCalls(); }

void Sprite::OnLostDevice() { m_batch->Release(); }

void Sprite::OnResetDevice() { m_batch->Create(); }

// ---- Font ----

struct Font::Library {
    FT_Library lib = nullptr;
    ~Library() {
        if (lib) FT_Done_FreeType(lib);
    }
    static std::shared_ptr<Library> Get() {
        static std::weak_ptr<Library> shared;
        std::shared_ptr<Library> l = shared.lock();
        if (l) return l;
        l = std::make_shared<Library>();
        if (FT_Init_FreeType(&l->lib) != 0) {
            l->lib = nullptr;
            return nullptr;
        }
        shared = l;
        return l;
    }
};

std::shared_ptr<Font> Font::Create(int id, const std::string& path, const std::string& face, int size, int style,
                                   std::string* error) {
    std::shared_ptr<Library> lib = Library::Get();
    if (!lib) {
        if (error) *error = "FreeType could not start";
        return nullptr;
    }
    FT_Face ftFace = nullptr;
    if (FT_New_Face(lib->lib, path.c_str(), 0, &ftFace) != 0 || !ftFace) {
        if (error) *error = "cannot read font file " + path;
        return nullptr;
    }
    if (!FT_IS_SCALABLE(ftFace)) {
        FT_Done_Face(ftFace);
        if (error) *error = "not a scalable font: " + path;
        return nullptr;
    }
    // The size is the character cell: ascent plus descent, as the data means it.
    const int cell = std::clamp(size, 1, 512);
    FT_Size_RequestRec req;
    std::memset(&req, 0, sizeof req);
    req.type = FT_SIZE_REQUEST_TYPE_CELL;
    req.height = static_cast<FT_Long>(cell) * 64;
    if (FT_Request_Size(ftFace, &req) != 0) {
        FT_Done_Face(ftFace);
        if (error) *error = "font cannot be sized: " + path;
        return nullptr;
    }
    FT_Select_Charmap(ftFace, FT_ENCODING_UNICODE);

    std::shared_ptr<Font> f(new Font());
    f->m_lib = lib;
    f->m_ftFace = ftFace;
    f->m_id = id;
    f->m_path = path;
    f->m_faceName = face;
    f->m_size = cell;
    f->m_style = style;
    const bool wantBold = style == kBold || style == kBoldItalic;
    const bool wantItalic = style == kItalic || style == kBoldItalic;
    f->m_fakeBold = wantBold && !(ftFace->style_flags & FT_STYLE_FLAG_BOLD);
    f->m_fakeItalic = wantItalic && !(ftFace->style_flags & FT_STYLE_FLAG_ITALIC);
    const FT_Size_Metrics& m = ftFace->size->metrics;
    f->m_ascent = static_cast<int>((m.ascender + 63) >> 6);
    const int descent = static_cast<int>((-m.descender + 63) >> 6);
    f->m_lineHeight = std::max(1, f->m_ascent + descent);
    f->m_atlasW = f->m_atlasH = kAtlasStart;
    f->m_atlas.assign(static_cast<size_t>(kAtlasStart) * kAtlasStart, 0);
    f->m_texture.reset(new Platform::AlphaTexture);
    return f;
}

Font::~Font() {
    m_texture.reset();
    if (m_ftFace) FT_Done_Face(static_cast<FT_Face>(m_ftFace));
}

unsigned Font::AtlasTexture() const { return m_texture ? m_texture->Id() : 0; }

bool Font::HasGlyph(uint32_t codePoint) const {
    return FT_Get_Char_Index(static_cast<FT_Face>(m_ftFace), codePoint) != 0;
}

void Font::OnLostDevice() {
    // The texels stay in memory; the texture is made again when next drawn.
    if (m_texture) m_texture->Release();
}

void Font::EnsureTexture() {
    if (!m_texture) return;
    if (m_texture->Id() == 0 || m_textureStale) {
        m_texture->Allocate(m_atlasW, m_atlasH, m_atlas.data());
        m_textureStale = false;
    }
}

bool Font::Place(int w, int h, int& x, int& y, Sprite* sprite) {
    const int pw = w + 1, ph = h + 1;  // one texel apart, so filtering never bleeds
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (pw > m_atlasW || ph > m_atlasH) {
            if (m_atlasW >= kAtlasMax && m_atlasH >= kAtlasMax) return false;
        }
        for (;;) {
            if (m_shelfX + pw > m_atlasW) {
                m_shelfY += m_shelfH;
                m_shelfX = 0;
                m_shelfH = 0;
            }
            if (m_shelfY + ph <= m_atlasH && pw <= m_atlasW) {
                x = m_shelfX;
                y = m_shelfY;
                m_shelfX += pw;
                m_shelfH = std::max(m_shelfH, ph);
                return true;
            }
            // Grow: the shorter side doubles; texels keep their places.
            if (m_atlasW >= kAtlasMax && m_atlasH >= kAtlasMax) break;
            int nw = m_atlasW, nh = m_atlasH;
            if ((m_atlasW <= m_atlasH && m_atlasW < kAtlasMax) || m_atlasH >= kAtlasMax)
                nw = std::min(m_atlasW * 2, kAtlasMax);
            else
                nh = std::min(m_atlasH * 2, kAtlasMax);
            std::vector<uint8_t> grown(static_cast<size_t>(nw) * static_cast<size_t>(nh), 0);
            for (int row = 0; row < m_atlasH; ++row)
                std::memcpy(&grown[static_cast<size_t>(row) * static_cast<size_t>(nw)],
                            &m_atlas[static_cast<size_t>(row) * static_cast<size_t>(m_atlasW)],
                            static_cast<size_t>(m_atlasW));
            // A wider atlas gives the current shelf room again.
            m_atlas.swap(grown);
            m_atlasW = nw;
            m_atlasH = nh;
            if (m_texture && m_texture->Id()) m_textureStale = true;
        }
        // Full at the largest size: draw what is queued, then start afresh.
        if (sprite && sprite->InBatch()) sprite->Flush();
        std::fill(m_atlas.begin(), m_atlas.end(), 0);
        m_glyphs.clear();
        m_shelfX = m_shelfY = m_shelfH = 0;
        ++m_generation;
        if (m_texture && m_texture->Id()) m_textureStale = true;
    }
    return false;
}

void Font::MissingBox(Glyph& g, Sprite* sprite) {
    // The font's own missing-glyph shape is empty: a hollow box of our own.
    const int w = std::max(3, m_size / 2);
    const int h = std::max(3, (m_ascent * 3) / 4);
    const int t = std::max(1, m_size / 16);
    g.left = t;
    g.top = h;
    g.advance = w + 2 * t;
    g.w = w;
    g.h = h;
    if (!Place(w, h, g.x, g.y, sprite)) {
        g.w = g.h = 0;
        return;
    }
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) {
            const bool edge = xx < t || yy < t || xx >= w - t || yy >= h - t;
            m_atlas[static_cast<size_t>(g.y + yy) * static_cast<size_t>(m_atlasW) + static_cast<size_t>(g.x + xx)] =
                edge ? 255 : 0;
        }
}

bool Font::Rasterise(uint32_t codePoint, Glyph& g, Sprite* sprite) {
    FT_Face face = static_cast<FT_Face>(m_ftFace);
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    bool ok = FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) == 0;
    if (ok) {
        if (m_fakeBold) FT_GlyphSlot_Embolden(face->glyph);
        if (m_fakeItalic) FT_GlyphSlot_Oblique(face->glyph);
        ok = FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
    }
    const FT_Bitmap& bm = face->glyph->bitmap;
    if (!ok || (index == 0 && (bm.width == 0 || bm.rows == 0))) {
        MissingBox(g, sprite);
        return true;
    }
    g.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.w = static_cast<int>(bm.width);
    g.h = static_cast<int>(bm.rows);
    if (g.w == 0 || g.h == 0 || bm.pixel_mode != FT_PIXEL_MODE_GRAY) {
        g.w = g.h = 0;
        return true;
    }
    if (!Place(g.w, g.h, g.x, g.y, sprite)) {
        g.w = g.h = 0;
        return true;
    }
    for (int row = 0; row < g.h; ++row) {
        const unsigned char* src = bm.pitch >= 0 ? bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch
                                                 : bm.buffer + static_cast<ptrdiff_t>(g.h - 1 - row) * -bm.pitch;
        std::memcpy(&m_atlas[static_cast<size_t>(g.y + row) * static_cast<size_t>(m_atlasW) + static_cast<size_t>(g.x)],
                    src, static_cast<size_t>(g.w));
    }
    return true;
}

const Font::Glyph& Font::GetGlyph(uint32_t codePoint, Sprite* sprite) {
    auto it = m_glyphs.find(codePoint);
    if (it != m_glyphs.end()) return it->second;
    Glyph g;
    Rasterise(codePoint, g, sprite);
    if (g.w > 0 && g.h > 0 && m_texture && m_texture->Id() && !m_textureStale)
        m_texture->Upload(g.x, g.y, g.w, g.h, &m_atlas[static_cast<size_t>(g.y) * static_cast<size_t>(m_atlasW) +
                                                        static_cast<size_t>(g.x)],
                          m_atlasW);
    return m_glyphs.emplace(codePoint, g).first->second;
}

namespace {

struct LaidGlyph {
    Font::Glyph g;
    int pen;  // from the line's start
};

struct Line {
    std::vector<LaidGlyph> glyphs;
    int advance = 0;   // the pen after the last glyph
    int inkLeft = 0;   // <= 0: ink left of the start
    int inkRight = 0;  // >= advance when ink passes the pen
    int Width() const { return inkRight - inkLeft; }
};

}  // namespace

int Font::DrawText(Sprite* sprite, const std::string& text, int count, Rect* rect, unsigned format, uint32_t argb) {
    if (!rect || !m_ftFace) return 0;
    const size_t n = count < 0 ? text.size() : std::min(text.size(), static_cast<size_t>(count));
    std::vector<uint32_t> cps;
    cps.reserve(n);
    DecodeUtf8(text.data(), n, cps);

    const bool calc = (format & DT_CALCRECT) != 0;
    const bool single = (format & DT_SINGLELINE) != 0;
    const bool wrap = (format & DT_WORDBREAK) != 0 && !single;
    const int wrapWidth = rect->right - rect->left;

    std::vector<Line> lines;
    // Layout; run again if the atlas had to start afresh part way through,
    // since glyphs placed before that are gone from it.
    for (int pass = 0; pass < 2; ++pass) {
        const unsigned generation = m_generation;
        lines.clear();
        if (cps.empty()) break;
        // Paragraphs end at line breaks (CR LF, LF or CR); one line ignores them.
        std::vector<std::vector<uint32_t>> paragraphs(1);
        for (size_t i = 0; i < cps.size(); ++i) {
            const uint32_t c = cps[i];
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < cps.size() && cps[i + 1] == '\n') ++i;
                if (!single) paragraphs.emplace_back();
                continue;
            }
            if (c < 0x20 && c != '\t') continue;  // other control characters draw nothing
            paragraphs.back().push_back(c == '\t' ? ' ' : c);
        }
        auto advanceOf = [&](uint32_t c) { return GetGlyph(c, sprite).advance; };
        for (const auto& para : paragraphs) {
            std::vector<std::vector<uint32_t>> split;
            if (!wrap) {
                split.push_back(para);
            } else {
                // Greedy: words join the line while they fit; the spaces at a
                // break are dropped; a word wider than the box has a line of its own.
                std::vector<uint32_t> line;
                int width = 0;
                size_t i = 0;
                bool first = true;
                while (i < para.size()) {
                    size_t s = i;
                    while (s < para.size() && IsSpace(para[s])) ++s;
                    size_t e = s;
                    while (e < para.size() && !IsSpace(para[e])) ++e;
                    int spaceW = 0, wordW = 0;
                    for (size_t k = i; k < s; ++k) spaceW += advanceOf(para[k]);
                    for (size_t k = s; k < e; ++k) wordW += advanceOf(para[k]);
                    const bool fits = width + spaceW + wordW <= wrapWidth;
                    if (line.empty() && first) {
                        line.insert(line.end(), para.begin() + static_cast<std::ptrdiff_t>(i),
                                    para.begin() + static_cast<std::ptrdiff_t>(e));
                        width = spaceW + wordW;
                        first = false;
                    } else if (line.empty()) {
                        line.insert(line.end(), para.begin() + static_cast<std::ptrdiff_t>(s),
                                    para.begin() + static_cast<std::ptrdiff_t>(e));
                        width = wordW;
                    } else if (fits) {
                        line.insert(line.end(), para.begin() + static_cast<std::ptrdiff_t>(i),
                                    para.begin() + static_cast<std::ptrdiff_t>(e));
                        width += spaceW + wordW;
                    } else {
                        split.push_back(line);
                        line.assign(para.begin() + static_cast<std::ptrdiff_t>(s),
                                    para.begin() + static_cast<std::ptrdiff_t>(e));
                        width = wordW;
                    }
                    i = e;
                }
                split.push_back(line);
            }
            for (const auto& cl : split) {
                Line line;
                int pen = 0;
                for (uint32_t c : cl) {
                    const Glyph& g = GetGlyph(c, sprite);
                    line.glyphs.push_back({g, pen});
                    if (g.w > 0) {
                        line.inkLeft = std::min(line.inkLeft, pen + g.left);
                        line.inkRight = std::max(line.inkRight, pen + g.left + g.w);
                    }
                    pen += g.advance;
                }
                line.advance = pen;
                line.inkRight = std::max(line.inkRight, pen);
                lines.push_back(std::move(line));
            }
        }
        if (generation == m_generation) break;
    }

    int maxWidth = 0;
    for (const Line& l : lines) maxWidth = std::max(maxWidth, l.Width());
    const int blockHeight = static_cast<int>(lines.size()) * m_lineHeight;

    if (calc) {
        // The horizontal alignment keeps its anchor: centred text stays
        // centred on the box's middle, right-aligned text on its right edge.
        if (format & DT_CENTER) {
            rect->left = (rect->left + rect->right - maxWidth) / 2;
            rect->right = rect->left + maxWidth;
        } else if (format & DT_RIGHT) {
            rect->left = rect->right - maxWidth;
        } else {
            rect->right = rect->left + maxWidth;
        }
        rect->bottom = rect->top + blockHeight;
        return blockHeight;
    }
    if (!sprite || lines.empty() || (argb >> 24) == 0) return blockHeight;

    EnsureTexture();
    const unsigned texture = AtlasTexture();
    if (!texture) return blockHeight;
    const bool clip = (format & DT_NOCLIP) == 0;
    int top = rect->top;
    if (format & DT_VCENTER)
        top = rect->top + (rect->Height() - blockHeight) / 2;
    else if (format & DT_BOTTOM)
        top = rect->bottom - blockHeight;
    for (size_t li = 0; li < lines.size(); ++li) {
        const Line& line = lines[li];
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (rect->Width() - line.Width()) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - line.Width();
        const int origin = x - line.inkLeft;
        const int baseline = top + static_cast<int>(li) * m_lineHeight + m_ascent;
        for (const LaidGlyph& lg : line.glyphs) {
            const Glyph& g = lg.g;
            if (g.w <= 0 || g.h <= 0) continue;
            float x0 = static_cast<float>(origin + lg.pen + g.left), y0 = static_cast<float>(baseline - g.top);
            float x1 = x0 + static_cast<float>(g.w), y1 = y0 + static_cast<float>(g.h);
            float u0 = static_cast<float>(g.x), v0 = static_cast<float>(g.y);
            float u1 = u0 + static_cast<float>(g.w), v1 = v0 + static_cast<float>(g.h);
            if (clip) {
                const float l = static_cast<float>(rect->left), t = static_cast<float>(rect->top);
                const float r = static_cast<float>(rect->right), b = static_cast<float>(rect->bottom);
                if (x0 < l) u0 += l - x0, x0 = l;
                if (y0 < t) v0 += t - y0, y0 = t;
                if (x1 > r) u1 -= x1 - r, x1 = r;
                if (y1 > b) v1 -= y1 - b, y1 = b;
                if (x1 <= x0 || y1 <= y0) continue;
            }
            sprite->AddQuad(texture, x0, y0, x1, y1, u0, v0, u1, v1, argb);
        }
    }
    return blockHeight;
}

}  // namespace Gfx
