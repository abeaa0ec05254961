#include <gtest/gtest.h>

#include "Fixtures.h"
#include "ini/IniFile.h"
#include "levels/LevelFiles.h"
#include "levels/LevelSource.h"

using namespace GameLogicView;

TEST(LevelFiles, SettingsAreReadAndOutOfRangeValuesClamped) {
    LevelTest::TempDir dir;
    const std::string good = dir.Write("good.ini",
                                       "[level]\ngroundPlaneScale = 2.5\nteamsize = 3\nBmpFile = a.bmp\n"
                                       "palette = p.ini\nSpawnType = solid\nSpawnAllBlocks = 0\nwWeight = 0.25\n"
                                       "hWeight = 0.75\nzWeight = 1\ncapWidth = 2\ncapHeight = 5\ncapZ = 7\n"
                                       "RandomSeed = 99\n");
    LevelTest::ProblemCapture problems;
    LevelSettings s;
    ASSERT_TRUE(ReadLevelSettings(good, s));
    EXPECT_TRUE(problems.warnings.empty());
    EXPECT_FLOAT_EQ(s.groundPlaneScale, 2.5f);
    EXPECT_EQ(s.teamsize, 3);
    EXPECT_EQ(s.bmpFile, "a.bmp");
    EXPECT_EQ(s.palette, "p.ini");
    EXPECT_EQ(s.spawnType, "solid");
    EXPECT_FALSE(s.spawnAllBlocks);
    EXPECT_FLOAT_EQ(s.shaping.wWeight, 0.25f);
    EXPECT_FLOAT_EQ(s.shaping.hWeight, 0.75f);
    EXPECT_FLOAT_EQ(s.shaping.zWeight, 1.0f);
    EXPECT_EQ(s.shaping.capWidth, 2);
    EXPECT_EQ(s.shaping.capHeight, 5);
    EXPECT_EQ(s.shaping.capZ, 7);
    EXPECT_EQ(s.randomSeed, 99);

    // Caps of 0 would make empty boxes; a weight of 3 is no bias; a player
    // type is no block type: each is reported and fixed.
    const std::string bad = dir.Write("bad.ini",
                                      "[level]\ngroundPlaneScale = -1\nteamsize = 0\nSpawnType = character\n"
                                      "wWeight = 3\ncapWidth = 0\ncapHeight = -4\ncapZ = 1000\n");
    problems.warnings.clear();
    ASSERT_TRUE(ReadLevelSettings(bad, s));
    EXPECT_GT(s.groundPlaneScale, 0.0f);
    EXPECT_EQ(s.teamsize, 1);
    EXPECT_EQ(s.spawnType, "box");
    EXPECT_FLOAT_EQ(s.shaping.wWeight, 1.0f);
    EXPECT_EQ(s.shaping.capWidth, 1);
    EXPECT_EQ(s.shaping.capHeight, 1);
    EXPECT_EQ(s.shaping.capZ, 255);
    EXPECT_FALSE(problems.warnings.empty());
    // The missing keys keep their defaults.
    EXPECT_FLOAT_EQ(s.shaping.hWeight, LevelSettings().shaping.hWeight);

    problems.errors.clear();
    LevelSettings untouched;
    untouched.teamsize = 11;
    EXPECT_FALSE(ReadLevelSettings(dir.Path() + "none.ini", untouched));
    EXPECT_EQ(untouched.teamsize, 11);
    EXPECT_TRUE(problems.ErrorMentions("none.ini"));
    // A ground beyond the bots' grid is held to its edge, the file named.
    problems.warnings.clear();
    const std::string huge = dir.Write("huge.ini", "[level]\ngroundPlaneScale = 1000\nBmpFile = a.bmp\n");
    LevelSettings h;
    ReadLevelSettings(huge, h);
    EXPECT_FLOAT_EQ(h.groundPlaneScale, LevelSettings::kMaxGroundPlaneScale);
    int named = 0;
    for (const std::string& w : problems.warnings)
        named += w.find("huge.ini: [level] groundPlaneScale = 1000 is out of range 0.01..25; using 25") !=
                 std::string::npos;
    EXPECT_EQ(named, 1);
}

TEST(LevelFiles, LevelListSectionsTakeAnyNumberOfDigits) {
    LevelTest::TempDir dir;
    const Utility::IniFile list(
        dir.Write("levels.ini", "[level0]\nfile = a.ini\n[level3]\nfile = d.ini\n[level12]\nfile = m.ini\n"));
    EXPECT_EQ(LevelFileFor(list, 0), "a.ini");
    EXPECT_EQ(LevelFileFor(list, 3), "d.ini");
    EXPECT_EQ(LevelFileFor(list, 12), "m.ini");
    EXPECT_EQ(LevelFileFor(list, 1), "");
}

TEST(LevelSource, GridsBecomeTheBitmapChannels) {
    const std::string text =
        "# a test level\n"
        "output Levels/t.bmp   # where\n"
        "legend F 153\nlegend s 151\n"
        "heights\n.1z\nA9.\n"
        "teams\n.12\n2..\n"
        "objects\nF..\n..s\n";
    LevelSource src;
    std::string error;
    ASSERT_TRUE(ParseLevelSource(text, "t.txt", src, error)) << error;
    EXPECT_EQ(src.output, "Levels/t.bmp");
    ASSERT_EQ(src.image.width, 3);
    ASSERT_EQ(src.image.height, 2);
    EXPECT_EQ(src.image.Blue(0, 1), 1);
    EXPECT_EQ(src.image.Blue(0, 2), 35);
    EXPECT_EQ(src.image.Blue(1, 0), 36);
    EXPECT_EQ(src.image.Green(0, 2), 2);
    EXPECT_EQ(src.image.Green(1, 0), 2);
    EXPECT_EQ(src.image.Red(0, 0), 153);
    EXPECT_EQ(src.image.Red(1, 2), 151);
    EXPECT_EQ(src.image.Red(1, 1), 0);
}

TEST(LevelSource, MistakesAreNamed) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"heights\n.\nteams\n.\nobjects\n.\n", "no output"},
        {"output a.bmp\nteams\n.\nobjects\n.\n", "no heights"},
        {"output a.bmp\nheights\n..\n.\nteams\n..\n..\nobjects\n..\n..\n", "wide"},
        {"output a.bmp\nheights\n..\nteams\n..\n..\nobjects\n..\n", "rows"},
        {"output a.bmp\nheights\n.?\nteams\n..\nobjects\n..\n", "not a height"},
        {"output a.bmp\nheights\n..\nteams\n.x\nobjects\n..\n", "not a digit"},
        {"output a.bmp\nheights\n..\nteams\n..\nobjects\n.Q\n", "not in the legend"},
        {"output a.bmp\nlegend Q 300\n", "legend"},
        {"output a.bmp\nstray words\n", "unexpected"},
        {"output a.bmp\nheights\n. .\n", "blanks"},
    };
    for (const Case& c : cases) {
        LevelSource src;
        std::string error;
        EXPECT_FALSE(ParseLevelSource(c.text, "bad.txt", src, error)) << c.text;
        EXPECT_NE(error.find("bad.txt"), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.reason << " / " << error;
    }
}
