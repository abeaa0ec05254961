// The view's flags: each is also a view block so a player can carry it. The
// manager turns flag reports into cues, team effects, the countdown over a
// dropped flag, the capture counters and the flag's removal when captured.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "events/EventManager.h"

namespace ProcessSystem {
class IProcess;
class ProcessManager;
}

namespace GameLogicView {

class ViewActor;
class ViewActorMan;
class ViewBlockMan;
class HudScreen;

struct ViewFlag {
    // Particle effects: the rising stream over a flag at home or carried,
    // and the glow of a flag lying at home (or where it was dropped).
    static constexpr int kRiseEffect = 6;
    static constexpr int kHomeEffectDemon = 7;
    static constexpr int kHomeEffectAngel = 8;

    // A new flag stands at home.
    explicit ViewFlag(const std::shared_ptr<ViewActor>& a);
    void AttachHomeEffects();
    // Ends the flag's effects (their particles finish) and starts the
    // rising stream alone, as over a carried flag.
    void AttachCarriedEffect();
    std::shared_ptr<ViewActor> actor;
};

class ViewFlagMan {
public:
    ViewFlagMan(ViewBlockMan* blocks, ViewActorMan* actors, ProcessSystem::ProcessManager* processes);
    ~ViewFlagMan();
    ViewFlagMan(const ViewFlagMan&) = delete;
    ViewFlagMan& operator=(const ViewFlagMan&) = delete;

    // The HUD whose flag markers and score follow the flags (null: none).
    void SetHud(HudScreen* hud) { m_hud = hud; }
    bool AddFlag(const std::shared_ptr<ViewActor>& actor);
    void SetLocalTeam(uint8_t team);
    std::shared_ptr<ViewFlag> FindFlag(uint16_t id) const;
    bool RemoveFlag(uint16_t id, uint8_t capturingTeam);
    uint32_t Captures(int team) const { return m_captures[team == 0 ? 0 : 1]; }
    bool HasCountdown(uint16_t id) const;
    // The seconds the flag's countdown shows, -1 when none shown.
    int CountdownShown(uint16_t id) const;
    size_t Count() const { return m_lists[0].size() + m_lists[1].size(); }
    const std::vector<std::shared_ptr<ViewFlag>>& Flags(int team) const { return m_lists[team == 0 ? 0 : 1]; }

    bool OnGrabbed(const EventSystem::IEvent& event);
    bool OnDropped(const EventSystem::IEvent& event);
    bool OnRecovered(const EventSystem::IEvent& event);
    bool OnCaptured(const EventSystem::IEvent& event);
    bool OnStatus(const EventSystem::IEvent& event);

private:
    void KillCountdown(uint16_t id);

    std::vector<std::shared_ptr<ViewFlag>> m_lists[2];
    int16_t m_localTeam = -1;
    std::map<uint16_t, std::shared_ptr<ProcessSystem::IProcess>> m_countdowns;
    uint32_t m_captures[2] = {0, 0};
    ViewBlockMan* m_blocks;
    HudScreen* m_hud = nullptr;
    ViewActorMan* m_actors;
    ProcessSystem::ProcessManager* m_processes;
    EventSystem::EventRegistry m_registry;
};

}  // namespace GameLogicView
