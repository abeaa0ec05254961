// The textures: world surfaces (blocks, ground, sky, bomb, flag), team
// pictures, interface pieces (buttons, cursor, arrows, toggles, HUD icons and
// markers, battery gauge, splash and win screens) and particle sprites. Each
// entry below is a file name, a size and the code that paints it. Colours of
// the two teams: Angel light, white-gold and blue; Demon red and dark.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Generators.h"

namespace GenData {

namespace {

constexpr float kPi = 3.14159265f;

const Rgba kWhite{1, 1, 1, 1};
const Rgba kGold{1.0f, 0.82f, 0.35f, 1};
const Rgba kAngelBlue{0.45f, 0.68f, 1.0f, 1};
const Rgba kAngelSky{0.82f, 0.9f, 1.0f, 1};
const Rgba kDemonRed{0.85f, 0.12f, 0.1f, 1};
const Rgba kDemonDark{0.16f, 0.05f, 0.06f, 1};
const Rgba kInk{0.06f, 0.07f, 0.1f, 1};

// ---- world surfaces ----

// Near white with a bevel, so the material's colour shows through.
void BlockFace(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float grain = (Fbm(x / 8.0f, y / 8.0f, 8, 3, 3) - 0.5f) * 0.08f;
        float v = 0.9f + grain;
        const float edge = std::min(std::min(x, y), std::min(n - x, n - y));
        if (edge < 5.0f) v = (x < n - y) ? 1.0f : 0.68f;  // lit top-left, shaded bottom-right
        if (edge < 1.5f) v = 0.5f;
        return Rgba{v, v, v, 1};
    });
}

// Grass, tileable.
void Grass(Canvas& c) {
    c.Paint([&](float x, float y) {
        const float big = Fbm(x / 32.0f, y / 32.0f, 4, 11, 3);
        const float fine = Hash(static_cast<int>(x), static_cast<int>(y), 12);
        const Rgba dark{0.22f, 0.42f, 0.14f, 1}, light{0.42f, 0.66f, 0.24f, 1};
        Rgba col = Mix(dark, light, big);
        col = Scaled(col, 0.9f + fine * 0.2f);
        return col;
    });
}

// Sky box faces in the built-in cube's face order; each pixel is coloured by
// its direction, so the six pictures meet without seams.
void SkyFace(Canvas& c, int face) {
    // Corners of the face (top left, top right, bottom left) seen from inside the unit cube.
    static const float kCorners[6][9] = {
        {-1, 1, 1, 1, 1, 1, -1, -1, 1},   {1, 1, 1, 1, 1, -1, 1, -1, 1},   {1, 1, -1, -1, 1, -1, 1, -1, -1},
        {-1, 1, -1, -1, 1, 1, -1, -1, -1}, {-1, 1, -1, 1, 1, -1, -1, 1, 1}, {-1, -1, 1, 1, -1, 1, -1, -1, -1},
    };
    const float* k = kCorners[face];
    const float n = static_cast<float>(c.Width());
    const float sun[3] = {0.42f, 0.55f, 0.72f};
    c.Paint([&](float px, float py) {
        const float u = px / n, v = py / n;
        float d[3];
        for (int i = 0; i < 3; ++i) d[i] = k[i] + (k[3 + i] - k[i]) * u + (k[6 + i] - k[i]) * v;
        const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (float& e : d) e /= len;
        const float up = d[1];
        const Rgba zenith{0.2f, 0.4f, 0.82f, 1}, horizon{0.72f, 0.84f, 0.96f, 1}, below{0.55f, 0.6f, 0.66f, 1};
        Rgba col = up >= 0.0f ? Mix(horizon, zenith, std::pow(up, 0.6f)) : Mix(horizon, below, SmoothStep(0.0f, 0.15f, -up));
        if (up > 0.0f) {
            // Blocky clouds: noise on a coarse grid of the direction.
            const float s = 5.0f / (up + 0.25f);
            const float cx = d[0] * s, cz = d[2] * s;
            float cloud = 0.0f;
            for (int o = 0; o < 3; ++o) {
                const float f = static_cast<float>(1 << o);
                cloud += Noise3(cx * f, cz * f, 0.5f * f, 41 + o) / f;
            }
            cloud = SmoothStep(0.58f, 0.72f, cloud / 1.75f) * SmoothStep(0.02f, 0.25f, up);
            col = Mix(col, kWhite, cloud * 0.85f);
        }
        const float sd = d[0] * sun[0] + d[1] * sun[1] + d[2] * sun[2];
        const float glow = std::pow(Clamp01(sd), 64.0f) * 0.5f + SmoothStep(0.9985f, 0.9992f, sd);
        col = Mix(col, Rgba{1.0f, 0.97f, 0.85f, 1}, Clamp01(glow));
        return col;
    });
}

