// The AI settings: reading ai_settings.ini, validation where they are loaded
// and where the console sets them, and the shipped file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ai/AISettings.h"
#include "ini/IniFile.h"
#include "support/Harness.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

using AI::AISettings;

namespace {

AISettings LoadText(const std::string& text) {
    Utility::IniFile file;
    file.Parse(text);
    AISettings s;
    s.Load(file);
    return s;
}

class AISettingsTest : public ::testing::Test {
protected:
    AISettingsTest() {
        TestSupport::ResetSingletons();
        Utility::SetProblemSink([this](Utility::Severity, const std::string& m) { problems.push_back(m); });
    }
    ~AISettingsTest() override { TestSupport::ResetSingletons(); }
    std::vector<std::string> problems;
};

TEST_F(AISettingsTest, MissingFileGivesTheDefaults) {
    AISettings s;
    s.clearanceHeight = 7;
    s.LoadFile("Config/AI/no_such_file.ini");
    const AISettings d;
    EXPECT_EQ(s.clearanceHeight, 0);
    EXPECT_EQ(s.aStarTimeSlice, 0);
    EXPECT_FLOAT_EQ(s.climbPenalty, 1.732f);
    EXPECT_EQ(s.jumpHeight, 10);
    EXPECT_EQ(s.hashTableSize, 199);
    EXPECT_EQ(s.maxSearches, 3);
    EXPECT_FLOAT_EQ(s.botSight, 20.0f);
    EXPECT_EQ(s.attackDelayMin, 150);
    EXPECT_EQ(s.attackDelayMax, 500);
    EXPECT_EQ(s.maxSquadSize, 3);
    EXPECT_FALSE(s.disableBots);
    EXPECT_TRUE(problems.empty());
}

TEST_F(AISettingsTest, ValuesAreReadAsTheProfileReaderReadsThem) {
    const AISettings s = LoadText(
        "[A*]\nClimbPenalty = 2.5f\nOverestimate = abc\nJumpHeight = 12abc\nCatmullRom = 3\n"
        "[Bot]\nBotSpeed = 0.75\nDisableBots = 1\n[Debug]\nDrawSearch = 1\n[Team]\nOffenseQuota = 4\n"
        "[InfluenceMaps]\nInfluenceMax = 5.5f\n[Builder]\nBuilderTimeSlice = 9\n"
        "[bot]\nThrowDist = 99\n");
    EXPECT_FLOAT_EQ(s.climbPenalty, 2.5f);
    EXPECT_FLOAT_EQ(s.overestimate, 0.0f);  // text without a number reads 0.0
    EXPECT_EQ(s.jumpHeight, 12);
    EXPECT_TRUE(s.catmullRom);
    EXPECT_FLOAT_EQ(s.botSpeed, 0.75f);
    EXPECT_TRUE(s.disableBots);
    EXPECT_TRUE(s.drawSearch);
    EXPECT_EQ(s.offenseQuota, 4);
    EXPECT_FLOAT_EQ(s.influenceMax, 5.5f);
    EXPECT_EQ(s.builderTimeSlice, 9);
    EXPECT_FLOAT_EQ(s.throwDist, 15.0f);  // sections match case and all
}

struct ValidationCase {
    const char* name;
    const char* ini;
    int32_t AISettings::*field;
    int32_t expected;
};

class ValidationTest : public AISettingsTest, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(ValidationTest, OutOfRangeValuesAreCorrectedAndReported) {
    const ValidationCase& c = GetParam();
    const AISettings s = LoadText(c.ini);
    EXPECT_EQ(s.*c.field, c.expected);
    EXPECT_EQ(problems.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValidationTest,
    ::testing::Values(
        ValidationCase{"HashTableZero", "[A*]\nHashTableSize = 0\n", &AISettings::hashTableSize, 1},
        ValidationCase{"HashTableNegative", "[A*]\nHashTableSize = -20\n", &AISettings::hashTableSize, 1},
        ValidationCase{"MaxSearchesZero", "[A*]\nMaxSearches = 0\n", &AISettings::maxSearches, 1},
        ValidationCase{"TimeSliceNegative", "[A*]\nA*TimeSlice = -5\n", &AISettings::aStarTimeSlice, 0},
        ValidationCase{"ClearanceNegative", "[A*]\nClearanceHeight = -1\n", &AISettings::clearanceHeight, 0},
        ValidationCase{"JumpNegative", "[A*]\nJumpHeight = -3\n", &AISettings::jumpHeight, 0},
        ValidationCase{"DodgeMinAboveMax", "[Bot]\nDodgeDelayMin = 600\nDodgeDelayMax = 500\n",
                       &AISettings::dodgeDelayMax, 600},
        ValidationCase{"AttackMinAboveDefaultMax", "[Bot]\nAttackDelayMin = 900\n", &AISettings::attackDelayMax, 900},
        ValidationCase{"AttackMinNegative", "[Bot]\nAttackDelayMin = -10\n", &AISettings::attackDelayMin, 0},
        ValidationCase{"SquadTooLarge", "[Team]\nMaxSquadSize = 5\n", &AISettings::maxSquadSize, 3},
        ValidationCase{"SquadNegative", "[Team]\nMaxSquadSize = -1\n", &AISettings::maxSquadSize, 0},
        ValidationCase{"QuotaNegative", "[Team]\nDefenseQuota = -2\n", &AISettings::defenseQuota, 0}),
    [](const ::testing::TestParamInfo<ValidationCase>& i) { return std::string(i.param.name); });

TEST_F(AISettingsTest, EdgeValuesAreKept) {
    const AISettings s = LoadText(
        "[A*]\nHashTableSize = 1\nMaxSearches = 1\nA*TimeSlice = 0\n"
        "[Bot]\nDodgeDelayMin = 200\nDodgeDelayMax = 200\nAttackDelayMin = 0\nAttackDelayMax = 0\n"
        "[Team]\nMaxSquadSize = 3\n");
    EXPECT_EQ(s.hashTableSize, 1);
    EXPECT_EQ(s.maxSearches, 1);
    EXPECT_EQ(s.dodgeDelayMax, 200);
    EXPECT_EQ(s.attackDelayMax, 0);
    EXPECT_TRUE(problems.empty());
}

TEST_F(AISettingsTest, NonFiniteAndNegativeCostsFallBack) {
    const AISettings s = LoadText("[A*]\nHeuristicWeight = 1e999\nClimbPenalty = -2\n[Bot]\nBotSpeed = nan\n");
    EXPECT_FLOAT_EQ(s.heuristicWeight, 1.0f);
    EXPECT_FLOAT_EQ(s.climbPenalty, 0.0f);
    EXPECT_FLOAT_EQ(s.botSpeed, 1.0f);
    EXPECT_EQ(problems.size(), 3u);
}

TEST_F(AISettingsTest, ConsoleVariablesAreBoundAndValidated) {
    std::istringstream in;
    std::ostringstream out;
    Utility::Console::Create(true, in, out);
    AISettings s;
    int owner = 0;
    AI::RegisterConsoleVariables(s, &owner);

    std::vector<std::string> names;
    for (const auto& v : Utility::Console::Instance().Variables()) names.push_back(v.name);
    EXPECT_EQ(names, (std::vector<std::string>{"climbpenalty", "influenceradius", "botspeed", "heuristicweight",
                                               "overestimate", "influencemax", "astartimeslice", "clearanceheight",
                                               "smoothinglevel", "jumpheight", "catmullrom", "drawsearch", "drawpath",
                                               "obstacleavoidance", "drawinfluencemaps", "buildertimeslice",
                                               "timeout"}));

    Utility::Console::Execute("botspeed 2.5");
    EXPECT_FLOAT_EQ(s.botSpeed, 2.5f);
    Utility::Console::Execute("set drawsearch 1");
    EXPECT_TRUE(s.drawSearch);
    Utility::Console::Execute("astartimeslice 8");
    EXPECT_EQ(s.aStarTimeSlice, 8);
    EXPECT_TRUE(problems.empty());
    Utility::Console::Execute("astartimeslice -5");
    EXPECT_EQ(s.aStarTimeSlice, 0);
    Utility::Console::Execute("clearanceheight -1");
    EXPECT_EQ(s.clearanceHeight, 0);
    Utility::Console::Execute("climbpenalty -3");
    EXPECT_FLOAT_EQ(s.climbPenalty, 0.0f);
    EXPECT_EQ(problems.size(), 3u);

    AI::UnregisterConsoleVariables(&owner);
    EXPECT_TRUE(Utility::Console::Instance().Variables().empty());
    Utility::Console::Execute("botspeed 9");
    EXPECT_FLOAT_EQ(s.botSpeed, 2.5f);
}

TEST_F(AISettingsTest, ShippedFileIsWorkable) {
    AISettings s;
    s.LoadFile();  // the tests run in the game's data folder
    EXPECT_TRUE(problems.empty());
    EXPECT_GE(s.clearanceHeight, 1);
    EXPECT_GT(s.aStarTimeSlice, 0);
    EXPECT_GE(s.jumpHeight, s.clearanceHeight + 1);
    EXPECT_LE(s.maxSquadSize, AISettings::kMaxSquadSizeLimit);
    EXPECT_FALSE(s.disableBots);
    EXPECT_TRUE(s.Validate().empty());
}

}  // namespace
