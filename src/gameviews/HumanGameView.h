// The local player's view: brings up the graphics, the input and the
// screens, keeps the screen stack, sets up and tears down each match's view
// (the menu backdrop or a played match), and turns the logic's reports into
// what the player sees. It owns the follow and backdrop cameras.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "events/EventManager.h"
#include "gamelogic/GameView.h"
#include "processes/Process.h"
#include "screens/ScreenHost.h"
#include "utility/Geometry.h"

namespace Platform {
class Window;
}
namespace Input {
class Input;
}
namespace Audio {
class AudioMan;
class MusicMan;
}

namespace GameLogicView {

class IScreen;
class IViewCamera;
class OrbitCamera;
class MouseCursor;
class CameraController;
class ViewActorMan;
class ViewBlockMan;
class ViewPlayerMan;
class ViewFlagMan;
class EffectEventHandler;
class IEffectOutput;
class CueManager;
class SpeechBubbleMan;
class HudScreen;

class HumanGameView : public IGameView, public IScreenHost {
public:
    // Camera ids: 0 follows the local player, 2 overlooks the backdrop match.
    static constexpr int kFollowCamera = 0;
    static constexpr int kBackdropCamera = 2;
    // The exit code of the quit message after a normal end.
    static constexpr int kQuitCode = 0;
    // After a failed device set-up.
    static constexpr int kFatalQuitCode = 1;

    // With a window: the graphics engine on it, with the player's display
    // settings. Without one (flow tests) nothing is drawn; all else runs.
    explicit HumanGameView(Platform::Window* window);
    ~HumanGameView() override;

    void OnAttach() override {}
    void OnUpdate(int ms) override;
    void OnRender(int ms) override;

    // The screen stack (bottom first).
    void PushScreen(const std::shared_ptr<IScreen>& screen);
    bool PopScreen();
    const std::vector<std::shared_ptr<IScreen>>& GetScreens() const { return m_screens; }

    // The match tear-down; quit ends the program after one closing frame.
    void ResetView(bool quit);
    // The audio and music managers; false when the audio could not start
    // (the game then runs silent).
    bool InitAudio();
    void RegisterListeners();
    void RegisterGameListeners();

    static int16_t GetLocalActor();
    static uint8_t GetLocalTeam();

    // View registry.
    bool OnInputEvent(const EventSystem::IEvent& event);
    bool OnMouseMove(const EventSystem::IEvent& event);
    bool OnInitializeGameView(const EventSystem::IEvent& event);
    bool OnCloseScreen(const EventSystem::IEvent& event);
    bool OnOpenScreen(const EventSystem::IEvent& event);
    bool OnSpawnMainMenu(const EventSystem::IEvent& event);
    bool OnSpawnStartGameMenu(const EventSystem::IEvent& event);
    bool OnSpawnJoinGameMenu(const EventSystem::IEvent& event);
    bool OnSpawnOptionsMenu(const EventSystem::IEvent& event);
    bool OnGameOver(const EventSystem::IEvent& event);
    bool OnTeamVictory(const EventSystem::IEvent& event);
    bool OnStartGame(const EventSystem::IEvent& event);
    bool OnSpawnWinScreen(const EventSystem::IEvent& event);
    bool OnSpawnCreditsMenu(const EventSystem::IEvent& event);
    bool OnSpawnInGameMenu(const EventSystem::IEvent& event);
    bool OnKeepPlaying(const EventSystem::IEvent& event);
    bool OnPowerSuspend(const EventSystem::IEvent& event);
    bool OnPowerSuspendResume(const EventSystem::IEvent& event);
    bool OnPowerUpdate(const EventSystem::IEvent& event);
    // Match registry.
    bool OnCreateActor(const EventSystem::IEvent& event);
    bool OnDeleteActor(const EventSystem::IEvent& event);
    bool OnJoinConfirmed(const EventSystem::IEvent& event);
    bool ForwardToHud(const EventSystem::IEvent& event);
    bool OnCapturePointCreated(const EventSystem::IEvent& event);

    // IScreenHost.
    IViewCamera* GetActiveCamera() override;
    void FollowLocalActor() override;
    void UpdateScene(unsigned ms) override;
    void SwitchDisplay(bool fullScreen) override;

