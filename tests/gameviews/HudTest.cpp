// The head-up display in a played match: flag reports of the logic move the
// slots of the score display, the battery gauge follows the record.
#include <cstdlib>

#include "ViewFixture.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gameviews/HudPouch.h"
#include "gameviews/HudScreen.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gameviews/ViewPlayer.h"
#include "gfx/DrawObj.h"
#include "gfx/Camera.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "screens/HudParts.h"
#include "screens/TextObj.h"
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
    EXPECT_EQ(slot.button->GetCurrent(), HudScoreMan::kImageDropped);
    EventSystem::QueueEvent(
        new EventTypes::EventUpdateFlagRecovered(77, 1, -1, Geometry::Vector3(), Geometry::Vector3()));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kHome);
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagGrabbed(3, 77, 0, 1));
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagCaptured(3, 0, 1, 77, Geometry::Vector3()));
    Frames(2);
    EXPECT_EQ(slot.state, HudScoreMan::kCaptured);
    EXPECT_EQ(slot.button->GetCurrent(), local == 1 ? HudScoreMan::kImageCapturedOwn : HudScoreMan::kImageCapturedEnemy);
    EXPECT_EQ(hud->Score().Captures(1), 1);

    hud->BatteryRecord().WaitForQuery();
    ASSERT_TRUE(hud->BatteryRecord().RunCommand("critical_battery"));
    Frames(2);
    ASSERT_NE(hud->Battery(), nullptr);
    EXPECT_TRUE(hud->Battery()->Shown());
    EXPECT_EQ(hud->Battery()->Icon().GetCurrent(), GameLogicView::HudBattery::kLowNotCharging);
    EXPECT_EQ(hud->Battery()->Text(), "20%");
    Frames(20);

    // The in-game menu hides the percentage; playing on shows it again.
    ASSERT_TRUE(hud->Battery()->TextObject());
    EventSystem::QueueEvent(new EventTypes::EventCreateInGameMenu());
    Frames(2);
    ASSERT_TRUE(view->IsInGameMenuOpen());
    EXPECT_EQ(hud->Battery()->TextObject()->GetColor().a, 0.0f);
    EventSystem::QueueEvent(new EventTypes::EventUpdateKeepPlaying());
    Frames(2);
    EXPECT_FALSE(view->IsInGameMenuOpen());
    EXPECT_EQ(hud->Battery()->TextObject()->GetColor().a, 1.0f);
}

