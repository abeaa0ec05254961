// The game screen's commands, mouse look and movement against a camera it
// is handed; the screen base's file keys; the drawn cursor's place and
// visibility; the orbit camera.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "events/types/CommandEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "screens/GameScreen.h"
#include "screens/LocalPlayer.h"
#include "screens/MouseCursor.h"
#include "screens/OrbitCamera.h"
#include "screens/ScreenHost.h"
#include "support/Harness.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

class Host : public IScreenHost {
public:
    Host() : camera(Vector3(0, 5, -10), Vector3(0, 0, 0), -1.0f, 1.0f, 4.0f, 16.0f) {}
    IViewCamera* GetActiveCamera() override { return &camera; }
    void FollowLocalActor() override { ++follows; }
    void UpdateScene(unsigned ms) override { sceneMs += ms; }
    void SwitchDisplay(bool fullScreen) override { switches += fullScreen ? "F" : "W"; }
    OrbitCamera camera;
    int follows = 0;
    unsigned sceneMs = 0;
    std::string switches;
};

class GameScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Create();
        PublishLocalPlayer(42, 0);
        host.camera.SetMode(IViewCamera::kFollow);
        host.camera.SetPitch(0.3f);
        host.camera.SetYaw(-1.5707963f);
        host.camera.Update(16);
        recorder.Listen<EventTypes::EventCommandPickUpBlock, EventTypes::EventCommandCreateBlock,
                        EventTypes::EventCommandActorJump, EventTypes::EventCommandThrowBlock,
                        EventTypes::EventCreateInGameMenu, EventTypes::EventCommandWhistle,
                        EventTypes::EventCommandActorTurn, EventTypes::EventHackActorView,
                        EventTypes::EventCommandActorMove>();
    }
    void TearDown() override {
        PublishLocalPlayer(kNoLocalActor, kNoLocalTeam);
        TestSupport::ResetSingletons();
    }
    void Offer(const EventSystem::IEvent& e) {
        recorder.Clear();
        EXPECT_FALSE(screen.OnEvent(e));
        EventSystem::ProcessEventQueue();
    }
    uint8_t Flag(int i) { return GlobalGameState::Instance()->GetFlag(i); }
    Host host;
    GameScreen screen{&host};
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_F(GameScreenTest, PressedCommands) {
    struct Row {
        const char* command;
        std::vector<std::string> events;
        std::string switches;
    };
    const Row rows[] = {
        {"PICK_UP", {"VtLCommandPickUpBlock"}, ""},
        {"BOMB", {"VtLCreateBlock"}, ""},
        {"JUMP", {"VtlCommandActorJump"}, ""},
        {"THROW", {"LtoVCommandThrowBlock"}, ""},
        {"ESC", {"VtVSpawnInGameMenu"}, ""},
        {"WHISTLE", {"VtLWhistle"}, ""},
        {"FS1024", {}, "F"},
        {"WN1024", {}, "FW"},
        {"UP", {}, "FW"},
        {"jump", {}, "FW"},
    };
    for (const Row& row : rows) {
        Offer(Input::EventIsPressed(row.command));
        EXPECT_EQ(recorder.Names(), row.events) << row.command;
        EXPECT_EQ(host.switches, row.switches) << row.command;
    }
    Offer(Input::EventIsPressed("BOMB"));
    auto bombs = recorder.Of<EventTypes::EventCommandCreateBlock>();
    ASSERT_EQ(bombs.size(), 1u);
    EXPECT_EQ(bombs[0]->GetPayload()->objectType, 9);
    EXPECT_EQ(bombs[0]->GetPayload()->actorId, -1);
    Offer(Input::EventIsPressed("THROW"));
    auto throws = recorder.Of<EventTypes::EventCommandThrowBlock>();
    ASSERT_EQ(throws.size(), 1u);
    EXPECT_EQ(throws[0]->GetPayload()->actorId, 42);
    const Vector3 view = host.camera.GetViewDirection();
    EXPECT_FLOAT_EQ(throws[0]->GetPayload()->direction.y, view.y);
    EXPECT_LT(view.y, 0.0f);  // the camera looks down at the player
    // No whistle in a network game.
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kMultiplayer, 1);
    Offer(Input::EventIsPressed("WHISTLE"));
    EXPECT_TRUE(recorder.Names().empty());
}

TEST_F(GameScreenTest, CameraSwitchesAndInversionToggles) {
    Offer(Input::EventIsPressed("CAMTOFREE"));
    EXPECT_EQ(host.camera.GetMode(), IViewCamera::kFree);
    Offer(Input::EventIsPressed("CAMTOLOCK"));
    EXPECT_EQ(host.follows, 1);
    for (int i = 0; i < 2; ++i) {
        Offer(Input::EventIsPressed("INVERT_MOUSE_X"));
        EXPECT_EQ(Flag(GlobalGameState::kInvertMouseX), i == 0 ? 1 : 0);
        Offer(Input::EventIsPressed("INVERT_MOUSE_Y"));
        EXPECT_EQ(Flag(GlobalGameState::kInvertMouseY), i == 0 ? 1 : 0);
    }
}

