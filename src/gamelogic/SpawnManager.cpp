#include "gamelogic/SpawnManager.h"

namespace GameLogicView {

void SpawnManager::AddSpawnPoint(uint8_t team, const Geometry::Vector3& position) {
    m_points[team == 0 ? 0 : 1].push_back(position);
}

Geometry::Vector3 SpawnManager::GetSpawnPoint(uint8_t team) {
    const int t = team == 0 ? 0 : 1;
    const std::vector<Geometry::Vector3>& points = m_points[t];
    if (points.empty()) return Geometry::Vector3(0.0f, 0.5f, 0.0f);
    if (m_next[t] >= points.size()) m_next[t] = 0;
    const Geometry::Vector3 p = points[m_next[t]];
    m_next[t] = static_cast<unsigned>((m_next[t] + 1) % points.size());
    return p;
}

}  // namespace GameLogicView
