// The view's players: floating and bobbing above the logic's position, the
// held block above the head and the hidden pouch, the animations of jumps,
// pick-ups, throws and death, the fade after death, the respawn countdown,
// the flicker after a respawn and the local player's pick-up highlight.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "events/EventManager.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

namespace GameLogicView {

class ViewActor;
class ViewBlock;
class ViewBlockMan;
class HudScreen;

class ViewPlayer {
public:
    enum Animation { kJump = 0, kJumpHolding = 1, kDeath = 2, kPickUpHolding = 3, kPickUp = 4, kStand = 5,
                     kRun = 6, kThrow = 7, kStandHolding = 8 };

    // Particle effects of the player (the team's glow at the feet, the
    // angels' halo), their offsets and the model's point the halo sits on.
    static constexpr int kHaloEffect = 3;
    static constexpr int kAngelFeetEffect = 2;
    static constexpr int kDemonFeetEffect = 1;

    explicit ViewPlayer(const std::shared_ptr<ViewActor>& actor);
    ~ViewPlayer();
    ViewPlayer(const ViewPlayer&) = delete;
    ViewPlayer& operator=(const ViewPlayer&) = delete;

    void AttachEffects();
    void DetachEffects();
    // Called by the animated draw object with the halo bone's matrix.
    void OnBoneMatrix(const Geometry::Matrix4x4& bone, int effectIndex);
    void ResetVisual();
    void UpdateFloat(float dt);
    void TakeBlock(const std::shared_ptr<ViewBlock>& block);
    void NextBlock();
    // The logic names the block thrown and the block now in the hand; the
    // view follows it even where its own order of the pouch differs.
    void ThrowBlock(const std::shared_ptr<ViewBlock>& block, uint8_t team);
    void BringToHand(const std::shared_ptr<ViewBlock>& block);
    void ClearPouch();
    bool IsPouchFull() const;
    void SpawnReset();
    void Die();
    const std::shared_ptr<ViewBlock>& GetHeldBlock() const { return m_held; }
    const std::shared_ptr<ViewActor>& Actor() const { return m_actor; }
    const std::deque<std::shared_ptr<ViewBlock>>& Pouch() const { return m_pouch; }
    uint16_t Id() const;

    bool effectsAttached = false;
    bool faded = false;
    bool dead = false;
    bool carriesFlag = false;
    float phase = 0.0f;
    Geometry::Vector3 base;
    // The last animation asked for (standing) and played (one-shot/loop),
    // as the view decided them; -1 before any.
    int standing = -1;
    int played = -1;

private:
    void Stand(int animation);
    void Play(int animation, float speed, bool loop);
    void DropHeld();

    std::shared_ptr<ViewActor> m_actor;
    // The halo's entry among the actor's effects (-1: none) and where the
    // last drawn frame's bone put it, relative to the actor.
    int m_haloIndex = -1;
    bool m_haloOnBone = false;
    Geometry::Vector3 m_haloFromActor;
    Geometry::Quaternion m_haloTurn;
    std::shared_ptr<ViewBlock> m_held;
    std::deque<std::shared_ptr<ViewBlock>> m_pouch;
};

class ViewPlayerMan {
public:
    ViewPlayerMan();
    ~ViewPlayerMan();
    ViewPlayerMan(const ViewPlayerMan&) = delete;
    ViewPlayerMan& operator=(const ViewPlayerMan&) = delete;

    void SetBlockMan(ViewBlockMan* blocks) { m_blocks = blocks; }
    // The HUD whose pouch and markers follow the local player (null: none).
    void SetHud(HudScreen* hud) { m_hud = hud; }
    HudScreen* GetHud() const { return m_hud; }
    void StartFloat(ProcessSystem::ProcessManager* processes);
    void SetLocalPlayer(uint16_t id);
    bool AddPlayer(const std::shared_ptr<ViewActor>& actor);
    std::shared_ptr<ViewPlayer> FindPlayer(uint16_t id) const;
    uint16_t LocalPlayer() const { return m_local; }
    ViewBlockMan* Blocks() const { return m_blocks; }
    const std::map<uint16_t, std::shared_ptr<ViewPlayer>>& Players() const { return m_players; }
    // The block the local player's highlight is on, 0xFFFF when none.
    uint16_t SelectedBlock() const;

    bool OnJump(const EventSystem::IEvent& event);
    bool OnExplosion(const EventSystem::IEvent& event);
    bool OnPickUp(const EventSystem::IEvent& event);
    bool OnThrow(const EventSystem::IEvent& event);
    bool OnDeath(const EventSystem::IEvent& event);
    bool OnSpawn(const EventSystem::IEvent& event);
    bool OnMove(const EventSystem::IEvent& event);
    bool OnTurn(const EventSystem::IEvent& event);
    bool OnFlagGrabbed(const EventSystem::IEvent& event);
    bool OnFlagDropped(const EventSystem::IEvent& event);
    bool OnFlagCaptured(const EventSystem::IEvent& event);
    bool OnTeamVictory(const EventSystem::IEvent& event);
    bool OnHeldBlocks(const EventSystem::IEvent& event);
    bool OnThrowCommand(const EventSystem::IEvent& event);
    bool OnPickUpCommand(const EventSystem::IEvent& event);

    void UpdateFloats(int ms);

private:
    void StartSelection();
    void ReplacePlayerProcess(uint16_t id, const std::shared_ptr<ProcessSystem::IProcess>& process);

    std::map<uint16_t, std::shared_ptr<ViewPlayer>> m_players;
    uint16_t m_local = 0xFFFF;
    std::shared_ptr<ProcessSystem::IProcess> m_selection;
    std::shared_ptr<ProcessSystem::IProcess> m_float;
    std::map<uint16_t, std::shared_ptr<ProcessSystem::IProcess>> m_playerProcesses;
    ViewBlockMan* m_blocks = nullptr;
    HudScreen* m_hud = nullptr;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    EventSystem::EventRegistry m_registry;
};

}  // namespace GameLogicView
