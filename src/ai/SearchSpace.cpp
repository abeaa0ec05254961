#include "ai/SearchSpace.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"

namespace AI {

namespace {

// Whole cells along an axis: max - min truncated toward zero. Degenerate or
// non-finite bounds give none; the grid never grows past 1 << 16 per axis.
int CellCount(float lo, float hi) {
    const double d = static_cast<double>(hi) - static_cast<double>(lo);
    if (!(d >= 1.0)) return 0;
    if (d > 65536.0) return 65536;
    return static_cast<int>(d);
}

const int kStraight[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
const int kDiagonal[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
// The direction of each candidate bit of the word-wise neighbour search:
// level moves, diagonals, step-ups, drops.
constexpr int kMoveDx[16] = {1, 0, -1, 0, 1, -1, 1, -1, 1, 0, -1, 0, 1, 0, -1, 0};
constexpr int kMoveDz[16] = {0, 1, 0, -1, 1, 1, -1, -1, 0, 1, 0, -1, 0, 1, 0, -1};
// The same as floats, added to the walker's cell as the cell walk adds them.
const float kMoveFx[16] = {1, 0, -1, 0, 1, -1, 1, -1, 1, 0, -1, 0, 1, 0, -1, 0};
const float kMoveFz[16] = {0, 1, 0, -1, 1, 1, -1, -1, 0, 1, 0, -1, 0, 1, 0, -1};
// Their move codes (a drop's with no fall).
constexpr int32_t Code(int b) {
    return SearchSpace::MoveCode(kMoveDx[b], b < 8 ? 0 : b < 12 ? 1 : 0, kMoveDz[b]);
}
const int32_t kMoveCode[16] = {Code(0), Code(1), Code(2),  Code(3),  Code(4),  Code(5),  Code(6),  Code(7),
                               Code(8), Code(9), Code(10), Code(11), Code(12), Code(13), Code(14), Code(15)};

// Cell coordinate from a float cell value, for the walks; far-away values are
// pinned well outside any grid so the arithmetic cannot overflow.
inline long long ToCellIndex(float v) {
    // Within the pins, truncating the float itself gives the same whole number.
    if (std::fabs(v) < 1.0e9f) return static_cast<long long>(v);
    if (std::isnan(v)) return 0;
    const double t = std::trunc(static_cast<double>(v));
    return static_cast<long long>(std::clamp(t, -1.0e9, 1.0e9));
}

}  // namespace

long long SearchSpace::CellIndex(float v) { return ToCellIndex(v); }

SearchSpace::SearchSpace() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_registry->Register(EventTypes::EventUpdatePlaceBlock::GetStaticType(), this, &SearchSpace::OnBlockEvent);
    m_registry->Register(EventTypes::EventUpdateDetachBlock::GetStaticType(), this, &SearchSpace::OnBlockEvent);
    m_registry->Register(EventTypes::EventUpdatePickUpBlock::GetStaticType(), this, &SearchSpace::OnBlockEvent);
    m_registry->Register(EventTypes::EventCommandCreateBlock::GetStaticType(), this, &SearchSpace::OnBlockEvent);
}

SearchSpace::~SearchSpace() = default;

void SearchSpace::SetBounds(float xMin, float xMax, float yMin, float yMax, float zMin, float zMax) {
    m_min = Geometry::Vector3(xMin, yMin, zMin);
    m_max = Geometry::Vector3(xMax, yMax, zMax);
}

void SearchSpace::Build() {
    m_nx = CellCount(m_min.x, m_max.x);
    m_ny = CellCount(m_min.y, m_max.y);
    m_nz = CellCount(m_min.z, m_max.z);
    const size_t columns = static_cast<size_t>(m_nx) * static_cast<size_t>(m_nz);
    m_low.assign(columns, 0);
    m_length.assign(columns, 1);
    m_high.clear();
    ++m_version;
}

Geometry::Vector3 SearchSpace::WorldToCell(float x, float y, float z) const {
    return {std::floor(x - m_min.x), std::floor(y - m_min.y), std::floor(z - m_min.z)};
}

Geometry::Vector3 SearchSpace::CellToWorld(const Geometry::Vector3& cell) const { return m_min + cell; }

bool SearchSpace::IsInBounds(float x, float y, float z) const {
    return x >= 0.0f && x < static_cast<float>(m_nx) && y >= 0.0f && y < static_cast<float>(m_ny) && z >= 0.0f &&
           z < static_cast<float>(m_nz);
}

bool SearchSpace::Bit(size_t column, int level) const {
    if (level < 64) return (m_low[column] >> level) & 1u;
    const auto it = m_high.find(column);
    if (it == m_high.end()) return false;
    const size_t word = static_cast<size_t>(level - 64) / 64;
    if (word >= it->second.size()) return false;
    return (it->second[word] >> ((level - 64) % 64)) & 1u;
}

void SearchSpace::SetBit(size_t column, int level, bool mark) {
    uint64_t* word = nullptr;
    int bit = level;
    if (level < 64) {
        word = &m_low[column];
    } else {
        std::vector<uint64_t>& high = m_high[column];
        const size_t index = static_cast<size_t>(level - 64) / 64;
        if (index >= high.size()) high.resize(index + 1, 0);
        word = &high[index];
        bit = (level - 64) % 64;
    }
    const uint64_t before = *word;
    if (mark)
        *word |= (uint64_t{1} << bit);
    else
        *word &= ~(uint64_t{1} << bit);
    if (*word != before) ++m_version;
}

bool SearchSpace::IsCellBlocked(float x, float y, float z) const {
    if (!IsInBounds(x, y, z)) return true;
    const size_t column = static_cast<size_t>(static_cast<float>(m_nx) * z + x);
    if (column >= m_low.size()) return true;
    const int level = static_cast<int>(y);
    if (static_cast<uint32_t>(level) >= m_length[column]) return false;
    return Bit(column, level);
}

bool SearchSpace::IsCellBlocked(int x, int y, int z) const {
    if (x < 0 || x >= m_nx || y < 0 || y >= m_ny || z < 0 || z >= m_nz) return true;
    const size_t column = static_cast<size_t>(z) * static_cast<size_t>(m_nx) + static_cast<size_t>(x);
    if (static_cast<uint32_t>(y) >= m_length[column]) return false;
    return Bit(column, y);
}

void SearchSpace::SetCell(int x, int y, int z, bool mark) {
    if (x < 0 || x >= m_nx || y < 0 || y >= m_ny || z < 0 || z >= m_nz) return;
    const size_t column = static_cast<size_t>(z) * static_cast<size_t>(m_nx) + static_cast<size_t>(x);
    if (static_cast<uint32_t>(y) >= m_length[column]) m_length[column] = static_cast<uint32_t>(y) + 1;
    SetBit(column, y, mark);
}

int SearchSpace::ColumnLength(int x, int z) const {
    if (x < 0 || x >= m_nx || z < 0 || z >= m_nz) return 0;
    return static_cast<int>(m_length[static_cast<size_t>(z) * static_cast<size_t>(m_nx) + static_cast<size_t>(x)]);
}

// The cells (floor(sample - gridMin)) of the samples lo, lo + 1, ... below hi
// that fall inside the grid. A box reaching far below the grid starts its walk
// one cell before the grid, keeping the samples' fractional phase, and no walk
// takes more steps than the grid has cells plus two, so a huge box costs no
// more than the grid and a box too large for unit steps in float still ends.
// Inside that window the samples are summed in float, as the boxes are given.
void SearchSpace::AxisSamples(float lo, float hi, float gridMin, int n, std::vector<int>& cells) {
    cells.clear();
    if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(gridMin) || n <= 0) return;
    float v = lo;
    if (static_cast<double>(lo) < static_cast<double>(gridMin) - 1.0) {
        const double phase = static_cast<double>(lo) - std::floor(static_cast<double>(lo));
        v = static_cast<float>(std::floor(static_cast<double>(gridMin)) - 1.0 + phase);
    }
    for (int step = 0; step < n + 3 && v < hi; ++step, v += 1.0f) {
        const double c = std::floor(static_cast<double>(v - gridMin));
        if (c >= static_cast<double>(n)) break;
        if (c >= 0.0) cells.push_back(static_cast<int>(c));
    }
}

bool SearchSpace::IsBlockedAt(float x, float y, float z) const {
    const Geometry::Vector3 cell = WorldToCell(x, y, z);
    return IsCellBlocked(cell.x, cell.y, cell.z);
}

int SearchSpace::FirstBlockedBelow(float x, float y, float z, int steps) const {
    if (steps < 0) return -1;
    // WorldToCell and IsCellBlocked(float) step by step, where only the level
    // changes from one step to the next.
    const float cx = std::floor(x - m_min.x), cz = std::floor(z - m_min.z);
    if (!(cx >= 0.0f && cx < static_cast<float>(m_nx) && cz >= 0.0f && cz < static_cast<float>(m_nz))) return 0;
    const size_t column = static_cast<size_t>(static_cast<float>(m_nx) * cz + cx);
    if (column >= m_low.size()) return 0;
    const float top = static_cast<float>(m_ny);
    // The usual case, a grid starting at level 0 and a point in its lowest
    // word: y - k is exact for every k up to floor(y), so step k looks at
    // level floor(y) - k, and the step after level 0 is below the grid. The
    // answer is then the distance down to the highest blocked level (no bit
    // is set at or above a column's length).
    if (m_min.y == 0.0f && y >= 0.0f && y < 64.0f) {
        const float cy = std::floor(y);
        if (!(cy < top)) return 0;
        const int level = static_cast<int>(cy);
        const uint64_t below = m_low[column] & (~uint64_t{0} >> (63 - level));  // levels 0 .. level
        const int k = below ? level - (63 - __builtin_clzll(below)) : level + 1;
        return k <= steps ? k : -1;
    }
    const uint32_t length = m_length[column];
    for (int k = 0; k <= steps; ++k) {
        const float cy = std::floor(y - static_cast<float>(k) - m_min.y);
        if (!(cy >= 0.0f && cy < top)) return k;
        const int level = static_cast<int>(cy);
        if (static_cast<uint32_t>(level) < length && Bit(column, level)) return k;
    }
    return -1;
}

void SearchSpace::SetBoxOccupancy(float cx, float cy, float cz, float hx, float hy, float hz, bool mark) {
    std::vector<int> xs, ys, zs;
    AxisSamples(cx - hx, cx + hx, m_min.x, m_nx, xs);
    AxisSamples(cy - hy, cy + hy, m_min.y, m_ny, ys);
    AxisSamples(cz - hz, cz + hz, m_min.z, m_nz, zs);
    for (int x : xs)
        for (int y : ys)
            for (int z : zs) SetCell(x, y, z, mark);
}

bool SearchSpace::OnBlockEvent(const EventSystem::IEvent& event) {
    // Classes are checked, not only type names, so an event of another class
    // under one of these names is ignored rather than misread.
    if (const auto* place = dynamic_cast<const EventTypes::EventUpdatePlaceBlock*>(&event)) {
        if (const auto* d = place->GetPayload())
            SetBoxOccupancy(d->position.x, d->position.y, d->position.z, d->halfExtents.x, d->halfExtents.y,
                            d->halfExtents.z, true);
    } else if (const auto* detach = dynamic_cast<const EventTypes::EventUpdateDetachBlock*>(&event)) {
        if (const auto* d = detach->GetPayload())
            SetBoxOccupancy(d->position.x, d->position.y, d->position.z, d->halfExtents.x, d->halfExtents.y,
                            d->halfExtents.z, false);
    } else if (const auto* pick = dynamic_cast<const EventTypes::EventUpdatePickUpBlock*>(&event)) {
        if (const auto* d = pick->GetPayload())
            SetBoxOccupancy(d->blockPosition.x, d->blockPosition.y, d->blockPosition.z, d->blockHalfExtents.x,
                            d->blockHalfExtents.y, d->blockHalfExtents.z, false);
    }
    // "VtLCreateBlock" (a bomb request) changes nothing here.
    return false;
}

uint64_t SearchSpace::StoredWord(size_t column, size_t w) const {
    if (w == 0) return m_low[column];
    // Nothing is stored at or above the column's length.
    if (m_high.empty() || m_length[column] <= 64 * w) return 0;
    const auto it = m_high.find(column);
    if (it == m_high.end() || w - 1 >= it->second.size()) return 0;
    return it->second[w - 1];
}

SearchSpace::WindowShape SearchSpace::ShapeAt(int base) const {
    WindowShape s;
    if (base <= -64) {
        s.all = true;
        return s;
    }
    if (base < 0) {
        s.below = -base;
        s.belowMask = (uint64_t{1} << s.below) - 1;  // levels below 0 are blocked
    } else {
        s.word = static_cast<size_t>(base) / 64;
        s.offset = base % 64;
    }
    // So are the grid's top level and everything above it.
    const long long top = static_cast<long long>(m_ny) - base;
    if (top <= 0)
        s.all = true;
    else if (top < 64)
        s.topMask = ~uint64_t{0} << top;
    return s;
}

[[gnu::always_inline]] inline uint64_t SearchSpace::Window(size_t column, const WindowShape& s) const {
    if (s.all) return ~uint64_t{0};
    uint64_t bits;
    if (s.below) {
        bits = (m_low[column] << s.below) | s.belowMask;
    } else if (s.word == 0 && m_high.empty()) {
        bits = m_low[column] >> s.offset;
    } else {
        bits = StoredWord(column, s.word) >> s.offset;
        if (s.offset) bits |= StoredWord(column, s.word + 1) << (64 - s.offset);
    }
    return bits | s.topMask;
}

uint64_t SearchSpace::BlockedWindow(int x, int z, int base) const {
    if (x < 0 || x >= m_nx || z < 0 || z >= m_nz) return ~uint64_t{0};
    return Window(static_cast<size_t>(z) * static_cast<size_t>(m_nx) + static_cast<size_t>(x), ShapeAt(base));
}

void SearchSpace::GetNeighbours(std::vector<Geometry::Vector3>& out, float x, float y, float z,
                                const Geometry::Vector3& searchMin, const Geometry::Vector3& searchMax, int clearance,
                                int jumpHeight) const {
    Geometry::Vector3 cells[kMaxNeighbours];
    const int n = FillNeighbours(cells, nullptr, x, y, z, SearchCells(searchMin, searchMax), clearance, jumpHeight);
    out.assign(cells, cells + n);
}

// The four passes over bit words: for each of the nine columns around the
// walker, one word holds the levels y - 1 .. y + 62 (bit 0 the floor level
// below the walker, bit 1 + i the level y + i), so every clearance test of a
// pass is one mask. The result is the cell-by-cell walk's, item for item;
// inputs outside what the words cover (no clearance, very tall clearance,
// cells that are not whole numbers or far away, grids too large for the
// float column index to be exact) take that walk itself.
int SearchSpace::FillNeighbours(Geometry::Vector3* out, int32_t* columns, float x, float y, float z,
                                const CellBox& bounds, int clearance, int jumpHeight, int32_t* moves) const {
    // Whole numbers no further than 2^20 from zero.
#if defined(__SSE2__)
    // The truncation gives INT_MIN for anything out of the int range or not
    // a number, which fails the range test.
    auto whole = [](float v) {
        const int i = _mm_cvttss_si32(_mm_set_ss(v));
        return static_cast<unsigned>(i) + (1u << 20) <= (2u << 20) && static_cast<float>(i) == v;
    };
#else
    constexpr float kFar = 1048576.0f;
    auto whole = [&](float v) { return v >= -kFar && v <= kFar && v == static_cast<float>(static_cast<int>(v)); };
#endif
    int n = 0;
    if (clearance < 1 || clearance > 62 || !whole(x) || !whole(y) || !whole(z) ||
        static_cast<size_t>(m_nx) * static_cast<size_t>(m_nz) > (size_t{1} << 24)) {
        WalkCells([&](float cx, float cy, float cz) { out[n++] = Geometry::Vector3(cx, cy, cz); }, x, y, z, bounds,
                  clearance, jumpHeight);
        if (columns)
            for (int k = 0; k < n; ++k) columns[k] = kUnknownColumn;
        if (moves)
            for (int k = 0; k < n; ++k) moves[k] = kUnknownMove;
        return n;
    }
    const Geometry::Vector3& lo = bounds.lo;
    const Geometry::Vector3& hi = bounds.hi;
    const int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);

