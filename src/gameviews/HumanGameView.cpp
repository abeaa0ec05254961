#include "gameviews/HumanGameView.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "audio/AudioMan.h"
#include "audio/MusicMan.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/UserConfig.h"
#include "gameviews/CameraController.h"
#include "gameviews/CueManager.h"
#include "gameviews/EffectEventHandler.h"
#include "gameviews/HudScreen.h"
#include "gameviews/SpeechBubbleMan.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewPlayer.h"
#include "gameviews/SceneCamera.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gameviews/ViewFlag.h"
#include "gameviews/ViewPlayer.h"
#include "gameviews/ScreenFactory.h"
#include "gfx/AssetFiles.h"
#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawScreen.h"
#include "gfx/ParticleMan.h"
#include "gfx/Frustum.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gfx/GfxEngine.h"
#include "ini/IniFile.h"
#include "input/Input.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "screens/GameScreen.h"
#include "screens/IScreen.h"
#include "screens/LocalPlayer.h"
#include "screens/MouseCursor.h"
#include "screens/OrbitCamera.h"
#include "screens/SimpleScreens.h"
#include "screens/TextMan.h"
#include "utility/Console.h"
#include "utility/Profiler.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

const char* const kConfigFile = "Config/Config.ini";
const char* const kHardwareCaption = "Hardware does not meet requirements";
const char* const kHardwareText =
    "Mirav requires a graphics chipset and driver with OpenGL 3.3 and GLSL 3.30 shaders. Unfortunately, this "
    "system does not support them. The graphics chipset or its driver must be upgraded to play Mirav. The game "
    "will now terminate.";

using EventSystem::PayloadOf;

// Read once per run, at the first played match that reaches them.
bool HudEnabled() {
    static const bool enabled = Utility::ReadConfig<bool>("VIEW", "HudEnable", false);
    return enabled;
}

// The player may turn the bots' chat bubbles off; read once per run too.
bool SpeechBubblesDisabled() {
    static const bool disabled = Utility::ReadConfig<bool>("MISC", "disableSpeechBubbles", false);
    return disabled;
}

GlobalGameState& State() { return *GlobalGameState::Instance(); }

bool IsPaused() { return State().GetFlag(GlobalGameState::kPaused) != 0; }

// The follow camera and the backdrop camera where the graphics asset file
// has none: pitch limits pi / a and pi / b, distance limits.
struct CameraDefaults {
    int id;
    Vector3 eye, lookAt;
    float a, b, minDistance, maxDistance;
};
const CameraDefaults kCameraDefaults[] = {
    {0, {0.0f, 10.0f, -10.0f}, {0.0f, 0.0f, 0.0f}, -9.0f, 2.5f, 4.0f, 16.0f},
    {2, {-60.0f, 40.0f, -60.0f}, {0.0f, 0.0f, 0.0f}, -2.0f, 2.0f, 10.0f, 200.0f},
};
constexpr float kFollowPitch = 0.35f;
constexpr float kFollowYaw = -1.5707963f;  // behind the player, looking along +z

}  // namespace

// ------------------------------------------------------------ construction

