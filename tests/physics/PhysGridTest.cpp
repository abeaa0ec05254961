#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "physics/PhysGrid.h"
#include "support/Lcg.h"

using Physics::CellKey;
using Physics::GridRect;
using Physics::PhysBody;
using Physics::PhysGrid;

namespace {

PhysBody* Fake(uintptr_t n) { return reinterpret_cast<PhysBody*>(n * 16); }

GridRect Rect(float minX, float maxX, float minZ, float maxZ) {
    GridRect r;
    r.minX = minX;
    r.maxX = maxX;
    r.minZ = minZ;
    r.maxZ = maxZ;
    return r;
}

struct CellCase {
    const char* name;
    GridRect rect;
    std::vector<CellKey> keys;
};

}  // namespace

TEST(PhysGrid, CellsOfBoxTable) {
    const CellCase cases[] = {
        {"unit box round the origin", Rect(-1, 1, -1, 1), {{-1, 1}, {0, 1}, {-1, 0}, {0, 0}}},
        {"minX 6 starts in column 1", Rect(6, 7, 1, 2), {{1, 1}}},
        {"maxZ 6 ends in row 1", Rect(1, 2, 5, 6), {{0, 1}}},
        {"maxZ 6.01 reaches row 2", Rect(1, 2, 5, 6.01f), {{0, 2}, {0, 1}}},
        {"rows run from high z down", Rect(0.5f, 0.6f, -7, 7), {{0, 2}, {0, 1}, {0, 0}, {0, -1}}},
        {"NaN covers nothing", Rect(std::nanf(""), 1, 0, 1), {}},
        {"infinity covers nothing", Rect(0, std::numeric_limits<float>::infinity(), 0, 1), {}},
    };
    PhysGrid grid(6.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(grid.CellsOfBox(c.rect), c.keys);
    }
}

TEST(PhysGrid, HugeCoordinatesClampInsteadOfOverflowing) {
    PhysGrid grid(6.0f);
    auto keys = grid.CellsOfBox(Rect(1e30f, 1e30f, -1e30f, -1e30f));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].x, INT32_MAX);
    EXPECT_EQ(keys[0].z, INT32_MIN);
}

TEST(PhysGrid, RefileTouchesOnlyCellsEnteredOrLeft) {
    PhysGrid grid(6.0f);
    PhysBody* a = Fake(1);
    PhysBody* b = Fake(2);
    grid.Refile(a, Rect(-1, 1, -1, 1));
    grid.Refile(b, Rect(1, 2, 1, 2));
    EXPECT_EQ(grid.CellsOf(a), (std::vector<CellKey>{{-1, 1}, {0, 1}, {-1, 0}, {0, 0}}));

    // Same rectangle: nothing changes, order kept.
    grid.Refile(a, Rect(-1, 1, -1, 1));
    EXPECT_EQ(grid.CellsOf(a), (std::vector<CellKey>{{-1, 1}, {0, 1}, {-1, 0}, {0, 0}}));

    // Move right: leaves column -1, keeps column 0; b stays first in (0, 1).
    grid.Refile(a, Rect(1, 3, -1, 1));
    EXPECT_EQ(grid.CellsOf(a), (std::vector<CellKey>{{0, 1}, {0, 0}}));
    std::vector<PhysBody*> out;
    grid.Query(Rect(-2, -1, -1, 1), out);
    EXPECT_TRUE(out.empty());
    grid.Query(Rect(1, 2, 1, 2), out);
    EXPECT_EQ(out, (std::vector<PhysBody*>{a, b}));

    // A cell nobody is in any more goes; b's cell stays.
    EXPECT_EQ(grid.CellCount(), 2u);  // (0, 1) with a and b, (0, 0) with a
    grid.Remove(a);
    EXPECT_EQ(grid.CellCount(), 1u);
    EXPECT_TRUE(grid.CellsOf(a).empty());
    grid.Query(Rect(-6, 12, -6, 12), out);
    EXPECT_EQ(out, (std::vector<PhysBody*>{b}));
}