// Dark metal with a red band and rivets.
void BombSkin(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float g = 0.16f + (Fbm(x / 8.0f, y / 8.0f, 8, 21, 3) - 0.5f) * 0.08f;
        Rgba col{g, g, g * 1.1f, 1};
        if (std::fabs(y - n * 0.5f) < n * 0.1f) col = Rgba{0.7f, 0.1f, 0.08f, 1};
        return col;
    });
    for (int i = 0; i < 4; ++i) c.Fill(Circle(n * (0.125f + 0.25f * static_cast<float>(i)), n * 0.25f, n * 0.04f), Rgba{0.5f, 0.5f, 0.55f, 1});
}

// Star on near-white cloth; tinted by the team's material.
Sdf Star(float cx, float cy, float outer, float inner, int points, float turn = 0.0f) {
    std::vector<float> xy;
    for (int i = 0; i < points * 2; ++i) {
        const float a = turn - kPi / 2.0f + kPi * static_cast<float>(i) / static_cast<float>(points);
        const float r = (i % 2 == 0) ? outer : inner;
        xy.push_back(cx + std::cos(a) * r);
        xy.push_back(cy + std::sin(a) * r);
    }
    return Polygon(xy);
}

void FlagCloth(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float weave = 0.93f + 0.05f * std::sin(x * 1.6f) * std::sin(y * 1.6f);
        return Rgba{weave, weave, weave, 1};
    });
    c.Fill(RoundBox(n / 2, n / 2, n / 2 - 3, n / 2 - 3, 2), Rgba{0.7f, 0.7f, 0.7f, 1});
    c.Fill(RoundBox(n / 2, n / 2, n / 2 - 7, n / 2 - 7, 2), Rgba{0.95f, 0.95f, 0.95f, 1});
    c.Fill(Star(n / 2, n / 2 + 2, n * 0.3f, n * 0.13f, 5), Rgba{0.6f, 0.6f, 0.6f, 1});
}

// ---- team emblems ----

// Angel: a halo over two wings. Demon: a horned head.
void AngelEmblem(Canvas& c, float cx, float cy, float s, const Rgba& wing, const Rgba& halo) {
    c.Fill(Ring(cx, cy - s * 0.58f, s * 0.22f, s * 0.05f), halo);
    // Each wing a fan of feathers from the shoulder, longest uppermost.
    for (int side = -1; side <= 1; side += 2) {
        const float f = static_cast<float>(side);
        const float sx = cx + f * s * 0.12f, sy = cy - s * 0.1f;
        for (int k = 0; k < 5; ++k) {
            const float a = (10.0f + 20.0f * static_cast<float>(k)) * kPi / 180.0f;  // from horizontal, downwards
            const float len = s * (0.62f - 0.08f * static_cast<float>(k));
            const float ex = sx + f * std::cos(a - 0.35f) * len, ey = sy - std::sin(0.35f - a) * len;
            c.Fill(Segment(sx, sy, ex, ey, s * 0.055f), Scaled(wing, 0.8f));
            c.Fill(Segment(sx, sy, ex, ey, s * 0.04f), wing);
        }
    }
    c.Fill(Polygon({cx - s * 0.1f, cy - s * 0.22f, cx + s * 0.1f, cy - s * 0.22f, cx + s * 0.17f, cy + s * 0.35f,
                    cx - s * 0.17f, cy + s * 0.35f}),
           halo);
    c.Fill(Circle(cx, cy - s * 0.3f, s * 0.1f), halo);
}