HumanGameView::HumanGameView(Platform::Window* window)
    : m_viewRegistry(std::make_unique<EventSystem::EventRegistry>()),
      m_matchRegistry(std::make_unique<EventSystem::EventRegistry>()) {
    m_window = window;
    PublishLocalPlayer(m_localActor, m_localTeam);
    GlobalGameState::Create();

    if (window) {
        const UserConfig& options = State().GetUserConfig();
        Gfx::DisplaySettings settings;
        settings.width = options.width;
        settings.height = options.height;
        settings.fsaaSamples = options.antialiasing;
        settings.windowed = Utility::ReadConfig<bool>("Engine", "windowed", false);
        Gfx::GfxEngine* engine = Gfx::GfxEngine::Create();
        m_ownsEngine = true;
        engine->Initialize(window, settings);
        Gfx::D3D9Core* core = engine->GetCore();
        if (!engine->IsPixelShader20Supported()) {
            Platform::ShowFatalError(kHardwareCaption, kHardwareText);
            Platform::PostQuit(kFatalQuitCode);
        } else if (!core || !core->GetDevice() || !core->GetDevice()->HasSurface()) {
            // Not even 1024 x 768 without multisampling could be had.
            Platform::ShowFatalError("Mirav", "cannot set up the display in any mode");
            Platform::PostQuit(kFatalQuitCode);
        } else {
            m_deviceReady = true;
        }
    }

    if (window) window->GetWindowSize(&m_windowWidth, &m_windowHeight);
    MakeCameras();
    SetActiveCamera(kBackdropCamera);

    SetMouseCursorConfigFile(kConfigFile);
    CreateMouseCursor();

    // One loading frame before the game's assets load.
    PushScreen(MakeLoadingScreen());
    OnRender(16);
    PopScreen();
    LoadGraphics(Gfx::kGameAssetsFile, Gfx::kGameStatesFile);
    // Particle definitions name the game's textures, effects and particle buffer.
    if (Gfx::DrawScreen* ds = Gfx::DrawScreen::Instance())
        if (ds->GetSpatial() && ds->GetSpatial()->GetParticleMan())
            ds->GetSpatial()->GetParticleMan()->LoadParticleData("Config/Graphics/ParticleSystems.ini",
                                                                 "Config/Graphics/ParticleEffects.ini");
    MakeCameras();  // the game's asset file may bring its own
    SetActiveCamera(kBackdropCamera);
    if (MouseCursor* cursor = GetMouseCursor()) cursor->CreateQuad();

    InitAudio();
    // Cues and speech bubbles animate with the shared text effects.
    LoadTextEffects("Config/Text/effects.txt");
    m_effectHandler = std::make_unique<EffectEventHandler>();
    m_audio->PreloadResources([](float) {});

    m_input = std::make_shared<Input::Input>();
    m_input->Init();

    m_cursor = GetMouseCursor();
    if (m_cursor) m_cursor->SetPosition(0.5f, 0.4f);

    RegisterListeners();

    m_gameScreen = std::make_shared<GameScreen>(this);
    PushScreen(m_gameScreen);

    if (Utility::ReadConfig<bool>("MISC", "opscreen", true)) {
        EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(1));
    } else {
        PushScreen(MakeLoadingScreen());
        EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(0));
    }
    Utility::Console::Out() << "End Init HGV";
    Utility::Console::NewLine();
}

void HumanGameView::LoadGraphics(const char* assetFile, const char* stateFile) {
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!m_deviceReady || !engine) return;
    Gfx::EngineAssetSink sink(*engine);
    Gfx::LoadAssetFile(assetFile, sink);
    if (Gfx::StateMan* states = engine->GetStateMan()) Gfx::LoadStateFile(stateFile, *states);
}

void HumanGameView::MakeCameras() {
    if (m_deviceReady) {
        Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
        if (!screen) {
            screen = Gfx::DrawScreen::Create();
            m_ownsDrawScreen = true;
            screen->Initialize(kConfigFile);
            screen->SetPausedQuery([] { return IsPaused(); });
            // What the loading screen shows (its cameras among it).
            LoadGraphics(Gfx::kLoadingAssetsFile, Gfx::kLoadingStatesFile);
        }
        Gfx::CameraMan* cameras = screen->GetCameraMan();
        for (const CameraDefaults& c : kCameraDefaults) {
            if (!cameras->GetCamera(c.id)) {
                const float aspect = m_windowHeight > 0 ? static_cast<float>(m_windowWidth) / m_windowHeight : 4.0f / 3.0f;
                cameras->LoadCamera(c.id, c.eye, c.lookAt, Vector3(0.0f, 1.0f, 0.0f), c.a, c.b, c.minDistance,
                                    c.maxDistance, std::make_shared<Gfx::Frustum>(0.9f, aspect, 0.5f, 1000.0f));
                if (c.id == kFollowCamera) {
                    cameras->GetCamera(c.id)->SetPitch(kFollowPitch);
                    cameras->GetCamera(c.id)->SetYawAngle(kFollowYaw);
                }
            }
            m_cameras[c.id] = std::make_unique<SceneCamera>(cameras->GetCamera(c.id));
        }
        return;
    }
    for (const CameraDefaults& c : kCameraDefaults) {
        auto camera = std::make_unique<OrbitCamera>(c.eye, c.lookAt, 3.14159265f / c.a, 3.14159265f / c.b,
                                                    c.minDistance, c.maxDistance);
        if (c.id == kFollowCamera) {
            camera->SetPitch(kFollowPitch);
            camera->SetYaw(kFollowYaw);
            camera->SetTarget([this](Vector3& position, float& height) { return LocalActorPosition(position, height); });
        }
        m_cameras[c.id] = std::move(camera);
    }
}

HumanGameView::~HumanGameView() {
    ResetView(true);
    m_effectHandler->Reset();
    m_effectOutput.reset();
    m_screens.clear();
    m_gameScreen.reset();
    if (m_music) m_music->StopAll();
    m_music.reset();
    if (m_audio) m_audio->ShutDown();
    m_audio.reset();
    m_hud = nullptr;
    m_hudScreen.reset();
    m_viewRegistry->UnregisterAll();
    DestroyViewObjects();
    DestroyMouseCursor();
    m_cursor = nullptr;
    m_input.reset();
    m_cameras.clear();
    if (m_ownsDrawScreen) Gfx::DrawScreen::Destroy();
    if (m_ownsEngine) Gfx::GfxEngine::Release();
    PublishLocalPlayer(kNoLocalActor, kNoLocalTeam);
    // The global game state is left to the shell, which destroys it once
    // after the main loop.
}

