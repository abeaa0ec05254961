#include "LevelGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <random>
#include <sstream>


namespace GenData {

namespace {

// Builds the west half (team 0) and mirrors every change onto the east half
// (team 1), so neither team's side is easier to play.
class Builder {
public:
    Builder(GeneratedLevel& level, std::mt19937& rng)
        : m_level(level), m_rng(rng), m_reserved(level.height.size(), 0) {}

    int W() const { return m_level.width; }
    int R() const { return m_level.rows; }
    int Mirror(int c) const { return W() - 1 - c; }
    int Rand(int lo, int hi) { return lo >= hi ? lo : std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng) < p; }

    // A column of the west half and its twin; team 1 becomes team 2.
    void Column(int r, int c, int h, int green) {
        const int twin = green == 1 ? 2 : green;
        Set(r, c, h, green);
        Set(r, Mirror(c), h, twin);
    }
    void Rect(int r0, int c0, int r1, int c1, int h, int green) {
        for (int r = std::max(r0, 0); r <= std::min(r1, R() - 1); ++r)
            for (int c = std::max(c0, 0); c <= std::min(c1, W() / 2 - 1); ++c) Column(r, c, h, green);
    }
    // A one-cell object in the west half and its twin.
    void Object(int r, int c, int west, int east) {
        m_level.red[m_level.Index(r, c)] = west;
        m_level.red[m_level.Index(r, Mirror(c))] = east;
    }
    // A flag's footprint reaches two cells right of and below its cell, so
    // the twin's cell is two columns left of the mirrored one.
    void Flag(int r, int c) {
        m_level.red[m_level.Index(r, c)] = LevelCode::kFlag[0];
        m_level.red[m_level.Index(r, Mirror(c) - 2)] = LevelCode::kFlag[1];
    }
    void Reserve(int r0, int c0, int r1, int c1) {
        for (int r = std::max(r0, 0); r <= std::min(r1, R() - 1); ++r)
            for (int c = std::max(c0, 0); c <= std::min(c1, W() / 2 - 1); ++c) m_reserved[m_level.Index(r, c)] = 1;
    }
    bool Free(int r0, int c0, int r1, int c1) const {
        if (r0 < 3 || c0 < 3 || r1 > R() - 4 || c1 > W() / 2 - 1) return false;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                if (m_reserved[m_level.Index(r, c)]) return false;
        return true;
    }

private:
    void Set(int r, int c, int h, int green) {
        const size_t i = m_level.Index(r, c);
        m_level.height[i] = h;
        m_level.green[i] = green;
    }