void DemonEmblem(Canvas& c, float cx, float cy, float s, const Rgba& head, const Rgba& eyes) {
    for (int side = -1; side <= 1; side += 2) {
        const float f = static_cast<float>(side);
        c.Fill(Polygon({cx + f * s * 0.18f, cy - s * 0.2f, cx + f * s * 0.42f, cy - s * 0.3f, cx + f * s * 0.5f,
                        cy - s * 0.75f, cx + f * s * 0.3f, cy - s * 0.35f}),
               head);
    }
    c.Fill(RoundBox(cx, cy + s * 0.05f, s * 0.32f, s * 0.32f, s * 0.06f), head);
    c.Fill(Polygon({cx - s * 0.2f, cy - s * 0.04f, cx - s * 0.05f, cy + s * 0.04f, cx - s * 0.2f, cy + s * 0.06f}), eyes);
    c.Fill(Polygon({cx + s * 0.2f, cy - s * 0.04f, cx + s * 0.05f, cy + s * 0.04f, cx + s * 0.2f, cy + s * 0.06f}), eyes);
    c.Fill(RoundBox(cx, cy + s * 0.22f, s * 0.14f, s * 0.025f, s * 0.02f), eyes);
}

void AngelBadge(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Circle(n / 2, n / 2, n * 0.47f), kAngelBlue);
    c.Fill(Circle(n / 2, n / 2, n * 0.42f), kAngelSky);
    AngelEmblem(c, n / 2, n * 0.55f, n * 0.6f, kWhite, kGold);
}

void DemonBadge(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Circle(n / 2, n / 2, n * 0.47f), kDemonRed);
    c.Fill(Circle(n / 2, n / 2, n * 0.42f), kDemonDark);
    DemonEmblem(c, n / 2, n * 0.56f, n * 0.62f, kDemonRed, Rgba{1.0f, 0.75f, 0.2f, 1});
}

// ---- a blocky font for the few words the pictures show ----

