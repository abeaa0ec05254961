// Where players of each team appear: the level's spawn points, handed out in
// turn per team.
#pragma once

#include <cstdint>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

class SpawnManager {
public:
    // Team 0 uses its own list; every other team id uses team 1's.
    void AddSpawnPoint(uint8_t team, const Geometry::Vector3& position);
    // The team's next point in turn; (0, 0.5, 0) when the team has none.
    Geometry::Vector3 GetSpawnPoint(uint8_t team);

    const std::vector<Geometry::Vector3>& GetPoints(uint8_t team) const { return m_points[team == 0 ? 0 : 1]; }

private:
    std::vector<Geometry::Vector3> m_points[2];
    unsigned m_next[2] = {0, 0};
};

}  // namespace GameLogicView
