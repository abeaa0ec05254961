// The object-state record (merge, byte form) and the logic's object-state
// table and model extents read from their marker-section files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "events/ByteStream.h"
#include "events/types/ObjectState.h"
#include "gamelogic/ObjectStateTable.h"
#include "utility/Diagnostics.h"

using GameLogicView::ObjectState;
using GameLogicView::ObjectStateTable;
using Geometry::Vector3;

namespace {

ObjectState Record(int32_t id, int32_t flags, int32_t model, int32_t material, int32_t effect, int32_t texture,
                   int32_t technique, float alpha) {
    ObjectState s(id);
    s.flags = flags;
    s.modelId = model;
    s.materialId = material;
    s.effectId = effect;
    s.textureId = texture;
    s.techniqueId = technique;
    s.alpha = alpha;
    return s;
}

// ---- the record ------------------------------------------------------------------
TEST(ObjectStateRecord, UnsetIsZeroIdAndFlagsMinusOneElsewhere) {
    EXPECT_EQ(ObjectState(), Record(0, 0, -1, -1, -1, -1, -1, -1.0f));
}

TEST(ObjectStateRecord, MergeFillsOnlyUnsetFieldsAndOrsTheFlags) {
    ObjectState mine = Record(1, 2, -1, 5, -1, -1, 6, -1.0f);
    mine.MergeDefaults(Record(9, 4, 7, 8, 10, 11, 12, 0.5f));
    EXPECT_EQ(mine, Record(1, 6, 7, 5, 10, 11, 6, 0.5f));

    // An alpha set to something else than exactly -1 stays, even 0.
    ObjectState clear = Record(1, 0, -1, -1, -1, -1, -1, 0.0f);
    clear.MergeDefaults(Record(2, 0, 1, 1, 1, 1, 1, 0.5f));
    EXPECT_EQ(clear.alpha, 0.0f);
}

TEST(ObjectStateRecord, WritesEightWordsStateTechniqueModelMaterialEffectTextureAlphaFlags) {
    const ObjectState s = Record(1, 2, 3, 4, 5, 6, 7, 1.0f);
    uint8_t buf[32];
    EventSystem::ByteWriter w(buf, sizeof buf);
    s.Serialize(w);
    ASSERT_FALSE(w.HasOverflowed());
    ASSERT_EQ(w.GetSize(), 32u);
    const uint8_t expected[32] = {1, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0,    0,
                                  5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0x80, 0x3F, 2, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(buf, expected, 32));

    ObjectState back;
    EventSystem::ByteReader r(buf, 32);
    back.Deserialize(r);
    EXPECT_FALSE(r.HasFailed());
    EXPECT_EQ(back, s);
}

TEST(ObjectStateRecord, ThirtyBytesOfRoomTakeSevenWordsAndOverflow) {
    uint8_t buf[30];
    EventSystem::ByteWriter w(buf, sizeof buf);
    Record(1, 2, 3, 4, 5, 6, 7, 1.0f).Serialize(w);
    EXPECT_TRUE(w.HasOverflowed());
    EXPECT_EQ(w.GetSize(), 28u);
}

TEST(ObjectStateRecord, ShortInputFailsTheReader) {
    uint8_t buf[31] = {};
    ObjectState s;
    EventSystem::ByteReader r(buf, sizeof buf);
    s.Deserialize(r);
    EXPECT_TRUE(r.HasFailed());
    EXPECT_LE(r.GetBytesRead(), 31u);
}

// ---- the table ----------------------------------------------------------------------
class ObjectStateFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("mirav-objstates-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        Utility::SetProblemSink([this](Utility::Severity s, const std::string& m) {
            if (s == Utility::Severity::Error) m_errors.push_back(m);
        });
    }
    void TearDown() override {
        Utility::SetProblemSink(nullptr);
        std::filesystem::remove_all(m_dir);
    }

    std::string File(const std::string& name, const std::string& text) {
        const auto path = (m_dir / name).string();
        std::ofstream(path) << text;
        return path;
    }
    // Loads both texts; an empty extents text stands for a valid empty list.
    bool Load(const std::string& states, const std::string& extents = "EXTENT_START 0") {
        return m_table.Load(File("states.ini", states), File("extents.ini", extents));
    }
    ObjectState State(int32_t id) {
        ObjectState s = Record(-99, -99, -99, -99, -99, -99, -99, -99.0f);
        EXPECT_TRUE(m_table.GetState(id, s)) << "state " << id;
        return s;
    }

    std::filesystem::path m_dir;
    std::vector<std::string> m_errors;
    ObjectStateTable m_table;
};

