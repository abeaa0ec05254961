// The head-up display in a played match: flag reports of the logic move the
// slots of the score display, the battery gauge follows the record.
#include <cstdlib>

#include "ViewFixture.h"
#include "events/types/FlagEvents.h"
#include "gameviews/HudScreen.h"
#include "screens/HudParts.h"
#include "utility/BatteryInfo.h"

using namespace ViewTest;
using GameLogicView::HudScoreMan;

namespace {

class HudTest : public ViewFixture {
protected:
    void SetUp() override {
        const char* shot = std::getenv("MIRAV_HUD_TEST_SHOT");
        if (shot) setenv("MIRAV_SCREENSHOT", shot, 1);
        ViewFixture::SetUp();
        StartPlayedMatch();
    }
    GameLogicView::HudScreen* Hud() const {
        return dynamic_cast<GameLogicView::HudScreen*>(view->GetHudScreen().get());
    }
};

TEST_F(HudTest, FlagReportsMoveTheSlotsAndBatteryPicksIcon) {
    auto* hud = Hud();
    ASSERT_NE(hud, nullptr);
    const auto& slot = hud->Score().GetSlot(1, 0);
    EXPECT_EQ(slot.state, HudScoreMan::kHome);
    const uint8_t local = GameLogicView::GlobalGameState::Instance()->GetFlag(GameLogicView::GlobalGameState::kTeam);

    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagGrabbed(3, 77, 0, 1));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kCarried);
    EXPECT_EQ(slot.flagId, 77);
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagDropped(-1, 77, 255, 1));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kDropped);
    EXPECT_EQ(slot.button->GetImage(), HudScoreMan::kImageDropped);
    EventSystem::QueueEvent(
        new EventTypes::EventUpdateFlagRecovered(77, 1, -1, Geometry::Vector3(), Geometry::Vector3()));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kHome);
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagGrabbed(3, 77, 0, 1));
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagCaptured(3, 0, 1, 77, Geometry::Vector3()));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kCaptured);
    EXPECT_EQ(slot.button->GetImage(), local == 1 ? HudScoreMan::kImageCapturedOwn : HudScoreMan::kImageCapturedEnemy);
    EXPECT_EQ(hud->Score().Captures(1), 1);

    hud->BatteryRecord().WaitForQuery();
    ASSERT_TRUE(hud->BatteryRecord().RunCommand("critical_battery"));
    Frames(2);
    ASSERT_NE(hud->Battery(), nullptr);
    EXPECT_TRUE(hud->Battery()->Shown());
    EXPECT_EQ(hud->Battery()->Icon().GetImage(), GameLogicView::HudBattery::kLowNotCharging);
    EXPECT_EQ(hud->Battery()->Text(), "20%");
    Frames(20);
}

}  // namespace