bool HumanGameView::InitAudio() {
    m_audio = std::make_shared<Audio::AudioMan>(kConfigFile);
    m_music = std::make_shared<Audio::MusicMan>();
    const bool ok = m_audio->Init();
    if (ok) m_music->Initialize(m_audio.get(), &m_processes, "MenuMusic", "Level1Music");
    return ok;
}

void HumanGameView::InitEffects(bool menuMode) {
    if (!m_effectOutput) m_effectOutput = std::make_unique<AudioEffectOutput>(m_audio.get());
    m_effectHandler->Reset();
    m_effectHandler->Initialize(m_effectOutputOverride ? m_effectOutputOverride : m_effectOutput.get(), &m_processes,
                                menuMode);
}

void HumanGameView::RegisterListeners() {
    EventSystem::EventRegistry& r = *m_viewRegistry;
    r.Register(Input::EventIsPressed::GetStaticType(), this, &HumanGameView::OnInputEvent);
    r.Register(Input::EventIsReleased::GetStaticType(), this, &HumanGameView::OnInputEvent);
    r.Register(Input::EventIsHeld::GetStaticType(), this, &HumanGameView::OnInputEvent);
    r.Register(Input::EventMoveDir::GetStaticType(), this, &HumanGameView::OnInputEvent);
    r.Register(Input::EventMouseMove::GetStaticType(), this, &HumanGameView::OnMouseMove);
    r.Register(EventTypes::EventUpdateInitializeGameView::GetStaticType(), this,
               &HumanGameView::OnInitializeGameView);
    r.Register(EventTypes::EventScreenClose::GetStaticType(), this, &HumanGameView::OnCloseScreen);
    r.Register(EventTypes::EventScreenOpen::GetStaticType(), this, &HumanGameView::OnOpenScreen);
    r.Register(EventTypes::EventCreateMainMenu::GetStaticType(), this, &HumanGameView::OnSpawnMainMenu);
    r.Register(EventTypes::EventCreateStartGameMenu::GetStaticType(), this, &HumanGameView::OnSpawnStartGameMenu);
    r.Register(EventTypes::EventCreateJoinGameMenu::GetStaticType(), this, &HumanGameView::OnSpawnJoinGameMenu);
    r.Register(EventTypes::EventCreateOptionsMenu::GetStaticType(), this, &HumanGameView::OnSpawnOptionsMenu);
    r.Register(EventTypes::EventUpdateGameOver::GetStaticType(), this, &HumanGameView::OnGameOver);
    r.Register(EventTypes::EventUpdateTeamVictory::GetStaticType(), this, &HumanGameView::OnTeamVictory);
    r.Register(EventTypes::EventUpdateStartGame::GetStaticType(), this, &HumanGameView::OnStartGame);
    r.Register(EventTypes::EventCreateWinScreen::GetStaticType(), this, &HumanGameView::OnSpawnWinScreen);
    r.Register(EventTypes::EventCreateCreditsMenu::GetStaticType(), this, &HumanGameView::OnSpawnCreditsMenu);
    r.Register(EventTypes::EventCreateInGameMenu::GetStaticType(), this, &HumanGameView::OnSpawnInGameMenu);
    r.Register(EventTypes::EventUpdateKeepPlaying::GetStaticType(), this, &HumanGameView::OnKeepPlaying);
    r.Register(EventTypes::EventPowerSuspend::GetStaticType(), this, &HumanGameView::OnPowerSuspend);
    r.Register(EventTypes::EventPowerSuspendResume::GetStaticType(), this, &HumanGameView::OnPowerSuspendResume);
    r.Register(EventTypes::EventPowerUpdate::GetStaticType(), this, &HumanGameView::OnPowerUpdate);
}