    // Words of the walker's column and of the eight around it (w[0] his, 1-4
    // the straight directions, 5-8 the diagonals), and the numbers of the
    // eight for the caller.
    const WindowShape shape = ShapeAt(iy - 1);
    const int32_t row = m_nx;
    uint64_t w[9];
    int32_t column[8];
    if (ix >= 1 && ix < m_nx - 1 && iz >= 1 && iz < m_nz - 1) {
        const int32_t c = iz * row + ix;
        column[0] = c + 1;
        column[1] = c + row;
        column[2] = c - 1;
        column[3] = c - row;
        column[4] = c + row + 1;
        column[5] = c + row - 1;
        column[6] = c - row + 1;
        column[7] = c - row - 1;
        const uint64_t* low = m_low.data();
        auto load = [&](auto word) {
            w[0] = word(static_cast<size_t>(c));
            for (int k = 0; k < 8; ++k) w[1 + k] = word(static_cast<size_t>(column[k]));
        };
        // The usual shapes (the lowest level, or levels within the first
        // word of every column) read one word per column with no tests.
        if (shape.all) {
            for (uint64_t& v : w) v = ~uint64_t{0};
        } else if (shape.below) {
            const int shift = shape.below;
            const uint64_t fill = shape.belowMask | shape.topMask;
            load([&](size_t k) { return (low[k] << shift) | fill; });
        } else if (shape.word == 0 && m_high.empty()) {
            const int shift = shape.offset;
            const uint64_t fill = shape.topMask;
            load([&](size_t k) { return (low[k] >> shift) | fill; });
        } else {
            load([&](size_t k) { return Window(k, shape); });
        }
    } else {
        auto columnOf = [&](int cx, int cz) {
            return cx < 0 || cx >= m_nx || cz < 0 || cz >= m_nz ? kOutsideColumns : cz * row + cx;
        };
        w[0] = BlockedWindow(ix, iz, iy - 1);
        for (int d = 0; d < 4; ++d) {
            w[1 + d] = BlockedWindow(ix + kStraight[d][0], iz + kStraight[d][1], iy - 1);
            w[5 + d] = BlockedWindow(ix + kDiagonal[d][0], iz + kDiagonal[d][1], iy - 1);
            column[d] = columnOf(ix + kStraight[d][0], iz + kStraight[d][1]);
            column[4 + d] = columnOf(ix + kDiagonal[d][0], iz + kDiagonal[d][1]);
        }
    }

