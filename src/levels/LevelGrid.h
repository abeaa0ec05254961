// What a level bitmap says, decoded: one cell per pixel (column height, team
// and palette entry, object code), the plan of the boxes that build the
// columns, and the list of the cells' special objects. Pure data; the level
// loader turns the plans into actors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

struct Bitmap24;

struct LevelCell {
    int32_t height = 0;  // blue: the column's height in whole units
    int32_t filled = 0;  // the height up to which boxes already stand
    int32_t green = 0;   // team and palette list of the column's blocks
    int32_t red = 0;     // object code
};

class LevelGrid {
public:
    LevelGrid() = default;
    // Row 0 is the image's top row, column 0 its left column.
    static LevelGrid FromBitmap(const Bitmap24& image);

    int Width() const { return m_width; }
    int Rows() const { return m_rows; }
    int MaxHeight() const { return m_maxHeight; }
    LevelCell& At(int row, int col) { return m_cells[Index(row, col)]; }
    const LevelCell& At(int row, int col) const { return m_cells[Index(row, col)]; }

    // World placement of a cell's corner: x = col - width/2, z = row - rows/2
    // (integer halves, rounded toward zero).
    int CellX(int col) const { return col - m_width / 2; }
    int CellZ(int row) const { return row - m_rows / 2; }

private:
    size_t Index(int row, int col) const {
        return static_cast<size_t>(row) * static_cast<size_t>(m_width) + static_cast<size_t>(col);
    }

    int m_width = 0;
    int m_rows = 0;
    int m_maxHeight = 0;
    std::vector<LevelCell> m_cells;
};

// The level keys that shape the boxes.
struct BoxShaping {
    float wWeight = 0.5f;  // bias of the width draw toward larger sizes
    float hWeight = 0.5f;  // bias of the depth draw
    float zWeight = 0.5f;  // bias of the height draw
    int capWidth = 1;      // largest box width in cells (x)
    int capHeight = 1;     // largest box depth in cells (z)
    int capZ = 1;          // largest box height in cells (y)
};

// A uniform draw in [0, 1) from the level's generator.
using UnitDraw = std::function<float()>;

// One box size: n' = min(n, cap); r from the draw; ceil(n'/2 + r n'/2) when
// r > 1 - weight, else ceil(r n'). Never below 1 when n' is at least 1, so a
// draw of exactly 0 cannot leave a gap in a column.
int RandSize(int cap, int n, float weight, const UnitDraw& draw);

// One block of a level column.
struct BlockPlan {
    Geometry::Vector3 position;  // centre
    Geometry::Vector3 scale;     // size in cells
    uint8_t team = 255;
    int32_t green = 0;           // the palette list of its material
    int row = 0;                 // the cell the box grew from
    int col = 0;
};

// Builds every column of the grid out of merged boxes, level by level, top
// row to bottom, left to right; fills the cells' filled heights as it goes.
std::vector<BlockPlan> PlanMergedBoxes(LevelGrid& grid, const BoxShaping& shaping, const UnitDraw& draw);

// One unit block on top of every column with a height.
std::vector<BlockPlan> PlanSingleBlocks(const LevelGrid& grid);

// The special object of a cell, by its red code.
struct CellObject {
    enum class Kind : uint8_t { LevelObject, CapturePoint, SpawnPoint, Flag, BombSpawner, GuardPoint };
    Kind kind = Kind::LevelObject;
    int code = 0;                // the red value
    uint8_t team = 255;          // for capture, spawn, flag and guard points
    Geometry::Vector3 position;  // where it goes (see the table of codes)
    int anchorX = 0;             // the cell's placement, for level objects
    int anchorZ = 0;
    int height = 0;
};

// The cells' objects in creation order (top row first, left to right). In
// sandbox mode capture points, their objects and flags are left out.
std::vector<CellObject> PlanCellObjects(const LevelGrid& grid, bool sandbox);

}  // namespace GameLogicView