void HumanGameView::RegisterGameListeners() {
    EventSystem::EventRegistry& r = *m_matchRegistry;
    m_matchListeners = 0;
    const auto bind = [&](const EventSystem::EventType& type, bool (HumanGameView::*fn)(const EventSystem::IEvent&)) {
        if (r.Register(type, this, fn)) ++m_matchListeners;
    };
    bind(EventTypes::EventUpdateCreateActor::GetStaticType(), &HumanGameView::OnCreateActor);
    bind(EventTypes::EventUpdateDeleteActor::GetStaticType(), &HumanGameView::OnDeleteActor);
    bind(EventTypes::EventUpdateGameIDs::GetStaticType(), &HumanGameView::OnJoinConfirmed);
    bind(EventTypes::EventUpdateFlagCaptured::GetStaticType(), &HumanGameView::ForwardToHud);
    bind(EventTypes::EventUpdateFlagGrabbed::GetStaticType(), &HumanGameView::ForwardToHud);
    bind(EventTypes::EventUpdateFlagDropped::GetStaticType(), &HumanGameView::ForwardToHud);
    bind(EventTypes::EventUpdateFlagRecovered::GetStaticType(), &HumanGameView::ForwardToHud);
    bind(EventTypes::EventUpdateBotFollowPlayer::GetStaticType(), &HumanGameView::ForwardToHud);
    bind(EventTypes::EventUpdateCapPtCreated::GetStaticType(), &HumanGameView::OnCapturePointCreated);
}

int16_t HumanGameView::GetLocalActor() { return PublishedLocalActor(); }
uint8_t HumanGameView::GetLocalTeam() { return PublishedLocalTeam(); }

void HumanGameView::SetLocalPlayer(int16_t actor, uint8_t team) {
    m_localActor = actor;
    m_localTeam = team;
    PublishLocalPlayer(actor, team);
    if (m_playerMan) m_playerMan->SetLocalPlayer(static_cast<uint16_t>(actor));
    if (m_flagMan) m_flagMan->SetLocalTeam(team);
}

void HumanGameView::DestroyViewObjects() {
    // Processes first: none may outlive the view actor it works on.
    m_processes.DetachAll();
    m_flagMan.reset();
    m_playerMan.reset();
    m_blockMan.reset();
    m_actorMan.reset();
}

// --------------------------------------------------------------- per frame

void HumanGameView::OnUpdate(int ms) {
    if (m_audio) m_audio->Update();
    if (m_input) m_input->OnUpdate(ms);
    // Back in full screen after a windowed spell: hold the mouse again.
    bool windowed = m_wasWindowed;
    if (Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance())
        if (Gfx::D3D9Core* core = engine->GetCore()) windowed = core->GetPresentParams().windowed;
    if (m_wasWindowed && !windowed && m_input && !m_input->IsMouseAcquired()) {
        m_input->AcquireMouse();
        if (m_window) m_window->HideCursor();
    }
    m_wasWindowed = windowed;
    if (IsPaused()) return;
    m_processes.UpdateProcesses(ms);
    if (m_bubbles)
        if (IViewCamera* camera = GetActiveCamera()) {
            const Vector3 eye = camera->GetEye(), at = camera->GetLookAt();
            m_bubbles->Update(at - eye, eye);
        }
}

void HumanGameView::OnRender(int ms) {
    // Outside a running game the streams are serviced here as well.
    if (m_audio && !m_gameRunning) m_audio->Update();
    // Text effects run on while the game is paused: menus over it animate.
    UpdateTextEffects(static_cast<unsigned>(ms));
    if (IsPaused()) ms = 0;
    // Read afresh each step: a screen's update may change the stack.
    for (size_t i = 0; i < m_screens.size(); ++i) {
        const std::shared_ptr<IScreen> screen = m_screens[i];
        if (screen->IsActive()) screen->OnUpdate(static_cast<unsigned>(ms), i + 1 == m_screens.size());
    }
    if (!m_deviceReady) return;
    ProfileSection section("GFX_RENDER");
    if (Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance())
        if (Gfx::D3D9Core* core = engine->GetCore())
            if (core->Render()) ++m_framesDrawn;
}

// ------------------------------------------------------------ screen stack

void HumanGameView::PushScreen(const std::shared_ptr<IScreen>& screen) {
    if (screen) m_screens.push_back(screen);
}

bool HumanGameView::PopScreen() {
    if (m_screens.empty()) return false;
    m_screens.pop_back();
    if (!m_screens.empty() && m_cursor && m_screens.back()->ShowsMouse() != m_cursor->IsVisible())
        m_cursor->SetVisible(m_screens.back()->ShowsMouse());
    return false;
}

void HumanGameView::ReplaceTopScreen(const std::shared_ptr<IScreen>& screen) {
    PopScreen();
    PushScreen(screen);
}

bool HumanGameView::RouteInput(const EventSystem::IEvent& event) {
    for (size_t i = m_screens.size(); i-- > 0;) {
        if (i >= m_screens.size()) break;  // the stack shrank while routing
        const std::shared_ptr<IScreen> screen = m_screens[i];
        if (screen->IsActive() && screen->OnEvent(event) && screen->IsExclusive()) return true;
    }
    return false;
}

