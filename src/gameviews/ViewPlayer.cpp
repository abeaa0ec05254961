#include "gameviews/ViewPlayer.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <string>

#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/LogicSettings.h"
#include "gameviews/HudPouch.h"
#include "gameviews/HudScreen.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/Camera.h"
#include "gfx/DrawObjActorAnimated.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/StateMan.h"
#include "ini/IniFile.h"
#include "screens/LocalPlayer.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

constexpr uint16_t kNone = 0xFFFF;

// The view's own settings. The rules' timings (the respawn delay, the
// invincibility) come from the logic's settings: one set of defaults and
// limits, so a missing or clamped key cannot make the countdown or the
// flicker disagree with when the logic respawns a player or ends the
// invincibility.
struct PlayerSettings {
    int pouchSize;
    unsigned fadeDelay, fadeTime;
};

// The pouch size as the logic holds it (a missing key counts every pouch as
// full), so the view's full-pouch test agrees with the logic's pick-ups.
int PouchSize() {
    const Utility::IniFile config(Utility::kGameConfigFile);
    if (!config.HasKey(Utility::Key("PouchSize"), Utility::Section("LOGIC"))) return 0;
    return static_cast<int>(GameLogicView::GetLogicSettings().pouchSize);
}

// Read once, at the first use in the run.
const PlayerSettings& Settings() {
    static const PlayerSettings s{PouchSize(), Utility::ReadConfig<unsigned>("VIEW", "DeadPlayerDelayFadeTime", 100u),
                                  Utility::ReadConfig<unsigned>("VIEW", "DeadPlayerFadeTime", 100u)};
    return s;
}

using EventSystem::PayloadOf;

void Effect(const char* name, const Vector3& position, const Vector3& direction, uint8_t overlay = 0) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCreateEffect>(name, position, direction, overlay));
}

void Cue(const char* name, uint8_t team) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCreateCue>(name, 0xFFFF, team));
}

std::shared_ptr<Gfx::Camera> ActiveCamera() {
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Instance();
    return ds ? ds->GetActiveCamera() : nullptr;
}

// Bobs every player, every update of the view's process list.
class PlayerFloat : public ProcessSystem::IProcess {
public:
    explicit PlayerFloat(ViewPlayerMan* players) : IProcess(0), m_players(players) {}
    void OnUpdate(int ms) override { m_players->UpdateFloats(ms); }

private:
    ViewPlayerMan* m_players;
};

// The local player's respawn countdown in whole seconds.
class PlayerRespawnProc : public ProcessSystem::IProcess {
public:
    PlayerRespawnProc(const std::shared_ptr<ViewPlayer>& player, int ms)
        : IProcess(0), m_player(player), m_remaining(ms) {}
    void OnUpdate(int ms) override {
        if (m_player.expired()) return Kill();
        m_remaining -= ms;
        if (m_remaining <= 0) return Kill();
        const int seconds = (m_remaining + 999) / 1000;
        if (seconds == m_lastShown) return;
        auto text = CreateTextObjWithEffect("SpawnCountdown");
        if (text) {
            text->SetFontId(8);
            text->AddFormat(1);
            text->SetShadowOffset(Geometry::Vector2(0.003f, 0.003f));
            text->SetShadowColor(Gfx::Color4(0, 0, 0, 0.6f));
            text->SetText(std::to_string(seconds));
            text->BuildText();
        }
        if (m_lastShown > 0) Effect("SpawnCountdown", Vector3(0, 0, 0), Vector3(0, 1, 0));
        m_lastShown = seconds;
    }
    int LastShown() const { return m_lastShown; }

private:
    std::weak_ptr<ViewPlayer> m_player;
    int m_remaining;
    int m_lastShown = -1;
};

