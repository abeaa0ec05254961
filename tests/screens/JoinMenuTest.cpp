// The join menu with the shipped menu file and level list, without a scene:
// the table's texts in a text manager that does not draw, the join button
// and the highlight bar following the rows, clicks choosing rows, and the
// join button asking for the chosen host.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/NetworkEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/Font.h"
#include "gfx/TextMan.h"
#include "screens/JoinMenuScreen.h"
#include "screens/MouseCursor.h"
#include "support/Harness.h"
#include "Announcements.h"

using namespace GameLogicView;

namespace {

using ScreensTest::At;

struct Drawn {
    std::string text;
    float x, y;
    Gfx::Color4 colour;
    int font;
};

class JoinMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Create();
        cursor = CreateMouseCursor();
        cursor->SetPosition(-1, -1);
        text = std::make_unique<Gfx::TextMan>(nullptr);
        text->LoadFont(0, "Fonts/DejaVuSans-Bold.ttf", "DejaVu Sans", 24, 1);
        text->LoadFont(3, "Fonts/DejaVuSans.ttf", "DejaVu Sans", 18, 0);
        menu = std::make_unique<JoinMenuScreen>();
        bg = menu->GetButtons().FindButton("ServerBG");
        ASSERT_TRUE(bg);
        left = bg->GetX() - bg->GetExtX();
        header = bg->GetY() - bg->GetExtY() + 0.067f;
    }
    void TearDown() override {
        menu.reset();
        text.reset();
        DestroyMouseCursor();
        TestSupport::ResetSingletons();
    }
    void Announce(const char* name, uint8_t mode, uint8_t level, uint8_t players, const sockaddr_in& from) {
        ScreensTest::Announce(name, mode, level, players, 9, from);
    }
    // The table of the last frame: the texts, without their shadow copies,
    // which are checked to lie white under each text.
    std::vector<Drawn> Table() {
        std::vector<Drawn> out;
        const int group = menu->GetTextGroupId();
        const int n = static_cast<int>(text->GroupSize(group));
        EXPECT_EQ(n % 2, 0);
        for (int id = text->LastTextId() - n + 1; id <= text->LastTextId(); id += 2) {
            Gfx::TextEntry *shadow = nullptr, *entry = nullptr;
            if (!text->GetText(group, id, shadow) || !text->GetText(group, id + 1, entry)) {
                ADD_FAILURE() << "text " << id << " missing";
                break;
            }
            EXPECT_EQ(shadow->text, entry->text);
            EXPECT_EQ(shadow->colour, Gfx::Color4(1, 1, 1, 1));
            EXPECT_NEAR(shadow->position.x - entry->position.x, 0.002f, 1e-6);
            EXPECT_NEAR(shadow->position.y - entry->position.y, 0.002f, 1e-6);
            EXPECT_EQ(entry->format, 0x104u);
            int font = entry->font == nullptr ? -1 : (entry->font == Font(0) ? 0 : entry->font == Font(3) ? 3 : -2);
            out.push_back({entry->text, entry->position.x, entry->position.y, entry->colour, font});
        }
        return out;
    }
    std::shared_ptr<Gfx::Font> Font(int id) {
        std::shared_ptr<Gfx::Font> f;
        text->RequestFont(id, f);
        return f;
    }
    void Release(const char* command, float x, float y) {
        cursor->SetPosition(x, y);
        menu->OnUpdate(16, true);
        Input::EventIsReleased e(command);
        menu->OnEvent(e);
    }

    MouseCursor* cursor = nullptr;
    std::unique_ptr<Gfx::TextMan> text;
    std::unique_ptr<JoinMenuScreen> menu;
    std::shared_ptr<Button> bg;
    float left = 0, header = 0;
};

const Gfx::Color4 kRed(0.85f, 0, 0, 1), kGreenEven(0, 0.55f, 0, 1), kGreenOdd(0, 0.75f, 0, 1);

}  // namespace