bool HumanGameView::OnInputEvent(const EventSystem::IEvent& event) { return RouteInput(event); }

bool HumanGameView::OnMouseMove(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<Input::EventMouseMove>(event);
    if (d && m_cursor && m_cursor->IsVisible() && m_windowWidth > 0 && m_windowHeight > 0) {
        m_cursor->MoveX(static_cast<float>(d->dx) / static_cast<float>(m_windowWidth));
        m_cursor->MoveY(static_cast<float>(d->dy) / static_cast<float>(m_windowHeight));
    }
    RouteInput(event);
    return true;
}

bool HumanGameView::OnCloseScreen(const EventSystem::IEvent&) {
    PopScreen();
    return false;
}

bool HumanGameView::OnOpenScreen(const EventSystem::IEvent&) { return true; }

bool HumanGameView::OnSpawnMainMenu(const EventSystem::IEvent&) {
    ReplaceTopScreen(MakeMainMenu());
    if (!m_menuMode) {
        // No backdrop match runs: the logic starts one before we return.
        EventTypes::EventUpdateInitializeGameLogic start(1);
        EventSystem::TriggerEvent(start);
    }
    State().SetFlag(GlobalGameState::kPaused, 0);
    return true;
}

bool HumanGameView::OnSpawnStartGameMenu(const EventSystem::IEvent&) {
    ReplaceTopScreen(MakeStartGameMenu());
    return true;
}

bool HumanGameView::OnSpawnJoinGameMenu(const EventSystem::IEvent&) {
    ReplaceTopScreen(MakeJoinGameMenu());
    return true;
}

bool HumanGameView::OnSpawnOptionsMenu(const EventSystem::IEvent&) {
    ReplaceTopScreen(MakeOptionsMenu());
    return true;
}

bool HumanGameView::OnSpawnCreditsMenu(const EventSystem::IEvent&) {
    ReplaceTopScreen(MakeCreditsMenu());
    return true;
}

bool HumanGameView::OnSpawnWinScreen(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventCreateWinScreen>(event);
    ReplaceTopScreen(MakeEndGameScreen(d ? d->team : 255));
    return true;
}

bool HumanGameView::OnSpawnInGameMenu(const EventSystem::IEvent&) {
    if (m_inGameMenuOpen) return false;
    if (State().GetFlag(GlobalGameState::kMultiplayer) == 0)
        State().SetFlag(GlobalGameState::kPaused, 1);
    else
        EventSystem::QueueEvent(new EventTypes::EventCommandActorMove(m_localActor, Vector3(0.0f, 0.0f, 0.0f)));
    if (m_cues) m_cues->HideCues();
    if (m_bubbles) m_bubbles->HideAll();
    if (m_hud) m_hud->HideBatteryText();
    m_inGameMenuOpen = true;
    PushScreen(MakeInGameMenu());
    return true;
}

bool HumanGameView::OnKeepPlaying(const EventSystem::IEvent&) {
    if (m_hud) m_hud->ShowBatteryText();
    if (m_cues) m_cues->ShowCues();
    if (m_bubbles) m_bubbles->SetHidden(false);
    m_inGameMenuOpen = false;
    State().SetFlag(GlobalGameState::kPaused, 0);
    PopScreen();
    return true;
}

bool HumanGameView::OnStartGame(const EventSystem::IEvent&) {
    if (!m_initialised) return false;
    if (!m_menuMode) m_gameRunning = true;
    if (std::getenv("MIRAV_TRACE"))
        std::fprintf(stderr, "mirav: %s match started on level %d: %zu actors, %zu capture points, local actor %d\n",
                     m_menuMode ? "menu backdrop" : "played", State().GetFlag(GlobalGameState::kLevel),
                     m_actorsReported, m_capturePoints, static_cast<int>(m_localActor));
    PopScreen();  // the loading screen of the set-up
    return false;
}

bool HumanGameView::OnGameOver(const EventSystem::IEvent& event) {
    if (!m_initialised) return false;
    const auto* d = PayloadOf<EventTypes::EventUpdateGameOver>(event);
    const uint8_t winner = d ? d->winningTeam : 255;
    const uint8_t quit = d ? d->quit : 0;
    if (m_inGameMenuOpen) {
        PopScreen();
        m_inGameMenuOpen = false;
    }
    if (m_menuMode) {
        ResetView(quit != 0);
        return false;
    }
    GlobalGameState& state = State();
    if (state.GetFlag(GlobalGameState::kMultiplayer) == 0) {
        ResetView(quit != 0);
        if (quit == 0) {
            if (winner == 255)
                EventSystem::QueueEvent(new EventTypes::EventCreateMainMenu());
            else
                EventSystem::QueueEvent(new EventTypes::EventCreateWinScreen(winner));
        }
        return false;
    }
    // A network game always ends in the main menu, after the network is shut.
    EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, quit));
    if (state.GetFlag(GlobalGameState::kJoiningMachine) == 1)
        EventSystem::QueueEvent(new EventTypes::EventShutDownNetLogic());
    else
        EventSystem::QueueEvent(new EventTypes::EventShutDownNetView());
    state.SetFlag(GlobalGameState::kMultiplayer, 0);
    return false;
}