// Hands a spawned player its first blocks as their views appear. The
// logic's hand holds the first of them, so they come into the view's hand
// from the last to the first, the first ending in the hand.
class SpawnInitBlocksProccess : public ProcessSystem::IProcess {
public:
    SpawnInitBlocksProccess(ViewPlayerMan* players, uint16_t id, uint16_t first, uint16_t last)
        : IProcess(0), m_players(players), m_id(id), m_first(first), m_next(last) {
        if (first == 0 && last == 0) m_next = -1;  // no blocks were made
    }
    void OnUpdate(int) override {
        // At most as many as a hand and pouch can show: ids from a report
        // never walk an unbounded range.
        while (m_next >= m_first && m_next != kNone && m_taken < 64) {
            auto player = m_players->FindPlayer(m_id);
            auto block = m_players->Blocks() ? m_players->Blocks()->FindBlock(static_cast<uint16_t>(m_next)) : nullptr;
            if (!player || !block) return;
            const bool local = static_cast<uint16_t>(PublishedLocalActor()) == m_id;
            block->OnPickedUp(local);
            player->TakeBlock(block);
            if (local && m_players->GetHud()) m_players->GetHud()->AddBlockToPouch(true, block->Actor());
            --m_next;
            ++m_taken;
        }
        Kill();
    }

private:
    ViewPlayerMan* m_players;
    uint16_t m_id;
    int m_first, m_next;
    int m_taken = 0;
};

// The see-through flicker after a respawn.
class InvincibleFxProc : public ProcessSystem::IProcess {
public:
    explicit InvincibleFxProc(const std::shared_ptr<ViewPlayer>& player) : IProcess(0), m_player(player) {
        m_duration = static_cast<unsigned>(GetLogicSettings().invincible);
        // Read at every spawn, so a changed file shows at the next respawn.
        m_period = Utility::ReadConfig<int>("VIEW", "InvincibleFlickerTime", 250);
        m_transparency = Utility::ReadConfig<float>("VIEW", "InvincibleTransparency", 0.5f);
        Gfx::GfxState st;
        if (Gfx::GfxEngine::Instance() && Gfx::GfxEngine::Instance()->GetStateMan())
            st.SetMaterialTag(player->Actor()->team == 0 ? 22 : 23);
        m_layer = player->Actor()->PushLayer(st);
    }
    ~InvincibleFxProc() override {
        if (auto p = m_player.lock()) p->Actor()->RemoveLayer(m_layer);
    }
    void OnUpdate(int ms) override {
        auto p = m_player.lock();
        if (!p) return Kill();
        m_elapsed += ms;
        m_accumulator += ms;
        if (m_accumulator > m_period) {
            m_opaque = !m_opaque;
            p->Actor()->SetLayerAlpha(m_layer, m_opaque ? 1.0f : m_transparency);
            m_accumulator = 0;
        }
        if (m_elapsed > static_cast<int>(m_duration)) {
            p->Actor()->RemoveLayer(m_layer);
            Kill();
        }
    }

private:
    std::weak_ptr<ViewPlayer> m_player;
    int m_layer = -1;
    bool m_opaque = true;
    float m_transparency = 0.5f;
    int m_elapsed = 0;
    unsigned m_duration = 0;
    int m_accumulator = 0;
    int m_period = 250;
};

// Keeps the highlight on the block the local player's pick-up would take.
class SelectBlockProc : public ProcessSystem::IProcess {
public:
    SelectBlockProc(const std::shared_ptr<ViewPlayer>& player, ViewBlockMan* blocks)
        : IProcess(0), m_player(player), m_blocks(blocks) {}
    ~SelectBlockProc() override { Clear(); }
    void OnUpdate(int) override {
        auto p = m_player.lock();
        if (!p || !m_blocks || !p->Actor()) return;
        if (p->carriesFlag || p->dead) return Clear();
        Vector3 dir;
        if (auto cam = ActiveCamera())
            dir = -cam->GetBack();
        else
            dir = p->Actor()->orientation.Rotate(Vector3(0, 0, 1));
        ViewBlock* hit = m_blocks->PickBlock(p->base, dir);
        if (!hit) hit = m_blocks->PickBlock(p->base, Vector3(dir.x, -1.0f, dir.z));
        if (!hit) return Clear();
        auto current = m_blocks->FindBlock(m_selected);
        if (hit->thrown) return Clear();
        const bool full = p->IsPouchFull();
        if (current && current.get() == hit && full == m_full) return;
        if (current) current->RemoveHighlight();
        if (full)
            hit->HighlightFull();
        else
            hit->Highlight();
        m_selected = hit->Id();
        m_full = full;
    }
    uint16_t Selected() const { return m_selected; }

private:
    void Clear() {
        if (auto current = m_blocks ? m_blocks->FindBlock(m_selected) : nullptr) current->RemoveHighlight();
        m_selected = kNone;
    }
    std::weak_ptr<ViewPlayer> m_player;
    ViewBlockMan* m_blocks;
    uint16_t m_selected = kNone;
    bool m_full = false;
};

}  // namespace

