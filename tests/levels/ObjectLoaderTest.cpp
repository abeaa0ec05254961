#include <gtest/gtest.h>

#include "Fixtures.h"
#include "levels/ObjectLoader.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

// An object index with a tower (code 10, two piece files), a plank (code 11,
// no palette choice) and a few broken definitions.
void WriteObjects(const LevelTest::TempDir& dir) {
    dir.Write("Objects/objects.ini",
              "[Objects]\n10 = tower.ini\n11 = plank.ini\n12 = badcolour.ini\n13 = nopieces.ini\n"
              "14 = badchoice.ini\n15 = missingpiece.ini\n16 = player.ini\n17 = flat.ini\n");
    dir.Write("Objects/colours.ini",
              "[CONFIG]\nnumColors = 2\n[grey]\n0 = 100\n1 = 101\n[red]\n0 = 200\n1 = 201\n");
    dir.Write("Objects/tower.ini",
              "[CONFIG]\npalette = colours.ini\npaletteChoice = 1\nActorType = solid\n"
              "[INFO]\nname = tower\n"
              "[base]\nfile = tower_base.ini\n[top]\nfile = tower_top.ini\n");
    dir.Write("Objects/tower_base.ini",
              "[a]\nposX = 0\nposY = 0\nposZ = 0\nscaleX = 2\nscaleY = 1\nscaleZ = 2\ncolor = 0\ntexture = -1\n"
              "[b]\nposX = 1\nposY = 1\nposZ = 0\nscaleX = 1\nscaleY = 3\nscaleZ = 1\ncolor = 1\ntexture = 4\n");
    dir.Write("Objects/tower_top.ini", "[a]\nposX = 0\nposY = 4\nposZ = 0\nscaleX = 2\nscaleY = 1\nscaleZ = 2\ncolor = 1\n");
    dir.Write("Objects/plank.ini", "[CONFIG]\npalette = colours.ini\n[INFO]\n[p]\nfile = plank_piece.ini\n");
    dir.Write("Objects/plank_piece.ini", "[a]\nscaleX = 4\ncolor = 0\n");
    dir.Write("Objects/badcolour.ini", "[CONFIG]\npalette = colours.ini\npaletteChoice = 0\n[INFO]\n[p]\nfile = bad_piece.ini\n");
    dir.Write("Objects/bad_piece.ini", "[ok]\ncolor = 1\n[bad]\ncolor = 2\n");
    dir.Write("Objects/nopieces.ini", "[CONFIG]\npalette = colours.ini\n[INFO]\n");
    dir.Write("Objects/badchoice.ini", "[CONFIG]\npalette = colours.ini\npaletteChoice = 2\n[INFO]\n[p]\nfile = plank_piece.ini\n");
    dir.Write("Objects/missingpiece.ini", "[CONFIG]\npalette = colours.ini\n[INFO]\n[p]\nfile = nowhere.ini\n");
    dir.Write("Objects/player.ini", "[CONFIG]\npalette = colours.ini\nActorType = character\n[INFO]\n[p]\nfile = plank_piece.ini\n");
    dir.Write("Objects/flat.ini", "[CONFIG]\npalette = colours.ini\n[INFO]\n[p]\nfile = flat_piece.ini\n");
    dir.Write("Objects/flat_piece.ini", "[a]\nscaleY = 0\n");
}

}  // namespace

TEST(ObjectLoader, PiecesArePlacedFromTheirMinimumCorner) {
    LevelTest::TempDir dir;
    WriteObjects(dir);
    ObjectLoader loader(dir.Path());
    ASSERT_TRUE(loader.IsIndexLoaded());
    std::vector<std::vector<PiecePlan>> pieces;
    // Anchor x 3, height 4, z -1.
    ASSERT_TRUE(loader.BuildObject(10, -1, 3, 4, pieces));
    ASSERT_EQ(pieces.size(), 2u);
    ASSERT_EQ(pieces[0].size(), 2u);
    ASSERT_EQ(pieces[1].size(), 1u);
    const PiecePlan& a = pieces[0][0];
    EXPECT_EQ(a.position, Vector3(4.0f, 4.5f, 0.0f));
    EXPECT_EQ(a.scale, Vector3(2, 1, 2));
    EXPECT_EQ(a.actorType, "solid");
    EXPECT_EQ(a.team, 1);
    EXPECT_EQ(a.materialId, 200);  // palette choice 1, colour 0
    EXPECT_EQ(a.textureId, -1);
    const PiecePlan& b = pieces[0][1];
    EXPECT_EQ(b.position, Vector3(4.5f, 6.5f, -0.5f));
    EXPECT_EQ(b.materialId, 201);
    EXPECT_EQ(b.textureId, 4);
    EXPECT_EQ(pieces[1][0].position, Vector3(4.0f, 8.5f, 0.0f));
}

TEST(ObjectLoader, PaletteChoiceCarriesOverAndTypeDefaultsToMassless) {
    LevelTest::TempDir dir;
    WriteObjects(dir);
    ObjectLoader loader(dir.Path());
    std::vector<std::vector<PiecePlan>> pieces;
    ASSERT_TRUE(loader.BuildObject(11, 0, 0, 0, pieces));
    EXPECT_EQ(pieces[0][0].materialId, 100) << "no choice yet: list 0";
    EXPECT_EQ(pieces[0][0].actorType, "massless_box");
    // Missing keys default: position 0, scale 1.
    EXPECT_EQ(pieces[0][0].scale, Vector3(4, 1, 1));
    EXPECT_EQ(pieces[0][0].position, Vector3(2.0f, 0.5f, 0.5f));
    ASSERT_TRUE(loader.BuildObject(10, 0, 0, 0, pieces));
    ASSERT_TRUE(loader.BuildObject(11, 0, 0, 0, pieces));
    EXPECT_EQ(pieces[0][0].materialId, 200) << "the tower's choice 1 stays";
    EXPECT_EQ(loader.PaletteChoice(), 1);
}

TEST(ObjectLoader, BrokenRequestsPlaceNothing) {
    LevelTest::TempDir dir;
    WriteObjects(dir);
    struct Case {
        int code;
        const char* reason;
    };
    const Case cases[] = {
        {99, "no entry"},
        {12, "past the end"},   // colour 2 of a two-colour list
        {13, "no piece"},
        {14, "no colour list 2"},
        {15, "nowhere.ini"},
        {16, "not a block type"},
        {17, "scale"},
    };
    for (const Case& c : cases) {
        LevelTest::ProblemCapture problems;
        ObjectLoader loader(dir.Path());
        std::vector<std::vector<PiecePlan>> pieces(1);
        EXPECT_FALSE(loader.BuildObject(c.code, 0, 0, 0, pieces)) << c.code;
        EXPECT_TRUE(pieces.empty()) << c.code;
        EXPECT_TRUE(problems.ErrorMentions(c.reason)) << c.code << ": " << (problems.errors.empty() ? "" : problems.errors[0]);
        EXPECT_TRUE(problems.ErrorMentions("level object " + std::to_string(c.code))) << c.code;
    }
}

TEST(ObjectLoader, MissingIndexIsReported) {
    LevelTest::TempDir dir;
    LevelTest::ProblemCapture problems;
    ObjectLoader loader(dir.Path());
    EXPECT_FALSE(loader.IsIndexLoaded());
    EXPECT_TRUE(problems.errors.empty());
    std::vector<std::vector<PiecePlan>> pieces;
    EXPECT_FALSE(loader.BuildObject(10, 0, 0, 0, pieces));
    EXPECT_TRUE(problems.ErrorMentions("objects.ini"));
}
