#include "Canvas.h"

#include <algorithm>
#include <cmath>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace GenData {

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float SmoothStep(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

Sdf Circle(float cx, float cy, float r) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf RoundBox(float cx, float cy, float hw, float hh, float radius) {
    return [=](float x, float y) {
        const float qx = std::fabs(x - cx) - (hw - radius), qy = std::fabs(y - cy) - (hh - radius);
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Sdf Segment(float ax, float ay, float bx, float by, float halfWidth) {
    return [=](float x, float y) {
        const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
        const float len2 = dx * dx + dy * dy;
        const float t = len2 > 0.0f ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
        return std::hypot(px - dx * t, py - dy * t) - halfWidth;
    };
}

Sdf Ring(float cx, float cy, float r, float halfWidth) {
    return [=](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - halfWidth; };
}

Sdf Polygon(std::vector<float> xy) {
    return [xy](float x, float y) {
        const size_t n = xy.size() / 2;
        float best = 1e30f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
            const float dx = xj - xi, dy = yj - yi, px = x - xi, py = y - yi;
            const float len2 = dx * dx + dy * dy;
            const float t = len2 > 0.0f ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
            best = std::min(best, std::hypot(px - dx * t, py - dy * t));
            if ((yi > y) != (yj > y) && x < xi + (y - yi) * dx / dy) inside = !inside;
        }
        return inside ? -best : best;
    };
}

Canvas::Canvas(int w, int h, const Rgba& fill)
    : m_w(w), m_h(h), m_px(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

void Canvas::Paint(const std::function<Rgba(float, float)>& f) {
    for (int y = 0; y < m_h; ++y) {
        for (int x = 0; x < m_w; ++x) At(x, y) = f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
    }
}

void Canvas::Fill(const Sdf& shape, const Rgba& colour) {
    FillWith(shape, [&](float, float) { return colour; });
}

void Canvas::FillWith(const Sdf& shape, const std::function<Rgba(float, float)>& colour) {
    for (int y = 0; y < m_h; ++y) {
        for (int x = 0; x < m_w; ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            const float cover = Clamp01(0.5f - shape(px, py));
            if (cover <= 0.0f) continue;
            const Rgba c = colour(px, py);
            const float a = Clamp01(c.a) * cover;
            Rgba& d = At(x, y);
            const float outA = a + d.a * (1.0f - a);
            if (outA <= 0.0f) continue;
            d.r = (c.r * a + d.r * d.a * (1.0f - a)) / outA;
            d.g = (c.g * a + d.g * d.a * (1.0f - a)) / outA;
            d.b = (c.b * a + d.b * d.a * (1.0f - a)) / outA;
            d.a = outA;
        }
    }
}

namespace {
void AppendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}
uint8_t Byte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); }
}  // namespace

std::string Canvas::Png(bool withAlpha) const {
    const int comp = withAlpha ? 4 : 3;
    std::vector<uint8_t> bytes;
    bytes.reserve(m_px.size() * static_cast<size_t>(comp));
    for (const Rgba& p : m_px) {
        bytes.push_back(Byte(p.r));
        bytes.push_back(Byte(p.g));
        bytes.push_back(Byte(p.b));
        if (withAlpha) bytes.push_back(Byte(p.a));
    }
    std::string out;
    stbi_write_png_to_func(AppendBytes, &out, m_w, m_h, comp, bytes.data(), m_w * comp);
    return out;
}

float Hash(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFFu) / static_cast<float>(0x1000000);
}

namespace {
float Fade(float t) { return t * t * (3.0f - 2.0f * t); }
int Wrap(int v, int p) { return ((v % p) + p) % p; }
}  // namespace

float ValueNoise(float x, float y, int period, int seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = Fade(x - fx), ty = Fade(y - fy);
    const int x0 = Wrap(ix, period), x1 = Wrap(ix + 1, period), y0 = Wrap(iy, period), y1 = Wrap(iy + 1, period);
    const float a = Hash(x0, y0, seed), b = Hash(x1, y0, seed), c = Hash(x0, y1, seed), d = Hash(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, int period, int seed, int octaves) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += ValueNoise(x, y, period, seed + o * 17) * amp;
        norm += amp;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

float Noise3(float x, float y, float z, int seed) {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    const float tx = Fade(x - fx), ty = Fade(y - fy), tz = Fade(z - fz);
    float v[2];
    for (int k = 0; k < 2; ++k) {
        const int s = seed + (iz + k) * 7919;
        const float a = Hash(ix, iy, s), b = Hash(ix + 1, iy, s), c = Hash(ix, iy + 1, s), d = Hash(ix + 1, iy + 1, s);
        v[k] = (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
    }
    return v[0] + (v[1] - v[0]) * tz;
}

}  // namespace GenData