    // Every test of the four passes as one bit per candidate, in the order
    // the candidates are appended: bits 0-3 level moves, 4-7 diagonals, 8-11
    // step-ups (each by direction), 12-15 edges to drop from.
    const uint64_t room = ((uint64_t{1} << clearance) - 1) << 1;  // levels y .. y + C - 1
    const uint64_t roomUp = room << 1;                            // levels y + 1 .. y + C
    unsigned found = 0;
    for (int d = 0; d < 4; ++d) {
        const uint64_t sw = w[1 + d];
        const unsigned floor = static_cast<unsigned>(sw & 1u);
        const unsigned roomy = (sw & room) == 0;
        // 1. Level moves: a floor under the neighbour and room above it.
        found |= (floor & roomy) << d;
        // 2. Diagonals: as level moves, and neither side cell may be
        // blocked (straight +x is w[1], +z w[2], -x w[3], -z w[4]).
        const uint64_t dw = w[5 + d];
        const uint64_t sides = w[kDiagonal[d][0] > 0 ? 1 : 3] | w[kDiagonal[d][1] > 0 ? 2 : 4];
        found |= (static_cast<unsigned>(dw & 1u) & static_cast<unsigned>(((dw | sides) & room) == 0)) << (4 + d);
        // 3. Step-ups: a block beside the walker, room above it (and above
        // him, below).
        found |= (static_cast<unsigned>((sw >> 1) & 1u) & static_cast<unsigned>((sw & roomUp) == 0)) << (8 + d);
        // 4. Drops: an edge beside the walker with room above it.
        found |= ((floor ^ 1u) & roomy) << (12 + d);
    }
    // The search bounds over the levels each pass uses (the float sums are
    // those of the cell walk), then per column unless all nine are inside.
    const float cm1 = static_cast<float>(clearance - 1);
    const bool levelIn = y + 0.0f >= lo.y && y + cm1 <= hi.y;
    const bool upIn = y + 0.0f + 1.0f >= lo.y && y + cm1 + 1.0f <= hi.y;
    if (!levelIn) found &= 0x0F00u;
    if (!upIn || (w[0] & roomUp)) found &= ~0x0F00u;
    if (found && !(x + -1.0f >= lo.x && x + 1.0f <= hi.x && z + -1.0f >= lo.z && z + 1.0f <= hi.z)) {
        for (unsigned m = found; m; m &= m - 1) {
            const int b = __builtin_ctz(m);
            const float cx = x + kMoveFx[b], cz = z + kMoveFz[b];
            if (!(cx >= lo.x && cx <= hi.x && cz >= lo.z && cz <= hi.z)) found &= ~(1u << b);
        }
    }

