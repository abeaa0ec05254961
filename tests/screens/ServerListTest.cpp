// The join menu's rows and choices, without drawing: announcements to rows,
// row texts, clicks on the table, the join request and its outcome.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdio>
#include <fstream>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "screens/ServerList.h"
#include "support/Harness.h"
#include "Announcements.h"
#include "support/TempPath.h"

using GameLogicView::ServerList;

namespace {

using ScreensTest::Announce;
using ScreensTest::At;

class ServerListTest : public ::testing::Test {
protected:
    void SetUp() override { TestSupport::ResetSingletons(); }
    void TearDown() override { TestSupport::ResetSingletons(); }
};

}  // namespace

TEST_F(ServerListTest, OneRowPerHostAddressRefreshedInPlace) {
    ServerList list;
    Announce("Mirav", 0, 1, 1, 7, At("127.0.1.5", 8003));
    Announce("Other", 0, 0, 2, 7, At("127.0.1.9", 8003));
    // Same address, another port: the first row takes the new data.
    Announce("Renamed", 1, 2, 3, 8, At("127.0.1.5", 9000));
    ASSERT_EQ(list.Rows().size(), 2u);
    EXPECT_EQ(list.Rows()[0].name, "Renamed");
    EXPECT_EQ(list.Rows()[0].players, 3);
    EXPECT_EQ(ntohs(list.Rows()[0].address.sin_port), 9000);
    EXPECT_EQ(list.Rows()[1].name, "Other");
}

TEST_F(ServerListTest, RowTextsNameTheModeTheLevelAndThePlayers) {
    const std::string file = TestSupport::TempPath("levels-names.ini");
    std::ofstream(file) << "[level2]\nfile = Levels/x.ini\nname =  Far Hills  \n";
    ServerList list(file);
    Announce("Mirav", 1, 2, 3, 7, At("127.0.1.5", 8003));
    Announce("Mirav", 0, 4, 1, 7, At("127.0.1.6", 8003));
    const auto a = list.TextsOf(0);
    EXPECT_EQ(a.name, "Mirav");
    EXPECT_EQ(a.mode, "Sandbox");
    EXPECT_EQ(a.level, "Far Hills");
    EXPECT_EQ(a.players, "3 / 4");
    const auto b = list.TextsOf(1);
    EXPECT_EQ(b.mode, "CTF");
    EXPECT_EQ(b.level, "");  // no such section
    std::remove(file.c_str());
}

TEST_F(ServerListTest, ClicksChooseTheRowBandUnderTheCursor) {
    ServerList list;
    for (int i = 0; i < 3; ++i) Announce("Mirav", 0, 0, 1, 7, At(i == 0 ? "127.0.1.1" : i == 1 ? "127.0.1.2" : "127.0.1.3", 8003));
    const float bgX = 0.5f, bgY = 0.5f, ext = 0.4f;
    const float top = bgY - ext + 0.04f;
    struct Case {
        float cy;
        bool onTable;
        unsigned selected;
    };
    const Case cases[] = {
        {top + 0.35f, true, 2},  // third band
        {top + 0.05f, true, 2},  // the header band: unchanged
        {top + 0.15f, true, 0},  // first band
        {top + 0.45f, true, 0},  // below the last row: unchanged
        {0.95f, false, 0},       // outside the table
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.Click(0.5f, c.cy, bgX, bgY, ext, ext), c.onTable) << c.cy;
        EXPECT_EQ(list.GetSelectedRow(), c.selected) << c.cy;
    }
}

TEST_F(ServerListTest, JoinAsksForTheChosenHostAndAFailedJoinLeavesTheListUsable) {
    ServerList list;
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventUpdateInitializeGameView, Networking::EventConnectToServer>();
    EXPECT_FALSE(list.CanJoin());
    EXPECT_FALSE(list.Join());
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<Networking::EventConnectToServer>(), 0u);

    Announce("A", 0, 0, 1, 5, At("127.0.1.1", 8003));
    Announce("B", 0, 0, 1, 6, At("127.0.1.2", 8003));
    list.Click(0.5f, 0.1f + 0.04f + 0.25f, 0.5f, 0.5f, 0.4f, 0.4f);  // second row
    ASSERT_TRUE(list.Join());
    EXPECT_FALSE(list.CanJoin());  // one attempt at a time
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameView>(), 1u);
    EXPECT_EQ(rec.Of<EventTypes::EventUpdateInitializeGameView>()[0]->GetPayload()->menuBackdrop, 0);
    ASSERT_EQ(rec.Count<Networking::EventConnectToServer>(), 1u);
    const auto* connect = rec.Of<Networking::EventConnectToServer>()[0]->GetPayload();
    EXPECT_EQ(connect->socket, 6);
    EXPECT_EQ(connect->address.sin_addr.s_addr, At("127.0.1.2", 0).sin_addr.s_addr);

    // Nobody answered: the game ends and the list can be used again.
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameOver>(255, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(list.GetJoinState(), ServerList::JoinState::Failed);
    EXPECT_TRUE(list.CanJoin());
    ASSERT_TRUE(list.Join());
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameIDs>(0, 12, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(list.GetJoinState(), ServerList::JoinState::Joined);
}
