#include <gtest/gtest.h>

#include <cmath>

#include "Fixtures.h"
#include "levels/Bitmap.h"
#include "levels/LevelLoader.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

struct Pixel {
    uint8_t blue, green, red;
};

std::vector<uint8_t> BitmapOf(int width, int height, const std::vector<Pixel>& pixels) {
    Bitmap24 b;
    b.width = width;
    b.height = height;
    for (const Pixel& p : pixels) b.bgr.insert(b.bgr.end(), {p.blue, p.green, p.red});
    return EncodeBitmap24(b);
}

// A level file in dir whose paths are relative to dir (the loader's root).
std::string WriteLevel(const LevelTest::TempDir& dir, const std::string& extra = "", int seed = 7,
                       const std::string& caps = "capWidth = 1\ncapHeight = 1\ncapZ = 5\n") {
    dir.Write("level.ini", "[level]\ngroundPlaneScale = 3\nteamsize = 2\nBmpFile = level.bmp\n"
                           "palette = palette.ini\nSpawnType = massless_box\n" + extra +
                               "SpawnAllBlocks = 1\nwWeight = 0.5\nhWeight = 0.5\nzWeight = 0.5\n" + caps +
                               "RandomSeed = " + std::to_string(seed) + "\n");
    return "level.ini";
}

class LevelLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { LevelLoader::ResetMaterialGenerator(); }
    void TearDown() override { LevelLoader::ResetMaterialGenerator(); }
    LevelTest::TempDir dir;
};

}  // namespace

TEST_F(LevelLoaderTest, OneTeamZeroColumnStacksFromTheGround) {
    dir.WriteBytes("level.bmp", BitmapOf(1, 1, {{3, 1, 0}}));
    dir.Write("palette.ini", "[0]\n0 = 50\n[1]\n0 = 10\n1 = 11\n");
    const std::string level = WriteLevel(dir);
    LevelLoader loader(level, dir.Path());
    LevelPlan plan;
    ASSERT_TRUE(loader.Plan(false, plan));
    ASSERT_FALSE(plan.blocks.empty());
    EXPECT_EQ(plan.width, 1);
    EXPECT_EQ(plan.maxHeight, 3);
    float top = 0.0f;
    for (const PlannedBlock& b : plan.blocks) {
        EXPECT_EQ(b.team, 0);
        EXPECT_FLOAT_EQ(b.position.y - b.scale.y / 2, top);
        EXPECT_EQ(b.position.x, 0.5f);
        EXPECT_EQ(b.position.z, 0.5f);
        EXPECT_TRUE(b.materialId == 10 || b.materialId == 11) << b.materialId;
        top += b.scale.y;
    }
    EXPECT_FLOAT_EQ(top, 3.0f);
    EXPECT_TRUE(plan.objects.empty());
}

TEST_F(LevelLoaderTest, SameSeedSameBoxesAndTheMaterialChoiceRunsOn) {
    std::vector<Pixel> px;
    for (int i = 0; i < 36; ++i) px.push_back({static_cast<uint8_t>(1 + i % 4), static_cast<uint8_t>(i % 3), 0});
    dir.WriteBytes("level.bmp", BitmapOf(6, 6, px));
    dir.Write("palette.ini", "[0]\n0 = 1\n1 = 2\n2 = 3\n[1]\n0 = 4\n1 = 5\n[2]\n0 = 6\n1 = 7\n2 = 8\n");
    const std::string caps = "capWidth = 3\ncapHeight = 3\ncapZ = 3\n";
    LevelPlan a, b, c;
    {
        LevelLoader loader(WriteLevel(dir, "", 7, caps), dir.Path());
        ASSERT_TRUE(loader.Plan(false, a));
    }
    {
        LevelLoader loader(WriteLevel(dir, "", 7, caps), dir.Path());
        ASSERT_TRUE(loader.Plan(false, b));
    }
    {
        LevelLoader loader(WriteLevel(dir, "", 8, caps), dir.Path());
        ASSERT_TRUE(loader.Plan(false, c));
    }
    ASSERT_EQ(a.blocks.size(), b.blocks.size());
    bool materialsDiffer = false;
    for (size_t i = 0; i < a.blocks.size(); ++i) {
        EXPECT_EQ(a.blocks[i].position, b.blocks[i].position);
        EXPECT_EQ(a.blocks[i].scale, b.blocks[i].scale);
        materialsDiffer = materialsDiffer || a.blocks[i].materialId != b.blocks[i].materialId;
    }
    EXPECT_TRUE(materialsDiffer) << "the material generator is process-wide and continues across loads";
    bool boxesDiffer = a.blocks.size() != c.blocks.size();
    for (size_t i = 0; !boxesDiffer && i < a.blocks.size(); ++i) boxesDiffer = a.blocks[i].scale != c.blocks[i].scale;
    EXPECT_TRUE(boxesDiffer) << "another RandomSeed cuts the columns differently";
}

