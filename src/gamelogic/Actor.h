// Actors: everything the logic simulates (players, blocks, bombs, flags, the
// ground) is a typed record with a 16-bit id, a team, an object state and one
// physics body. The actor map owns them by id and hands out the ids.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "events/types/ObjectState.h"
#include "physics/PhysProc.h"
#include "utility/Geometry.h"

namespace Physics {
class PhysBody;
}

namespace GameLogicView {

class ObjectStateTable;

// The seven actor type names; each is also the physical material of the body.
namespace ActorTypes {
extern const char* const kBox;
extern const char* const kMasslessBox;
extern const char* const kSolid;
extern const char* const kFlag;
extern const char* const kBot;
extern const char* const kCharacter;
extern const char* const kPlane;
// The constant name equal to the text (names read from files must outlive
// the actors), or null for an unknown type.
const char* Find(const std::string& name);
uint32_t Hash(const char* name);
}  // namespace ActorTypes

constexpr uint16_t kNoActor = 0xFFFF;

struct ActorParams {
    virtual ~ActorParams() = default;

    uint16_t actorId = kNoActor;  // set when the actor enters the actor map
    uint8_t team = 255;
    int32_t objectStateId = 0;
    ObjectState objectState;
    const char* typeName = nullptr;
    uint32_t typeHash = 0;
    Geometry::Vector3 extents;  // half-extents of the body
    std::shared_ptr<Physics::PhysBody> body;

    // Sets the name and its hash together.
    void SetType(const char* name);
    // Whether the type is the one named. Type names are the shared constants
    // almost always, and the seven differ mostly in their first letter: the
    // pointer or that letter answers without a call (sweeps ask this for
    // every block).
    bool IsType(const char* name) const {
        if (!typeName || !name) return false;
        if (typeName == name) return true;
        if (typeName[0] != name[0]) return false;
        return std::strcmp(typeName, name) == 0;
    }
};

class Actor : public ActorParams {
public:
    explicit Actor(const ActorParams& params);
    ~Actor() override;
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    void AddToPhysics();
    void RemoveFromPhysics();
    void RefreshInPhysics();
    void SetBody(const std::shared_ptr<Physics::PhysBody>& b) { body = b; }
    void SetMove(float x, float z);
    void SetMaterial(const std::string& name);
    void WakeBody();
    // The body stands still where it is: no motion, no spin, and marked
    // touched. Nothing without a body.
    void StopBody();
    // Places the held actor above this one, on the half-unit grid.
    void FollowCarrier();
    void SetHeldActor(const std::shared_ptr<Actor>& held);
    bool HasHeldActor() const { return heldActorId != -1; }

    uint16_t GetId() const { return actorId; }
    uint8_t GetTeam() const { return team; }
    void SetTeam(uint8_t t) { team = t; }
    const Geometry::Vector3& GetExtents() const { return extents; }
    // Read for every player and block several times a frame: inline.
    Geometry::Vector3 GetPosition() const { return body ? body->GetPosition() : Geometry::kZeroVector; }
    Geometry::Vector3 GetVelocity() const;
    Geometry::Quaternion GetOrientation() const;

    bool inPhysics = false;
    std::shared_ptr<Actor> heldActor;
    int16_t heldActorId = -1;
};

using ActorPtr = std::shared_ptr<Actor>;

struct ActorCreateInfo {
    Geometry::Vector3 position;
    Geometry::Quaternion orientation;
    Geometry::Vector3 velocity;
    Geometry::Vector3 scale{1.0f, 1.0f, 1.0f};
    ObjectState overrides;  // set fields win over the object-state table
    bool addToPhysics = true;
    ActorParams params;
};

// The actor map: owner of record of every actor, by id. It also answers the
// physics process's questions about the actors of a collision.
class ActorMan : public Physics::IActorDirectory {
public:
    ActorMan() = default;
    // The id table points into the map: a copy would point into another's.
    ActorMan(const ActorMan&) = delete;
    ActorMan& operator=(const ActorMan&) = delete;

    // Stores the actor under the next free id (never 0xFFFF, never an id in
    // use), writes the id into the actor and its body and returns it; 0xFFFF
    // when every id is taken (the actor is not stored).
    uint16_t AddActor(const ActorPtr& actor);
    ActorPtr GetActor(uint16_t id) const;
    void RemoveActor(uint16_t id);
    void Clear();
    size_t Count() const { return m_actors.size(); }
    const std::map<uint16_t, ActorPtr>& Actors() const { return m_actors; }

    bool LookUpActorType(uint16_t actorId, const char*& typeName, uint32_t& typeHash) const override;

    // The process-wide id counter: 0 for each new game logic; a game over
    // does not reset it.
    static void ResetIdCounter();
    static uint16_t NextId();
    static void SetNextId(uint16_t id);  // tests: reach the wrap-around

private:
    std::map<uint16_t, ActorPtr> m_actors;
    // The map's entries by id (null where the id has none): the physics asks
    // the types of both bodies of every collision, and a walk down the tree
    // of every actor of the level cost more than the rest of the report.
    std::vector<const ActorPtr*> m_byId;
};

// Each component becomes int(2|c| + 0.5) / 2: absolute, rounded half-up to
// the half unit.
void SnapToHalfGrid(Geometry::Vector3& v);

// Builds an actor as the logic's CreateActor does up to the hand-over to the
// block, player and flag managers: extents from the table's model extent times
// the scale (0.5 each when the state has none), body with the type's material,
// velocity, id, physics, object state (the caller's set fields win over the
// table's), the callback, then "LtVEventUpdateCreateActor" is queued.
// Null when no actor id is free.
ActorPtr BuildActor(const ActorCreateInfo& info, ActorMan& actors, const ObjectStateTable& table,
                    const std::function<void(const ActorPtr&)>& onCreated = {});

}  // namespace GameLogicView
