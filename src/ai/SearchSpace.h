// The bots' occupancy grid of the level: cubic cells of edge 1.0 over a fixed
// box of the world, marked where blocks stand; answers blocked-cell, neighbour
// and straight-walk questions for the path search and the behaviours.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "gamelogic/BlockGrid.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace AI {

class SearchSpace final : public GameLogicView::IBlockGrid {
public:
    // Registers the grid for the block reports. Bounds are left to the owner.
    SearchSpace();
    ~SearchSpace() override;
    SearchSpace(const SearchSpace&) = delete;
    SearchSpace& operator=(const SearchSpace&) = delete;

    // x, y and z minimum and maximum in world units; takes effect at Build.
    void SetBounds(float xMin, float xMax, float yMin, float yMax, float zMin, float zMax);
    // Drops every column and creates fresh, empty ones from the bounds.
    void Build();

    Geometry::Vector3 WorldToCell(float x, float y, float z) const;
    Geometry::Vector3 WorldToCell(const Geometry::Vector3& p) const { return WorldToCell(p.x, p.y, p.z); }
    Geometry::Vector3 CellToWorld(const Geometry::Vector3& cell) const;

    bool IsInBounds(float x, float y, float z) const;
    // Cells outside the grid (below level 0 included) count as blocked.
    bool IsCellBlocked(float x, float y, float z) const;
    bool IsCellBlocked(int x, int y, int z) const;
    // Cells outside the grid are ignored.
    void SetCell(int x, int y, int z, bool mark);
    // Marks (or frees) the cells holding the unit samples of the box
    // [centre - half, centre + half); only the part inside the grid is walked.
    void SetBoxOccupancy(float cx, float cy, float cz, float hx, float hy, float hz, bool mark) override;
    // IsCellBlocked of the cell holding the world point.
    bool IsBlockedAt(float x, float y, float z) const override;
    // The first k in 0 .. steps for which the cell holding the world point
    // (x, y - k, z) is blocked, or -1 when there is none: the same cells as
    // IsBlockedAt at each step, with the column worked out once.
    int FirstBlockedBelow(float x, float y, float z, int steps) const;

    // The block reports: placement marks, detach and pick-up free.
    bool OnBlockEvent(const EventSystem::IEvent& event);

    // The cells one move away from (x, y, z), limited to the search bounds
    // (world points, turned into cells here). clearance and jumpHeight are the
    // AI settings "ClearanceHeight" and "JumpHeight" at the time of the call.
    // Usually answered from one word per nearby column (the levels around the
    // walker as bits); odd inputs take the cell-by-cell walk below.
    void GetNeighbours(std::vector<Geometry::Vector3>& out, float x, float y, float z,
                       const Geometry::Vector3& searchMin, const Geometry::Vector3& searchMax, int clearance,
                       int jumpHeight) const;
    // At most this many cells are one move away.
    static constexpr int kMaxNeighbours = 16;
    // Search bounds turned into cells (WorldToCell of the two world points).
    struct CellBox {
        Geometry::Vector3 lo;
        Geometry::Vector3 hi;
    };
    CellBox SearchCells(const Geometry::Vector3& searchMin, const Geometry::Vector3& searchMax) const {
        return {WorldToCell(searchMin), WorldToCell(searchMax)};
    }
    // GetNeighbours into out[0 .. kMaxNeighbours) with the bounds already in
    // cells; answers how many. When columns is given, columns[k] is the
    // column index (z * CellsX() + x) of out[k], kOutsideColumns for a cell
    // outside the grid's columns, or kUnknownColumn where it was not worked
    // out.
    // When moves is given, moves[k] is the step from the walker's cell to
    // out[k] as MoveCode(dx, dy, dz), or kUnknownMove where the cell walk
    // answered (its columns are kUnknownColumn too). A known move is exact:
    // out[k] minus the walker's cell gives dx, dy and dz in float without
    // rounding. The code's two low bits are the kind of the move.
    static constexpr int32_t kOutsideColumns = -1;
    static constexpr int32_t kUnknownColumn = -2;
    enum MoveKind : int32_t { kLevelStraight = 0, kLevelDiagonal = 1, kClimb = 2 };
    static constexpr MoveKind KindOf(int dx, int dy, int dz) {
        return dy != 0 ? kClimb : dx != 0 && dz != 0 ? kLevelDiagonal : kLevelStraight;
    }
    static constexpr int32_t MoveCode(int dx, int dy, int dz) {
        return (dy * 16 + (dx + 1) * 4 + (dz + 1)) * 4 + KindOf(dx, dy, dz);
    }
    static constexpr MoveKind KindOfMove(int32_t code) { return static_cast<MoveKind>(code & 3); }
    static constexpr int32_t kUnknownMove = INT32_MIN;
    int FillNeighbours(Geometry::Vector3* out, int32_t* columns, float x, float y, float z, const CellBox& bounds,
                       int clearance, int jumpHeight, int32_t* moves = nullptr) const;
    // The same list, found by testing one cell at a time.
    void GetNeighboursCellByCell(std::vector<Geometry::Vector3>& out, float x, float y, float z,
                                 const Geometry::Vector3& searchMin, const Geometry::Vector3& searchMax,
                                 int clearance, int jumpHeight) const;