bool HumanGameView::OnTeamVictory(const EventSystem::IEvent&) {
    // The logic's own game over normally comes first, and its tear-down
    // drops this wait.
    auto wait = std::make_shared<ProcessSystem::WaitProcess>(10000);
    wait->SetNext(ProcessSystem::MakeFunctorProcess(
        [] { EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0)); }));
    m_processes.Attach(wait);
    return false;
}

// ------------------------------------------------------------ power events

bool HumanGameView::OnPowerSuspend(const EventSystem::IEvent&) {
    if (m_audio) m_audio->Suspend();
    if (m_input) m_input->ReleaseMouse();
    if (m_gameRunning && !m_inGameMenuOpen) {
        EventTypes::EventCreateInGameMenu menu;
        EventSystem::TriggerEvent(menu);
    }
    return false;
}

bool HumanGameView::OnPowerSuspendResume(const EventSystem::IEvent&) {
    if (m_gameRunning && !m_inGameMenuOpen) {
        EventTypes::EventCreateInGameMenu menu;
        EventSystem::TriggerEvent(menu);
    }
    if (m_input) m_input->AcquireMouse();
    if (m_window) m_window->HideCursor();
    if (m_audio) m_audio->Resume();
    GlobalGameState& state = State();
    if (m_gameRunning && state.GetFlag(GlobalGameState::kMultiplayer) == 1) {
        if (state.GetFlag(GlobalGameState::kJoiningMachine) == 1)
            EventSystem::QueueEvent(new EventTypes::EventShutDownNetLogic());
        else
            EventSystem::QueueEvent(new EventTypes::EventShutDownNetView());
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
    }
    return false;
}

bool HumanGameView::OnPowerUpdate(const EventSystem::IEvent&) {
    if (m_hud) m_hud->StartBatteryQuery();
    return false;
}

// --------------------------------------------------------- match set-up

bool HumanGameView::OnInitializeGameView(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateInitializeGameView>(event);
    const uint8_t b = d ? d->menuBackdrop : 0;
    m_menuMode = b != 0;
    if (!m_menuMode) {
        PopScreen();  // the loading screen, or the end screen
        m_hudScreen = HudEnabled() ? MakeHudScreen(*this) : nullptr;
        m_hud = dynamic_cast<HudScreen*>(m_hudScreen.get());
        PushScreen(m_hudScreen ? m_hudScreen : std::make_shared<DummyScreen>());
    } else if (m_mainMenuOnFirstSetup) {
        PushScreen(MakeMainMenu());
    }
    m_mainMenuOnFirstSetup = false;
    PushScreen(MakeLoadingScreen());
    if (!m_menuMode) OnRender(16);

    RegisterGameListeners();
    DestroyViewObjects();
    m_actorMan = std::make_unique<ViewActorMan>();
    m_blockMan = std::make_unique<ViewBlockMan>();
    m_blockMan->SetProcessManager(&m_processes);
    m_playerMan = std::make_unique<ViewPlayerMan>();
    m_playerMan->SetBlockMan(m_blockMan.get());
    m_playerMan->StartFloat(&m_processes);
    m_flagMan = std::make_unique<ViewFlagMan>(m_blockMan.get(), m_actorMan.get(), &m_processes);
    m_playerMan->SetHud(m_hud);
    m_flagMan->SetHud(m_hud);
    if (m_hud) m_hud->AttachProcesses(m_processes);
    if (m_ownsDrawScreen) {
        Gfx::GfxState sky;
        if (Gfx::GfxEngine::Instance()->GetStateMan()->RequestState(6, sky))
            Gfx::DrawScreen::Instance()->CreateSkyBox({9, 10, 11, 12, 13, 14}, sky);
    }
    InitEffects(m_menuMode);
    if (!m_menuMode) {
        m_cues = std::make_unique<CueManager>();
    }
    if (!m_menuMode && !SpeechBubblesDisabled()) {
        m_bubbles = std::make_unique<SpeechBubbleMan>();
        m_bubbles->Init(
            [this](int16_t speaker, Vector3& at) {
                if (!m_playerMan || !m_actorMan) return false;
                // A speaker whose actor has left the scene has no place to
                // talk from any more, even while its player record lingers.
                const uint16_t id = static_cast<uint16_t>(speaker);
                std::shared_ptr<ViewPlayer> p = m_playerMan->FindPlayer(id);
                if (!p || !p->Actor() || !m_actorMan->FindActor(id)) return false;
                at = p->Actor()->position;
                return true;
            },
            [this](const Vector3& world) {
                Geometry::Vector2 s(0.5f, 0.5f);
                if (m_ownsDrawScreen)
                    if (Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance()) engine->WorldToScreen(world, s);
                return s;
            },
            &m_processes);
    }
    SetLocalPlayer(kNoLocalActor, kNoLocalTeam);
    m_joinConfirmed = false;
    m_actorsReported = 0;
    m_capturePoints = 0;

    if (!m_menuMode) {
        SetActiveCamera(kFollowCamera);
        if (IViewCamera* camera = GetActiveCamera()) camera->SetMode(IViewCamera::kFollow);
    } else {
        SetActiveCamera(kBackdropCamera);
        m_cameraController = std::make_unique<CameraController>();
        m_cameraController->SetCamera(GetActiveCamera());
    }
    if (m_music) m_music->PlayTrack(b == 1 ? 0 : 1);
    m_initialised = true;
    return true;
}

