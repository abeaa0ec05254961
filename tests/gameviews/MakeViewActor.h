// A view actor as the view makes it from a creation report: an id, a type,
// a place, half extents and a team.
#pragma once

#include <memory>

#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gameviews/ViewActor.h"

namespace ViewTest {

inline std::shared_ptr<GameLogicView::ViewActor> MakeActor(
    int16_t id, const char* type, const Geometry::Vector3& pos = Geometry::Vector3(),
    const Geometry::Vector3& half = Geometry::Vector3(0.5f, 0.5f, 0.5f), uint8_t team = 0) {
    EventTypes::EventUpdateCreateActorData d;
    d.actorId = id;
    d.team = team;
    d.typeHash = GameLogicView::ActorTypes::Hash(type);
    d.position = pos;
    d.scale = Geometry::Vector3(1, 1, 1);
    d.extents = half;
    return std::make_shared<GameLogicView::ViewActor>(d);
}

}  // namespace ViewTest
