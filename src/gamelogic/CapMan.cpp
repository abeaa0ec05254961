#include "gamelogic/CapMan.h"

#include "events/EventManager.h"
#include "events/types/FlagEvents.h"

namespace GameLogicView {

void CapMan::AddCapturePoint(const Geometry::Vector3& position, uint8_t team) {
    m_points[team == 0 ? 0 : 1].push_back(position);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateCapPtCreated>(position, team));
}

const std::vector<Geometry::Vector3>* CapMan::GetCapturePoints(uint8_t team) const {
    const std::vector<Geometry::Vector3>& points = m_points[team == 0 ? 0 : 1];
    return points.empty() ? nullptr : &points;
}

}  // namespace GameLogicView