bool HumanGameView::OnCreateActor(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateCreateActor>(event);
    if (!d) return false;
    ++m_actorsReported;
    const uint32_t type = d->typeHash;
    const auto is = [type](const char* name) { return type == ActorTypes::Hash(name); };
    if (is(ActorTypes::kFlag) && m_cameraController) m_cameraController->AddFlagPoint(d->position);
    if (m_actorMan && !m_actorMan->FindActor(static_cast<uint16_t>(d->actorId))) {
        auto actor = std::make_shared<ViewActor>(*d);
        m_actorMan->AddActor(actor);
        if (is(ActorTypes::kCharacter) || is(ActorTypes::kBot))
            m_playerMan->AddPlayer(actor);
        else if (is(ActorTypes::kBox) || is(ActorTypes::kMasslessBox) || is(ActorTypes::kSolid))
            m_blockMan->AddBlock(actor);
        else if (is(ActorTypes::kFlag))
            m_flagMan->AddFlag(actor);
    }
    if (d->actorId == m_localActor && m_localActor != kNoLocalActor) FollowLocalActor();
    return false;
}

bool HumanGameView::OnDeleteActor(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateDeleteActor>(event);
    if (!d) return false;
    // The actor leaves the scene and the managers; a player still holding
    // it keeps its record until it lets go. A long match (the menu
    // backdrop) thus does not pile up records of blocks long gone.
    const uint16_t id = static_cast<uint16_t>(d->actorId);
    if (m_ownsDrawScreen)
        if (Gfx::Spatial* spatial = Gfx::DrawScreen::Instance()->GetSpatial()) spatial->DestroyObject(id);
    // Its particle effects go with it: a player's record stays with the
    // player manager, and its glow must not hang on where it was.
    if (m_actorMan)
        if (auto actor = m_actorMan->FindActor(id)) actor->RemoveParticleEffects();
    if (m_actorMan) m_actorMan->RemoveActor(id);
    if (m_blockMan) m_blockMan->RemoveBlock(id);
    return false;
}

bool HumanGameView::OnJoinConfirmed(const EventSystem::IEvent& event) {
    if (m_joinConfirmed) return false;
    const auto* d = PayloadOf<EventTypes::EventUpdateGameIDs>(event);
    if (!d) return false;
    m_joinConfirmed = true;
    SetLocalPlayer(d->actorId, d->team);
    State().SetFlag(GlobalGameState::kTeam, d->team);
    FollowLocalActor();
    // Only the own team's capture points stay marked.
    if (m_hud) m_hud->RemoveGoalMarkers(d->team == 0 ? 1 : 0);
    return false;
}

bool HumanGameView::ForwardToHud(const EventSystem::IEvent& event) {
    return m_hudScreen ? m_hudScreen->OnEvent(event) : false;
}

bool HumanGameView::OnCapturePointCreated(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateCapPtCreated>(event);
    if (!d) return false;
    ++m_capturePoints;
    if (m_hud && (d->team == m_localTeam || m_localTeam == kNoLocalTeam)) m_hud->AddGoalMarker(d->position, d->team);
    if (m_cameraController) m_cameraController->AddCapturePoint(d->position);
    return false;
}

// -------------------------------------------------------------- tear-down