// ------------------------------------------------------------- player

ViewPlayer::ViewPlayer(const std::shared_ptr<ViewActor>& actor) : m_actor(actor) {
    if (m_actor) base = m_actor->position;
    AttachEffects();
    Stand(kStand);
}

ViewPlayer::~ViewPlayer() {
    // The draw object may outlive this player in the scene: it must not
    // call back into it.
    if (m_actor)
        if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_actor->GetDrawObj().get())) a->ClearCallbacks();
}

void ViewPlayer::AttachEffects() {
    if (effectsAttached) return;
    // Low detail: none now, and none until a death and respawn bring the
    // player back in normal detail.
    effectsAttached = true;
    const GlobalGameState* state = GlobalGameState::Instance();
    if (!m_actor || (state && state->IsLowDetail())) return;
    if (m_actor->team == 0) {
        m_haloIndex = m_actor->AddParticleEffect(Vector3(0, 1.38f, 0), kHaloEffect, Vector3(0, -1, 0.4f));
        m_haloOnBone = false;
        // Out of sight until the model's first drawn frame puts it on its bone.
        m_actor->PlaceParticleEffect(m_haloIndex, m_actor->orientation, m_actor->position + Vector3(0, -1000.0f, 0));
        if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_actor->GetDrawObj().get())) {
            const int halo = m_haloIndex;
            a->SetCallback([this, halo](const Geometry::Matrix4x4& bone) { OnBoneMatrix(bone, halo); });
        }
    }
    m_actor->AddParticleEffect(Vector3(0, -1.35f, 0), m_actor->team == 0 ? kAngelFeetEffect : kDemonFeetEffect,
                               Vector3(0, -1, 0));
}

void ViewPlayer::DetachEffects() {
    effectsAttached = false;
    m_haloIndex = -1;
    m_haloOnBone = false;
    if (!m_actor) return;
    m_actor->RemoveParticleEffects();
    if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_actor->GetDrawObj().get())) a->ClearCallbacks();
}

void ViewPlayer::OnBoneMatrix(const Geometry::Matrix4x4& bone, int effectIndex) {
    if (!effectsAttached || !m_actor) return;
    // The point of our character models the halo bone carries, chosen so
    // that with the effect's own offset (1.38 along the bone's up) it sits
    // on the halo ring; and the turn from the model's axes (z up) to the
    // effect's.
    static const Vector3 kHaloPoint(-5.600015f, -0.000038f, -57.98655f - 1.38f);
    constexpr float kHalfPi = 1.5707963f;
    const Vector3 point = Geometry::TransformCoord(kHaloPoint, bone);
    const Geometry::Quaternion turn =
        Geometry::Quaternion::FromMatrix(bone) * Geometry::Quaternion::FromEuler(kHalfPi, 0.0f, kHalfPi);
    m_actor->PlaceParticleEffect(effectIndex, turn, point);
    // Remembered against the actor: a move report between two drawn frames
    // puts the halo back on the offset above the actor, the float puts it
    // back on the bone.
    if (effectIndex == m_haloIndex) {
        m_haloOnBone = true;
        m_haloFromActor = point - m_actor->position;
        m_haloTurn = turn;
    }
}
uint16_t ViewPlayer::Id() const { return m_actor ? m_actor->id : kNone; }

void ViewPlayer::Stand(int animation) {
    standing = animation;
    if (m_actor) m_actor->SetAnimation(animation);
}

void ViewPlayer::Play(int animation, float speed, bool loop) {
    played = animation;
    if (m_actor) m_actor->PlayAnimation(animation, speed, loop);
}

void ViewPlayer::ResetVisual() {
    if (m_actor) ++m_actor->fadeGeneration;
    if (faded) {
        faded = false;
        if (m_actor && m_actor->fadeLayer >= 0) {
            m_actor->RemoveLayer(m_actor->fadeLayer);
            m_actor->fadeLayer = -1;
        }
    }
    AttachEffects();
}

