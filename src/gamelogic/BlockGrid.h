// The occupancy grid the block manager marks where blocks stand and asks
// when it decides what a knocked-out block leaves standing. The bots' side
// owns the grid it plans paths on and lends it to the logic.
#pragma once

namespace GameLogicView {

class IBlockGrid {
public:
    virtual ~IBlockGrid() = default;
    // Marks (or frees) the cells of the box [centre - half, centre + half).
    virtual void SetBoxOccupancy(float cx, float cy, float cz, float hx, float hy, float hz, bool mark) = 0;
    // True when the cell holding the world point is blocked; points outside
    // the grid count as blocked.
    virtual bool IsBlockedAt(float x, float y, float z) const = 0;
};

}  // namespace GameLogicView