TEST_F(JoinMenuTest, WithoutHostsOnlyTheHeadersShowAndJoinDoesNothing) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventJoinSelectedGame, Networking::EventConnectToServer>();
    menu->OnUpdate(16, true);
    const auto table = Table();
    ASSERT_EQ(table.size(), 4u);
    const char* names[] = {"NAME", "MODE", "LEVEL", "PLAYERS"};
    const float xs[] = {0.02f, 0.22f, 0.41f, 0.72f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table[i].text, names[i]);
        EXPECT_NEAR(table[i].x, left + xs[i], 1e-6);
        EXPECT_NEAR(table[i].y, header, 1e-6);
        EXPECT_EQ(table[i].colour, Gfx::Color4(0, 0, 1, 1));
        EXPECT_EQ(table[i].font, 0);
    }
    auto join = menu->GetButtons().FindButton("JoinGame");
    auto bar = menu->GetButtons().FindButton("ServerSelect");
    ASSERT_TRUE(join && bar);
    EXPECT_TRUE(join->IsStatic());
    EXPECT_EQ(bar->GetX(), 0.0f);
    EXPECT_EQ(bar->GetY(), -1.6f);
    // The cursor on the join button neither lights it nor clicks it.
    Release("LEFTCLICK", join->GetX(), join->GetY());
    EXPECT_EQ(join->GetCurrent(), join->GetUp());
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventTypes::EventJoinSelectedGame>(), 0u);
    EXPECT_EQ(rec.Count<Networking::EventConnectToServer>(), 0u);
}

TEST_F(JoinMenuTest, RowsShowEachHostAndTheChosenOneIsRedUnderTheBar) {
    Announce("Alpha", 0, 0, 1, At("127.0.1.1", 8003));
    Announce("Beta", 0, 1, 2, At("127.0.1.2", 8003));
    Announce("Gamma", 0, 7, 4, At("127.0.1.3", 8003));
    // The first host again from another port: its row is refreshed in place.
    Announce("Alpha2", 1, 2, 3, At("127.0.1.1", 9000));
    menu->OnUpdate(16, true);
    auto table = Table();
    ASSERT_EQ(table.size(), 16u);
    struct Row {
        const char *name, *mode, *level, *players;
        Gfx::Color4 colour;
    };
    const Row rows[] = {{"Alpha2", "Sandbox", "Terraces", "3 / 4", kRed},
                        {"Beta", "CTF", "Canyon", "2 / 4", kGreenOdd},
                        {"Gamma", "CTF", "", "4 / 4", kGreenEven}};
    for (int i = 0; i < 3; ++i) {
        const Drawn* d = &table[4 + 4 * i];
        const float y = header + 0.1f * static_cast<float>(i + 1);
        const char* texts[] = {rows[i].name, rows[i].mode, rows[i].level, rows[i].players};
        const float xs[] = {0.025f, 0.225f, 0.415f, 0.76f};
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(d[c].text, texts[c]) << i << "," << c;
            EXPECT_NEAR(d[c].x, left + xs[c], 1e-6);
            EXPECT_NEAR(d[c].y, y, 1e-6);
            EXPECT_EQ(d[c].colour, rows[i].colour) << i;
            EXPECT_EQ(d[c].font, 3);
        }
    }
    auto join = menu->GetButtons().FindButton("JoinGame");
    auto bar = menu->GetButtons().FindButton("ServerSelect");
    EXPECT_FALSE(join->IsStatic());
    // The shipped layout puts the bar on the chosen row's line, in front of the table.
    EXPECT_NEAR(bar->GetY(), header + 0.1f, 1e-5);
    EXPECT_NEAR(bar->GetX(), bg->GetX(), 1e-6);
    EXPECT_NEAR(bar->GetZ(), bg->GetZ() - 0.001f, 1e-6);

    // Releases on the table choose the band under the cursor; any key but
    // the right button does.
    const float top = bg->GetY() - bg->GetExtY() + 0.04f;
    struct Click {
        const char* command;
        float y;
        unsigned selected;
    };
    const Click clicks[] = {
        {"LEFTCLICK", top + 0.35f, 2}, {"LEFTCLICK", top + 0.05f, 2}, {"ESC", top + 0.25f, 1},
        {"RIGHTCLICK", top + 0.15f, 1}, {"LEFTCLICK", top + 0.45f, 1}, {"LEFTCLICK", top + 0.15f, 0},
        {"ESC", top + 0.25f, 1},
    };
    for (const Click& c : clicks) {
        Release(c.command, bg->GetX(), c.y);
        EXPECT_EQ(menu->GetServerList().GetSelectedRow(), c.selected) << c.command << " " << c.y;
    }
    menu->OnUpdate(16, true);
    table = Table();
    EXPECT_EQ(table[4].colour, kGreenEven);
    EXPECT_EQ(table[8].colour, kRed);
    EXPECT_NEAR(bar->GetY(), header + 0.2f, 1e-5);
}