void ViewPlayer::UpdateFloat(float dt) {
    if (dead || !m_actor) return;
    phase += dt;
    const float s = std::sin(phase);
    const float bob = 0.2f * s + 0.35f;
    m_actor->SetPosition(base + Vector3(0, bob, 0));
    m_actor->SetOrientation(m_actor->orientation);
    if (m_haloOnBone && effectsAttached)
        m_actor->PlaceParticleEffect(m_haloIndex, m_haloTurn, m_actor->position + m_haloFromActor);
    if (m_held) m_held->PlaceHeld(Vector3(base.x, base.y + bob - (0.03f * s + 0.37f), base.z), m_actor->orientation);
}

void ViewPlayer::TakeBlock(const std::shared_ptr<ViewBlock>& block) {
    if (!block) return;
    // A block already in the hand or the pouch is shown once.
    if (block == m_held) return;
    for (const auto& b : m_pouch)
        if (b == block) return;
    Stand(kStandHolding);
    Play(m_held ? kPickUpHolding : kPickUp, 0.7f, false);
    if (m_held) {
        m_held->HideInPouch();
        m_pouch.push_back(m_held);
    }
    m_held = block;
}

void ViewPlayer::NextBlock() {
    if (!m_pouch.empty()) {
        m_held = m_pouch.back();
        m_pouch.pop_back();
        m_held->Restore();
    } else {
        m_held.reset();
        Stand(kStand);
    }
    Play(kThrow, 0.85f, false);
}

void ViewPlayer::ClearPouch() {
    while (!m_pouch.empty()) {
        m_pouch.back()->Restore();
        m_pouch.back()->Release();
        m_pouch.pop_back();
    }
}

void ViewPlayer::ThrowBlock(const std::shared_ptr<ViewBlock>& block, uint8_t team) {
    auto inPouch = block ? std::find(m_pouch.begin(), m_pouch.end(), block) : m_pouch.end();
    if (!block || block == m_held || inPouch == m_pouch.end()) {
        // The held block (or one the view does not know): as the hand shows.
        if (m_held) m_held->OnThrown(team);
        NextBlock();
        return;
    }
    m_pouch.erase(inPouch);
    block->Restore();
    block->OnThrown(team);
    Play(kThrow, 0.85f, false);
}

void ViewPlayer::BringToHand(const std::shared_ptr<ViewBlock>& block) {
    if (!block || block == m_held) return;
    auto inPouch = std::find(m_pouch.begin(), m_pouch.end(), block);
    if (inPouch == m_pouch.end()) return;
    m_pouch.erase(inPouch);
    block->Restore();
    if (m_held) {
        m_held->HideInPouch();
        m_pouch.push_back(m_held);
    }
    m_held = block;
    Stand(kStandHolding);
}

bool ViewPlayer::IsPouchFull() const { return static_cast<int>(m_pouch.size()) >= Settings().pouchSize; }

void ViewPlayer::DropHeld() {
    if (m_held) m_held->Release();
    m_held.reset();
}

void ViewPlayer::SpawnReset() {
    dead = false;
    Stand(kStandHolding);
    ClearPouch();
    DropHeld();
}

void ViewPlayer::Die() {
    Stand(kStandHolding);
    Play(kDeath, 1.0f, true);
    DropHeld();
    ClearPouch();
    dead = true;
    phase = 0.0f;
}

// ------------------------------------------------------------ manager

