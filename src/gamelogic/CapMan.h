// The capture points of both teams: where a team brings an enemy flag to
// capture it. Each new point is announced to the views.
#pragma once

#include <cstdint>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

class CapMan {
public:
    // Appends to the list of team 0 (team 0) or team 1 (any other), then
    // queues "LtVCapPtCreated" with the position and the given team id.
    void AddCapturePoint(const Geometry::Vector3& position, uint8_t team);
    // The team's points; null when it has none.
    const std::vector<Geometry::Vector3>* GetCapturePoints(uint8_t team) const;

private:
    std::vector<Geometry::Vector3> m_points[2];
};

}  // namespace GameLogicView