TEST_F(GameScreenTest, MouseLookByModeAndInversion) {
    struct Row {
        int mode;
        uint8_t invertX, invertY;
        float yawChange, pitchChange;
        bool turns;
    };
    const Row rows[] = {
        {IViewCamera::kFollow, 0, 0, +0.3f, +0.15f, true},
        {IViewCamera::kFollow, 1, 0, -0.3f, +0.15f, true},
        {IViewCamera::kFollow, 0, 1, +0.3f, -0.15f, true},
        {IViewCamera::kFree, 0, 0, +0.3f, +0.15f, false},
        {IViewCamera::kFree, 1, 0, +0.3f, +0.15f, false},  // flag 10 has no effect
    };
    for (const Row& row : rows) {
        host.camera.SetMode(row.mode);
        host.camera.SetYaw(-1.0f);
        host.camera.SetPitch(0.2f);
        host.camera.Update(16);
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kInvertMouseX, row.invertX);
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kInvertMouseY, row.invertY);
        const Vector3 before = host.camera.GetViewDirection();
        Offer(Input::EventMouseMove(100, 50, 0));
        EXPECT_NEAR(host.camera.GetYaw() - (-1.0f), row.yawChange, 1e-5f) << row.mode << row.invertX;
        EXPECT_NEAR(host.camera.GetPitch() - 0.2f, row.pitchChange, 1e-5f) << row.mode << row.invertY;
        auto turns = recorder.Of<EventTypes::EventCommandActorTurn>();
        EXPECT_EQ(turns.size(), row.turns ? 1u : 0u);
        EXPECT_EQ(recorder.Of<EventTypes::EventHackActorView>().size(), row.turns ? 1u : 0u);
        if (!turns.empty()) {
            // The turn faces where the camera looked before this motion.
            const Vector3 f = turns[0]->GetPayload()->orientation.Rotate(Vector3(0, 0, 1));
            const float l = std::hypot(before.x, before.z);
            EXPECT_NEAR(f.x, before.x / l, 1e-4f);
            EXPECT_NEAR(f.z, before.z / l, 1e-4f);
            EXPECT_EQ(turns[0]->GetPayload()->actorId, 42);
        }
    }
    // The pitch stays within the camera's limits.
    host.camera.SetMode(IViewCamera::kFollow);
    Offer(Input::EventMouseMove(0, 100000, 0));
    EXPECT_FLOAT_EQ(host.camera.GetPitch(), 1.0f);
}

TEST_F(GameScreenTest, LookingStraightDownSendsNoTurn) {
    host.camera.SetMode(IViewCamera::kFixedPoint);
    host.camera.SetEye(Vector3(0, 10, 0));
    host.camera.SetFixedPoint(Vector3(0, 0, 0));
    host.camera.Update(16);
    Offer(Input::EventMouseMove(10, 0, 0));
    EXPECT_TRUE(recorder.Of<EventTypes::EventCommandActorTurn>().empty());
    Offer(Input::EventMoveDir(0, 0, 1));
    auto moves = recorder.Of<EventTypes::EventCommandActorMove>();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0]->GetPayload()->direction.z, 0.0f);
}

TEST_F(GameScreenTest, WheelChangesTheFollowDistanceAndIsReversedWhenFree) {
    const float d = host.camera.GetDistance();
    Offer(Input::EventMouseMove(0, 0, 240));
    EXPECT_NEAR(host.camera.GetDistance(), d - 1.2f, 1e-5f);
    host.camera.SetMode(IViewCamera::kFree);
    host.camera.Update(16);
    const Vector3 eye = host.camera.GetEye();
    const Vector3 back = host.camera.GetViewDirection();  // negated: from the point to the eye
    Offer(Input::EventMouseMove(0, 0, 240));
    // Free: the wheel moves along the camera's back axis, reversed: forward.
    const Vector3 moved = host.camera.GetEye() - eye;
    EXPECT_NEAR(Geometry::Dot(moved, back), 1.2f, 1e-3f);
}

TEST_F(GameScreenTest, MovementTurnedIntoTheCamerasFrame) {
    host.camera.SetYaw(0.0f);  // eye on +x of the point: looking along -x
    host.camera.Update(16);
    struct Row {
        Vector3 in, out;
    };
    const Row rows[] = {
        {{0, 0, 0}, {0, 0, 0}},
        {{0, 0, 1}, {-1, 0, 0}},
        {{0, 0, -1}, {1, 0, 0}},
        {{1, 0, 0}, {0, 0, 1}},
    };
    for (const Row& row : rows) {
        Offer(Input::EventMoveDir(row.in.x, row.in.y, row.in.z));
        auto moves = recorder.Of<EventTypes::EventCommandActorMove>();
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_NEAR(moves[0]->GetPayload()->direction.x, row.out.x, 1e-5f);
        EXPECT_NEAR(moves[0]->GetPayload()->direction.z, row.out.z, 1e-5f);
        EXPECT_EQ(moves[0]->GetPayload()->actorId, 42);
    }
}

