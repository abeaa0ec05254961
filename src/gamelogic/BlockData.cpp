#include "gamelogic/BlockData.h"

#include <cmath>
#include <cstring>

#include "gamelogic/Actor.h"
#include "physics/PhysBody.h"

namespace GameLogicView {

BlockData::BlockData(std::shared_ptr<Actor> a) : actor(std::move(a)) {
    if (actor) radius = actor->extents.Length();
}

uint16_t BlockData::GetId() const { return actor ? actor->actorId : kNoActor; }

bool BlockData::IsUnitBlock() const {
    return actor && actor->extents == Geometry::Vector3(0.5f, 0.5f, 0.5f);
}

Geometry::Vector3 BlockData::TurnedExtents() const {
    if (!actor) return Geometry::kZeroVector;
    Geometry::Vector3 e = actor->GetOrientation().Rotate(actor->extents);
    e = Geometry::Vector3(std::fabs(e.x), std::fabs(e.y), std::fabs(e.z));
    SnapToHalfGrid(e);
    return e;
}


void BlockData::SetState(int32_t newState) {
    if (newState == state || state == BlockState::kFading) return;
    if (actor) {
        const bool flag = IsType(ActorTypes::kFlag);
        switch (newState) {
            case BlockState::kPlaced:
                actor->SetMaterial(ActorTypes::kMasslessBox);
                actor->AddToPhysics();
                break;
            case BlockState::kFree:
            case BlockState::kThrown:
            case BlockState::kExploded:
                actor->SetMaterial(flag ? ActorTypes::kFlag : ActorTypes::kBox);
                actor->WakeBody();
                actor->AddToPhysics();
                break;
            case BlockState::kHeld:
            case BlockState::kPouch:
                actor->SetMaterial(ActorTypes::kMasslessBox);
                actor->RemoveFromPhysics();
                break;
            case BlockState::kFading:
                actor->SetMaterial(ActorTypes::kBox);
                actor->AddToPhysics();
                break;
            default:  // kNew: unchanged
                break;
        }
    }
    state = newState;
}

}  // namespace GameLogicView