// Green values from the bitmap are range-checked against the palette: no
// list, an empty list, or no palette at all is an error naming the palette,
// the blocks are still built (without a material override), and nothing
// divides by an empty list's length.
TEST_F(LevelLoaderTest, GreenValuesOutsideThePaletteAreReported) {
    dir.WriteBytes("level.bmp", BitmapOf(3, 1, {{1, 0, 0}, {1, 1, 0}, {1, 9, 0}}));
    struct Case {
        const char* palette;  // nullptr: no palette file
        std::vector<int32_t> materials;
        std::vector<const char*> reasons;
    };
    const Case cases[] = {
        {"[0]\n0 = 4\n[1]\n", {4, -1, -1}, {"colour list 1 is empty", "no colour list 9"}},
        {"[0]\n0 = 4\n[1]\n0 = 5\n", {4, 5, -1}, {"no colour list 9"}},
        {nullptr, {-1, -1, -1}, {"cannot be read"}},
    };
    for (const Case& c : cases) {
        std::remove((dir.Path() + "palette.ini").c_str());
        if (c.palette) dir.Write("palette.ini", c.palette);
        LevelTest::ProblemCapture problems;
        LevelLoader loader(WriteLevel(dir), dir.Path());
        LevelPlan plan;
        ASSERT_TRUE(loader.Plan(false, plan));
        ASSERT_EQ(plan.blocks.size(), 3u);
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(plan.blocks[i].materialId, c.materials[i]) << i;
        for (const char* reason : c.reasons) EXPECT_TRUE(problems.ErrorMentions(reason)) << reason;
        for (const auto& e : problems.errors) EXPECT_NE(e.find("palette.ini"), std::string::npos) << e;
    }
}

