#include "gameviews/ViewFlag.h"

#include <string>

#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/RulesSettings.h"
#include "gameviews/HudScreen.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gfx/GfxEngine.h"
#include "ini/IniFile.h"
#include "processes/Process.h"
#include "screens/HudParts.h"
#include "screens/LocalPlayer.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

constexpr uint16_t kNone = 0xFFFF;

// How long before a dropped flag goes home its countdown shows (read once).
int CountdownDisplayTime() {
    static const int ms = static_cast<int>(Utility::ReadConfig<unsigned>("FLAGMAN", "RespawnDispTime", 0u));
    return ms;
}

using EventSystem::PayloadOf;

void Cue(const std::string& name, uint16_t flag, uint8_t team) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCreateCue>(name, flag, team));
}

void Effect(const std::string& name, const Vector3& at = Vector3(0, 0, 0)) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCreateEffect>(name, at, Vector3(0, 1, 0), 0));
}

// Team effects are keyed by the flag's id (the effect table decides where).
void TeamEffect(uint8_t team, const char* name, uint16_t flag) {
    Effect(std::string(team == 0 ? "Angel" : "Demon") + name, Vector3(static_cast<float>(flag), 0, 0));
}

// The seconds left before a dropped flag goes home, over the flag.
class FlagRespawnProc : public ProcessSystem::IProcess {
public:
    explicit FlagRespawnProc(const std::shared_ptr<ViewFlag>& flag)
        // The logic's return time: the countdown ends when the flag goes home.
        : IProcess(0), m_flag(flag), m_remaining(static_cast<int>(GetRulesSettings().flagRespawnTime)) {}
    ~FlagRespawnProc() override {
        for (auto& t : m_texts) t->SetAlpha(0.0f);
    }
    void OnUpdate(int ms) override {
        auto flag = m_flag.lock();
        if (!flag || !flag->actor) return Kill();
        m_remaining -= ms;
        if (m_remaining <= 0) return Kill();
        if (m_remaining >= CountdownDisplayTime()) return;
        const int seconds = (m_remaining + 999) / 1000;
        if (seconds != m_lastShown) {
            m_lastShown = seconds;
            if (auto text = CreateTextObjWithEffect("FlagCountdown")) {
                text->SetFontId(3);
                text->AddFormat(1);
                text->SetShadowOffset(Geometry::Vector2(0.001f, 0.001f));
                text->SetShadowColor(Gfx::Color4(0, 0, 0, 0.4f));
                text->SetText(std::to_string(seconds));
                text->BuildText();
                if (m_hidden) text->SetAlpha(0.0f);
                m_texts.push_back(text);
            }
        }
        Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
        if (!engine) return;
        const ViewActor& a = *flag->actor;
        Geometry::Vector2 screen;
        bool inFront = false;
        engine->WorldToScreen(a.position + Vector3(0, a.extent.y * 0.5f, 0), screen, &inFront);
        if (!inFront || screen.x < -0.1f || screen.y < -0.1f || screen.x > 1.1f || screen.y > 1.1f) {
            if (!m_hidden)
                for (auto& t : m_texts) t->SetAlpha(0.0f);
            m_hidden = true;
            return;
        }
        if (m_hidden)
            for (auto& t : m_texts) t->SetAlpha(1.0f);
        m_hidden = false;
        for (auto& t : m_texts) t->SetPosition(screen);
    }
    int LastShown() const { return m_lastShown; }

private:
    std::weak_ptr<ViewFlag> m_flag;
    int m_remaining;
    int m_lastShown = -1;
    bool m_hidden = false;
    std::vector<std::shared_ptr<TextObj>> m_texts;
};

bool LowDetail() { return GlobalGameState::Instance()->IsLowDetail(); }

}  // namespace

ViewFlag::ViewFlag(const std::shared_ptr<ViewActor>& a) : actor(a) { AttachHomeEffects(); }