TEST_F(GameScreenTest, HeldCameraKeysMoveAFreeCamera) {
    host.camera.SetMode(IViewCamera::kFree);
    host.camera.Update(16);
    const Vector3 eye = host.camera.GetEye();
    Offer(Input::EventIsHeld("CAMUP"));
    EXPECT_NEAR((host.camera.GetEye() - eye).Length(), 0.5f, 1e-5f);
    EXPECT_GT(host.camera.GetEye().y, eye.y);
    screen.OnUpdate(16, true);
    EXPECT_EQ(host.sceneMs, 16u);
}

// ---------------------------------------------------------------- cursor

TEST(MouseCursorTest, ClampsAndPairsItsHiddenStates) {
    MouseCursor cursor("missing.ini");
    EXPECT_EQ(cursor.GetDepth(), 0);
    cursor.MoveX(-5.0f);
    cursor.MoveY(5.0f);
    EXPECT_EQ(cursor.GetX(), 0.0f);
    EXPECT_FLOAT_EQ(cursor.GetY(), 0.99f);
    EXPECT_FLOAT_EQ(cursor.GetQuadY(), 1.01f);
    cursor.Hide();
    cursor.Hide();
    cursor.Show();
    EXPECT_TRUE(cursor.IsVisible());
    EXPECT_EQ(cursor.GetHiddenStates(), 0);
    // A direct write leaves the quad until the next movement.
    cursor.SetPosition(0.3f, 0.4f);
    EXPECT_FLOAT_EQ(cursor.GetQuadX(), 0.02f);
    cursor.MoveX(0.1f);
    EXPECT_FLOAT_EQ(cursor.GetQuadX(), 0.42f);
    EXPECT_FLOAT_EQ(cursor.GetQuadY(), 0.42f);
}

namespace {
class PlainScreen : public IScreen {
public:
    PlainScreen(const std::string& file, bool place) : IScreen(file, true, place) {}
    void OnUpdate(unsigned, bool) override {}
    bool OnEvent(const EventSystem::IEvent&) override { return false; }
};
}  // namespace

TEST(ScreenBaseTest, FileSetsTheCursorAndTheOpeningEffect) {
    TestSupport::ResetSingletons();
    char path[] = "/tmp/mirav-screen-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(path) << "[CONFIG]\nshowMouse = 1\nmouseX = 0.3\nmouseY = 0.4\neffect = MenuOpen\n";
    CreateMouseCursor();
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventTypes::EventCreateEffect>();
    GetMouseCursor()->Hide();
    GetMouseCursor()->SetPosition(0.1f, 0.1f);
    PlainScreen unplaced(path, false);
    EXPECT_TRUE(GetMouseCursor()->IsVisible());
    EXPECT_FLOAT_EQ(GetMouseCursor()->GetX(), 0.1f);
    PlainScreen placed(path, true);
    EXPECT_FLOAT_EQ(GetMouseCursor()->GetX(), 0.3f);
    EXPECT_FLOAT_EQ(GetMouseCursor()->GetY(), 0.4f);
    EventSystem::ProcessEventQueue();
    auto effects = recorder.Of<EventTypes::EventCreateEffect>();
    ASSERT_EQ(effects.size(), 2u);
    EXPECT_EQ(effects[0]->GetPayload()->effectName, "MenuOpen");
    // A missing file: no keys, no effect, cursor hidden.
    PlainScreen missing("no/such/file.ini", true);
    EXPECT_FALSE(GetMouseCursor()->IsVisible());
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Of<EventTypes::EventCreateEffect>().size(), 2u);
    DestroyMouseCursor();
    std::remove(path);
    TestSupport::ResetSingletons();
}

// ---------------------------------------------------------------- camera

TEST(OrbitCameraTest, FollowsItsTargetAndKeepsAboveTheGround) {
    OrbitCamera camera(Vector3(0, 0, 0), Vector3(0, 0, 1), -1.2f, 1.2f, 4.0f, 10.0f);
    Vector3 target(3, 1, 2);
    camera.SetTarget([&](Vector3& p, float& h) {
        p = target;
        h = 2.0f;
        return true;
    });
    camera.SetMode(IViewCamera::kFollow);
    EXPECT_FLOAT_EQ(camera.GetDistance(), 7.0f);
    camera.SetPitch(0.5f);
    camera.SetYaw(0.25f);
    camera.Update(16);
    EXPECT_FLOAT_EQ(camera.GetLookAt().y, 3.0f);
    EXPECT_NEAR((camera.GetEye() - camera.GetLookAt()).Length(), 7.0f, 1e-4f);
    camera.Move(Vector3(0, 0, 100));
    EXPECT_FLOAT_EQ(camera.GetDistance(), 4.0f);
    camera.Move(Vector3(0, 0, -100));
    EXPECT_FLOAT_EQ(camera.GetDistance(), 10.0f);
    // Looking up from below the target: the eye slides up to y 0.2 on its line.
    camera.SetPitch(-1.0f);
    camera.Update(16);
    EXPECT_NEAR(camera.GetEye().y, 0.2f, 1e-4f);
    const Vector3 d = camera.GetViewDirection();
    EXPECT_NEAR(d.y, std::sin(1.0f), 1e-4f);
}