TEST(PhysGrid, QueryListsOncePerCellAndCreatesNoCells) {
    PhysGrid grid(6.0f);
    PhysBody* a = Fake(1);
    grid.Refile(a, Rect(-1, 1, -1, 1));
    std::vector<PhysBody*> out;
    grid.Query(Rect(-1, 1, -1, 1), out);
    EXPECT_EQ(out.size(), 4u);

    const size_t cells = grid.CellCount();
    grid.Query(Rect(100, 200, 100, 200), out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(grid.CellCount(), cells);

    grid.Clear();
    grid.Query(Rect(-1, 1, -1, 1), out);
    EXPECT_TRUE(out.empty());
}

// The grid against a plain model of it: every cell an ordered list, a body
// appended to the cells it enters and taken out of those it leaves. Many
// bodies wander over a few cells, are refiled, removed and filed again; the
// cells' lists, each body's cells, the cells a filing lists and the number of
// cells must agree at every step (the order of a cell's list, and of a
// filing's cells, is the order contact detection visits).
TEST(PhysGrid, AgreesWithAPlainModelOverManyMoves) {
    PhysGrid grid(6.0f);
    std::map<CellKey, std::vector<PhysBody*>> model;
    std::map<PhysBody*, std::vector<CellKey>> modelCells;
    auto modelRemove = [&](PhysBody* b) {
        for (const CellKey& k : modelCells[b]) {
            auto& list = model[k];
            list.erase(std::find(list.begin(), list.end(), b));
            if (list.empty()) model.erase(k);
        }
        modelCells.erase(b);
    };
    auto modelRefile = [&](PhysBody* b, const std::vector<CellKey>& wanted) {
        std::vector<CellKey> kept;
        for (const CellKey& k : modelCells[b]) {
            if (std::find(wanted.begin(), wanted.end(), k) != wanted.end()) {
                kept.push_back(k);
            } else {
                auto& list = model[k];
                list.erase(std::find(list.begin(), list.end(), b));
                if (list.empty()) model.erase(k);
            }
        }
        for (const CellKey& k : wanted)
            if (std::find(kept.begin(), kept.end(), k) == kept.end()) {
                model[k].push_back(b);
                kept.push_back(k);
            }
        if (kept.empty())
            modelCells.erase(b);
        else
            modelCells[b] = kept;
    };

    TestSupport::Lcg draws(12345);
    auto next = [&draws](uint32_t n) { return draws.Below(n); };
    constexpr int kBodies = 40;
    Physics::Filing filings[kBodies + 1];
    for (int step = 0; step < 4000; ++step) {
        PhysBody* b = Fake(1 + next(kBodies));
        if (next(10) == 0) {
            grid.Remove(b);
            filings[reinterpret_cast<uintptr_t>(b) / 16].valid = false;
            modelRemove(b);
        } else {
            // Rectangles of up to three cells a side over a 5 x 5 block of cells.
            const float x = static_cast<float>(next(300)) / 10.0f - 15.0f;
            const float z = static_cast<float>(next(300)) / 10.0f - 15.0f;
            const GridRect r = Rect(x, x + static_cast<float>(next(130)) / 10.0f, z,
                                    z + static_cast<float>(next(130)) / 10.0f);
            const std::vector<CellKey> wanted = grid.CellsOfBox(r);
            // Half the bodies keep a filing (as the world's bodies do): it
            // lists the cells of the rectangle in key order.
            Physics::Filing& filing = filings[reinterpret_cast<uintptr_t>(b) / 16];
            if (reinterpret_cast<uintptr_t>(b) / 16 % 2 == 0) {
                grid.Refile(b, r, filing);
                std::vector<CellKey> filed;
                for (const Physics::GridCell* cell : filing.cells) filed.push_back(cell->key);
                ASSERT_EQ(filed, wanted) << "step " << step;
            } else {
                grid.Refile(b, r);
            }
            modelRefile(b, wanted);
        }
        ASSERT_EQ(grid.CellCount(), model.size()) << "step " << step;
        for (const auto& [key, list] : model) {
            std::vector<PhysBody*> out;
            const float x = static_cast<float>(key.x) * 6.0f + 3.0f;
            const float z = static_cast<float>(key.z) * 6.0f - 3.0f;
            grid.Query(Rect(x, x, z, z), out);
            ASSERT_EQ(out, list) << "step " << step << " cell " << key.x << "," << key.z;
        }
        // A valid filing's cells are alive and hold the body.
        for (int i = 2; i <= kBodies; i += 2) {
            if (!filings[i].valid) continue;
            for (const Physics::GridCell* cell : filings[i].cells)
                ASSERT_EQ(model.at(cell->key), cell->bodies) << "step " << step << " body " << i;
        }
        for (int i = 1; i <= kBodies; ++i) {
            auto it = modelCells.find(Fake(i));
            const std::vector<CellKey> expected = it == modelCells.end() ? std::vector<CellKey>{} : it->second;
            ASSERT_EQ(grid.CellsOf(Fake(i)), expected) << "step " << step << " body " << i;
        }
    }
}
