// A team's attack planner. An offence bot with nothing better to do asks it
// for a plan; it serves one request at a time, in arrival order: it picks the
// nearest enemy flag at home, searches a way to it over the grid, and gives
// the bot either a walk along the found way, or (no way found) a plan to
// breach the walls the search ran into with a bomb, or a hunt when no bomb
// can be had.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ai/SearchRequest.h"
#include "ai/TeamMan.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;
class SearchSpace;

// The goal itself when its cell is free (a goal below the grid is raised to
// its floor); otherwise the centre of the free cell of its level nearest to
// it (the nearest ring first, then nearest to the start), so a search aimed
// into a flag's own cells can still run.
Geometry::Vector3 FreeGoalNear(const SearchSpace& grid, const Geometry::Vector3& goal, const Geometry::Vector3& start);

struct StrategyRequest {
    uint16_t actorId = 0xFFFF;
    Geometry::Vector3 position{};
};

class StrategyMan : public ITeamPlanner, public IFlagSearchPlanner {
public:
    enum State : int32_t { kIdle = 0, kSearching = 1, kPathReady = 2, kSearchFailed = 3 };
    struct Wall {
        Geometry::Vector3 first;   // where the search stood
        Geometry::Vector3 second;  // the blocked cell beside it
    };

    explicit StrategyMan(uint8_t team);
    ~StrategyMan() override;

    // ITeamPlanner: once per team step, before perception and selection.
    void Step() override;
    // Appended at the back; a bot with a request queued already has that one
    // moved to its new position instead (unless it is being served).
    void AddRequest(uint16_t actorId, const Geometry::Vector3& position) override;
    IFlagSearchPlanner* GetFlagSearchPlanner() override { return this; }

    // IFlagSearchPlanner: what the flag search reports.
    void RecordWall(const Geometry::Vector3& from, const Geometry::Vector3& to) override;
    size_t WallCount() const override { return m_walls.size(); }
    void OnFlagPathReady(Path path) override;
    void OnFlagSearchFailed() override;

    // Searches for the front request's target (it stays queued).
    void StartPlanning();
    // Gives the front request's bot its plan once the search reported.
    void AssignPlans();
    // Ready and idle again, the served request gone.
    void Reset();
    // The nearest enemy flag at home (by its actor's position), or none.
    std::optional<uint16_t> ChooseTarget(const Geometry::Vector3& position) const;

    bool IsReady() const { return m_ready; }
    State GetState() const { return m_state; }
    const std::deque<std::shared_ptr<StrategyRequest>>& GetRequests() const { return m_requests; }
    const std::vector<Wall>& GetWalls() const { return m_walls; }
    const Path& GetPath() const { return m_path; }
    std::optional<uint16_t> GetTarget() const { return m_target; }

private:
    void AssignFailed(BotGameView* bot);
    uint8_t OtherTeam() const { return m_team == 0 ? 1 : 0; }

    bool m_ready = true;
    State m_state = kIdle;
    std::deque<std::shared_ptr<StrategyRequest>> m_requests;
    uint8_t m_team;
    std::vector<Wall> m_walls;
    Path m_path;
    std::optional<uint16_t> m_target;  // the flag's actor id
};

}  // namespace AI