TEST_F(JoinMenuTest, JoinButtonAsksForTheChosenHostOnce) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventUpdateGameOver, EventTypes::EventUpdateInitializeGameView,
               Networking::EventConnectToServer>();
    Announce("Alpha", 0, 0, 1, At("127.0.1.1", 8003));
    Announce("Beta", 0, 1, 2, At("127.0.1.2", 8004));
    const float top = bg->GetY() - bg->GetExtY() + 0.04f;
    Release("LEFTCLICK", bg->GetX(), top + 0.25f);
    auto join = menu->GetButtons().FindButton("JoinGame");
    Release("LEFTCLICK", join->GetX(), join->GetY());
    // A second click while the first attempt is under way asks for nothing more.
    Release("LEFTCLICK", join->GetX(), join->GetY());
    EventSystem::ProcessEventQueue();
    // The menu backdrop ends, the view prepares a played game, the network connects.
    ASSERT_EQ(rec.Count<EventTypes::EventUpdateGameOver>(), 1u);
    EXPECT_EQ(rec.Of<EventTypes::EventUpdateGameOver>()[0]->GetPayload()->winningTeam, 255);
    ASSERT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameView>(), 1u);
    EXPECT_EQ(rec.Of<EventTypes::EventUpdateInitializeGameView>()[0]->GetPayload()->menuBackdrop, 0);
    ASSERT_EQ(rec.Count<Networking::EventConnectToServer>(), 1u);
    const auto* connect = rec.Of<Networking::EventConnectToServer>()[0]->GetPayload();
    EXPECT_EQ(connect->socket, 9);
    EXPECT_EQ(connect->address.sin_addr.s_addr, At("127.0.1.2", 0).sin_addr.s_addr);
    EXPECT_EQ(ntohs(connect->address.sin_port), 8004);
}

TEST_F(JoinMenuTest, MoreHostsThanTheTableHoldsListOnlyThoseThatFitItsBox) {
    // Rows whose band ends inside the box: none, one, and the shipped four.
    const struct {
        float y, extY;
        size_t fit;
    } boxes[] = {{0.5f, 0.1f, 0}, {0.5f, 0.15f, 1}, {bg->GetY(), bg->GetExtY(), 4}};
    for (const auto& b : boxes) EXPECT_EQ(ServerList::RowsThatFit(b.y, b.extY), b.fit) << b.y << " " << b.extY;

    const char* names[] = {"H0", "H1", "H2", "H3", "H4", "H5"};
    const char* ips[] = {"127.0.1.1", "127.0.1.2", "127.0.1.3", "127.0.1.4", "127.0.1.5", "127.0.1.6"};
    for (int i = 0; i < 6; ++i) Announce(names[i], 0, 0, 1, At(ips[i], 8003));
    EXPECT_EQ(menu->GetServerList().Rows().size(), 6u);
    menu->OnUpdate(16, true);
    const auto table = Table();
    // Headers and the first four hosts, every row's band inside the box.
    ASSERT_EQ(table.size(), 4u + 4u * 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(table[4 + 4 * i].text, names[i]);
    const float bottom = bg->GetY() + bg->GetExtY();
    for (const Drawn& d : table) EXPECT_LE(d.y + 0.05f, bottom + 1e-5f) << d.text;

    // The last listed row can be chosen; the band of the fifth host, whose
    // top still lies in the box, chooses nothing.
    const float top = bg->GetY() - bg->GetExtY() + 0.04f;
    Release("LEFTCLICK", bg->GetX(), top + 0.45f);
    EXPECT_EQ(menu->GetServerList().GetSelectedRow(), 3u);
    Release("LEFTCLICK", bg->GetX(), top + 0.505f);
    EXPECT_EQ(menu->GetServerList().GetSelectedRow(), 3u);
}
