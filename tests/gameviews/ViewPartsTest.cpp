// The backdrop camera's placement, the music of each kind of match, the two
// display switches through the device's one mode switch, and the power
// events during a running match.
#include "ViewFixture.h"
#include "audio/Emitter.h"
#include "audio/MusicMan.h"
#include "events/types/CommandEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gameviews/CameraController.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "input/Input.h"
#include "screens/OpeningScreens.h"
#include "screens/OrbitCamera.h"

using namespace ViewTest;
using namespace GameLogicView;
using Geometry::Vector3;

namespace {

OrbitCamera FreeCamera() { return OrbitCamera(Vector3(1, 2, 3), Vector3(0, 0, 0), -1.0f, 1.0f, 5.0f, 10.0f); }

void ExpectNear(const Vector3& a, const Vector3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-4f);
    EXPECT_NEAR(a.y, b.y, 1e-4f);
    EXPECT_NEAR(a.z, b.z, 1e-4f);
}

}  // namespace

TEST(CameraControllerTest, LooksAtTheSecondCapturePointFromBesideTheFirstFlag) {
    OrbitCamera camera = FreeCamera();
    CameraController c;
    c.SetCamera(&camera);
    // Flags first: the eye is placed at once.
    c.AddFlagPoint(Vector3(10, 1, 20));
    c.AddCapturePoint(Vector3(50, 0, 50));
    EXPECT_EQ(camera.GetMode(), IViewCamera::kFree);  // one point: no fixed point yet
    c.AddCapturePoint(Vector3(-40, 2, 60));
    EXPECT_EQ(camera.GetMode(), IViewCamera::kFixedPoint);
    camera.Update(16);
    ExpectNear(camera.GetLookAt(), Vector3(-40, 2, 60));
    ExpectNear(camera.GetEye(), Vector3(-15, 16, -5));
    // A third point or a second flag changes nothing.
    c.AddCapturePoint(Vector3(0, 0, 0));
    c.AddFlagPoint(Vector3(99, 99, 99));
    camera.Update(16);
    ExpectNear(camera.GetLookAt(), Vector3(-40, 2, 60));
    ExpectNear(camera.GetEye(), Vector3(-15, 16, -5));
}

TEST(CameraControllerTest, WithoutACameraPointsAreOnlyKept) {
    CameraController c;
    c.AddFlagPoint(Vector3(1, 1, 1));
    c.AddCapturePoint(Vector3(2, 2, 2));
    c.AddCapturePoint(Vector3(3, 3, 3));
    EXPECT_EQ(c.GetFlagPoints().size(), 1u);
    EXPECT_EQ(c.GetCapturePoints().size(), 2u);
}

class ViewPartsTest : public ViewFixture {};

TEST_F(ViewPartsTest, BackdropCameraOverlooksTheShippedLevel) {
    ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
    Frames(4);
    EXPECT_EQ(view->GetActiveCameraId(), HumanGameView::kBackdropCamera);
    CameraController* c = view->GetCameraController();
    ASSERT_NE(c, nullptr);
    ASSERT_GE(c->GetCapturePoints().size(), 2u);
    ASSERT_FALSE(c->GetFlagPoints().empty());
    IViewCamera* camera = view->GetActiveCamera();
    EXPECT_EQ(camera->GetMode(), IViewCamera::kFixedPoint);
    ExpectNear(camera->GetLookAt(), c->GetCapturePoints()[1]);
    const Vector3 f = c->GetFlagPoints()[0];
    ExpectNear(camera->GetEye(), Vector3(f.x - 25, f.y + 15, f.z - 25));
    // A played match has no controller and follows the player.
    StartFromMainMenu();
    ASSERT_TRUE(Until([&] { return view->IsGameRunning(); }, 40));
    EXPECT_EQ(view->GetCameraController(), nullptr);
    EXPECT_EQ(view->GetActiveCameraId(), HumanGameView::kFollowCamera);
    EXPECT_EQ(view->GetActiveCamera()->GetMode(), IViewCamera::kFollow);
}

