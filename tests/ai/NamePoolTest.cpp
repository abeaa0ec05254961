// Bot names handed out in turn and numbered, and random chat lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ai/NamePool.h"
#include "ini/IniFile.h"

using AI::ChatPool;
using AI::NamePool;

namespace {

Utility::IniFile Text(const std::string& text) {
    Utility::IniFile f;
    f.Parse(text);
    return f;
}

std::vector<std::string> Names(NamePool& pool, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(pool.NextName());
    return out;
}

struct NameCase {
    const char* name;
    const char* ini;
    std::vector<std::string> expected;
};

class NamePoolTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NamePoolTest, NamesGoInTurnAndAreNumberedOnEachPass) {
    NamePool pool;
    pool.Load(Text(GetParam().ini));
    EXPECT_EQ(Names(pool, static_cast<int>(GetParam().expected.size())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NamePoolTest,
    ::testing::Values(
        NameCase{"TwoNames", "[NAMES]\na = Ann\nb = Bo\n", {"Ann", "Bo", "Ann1", "Bo1", "Ann2"}},
        NameCase{"OneName", "[NAMES]\nx = Ann\n", {"Ann", "Ann1", "Ann2"}},
        NameCase{"OtherSectionsIgnored", "[OTHER]\nz = Zed\n[NAMES]\nb = Bo\n", {"Bo", "Bo1"}},
        // No names at all still names every bot.
        NameCase{"EmptySection", "[NAMES]\n", {"Bot", "Bot1", "Bot2"}},
        NameCase{"NoSection", "", {"Bot", "Bot1"}}),
    [](const ::testing::TestParamInfo<NameCase>& i) { return std::string(i.param.name); });

TEST(NamePool, MissingFileStillNamesBotsAndReloadStartsOver) {
    NamePool pool;
    pool.Load("Config/AI/no_such_names.ini");
    EXPECT_EQ(pool.Size(), 0u);
    EXPECT_FALSE(pool.NextName().empty());
    pool.Load(Text("[NAMES]\na = Ann\n"));
    EXPECT_EQ(Names(pool, 2), (std::vector<std::string>{"Ann", "Ann1"}));
    pool.Load(Text("[NAMES]\na = Ann\n"));
    EXPECT_EQ(pool.NextName(), "Ann");
}

TEST(NamePool, ShippedNamesAreDistinct) {
    NamePool pool;
    pool.Load();
    ASSERT_GE(pool.Size(), 8u);  // a full match of bots has a name each on the first pass
    std::set<std::string> seen;
    for (size_t i = 0; i < pool.Size(); ++i) EXPECT_TRUE(seen.insert(pool.NextName()).second);
}

TEST(ChatPool, LinesComeFromTheNamedSectionOnly) {
    ChatPool chat;
    chat.Load(Text("[One]\na = only line\n[Many]\na = x\nb = y\nc = z\n[Empty]\n"));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(chat.GetRandomChatLine("One"), "only line");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) seen.insert(chat.GetRandomChatLine("Many"));
    EXPECT_EQ(seen, (std::set<std::string>{"x", "y", "z"}));
    EXPECT_EQ(chat.GetRandomChatLine("Empty"), "");
    EXPECT_EQ(chat.GetRandomChatLine("Missing"), "");
    EXPECT_EQ(chat.GetRandomChatLine("one"), "");  // case counts
}

TEST(ChatPool, MissingFileGivesEmptyLines) {
    ChatPool chat;
    EXPECT_EQ(chat.GetRandomChatLine("Death"), "");
    chat.Load("Config/AI/no_such_chat.ini");
    EXPECT_EQ(chat.GetRandomChatLine("Death"), "");
}

TEST(ChatPool, ShippedPoolHasEverySectionTheBotsSpeak) {
    ChatPool chat;
    chat.Load();
    for (const char* s : {"Death", "RecoverFlag", "Explosion", "Chase", "SquadLeader", "WaitForStrategy",
                          "CaptureFlag", "TrashTalk", "Found", "Lost", "Guard", "AngelTutorialIntro",
                          "DemonTutorialIntro", "HowToPickUp", "HowToThrow", "HowToFormSquad", "HowToReleaseSquad",
                          "ImpatientPick", "ImpatientThrow", "ImpatientFormSquad", "ImpatientReleaseSquad",
                          "CancelTutorial", "Flag"})
        EXPECT_FALSE(chat.GetRandomChatLine(s).empty()) << s;
}

}  // namespace