    GeneratedLevel& m_level;
    std::mt19937& m_rng;
    std::vector<char> m_reserved;
};

// One try at a level; CheckLevel judges it.
GeneratedLevel Attempt(uint32_t seed, std::mt19937& rng) {
    GeneratedLevel level;
    level.seed = seed;
    level.width = 2 * std::uniform_int_distribution<int>(28, 64)(rng);
    level.rows = std::uniform_int_distribution<int>(36, 90)(rng);
    const int W = level.width, R = level.rows, half = W / 2;
    level.height.assign(static_cast<size_t>(W) * R, 0);
    level.green.assign(level.height.size(), 0);
    level.red.assign(level.height.size(), 0);
    Builder b(level, rng);
    // The ground ends at the map's longer side, where the logic's walls stand.
    level.groundPlaneScale = std::min(25.0f, static_cast<float>(std::max(W, R)) / 20.0f);

    // The boundary: unbreakable pillars along the bitmap's edge, higher than
    // anything inside can be climbed to, so no bot gets onto it and into
    // the strip of ground behind (on the shorter side), which it could
    // never leave.
    for (int c = 0; c < half; ++c) {
        b.Object(0, c, kPillarBase + kRing, kPillarBase + kRing);
        b.Object(R - 1, c, kPillarBase + kRing, kPillarBase + kRing);
    }
    for (int r = 0; r < R; ++r) b.Object(r, 0, kPillarBase + kRing, kPillarBase + kRing);

    // The base: a plateau against the west wall, terraced one block at a
    // time towards the field; a side left as a cliff is a ledge two blocks
    // high (a one-step terrace under a three-high plateau, or the plateau of
    // two itself) that can be dropped from but not climbed.
    const int roll = b.Rand(0, 9);
    const int bh = roll < 3 ? 1 : roll < 7 ? 2 : 3;
    level.baseHeight = bh;
    const int margin = 2 * (bh - 1);
    const int pd = b.Rand(11, std::max(11, std::min(16, half - 16)));
    const int ps = b.Rand(15, std::max(15, std::min(30, R - 8 - 2 * margin)));
    const int pr0 = b.Rand(3 + margin, std::max(3 + margin, R - 4 - margin - ps));
    const int pr1 = pr0 + ps - 1;
    const int pc0 = 1, pc1 = pc0 + pd;
    const bool terracedNorth = b.Chance(0.5), terracedSouth = b.Chance(0.5);
    for (int k = 1; k < bh; ++k) {
        auto grow = [&](bool terraced) { return terraced ? 2 * (bh - k) : (k == 1 && bh == 3 ? 2 : 0); };
        b.Rect(pr0 - grow(terracedNorth), pc0, pr1 + grow(terracedSouth), pc1 + 2 * (bh - k), k, 1);
    }
    b.Rect(pr0, pc0, pr1, pc1, bh, 1);
    b.Reserve(pr0 - margin - 3, 0, pr1 + margin + 3, pc1 + margin + 3);

    // Flags at the back of the base, the capture point before them with room
    // for its posts, spawn points between, guards at the base's front corners
    // and beside the middle flag.
    const int mid = pr0 + ps / 2;
    b.Flag(pr0 + 1, 3);
    b.Flag(mid - 1, 3);
    b.Flag(pr1 - 3, 3);
    const int cc = pc1 - 3;
    b.Object(mid, cc, LevelCode::kCapture[0], LevelCode::kCapture[1]);
    for (int r : {pr0 + 1, pr0 + 3, pr1 - 3, pr1 - 1}) b.Object(r, 7, LevelCode::kSpawn[0], LevelCode::kSpawn[1]);
    b.Object(pr0 + 2, pc1, LevelCode::kGuard[0], LevelCode::kGuard[1]);
    b.Object(pr1 - 2, pc1, LevelCode::kGuard[0], LevelCode::kGuard[1]);
    b.Object(mid, 7, LevelCode::kGuard[0], LevelCode::kGuard[1]);

    // The ridge down the middle: two cells wide, crossed through narrow gaps
    // and, on some levels, over a narrow stair.
    const int ridgeCol = half - 1;
    if (b.Chance(0.7)) {
        const int hr = b.Rand(4, 8);
        level.solidRidge = b.Chance(0.5);
        std::vector<int> rowKind(R, 0);  // 0 ridge, 1 gap, 2 stair
        const int gaps = b.Rand(1, 3);
        const bool stair = b.Chance(0.5) || gaps == 1;
        int placed = 0;
        for (int tries = 0; tries < 50 && placed < gaps + (stair ? 1 : 0); ++tries) {
            const int width = placed == gaps ? 2 : b.Rand(2, 3);
            const int r0 = b.Rand(3, R - 4 - width);
            bool clear = true;
            for (int r = r0 - 3; r < r0 + width + 3; ++r)
                if (r >= 0 && r < R && rowKind[r] != 0) clear = false;
            if (!clear) continue;
            for (int r = r0; r < r0 + width; ++r) rowKind[r] = placed == gaps ? 2 : 1;
            ++placed;
        }
        for (int r = 1; r <= R - 2; ++r) {
            if (rowKind[r] == 1) continue;
            if (level.solidRidge)
                b.Object(r, ridgeCol, kPillarBase + hr, kPillarBase + hr);
            else
                b.Column(r, ridgeCol, hr, 0);
            if (rowKind[r] == 2)
                for (int k = 1; k < hr; ++k) b.Column(r, ridgeCol - k, hr - k, 0);
        }
        b.Reserve(0, ridgeCol - hr - 1, R - 1, half - 1);
        // Where the ridge meets the boundary, the boundary stands higher than
        // the ridge's top.
        for (int c = ridgeCol - 1; c <= ridgeCol; ++c)
            for (int r : {0, R - 1}) b.Object(r, c, kPillarBase + hr + 2, kPillarBase + hr + 2);
    }

    // The field: walls (some unbreakable), gates with a narrow gap, mounds
    // one block high with a two-high core, crates two blocks high and
    // unbreakable pillars.
    const int obstacles = b.Rand(3, 8);
    for (int n = 0, tries = 0; n < obstacles && tries < 200; ++tries) {
        const int kind = b.Rand(0, 4);
        int h0 = 0, w0 = 0;  // rows and columns covered
        switch (kind) {
            case 0: {
                const bool alongZ = b.Chance(0.5);
                const int len = b.Rand(3, 8);
                h0 = alongZ ? len : 1;
                w0 = alongZ ? 1 : len;
                break;
            }
            case 1:
                h0 = b.Rand(8, 14);
                w0 = 1;
                break;
            case 2:
                h0 = b.Rand(3, 6);
                w0 = b.Rand(3, 6);
                break;
            case 3:
                h0 = b.Rand(2, 3);
                w0 = b.Rand(2, 3);
                break;
            default:
                h0 = w0 = 1;
                break;
        }
        const int r0 = b.Rand(3, R - 4 - h0), c0 = b.Rand(3, half - 1 - w0);
        const int r1 = r0 + h0 - 1, c1 = c0 + w0 - 1;
        if (!b.Free(r0 - 1, c0 - 1, r1 + 1, c1 + 1)) continue;
        switch (kind) {
            case 0: {
                const int h = b.Rand(2, 4);
                const bool solid = b.Chance(0.5);
                for (int r = r0; r <= r1; ++r)
                    for (int c = c0; c <= c1; ++c)
                        if (solid)
                            b.Object(r, c, kPillarBase + h, kPillarBase + h);
                        else
                            b.Column(r, c, h, 0);
                break;
            }
            case 1: {
                const int gap = b.Rand(2, 3), g0 = r0 + (h0 - gap) / 2, h = b.Rand(3, 4);
                for (int r = r0; r <= r1; ++r)
                    if (r < g0 || r >= g0 + gap) b.Object(r, c0, kPillarBase + h, kPillarBase + h);
                break;
            }
            case 2:
                b.Rect(r0, c0, r1, c1, 1, 0);
                if (h0 >= 3 && w0 >= 3 && b.Chance(0.6)) b.Rect(r0 + 1, c0 + 1, r1 - 1, c1 - 1, 2, 0);
                break;
            case 3:
                b.Rect(r0, c0, r1, c1, 2, 0);
                break;
            default: {
                const int h = b.Rand(2, 5);
                b.Object(r0, c0, kPillarBase + h, kPillarBase + h);
                break;
            }
        }
        b.Reserve(r0 - 1, c0 - 1, r1 + 1, c1 + 1);
        ++n;
    }
    // Bomb spawners in the field, on open ground.
    for (int k = 0; k < 2; ++k) {
        for (int tries = 0; tries < 100; ++tries) {
            const int r = b.Rand(k == 0 ? 3 : R / 2, k == 0 ? R / 2 - 1 : R - 4);
            const int c = b.Rand(pc1 + margin + 3, std::max(pc1 + margin + 3, half - 4));
            if (level.Height(r, c) != 0 || level.Red(r, c) != 0) continue;
            b.Object(r, c, LevelCode::kBomb[2 * k], LevelCode::kBomb[2 * k + 1]);
            break;
        }
    }
    return level;
}

}  // namespace

