#include "gameviews/ViewActor.h"

#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawObjActorAnimated.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/ParticleMan.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"

namespace GameLogicView {

namespace {

constexpr int kAnimatedEffect = 12;

Gfx::Spatial* SceneStore() {
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Instance();
    return ds ? ds->GetSpatial() : nullptr;
}

}  // namespace

Gfx::ParticleMan* SceneParticles() {
    Gfx::Spatial* s = SceneStore();
    return s ? s->GetParticleMan() : nullptr;
}

ViewActor::ViewActor(const EventTypes::EventUpdateCreateActorData& r)
    : id(static_cast<uint16_t>(r.actorId)),
      team(r.team),
      position(r.position),
      scale(r.scale),
      orientation(r.orientation),
      objectState(r.objectState),
      actorType(r.typeHash),
      extent(r.extents) {
    // The ground plane always stands at the origin.
    if (actorType == ActorTypes::Hash(ActorTypes::kPlane)) position = Geometry::Vector3(0, 0, 0);
    if (objectState.alpha != -1.0f) m_alpha = objectState.alpha;
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!ds || !engine || !engine->GetStateMan()) return;

    // The record's ids over the state it names: the logic has merged its
    // table already, the state file fills what the record leaves open.
    Gfx::GfxState st;
    engine->GetStateMan()->RequestState(objectState.stateId, st);
    st.flags |= objectState.flags;
    if (objectState.modelId != -1) st.SetModelTag(objectState.modelId);
    if (objectState.materialId != -1) st.SetMaterialTag(objectState.materialId);
    if (objectState.effectId != -1) st.SetEffectTag(objectState.effectId);
    if (objectState.textureId != -1) st.SetTextureTag(objectState.textureId);
    if (objectState.alpha != -1.0f) st.alpha = objectState.alpha;
    if (objectState.techniqueId != -1) st.SetTechniqueTag(objectState.techniqueId);
    if (objectState.effectId == kAnimatedEffect)
        m_drawObj = ds->CreateAnimatedObject(id, position, orientation, scale, st);
    else
        m_drawObj = ds->CreateObject(id, position, orientation, scale, st);
}

ViewActor::~ViewActor() {
    // Only our own object: a later actor with the same id keeps its own.
    if (m_drawObj)
        if (Gfx::Spatial* s = SceneStore()) {
            std::shared_ptr<Gfx::IDrawObj> current;
            if (s->GetObject(id, current) && current == m_drawObj) s->DestroyObject(id);
        }
    // Nothing the actor started outlives it.
    RemoveParticleEffects();
    if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_drawObj.get())) a->ClearCallbacks();
}

void ViewActor::SetTransform(const Geometry::Vector3& p, const Geometry::Quaternion& q) {
    SetPosition(p);
    SetOrientation(q);
    for (auto& e : m_effects) {
        if (auto effect = e.effect.lock()) {
            effect->position = q.Rotate(e.offset) + p;
            effect->orientation = q;
        }
    }
}

int ViewActor::AddParticleEffect(const Geometry::Vector3& offset, int effectTag, const Geometry::Vector3& direction) {
    AttachedEffect entry;
    entry.offset = offset;
    if (Gfx::ParticleMan* pm = SceneParticles()) {
        const int instance = pm->AddParticleEffect(effectTag, position + offset, direction, Geometry::Quaternion(), false);
        auto it = pm->RunningEffects().find(instance);
        if (it != pm->RunningEffects().end()) {
            entry.effect = it->second;
            entry.instanceId = instance;
        }
    }
    m_effects.push_back(std::move(entry));
    return static_cast<int>(m_effects.size()) - 1;
}

void ViewActor::PlaceParticleEffect(int index, const Geometry::Quaternion& q, const Geometry::Vector3& base) {
    if (index < 0 || static_cast<size_t>(index) >= m_effects.size()) return;
    AttachedEffect& e = m_effects[static_cast<size_t>(index)];
    if (auto effect = e.effect.lock()) {
        effect->position = q.Rotate(e.offset) + base;
        effect->orientation = q;
    }
}

void ViewActor::StopParticleEffects() {
    Gfx::ParticleMan* pm = SceneParticles();
    for (auto& e : m_effects) {
        auto effect = e.effect.lock();
        if (!effect) continue;
        bool undying = false;
        for (auto& entry : effect->systems) {
            Gfx::ParticleSystemData& d = entry.system->Data();
            // No new particle, not even a burst still to come. A system that
            // keeps its particles topped up would never count as finished
            // with nothing to top up, so it becomes a plain one: done once
            // its live particles have died.
            d.spawnRate = 0.0f;
            d.numParticles = 0;
            if (d.spawnMethod == Gfx::ParticleSystemData::kPermanent)
                d.spawnMethod = Gfx::ParticleSystemData::kContinuous;
            undying = undying || d.permanentParticles;
        }
        // Particles that never die would keep the effect forever.
        if (undying && pm) pm->RemoveParticleEffect(e.instanceId);
    }
    m_effects.clear();
}

void ViewActor::RemoveParticleEffects() {
    Gfx::ParticleMan* pm = SceneParticles();
    for (auto& e : m_effects) {
        // An effect that ended by itself is no longer running: nothing to remove.
        auto effect = e.effect.lock();
        if (!effect || !pm) continue;
        auto it = pm->RunningEffects().find(e.instanceId);
        if (it != pm->RunningEffects().end() && it->second == effect) pm->RemoveParticleEffect(e.instanceId);
    }
    m_effects.clear();
}