    ProcessSystem::ProcessManager& GetProcessManager() { return m_processes; }
    Input::Input* GetInput() const { return m_input.get(); }
    Audio::AudioMan* GetAudioMan() const { return m_audio.get(); }
    Audio::MusicMan* GetMusicMan() const { return m_music.get(); }
    IViewCamera* GetCamera(int id);
    bool SetActiveCamera(int id);
    int GetActiveCameraId() const { return m_activeCamera; }
    CameraController* GetCameraController() const { return m_cameraController.get(); }
    EffectEventHandler* GetEffectHandler() const { return m_effectHandler.get(); }
    // Null outside a played match.
    CueManager* GetCueManager() const { return m_cues.get(); }
    SpeechBubbleMan* GetSpeechBubbles() const { return m_bubbles.get(); }
    // Where effect sounds and particles go from the next match set-up on
    // (null: back to the audio manager). Borrowed.
    void SetEffectOutput(IEffectOutput* output) { m_effectOutputOverride = output; }
    bool IsInGameMenuOpen() const { return m_inGameMenuOpen; }
    bool IsGameRunning() const { return m_gameRunning; }
    bool IsMenuMode() const { return m_menuMode; }
    bool IsInitialised() const { return m_initialised; }
    bool IsDeviceReady() const { return m_deviceReady; }
    bool IsJoinConfirmed() const { return m_joinConfirmed; }
    const std::shared_ptr<IScreen>& GetGameScreen() const { return m_gameScreen; }
    const std::shared_ptr<IScreen>& GetHudScreen() const { return m_hudScreen; }
    // The HUD of the played match; null without one.
    HudScreen* GetHud() const { return m_hud; }
    size_t GetMatchListenerCount() const { return m_matchListeners; }
    size_t GetCapturePointCount() const { return m_capturePoints; }
    // Actors reported created in this match.
    size_t GetActorsReported() const { return m_actorsReported; }
    int GetWindowWidth() const { return m_windowWidth; }
    int GetWindowHeight() const { return m_windowHeight; }
    // The match's view objects; null outside a match.
    ViewActorMan* GetActorMan() const { return m_actorMan.get(); }
    ViewBlockMan* GetBlockMan() const { return m_blockMan.get(); }
    ViewPlayerMan* GetPlayerMan() const { return m_playerMan.get(); }
    ViewFlagMan* GetFlagMan() const { return m_flagMan.get(); }
    // Frames drawn since construction (the device presented them).
    int GetFramesDrawn() const { return m_framesDrawn; }

private:
    void SetLocalPlayer(int16_t actor, uint8_t team);
    void MakeCameras();
    void LoadGraphics(const char* assetFile, const char* stateFile);
    void ReplaceTopScreen(const std::shared_ptr<IScreen>& screen);
    bool RouteInput(const EventSystem::IEvent& event);
    bool LocalActorPosition(Geometry::Vector3& position, float& height) const;
    void DestroyViewObjects();

    ProcessSystem::ProcessManager m_processes;
    std::unique_ptr<EventSystem::EventRegistry> m_viewRegistry;
    std::unique_ptr<EventSystem::EventRegistry> m_matchRegistry;
    std::shared_ptr<Input::Input> m_input;
    MouseCursor* m_cursor = nullptr;
    int m_windowWidth = 0, m_windowHeight = 0;
    bool m_wasWindowed = false;
    Platform::Window* m_window = nullptr;
    std::vector<std::shared_ptr<IScreen>> m_screens;
    std::shared_ptr<IScreen> m_hudScreen;
    HudScreen* m_hud = nullptr;  // m_hudScreen as the HUD it is
    std::shared_ptr<IScreen> m_gameScreen;
    bool m_inGameMenuOpen = false;
    bool m_gameRunning = false;
    bool m_menuMode = false;
    bool m_initialised = false;
    bool m_mainMenuOnFirstSetup = true;
    std::unique_ptr<CameraController> m_cameraController;
    std::shared_ptr<Audio::AudioMan> m_audio;
    std::shared_ptr<Audio::MusicMan> m_music;
    std::unique_ptr<IEffectOutput> m_effectOutput;
    IEffectOutput* m_effectOutputOverride = nullptr;
    std::unique_ptr<EffectEventHandler> m_effectHandler;
    std::unique_ptr<CueManager> m_cues;
    std::unique_ptr<SpeechBubbleMan> m_bubbles;
    void InitEffects(bool menuMode);
    Geometry::Vector3 m_lastEye;
    int16_t m_localActor = -1;
    uint8_t m_localTeam = 255;
    bool m_joinConfirmed = false;
    size_t m_capturePoints = 0;
    size_t m_actorsReported = 0;
    size_t m_matchListeners = 0;

    // The cameras: the scene's when there is a display, else cameras of our
    // own with the same orbit.
    std::map<int, std::unique_ptr<IViewCamera>> m_cameras;
    int m_activeCamera = -1;
    // The view objects of the match (players and flags first: they share
    // the blocks' and actors' records).
    std::unique_ptr<ViewActorMan> m_actorMan;
    std::unique_ptr<ViewBlockMan> m_blockMan;
    std::unique_ptr<ViewPlayerMan> m_playerMan;
    std::unique_ptr<ViewFlagMan> m_flagMan;

    bool m_deviceReady = false;
    bool m_ownsDrawScreen = false;
    bool m_ownsEngine = false;
    int m_framesDrawn = 0;
};

}  // namespace GameLogicView