    int32_t unused[kMaxNeighbours];
    int32_t unusedMoves[kMaxNeighbours];
    int32_t* const cols = columns ? columns : unused;
    int32_t* const codes = moves ? moves : unusedMoves;
    // Level moves and diagonals first (the bulk), then step-ups, then drops:
    // the bits' order, so the candidates' order.
    for (unsigned m = found & 0xFFu; m; m &= m - 1) {
        const int b = __builtin_ctz(m);
        cols[n] = column[b];
        codes[n] = kMoveCode[b];
        out[n++] = Geometry::Vector3(x + kMoveFx[b], y, z + kMoveFz[b]);
    }
    for (unsigned m = found >> 8; m; m &= m - 1) {
        const int b = 8 + __builtin_ctz(m);
        const float cx = x + kMoveFx[b], cz = z + kMoveFz[b];
        const int32_t col = column[b & 3];
        if (b < 12) {
            cols[n] = col;
            codes[n] = kMoveCode[b];
            out[n++] = Geometry::Vector3(cx, y + 1.0f, cz);
        } else {
            // The first floor within reach. The column is inside the grid
            // (its cells at y are free), so the walk down meets level -1 at
            // the latest.
            const int gx = ix + kMoveDx[b], gz = iz + kMoveDz[b];
            for (int j = 0; j < jumpHeight; ++j) {
                if (IsCellBlocked(gx, iy - j - 1, gz)) {
                    cols[n] = col;
                    codes[n] = j == 0 ? kMoveCode[b] : MoveCode(kMoveDx[b], -j, kMoveDz[b]);
                    out[n++] = Geometry::Vector3(cx, y - static_cast<float>(j), cz);
                    break;
                }
            }
        }
    }
    return n;
}

