// A small RGBA float canvas for drawing the generated textures: shapes given
// by signed distance (antialiased by their coverage of each pixel), blended
// over what is there; deterministic noise; PNG bytes out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace GenData {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba Mix(const Rgba& a, const Rgba& b, float t);
inline Rgba Scaled(const Rgba& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
inline Rgba WithAlpha(const Rgba& c, float a) { return {c.r, c.g, c.b, a}; }
float Clamp01(float v);
float SmoothStep(float e0, float e1, float x);

// Signed distance in pixels from a pixel centre: negative inside.
using Sdf = std::function<float(float x, float y)>;

Sdf Circle(float cx, float cy, float r);
Sdf RoundBox(float cx, float cy, float hw, float hh, float radius);
Sdf Segment(float ax, float ay, float bx, float by, float halfWidth);
Sdf Polygon(std::vector<float> xy);  // x0, y0, x1, y1, ... any simple polygon
Sdf Ring(float cx, float cy, float r, float halfWidth);

class Canvas {
public:
    Canvas(int w, int h, const Rgba& fill = {0, 0, 0, 0});
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    Rgba& At(int x, int y) { return m_px[static_cast<size_t>(y) * static_cast<size_t>(m_w) + static_cast<size_t>(x)]; }
    // Per pixel colour from a function of the pixel centre.
    void Paint(const std::function<Rgba(float x, float y)>& f);
    // Blends colour over the pixels the shape covers.
    void Fill(const Sdf& shape, const Rgba& colour);
    // As Fill, with the colour chosen per pixel.
    void FillWith(const Sdf& shape, const std::function<Rgba(float x, float y)>& colour);
    // PNG bytes; alpha kept when withAlpha, else written opaque (RGB).
    std::string Png(bool withAlpha) const;

private:
    int m_w, m_h;
    std::vector<Rgba> m_px;
};

// Hash noise in 0..1, deterministic everywhere.
float Hash(int x, int y, int seed);
// Smooth value noise repeating every period cells (tileable).
float ValueNoise(float x, float y, int period, int seed);
// Octaves of ValueNoise, period doubling per octave; 0..1.
float Fbm(float x, float y, int period, int seed, int octaves);
// Smooth 3D value noise (not tiled), 0..1.
float Noise3(float x, float y, float z, int seed);

}  // namespace GenData