ViewPlayerMan::ViewPlayerMan() {
    auto& r = m_registry;
    r.Register(EventTypes::EventUpdateJump::GetStaticType(), this, &ViewPlayerMan::OnJump);
    r.Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &ViewPlayerMan::OnExplosion);
    r.Register(EventTypes::EventUpdatePickUpBlock::GetStaticType(), this, &ViewPlayerMan::OnPickUp);
    r.Register(EventTypes::EventUpdateThrowBlock::GetStaticType(), this, &ViewPlayerMan::OnThrow);
    r.Register(EventTypes::EventUpdateActorDeath::GetStaticType(), this, &ViewPlayerMan::OnDeath);
    r.Register(EventTypes::EventUpdateActorSpawn::GetStaticType(), this, &ViewPlayerMan::OnSpawn);
    r.Register(EventTypes::EventUpdateActorMove::GetStaticType(), this, &ViewPlayerMan::OnMove);
    r.Register(EventTypes::EventCommandActorTurn::GetStaticType(), this, &ViewPlayerMan::OnTurn);
    r.Register(EventTypes::EventUpdateFlagGrabbed::GetStaticType(), this, &ViewPlayerMan::OnFlagGrabbed);
    r.Register(EventTypes::EventUpdateFlagDropped::GetStaticType(), this, &ViewPlayerMan::OnFlagDropped);
    r.Register(EventTypes::EventUpdateFlagCaptured::GetStaticType(), this, &ViewPlayerMan::OnFlagCaptured);
    r.Register(EventTypes::EventUpdateTeamVictory::GetStaticType(), this, &ViewPlayerMan::OnTeamVictory);
    r.Register(EventTypes::EventUpdateHeldBlocks::GetStaticType(), this, &ViewPlayerMan::OnHeldBlocks);
    r.Register(EventTypes::EventCommandThrowBlock::GetStaticType(), this, &ViewPlayerMan::OnThrowCommand);
    r.Register(EventTypes::EventCommandPickUpBlock::GetStaticType(), this, &ViewPlayerMan::OnPickUpCommand);
}

ViewPlayerMan::~ViewPlayerMan() {
    m_registry.UnregisterAll();
    for (auto* p : {&m_selection, &m_float}) {
        if (*p) (*p)->Kill();
        p->reset();
    }
    for (auto& [id, proc] : m_playerProcesses)
        if (proc) proc->Kill();
}

void ViewPlayerMan::StartFloat(ProcessSystem::ProcessManager* processes) {
    m_processes = processes;
    m_float = std::make_shared<PlayerFloat>(this);
    if (m_processes) m_processes->Attach(m_float);
}

void ViewPlayerMan::SetLocalPlayer(uint16_t id) {
    m_local = id;
    if (m_players.count(id)) StartSelection();
}

bool ViewPlayerMan::AddPlayer(const std::shared_ptr<ViewActor>& actor) {
    if (!actor || actor->id == kNone) return false;
    if (!m_players.count(actor->id)) {
        auto player = std::make_shared<ViewPlayer>(actor);
        m_players.emplace(actor->id, player);
        if (actor->id == m_local) StartSelection();
        if (m_hud) m_hud->AddTeammateMarker(player);
    }
    return true;
}

std::shared_ptr<ViewPlayer> ViewPlayerMan::FindPlayer(uint16_t id) const {
    auto it = m_players.find(id);
    return it == m_players.end() ? nullptr : it->second;
}

uint16_t ViewPlayerMan::SelectedBlock() const {
    auto* s = dynamic_cast<SelectBlockProc*>(m_selection.get());
    return s ? s->Selected() : kNone;
}

void ViewPlayerMan::StartSelection() {
    if (m_selection) m_selection->Kill();
    m_selection = std::make_shared<SelectBlockProc>(FindPlayer(m_local), m_blocks);
    if (m_processes) m_processes->Attach(m_selection);
}

void ViewPlayerMan::ReplacePlayerProcess(uint16_t id, const std::shared_ptr<ProcessSystem::IProcess>& process) {
    auto& slot = m_playerProcesses[id];
    if (slot) slot->Kill();
    slot = process;
    if (slot && m_processes) m_processes->Attach(slot);
}

void ViewPlayerMan::UpdateFloats(int ms) {
    for (auto& [id, p] : m_players) p->UpdateFloat(static_cast<float>(ms) / 1000.0f);
}

bool ViewPlayerMan::OnJump(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateJump>(event);
    if (!d) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    if (!p) return false;
    const Vector3 at = p->base - Vector3(0, 1.32f, 0);
    Effect("Jump", at, Vector3(0, -1, 0));
    if (p->Id() == m_local) Effect("JumpSelf", at, Vector3(0, -1, 0));
    const int anim = p->GetHeldBlock() ? ViewPlayer::kJumpHolding : ViewPlayer::kJump;
    p->played = anim;
    if (p->Actor()) p->Actor()->PlayAnimation(anim, 0.44f, false);
    return false;
}

