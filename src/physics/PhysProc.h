// The process that owns the physics world: steps it once per update of the
// logic's process list and turns its reports into "LtVCollision" and
// "LtVUpdateActorMove" events. The logic adds, removes and refreshes bodies
// through it; one global pointer names the current one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "physics/PhysContact.h"
#include "physics/PhysWorld.h"
#include "processes/Process.h"

namespace Physics {

// Who the bodies belong to: the process names the actors of a collision.
class IActorDirectory {
public:
    virtual ~IActorDirectory() = default;
    // False when no actor has the id; else its type name and hash.
    virtual bool LookUpActorType(uint16_t actorId, const char*& typeName, uint32_t& typeHash) const = 0;
};

class PhysProc : public ProcessSystem::IProcess {
public:
    static constexpr int kType = 6;

    explicit PhysProc(const IActorDirectory* actors = nullptr);
    ~PhysProc() override;

    void OnUpdate(int ms) override;
    void OnInitialize() override {}

    void AddBody(const PhysBodyPtr& body) { m_world.AddBody(body); }
    void RemoveBody(const PhysBodyPtr& body) { m_world.RemoveBody(body); }
    void RefreshBody(const PhysBodyPtr& body) { m_world.RefreshBody(body); }

    void SetActorDirectory(const IActorDirectory* actors) { m_actors = actors; }
    PhysWorld& World() { return m_world; }

    void QueueCollisionEvents();
    void QueueMoveEvents();

private:
    PhysWorld m_world;
    const IActorDirectory* m_actors;
    std::vector<MoveReport> m_moves;
};

// The current physics process (set by the logic at initialisation, cleared at
// reset); null while there is none.
PhysProc* GetPhysProc();
void SetPhysProc(PhysProc* proc);

}  // namespace Physics
