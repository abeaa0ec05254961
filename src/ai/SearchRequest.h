// What a path search looks for and whom it tells: the request interface the
// A* search manager serves, the bots' path request and the strategy
// planner's flag search.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "utility/Geometry.h"

namespace AI {

class AStar;
class SearchSpace;
class Node;

struct PathPoint {
    Geometry::Vector3 position{};
    bool flag = false;
};
using Path = std::vector<PathPoint>;

class IRequest {
public:
    static constexpr uint16_t kNoRequester = 0xFFFF;

    // What the search manager treats differently: a path request may start or
    // end in a blocked cell, takes the straight line when it is open and gives
    // up at its time-out; a tower path request may start or end blocked; an
    // exhaustive request is refused when its goal lies outside the grid; a
    // flag search gives up at its time-out once it has found a wall.
    enum class Kind { kOther, kPath, kTowerPath, kExhaustive, kFlagSearch };

    virtual ~IRequest();

    // The node just taken from the open list.
    virtual void VisitNode(const Node& node) = 0;
    virtual bool IsGoal(const Node& node, float goalX, float goalY, float goalZ) const = 0;
    // Sets the node's h toward the goal cell.
    virtual void ComputeHeuristic(Node& node, float goalX, float goalY, float goalZ) = 0;
    virtual void OnSuccess(int32_t resultId) = 0;
    virtual void OnFailure() = 0;
    // False only when no search from the start cell could end at a goal,
    // given that no cell other than the start can be reached for which
    // `reachable` (cell x, y, z) answers false: the manager then fails the
    // request at once instead of walking every cell it can reach. Requests
    // that cannot tell answer true.
    using CellTest = std::function<bool(int x, int y, int z)>;
    virtual bool GoalCanBeReached(const Geometry::Vector3& startCell, const CellTest& reachable) const;

    std::string GetName() const { return m_name; }
    Kind GetKind() const { return m_kind; }
    const Geometry::Vector3& GetStart() const { return m_start; }
    const Geometry::Vector3& GetGoal() const { return m_goal; }
    const Geometry::Vector3& GetSearchMin() const { return m_searchMin; }
    const Geometry::Vector3& GetSearchMax() const { return m_searchMax; }
    uint16_t GetRequester() const { return m_requester; }
    uint8_t GetTeam() const { return m_team; }
    int32_t GetTimeOut() const { return m_timeOut; }
    // The manager serving the request; null until it is handed over.
    AStar* GetManager() const { return m_manager; }

    // Cells (grid coordinates of walking cells) the walk should keep clear
    // of: where players stood that the requester could not get past, which
    // the grid does not know. Stepping into one costs kAvoidCost more, so a
    // way round is taken when there is one and the jam is walked through
    // when there is none; a request with any is searched, never answered by
    // the straight line.
    static constexpr float kAvoidCost = 8.0f;
    void SetAvoidCells(std::vector<Geometry::Vector3> cells) { m_avoid = std::move(cells); }
    const std::vector<Geometry::Vector3>& GetAvoidCells() const { return m_avoid; }

protected:
    // Search bounds are the grid's world bounds.
    IRequest(std::string name, const SearchSpace& grid, const Geometry::Vector3& start, const Geometry::Vector3& goal,
             uint16_t requester, uint8_t team, int32_t timeOut);

    // "Overestimate" of the serving manager's settings (its default without one).
    float Overestimate() const;

    Geometry::Vector3 m_start;
    Geometry::Vector3 m_goal;
    Geometry::Vector3 m_searchMin;
    Geometry::Vector3 m_searchMax;
    uint16_t m_requester;
    uint8_t m_team;
    int32_t m_timeOut;
    std::string m_name;
    Kind m_kind = Kind::kOther;
    std::vector<Geometry::Vector3> m_avoid;

private:
    friend class AStar;
    AStar* m_manager = nullptr;
};

// A bot's request for a path; the answer is MSG_SEARCH_SUCCESS (second data
// value: the result id to fetch) or MSG_SEARCH_FAILURE, sent to the
// requester at once.
class PathRequest : public IRequest {
public:
    // The goal box is the goal point's cell widened by the half-extents (in
    // cells) on each axis; zero half-extents make the goal cell the only goal.
    PathRequest(const SearchSpace& grid, const Geometry::Vector3& start, const Geometry::Vector3& goal,
                uint16_t requester, float halfX, float halfY, float halfZ, uint8_t team, int32_t timeOut);

    void VisitNode(const Node&) override {}
    bool IsGoal(const Node& node, float goalX, float goalY, float goalZ) const override;
    void ComputeHeuristic(Node& node, float goalX, float goalY, float goalZ) override;
    void OnSuccess(int32_t resultId) override;
    void OnFailure() override;
    // True when the start lies in the goal box or some cell of the box may
    // be reached (a box too large to walk counts as one that may).
    bool GoalCanBeReached(const Geometry::Vector3& startCell, const CellTest& reachable) const override;

    // A goal box not centred on the goal cell: `low` and `high` are cell
    // offsets from the goal's cell (low <= 0 <= high on each axis).
    void SetGoalBox(const Geometry::Vector3& low, const Geometry::Vector3& high);

    const Geometry::Vector3& GoalBoxMin() const { return m_goalMin; }
    const Geometry::Vector3& GoalBoxMax() const { return m_goalMax; }

private:
    Geometry::Vector3 m_goalMin;
    Geometry::Vector3 m_goalMax;
};

// What a team's strategy planner offers a flag search: it collects the walls
// the search passes and takes the outcome.
class IFlagSearchPlanner {
public:
    virtual ~IFlagSearchPlanner() = default;
    // A wall at least two cells high between two world points.
    virtual void RecordWall(const Geometry::Vector3& from, const Geometry::Vector3& to) = 0;
    virtual size_t WallCount() const = 0;
    // The search succeeded (the planner's "path ready"); the path is its own.
    virtual void OnFlagPathReady(Path path) = 0;
    // The search failed (the planner's "search failed").
    virtual void OnFlagSearchFailed() = 0;
};

// The strategy planner's search toward a flag: ends near the flag, records
// the walls it passes on the way.
class FlagSearchRequest : public IRequest {
public:
    static constexpr int32_t kTimeOutMs = 300;
    static constexpr float kGoalReach = 3.0f;

    FlagSearchRequest(const SearchSpace& grid, uint8_t team, const Geometry::Vector3& start,
                      const Geometry::Vector3& goal);

    void VisitNode(const Node& node) override;
    bool IsGoal(const Node& node, float goalX, float goalY, float goalZ) const override;
    void ComputeHeuristic(Node& node, float goalX, float goalY, float goalZ) override;
    void OnSuccess(int32_t resultId) override;
    void OnFailure() override;

private:
    IFlagSearchPlanner* Planner() const;
};

}  // namespace AI