// Rows of 5 cells, top first; letters the pictures need.
const char* const* Glyph(char ch) {
    static const char* const kA[7] = {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"};
    static const char* const kI[7] = {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "};
    static const char* const kM[7] = {"#   #", "## ##", "# # #", "#   #", "#   #", "#   #", "#   #"};
    static const char* const kR[7] = {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"};
    static const char* const kV[7] = {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "};
    static const char* const kBlank[7] = {"     ", "     ", "     ", "     ", "     ", "     ", "     "};
    switch (ch) {
        case 'A': return kA;
        case 'I': return kI;
        case 'M': return kM;
        case 'R': return kR;
        case 'V': return kV;
        default: return kBlank;
    }
}

// Text in 5 x 7 blocks of size px, centred on (cx, cy), with a drop shadow.
void BlockText(Canvas& c, const std::string& text, float cx, float cy, float px, const Rgba& col) {
    const float width = static_cast<float>(text.size()) * 6.0f * px - px;
    for (int pass = 0; pass < 2; ++pass) {
        const float off = pass == 0 ? px * 0.35f : 0.0f;
        const Rgba ink = pass == 0 ? Rgba{0, 0, 0, 0.55f} : col;
        float x0 = cx - width / 2.0f;
        for (char ch : text) {
            const char* const* rows = Glyph(ch);
            for (int r = 0; r < 7; ++r) {
                for (int k = 0; k < 5; ++k) {
                    if (rows[r][k] != '#') continue;
                    const float gx = x0 + static_cast<float>(k) * px + off, gy = cy - 3.5f * px + static_cast<float>(r) * px + off;
                    c.Fill(RoundBox(gx + px / 2, gy + px / 2, px * 0.47f, px * 0.47f, px * 0.12f), ink);
                }
            }
            x0 += 6.0f * px;
        }
    }
}

// ---- screens ----

// Stylised field: sky, blocky hills, the Angel keep on the left, the Demon keep on the right.
void Landscape(Canvas& c, float darken) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    c.Paint([&](float, float y) {
        return Scaled(Mix(Rgba{0.25f, 0.45f, 0.85f, 1}, Rgba{0.78f, 0.87f, 0.97f, 1}, y / h), darken);
    });
    const float cell = w / 32.0f;
    for (int i = 0; i < 32; ++i) {
        const float x = static_cast<float>(i) * cell;
        const float hill = std::floor((0.18f + 0.1f * std::sin(static_cast<float>(i) * 0.45f) + 0.05f * Hash(i, 0, 5)) * h / cell) * cell;
        c.Fill(RoundBox(x + cell / 2, h - hill / 2, cell / 2, hill / 2, 0), Scaled(Rgba{0.3f, 0.55f, 0.22f, 1}, darken));
        c.Fill(RoundBox(x + cell / 2, h - hill + cell * 0.15f, cell / 2 - 0.5f, cell * 0.15f, 0), Scaled(Rgba{0.45f, 0.7f, 0.3f, 1}, darken));
    }
    auto keep = [&](float cx, const Rgba& wall, const Rgba& roof) {
        const float base = h * 0.72f;
        c.Fill(RoundBox(cx, base, cell * 3, cell * 3.5f, 0), Scaled(wall, darken));
        for (int t = -1; t <= 1; t += 2) {
            c.Fill(RoundBox(cx + static_cast<float>(t) * cell * 3, base - cell * 1.5f, cell, cell * 5, 0), Scaled(wall, darken * 0.92f));
            c.Fill(RoundBox(cx + static_cast<float>(t) * cell * 3, base - cell * 6.8f, cell * 1.2f, cell * 0.8f, 0), Scaled(roof, darken));
        }
        c.Fill(RoundBox(cx, base + cell * 1.8f, cell * 0.9f, cell * 1.7f, cell * 0.6f), Scaled(kInk, darken));
        c.Fill(Segment(cx, base - cell * 3.5f, cx, base - cell * 7.5f, cell * 0.12f), Scaled(Rgba{0.3f, 0.3f, 0.3f, 1}, darken));
        c.Fill(Polygon({cx, base - cell * 7.5f, cx + cell * 2.2f, base - cell * 6.9f, cx, base - cell * 6.2f}), Scaled(roof, darken));
    };
    keep(w * 0.2f, Rgba{0.92f, 0.92f, 0.88f, 1}, kGold);
    keep(w * 0.8f, Rgba{0.3f, 0.12f, 0.13f, 1}, kDemonRed);
}

void MenuBackground(Canvas& c) { Landscape(c, 0.8f); }

void Splash0(Canvas& c) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    c.Paint([&](float, float y) { return Mix(Rgba{0.05f, 0.06f, 0.12f, 1}, Rgba{0.12f, 0.1f, 0.2f, 1}, y / h); });
    AngelEmblem(c, w * 0.3f, h * 0.5f, h * 0.45f, kWhite, kGold);
    DemonEmblem(c, w * 0.7f, h * 0.52f, h * 0.45f, kDemonRed, Rgba{1.0f, 0.75f, 0.2f, 1});
}

void Splash1(Canvas& c) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    Landscape(c, 1.0f);
    BlockText(c, "MIRAV", w / 2, h * 0.28f, w / 40.0f, kWhite);
}

void WinPicture(Canvas& c, bool angel) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    if (angel) {
        c.Paint([&](float x, float y) {
            const float r = std::hypot(x - w / 2, y - h / 2) / w;
            return Mix(Rgba{0.95f, 0.97f, 1.0f, 1}, kAngelBlue, Clamp01(r * 1.4f));
        });
        for (int i = 0; i < 12; ++i) {
            const float a = static_cast<float>(i) * kPi / 6.0f;
            c.Fill(Polygon({w / 2, h / 2, w / 2 + std::cos(a - 0.12f) * w, h / 2 + std::sin(a - 0.12f) * w,
                            w / 2 + std::cos(a + 0.12f) * w, h / 2 + std::sin(a + 0.12f) * w}),
                   Rgba{1, 1, 1, 0.25f});
        }
        AngelEmblem(c, w / 2, h * 0.55f, h * 0.6f, kWhite, kGold);
    } else {
        c.Paint([&](float x, float y) {
            const float r = std::hypot(x - w / 2, y - h / 2) / w;
            return Mix(Rgba{0.55f, 0.08f, 0.05f, 1}, Rgba{0.06f, 0.02f, 0.03f, 1}, Clamp01(r * 1.6f));
        });
        for (int i = 0; i < 9; ++i) {
            const float x = w * (0.05f + 0.1125f * static_cast<float>(i));
            const float top = h * (0.55f + 0.2f * Hash(i, 1, 9));
            c.Fill(Polygon({x - w * 0.05f, h, x, top, x + w * 0.05f, h}), Rgba{1.0f, 0.4f, 0.05f, 0.5f});
        }
        DemonEmblem(c, w / 2, h * 0.5f, h * 0.6f, kDemonRed, Rgba{1.0f, 0.8f, 0.2f, 1});
    }
}