TEST_F(ObjectStateFiles, ReadsTheStatesOfTheExample) {
    EXPECT_TRUE(Load("STATES_START STATE 4 MODEL 7 ALPHA 0.5 STATE 5 FLAGS 3 STATES_END"));
    EXPECT_EQ(m_table.States().size(), 2u);
    EXPECT_EQ(State(4), Record(4, 0, 7, -1, -1, -1, -1, 0.5f));
    EXPECT_EQ(State(5), Record(5, 3, -1, -1, -1, -1, -1, -1.0f));
    EXPECT_TRUE(m_errors.empty());
}

TEST_F(ObjectStateFiles, ReadsEveryKeywordAndAnyHeaderWordOverLines) {
    EXPECT_TRUE(Load("anything before\nSTATES_START\n"
                     "Player 12\n  MODEL 1 TEXTURE 2\n\tTECHNIQUE 3 EFFECT 4 MATERIAL 5 FLAGS 6 ALPHA 0.25\n"
                     "block_red 13 MODEL 9\n"
                     "STATES_END\nafter"));
    EXPECT_EQ(State(12), Record(12, 6, 1, 5, 4, 2, 3, 0.25f));
    EXPECT_EQ(State(13), Record(13, 0, 9, -1, -1, -1, -1, -1.0f));
}

TEST_F(ObjectStateFiles, ReadsTheModelExtents) {
    EXPECT_TRUE(Load("STATES_START S 4 MODEL 7 STATES_END", "header EXTENT_START 2\n7 0.5 1 1.5\n8 2 2 2\n"));
    Vector3 e(-1, -1, -1);
    EXPECT_TRUE(m_table.GetStateAndExtent(4, e));
    EXPECT_EQ(e, Vector3(0.5f, 1, 1.5f));
    EXPECT_EQ(m_table.ModelExtents().at(8), Vector3(2, 2, 2));
}

TEST_F(ObjectStateFiles, LookUpsOfAbsentIdsFailAndLeaveTheOutput) {
    Load("STATES_START S 4 MODEL 7 S 5 MODEL 3 STATES_END", "EXTENT_START 1 7 1 1 1");
    ObjectState s = Record(1, 1, 1, 1, 1, 1, 1, 1.0f);
    EXPECT_FALSE(m_table.GetState(6, s));
    EXPECT_EQ(s, Record(1, 1, 1, 1, 1, 1, 1, 1.0f));
    Vector3 e(9, 9, 9);
    EXPECT_FALSE(m_table.GetStateAndExtent(5, e)) << "model 3 has no extent";
    EXPECT_FALSE(m_table.GetStateAndExtent(6, e)) << "no state 6";
    EXPECT_EQ(e, Vector3(9, 9, 9));
}

TEST_F(ObjectStateFiles, ALaterLoadKeepsEntriesItDoesNotRedefine) {
    Load("STATES_START S 1 MODEL 1 S 2 MODEL 2 STATES_END", "EXTENT_START 2 1 1 1 1 2 2 2 2");
    Load("STATES_START S 2 MODEL 20 STATES_END", "EXTENT_START 1 2 5 5 5");
    EXPECT_EQ(State(1).modelId, 1);
    EXPECT_EQ(State(2).modelId, 20);
    EXPECT_EQ(m_table.ModelExtents().at(1), Vector3(1, 1, 1));
    EXPECT_EQ(m_table.ModelExtents().at(2), Vector3(5, 5, 5));
}

TEST_F(ObjectStateFiles, ASectionWithoutStatesStoresTheUnsetRecordUnderZero) {
    EXPECT_TRUE(Load("STATES_START STATES_END"));
    EXPECT_EQ(m_table.States().size(), 1u);
    EXPECT_EQ(State(0), ObjectState());
}