// The local player's blocks through the real logic: the spawn's blocks
// fill the pouch quietly, a throw takes the newest out, a pick-up puts one
// in at the start of the path, and the icons glide to their new places.
TEST_F(HudTest, PouchFollowsTheLocalPlayersBlocks) {
    auto* hud = Hud();
    ASSERT_NE(hud, nullptr);
    GameLogicView::HudPouch& pouch = hud->Pouch();
    const uint16_t local = static_cast<uint16_t>(GameLogicView::HumanGameView::GetLocalActor());
    auto player = view->GetPlayerMan()->FindPlayer(local);
    ASSERT_TRUE(player);
    ASSERT_TRUE(Until([&] { return player->GetHeldBlock() != nullptr && !pouch.Icons().empty(); }, 60));
    Frames(5);
    const size_t carried = player->Pouch().size() + 1;
    ASSERT_GE(carried, 2u);
    EXPECT_EQ(pouch.Icons().size(), carried);
    ASSERT_GT(pouch.Path().totalLength, 0.0f);

    const uint16_t thrown = player->GetHeldBlock()->Id();
    EventSystem::QueueEvent(new EventTypes::EventCommandThrowBlock(static_cast<int16_t>(local), Geometry::Vector3(0, 0, 1)));
    ASSERT_TRUE(Until([&] { return pouch.Icons().size() == carried - 1; }, 30));

    // Let the icons come to rest: the newest at the start, older further on.
    Frames(60);
    const float length = pouch.Path().totalLength;
    const float size = static_cast<float>(std::max(1, pouch.GetSettings().pouchSize));
    const size_t n = pouch.Icons().size();
    for (size_t i = 0; i < n; ++i) {
        const float j = static_cast<float>(n - i);
        const auto& icon = pouch.Icons()[i];
        EXPECT_NEAR(icon.distance, length * (j - 1) / (0.03f * j * j + size - 1), 1e-4f) << i;
        EXPECT_EQ(icon.speed, 0.0f);
        ASSERT_TRUE(icon.object);
        EXPECT_GT(icon.object->GetScale().x, 0.0f);
    }

    // The logic reports the thrown block picked up again.
    auto block = view->GetBlockMan()->FindBlock(thrown);
    ASSERT_TRUE(block);
    EventSystem::QueueEvent(new EventTypes::EventUpdatePickUpBlock(static_cast<int16_t>(local), static_cast<int16_t>(thrown),
                                                                   GameLogicView::HumanGameView::GetLocalTeam(), LocalPosition(),
                                                                   Geometry::Vector3(0.5f, 0.5f, 0.5f), LocalPosition()));
    Frames(2);
    ASSERT_EQ(pouch.Icons().size(), carried);
    EXPECT_EQ(pouch.Icons().back().block->id, thrown);
    EXPECT_EQ(pouch.Icons().back().distance, 0.0f);
    EXPECT_GT(pouch.Icons().front().speed, 0.0f);  // the oldest moves on along the path

    // The local player's death empties the pouch.
    EventSystem::QueueEvent(new EventTypes::EventUpdateActorDeath(static_cast<int16_t>(local), -1, Geometry::Vector3(), Geometry::Vector3()));
    Frames(2);
    EXPECT_TRUE(pouch.Icons().empty());
}

// Markers: the other team's flags (keyed by actor id), the own team's
// capture points (hidden until the local player carries a flag), and one
// hidden marker per player that shows while that bot follows the local player.
TEST_F(HudTest, MarkersForFlagsGoalsAndFollowers) {
    auto* hud = Hud();
    ASSERT_NE(hud, nullptr);
    Frames(5);
    const uint8_t team = GameLogicView::HumanGameView::GetLocalTeam();
    ASSERT_LE(team, 1);
    ASSERT_FALSE(hud->FlagMarkers().empty());
    for (const auto& [id, m] : hud->FlagMarkers()) {
        EXPECT_NE(m.team, team) << id;
        EXPECT_EQ(m.button->GetName(), m.team == 1 ? "angelHudFlag" : "demonHudFlag");
        auto flag = view->GetActorMan()->FindActor(id);
        ASSERT_TRUE(flag) << id;
        EXPECT_EQ(flag->team, m.team);
        EXPECT_EQ(m.button->GetAlpha(), 1.0f);
        // Placed on screen, sized between far and near.
        EXPECT_GE(m.button->GetX(), 0.0f);
        EXPECT_LE(m.button->GetX(), 1.0f);
        EXPECT_GE(m.button->GetExtX() * 2, 0.06f - 1e-5f);
        EXPECT_LE(m.button->GetExtX() * 2, 0.11f + 1e-5f);
    }
    ASSERT_FALSE(hud->GoalMarkers().empty());
    for (const auto& [key, m] : hud->GoalMarkers()) {
        EXPECT_EQ(m.team, team) << key;
        EXPECT_EQ(m.button->GetAlpha(), 0.0f);
    }
    EXPECT_TRUE(hud->goalsHidden);
    EXPECT_EQ(hud->TeammateMarkers().size(), view->GetPlayerMan()->Players().size());
    for (const auto& [id, m] : hud->TeammateMarkers()) {
        EXPECT_EQ(m.button->GetName(), m.team == 1 ? "DemonTeammates" : "AngelTeammates");
        EXPECT_EQ(m.button->GetAlpha(), 0.0f);
        // Hidden markers are placed all the same, at a little over half a flag marker's size.
        EXPECT_GE(m.button->GetExtX() * 2, 0.033f - 1e-5f) << id;
        EXPECT_LE(m.button->GetExtX() * 2, 0.0605f + 1e-5f) << id;
        EXPECT_NEAR(m.button->GetExtY() / m.button->GetExtX(), 4.0f / 3.0f, 1e-4f);
    }

    // The local player takes a flag: flag markers go, goal markers come.
    const uint16_t flagId = hud->FlagMarkers().begin()->first;
    const int16_t local = GameLogicView::HumanGameView::GetLocalActor();
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagGrabbed(local, static_cast<int16_t>(flagId), team,
                                                                   static_cast<uint8_t>(1 - team)));
    Frames(2);
    EXPECT_FALSE(hud->goalsHidden);
    EXPECT_EQ(hud->FlagMarkers().begin()->second.button->GetAlpha(), 0.0f);
    EXPECT_EQ(hud->GoalMarkers().begin()->second.button->GetAlpha(), 1.0f);
    EventSystem::QueueEvent(new EventTypes::EventUpdateFlagDropped(local, static_cast<int16_t>(flagId), team,
                                                                   static_cast<uint8_t>(1 - team)));
    Frames(2);
    EXPECT_TRUE(hud->goalsHidden);
    EXPECT_EQ(hud->FlagMarkers().begin()->second.button->GetAlpha(), 1.0f);

    // A bot follows the local player, then stops; another leader is ignored.
    uint16_t bot = 0xFFFF;
    for (const auto& [id, p] : view->GetPlayerMan()->Players())
        if (id != static_cast<uint16_t>(local)) bot = id;
    ASSERT_NE(bot, 0xFFFF);
    const auto& marker = hud->TeammateMarkers().at(bot);
    EXPECT_EQ(marker.button->GetAlpha(), 0.0f);
    EventSystem::QueueEvent(new EventTypes::EventUpdateBotFollowPlayer(static_cast<int16_t>(bot + 1000), static_cast<int16_t>(bot), 1));
    Frames(2);
    EXPECT_EQ(marker.button->GetAlpha(), 0.0f);
    EventSystem::QueueEvent(new EventTypes::EventUpdateBotFollowPlayer(local, static_cast<int16_t>(bot), 1));
    Frames(2);
    EXPECT_EQ(marker.button->GetAlpha(), 1.0f);
    EventSystem::QueueEvent(new EventTypes::EventUpdateBotFollowPlayer(local, static_cast<int16_t>(bot), 0));
    Frames(2);
    EXPECT_EQ(marker.button->GetAlpha(), 0.0f);
}