// ---- interface pieces ----

void Button(Canvas& c, bool over) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    const Rgba top = over ? Rgba{0.98f, 0.85f, 0.45f, 0.95f} : Rgba{0.2f, 0.3f, 0.55f, 0.85f};
    const Rgba bottom = over ? Rgba{0.85f, 0.6f, 0.15f, 0.95f} : Rgba{0.08f, 0.12f, 0.3f, 0.85f};
    c.Fill(RoundBox(w / 2, h / 2, w / 2 - 1, h / 2 - 1, h * 0.3f), over ? kWhite : Rgba{0.7f, 0.8f, 1.0f, 0.9f});
    c.FillWith(RoundBox(w / 2, h / 2, w / 2 - 4, h / 2 - 4, h * 0.26f), [&](float, float y) { return Mix(top, bottom, y / h); });
    c.Fill(RoundBox(w / 2, h * 0.3f, w / 2 - 10, h * 0.12f, h * 0.1f), Rgba{1, 1, 1, over ? 0.35f : 0.15f});
}

void Arrow(Canvas& c, bool right, bool over) {
    const float n = static_cast<float>(c.Width());
    const float s = right ? 1.0f : -1.0f;
    c.Fill(Circle(n / 2, n / 2, n * 0.45f), over ? kGold : Rgba{0.15f, 0.22f, 0.45f, 0.9f});
    c.Fill(Polygon({n / 2 - s * n * 0.15f, n * 0.25f, n / 2 + s * n * 0.22f, n / 2, n / 2 - s * n * 0.15f, n * 0.75f}),
           over ? kInk : kWhite);
}

void Toggle(Canvas& c, bool on, bool over) {
    const float n = static_cast<float>(c.Width());
    c.Fill(RoundBox(n / 2, n / 2, n * 0.42f, n * 0.42f, n * 0.1f), over ? kGold : Rgba{0.7f, 0.8f, 1.0f, 0.9f});
    c.Fill(RoundBox(n / 2, n / 2, n * 0.34f, n * 0.34f, n * 0.07f), Rgba{0.08f, 0.12f, 0.3f, 0.95f});
    if (on) {
        c.Fill(Segment(n * 0.3f, n * 0.52f, n * 0.45f, n * 0.68f, n * 0.06f), kWhite);
        c.Fill(Segment(n * 0.45f, n * 0.68f, n * 0.72f, n * 0.32f, n * 0.06f), kWhite);
    }
}

void Cursor(Canvas& c) {
    const float n = static_cast<float>(c.Width()) / 32.0f;
    const std::vector<float> arrow = {2 * n, 2 * n, 2 * n, 24 * n, 8 * n, 18.5f * n, 12 * n, 27 * n, 16 * n, 25.5f * n,
                                      12.5f * n, 17 * n, 20 * n, 17 * n};
    c.Fill([&](float x, float y) { return Polygon(arrow)(x, y) - 1.5f * n; }, kInk);
    c.Fill(Polygon(arrow), kWhite);
}

void Panel(Canvas& c) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    c.Fill(RoundBox(w / 2, h / 2, w / 2 - 1, h / 2 - 1, 14), Rgba{0.7f, 0.8f, 1.0f, 0.6f});
    c.Fill(RoundBox(w / 2, h / 2, w / 2 - 4, h / 2 - 4, 11), Rgba{0.04f, 0.06f, 0.16f, 0.78f});
}

// A flag glyph for the HUD slots, with a mark for its state.
enum class Slot { Home, Taken, Dropped, CapturedOwn, CapturedEnemy };