// ---- damaged files: a logged error and what was read before the damage ---------------
TEST_F(ObjectStateFiles, StatesWithoutEndMarkerKeepWhatWasReadAndLogAnError) {
    EXPECT_FALSE(Load("STATES_START S 4 MODEL 7 S 5 FLAGS 3"));
    EXPECT_EQ(State(4), Record(4, 0, 7, -1, -1, -1, -1, -1.0f));
    EXPECT_EQ(State(5), Record(5, 3, -1, -1, -1, -1, -1, -1.0f)) << "the state being read is kept";
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("STATES_END"), std::string::npos) << m_errors[0];
}

TEST_F(ObjectStateFiles, StatesWithoutStartMarkerReadNothingAndLogAnError) {
    EXPECT_FALSE(Load("S 4 MODEL 7 STATES_END"));
    EXPECT_TRUE(m_table.States().empty());
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("STATES_START"), std::string::npos) << m_errors[0];
}

TEST_F(ObjectStateFiles, AMalformedValueEndsTheListKeepingTheStatesSoFar) {
    EXPECT_FALSE(Load("STATES_START S 4 MODEL 7 S 5 FLAGS 3 MODEL seven S 6 MODEL 6 STATES_END"));
    EXPECT_EQ(State(4).modelId, 7);
    EXPECT_EQ(State(5), Record(5, 3, -1, -1, -1, -1, -1, -1.0f)) << "the bad value is not stored";
    ObjectState s;
    EXPECT_FALSE(m_table.GetState(6, s)) << "nothing after the damage";
    EXPECT_EQ(m_errors.size(), 1u);
}

TEST_F(ObjectStateFiles, AMalformedStateIdEndsTheList) {
    EXPECT_FALSE(Load("STATES_START S 4 MODEL 7 S four MODEL 1 STATES_END"));
    EXPECT_EQ(m_table.States().size(), 1u);
    EXPECT_EQ(State(4).modelId, 7);
    EXPECT_EQ(m_errors.size(), 1u);
}

TEST_F(ObjectStateFiles, ExtentCountLargerThanItsEntriesKeepsTheEntriesAndLogsAnError) {
    EXPECT_FALSE(Load("STATES_START STATES_END", "EXTENT_START 5 1 1 1 1 2 2 2 2 3 3"));
    EXPECT_EQ(m_table.ModelExtents().size(), 2u);
    EXPECT_EQ(m_table.ModelExtents().at(2), Vector3(2, 2, 2));
    EXPECT_EQ(m_table.ModelExtents().count(3), 0u) << "a partial entry is not stored";
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("count 5"), std::string::npos) << m_errors[0];
}

TEST_F(ObjectStateFiles, ExtentsWithoutStartMarkerOrWithABadCountReadNothing) {
    for (const char* text : {"2 1 1 1 1 2 2 2 2", "EXTENT_START -1 1 1 1 1", "EXTENT_START many 1 1 1 1",
                             "EXTENT_START"}) {
        SCOPED_TRACE(text);
        ObjectStateTable fresh;
        m_errors.clear();
        EXPECT_FALSE(fresh.Load(File("s.ini", "STATES_START STATES_END"), File("e.ini", text)));
        EXPECT_TRUE(fresh.ModelExtents().empty());
        EXPECT_EQ(m_errors.size(), 1u);
    }
}

TEST_F(ObjectStateFiles, MissingFilesAreLoggedErrors) {
    EXPECT_FALSE(m_table.Load((m_dir / "none.ini").string(), (m_dir / "none2.ini").string()));
    EXPECT_TRUE(m_table.States().empty());
    EXPECT_TRUE(m_table.ModelExtents().empty());
    EXPECT_EQ(m_errors.size(), 2u);
}

TEST_F(ObjectStateFiles, TheShippedFilesLoadWhenPresent) {
    // Run from the game's data folder, as the tests are.
    if (!std::filesystem::exists(ObjectStateTable::kStatesFile)) GTEST_SKIP() << "no shipped object states yet";
    EXPECT_TRUE(m_table.Load(ObjectStateTable::kStatesFile, ObjectStateTable::kExtentsFile));
    EXPECT_TRUE(m_errors.empty()) << m_errors.front();
    EXPECT_FALSE(m_table.States().empty());
}

}  // namespace