void SearchSpace::GetNeighboursCellByCell(std::vector<Geometry::Vector3>& out, float x, float y, float z,
                                          const Geometry::Vector3& searchMin, const Geometry::Vector3& searchMax,
                                          int clearance, int jumpHeight) const {
    out.clear();
    WalkCells([&](float cx, float cy, float cz) { out.emplace_back(cx, cy, cz); }, x, y, z,
              SearchCells(searchMin, searchMax), clearance, jumpHeight);
}

template <class Emit>
void SearchSpace::WalkCells(Emit emit, float x, float y, float z, const CellBox& bounds, int clearance,
                            int jumpHeight) const {
    const Geometry::Vector3& lo = bounds.lo;
    const Geometry::Vector3& hi = bounds.hi;
    auto inSearch = [&](float cx, float cy, float cz) {
        return cx >= lo.x && cx <= hi.x && cy >= lo.y && cy <= hi.y && cz >= lo.z && cz <= hi.z;
    };
    auto freeInSearch = [&](float cx, float cy, float cz) {
        return !IsCellBlocked(cx, cy, cz) && inSearch(cx, cy, cz);
    };

    // 1. Level moves: a floor under the neighbour and room above it.
    for (const auto& d : kStraight) {
        const float nx = x + d[0], nz = z + d[1];
        bool ok = true;
        for (int i = 0; i < clearance && ok; ++i)
            ok = IsCellBlocked(nx, y - 1.0f, nz) && freeInSearch(nx, y + i, nz);
        if (ok) emit(nx, y, nz);
    }
    // 2. Diagonals: as level moves, and neither side cell may be blocked.
    for (const auto& d : kDiagonal) {
        const float nx = x + d[0], nz = z + d[1];
        bool ok = true;
        for (int i = 0; i < clearance && ok; ++i)
            ok = IsCellBlocked(nx, y - 1.0f, nz) && freeInSearch(nx, y + i, nz) && !IsCellBlocked(nx, y + i, z) &&
                 !IsCellBlocked(x, y + i, nz);
        if (ok) emit(nx, y, nz);
    }
    // 3. Step-ups: a block beside the walker, room above it and above him.
    for (const auto& d : kStraight) {
        const float nx = x + d[0], nz = z + d[1];
        bool ok = true;
        for (int i = 0; i < clearance && ok; ++i)
            ok = IsCellBlocked(nx, y, nz) && freeInSearch(nx, y + i + 1.0f, nz) && !IsCellBlocked(x, y + i + 1.0f, z);
        if (ok) emit(nx, y + 1.0f, nz);
    }
    // 4. Drops: an edge beside the walker, then the first floor within reach.
    for (const auto& d : kStraight) {
        const float nx = x + d[0], nz = z + d[1];
        bool ok = true;
        for (int i = 0; i < clearance && ok; ++i)
            ok = !IsCellBlocked(nx, y - 1.0f, nz) && freeInSearch(nx, y + i, nz);
        if (!ok) continue;
        for (int j = 0; j < jumpHeight; ++j) {
            if (IsCellBlocked(nx, y - j - 1.0f, nz)) {
                emit(nx, y - static_cast<float>(j), nz);
                break;
            }
        }
    }
}