void FlagIcon(Canvas& c, Slot slot) {
    const float n = static_cast<float>(c.Width());
    const Rgba cloth = slot == Slot::CapturedOwn ? kGold : (slot == Slot::CapturedEnemy ? kDemonRed : kWhite);
    c.Fill(Circle(n / 2, n / 2, n * 0.46f), Rgba{0.04f, 0.06f, 0.16f, 0.7f});
    c.Fill(Segment(n * 0.32f, n * 0.2f, n * 0.32f, n * 0.82f, n * 0.035f), Rgba{0.85f, 0.85f, 0.85f, 1});
    c.Fill(Polygon({n * 0.34f, n * 0.2f, n * 0.74f, n * 0.3f, n * 0.34f, n * 0.48f}), cloth);
    if (slot == Slot::Taken) c.Fill(Ring(n / 2, n / 2, n * 0.43f, n * 0.035f), kGold);
    if (slot == Slot::Dropped) {
        c.Fill(Segment(n * 0.55f, n * 0.58f, n * 0.8f, n * 0.83f, n * 0.05f), kDemonRed);
        c.Fill(Segment(n * 0.8f, n * 0.58f, n * 0.55f, n * 0.83f, n * 0.05f), kDemonRed);
    }
    if (slot == Slot::CapturedOwn || slot == Slot::CapturedEnemy) c.Fill(Star(n * 0.68f, n * 0.7f, n * 0.16f, n * 0.07f, 5), kWhite);
}

// Battery gauge: level 0 high, 1 medium, 2 low.
void Battery(Canvas& c, int level, bool charging) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    c.Fill(RoundBox(w * 0.46f, h / 2, w * 0.4f, h * 0.36f, h * 0.08f), kWhite);
    c.Fill(RoundBox(w * 0.46f, h / 2, w * 0.36f, h * 0.28f, h * 0.05f), kInk);
    c.Fill(RoundBox(w * 0.9f, h / 2, w * 0.04f, h * 0.14f, h * 0.03f), kWhite);
    const int bars = 3 - level;
    const Rgba col = level == 0 ? Rgba{0.3f, 0.85f, 0.3f, 1} : (level == 1 ? Rgba{0.95f, 0.8f, 0.2f, 1} : kDemonRed);
    for (int i = 0; i < bars; ++i) {
        c.Fill(RoundBox(w * (0.2f + 0.24f * static_cast<float>(i)), h / 2, w * 0.1f, h * 0.22f, h * 0.03f), col);
    }
    if (charging) {
        c.Fill(Polygon({w * 0.52f, h * 0.12f, w * 0.36f, h * 0.55f, w * 0.47f, h * 0.55f, w * 0.4f, h * 0.9f, w * 0.6f,
                        h * 0.42f, w * 0.49f, h * 0.42f}),
               kGold);
    }
}

// Markers: a light glyph on a dark disc, so they read over sky and ground
// alike; the glyph keeps to the middle of the image, which the HUD scales
// with distance.
void MarkerTeammate(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Polygon({n / 2, n * 0.78f, n * 0.24f, n * 0.34f, n * 0.76f, n * 0.34f}), Rgba{0, 0, 0, 0.55f});
    c.Fill(Polygon({n / 2, n * 0.7f, n * 0.3f, n * 0.38f, n * 0.7f, n * 0.38f}), kWhite);
}

void MarkerFlag(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Circle(n / 2, n / 2, n * 0.3f), Rgba{0.04f, 0.06f, 0.16f, 0.6f});
    c.Fill(Ring(n / 2, n / 2, n * 0.3f, n * 0.03f), kWhite);
    c.Fill(Segment(n * 0.43f, n * 0.34f, n * 0.43f, n * 0.67f, n * 0.03f), kWhite);
    c.Fill(Polygon({n * 0.45f, n * 0.34f, n * 0.64f, n * 0.4f, n * 0.45f, n * 0.49f}), kGold);
}

void MarkerGoal(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Circle(n / 2, n / 2, n * 0.3f), Rgba{0.04f, 0.06f, 0.16f, 0.6f});
    c.Fill(Ring(n / 2, n / 2, n * 0.3f, n * 0.03f), kWhite);
    c.Fill(Ring(n / 2, n / 2, n * 0.17f, n * 0.035f), kGold);
    c.Fill(Circle(n / 2, n / 2, n * 0.06f), kWhite);
}