GeneratedLevel GenerateLevel(uint32_t seed) {
    std::mt19937 rng(seed);
    GeneratedLevel level;
    for (int attempt = 0; attempt < 200; ++attempt) {
        level = Attempt(seed, rng);
        if (CheckLevel(level).empty()) return level;
    }
    return level;  // CheckLevel tells what is wrong with the last try
}

std::vector<int> WalkHeights(const GeneratedLevel& level) {
    std::vector<int> e = level.height;
    const int W = level.width, R = level.rows;
    auto raise = [&](int r, int c, int top) {
        if (r >= 0 && r < R && c >= 0 && c < W) e[level.Index(r, c)] = std::max(e[level.Index(r, c)], top);
    };
    for (int r = 0; r < R; ++r)
        for (int c = 0; c < W; ++c) {
            const int t = level.Red(r, c), h = level.Height(r, c);
            if (t > kPillarBase && t <= kPillarBase + kPillarMax) raise(r, c, h + t - kPillarBase);
            if (t == LevelCode::kCapture[0] || t == LevelCode::kCapture[1])
                for (int dz : {-2, 1})
                    for (int dx : {-2, 2}) raise(r + dz, c + dx, h + 3);
            if (t == LevelCode::kFlag[0] || t == LevelCode::kFlag[1])
                for (int dz = 0; dz < 3; ++dz)
                    for (int dx = 0; dx < 3; ++dx) raise(r + dz, c + dx, h + 3);
        }
    return e;
}

