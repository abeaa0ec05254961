// The rules' tuning is read once, and values that would break a rule (a pouch
// larger than the joining machines' snapshot, non-finite numbers) are clamped
// where they are loaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "gamelogic/LogicSettings.h"
#include "support/Harness.h"
#include "support/TempPath.h"

using GameLogicView::LogicSettings;

namespace {

std::string WriteConfig(const std::string& text) {
    const std::string name = TestSupport::TempPath("logic-settings.ini");
    std::ofstream(name) << text;
    return name;
}

TEST(LogicSettingsTest, ReadsTheKeysAndKeepsDefaultsForMissingOnes) {
    const std::string file = WriteConfig(
        "[LOGIC]\nPouchSize = 7\nThrowAngle = 90\nJumpSpeed = 11.5\n[BlockPicker]\nDistance = 4\n"
        "LockTimeAfterPickup = 40\n[Bombs]\n158 = 15\nMaxBombs = 2\n");
    const LogicSettings s = LogicSettings::Load(file);
    std::remove(file.c_str());
    EXPECT_EQ(s.pouchSize, 7u);
    EXPECT_NEAR(s.throwAngle, 3.1415927f / 2.0f, 1e-6f) << "degrees in the file, radians in use";
    EXPECT_EQ(s.jumpSpeed, 11.5f);
    EXPECT_EQ(s.pickerDistance, 4.0f);
    EXPECT_EQ(s.lockTimeAfterPickup, 40u);
    EXPECT_EQ(s.BombSpawnTime(158), 15);
    EXPECT_EQ(s.BombSpawnTime(157), 10);
    EXPECT_EQ(s.maxBombs, 2);
    EXPECT_EQ(s.spawnInPouch, 10) << "missing: the default";
    EXPECT_EQ(s.lockTimeAfterThrow, 16u);
}

TEST(LogicSettingsTest, ClampsWhatTheRulesCannotWorkWith) {
    TestSupport::ResetSingletons();
    const std::string file = WriteConfig(
        "[LOGIC]\nPouchSize = 40\nSpawnInPouch = 100\nThrowSpeed = nan\nJumpSpeed = inf\n"
        "JumpYSpeedLessThanZeroDivisor = 0\n");
    const LogicSettings s = LogicSettings::Load(file);
    std::remove(file.c_str());
    EXPECT_EQ(s.pouchSize, LogicSettings::kMaxPouchSize) << "the snapshot has room for 16 pouch blocks";
    EXPECT_EQ(s.spawnInPouch, 16) << "every start block passes through the pouch";
    EXPECT_EQ(s.throwSpeed, 55.0f);
    EXPECT_EQ(s.jumpSpeed, 8.0f);
    EXPECT_EQ(s.jumpYSpeedLessThanZeroDivisor, 0.0f) << "a zero divisor is kept: the rule skips the division";

    LogicSettings set;
    set.pouchSize = 1000;
    GameLogicView::SetLogicSettings(set);
    EXPECT_EQ(GameLogicView::GetLogicSettings().pouchSize, LogicSettings::kMaxPouchSize);
    TestSupport::ResetSingletons();
    EXPECT_EQ(GameLogicView::GetLogicSettings().pouchSize, 5u) << "back to the shipped file";
}

}  // namespace
