#include "levels/LevelGrid.h"

#include <algorithm>
#include <cmath>

#include "levels/Bitmap.h"

namespace GameLogicView {

LevelGrid LevelGrid::FromBitmap(const Bitmap24& image) {
    LevelGrid grid;
    grid.m_width = image.width;
    grid.m_rows = image.height;
    grid.m_cells.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (int r = 0; r < image.height; ++r) {
        for (int c = 0; c < image.width; ++c) {
            LevelCell& cell = grid.At(r, c);
            cell.height = image.Blue(r, c);
            cell.green = image.Green(r, c);
            cell.red = image.Red(r, c);
            grid.m_maxHeight = std::max(grid.m_maxHeight, cell.height);
        }
    }
    return grid;
}

int RandSize(int cap, int n, float weight, const UnitDraw& draw) {
    const int limit = std::min(n, cap);
    const float r = draw();
    const float half = static_cast<float>(limit) / 2.0f;
    const int size = r > 1.0f - weight ? static_cast<int>(std::ceil(half + r * half))
                                       : static_cast<int>(std::ceil(r * static_cast<float>(limit)));
    if (limit < 1) return 0;
    return std::clamp(size, 1, limit);
}

namespace {

// A cell takes part in a box from base to top when its boxes reach no higher
// than the base and its column reaches the top.
bool Fits(const LevelCell& cell, int base, int top) { return cell.filled <= base && top <= cell.height && top > cell.filled; }

}  // namespace

std::vector<BlockPlan> PlanMergedBoxes(LevelGrid& grid, const BoxShaping& given, const UnitDraw& draw) {
    // A cap below one cell would make empty boxes and leave gaps.
    BoxShaping shaping = given;
    shaping.capWidth = std::max(1, shaping.capWidth);
    shaping.capHeight = std::max(1, shaping.capHeight);
    shaping.capZ = std::max(1, shaping.capZ);
    std::vector<BlockPlan> plans;
    const int width = grid.Width();
    const int rows = grid.Rows();
    for (int level = 0; level <= grid.MaxHeight(); ++level) {
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < width; ++c) {
                LevelCell& start = grid.At(r, c);
                if (!(start.filled < level && level <= start.height)) continue;

                const int s = RandSize(shaping.capZ, start.height - start.filled, shaping.zWeight, draw);
                int w = RandSize(shaping.capWidth, shaping.capWidth, shaping.wWeight, draw);
                int d = RandSize(shaping.capHeight, shaping.capHeight, shaping.hWeight, draw);
                const int base = level - 1;
                const int top = base + s;

                // Grow along the first row, then row by row.
                w = std::max(1, std::min(w, width - c));
                for (int k = 1; k < w; ++k) {
                    if (!Fits(grid.At(r, c + k), base, top)) {
                        w = k;
                        break;
                    }
                }
                d = std::max(1, std::min(d, rows - r));
                for (int k = 1; k < d; ++k) {
                    bool rowFits = true;
                    for (int j = 0; j < w && rowFits; ++j) rowFits = Fits(grid.At(r + k, c + j), base, top);
                    if (!rowFits) {
                        d = k;
                        break;
                    }
                }
                for (int k = 0; k < d; ++k)
                    for (int j = 0; j < w; ++j) grid.At(r + k, c + j).filled = top;

                BlockPlan plan;
                plan.team = start.green == 1 ? 0 : 1;
                plan.green = start.green;
                plan.row = r;
                plan.col = c;
                plan.scale = Geometry::Vector3(static_cast<float>(w), static_cast<float>(s), static_cast<float>(d));
                plan.position = Geometry::Vector3(static_cast<float>(grid.CellX(c)) + static_cast<float>(w) / 2.0f,
                                                  static_cast<float>(base) + static_cast<float>(s) / 2.0f,
                                                  static_cast<float>(grid.CellZ(r)) + static_cast<float>(d) / 2.0f);
                plans.push_back(plan);
            }
        }
    }
    return plans;
}

std::vector<BlockPlan> PlanSingleBlocks(const LevelGrid& grid) {
    std::vector<BlockPlan> plans;
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Width(); ++c) {
            const LevelCell& cell = grid.At(r, c);
            if (cell.height <= 0) continue;
            BlockPlan plan;
            plan.team = 255;
            plan.green = cell.green;
            plan.row = r;
            plan.col = c;
            plan.scale = Geometry::Vector3(1.0f, 1.0f, 1.0f);
            plan.position = Geometry::Vector3(static_cast<float>(grid.CellX(c)) + 0.5f,
                                              static_cast<float>(cell.height) + 0.5f,
                                              static_cast<float>(grid.CellZ(r)) + 0.5f);
            plans.push_back(plan);
        }
    }
    return plans;
}

std::vector<CellObject> PlanCellObjects(const LevelGrid& grid, bool sandbox) {
    using Kind = CellObject::Kind;
    std::vector<CellObject> out;
    for (int r = 0; r < grid.Rows(); ++r) {
        for (int c = 0; c < grid.Width(); ++c) {
            const LevelCell& cell = grid.At(r, c);
            const int t = cell.red;
            if (t <= 0) continue;
            if (sandbox && ((t >= 50 && t <= 99) || t == 153 || t == 154)) continue;

            CellObject o;
            o.code = t;
            o.anchorX = grid.CellX(c);
            o.anchorZ = grid.CellZ(r);
            o.height = cell.height;
            const float x = static_cast<float>(o.anchorX);
            const float z = static_cast<float>(o.anchorZ);
            const float h = static_cast<float>(cell.height);
            auto levelObject = [&]() {
                CellObject lo = o;
                lo.kind = Kind::LevelObject;
                lo.position = Geometry::Vector3(x, h, z);
                out.push_back(lo);
            };

            if ((t >= 1 && t <= 49) || (t >= 52 && t <= 149) || t >= 200) {
                levelObject();
            } else if (t == 50 || t == 51) {
                CellObject cap = o;
                cap.kind = Kind::CapturePoint;
                cap.team = t == 50 ? 0 : 1;
                cap.position = Geometry::Vector3(x, h + 3.0f, z);
                out.push_back(cap);
                levelObject();
            } else if (t == 151 || t == 152) {
                o.kind = Kind::SpawnPoint;
                o.team = t == 151 ? 0 : 1;
                o.position = Geometry::Vector3(x, h + 1.52f, z);
                out.push_back(o);
            } else if (t == 153 || t == 154) {
                o.kind = Kind::Flag;
                o.team = t == 153 ? 0 : 1;
                o.position = Geometry::Vector3(x + 1.5f, h + 1.5f, z + 1.5f);
                out.push_back(o);
            } else if (t >= 157 && t <= 160) {
                o.kind = Kind::BombSpawner;
                o.position = Geometry::Vector3(x, h + 3.0f, z);
                out.push_back(o);
            } else if (t == 161 || t == 162) {
                o.kind = Kind::GuardPoint;
                o.team = t == 161 ? 0 : 1;
                o.position = Geometry::Vector3(x, h, z);
                out.push_back(o);
            }
            // 150, 155, 156 and 163..199 place nothing.
        }
    }
    return out;
}

}  // namespace GameLogicView