void HumanGameView::ResetView(bool quit) {
    m_matchRegistry->UnregisterAll();
    m_matchListeners = 0;
    DestroyViewObjects();
    m_processes.DetachAll();
    InitEffects(true);
    m_bubbles.reset();
    m_cues.reset();
    ClearTextEffects();
    m_hud = nullptr;
    m_hudScreen.reset();
    if (m_ownsDrawScreen)
        if (Gfx::Spatial* spatial = Gfx::DrawScreen::Instance()->GetSpatial()) spatial->ClearSkyBox();
    m_cameraController.reset();
    SetLocalPlayer(kNoLocalActor, kNoLocalTeam);
    m_joinConfirmed = false;
    m_capturePoints = 0;
    m_actorsReported = 0;
    m_gameRunning = m_menuMode = m_inGameMenuOpen = m_initialised = false;
    PopScreen();
    PushScreen(quit ? MakeClosingScreen() : MakeLoadingScreen());
    OnRender(16);
    if (quit) Platform::PostQuit(kQuitCode);
}

// ----------------------------------------------------------------- cameras

IViewCamera* HumanGameView::GetCamera(int id) {
    auto it = m_cameras.find(id);
    return it == m_cameras.end() ? nullptr : it->second.get();
}

bool HumanGameView::SetActiveCamera(int id) {
    if (!GetCamera(id)) return false;
    m_activeCamera = id;
    if (m_ownsDrawScreen) Gfx::DrawScreen::Instance()->SetActiveCamera(id);
    return true;
}

IViewCamera* HumanGameView::GetActiveCamera() { return GetCamera(m_activeCamera); }

void HumanGameView::FollowLocalActor() {
    // The local player's draw object when the scene has one; else the
    // camera orbits the place last reported for the player.
    if (m_ownsDrawScreen && m_localActor != kNoLocalActor && Gfx::DrawScreen::Instance()->SetCameraTarget(static_cast<uint16_t>(m_localActor)))
        return;
    if (IViewCamera* camera = GetActiveCamera()) camera->SetMode(IViewCamera::kFollow);
}

bool HumanGameView::LocalActorPosition(Vector3& position, float& height) const {
    if (m_localActor == kNoLocalActor || !m_actorMan) return false;
    auto actor = m_actorMan->FindActor(static_cast<uint16_t>(m_localActor));
    if (!actor) return false;
    position = actor->position;
    height = actor->extent.Length();
    return true;
}

void HumanGameView::UpdateScene(unsigned ms) {
    // The listener stands at the active camera.
    if (IViewCamera* camera = GetActiveCamera()) {
        Audio::ListenerPose pose;
        const Vector3 eye = camera->GetEye(), at = camera->GetLookAt();
        const float e[3] = {eye.x, eye.y, eye.z}, a[3] = {at.x, at.y, at.z};
        const float d[3] = {eye.x - m_lastEye.x, eye.y - m_lastEye.y, eye.z - m_lastEye.z};
        for (int i = 0; i < 3; ++i) {
            pose.eye[i] = e[i];
            pose.lookAt[i] = a[i];
            pose.displacement[i] = d[i];
        }
        pose.elapsedMs = ms;
        if (m_audio && m_audio->IsEnabled()) Audio::UpdateListener(pose);
        m_lastEye = eye;
    }
    if (!m_ownsDrawScreen) {
        if (IViewCamera* camera = GetActiveCamera()) camera->Update(ms);
        return;
    }
    auto* camera = static_cast<SceneCamera*>(GetActiveCamera());
    Vector3 position;
    float height = 0.0f;
    if (camera && camera->GetMode() == IViewCamera::kFollow && !camera->Get().GetTarget() &&
        LocalActorPosition(position, height))
        camera->Get().SetLookAt(Vector3(position.x, position.y + height, position.z));
    Gfx::DrawScreen::Instance()->Update(ms);
}

void HumanGameView::SwitchDisplay(bool fullScreen) {
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    Gfx::D3D9Core* core = engine ? engine->GetCore() : nullptr;
    if (!core) return;
    const Gfx::PresentParams& p = core->GetPresentParams();
    // The one mode switch of the device; windowed is 1024 x 768 like full screen.
    if (p.windowed == !fullScreen && p.backBufferWidth == 1024 && p.backBufferHeight == 768 &&
        p.multiSampleType == 0)
        return;
    if (fullScreen)
        core->ToFullScreen(0, 1024, 768, false);
    else
        core->ToWindowed(0, 1024, 768, false);
    if (m_window) m_window->GetWindowSize(&m_windowWidth, &m_windowHeight);
}

}  // namespace GameLogicView
