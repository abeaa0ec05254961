#include "gamelogic/Actor.h"

#include <cmath>

#include "events/EventManager.h"
#include "events/Event.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/ObjectStateTable.h"
#include "physics/PhysBody.h"
#include "physics/PhysProc.h"

namespace GameLogicView {

namespace ActorTypes {
const char* const kBox = "box";
const char* const kMasslessBox = "massless_box";
const char* const kSolid = "solid";
const char* const kFlag = "flag";
const char* const kBot = "bot";
const char* const kCharacter = "character";
const char* const kPlane = "plane";

const char* Find(const std::string& name) {
    for (const char* n : {kBox, kMasslessBox, kSolid, kFlag, kBot, kCharacter, kPlane})
        if (name == n) return n;
    return nullptr;
}

uint32_t Hash(const char* name) { return name ? EventSystem::HashEventName(name) : 0; }
}  // namespace ActorTypes

namespace {
uint16_t g_nextId = 0;
}

void ActorParams::SetType(const char* name) {
    typeName = name;
    typeHash = ActorTypes::Hash(name);
}

Actor::Actor(const ActorParams& params) : ActorParams(params) {}

Actor::~Actor() {
    RemoveFromPhysics();
    heldActor.reset();
    body.reset();
}

void Actor::AddToPhysics() {
    Physics::PhysProc* proc = Physics::GetPhysProc();
    if (inPhysics || !proc || !body) return;
    proc->AddBody(body);
    inPhysics = true;
}

void Actor::RemoveFromPhysics() {
    Physics::PhysProc* proc = Physics::GetPhysProc();
    if (!inPhysics || !proc) return;
    proc->RemoveBody(body);
    inPhysics = false;
}

void Actor::RefreshInPhysics() {
    Physics::PhysProc* proc = Physics::GetPhysProc();
    if (proc && body) proc->RefreshBody(body);
}

void Actor::SetMove(float x, float z) {
    if (body) body->SetMoveVelocity(x, z);
}

void Actor::SetMaterial(const std::string& name) {
    if (body) body->SetMaterial(name);
}

void Actor::WakeBody() {
    if (body && body->IsAsleep() && body->GetMass() != 0.0f) body->Wake();
}

void Actor::StopBody() {
    if (!body) return;
    body->ResetMotion();
    body->state.angularMomentum = Geometry::kZeroVector;
    body->UpdateAngularVelocity();
    body->touched = true;
}

void Actor::FollowCarrier() {
    if (!body || !heldActor || !heldActor->body) return;
    const Geometry::Quaternion q = heldActor->body->GetOrientation();
    Geometry::Vector3 e = q.Rotate(heldActor->extents);
    e = Geometry::Vector3(std::fabs(e.x), std::fabs(e.y), std::fabs(e.z));
    SnapToHalfGrid(e);
    const Geometry::Vector3 a = body->GetPosition();
    heldActor->body->SetPosition(Geometry::Vector3(a.x, a.y + 2.0f + e.y, a.z));
}

void Actor::SetHeldActor(const std::shared_ptr<Actor>& held) {
    heldActor = held;
    heldActorId = held ? static_cast<int16_t>(held->actorId) : static_cast<int16_t>(-1);
}

Geometry::Vector3 Actor::GetVelocity() const { return body ? body->GetVelocity() : Geometry::kZeroVector; }
Geometry::Quaternion Actor::GetOrientation() const {
    return body ? body->GetOrientation() : Geometry::kIdentityQuaternion;
}

uint16_t ActorMan::AddActor(const ActorPtr& actor) {
    if (!actor || m_actors.size() >= kNoActor) return kNoActor;
    // Skip the no-actor value and ids still in use, so a long match (the
    // menu backdrop runs for hours) never hands out an id twice.
    while (g_nextId == kNoActor || m_actors.count(g_nextId)) ++g_nextId;
    const uint16_t id = g_nextId++;
    actor->actorId = id;
    if (actor->body) actor->body->SetActorId(id);
    ActorPtr& entry = m_actors[id];
    entry = actor;
    if (id >= m_byId.size()) m_byId.resize(static_cast<size_t>(id) + 1, nullptr);
    m_byId[id] = &entry;
    return id;
}

ActorPtr ActorMan::GetActor(uint16_t id) const {
    if (id < m_byId.size())
        if (const ActorPtr* entry = m_byId[id]) return *entry;
    return ActorPtr();
}

void ActorMan::RemoveActor(uint16_t id) {
    auto it = m_actors.find(id);
    if (it == m_actors.end()) return;
    it->second->RemoveFromPhysics();
    if (id < m_byId.size()) m_byId[id] = nullptr;
    m_actors.erase(it);
}

void ActorMan::Clear() {
    m_byId.clear();
    m_actors.clear();
}

bool ActorMan::LookUpActorType(uint16_t actorId, const char*& typeName, uint32_t& typeHash) const {
    if (actorId >= m_byId.size() || !m_byId[actorId]) return false;
    const Actor& actor = **m_byId[actorId];
    typeName = actor.typeName;
    typeHash = actor.typeHash;
    return true;
}

void ActorMan::ResetIdCounter() { g_nextId = 0; }
uint16_t ActorMan::NextId() { return g_nextId; }
void ActorMan::SetNextId(uint16_t id) { g_nextId = id; }

void SnapToHalfGrid(Geometry::Vector3& v) {
    for (int i = 0; i < 3; ++i) {
        const float c = std::fabs(v[i]);
        v[i] = static_cast<float>(static_cast<int>(2.0f * c + 0.5f)) / 2.0f;
    }
}

ActorPtr BuildActor(const ActorCreateInfo& info, ActorMan& actors, const ObjectStateTable& table,
                    const std::function<void(const ActorPtr&)>& onCreated) {
    auto actor = std::make_shared<Actor>(info.params);
    actor->inPhysics = false;
    actor->heldActor.reset();
    actor->heldActorId = -1;
    actor->body.reset();

    // A state without a model extent still needs a body: a unit block.
    Geometry::Vector3 extent(0.5f, 0.5f, 0.5f);
    table.GetStateAndExtent(info.params.objectStateId, extent);
    actor->extents = Geometry::Vector3(extent.x * info.scale.x, extent.y * info.scale.y, extent.z * info.scale.z);

    const char* material = actor->typeName ? actor->typeName : ActorTypes::kBox;
    actor->SetBody(Physics::CreateBody(info.position, actor->extents, material, info.orientation));
    actor->body->SetVelocity(info.velocity);

    if (actors.AddActor(actor) == kNoActor) return nullptr;
    if (info.addToPhysics) actor->AddToPhysics();

    // The caller's set fields win over the table (team materials and palette
    // colours must show); the rest comes from the table, flags combine.
    ObjectState fromTable;
    table.GetState(info.params.objectStateId, fromTable);
    ObjectState state = info.overrides;
    state.MergeDefaults(fromTable);
    state.stateId = fromTable.stateId;
    actor->objectState = state;

    if (onCreated) onCreated(actor);

    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateCreateActor>(
        static_cast<int16_t>(actor->actorId), actor->body->GetPosition(), actor->body->GetOrientation(), info.scale,
        actor->objectState, actor->team, actor->extents, actor->typeName, actor->typeHash));
    return actor;
}

}  // namespace GameLogicView