bool ViewPlayerMan::OnExplosion(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateExplosion>(event);
    if (!d) return false;
    if (static_cast<uint16_t>(d->ownerId) == m_local && m_local != kNone)
        Effect("SelfBombExplode", d->position, Vector3(0, 1, 0));
    if (auto cam = ActiveCamera()) cam->AddShake(d->position);
    return false;
}

bool ViewPlayerMan::OnPickUp(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdatePickUpBlock>(event);
    if (!d || !m_blocks) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    auto b = m_blocks->FindBlock(static_cast<uint16_t>(d->blockId));
    if (!p || !b) return false;
    if (p->Id() == m_local && m_hud) m_hud->AddBlockToPouch(false, b->Actor());
    p->TakeBlock(b);
    b->OnPickedUp(p->Id() == m_local);
    return false;
}

bool ViewPlayerMan::OnThrow(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateThrowBlock>(event);
    if (!d) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    if (!p) return false;
    const uint8_t team = p->Actor() ? p->Actor()->team : 255;
    auto block = m_blocks ? m_blocks->FindBlock(static_cast<uint16_t>(d->blockId)) : nullptr;
    auto next = m_blocks && d->heldBlockId != -1 ? m_blocks->FindBlock(static_cast<uint16_t>(d->heldBlockId)) : nullptr;
    const bool held = p->GetHeldBlock() != nullptr;
    p->ThrowBlock(block, team);
    if (held && p->Id() == m_local && m_hud) m_hud->Pouch().ThrowBlock();
    // The hand the logic reports wins over the view's guess.
    if (next) p->BringToHand(next);
    return false;
}

bool ViewPlayerMan::OnDeath(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateActorDeath>(event);
    if (!d) return false;
    const uint16_t victim = static_cast<uint16_t>(d->actorId);
    auto p = FindPlayer(victim);
    if (!p) return false;
    p->Die();
    const uint8_t team = p->Actor() ? p->Actor()->team : 255;
    if (victim == m_local) {
        Cue("Killed", team);
        if (m_hud) m_hud->Pouch().Clear();
        Effect("SelfDeath", Vector3(0.5f, 0.5f, 0), Vector3(1, 0, 0), 1);
        Effect("SelfDeathCue", Vector3(0, 0, 0), Vector3(0, 1, 0));
    } else if (static_cast<uint16_t>(d->killerId) == m_local && m_local != kNone) {
        Cue("KilledSomeone", PublishedLocalTeam());
        Effect("KilledSomeoneCue", Vector3(0, 0, 0), Vector3(0, 1, 0));
    }
    if (victim == m_local)
        ReplacePlayerProcess(victim, std::make_shared<PlayerRespawnProc>(p, GetLogicSettings().respawnDelay));
    else
        ReplacePlayerProcess(victim, nullptr);
    p->faded = true;
    p->DetachEffects();
    if (m_processes && p->Actor()) {
        auto wait = std::make_shared<ProcessSystem::WaitProcess>(static_cast<int>(Settings().fadeDelay));
        wait->SetNext(std::make_shared<FadeActorProcess>(p->Actor(), Settings().fadeTime));
        m_processes->Attach(wait);
    }
    return false;
}

bool ViewPlayerMan::OnSpawn(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateActorSpawn>(event);
    if (!d) return false;
    const uint16_t id = static_cast<uint16_t>(d->actorId);
    if (id == m_local && m_local != kNone)
        if (auto cam = ActiveCamera()) cam->SetYaw(d->orientation.Rotate(Vector3(1, 0, 0)));
    auto p = FindPlayer(id);
    if (p) {
        p->SpawnReset();
        p->base = d->position;
        if (p->Actor()) p->Actor()->SetOrientation(d->orientation);
        p->UpdateFloat(0.0f);
        p->ResetVisual();
        p->UpdateFloat(0.0f);
    }
    ReplacePlayerProcess(id, std::make_shared<SpawnInitBlocksProccess>(this, id,
                                                                      static_cast<uint16_t>(d->firstPouchBlockId),
                                                                      static_cast<uint16_t>(d->lastPouchBlockId)));
    if (p && p->Actor() && m_processes) m_processes->Attach(std::make_shared<InvincibleFxProc>(p));
    return false;
}