void ViewFlag::AttachHomeEffects() {
    if (!actor) return;
    actor->StopParticleEffects();
    if (LowDetail()) return;
    actor->AddParticleEffect(Vector3(0, 1, 0), kRiseEffect, Vector3(0, 1, 0));
    const int glow = actor->team == 0 ? kHomeEffectAngel : kHomeEffectDemon;
    for (const Vector3& dir : {Vector3(1, 0, 0), Vector3(1, 1, 0), Vector3(-1, 1, 0)})
        actor->AddParticleEffect(Vector3(0, 0, 0), glow, dir);
}

void ViewFlag::AttachCarriedEffect() {
    if (!actor) return;
    actor->StopParticleEffects();
    if (!LowDetail()) actor->AddParticleEffect(Vector3(0, 1, 0), kRiseEffect, Vector3(0, 1, 0));
}

ViewFlagMan::ViewFlagMan(ViewBlockMan* blocks, ViewActorMan* actors, ProcessSystem::ProcessManager* processes)
    : m_blocks(blocks), m_actors(actors), m_processes(processes) {
    auto& r = m_registry;
    r.Register(EventTypes::EventUpdateFlagGrabbed::GetStaticType(), this, &ViewFlagMan::OnGrabbed);
    r.Register(EventTypes::EventUpdateFlagDropped::GetStaticType(), this, &ViewFlagMan::OnDropped);
    r.Register(EventTypes::EventUpdateFlagRecovered::GetStaticType(), this, &ViewFlagMan::OnRecovered);
    r.Register(EventTypes::EventUpdateFlagCaptured::GetStaticType(), this, &ViewFlagMan::OnCaptured);
    r.Register(EventTypes::EventUpdateFlagStatus::GetStaticType(), this, &ViewFlagMan::OnStatus);
}

ViewFlagMan::~ViewFlagMan() {
    m_registry.UnregisterAll();
    for (auto& [id, proc] : m_countdowns)
        if (proc) proc->Kill();
}

bool ViewFlagMan::AddFlag(const std::shared_ptr<ViewActor>& actor) {
    if (!actor || actor->id == kNone) return false;
    if (m_blocks) m_blocks->AddBlock(actor);
    // List 0 holds what team 0 captures: the other team's flags.
    const int list = actor->team == 0 ? 1 : 0;
    m_lists[list].push_back(std::make_shared<ViewFlag>(actor));
    // Markers show the flags the local team has to take.
    if (m_hud && m_localTeam == list) m_hud->AddFlagMarker(actor);
    return true;
}

void ViewFlagMan::SetLocalTeam(uint8_t team) {
    m_localTeam = static_cast<int8_t>(team);
    if (!m_hud || m_localTeam < 0) return;
    for (const auto& f : m_lists[team == 0 ? 0 : 1])
        if (f->actor) m_hud->AddFlagMarker(f->actor);
}

std::shared_ptr<ViewFlag> ViewFlagMan::FindFlag(uint16_t id) const {
    for (int list : {1, 0})
        for (const auto& f : m_lists[list])
            if (f->actor && f->actor->id == id) return f;
    return nullptr;
}

bool ViewFlagMan::RemoveFlag(uint16_t id, uint8_t capturingTeam) {
    auto& list = m_lists[capturingTeam == 0 ? 0 : 1];
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!(*it)->actor || (*it)->actor->id != id) continue;
        list.erase(it);
        if (m_hud) m_hud->RemoveFlagMarker(id);
        if (m_blocks) m_blocks->RemoveBlock(id);
        if (m_actors) m_actors->RemoveActor(id);
        return true;
    }
    return false;
}

bool ViewFlagMan::HasCountdown(uint16_t id) const {
    auto it = m_countdowns.find(id);
    return it != m_countdowns.end() && it->second && !it->second->IsDead();
}

int ViewFlagMan::CountdownShown(uint16_t id) const {
    auto it = m_countdowns.find(id);
    auto* p = it == m_countdowns.end() ? nullptr : dynamic_cast<FlagRespawnProc*>(it->second.get());
    return p ? p->LastShown() : -1;
}

void ViewFlagMan::KillCountdown(uint16_t id) {
    auto it = m_countdowns.find(id);
    if (it == m_countdowns.end()) return;
    if (it->second) it->second->Kill();
    m_countdowns.erase(it);
}