TEST_F(LevelLoaderTest, AnUnreadableBitmapPlansNothing) {
    dir.Write("palette.ini", "[0]\n0 = 4\n");
    struct Case {
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    std::vector<uint8_t> eightBit = BitmapOf(2, 2, std::vector<Pixel>(4, {1, 0, 0}));
    eightBit[28] = 8;
    std::vector<uint8_t> truncated = BitmapOf(20, 20, std::vector<Pixel>(400, {1, 0, 0}));
    truncated.resize(200);
    const Case cases[] = {{{}, "cannot be opened"}, {eightBit, "8 bits per pixel"}, {truncated, "truncated"}};
    for (const Case& c : cases) {
        std::remove((dir.Path() + "level.bmp").c_str());
        if (!c.bytes.empty()) dir.WriteBytes("level.bmp", c.bytes);
        LevelTest::ProblemCapture problems;
        LevelLoader loader(WriteLevel(dir), dir.Path());
        LevelPlan plan;
        plan.width = 99;
        EXPECT_FALSE(loader.Plan(false, plan)) << c.reason;
        EXPECT_EQ(plan.width, 99);
        EXPECT_TRUE(problems.ErrorMentions(c.reason)) << c.reason;
        EXPECT_TRUE(problems.ErrorMentions("level.bmp")) << c.reason;
    }
}

TEST_F(LevelLoaderTest, SingleBlocksTakeTheirMaterialFromTheGreenValue) {
    dir.WriteBytes("level.bmp", BitmapOf(3, 1, {{2, 0, 0}, {0, 1, 0}, {5, 7, 0}}));
    dir.Write("palette.ini", "");
    // The first of two keys is read, so this SpawnAllBlocks wins.
    LevelLoader single(WriteLevel(dir, "SpawnAllBlocks = 0\n"), dir.Path());
    LevelPlan plan;
    ASSERT_TRUE(single.Plan(false, plan));
    ASSERT_EQ(plan.blocks.size(), 2u);
    EXPECT_EQ(plan.blocks[0].position, Vector3(-1.0f + 0.5f, 2.5f, 0.5f));
    EXPECT_EQ(plan.blocks[0].materialId, LevelLoader::kSingleBlockMaterials[0]);
    EXPECT_EQ(plan.blocks[1].materialId, LevelLoader::kSingleBlockMaterials[1]);  // green 7
    EXPECT_EQ(plan.blocks[1].team, 255);
}

TEST_F(LevelLoaderTest, CellObjectsAndSandbox) {
    dir.WriteBytes("level.bmp", BitmapOf(4, 1, {{0, 0, 50}, {2, 0, 151}, {0, 0, 153}, {0, 0, 10}}));
    dir.Write("palette.ini", "[0]\n0 = 4\n");
    dir.Write("Objects/objects.ini", "[Objects]\n10 = post.ini\n50 = post.ini\n");
    dir.Write("Objects/post.ini", "[CONFIG]\npalette = pal.ini\n[INFO]\n[p]\nfile = post_piece.ini\n");
    dir.Write("Objects/pal.ini", "[CONFIG]\nnumColors = 1\n[a]\n0 = 77\n");
    dir.Write("Objects/post_piece.ini", "[a]\nscaleY = 2\n");
    LevelPlan plan;
    {
        LevelLoader loader(WriteLevel(dir), dir.Path());
        ASSERT_TRUE(loader.Plan(false, plan));
    }
    using Kind = CellObject::Kind;
    ASSERT_EQ(plan.objects.size(), 5u);
    EXPECT_EQ(plan.objects[0].cell.kind, Kind::CapturePoint);
    EXPECT_EQ(plan.objects[0].cell.position, Vector3(-2, 3, 0));
    EXPECT_EQ(plan.objects[1].cell.kind, Kind::LevelObject);
    ASSERT_EQ(plan.objects[1].pieces.size(), 1u);
    EXPECT_EQ(plan.objects[1].pieces[0][0].position, Vector3(-1.5f, 1.0f, 0.5f));
    EXPECT_EQ(plan.objects[1].pieces[0][0].materialId, 77);
    EXPECT_EQ(plan.objects[2].cell.kind, Kind::SpawnPoint);
    EXPECT_NEAR(plan.objects[2].cell.position.y, 3.52f, 1e-5);
    EXPECT_EQ(plan.objects[3].cell.kind, Kind::Flag);
    EXPECT_EQ(plan.objects[4].cell.kind, Kind::LevelObject);
    EXPECT_EQ(plan.objects[4].pieces[0][0].position, Vector3(1.5f, 1.0f, 0.5f));

    LevelLoader sandbox(WriteLevel(dir), dir.Path());
    ASSERT_TRUE(sandbox.Plan(true, plan));
    ASSERT_EQ(plan.objects.size(), 2u);
    EXPECT_EQ(plan.objects[0].cell.kind, Kind::SpawnPoint);
    EXPECT_EQ(plan.objects[1].cell.code, 10);
}

#include "levels/LevelTarget.h"

namespace {

// Records what a level build asks for, in order.
struct RecordingTarget : LevelTarget {
    std::vector<std::string> calls;
    std::vector<LevelActor> actors;      // CreateActor, in order
    std::vector<std::vector<LevelActor>> lists;
    std::vector<std::pair<Vector3, int>> points;

    void CreateActor(const LevelActor& info) override {
        calls.push_back("actor " + info.type);
        actors.push_back(info);
    }
    void CreateActorsFromList(const std::vector<LevelActor>& infos) override {
        calls.push_back("list " + std::to_string(infos.size()));
        lists.push_back(infos);
    }
    void AddCapturePoint(const Vector3& p, uint8_t team) override {
        calls.push_back("capture " + std::to_string(team));
        points.push_back({p, team});
    }
    void AddSpawnPoint(uint8_t team, const Vector3& p) override {
        calls.push_back("spawn " + std::to_string(team));
        points.push_back({p, team});
    }
    void AddBombSpawnPoint(int code, const Vector3& p) override {
        calls.push_back("bombs " + std::to_string(code));
        points.push_back({p, code});
    }
    void AddGuardPoint(uint8_t team, const Vector3& p) override {
        calls.push_back("guard " + std::to_string(team));
        points.push_back({p, team});
    }
};

}  // namespace

TEST_F(LevelLoaderTest, BuildCreatesBlocksThenCellObjectsInOrder) {
    // Row 0: a 1-high team-0 column with a capture point on it, a spawn
    // point, a Demon flag; row 1: a bomb spawner, a guard point, a level
    // object with two piece files.
    dir.WriteBytes("level.bmp", BitmapOf(3, 2, {{1, 1, 50}, {0, 0, 152}, {0, 0, 154},
                                                {0, 0, 158}, {0, 0, 161}, {0, 0, 20}}));
    dir.Write("palette.ini", "[0]\n0 = 4\n[1]\n0 = 8\n");
    dir.Write("Objects/objects.ini", "[Objects]\n20 = thing.ini\n50 = thing.ini\n");
    dir.Write("Objects/thing.ini",
              "[CONFIG]\npalette = pal.ini\nActorType = solid\n[INFO]\n[a]\nfile = one.ini\n[b]\nfile = two.ini\n");
    dir.Write("Objects/pal.ini", "[CONFIG]\nnumColors = 1\n[a]\n0 = 77\n");
    dir.Write("Objects/one.ini", "[x]\ntexture = 12\n");
    dir.Write("Objects/two.ini", "[x]\nposY = 1\n[y]\nposY = 2\n");
    LevelLoader loader(WriteLevel(dir), dir.Path());
    RecordingTarget target;
    ASSERT_TRUE(loader.Load(false, target));

    const std::vector<std::string> expected = {
        "actor massless_box", "capture 0", "list 1", "list 2", "spawn 1", "actor flag",
        "bombs 158",          "guard 0",   "list 1", "list 2"};
    EXPECT_EQ(target.calls, expected);

    const LevelActor& block = target.actors[0];
    EXPECT_EQ(block.type, "massless_box");
    EXPECT_EQ(block.team, 0);
    EXPECT_EQ(block.objectStateId, 0);
    EXPECT_EQ(block.materialId, 8);
    EXPECT_EQ(block.textureId, -1);
    EXPECT_EQ(block.position, Vector3(-0.5f, 0.5f, -0.5f));

    const LevelActor& flag = target.actors[1];
    EXPECT_EQ(flag.type, "flag");
    EXPECT_EQ(flag.team, 1);
    EXPECT_EQ(flag.objectStateId, 23);
    EXPECT_EQ(flag.scale, Vector3(3, 3, 3));
    EXPECT_EQ(flag.position, Vector3(2.5f, 1.5f, 0.5f));

    const LevelActor& piece = target.lists[0][0];
    EXPECT_EQ(piece.type, "solid");
    EXPECT_EQ(piece.team, 1);
    EXPECT_EQ(piece.materialId, 77);
    EXPECT_EQ(piece.textureId, 12);
    EXPECT_EQ(piece.position, Vector3(-0.5f, 1.5f, -0.5f));  // on top of the column
    EXPECT_EQ(target.lists[1][1].textureId, -1);

    EXPECT_EQ(target.points[0].first, Vector3(-1, 4, -1));     // capture: h + 3
    EXPECT_NEAR(target.points[1].first.y, 1.52f, 1e-5);        // spawn: h + 1.52
    EXPECT_EQ(target.points[2].first, Vector3(-1, 3, 0));      // bombs: h + 3
    EXPECT_EQ(target.points[3].first, Vector3(0, 0, 0));       // guard: h

    // A level whose bitmap is gone creates nothing.
    std::remove((dir.Path() + "level.bmp").c_str());
    LevelTest::ProblemCapture problems;
    RecordingTarget none;
    LevelLoader missing(WriteLevel(dir), dir.Path());
    EXPECT_FALSE(missing.Load(false, none));
    EXPECT_TRUE(none.calls.empty());
}

// One row a level: what its bitmap holds, whether it can be planned, what is
// kept of its flags and spawn points, the one message (naming the bitmap) and
// why no match could be played on it.
TEST_F(LevelLoaderTest, LimitsAreCheckedWhenALevelIsPlanned) {
    const auto row = [](std::initializer_list<uint8_t> reds, int extraFlags0, int extraSpawns1) {
        std::vector<Pixel> p;
        for (uint8_t red : reds) p.push_back({0, 0, red});
        p.insert(p.end(), static_cast<size_t>(extraFlags0), Pixel{0, 0, 153});
        p.insert(p.end(), static_cast<size_t>(extraSpawns1), Pixel{0, 0, 152});
        return p;
    };
    struct Case {
        const char* name;
        int width, height;
        std::vector<Pixel> pixels;  // empty: every pixel a column of 1
        bool planned;
        int flags, spawns;
        const char* message;     // in the one error or warning ("" none)
        const char* unplayable;  // in Unplayable ("" playable)
    };
    const std::vector<Case> cases = {
        {"playable", 4, 1, row({151, 152, 153, 154}, 0, 0), true, 2, 2, "", ""},
        {"wider than the bots' grid", 501, 1, std::vector<Pixel>(501, Pixel{0, 0, 0}), false, 0, 0,
         "is 501 x 1 cells, more than the bots' grid holds (500 x 500)", ""},
        {"more flags than a team may have", 20, 1, row({151, 152, 154}, 17, 0), true, 17, 2,
         "more flags than the 16 a team may have; 1 left out", ""},
        {"more spawn points than a team may have", 68, 1, row({151, 153, 154}, 0, 65), true, 2, 65,
         "more spawn points than the 64 a team may have; 1 left out", ""},
        {"no flag", 2, 1, row({151, 152}, 0, 0), true, 0, 2, "", "places no flag"},
        {"a team without a spawn point", 3, 1, row({151, 153, 154}, 0, 0), true, 2, 1, "",
         "places no spawn point for team 1"},
        {"more actors than a level may make", 201, 100, {}, false, 0, 0,
         "makes at least 20100 actors (blocks, flags and object boxes), more than the 20000", ""},
    };
    dir.Write("palette.ini", "[0]\n0 = 4\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Pixel> pixels =
            c.pixels.empty() ? std::vector<Pixel>(static_cast<size_t>(c.width * c.height), Pixel{1, 0, 0}) : c.pixels;
        dir.WriteBytes("level.bmp", BitmapOf(c.width, c.height, pixels));
        LevelTest::ProblemCapture problems;
        LevelLoader loader(WriteLevel(dir, "SpawnAllBlocks = 0\n"), dir.Path());
        LevelPlan plan;
        ASSERT_EQ(loader.Plan(false, plan), c.planned);
        std::vector<std::string> all = problems.errors;
        all.insert(all.end(), problems.warnings.begin(), problems.warnings.end());
        if (*c.message) {
            ASSERT_EQ(all.size(), 1u) << "one message, not one per cell";
            EXPECT_NE(all[0].find(c.message), std::string::npos) << all[0];
            EXPECT_NE(all[0].find("level.bmp"), std::string::npos) << all[0];
        } else {
            EXPECT_TRUE(all.empty()) << all[0];
        }
        if (!c.planned) continue;
        int flags = 0, spawns = 0;
        for (const PlannedObject& o : plan.objects) {
            flags += o.cell.kind == CellObject::Kind::Flag;
            spawns += o.cell.kind == CellObject::Kind::SpawnPoint;
        }
        EXPECT_EQ(flags, c.flags);
        EXPECT_EQ(spawns, c.spawns);
        const std::string why = loader.Unplayable(plan);
        if (*c.unplayable) {
            EXPECT_NE(why.find(c.unplayable), std::string::npos) << why;
            EXPECT_NE(why.find("level.ini"), std::string::npos) << why;
        } else {
            EXPECT_EQ(why, "");
        }
    }
}