void ScorePanel(Canvas& c) {
    const float w = static_cast<float>(c.Width()), h = static_cast<float>(c.Height());
    c.Fill(RoundBox(w / 2, h / 2, w / 2 - 1, h / 2 - 1, h * 0.3f), Rgba{0.04f, 0.06f, 0.16f, 0.65f});
    c.Fill(RoundBox(w * 0.25f, h / 2, w * 0.2f, h * 0.3f, h * 0.2f), WithAlpha(kAngelBlue, 0.8f));
    c.Fill(RoundBox(w * 0.75f, h / 2, w * 0.2f, h * 0.3f, h * 0.2f), WithAlpha(kDemonRed, 0.8f));
}

// ---- particles: white sprites, coloured by their systems ----

void PSoft(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float r = std::hypot(x - n / 2, y - n / 2) / (n / 2);
        return Rgba{1, 1, 1, std::exp(-r * r * 4.0f) * Clamp01(1.0f - r)};
    });
}

void PSpark(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float dx = std::fabs(x - n / 2) / (n / 2), dy = std::fabs(y - n / 2) / (n / 2);
        const float r = std::hypot(dx, dy);
        const float rays = std::exp(-dx * 30.0f) * Clamp01(1.0f - dy) + std::exp(-dy * 30.0f) * Clamp01(1.0f - dx);
        return Rgba{1, 1, 1, Clamp01(std::exp(-r * r * 20.0f) + rays)};
    });
}

void PSmoke(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float r = std::hypot(x - n / 2, y - n / 2) / (n / 2);
        const float puff = Fbm(x / 12.0f, y / 12.0f, 64, 31, 4);
        return Rgba{1, 1, 1, Clamp01((1.0f - r) * 1.6f) * Clamp01(puff * 1.5f - 0.2f)};
    });
}

void PRing(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float r = std::hypot(x - n / 2, y - n / 2) / (n / 2);
        return Rgba{1, 1, 1, std::exp(-std::pow((r - 0.75f) * 8.0f, 2.0f))};
    });
}

void PFeather(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(Polygon({n * 0.5f, n * 0.05f, n * 0.72f, n * 0.35f, n * 0.62f, n * 0.8f, n * 0.5f, n * 0.92f, n * 0.38f, n * 0.8f,
                    n * 0.28f, n * 0.35f}),
           Rgba{1, 1, 1, 0.9f});
    c.Fill(Segment(n * 0.5f, n * 0.1f, n * 0.5f, n * 0.97f, n * 0.015f), Rgba{0.8f, 0.8f, 0.8f, 1});
}

void PFlame(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Paint([&](float x, float y) {
        const float u = (x - n / 2) / (n / 2), v = (y - n * 0.6f) / (n / 2);
        const float width = v < 0.0f ? 0.5f * (1.0f + v * 0.9f) : 0.5f * std::sqrt(Clamp01(1.0f - v * v * 4.0f));
        const float d = width > 0.0f ? std::fabs(u) / width : 2.0f;
        return Rgba{1, 1, 1, Clamp01(1.0f - d) * Clamp01(1.0f - v * v)};
    });
}

void PBlock(Canvas& c) {
    const float n = static_cast<float>(c.Width());
    c.Fill(RoundBox(n / 2, n / 2, n * 0.4f, n * 0.4f, n * 0.06f), Rgba{0.75f, 0.75f, 0.75f, 1});
    c.Fill(RoundBox(n / 2, n / 2, n * 0.3f, n * 0.3f, n * 0.04f), kWhite);
}

struct TextureEntry {
    const char* file;
    int width, height;
    bool alpha;
    std::function<void(Canvas&)> paint;
};

