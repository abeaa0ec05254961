#include "screens/GameScreen.h"

#include <cmath>

#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "screens/LocalPlayer.h"
#include "screens/ScreenHost.h"
#include "screens/ViewCamera.h"
#include "utility/Console.h"

namespace GameLogicView {

using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

bool IsZero(const Vector3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The camera's view direction flattened onto the ground, normalised; false
// when the camera looks straight up or down.
bool FlatViewDirection(const IViewCamera& camera, Vector3& out) {
    const Vector3 d = camera.GetViewDirection();
    const float len = std::sqrt(d.x * d.x + d.z * d.z);
    if (!(len > 0.0f)) return false;
    out = Vector3(d.x / len, 0.0f, d.z / len);
    return true;
}

GlobalGameState& State() { return *GlobalGameState::Instance(); }

}  // namespace

GameScreen::GameScreen(IScreenHost* host) : IScreen(kScreenFile, true, false), m_host(host) {}

void GameScreen::OnUpdate(unsigned elapsedMs, bool) {
    if (m_host) m_host->UpdateScene(elapsedMs);
}

bool GameScreen::OnEvent(const EventSystem::IEvent& event) {
    const uint32_t type = event.GetTypeHash();
    if (type == Input::EventIsPressed::GetStaticType().hash) {
        if (const auto* e = dynamic_cast<const Input::EventIsPressed*>(&event)) OnPressed(e->GetPayload()->command);
    } else if (type == Input::EventIsHeld::GetStaticType().hash) {
        if (const auto* e = dynamic_cast<const Input::EventIsHeld*>(&event)) OnHeld(e->GetPayload()->command);
    } else if (type == Input::EventMouseMove::GetStaticType().hash) {
        if (const auto* e = dynamic_cast<const Input::EventMouseMove*>(&event))
            OnMouseMove(e->GetPayload()->dx, e->GetPayload()->dy, e->GetPayload()->dz);
    } else if (type == Input::EventMoveDir::GetStaticType().hash) {
        if (const auto* e = dynamic_cast<const Input::EventMoveDir*>(&event)) OnMoveDir(e->GetPayload()->direction);
    }
    return false;
}

void GameScreen::OnPressed(const std::string& command) {
    const int16_t actor = PublishedLocalActor();
    IViewCamera* camera = m_host ? m_host->GetActiveCamera() : nullptr;
    if (command == "PICK_UP") {
        EventSystem::QueueEvent(new EventTypes::EventCommandPickUpBlock(actor));
    } else if (command == "BOMB") {
        EventSystem::QueueEvent(new EventTypes::EventCommandCreateBlock(Vector3(0.0f, 0.0f, 0.0f)));
    } else if (command == "JUMP") {
        EventSystem::QueueEvent(new EventTypes::EventCommandActorJump(actor));
    } else if (command == "THROW") {
        const Vector3 aim = camera ? camera->GetViewDirection() : Vector3(0.0f, 0.0f, 1.0f);
        EventSystem::QueueEvent(new EventTypes::EventCommandThrowBlock(actor, aim));
    } else if (command == "FS1024") {
        if (m_host) m_host->SwitchDisplay(true);
    } else if (command == "WN1024") {
        if (m_host) m_host->SwitchDisplay(false);
    } else if (command == "CAMTOLOCK") {
        if (m_host) m_host->FollowLocalActor();
    } else if (command == "CAMTOFREE") {
        if (camera) camera->SetMode(IViewCamera::kFree);
    } else if (command == "CONSOLE") {
        Utility::Console::Run();
    } else if (command == "ESC") {
        EventSystem::QueueEvent(new EventTypes::EventCreateInGameMenu());
    } else if (command == "WHISTLE") {
        if (State().GetFlag(GlobalGameState::kMultiplayer) == 0)
            EventSystem::QueueEvent(new EventTypes::EventCommandWhistle(actor));
    } else if (command == "INVERT_MOUSE_X") {
        State().SetFlag(GlobalGameState::kInvertMouseX, State().GetFlag(GlobalGameState::kInvertMouseX) ? 0 : 1);
    } else if (command == "INVERT_MOUSE_Y") {
        State().SetFlag(GlobalGameState::kInvertMouseY, State().GetFlag(GlobalGameState::kInvertMouseY) ? 0 : 1);
    }
}

void GameScreen::OnHeld(const std::string& command) {
    IViewCamera* camera = m_host ? m_host->GetActiveCamera() : nullptr;
    if (!camera) return;
    if (command == "CAMUP")
        camera->Move(Vector3(0.0f, kCameraStep, 0.0f));
    else if (command == "CAMDN")
        camera->Move(Vector3(0.0f, -kCameraStep, 0.0f));
    else if (command == "CAMLF")
        camera->Move(Vector3(-kCameraStep, 0.0f, 0.0f));
    else if (command == "CAMRT")
        camera->Move(Vector3(kCameraStep, 0.0f, 0.0f));
}

void GameScreen::OnMouseMove(int dx, int dy, int dz) {
    IViewCamera* camera = m_host ? m_host->GetActiveCamera() : nullptr;
    if (!camera) return;
    float yawStep = static_cast<float>(dx) * kMouseLookFactor;
    float pitchStep = static_cast<float>(dy) * kMouseLookFactor;
    float wheel = static_cast<float>(dz);
    if (State().GetFlag(GlobalGameState::kInvertMouseY) != 0) pitchStep = -pitchStep;
    if (camera->GetMode() == IViewCamera::kFree) {
        wheel = -wheel;
        yawStep = -yawStep;
    } else {
        if (State().GetFlag(GlobalGameState::kInvertMouseX) == 0) yawStep = -yawStep;
        // The player faces where the camera looked before this motion.
        Vector3 flat;
        if (FlatViewDirection(*camera, flat)) {
            const int16_t actor = PublishedLocalActor();
            EventSystem::QueueEvent(
                new EventTypes::EventCommandActorTurn(actor, Quaternion::FromTo(Vector3(0.0f, 0.0f, 1.0f), flat)));
            EventSystem::QueueEvent(new EventTypes::EventHackActorView(actor, camera->GetViewDirection()));
        }
    }
    camera->SetPitch(camera->GetPitch() + pitchStep);
    camera->SetYaw(camera->GetYaw() - yawStep);
    camera->ClampPitch();
    camera->Move(Vector3(0.0f, 0.0f, wheel * kWheelFactor));
}

void GameScreen::OnMoveDir(const Vector3& d) {
    Vector3 move(0.0f, 0.0f, 0.0f);
    IViewCamera* camera = m_host ? m_host->GetActiveCamera() : nullptr;
    if (!IsZero(d) && camera) {
        Vector3 flat;
        if (FlatViewDirection(*camera, flat))
            move = Quaternion::FromTo(Vector3(0.0f, 0.0f, 1.0f), flat).Rotate(d);
    }
    // Zero as well: letting go of the keys stops the player.
    EventSystem::QueueEvent(new EventTypes::EventCommandActorMove(PublishedLocalActor(), move));
}

}  // namespace GameLogicView
