// The object states and model extents in data/ give the logic what it needs
// to size its actors.
#include <gtest/gtest.h>

#include "gamelogic/ObjectStateTable.h"
#include "support/Harness.h"

using GameLogicView::ObjectStateTable;
using Geometry::Vector3;

TEST(ShippedObjectStates, EveryStateTheLogicCreatesHasAnExtent) {
    ObjectStateTable table;
    ASSERT_TRUE(table.Load(MIRAV_SOURCE_DIR "/data/Config/Graphics/gfxObjStates.ini",
                           MIRAV_SOURCE_DIR "/data/Config/Graphics/ModelExtents.ini"));
    struct Case {
        int state;
        Vector3 extent;
    };
    const Case cases[] = {
        {0, {0.5f, 0.5f, 0.5f}},      // level and unit blocks: exactly 0.5
        {1, {0.5f, 1.5f, 0.5f}},      // Angel player
        {3, {0.5f, 1.5f, 0.5f}},      // Demon player
        {5, {10.0f, 0.5f, 10.0f}},    // ground, scaled by the level
        {9, {0.25f, 0.25f, 0.25f}},   // bomb, created at scale 2
        {22, {0.5f, 0.5f, 0.5f}},     // flags, placed at scale 3
        {23, {0.5f, 0.5f, 0.5f}},
    };
    for (const Case& c : cases) {
        Vector3 e;
        ASSERT_TRUE(table.GetStateAndExtent(c.state, e)) << c.state;
        EXPECT_EQ(e, c.extent) << c.state;
    }
}