void ViewActor::SetPosition(const Geometry::Vector3& p) {
    position = p;
    if (m_drawObj) m_drawObj->SetPosition(p);
}

void ViewActor::SetOrientation(const Geometry::Quaternion& q) {
    orientation = q;
    if (m_drawObj) m_drawObj->SetOrientation(q);
}

bool ViewActor::IsAnimated() const { return dynamic_cast<Gfx::DrawObjActorAnimated*>(m_drawObj.get()) != nullptr; }

void ViewActor::SetAnimation(int animation) {
    if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_drawObj.get())) a->SetAnimation(animation, 1.0f, 1.0f);
}

void ViewActor::PlayAnimation(int animation, float speed, bool loop) {
    if (auto* a = dynamic_cast<Gfx::DrawObjActorAnimated*>(m_drawObj.get()))
        a->PlayAnimation(animation, speed, 1.0f, loop);
}

int ViewActor::PushLayer(const Gfx::GfxState& state) {
    const int handle = m_nextHandle++;
    m_layers.push_back({handle, state});
    if (m_drawObj) m_drawObj->PushState(state);
    return handle;
}

bool ViewActor::RemoveLayer(int handle) {
    for (auto it = m_layers.begin(); it != m_layers.end(); ++it) {
        if (it->handle != handle) continue;
        const bool top = (it + 1) == m_layers.end();
        m_layers.erase(it);
        if (top) {
            if (m_drawObj) m_drawObj->PopState();
        } else {
            RebuildLayers();
        }
        return true;
    }
    return false;
}

bool ViewActor::SetLayerAlpha(int handle, float alpha) {
    for (auto& layer : m_layers) {
        if (layer.handle != handle) continue;
        if (layer.state.alpha == alpha) return true;
        layer.state.alpha = alpha;
        if (&layer == &m_layers.back()) {
            if (m_drawObj && m_drawObj->StateCount() > 1) m_drawObj->TopState().alpha = alpha;
        } else {
            RebuildLayers();
        }
        return true;
    }
    return false;
}

bool ViewActor::HasLayer(int handle) const {
    for (const auto& layer : m_layers)
        if (layer.handle == handle) return true;
    return false;
}

float ViewActor::ShownAlpha() const { return m_layers.empty() ? m_alpha : m_layers.back().state.alpha; }

void ViewActor::RebuildLayers() {
    if (!m_drawObj) return;
    while (m_drawObj->StateCount() > 1) m_drawObj->PopState();
    for (const auto& layer : m_layers) m_drawObj->PushState(layer.state);
}

std::shared_ptr<Gfx::IDrawObj> GetViewActorDrawObj(const std::shared_ptr<ViewActor>& actor) {
    return actor ? actor->GetDrawObj() : nullptr;
}

bool IsActorType(const ViewActor& actor, const char* typeName) { return actor.actorType == ActorTypes::Hash(typeName); }

// ------------------------------------------------------------ manager

ViewActorMan::ViewActorMan() {
    m_registry.Register(EventTypes::EventUpdateActorMove::GetStaticType(), this, &ViewActorMan::OnActorMove);
}

ViewActorMan::~ViewActorMan() { m_registry.UnregisterAll(); }

void ViewActorMan::AddActor(const std::shared_ptr<ViewActor>& actor) {
    if (actor) m_actors.emplace(actor->id, actor);
}

std::shared_ptr<ViewActor> ViewActorMan::FindActor(uint16_t id) const {
    auto it = m_actors.find(id);
    return it == m_actors.end() ? nullptr : it->second;
}

void ViewActorMan::RemoveActor(uint16_t id) { m_actors.erase(id); }

bool ViewActorMan::OnActorMove(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateActorMove*>(&event);
    if (!e || !e->GetPayload()) return false;
    const auto& d = *e->GetPayload();
    const uint16_t id = static_cast<uint16_t>(d.actorId);
    if (id == ViewActor::kNoActor) return false;
    if (auto actor = FindActor(id)) actor->SetTransform(d.position, d.orientation);
    return false;
}

// --------------------------------------------------------------- fade

FadeActorProcess::FadeActorProcess(const std::shared_ptr<ViewActor>& actor, uint32_t durationMs)
    : IProcess(0), m_actor(actor), m_generation(actor ? actor->fadeGeneration : 0), m_duration(durationMs) {}

void FadeActorProcess::OnInitialize() {
    auto actor = m_actor.lock();
    if (!actor || actor->fadeGeneration != m_generation) return;
    // A fresh layer: the fade starts opaque whatever the actor's alpha.
    if (actor->fadeLayer >= 0) actor->RemoveLayer(actor->fadeLayer);
    m_layer = actor->fadeLayer = actor->PushLayer(Gfx::GfxState());
}

void FadeActorProcess::OnUpdate(int ms) {
    auto actor = m_actor.lock();
    if (!actor || !actor->HasLayer(m_layer)) {
        Kill();
        return;
    }
    // A zero length finishes at once.
    const float progress = m_duration == 0 ? 1.0f : static_cast<float>(m_elapsed) / static_cast<float>(m_duration);
    if (progress >= 1.0f) {
        actor->SetLayerAlpha(m_layer, 0.0f);
        Kill();
        return;
    }
    actor->SetLayerAlpha(m_layer, 1.0f - progress);
    m_elapsed += static_cast<uint32_t>(ms > 0 ? ms : 0);
}

}  // namespace GameLogicView