bool ViewPlayerMan::OnMove(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateActorMove>(event);
    if (!d || static_cast<uint16_t>(d->actorId) == kNone) return false;
    if (auto p = FindPlayer(static_cast<uint16_t>(d->actorId))) {
        p->base = d->position;
        p->UpdateFloat(0.0f);
    }
    return false;
}

bool ViewPlayerMan::OnTurn(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventCommandActorTurn>(event);
    if (!d) return false;
    if (auto p = FindPlayer(static_cast<uint16_t>(d->actorId))) p->UpdateFloat(0.0f);
    return false;
}

bool ViewPlayerMan::OnFlagGrabbed(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagGrabbed>(event);
    if (!d) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    if (!p) return false;
    p->carriesFlag = true;
    // Carrying a flag, the local player is shown the way home instead.
    if (p->Id() == m_local && m_hud && m_hud->goalsHidden) {
        m_hud->HideFlagMarkers();
        m_hud->ShowGoalMarkers();
    }
    return false;
}

bool ViewPlayerMan::OnFlagDropped(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagDropped>(event);
    if (!d || static_cast<uint16_t>(d->actorId) == kNone) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    if (!p) return false;
    p->carriesFlag = false;
    if (p->Id() == m_local && m_hud && !m_hud->goalsHidden) {
        m_hud->ShowFlagMarkers();
        m_hud->HideGoalMarkers();
    }
    return false;
}

bool ViewPlayerMan::OnFlagCaptured(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateFlagCaptured>(event);
    if (!d) return false;
    auto p = FindPlayer(static_cast<uint16_t>(d->actorId));
    if (!p) return false;
    // Empty hands, or a block that is not the flag: nothing to let go of.
    const auto& held = p->GetHeldBlock();
    if (held && held->Id() != static_cast<uint16_t>(d->flagId)) return false;
    const bool local = p->Id() == m_local;
    if (local && m_hud && !m_hud->goalsHidden) {
        m_hud->ShowFlagMarkers();
        m_hud->HideGoalMarkers();
    }
    if (!held) return false;
    held->Release();
    p->NextBlock();
    if (local && m_hud) m_hud->Pouch().ThrowBlock();
    p->carriesFlag = false;
    return false;
}

bool ViewPlayerMan::OnTeamVictory(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateTeamVictory>(event)) Cue("Win", d->team);
    return false;
}

bool ViewPlayerMan::OnHeldBlocks(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateHeldBlocks>(event);
    if (!d) return false;
    const uint16_t id = static_cast<uint16_t>(d->actorId);
    if (id == m_local) return false;
    auto p = FindPlayer(id);
    if (!p) return false;
    p->ClearPouch();
    p->NextBlock();
    if (!m_blocks) return false;
    // A block named twice is shown once, where it is first named: the
    // first listed ends in the hand.
    std::vector<std::shared_ptr<ViewBlock>> listed;
    for (int16_t raw : d->blockIds) {
        auto b = m_blocks->FindBlock(static_cast<uint16_t>(raw));
        if (b && std::find(listed.begin(), listed.end(), b) == listed.end()) listed.push_back(b);
    }
    for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
        p->TakeBlock(*it);
        (*it)->OnPickedUp(false);
    }
    return false;
}

bool ViewPlayerMan::OnThrowCommand(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventCommandThrowBlock>(event);
    if (!d || static_cast<uint16_t>(d->actorId) != m_local) return false;
    auto p = FindPlayer(m_local);
    if (p && p->Pouch().empty()) Effect("ThrowBlockEmptyPouch", Vector3(0, 0, 0), Vector3(0, 1, 0));
    return false;
}

bool ViewPlayerMan::OnPickUpCommand(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventCommandPickUpBlock>(event);
    if (!d || static_cast<uint16_t>(d->actorId) != m_local) return false;
    auto p = FindPlayer(m_local);
    if (p && p->IsPouchFull() && (!m_selection || SelectedBlock() != kNone))
        Effect("AddBlockToFullPouch", Vector3(0, 0, 0), Vector3(0, 1, 0));
    return false;
}

}  // namespace GameLogicView
