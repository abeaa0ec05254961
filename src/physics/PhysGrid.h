// The physics broad phase: an unbounded grid of square cells over x and z
// listing the bodies whose bounds overlap each cell. Height is ignored.
#pragma once

#include <cstdint>
#include <cstddef>
#include <unordered_map>
#include <vector>

namespace Physics {

class PhysBody;

// A body's footprint on the grid: (minX, maxZ, maxX, minZ) of its bounds.
struct GridRect {
    float minX = 0.0f;
    float maxZ = 0.0f;
    float maxX = 0.0f;
    float minZ = 0.0f;
};

struct CellKey {
    int32_t x = 0;
    int32_t z = 0;
    bool operator==(const CellKey& o) const { return x == o.x && z == o.z; }
    bool operator!=(const CellKey& o) const { return !(*this == o); }
    bool operator<(const CellKey& o) const { return x != o.x ? x < o.x : z < o.z; }
};

// The cells a rectangle covers: columns x0..x1, rows z0 down to z1 (none
// when the rectangle has a non-finite coordinate).
struct CellSpan {
    int32_t x0 = 0, x1 = -1, z0 = 0, z1 = 1;
    bool operator==(const CellSpan& o) const { return x0 == o.x0 && x1 == o.x1 && z0 == o.z0 && z1 == o.z1; }
};


// What the world's contact detection keeps of a cell while the cell lives:
// the bodies of its list in list order with their positions and bounding
// radii as of one detection (the world fills it; see PhysWorld::QueryPairs).
// Stored by component, so that four entries are tested at once.
struct CellCopy {
    uint32_t detection = 0;  // the detection it was made in; 0: never made
    std::vector<float> x, y, z, radius;
    std::vector<PhysBody*> bodies;
};

// A cell of the grid: its key, its bodies in filing order, and the world's
// copy. A cell lives in the grid's map, whose elements keep their addresses
// while they exist (a cell exists while a body is filed in it).
struct GridCell {
    CellKey key;
    std::vector<PhysBody*> bodies;
    mutable CellCopy copy;
};

// What a refiled body keeps of its filing: the span it is filed in and its
// cells in key order (those a query of the span visits, in the query's
// order), valid while nothing else changed its cells.
struct Filing {
    CellSpan span;
    bool valid = false;
    std::vector<const GridCell*> cells;
};

class PhysGrid {
public:
    using BodyList = std::vector<PhysBody*>;
    using Cell = GridCell;
    struct CellKeyHash {
        size_t operator()(const CellKey& k) const {
            const uint64_t v = (uint64_t(uint32_t(k.x)) << 32) | uint32_t(k.z);
            return size_t((v * 0x9E3779B97F4A7C15ull) >> 32);
        }
    };
    // Nobody walks the cells in map order: the queries go through the keys
    // of a rectangle in their own order, so a hash map serves.
    using CellMap = std::unordered_map<CellKey, Cell, CellKeyHash>;
    // Each body's cells in filing order.
    using BodyCellMap = std::unordered_map<PhysBody*, std::vector<Cell*>>;

    explicit PhysGrid(float cellSize);
    PhysGrid(const PhysGrid&) = delete;
    PhysGrid& operator=(const PhysGrid&) = delete;

    // Keys row by row from the highest z row down, x ascending within a row.
    // A rectangle with a non-finite coordinate covers no cell.
    std::vector<CellKey> CellsOfBox(const GridRect& rect) const;
    void CellsOfBox(const GridRect& rect, std::vector<CellKey>& out) const;

    // Files the body in exactly the cells of the rectangle; only cells entered
    // or left are touched.
    void Refile(PhysBody* body, const GridRect& rect);
    // The same, passed over when the rectangle covers the cells of the body's
    // last filing through this call; the filing is noted in it (with its
    // cells, which ForEachCellInBox would visit for the rectangle while the
    // filing is valid). Whoever removes the body or clears the grid must drop
    // the filing (valid false).
    void Refile(PhysBody* body, const GridRect& rect, Filing& filing);
    CellSpan SpanOf(const GridRect& rect) const;
    // The bodies filed in the rectangle's cells, once per cell they are in.
    void Query(const GridRect& rect, std::vector<PhysBody*>& out) const;
    // Calls f(body) for each body Query would list, in the same order,
    // without gathering them first. f must not change the grid.
    template <class F>
    void ForEachInBox(const GridRect& rect, F&& f) const {
        ForEachCellInBox(rect, [&f](const Cell& cell) {
            for (PhysBody* b : cell.bodies) f(b);
        });
    }
    // Calls f(cell) for each existing cell of the rectangle, in key order.
    // f must not change the grid (the cell's copy it may).
    template <class F>
    void ForEachCellInBox(const GridRect& rect, F&& f) const {
        CellsOfBox(rect, m_keys);
        for (const CellKey& key : m_keys) {
            auto it = m_cells.find(key);
            if (it != m_cells.end()) f(it->second);
        }
    }
    void Remove(PhysBody* body);
    void Clear();

    float CellSize() const { return m_cellSize; }
    size_t CellCount() const { return m_cells.size(); }
    // The cells a body is filed in, in filing order (for tests and checks).
    std::vector<CellKey> CellsOf(PhysBody* body) const;

private:
    static void RemoveFromList(BodyList& list, PhysBody* body);
    // Refile's work for the keys in m_keys; with inKeyOrder, also lists the
    // body's cells in the order of the keys.
    void RefileKeys(PhysBody* body, std::vector<const GridCell*>* inKeyOrder);
    void CellsOfSpan(const CellSpan& s, std::vector<CellKey>& out) const;

    float m_cellSize;
    CellMap m_cells;
    BodyCellMap m_bodyCells;
    mutable std::vector<CellKey> m_keys;  // reused key buffer
    std::vector<uint8_t> m_present;       // reused per-key marks of Refile
    mutable std::vector<const BodyList*> m_found;
};

}  // namespace Physics
