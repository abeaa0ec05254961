#include "gameviews/ViewBlock.h"

#include <cmath>

#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/LogicSettings.h"
#include "gameviews/ViewActor.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/ParticleMan.h"
#include "gfx/StateMan.h"
#include "processes/Process.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

bool LowDetail() { return GlobalGameState::Instance()->IsLowDetail(); }

using EventSystem::PayloadOf;

}  // namespace

ViewBlock::ViewBlock(const std::shared_ptr<ViewActor>& actor) : m_actor(actor) {
    if (m_actor) radius = m_actor->extent.Length();
}

uint16_t ViewBlock::Id() const { return m_actor ? m_actor->id : ViewActor::kNoActor; }

bool ViewBlock::IsFlag() const { return m_actor && IsActorType(*m_actor, ActorTypes::kFlag); }

void ViewBlock::PushLook(int stateTag, int& handle) {
    if (!m_actor) return;
    DropLook(handle);
    Gfx::GfxState st;
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (engine && engine->GetStateMan()) engine->GetStateMan()->RequestState(stateTag, st);
    handle = m_actor->PushLayer(st);
}

void ViewBlock::DropLook(int& handle) {
    if (handle >= 0 && m_actor) m_actor->RemoveLayer(handle);
    handle = -1;
}

void ViewBlock::Highlight() {
    if (highlighted) return;
    PushLook(kHighlightState, m_highlightLayer);
    highlighted = true;
}

void ViewBlock::HighlightFull() {
    if (highlighted) return;
    PushLook(kHighlightFullState, m_highlightLayer);
    highlighted = true;
}

void ViewBlock::RemoveHighlight() {
    if (!highlighted) return;
    DropLook(m_highlightLayer);
    highlighted = false;
}

void ViewBlock::OnPickedUp(bool local) {
    // A flag's own effects go on with it; a block's trail dies out.
    if (!IsFlag() && m_actor) m_actor->StopParticleEffects();
    if (local) {
        RemoveHighlight();
        PushLook(IsFlag() ? kHeldFlagState : kHeldState, m_heldLayer);
    }
    // A burst where the block was taken, left behind (not attached).
    if (!LowDetail() && m_actor)
        if (Gfx::ParticleMan* pm = SceneParticles())
            pm->AddParticleEffect(kPickUpEffect, m_actor->position + Vector3(0, -0.5f, 0), Vector3(0, 0, 0),
                                  Geometry::Quaternion(), false);
    held = true;
}

void ViewBlock::HideInPouch() {
    if (!m_actor) return;
    m_actor->RemoveParticleEffects();
    DropLook(m_hiddenLayer);
    Gfx::GfxState invisible;
    invisible.alpha = 0.0f;
    m_hiddenLayer = m_actor->PushLayer(invisible);
    hidden = true;
}

void ViewBlock::Restore() {
    DropLook(m_hiddenLayer);
    hidden = false;
}

void ViewBlock::Release() {
    DropLook(m_heldLayer);
    held = false;
}

void ViewBlock::OnThrown(uint8_t team) {
    // The thrower's team trail follows the block in flight.
    if (!LowDetail() && m_actor && team <= 1)
        m_actor->AddParticleEffect(Vector3(0, 0, 0), team == 0 ? kAngelTrailEffect : kDemonTrailEffect,
                                   Vector3(0, -1, 0));
    thrown = true;
    Release();
}

void ViewBlock::PlaceHeld(const Vector3& p, const Geometry::Quaternion& q) {
    if (!m_actor) return;
    const Vector3 r = m_actor->orientation.Rotate(m_actor->extent);
    // The nearest multiple of 0.5, halves going up.
    const float height = 0.5f * std::trunc(std::fabs(2.0f * r.y) + 0.5f);
    m_actor->SetTransform(Vector3(p.x, p.y + height + 2.0f, p.z), q);
}

// ------------------------------------------------------------ manager

ViewBlockMan::ViewBlockMan() {
    m_registry.Register(EventTypes::EventUpdateBlockActive::GetStaticType(), this, &ViewBlockMan::OnBlockInactive);
    m_registry.Register(EventTypes::EventUpdateBlockFade::GetStaticType(), this, &ViewBlockMan::OnBlockFade);
    m_registry.Register(EventTypes::EventUpdateCollisionToClient::GetStaticType(), this, &ViewBlockMan::OnCollision);
    m_registry.Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &ViewBlockMan::OnExplosion);
}