bool ViewFlagMan::OnGrabbed(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagGrabbed>(event);
    if (!d) return false;
    const uint16_t flag = static_cast<uint16_t>(d->flagId);
    const bool self = d->actorId == PublishedLocalActor() && d->actorId != -1;
    Cue(self ? "FlagTakenSelf" : "FlagTaken", flag, d->flagTeam);
    TeamEffect(d->flagTeam, "FlagTaken", flag);
    KillCountdown(flag);
    if (auto f = FindFlag(flag)) f->AttachCarriedEffect();
    return false;
}

bool ViewFlagMan::OnDropped(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagDropped>(event);
    if (!d) return false;
    const uint16_t flag = static_cast<uint16_t>(d->flagId);
    if (static_cast<uint16_t>(d->actorId) != kNone) {
        Cue("FlagDropped", flag, d->flagTeam);
        TeamEffect(d->flagTeam, "FlagDropped", flag);
    }
    auto known = FindFlag(flag);
    auto proc = std::make_shared<FlagRespawnProc>(known);
    m_countdowns[flag] = proc;
    if (m_processes) m_processes->Attach(proc);
    if (known) known->AttachHomeEffects();
    return false;
}

bool ViewFlagMan::OnRecovered(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagRecovered>(event);
    if (!d) return false;
    const uint16_t id = static_cast<uint16_t>(d->flagId);
    KillCountdown(id);
    auto flag = FindFlag(id);
    if (!flag || !flag->actor) return false;
    // A burst of the rising stream where the flag lay, then the flag goes
    // home with its home effects.
    flag->AttachCarriedEffect();
    flag->actor->SetPosition(d->homePosition);
    flag->actor->SetOrientation(Geometry::Quaternion());
    flag->AttachHomeEffects();
    const uint8_t team = flag->actor->team;
    if (static_cast<uint16_t>(d->actorId) == kNone) {
        Cue("FlagReturned", id, team);
        TeamEffect(team, "FlagReturned", id);
    } else {
        Cue("FlagRecovered", id, team);
        TeamEffect(team, "FlagRecovered", id);
        if (d->actorId == PublishedLocalActor()) Effect("SelfCelebrate");
    }
    return false;
}

bool ViewFlagMan::OnCaptured(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagCaptured>(event);
    if (!d) return false;
    const uint16_t id = static_cast<uint16_t>(d->flagId);
    KillCountdown(id);
    if (auto flag = FindFlag(id))
        if (flag->actor) Effect("FlagCaptureAtFlag", flag->actor->position);
    RemoveFlag(id, d->team);
    if (d->actorId == PublishedLocalActor() && d->actorId != -1) Effect("SelfCelebrate");
    const uint32_t n = ++m_captures[d->team == 0 ? 0 : 1];
    Effect(static_cast<int16_t>(d->team) != m_localTeam ? "FlagCapEnemy" : "FlagCapFriendly");
    TeamEffect(d->team, "Score", id);
    if (n != 3) {
        Cue("Score", id, d->team);
        Cue("Score" + std::to_string(m_captures[0]) + std::to_string(m_captures[1]), id, d->team);
    }
    return false;
}

bool ViewFlagMan::OnStatus(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagStatus>(event);
    if (!d) return true;
    HudScoreMan* score = m_hud ? &m_hud->Score() : nullptr;
    const uint8_t local = static_cast<uint8_t>(m_localTeam);
    if (d->status == 3) {
        // A capture by team 0 of a flag that no longer exists.
        if (score) score->OnFlagEvent(1, 0xFFFF, HudScoreMan::kCaptured, local);
        ++m_captures[0];
    } else if (d->status == 4) {
        if (score) score->OnFlagEvent(0, 0xFFFF, HudScoreMan::kCaptured, local);
        ++m_captures[1];
    } else if (d->status != 0 && score) {
        if (auto f = FindFlag(static_cast<uint16_t>(d->flagId)))
            if (f->actor) score->OnFlagEvent(f->actor->team, f->actor->id, d->status, local);
    }
    return true;
}

}  // namespace GameLogicView
