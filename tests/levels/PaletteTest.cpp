#include <gtest/gtest.h>

#include "Fixtures.h"
#include "ini/IniFile.h"
#include "levels/Palette.h"

using namespace GameLogicView;

namespace {
Utility::IniFile Parsed(const std::string& name, const std::string& text) {
    LevelTest::TempDir dir;
    return Utility::IniFile(dir.Write(name, text));
}
}  // namespace

TEST(Palette, LevelPaletteListsAreTheNumberedSections) {
    const Utility::IniFile file = Parsed("pal.ini",
                                         "[0]\n0 = 3\n1 = 4\n"
                                         "[1]\n0 = 10\n"
                                         "[2]\n");
    const PaletteLists p = ReadLevelPalette(file);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0], (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(p[1], (std::vector<int32_t>{10}));
    EXPECT_TRUE(p[2].empty());
}

TEST(Palette, ObjectPaletteListsFollowTheConfigSection) {
    const Utility::IniFile file = Parsed("pal.ini",
                                         "[CONFIG]\nnumColors = 2\n"
                                         "[wood]\n0 = 7\n1 = 8\n2 = 99\n"
                                         "[stone]\n1 = 6\n0 = 5\n");
    const PaletteLists p = ReadObjectPalette(file);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], (std::vector<int32_t>{7, 8}));   // numColors limits the list
    EXPECT_EQ(p[1], (std::vector<int32_t>{5, 6}));   // by key, not by line order
}

TEST(Palette, AListEndsAtItsFirstMissingOrBadEntry) {
    LevelTest::ProblemCapture problems;
    const Utility::IniFile file = Parsed("pal.ini",
                                         "[CONFIG]\nnumColors = 4\n"
                                         "[a]\n0 = 1\n1 = x\n2 = 3\n"
                                         "[b]\n0 = -5\n");
    const PaletteLists p = ReadObjectPalette(file);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], (std::vector<int32_t>{1}));
    EXPECT_TRUE(p[1].empty());
    EXPECT_FALSE(problems.warnings.empty());
}

// Indices from bitmaps and object files are checked: each case is an error
// naming the palette, never a read past a list or a division by zero.
TEST(Palette, IndicesAreRangeChecked) {
    const PaletteLists palette = {{11, 12, 13}, {}, {21}};
    struct Case {
        long list, entry;
        bool ok;
        int32_t material;
        const char* reason;
    };
    const Case cases[] = {
        {0, 0, true, 11, ""},
        {0, 2, true, 13, ""},
        {2, 0, true, 21, ""},
        {0, 3, false, 0, "past the end"},
        {0, -1, false, 0, "past the end"},
        {1, 0, false, 0, "empty"},
        {3, 0, false, 0, "no colour list 3"},
        {-1, 0, false, 0, "no colour list -1"},
    };
    for (const Case& c : cases) {
        int32_t out = -7;
        std::string error;
        EXPECT_EQ(PaletteEntry(palette, c.list, c.entry, "Objects/p.ini", out, error), c.ok) << c.list << "," << c.entry;
        if (c.ok) {
            EXPECT_EQ(out, c.material);
        } else {
            EXPECT_EQ(out, -7);
            EXPECT_NE(error.find("Objects/p.ini"), std::string::npos) << error;
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
    }
}

TEST(Palette, LevelBlockMaterialWrapsTheDrawAndRefusesMissingLists) {
    const PaletteLists palette = {{5, 6, 7}, {}, {9}};
    struct Case {
        long green, draw;
        bool ok;
        int32_t material;
    };
    const Case cases[] = {
        {0, 0, true, 5}, {0, 4, true, 6}, {0, 7, true, 6}, {2, 5, true, 9},
        {1, 3, false, 0},    // empty list: no modulo by zero
        {3, 3, false, 0},    // green without a list
        {255, 0, false, 0},  // the largest green value
    };
    for (const Case& c : cases) {
        int32_t out = -1;
        std::string error;
        EXPECT_EQ(LevelBlockMaterial(palette, c.green, c.draw, "Levels/x.ini", out, error), c.ok) << c.green;
        if (c.ok) {
            EXPECT_EQ(out, c.material);
        } else {
            EXPECT_NE(error.find("Levels/x.ini"), std::string::npos);
        }
    }
    int32_t out = -1;
    std::string error;
    EXPECT_FALSE(LevelBlockMaterial({}, 0, 0, "none.ini", out, error));
}