std::vector<TextureEntry> Textures() {
    std::vector<TextureEntry> t = {
        {"Block.png", 64, 64, false, BlockFace},
        {"Ground.png", 128, 128, false, Grass},
        {"Bomb.png", 64, 64, false, BombSkin},
        {"Flag.png", 64, 64, false, FlagCloth},
        {"AngelBadge.png", 128, 128, true, AngelBadge},
        {"DemonBadge.png", 128, 128, true, DemonBadge},
        {"AngelWins.png", 512, 384, false, [](Canvas& c) { WinPicture(c, true); }},
        {"DemonWins.png", 512, 384, false, [](Canvas& c) { WinPicture(c, false); }},
        {"MenuBackground.png", 512, 384, false, MenuBackground},
        {"Splash0.png", 512, 384, false, Splash0},
        {"Splash1.png", 512, 384, false, Splash1},
        {"ButtonUp.png", 256, 64, true, [](Canvas& c) { Button(c, false); }},
        {"ButtonOver.png", 256, 64, true, [](Canvas& c) { Button(c, true); }},
        {"ArrowLeftUp.png", 64, 64, true, [](Canvas& c) { Arrow(c, false, false); }},
        {"ArrowLeftOver.png", 64, 64, true, [](Canvas& c) { Arrow(c, false, true); }},
        {"ArrowRightUp.png", 64, 64, true, [](Canvas& c) { Arrow(c, true, false); }},
        {"ArrowRightOver.png", 64, 64, true, [](Canvas& c) { Arrow(c, true, true); }},
        {"ToggleOnUp.png", 64, 64, true, [](Canvas& c) { Toggle(c, true, false); }},
        {"ToggleOnOver.png", 64, 64, true, [](Canvas& c) { Toggle(c, true, true); }},
        {"ToggleOffUp.png", 64, 64, true, [](Canvas& c) { Toggle(c, false, false); }},
        {"ToggleOffOver.png", 64, 64, true, [](Canvas& c) { Toggle(c, false, true); }},
        {"Cursor.png", 32, 32, true, Cursor},
        {"Panel.png", 256, 256, true, Panel},
        {"HudFlagHome.png", 64, 64, true, [](Canvas& c) { FlagIcon(c, Slot::Home); }},
        {"HudFlagTaken.png", 64, 64, true, [](Canvas& c) { FlagIcon(c, Slot::Taken); }},
        {"HudFlagDropped.png", 64, 64, true, [](Canvas& c) { FlagIcon(c, Slot::Dropped); }},
        {"HudFlagCapturedOwn.png", 64, 64, true, [](Canvas& c) { FlagIcon(c, Slot::CapturedOwn); }},
        {"HudFlagCapturedEnemy.png", 64, 64, true, [](Canvas& c) { FlagIcon(c, Slot::CapturedEnemy); }},
        {"HudScorePanel.png", 256, 64, true, ScorePanel},
        {"BatteryHigh.png", 64, 32, true, [](Canvas& c) { Battery(c, 0, false); }},
        {"BatteryMedium.png", 64, 32, true, [](Canvas& c) { Battery(c, 1, false); }},
        {"BatteryLow.png", 64, 32, true, [](Canvas& c) { Battery(c, 2, false); }},
        {"BatteryChargingHigh.png", 64, 32, true, [](Canvas& c) { Battery(c, 0, true); }},
        {"BatteryChargingLow.png", 64, 32, true, [](Canvas& c) { Battery(c, 2, true); }},
        {"MarkerTeammate.png", 64, 64, true, MarkerTeammate},
        {"MarkerFlag.png", 64, 64, true, MarkerFlag},
        {"MarkerGoal.png", 64, 64, true, MarkerGoal},
        {"ParticleSoft.png", 64, 64, true, PSoft},
        {"ParticleSpark.png", 64, 64, true, PSpark},
        {"ParticleSmoke.png", 64, 64, true, PSmoke},
        {"ParticleRing.png", 64, 64, true, PRing},
        {"ParticleFeather.png", 64, 64, true, PFeather},
        {"ParticleFlame.png", 64, 64, true, PFlame},
        {"ParticleBlock.png", 64, 64, true, PBlock},
    };
    static const char* kSky[6] = {"SkyFront.png", "SkyRight.png", "SkyBack.png", "SkyLeft.png", "SkyTop.png", "SkyBottom.png"};
    for (int f = 0; f < 6; ++f) t.push_back({kSky[f], 256, 256, false, [f](Canvas& c) { SkyFace(c, f); }});
    return t;
}

}  // namespace

bool GenerateTextures(const std::string& dataDir) {
    bool ok = true;
    for (const TextureEntry& e : Textures()) {
        Canvas c(e.width, e.height);
        e.paint(c);
        ok = WriteIfChanged(dataDir + "/Textures/" + e.file, c.Png(e.alpha)) && ok;
    }
    return ok;
}

}  // namespace GenData