    // Straight walk over one level from cell to cell; each visited cell and the
    // clearance - 1 cells above it must be free. Different levels never see
    // each other.
    bool HasLineOfSight(const Geometry::Vector3& from, const Geometry::Vector3& to, int clearance) const;

    // The cell index of a coordinate, clamped so that any float converts.
    static long long CellIndex(float v);
    // Visits the cells of the straight line from cell (x, z) to cell (x1, z1)
    // that come after the first, in order; false at the first cell `visit`
    // refuses.
    template <class Visit>
    static bool WalkLine(long long x, long long z, long long x1, long long z1, Visit visit) {
        const long long dx = x1 > x ? x1 - x : x - x1, dz = z1 > z ? z1 - z : z - z1;
        const long long sx = x1 < x ? -1 : 1, sz = z1 < z ? -1 : 1;
        if (dx < dz) {
            long long err = 2 * dx - dz;
            while (z != z1) {
                if (err > 0) {
                    x += sx;
                    err += 2 * (dx - dz);
                } else {
                    err += 2 * dx;
                }
                z += sz;
                if (!visit(x, z)) return false;
            }
        } else {
            long long err = 2 * dz - dx;
            while (x != x1) {
                if (err > 0) {
                    z += sz;
                    err += 2 * (dz - dx);
                } else {
                    err += 2 * dz;
                }
                x += sx;
                if (!visit(x, z)) return false;
            }
        }
        return true;
    }

    int CellsX() const { return m_nx; }
    int CellsY() const { return m_ny; }
    int CellsZ() const { return m_nz; }
    // Number of levels stored for the column (x, z); 0 outside the grid.
    int ColumnLength(int x, int z) const;
    const Geometry::Vector3& Minimum() const { return m_min; }
    // Counts the changes of the grid: every cell that changed state and every
    // Build add one.
    uint64_t Version() const { return m_version; }
    const Geometry::Vector3& Maximum() const { return m_max; }

private:
    // Levels 0..63 of every column live in one word; taller columns keep the
    // rest in an overflow vector, so an empty or low level costs one word.
    bool Bit(size_t column, int level) const;
    // Stored word w of a column (levels 64 w .. 64 w + 63).
    uint64_t StoredWord(size_t column, size_t w) const;
    // Levels base .. base + 63 of the column (x, z), bit k set when cell
    // (x, base + k, z) is blocked: outside the grid, below level 0 and from
    // the grid's top up everything is.
    uint64_t BlockedWindow(int x, int z, int base) const;
    // What a window starting at one level takes from every column.
    struct WindowShape {
        bool all = false;  // wholly below level 0 or above the top
        int below = 0;     // levels under 0 at its start
        uint64_t belowMask = 0;
        size_t word = 0;  // first stored word and the bit it starts at
        int offset = 0;
        uint64_t topMask = 0;  // levels from the top up
    };
    WindowShape ShapeAt(int base) const;
    uint64_t Window(size_t column, const WindowShape& shape) const;
    template <class Emit>
    void WalkCells(Emit emit, float x, float y, float z, const CellBox& bounds, int clearance, int jumpHeight) const;
    void SetBit(size_t column, int level, bool mark);
    static void AxisSamples(float lo, float hi, float gridMin, int n, std::vector<int>& cells);

    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    Geometry::Vector3 m_min{};
    Geometry::Vector3 m_max{};
    int m_nx = 0;
    int m_ny = 0;
    int m_nz = 0;
    std::vector<uint64_t> m_low;
    std::vector<uint32_t> m_length;
    std::unordered_map<size_t, std::vector<uint64_t>> m_high;
    uint64_t m_version = 0;
};

}  // namespace AI