std::string CheckLevel(const GeneratedLevel& level) {
    const int W = level.width, R = level.rows;
    if (W < 8 || R < 8 || W / 2 > 250 || R / 2 > 250) return "size outside the bots' grid";
    const std::vector<int> e = WalkHeights(level);
    const size_t n = e.size();
    // Reach over the walk heights: a step to a side cell at most one level
    // up, or any drop; backwards the reverse.
    auto flood = [&](size_t start, bool backwards) {
        std::vector<char> seen(n, 0);
        std::deque<size_t> queue{start};
        seen[start] = 1;
        while (!queue.empty()) {
            const size_t i = queue.front();
            queue.pop_front();
            const int r = static_cast<int>(i) / W, c = static_cast<int>(i) % W;
            const int dr[4] = {-1, 1, 0, 0}, dc[4] = {0, 0, -1, 1};
            for (int k = 0; k < 4; ++k) {
                const int rr = r + dr[k], cc = c + dc[k];
                if (rr < 0 || rr >= R || cc < 0 || cc >= W) continue;
                const size_t j = level.Index(rr, cc);
                const bool ok = backwards ? e[i] <= e[j] + 1 : e[j] <= e[i] + 1;
                if (ok && !seen[j]) {
                    seen[j] = 1;
                    queue.push_back(j);
                }
            }
        }
        return seen;
    };
    int flags[2] = {0, 0}, spawns[2] = {0, 0}, captures[2] = {0, 0}, guards[2] = {0, 0};
    std::vector<size_t> points;  // cells that must be reached both ways
    std::vector<std::vector<size_t>> flagSides;
    size_t start = n;
    for (int r = 0; r < R; ++r)
        for (int c = 0; c < W; ++c) {
            const int t = level.Red(r, c);
            const size_t i = level.Index(r, c);
            for (int team = 0; team < 2; ++team) {
                if (t == LevelCode::kFlag[team]) {
                    ++flags[team];
                    if (r + 3 > R || c + 3 > W) return "a flag reaches past the map";
                    for (int dz = 0; dz < 3; ++dz)
                        for (int dx = 0; dx < 3; ++dx)
                            if (level.Height(r + dz, c + dx) != level.Height(r, c)) return "a flag stands on uneven ground";
                    std::vector<size_t> sides;
                    for (int k = 0; k < 3; ++k) {
                        if (c - 1 >= 0) sides.push_back(level.Index(r + k, c - 1));
                        if (c + 3 < W) sides.push_back(level.Index(r + k, c + 3));
                        if (r - 1 >= 0) sides.push_back(level.Index(r - 1, c + k));
                        if (r + 3 < R) sides.push_back(level.Index(r + 3, c + k));
                    }
                    flagSides.push_back(sides);
                }
                if (t == LevelCode::kSpawn[team]) {
                    ++spawns[team];
                    if (start == n) start = i;
                    points.push_back(i);
                }
                if (t == LevelCode::kCapture[team]) {
                    ++captures[team];
                    points.push_back(i);
                }
                if (t == LevelCode::kGuard[team]) {
                    ++guards[team];
                    points.push_back(i);
                }
            }
        }
    for (int team = 0; team < 2; ++team) {
        if (flags[team] != 3) return "team " + std::to_string(team) + " has " + std::to_string(flags[team]) + " flags";
        if (spawns[team] == 0) return "team " + std::to_string(team) + " has no spawn point";
        if (captures[team] != 1) return "team " + std::to_string(team) + " needs one capture point";
        if (guards[team] == 0) return "team " + std::to_string(team) + " has no guard point";
    }
    const std::vector<char> forward = flood(start, false), back = flood(start, true);
    for (size_t i : points)
        if (!forward[i] || !back[i] || e[i] != level.height[i])
            return "a point at row " + std::to_string(i / W) + ", column " + std::to_string(i % W) +
                   " cannot be walked to and back";
    for (size_t i = 0; i < n; ++i)
        if (forward[i] && !back[i])
            return "a pit at row " + std::to_string(i / W) + ", column " + std::to_string(i % W) + " cannot be left";
    for (const auto& sides : flagSides)
        if (std::none_of(sides.begin(), sides.end(), [&](size_t i) { return forward[i] && back[i]; }))
            return "a flag cannot be walked to and back";
    return {};
}

GameLogicView::Bitmap24 LevelBitmap(const GeneratedLevel& level) {
    GameLogicView::Bitmap24 image;
    image.width = level.width;
    image.height = level.rows;
    image.bgr.resize(level.height.size() * 3);
    for (size_t i = 0; i < level.height.size(); ++i) {
        image.bgr[3 * i] = static_cast<uint8_t>(level.height[i]);
        image.bgr[3 * i + 1] = static_cast<uint8_t>(level.green[i]);
        image.bgr[3 * i + 2] = static_cast<uint8_t>(level.red[i]);
    }
    return image;
}

std::string LevelIni(const GeneratedLevel& level, const std::string& bmpPath, const std::string& palettePath) {
    char scale[32];
    std::snprintf(scale, sizeof scale, "%.1f", level.groundPlaneScale);
    std::ostringstream out;
    out << "# Generated test level, seed " << level.seed << ": " << level.width << " x " << level.rows
        << ", bases " << level.baseHeight << " high" << (level.solidRidge ? ", unbreakable ridge" : "") << ".\n"
        << "[level]\n"
        << "groundPlaneScale = " << scale << "\n"
        << "teamsize = 4\n"
        << "BmpFile = " << bmpPath << "\n"
        << "palette = " << palettePath << "\n"
        << "SpawnType = massless_box\n"
        << "SpawnAllBlocks = 1\n"
        << "wWeight = 0.5\nhWeight = 0.5\nzWeight = 0.5\n"
        << "capWidth = 3\ncapHeight = 3\ncapZ = 3\n"
        << "RandomSeed = " << level.seed << "\n";
    return out.str();
}

}  // namespace GenData