bool SearchSpace::HasLineOfSight(const Geometry::Vector3& from, const Geometry::Vector3& to, int clearance) const {
    if (from.y != to.y) return false;
    // Any non-finite coordinate is no line at all.
    if (!std::isfinite(from.x) || !std::isfinite(from.z) || !std::isfinite(to.x) || !std::isfinite(to.z) ||
        !std::isfinite(from.y))
        return false;
    // With no clearance nothing is tested, so every walk on one level succeeds.
    if (clearance <= 0) return true;

    const long long x = CellIndex(from.x), z = CellIndex(from.z);
    const float y0 = from.y;
    // The usual case in integers: the walk's levels worked out once (as the
    // cell test below would, from the same float sums), then each cell is a
    // bounds test and a bit per level. It holds while the float column number
    // of the cell test is exact, and while every level is inside the grid.
    constexpr int kFastLevels = 64;
    if (clearance <= kFastLevels && static_cast<size_t>(m_nx) * static_cast<size_t>(m_nz) <= (size_t{1} << 24)) {
        int levels[kFastLevels];
        bool inside = true;
        // Levels all in the columns' first words make one mask: a cell is
        // blocked when its word has a bit of it (no bit is ever set at or
        // above a column's length, so the length needs no test).
        bool firstWord = true;
        uint64_t mask = 0;
        for (int i = 0; i < clearance && inside; ++i) {
            const float y = y0 + static_cast<float>(i);
            inside = y >= 0.0f && y < static_cast<float>(m_ny);
            if (!inside) break;
            levels[i] = static_cast<int>(y);
            if (levels[i] < 64)
                mask |= uint64_t{1} << levels[i];
            else
                firstWord = false;
        }
        if (inside && firstWord) {
            const uint64_t* low = m_low.data();
            const long long x1 = CellIndex(to.x), z1 = CellIndex(to.z);
            // A walk between two cells of the grid keeps within the rectangle
            // they span, so none of its cells needs the bounds test; a walk
            // with an end outside the grid (rare) takes the one below.
            if (x >= 0 && z >= 0 && x < m_nx && z < m_nz && x1 >= 0 && z1 >= 0 && x1 < m_nx && z1 < m_nz) {
                const size_t row = static_cast<size_t>(m_nx);
                return WalkLine(x, z, x1, z1, [&](long long cx, long long cz) {
                    return (low[static_cast<size_t>(cz) * row + static_cast<size_t>(cx)] & mask) == 0;
                });
            }
        }
        if (inside)
            return WalkLine(x, z, CellIndex(to.x), CellIndex(to.z), [&](long long cx, long long cz) {
                if (cx < 0 || cz < 0 || cx >= m_nx || cz >= m_nz) return false;
                const size_t column = static_cast<size_t>(cz) * static_cast<size_t>(m_nx) + static_cast<size_t>(cx);
                const uint32_t length = m_length[column];
                for (int i = 0; i < clearance; ++i)
                    if (static_cast<uint32_t>(levels[i]) < length && Bit(column, levels[i])) return false;
                return true;
            });
    }
    // A walk that leaves the grid meets a blocked cell at once, so it is at
    // most one grid diameter long.
    return WalkLine(x, z, CellIndex(to.x), CellIndex(to.z), [&](long long cx, long long cz) {
        for (int i = 0; i < clearance; ++i)
            if (IsCellBlocked(static_cast<float>(cx), y0 + static_cast<float>(i), static_cast<float>(cz)))
                return false;
        return true;
    });
}

}  // namespace AI
