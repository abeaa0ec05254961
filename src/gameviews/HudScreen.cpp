#include "gameviews/HudScreen.h"

#include <algorithm>
#include <cmath>

#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/RulesSettings.h"
#include "gameviews/HudPouch.h"
#include "gameviews/HumanGameView.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewPlayer.h"
#include "gfx/Camera.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/Spatial.h"
#include "ini/IniFile.h"
#include "platform/BatteryQuery.h"
#include "processes/Process.h"
#include "screens/HudParts.h"
#include "utility/BatteryInfo.h"

namespace GameLogicView {

namespace {

using EventSystem::PayloadOf;

uint8_t LocalTeam() { return GlobalGameState::Instance()->GetFlag(GlobalGameState::kTeam); }

// Animates the pouch every unpaused frame.
class UpdateHudBlocksProc : public ProcessSystem::IProcess {
public:
    explicit UpdateHudBlocksProc(HudPouch& pouch) : IProcess(7), m_pouch(pouch) {}
    void OnUpdate(int ms) override { m_pouch.Update(static_cast<float>(ms) / 1000.0f); }

private:
    HudPouch& m_pouch;
};

int BatteryPeriod() {
    static const int period = static_cast<int>(
        std::min<unsigned>(Utility::ReadConfig<unsigned>("VIEW", "HudBatteryUpdateRepeatTime", 4000u), 3600000u));
    return period;
}

}  // namespace

HudScreen::HudScreen(HumanGameView* view, const std::string& file)
    : IScreen(file, false, false), m_file(file), m_ini(std::make_unique<Utility::IniFile>(file)), m_view(view) {
    m_pouch = std::make_unique<HudPouch>();
    // One slot per flag a team may lose, as the rules count them (the HUD
    // has room for eight).
    const int flags = std::clamp(GetRulesSettings().numFlags, 1, 8);
    const int pulse = Utility::ReadConfig<int>("VIEW", "ScoreFlagPulseTime", 1000);
    m_score = std::make_unique<HudScoreMan>(m_buttons, file, flags, pulse);
    m_pouch->LoadSpline();
    m_batteryInfo = std::make_shared<BatteryInfo>(&Platform::QueryBatteryStatus);
    m_batteryInfo->RegisterConsoleCommands();
    m_battery = std::make_unique<HudBattery>(*m_batteryInfo, m_buttons, file);
    m_batteryInfo->StartQuery();
}

HudScreen::~HudScreen() {
    for (auto* p : {&m_pouchProcess, &m_batteryProcess})
        if (*p) (*p)->Kill();
    m_teammateMarkers.clear();
    m_viewPlayers.clear();
    m_pouch->Clear();
    m_flagMarkers.clear();
    m_goalMarkers.clear();
    m_score.reset();
    m_battery.reset();
    m_batteryInfo.reset();  // waits for a running query
}

void HudScreen::AttachProcesses(ProcessSystem::ProcessManager& processes) {
    m_pouch->SetProcessManager(&processes);
    m_score->SetProcessManager(&processes);
    if (m_pouchProcess) m_pouchProcess->Kill();
    m_pouchProcess = std::make_shared<UpdateHudBlocksProc>(*m_pouch);
    processes.Attach(m_pouchProcess);
    if (m_battery) {
        if (m_batteryProcess) m_batteryProcess->Kill();
        m_batteryProcess = std::make_shared<UpdateHudBatteryProc>(BatteryPeriod(), *m_batteryInfo);
        processes.Attach(m_batteryProcess);
    }
}

void HudScreen::StartBatteryQuery() {
    if (m_batteryInfo) m_batteryInfo->StartQuery();
}

void HudScreen::ShowBatteryText() {
    if (m_battery) m_battery->ShowText();
}

void HudScreen::HideBatteryText() {
    if (m_battery) m_battery->HideText();
}

// ------------------------------------------------------------ per frame

void HudScreen::FollowLocalPlayer() {
    const int16_t local = HumanGameView::GetLocalActor();
    if (!m_view || local == -1 || !m_view->GetActorMan()) return;
    if (auto actor = m_view->GetActorMan()->FindActor(static_cast<uint16_t>(local))) referencePosition = actor->position;
}

void HudScreen::OnUpdate(unsigned, bool) {
    if (m_battery) m_battery->Update();
    m_buttons.Update();
    FollowLocalPlayer();
    UpdateMarkerPositions(m_flagMarkers, m_viewFlags);
    PlaceMarkers(m_flagMarkers, 1.0f);
    PlaceMarkers(m_goalMarkers, 1.0f);
    UpdateMarkerPositions(m_teammateMarkers, m_viewPlayers);
    PlaceMarkers(m_teammateMarkers, 0.55f);
}

void HudScreen::UpdateMarkerPositions(MarkerMap& markers,
                                      const std::map<uint16_t, std::shared_ptr<ViewActor>>& actors) {
    for (const auto& [id, actor] : actors) {
        if (!actor) continue;
        auto it = markers.find(id);
        if (it == markers.end()) continue;  // every actor here was given a marker when it came
        it->second.position = actor->position;
        it->second.extent = actor->extent;
    }
}

void HudScreen::PlaceMarkers(MarkerMap& markers, float scale) {
    if (markers.empty()) return;
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    auto camera = screen ? screen->GetActiveCamera() : nullptr;
    if (!camera || !engine) return;
    const Geometry::Vector3 eye = camera->GetEye(), at = camera->GetLookAt();
    HudVec3 fwd{at.x - eye.x, at.y - eye.y, at.z - eye.z};
    const float fl = std::sqrt(fwd.x * fwd.x + fwd.y * fwd.y + fwd.z * fwd.z);
    if (fl > 0.0f) fwd = {fwd.x / fl, fwd.y / fl, fwd.z / fl};
    const HudVec3 ref{referencePosition.x, referencePosition.y, referencePosition.z};
    auto frustum = camera->GetFrustum();
    for (auto& [id, m] : markers) {
        if (!m.button) continue;
        const HudVec3 a{m.position.x, m.position.y, m.position.z};
        const bool inView =
            !frustum || frustum->TestSphere(m.position, m.extent.Length()) != Gfx::Frustum::kOutside;
        float x = 0.5f, y = 0.5f;
        if (inView) {
            const float dx = a.x - ref.x, dy = a.y - ref.y, dz = a.z - ref.z;
            const float t = (std::clamp(dx * dx + dy * dy + dz * dz, 2.0f, 10000.0f) - 2.0f) / 9998.0f;
            Geometry::Vector2 s(0.5f, 0.5f);
            engine->WorldToScreen(Geometry::Vector3(a.x, a.y + m.extent.y * (2.0f - t), a.z), s);
            x = s.x;
            y = s.y;
        } else {
            HudPinToEdge(a, ref, fwd, x, y);
        }
        const float size = HudMarkerSize(a, ref) * scale;
        m.button->SetPosition(x, y);
        m.button->SetSize(size, size * 4.0f / 3.0f);
    }
}

// ------------------------------------------------------------ events

bool HudScreen::OnEvent(const EventSystem::IEvent& event) {
    using namespace EventTypes;
    if (const auto* d = PayloadOf<EventUpdateFlagCaptured>(event)) {
        m_score->OnFlagEvent(d->flagTeam, static_cast<uint16_t>(d->flagId), HudScoreMan::kCaptured, LocalTeam());
        return false;
    }
    if (const auto* d = PayloadOf<EventUpdateFlagGrabbed>(event)) {
        m_score->OnFlagEvent(d->flagTeam, static_cast<uint16_t>(d->flagId), HudScoreMan::kCarried, LocalTeam());
        return false;
    }
    if (const auto* d = PayloadOf<EventUpdateFlagDropped>(event)) {
        m_score->OnFlagEvent(d->flagTeam, static_cast<uint16_t>(d->flagId), HudScoreMan::kDropped, LocalTeam());
        return false;
    }
    if (const auto* d = PayloadOf<EventUpdateFlagRecovered>(event)) {
        m_score->OnFlagEvent(d->flagTeam, static_cast<uint16_t>(d->flagId), HudScoreMan::kHome, LocalTeam());
        return false;
    }
    if (const auto* d = PayloadOf<EventUpdateBotFollowPlayer>(event)) {
        const int16_t local = HumanGameView::GetLocalActor();
        if (local != -1 && d->leaderId == local) {
            if (d->following != 0)
                ShowTeammateMarker(static_cast<uint16_t>(d->followerId));
            else
                HideTeammateMarker(static_cast<uint16_t>(d->followerId));
        }
        return false;
    }
    return m_buttons.OnInput(event);
}

// ------------------------------------------------------------ markers

std::unique_ptr<Button> HudScreen::MakeMarkerButton(const std::string& section) {
    // Not in the HUD's button set: markers take no hover or clicks, and
    // they move every frame, so their place is never written back.
    return std::make_unique<Button>(section, m_file, *m_ini, false, 0, nullptr);
}

void HudScreen::AddFlagMarker(const std::shared_ptr<ViewActor>& flag) {
    if (!flag) return;
    HudMarker& m = m_flagMarkers[flag->id];
    m.button = MakeMarkerButton(flag->team == 1 ? "angelHudFlag" : "demonHudFlag");
    m.position = flag->position;
    m.extent = flag->extent;
    m.team = flag->team;
    m_viewFlags[flag->id] = flag;
}

void HudScreen::RemoveFlagMarker(uint16_t id) {
    m_flagMarkers.erase(id);
    m_viewFlags.erase(id);
}

void HudScreen::ShowFlagMarkers() {
    for (auto& [id, m] : m_flagMarkers) m.button->SetAlpha(1.0f);
}

void HudScreen::HideFlagMarkers() {
    for (auto& [id, m] : m_flagMarkers) m.button->SetAlpha(0.0f);
}

void HudScreen::AddGoalMarker(const Geometry::Vector3& position, uint8_t team) {
    // Skip keys still in use (the count wraps only after 65536 goals).
    while (m_goalMarkers.count(m_nextGoalKey)) ++m_nextGoalKey;
    HudMarker& m = m_goalMarkers[m_nextGoalKey++];
    m.button = MakeMarkerButton("AngelGoal");
    m.button->SetAlpha(0.0f);
    m.position = position;
    m.extent = Geometry::Vector3(1.0f, 1.0f, 1.0f);
    m.team = team;
}

void HudScreen::RemoveGoalMarkers(uint8_t team) {
    for (auto it = m_goalMarkers.begin(); it != m_goalMarkers.end();)
        it = it->second.team == team ? m_goalMarkers.erase(it) : std::next(it);
}

void HudScreen::ShowGoalMarkers() {
    for (auto& [id, m] : m_goalMarkers) m.button->SetAlpha(1.0f);
    goalsHidden = false;
}

void HudScreen::HideGoalMarkers() {
    for (auto& [id, m] : m_goalMarkers) m.button->SetAlpha(0.0f);
    goalsHidden = true;
}

void HudScreen::AddTeammateMarker(const std::shared_ptr<ViewPlayer>& player) {
    if (!player || !player->Actor()) return;
    const std::shared_ptr<ViewActor>& actor = player->Actor();
    HudMarker& m = m_teammateMarkers[actor->id];
    m.button = MakeMarkerButton(actor->team == 1 ? "DemonTeammates" : "AngelTeammates");
    m.position = actor->position;
    m.extent = actor->extent;
    m.team = actor->team;
    m_viewPlayers[actor->id] = actor;
    HideTeammateMarker(actor->id);
}

void HudScreen::ShowTeammateMarker(uint16_t id) {
    auto it = m_teammateMarkers.find(id);
    if (it != m_teammateMarkers.end()) it->second.button->SetAlpha(1.0f);
}

void HudScreen::HideTeammateMarker(uint16_t id) {
    auto it = m_teammateMarkers.find(id);
    if (it != m_teammateMarkers.end()) it->second.button->SetAlpha(0.0f);
}

void HudScreen::AddBlockToPouch(bool quiet, const std::shared_ptr<ViewActor>& block) { m_pouch->AddBlock(quiet, block); }

}  // namespace GameLogicView
