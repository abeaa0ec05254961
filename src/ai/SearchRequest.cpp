#include "ai/SearchRequest.h"

#include <cmath>
#include <utility>

#include "ai/AISettings.h"
#include "ai/AStar.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/SearchSpace.h"

namespace AI {

IRequest::IRequest(std::string name, const SearchSpace& grid, const Geometry::Vector3& start,
                   const Geometry::Vector3& goal, uint16_t requester, uint8_t team, int32_t timeOut)
    : m_start(start),
      m_goal(goal),
      m_searchMin(grid.Minimum()),
      m_searchMax(grid.Maximum()),
      m_requester(requester),
      m_team(team),
      m_timeOut(timeOut),
      m_name(std::move(name)) {}

IRequest::~IRequest() = default;

bool IRequest::GoalCanBeReached(const Geometry::Vector3&, const CellTest&) const { return true; }

float IRequest::Overestimate() const { return m_manager ? m_manager->GetSettings().overestimate : AISettings{}.overestimate; }

// ---------------------------------------------------------------------------

PathRequest::PathRequest(const SearchSpace& grid, const Geometry::Vector3& start, const Geometry::Vector3& goal,
                         uint16_t requester, float halfX, float halfY, float halfZ, uint8_t team, int32_t timeOut)
    : IRequest("PathRequest", grid, start, goal, requester, team, timeOut) {
    m_kind = Kind::kPath;
    const Geometry::Vector3 cell = grid.WorldToCell(goal);
    const Geometry::Vector3 half(halfX, halfY, halfZ);
    m_goalMin = cell - half;
    m_goalMax = cell + half;
}

void PathRequest::SetGoalBox(const Geometry::Vector3& low, const Geometry::Vector3& high) {
    const Geometry::Vector3 centre = (m_goalMin + m_goalMax) * 0.5f;
    m_goalMin = centre + low;
    m_goalMax = centre + high;
}

bool PathRequest::IsGoal(const Node& node, float, float, float) const {
    return node.x >= m_goalMin.x && node.x <= m_goalMax.x && node.y >= m_goalMin.y && node.y <= m_goalMax.y &&
           node.z >= m_goalMin.z && node.z <= m_goalMax.z;
}

bool PathRequest::GoalCanBeReached(const Geometry::Vector3& startCell, const CellTest& reachable) const {
    Node start(startCell.x, startCell.y, startCell.z, 0, nullptr);
    if (IsGoal(start, 0.0f, 0.0f, 0.0f)) return true;
    const Geometry::Vector3& lo = m_goalMin;
    const Geometry::Vector3& hi = m_goalMax;
    // The whole cells inside the box, per axis; odd boxes are left to the
    // search itself.
    constexpr double kMaxCells = 4096.0;
    double first[3], last[3], cells = 1.0;
    const float los[3] = {lo.x, lo.y, lo.z}, his[3] = {hi.x, hi.y, hi.z};
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(los[a]) || !std::isfinite(his[a])) return true;
        first[a] = std::ceil(static_cast<double>(los[a]));
        last[a] = std::floor(static_cast<double>(his[a]));
        if (last[a] < first[a]) return false;  // no whole cell lies inside
        if (first[a] < -1.0e6 || last[a] > 1.0e6) return true;
        cells *= last[a] - first[a] + 1.0;
    }
    if (cells > kMaxCells) return true;
    for (int x = static_cast<int>(first[0]); x <= static_cast<int>(last[0]); ++x)
        for (int z = static_cast<int>(first[2]); z <= static_cast<int>(last[2]); ++z)
            for (int y = static_cast<int>(first[1]); y <= static_cast<int>(last[1]); ++y)
                if (reachable(x, y, z)) return true;
    return false;
}

void PathRequest::ComputeHeuristic(Node& node, float goalX, float goalY, float goalZ) {
    node.ComputeHeuristic(goalX, goalY, goalZ, Overestimate());
}

void PathRequest::OnSuccess(int32_t resultId) {
    if (MsgRoute* route = MsgRoute::Instance())
        route->SendMessage(0, MSG_SEARCH_SUCCESS, m_requester, 0, SCOPE_NONE, 0, 1, resultId);
}

void PathRequest::OnFailure() {
    if (MsgRoute* route = MsgRoute::Instance())
        route->SendMessage(0, MSG_SEARCH_FAILURE, m_requester, 0, SCOPE_NONE, 0, 1, 0);
}

// ---------------------------------------------------------------------------

FlagSearchRequest::FlagSearchRequest(const SearchSpace& grid, uint8_t team, const Geometry::Vector3& start,
                                     const Geometry::Vector3& goal)
    : IRequest("FlagSearchRequest", grid, start, goal, kNoRequester, team, kTimeOutMs) {
    m_kind = Kind::kFlagSearch;
}

IFlagSearchPlanner* FlagSearchRequest::Planner() const {
    return GetManager() ? GetManager()->GetFlagPlanner(m_team) : nullptr;
}

void FlagSearchRequest::VisitNode(const Node& node) {
    IFlagSearchPlanner* planner = Planner();
    if (!planner) return;
    const SearchSpace& grid = GetManager()->GetGrid();
    static const Geometry::Vector3 kDirs[4] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}};
    const Geometry::Vector3 cell = node.Cell();
    for (const Geometry::Vector3& d : kDirs) {
        const Geometry::Vector3 side = cell + d;
        if (grid.IsCellBlocked(side.x, side.y, side.z) && grid.IsCellBlocked(side.x, side.y + 1.0f, side.z))
            planner->RecordWall(grid.Minimum() + cell, grid.Minimum() + side);
    }
}

bool FlagSearchRequest::IsGoal(const Node& node, float goalX, float goalY, float goalZ) const {
    return node.x >= goalX - kGoalReach && node.x <= goalX + kGoalReach && node.y >= goalY &&
           node.y <= goalY + 1.0f && node.z >= goalZ - kGoalReach && node.z <= goalZ + kGoalReach;
}

void FlagSearchRequest::ComputeHeuristic(Node& node, float goalX, float goalY, float goalZ) {
    node.ComputeHeuristic(goalX, goalY, goalZ, Overestimate());
}

void FlagSearchRequest::OnSuccess(int32_t resultId) {
    // Fetched at once in any case, so a planner that went away leaves no
    // path behind.
    Path path;
    if (GetManager()) GetManager()->RetrievePath(resultId, path);
    if (IFlagSearchPlanner* planner = Planner()) planner->OnFlagPathReady(std::move(path));
}

void FlagSearchRequest::OnFailure() {
    if (IFlagSearchPlanner* planner = Planner()) planner->OnFlagSearchFailed();
}

}  // namespace AI