ViewBlockMan::~ViewBlockMan() { m_registry.UnregisterAll(); }

bool ViewBlockMan::AddBlock(const std::shared_ptr<ViewActor>& actor) {
    if (!actor || actor->id == ViewActor::kNoActor) return false;
    if (!m_blocks.count(actor->id)) m_blocks.emplace(actor->id, std::make_shared<ViewBlock>(actor));
    return true;
}

std::shared_ptr<ViewBlock> ViewBlockMan::FindBlock(uint16_t id) const {
    auto it = m_blocks.find(id);
    return it == m_blocks.end() ? nullptr : it->second;
}

void ViewBlockMan::RemoveBlock(uint16_t id) { m_blocks.erase(id); }

ViewBlock* ViewBlockMan::PickBlock(const Vector3& origin, Vector3 direction) const {
    // The logic's picker values: the view selects the block the logic's
    // pick-up would take.
    const LogicSettings& s = GetLogicSettings();
    const float reach = s.pickerSphereIncrease + s.pickerDistance;
    direction.y += s.pickerZOffset;
    // No direction after the tilt, or a position that is not finite, picks
    // nothing (every block would be "in front" and on the ray).
    if (direction.LengthSquared() == 0.0f || !origin.IsFinite() || !direction.IsFinite()) return nullptr;
    direction = direction.Normalized() * s.pickerDistance;
    ViewBlock* best = nullptr;
    float bestSq = 100000.0f;
    for (const auto& [id, block] : m_blocks) {
        if (block->held || block->thrown || block->fading || !block->Actor()) continue;
        const ViewActor& a = *block->Actor();
        const Vector3 d = a.position - origin;
        const float q = d.LengthSquared();
        const float r = block->radius + reach;
        if (q > r * r || d.Dot(direction) < 0.0f) continue;
        if (IsActorType(a, ActorTypes::kSolid) || IsActorType(a, ActorTypes::kFlag)) continue;
        if (Geometry::IntersectRaySphere(Geometry::Ray(origin, direction), Geometry::Sphere(a.position, block->radius)) ==
            0)
            continue;
        if (bestSq > q) {
            bestSq = q;
            best = block.get();
        }
    }
    return best;
}

bool ViewBlockMan::OnBlockInactive(const EventSystem::IEvent& event) {
    if (const auto* d = PayloadOf<EventTypes::EventUpdateBlockActive>(event))
        if (auto b = FindBlock(static_cast<uint16_t>(d->blockId))) b->thrown = false;
    return false;
}

bool ViewBlockMan::OnCollision(const EventSystem::IEvent& event) {
    // The physics report shares the name; only the logic's report is ours.
    const auto* d = PayloadOf<EventTypes::EventUpdateCollisionToClient>(event);
    if (!d) return false;
    for (int16_t id : {d->actorIdA, d->actorIdB}) {
        auto b = FindBlock(static_cast<uint16_t>(id));
        if (!b) continue;
        if (!b->IsFlag() && b->Actor()) b->Actor()->StopParticleEffects();
        b->thrown = false;
    }
    return false;
}

bool ViewBlockMan::OnBlockFade(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateBlockFade>(event);
    if (!d) return false;
    auto b = FindBlock(static_cast<uint16_t>(d->blockId));
    if (!b) return false;
    b->fading = true;
    if (b->Actor()) b->Actor()->RemoveParticleEffects();
    // As long as the logic waits before deleting the block.
    if (m_processes && b->Actor())
        m_processes->Attach(std::make_shared<FadeActorProcess>(b->Actor(), GetLogicSettings().unitBlockFadeTime));
    return false;
}

bool ViewBlockMan::OnExplosion(const EventSystem::IEvent& event) {
    const auto* d = PayloadOf<EventTypes::EventUpdateExplosion>(event);
    if (!d) return false;
    // The bomb's trail dies out where it burst.
    if (auto b = FindBlock(static_cast<uint16_t>(d->bombId)))
        if (!b->IsFlag() && b->Actor()) b->Actor()->StopParticleEffects();
    return false;
}

}  // namespace GameLogicView
