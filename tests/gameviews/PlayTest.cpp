// A person plays: keys and mouse pushed into SDL's queue reach the local
// player's actor of a real match on a shipped level through the real view.
#include <cmath>

#include "ViewFixture.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "physics/PhysBody.h"
#include "screens/ViewCamera.h"

using namespace ViewTest;
using Geometry::Vector3;

namespace {

Vector3 Facing(const GameLogicView::ActorPtr& actor) {
    return actor->body->GetOrientation().Rotate(Vector3(0.0f, 0.0f, 1.0f));
}

Vector3 Flat(const Vector3& v) {
    const float l = std::sqrt(v.x * v.x + v.z * v.z);
    return l > 0.0f ? Vector3(v.x / l, 0.0f, v.z / l) : Vector3();
}


class PlayTest : public ViewFixture {
protected:
    void SetUp() override {
        ViewFixture::SetUp();
        StartPlayedMatch();
        recorder.Listen<EventTypes::EventCommandActorMove, EventTypes::EventCommandActorTurn,
                        EventTypes::EventCommandActorJump, EventTypes::EventCommandThrowBlock,
                        EventTypes::EventUpdateJump>();
    }
    // The local player's move commands (the bots raise theirs too).
    std::vector<std::shared_ptr<EventTypes::EventCommandActorMove>> LocalMoves() const {
        std::vector<std::shared_ptr<EventTypes::EventCommandActorMove>> out;
        for (auto& m : recorder.Of<EventTypes::EventCommandActorMove>())
            if (m->GetPayload()->actorId == GameLogicView::HumanGameView::GetLocalActor()) out.push_back(m);
        return out;
    }
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_F(PlayTest, HoldingForwardMovesTheLocalActorWhereTheCameraLooks) {
    ASSERT_EQ(view->GetActiveCameraId(), GameLogicView::HumanGameView::kFollowCamera);
    const Vector3 forward = Flat(view->GetActiveCamera()->GetViewDirection());
    Frames(20);  // settle on the ground
    const Vector3 start = LocalPosition();
    EXPECT_LT(std::hypot(LocalActor()->body->GetVelocity().x, LocalActor()->body->GetVelocity().z), 0.1f);
    PushKey(true, SDL_SCANCODE_W);
    // The spawn lies in a small pen: a few frames of running before a wall.
    float fastest = 0.0f;
    for (int i = 0; i < 8; ++i) {
        Frame();
        fastest = std::max(fastest, Geometry::Dot(LocalActor()->body->GetVelocity(), forward));
    }
    const Vector3 end = LocalPosition();
    const Vector3 moved(end.x - start.x, 0.0f, end.z - start.z);
    EXPECT_GT(fastest, 10.0f);
    EXPECT_GT(Geometry::Dot(moved, forward), 0.2f) << "moved " << moved.x << "," << moved.z;
    // Straight ahead.
    EXPECT_LT(std::fabs(moved.x * forward.z - moved.z * forward.x), 0.1f * Geometry::Dot(moved, forward));
    auto moves = LocalMoves();
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back()->GetPayload()->actorId, GameLogicView::HumanGameView::GetLocalActor());
    EXPECT_GT(Geometry::Dot(moves.back()->GetPayload()->direction, forward), 0.999f);
    // The follow camera keeps the player in view: it looks at the player.
    Frames(2);
    const Vector3 at = view->GetActiveCamera()->GetLookAt();
    const Vector3 p = LocalPosition();
    EXPECT_LT(std::hypot(at.x - p.x, at.z - p.z), 0.5f);
    EXPECT_GT(at.y, p.y);
    const Vector3 eye = view->GetActiveCamera()->GetEye();
    EXPECT_GT(std::hypot(eye.x - p.x, eye.z - p.z) + std::fabs(eye.y - p.y), 1.0f);
}

TEST_F(PlayTest, MouseMotionTurnsTheCameraAndTheActorWithIt) {
    GameLogicView::IViewCamera* camera = view->GetActiveCamera();
    const float yaw = camera->GetYaw();
    PushMotion(300, 0);
    Frames(4);
    // Right: the yaw grows by dx x 0.003 (no inversion).
    EXPECT_NEAR(camera->GetYaw() - yaw, 0.9f, 1e-4f);
    const Vector3 facing = Flat(Facing(LocalActor()));
    const Vector3 looking = Flat(camera->GetViewDirection());
    EXPECT_GT(Geometry::Dot(facing, looking), 0.999f);
    ASSERT_FALSE(recorder.Of<EventTypes::EventCommandActorTurn>().empty());
}

TEST_F(PlayTest, JumpKeyMakesTheActorJump) {
    Frames(30);
    const float ground = LocalPosition().y;
    Tap(SDL_SCANCODE_SPACE);
    float top = ground;
    for (int i = 0; i < 20; ++i) {
        Frame();
        top = std::max(top, LocalPosition().y);
    }
    EXPECT_GT(top, ground + 0.5f);
    auto jumps = recorder.Of<EventTypes::EventUpdateJump>();
    ASSERT_EQ(jumps.size(), 1u);
    EXPECT_EQ(jumps[0]->GetPayload()->actorId, GameLogicView::HumanGameView::GetLocalActor());
}

TEST_F(PlayTest, LeftButtonRaisesTheThrowCommandAlongTheView) {
    PushButton(true, SDL_BUTTON_LEFT);
    Frame();
    const Vector3 aim = view->GetActiveCamera()->GetViewDirection();
    PushButton(false, SDL_BUTTON_LEFT);
    Frames(2);
    auto throws = recorder.Of<EventTypes::EventCommandThrowBlock>();
    ASSERT_EQ(throws.size(), 1u);
    EXPECT_EQ(throws[0]->GetPayload()->actorId, GameLogicView::HumanGameView::GetLocalActor());
    EXPECT_NEAR(throws[0]->GetPayload()->direction.x, aim.x, 1e-5f);
    EXPECT_NEAR(throws[0]->GetPayload()->direction.y, aim.y, 1e-5f);
    EXPECT_NEAR(throws[0]->GetPayload()->direction.z, aim.z, 1e-5f);
}

TEST_F(PlayTest, FocusLossStopsTheRunningActor) {
    Frames(20);
    const auto speed = [&] {
        const Vector3 v = LocalActor()->body->GetVelocity();
        return std::hypot(v.x, v.z);
    };
    // Backwards: the spawn pen has more room behind.
    PushKey(true, SDL_SCANCODE_S);
    Frames(6);
    ASSERT_GT(speed(), 5.0f);
    auto moves = LocalMoves();
    ASSERT_FALSE(moves.empty());
    ASSERT_GT(moves.back()->GetPayload()->direction.z * moves.back()->GetPayload()->direction.z +
                  moves.back()->GetPayload()->direction.x * moves.back()->GetPayload()->direction.x,
              0.99f);
    // The key is let go in another window: only the focus loss is reported.
    const size_t before = moves.size();
    PushFocusLost();
    Frames(20);
    EXPECT_LT(speed(), 0.5f);
    // Apart from the one already on its way when the loss came, every move
    // command is a stop (not a run held against a wall).
    moves = LocalMoves();
    ASSERT_GT(moves.size(), before + 10);
    for (size_t i = before + 1; i < moves.size(); ++i) {
        EXPECT_EQ(moves[i]->GetPayload()->direction.x, 0.0f) << i;
        EXPECT_EQ(moves[i]->GetPayload()->direction.z, 0.0f) << i;
    }
    const Vector3 a = LocalPosition();
    Frames(10);
    const Vector3 b = LocalPosition();
    EXPECT_LT(std::hypot(b.x - a.x, b.z - a.z), 0.05f);
}