TEST_F(ViewPartsTest, MenuMusicBehindTheMenuLevelMusicInAMatch) {
    ASSERT_NE(view->GetMusicMan(), nullptr);
    ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
    Frames(2);
    Audio::MusicMan* music = view->GetMusicMan();
    ASSERT_TRUE(music->GetTrack(0)) << "the audio did not start";
    EXPECT_TRUE(music->GetTrack(0)->IsSounding());
    StartFromMainMenu();
    ASSERT_TRUE(Until([&] { return view->IsGameRunning(); }, 40));
    Frames(10);
    ASSERT_TRUE(music->GetTrack(1));
    EXPECT_TRUE(music->GetTrack(1)->IsSounding());
}

TEST_F(ViewPartsTest, DisplaySwitchesGoThroughTheOneModeSwitch) {
    ASSERT_TRUE(view->IsDeviceReady());
    Gfx::D3D9Core* core = Gfx::GfxEngine::Instance()->GetCore();
    Tap(SDL_SCANCODE_F12);  // windowed 1024 x 768
    Frame();
    EXPECT_TRUE(core->GetPresentParams().windowed);
    EXPECT_EQ(core->GetPresentParams().backBufferWidth, 1024);
    EXPECT_EQ(core->GetPresentParams().backBufferHeight, 768);
    EXPECT_EQ(view->GetWindowWidth(), 1024);
    // Full screen 1024 x 768 (the offscreen display may refuse it: the
    // device then stays in a mode it can draw in).
    const int drawn = view->GetFramesDrawn();
    Tap(SDL_SCANCODE_F11);
    Frame();
    EXPECT_EQ(core->GetPresentParams().backBufferWidth, 1024);
    EXPECT_EQ(core->GetPresentParams().backBufferHeight, 768);
    EXPECT_GT(view->GetFramesDrawn(), drawn + 2);
    Tap(SDL_SCANCODE_F12);
    Frame();
    EXPECT_TRUE(core->GetPresentParams().windowed);
}

TEST_F(ViewPartsTest, SuspendOpensTheInGameMenuOnceAndResumeHoldsTheMouseAgain) {
    StartPlayedMatch();
    EventTypes::EventPowerSuspend suspend;
    EventSystem::TriggerEvent(suspend);
    EXPECT_TRUE(view->IsInGameMenuOpen());
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused), 1);
    EXPECT_FALSE(view->GetInput()->IsMouseAcquired());
    const size_t screens = view->GetScreens().size();
    EventTypes::EventPowerSuspendResume resume(0);
    EventSystem::TriggerEvent(resume);
    EXPECT_EQ(view->GetScreens().size(), screens);  // the menu is not opened twice
    EXPECT_TRUE(view->GetInput()->IsMouseAcquired());
    Frames(2);
    EXPECT_TRUE(view->IsGameRunning());
}

TEST_F(ViewPartsTest, OpeningPictureStepsThroughItsTwoTexturesAndShrinks) {
    ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
    Gfx::Spatial* scene = Gfx::DrawScreen::Instance()->GetSpatial();
    auto texture = [](int tag) {
        std::shared_ptr<Gfx::Texture> t;
        EXPECT_TRUE(Gfx::GfxEngine::Instance()->GetStateMan()->RequestTexture(tag, t)) << tag;
        return t;
    };
    std::shared_ptr<Gfx::IDrawObj> quad;
    int id = -1;
    {
        OpenScreen open("Config/menus/creditsmenu.ini");
        id = open.GetBackgroundId();
        ASSERT_TRUE(scene->GetUIObject(id, quad));
        EXPECT_EQ(quad, open.GetBackground());
        EXPECT_FLOAT_EQ(quad->GetScale().x, 1.0f);
        EXPECT_NE(quad->TopState().texture, texture(OpenScreen::kFirstTexture));
        Input::EventIsPressed up("UP");
        open.OnEvent(up);
        EXPECT_EQ(quad->TopState().texture, texture(OpenScreen::kFirstTexture));
        EXPECT_FLOAT_EQ(quad->GetScale().x, 1.0f);
        open.OnEvent(up);
        EXPECT_EQ(quad->TopState().texture, texture(OpenScreen::kSecondTexture));
        EXPECT_FLOAT_EQ(quad->GetScale().x, 0.8f);
        EXPECT_FLOAT_EQ(quad->GetScale().y, 0.8f);
    }
    // The picture goes with its screen.
    std::shared_ptr<Gfx::IDrawObj> gone;
    EXPECT_FALSE(scene->GetUIObject(id, gone));
}