// An object off to one side of the camera is pinned to the edge on the side
// where the renderer would draw it, ahead and behind included.
TEST_F(HudTest, PinnedSideAgreesWithTheProjection) {
    auto camera = Gfx::DrawScreen::Instance()->GetActiveCamera();
    ASSERT_TRUE(camera);
    const Geometry::Vector3 eye = camera->GetEye(), at = camera->GetLookAt();
    Geometry::Vector3 f = at - eye;
    f.y = 0;
    ASSERT_GT(f.Length(), 0.0f);
    f = f * (1.0f / f.Length());
    const Geometry::Vector3 side(f.z, 0, -f.x);
    for (float s : {-3.0f, 3.0f}) {
        const Geometry::Vector3 object = at + side * s;
        Geometry::Vector2 drawn;
        Gfx::GfxEngine::Instance()->WorldToScreen(object, drawn);
        float x = 0, y = 0;
        GameLogicView::HudPinToEdge({object.x, object.y, object.z}, {at.x, at.y, at.z}, {f.x, f.y, f.z}, x, y);
        EXPECT_EQ(drawn.x < 0.5f, x < 0.5f) << s;
        EXPECT_NEAR(y, 0.5f, 1e-4f);
    }
    const Geometry::Vector3 ahead = at + f * 50.0f;
    float x = 0, y = 0;
    GameLogicView::HudPinToEdge({ahead.x, ahead.y, ahead.z}, {at.x, at.y, at.z}, {f.x, f.y, f.z}, x, y);
    EXPECT_NEAR(x, 0.5f, 1e-4f);
    EXPECT_NEAR(y, 0.016f, 1e-4f);
}

}  // namespace
