#include "ai/StrategyMan.h"

#include <cstdlib>
#include <limits>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/FollowPath.h"
#include "ai/Hunt.h"
#include "ai/PickUpBlock.h"
#include "ai/SearchSpace.h"
#include "ai/ThrowBlock.h"
#include "gamelogic/BlockData.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {
constexpr const char* kStrategy = "STRATEGY";
constexpr float kGoalBelowFlag = 1.5f;
// How far around a blocked goal cell a free one is looked for (cells).
constexpr int kGoalRing = 8;
}  // namespace

Geometry::Vector3 FreeGoalNear(const SearchSpace& grid, const Geometry::Vector3& goal, const Geometry::Vector3& start) {
    Geometry::Vector3 cell = grid.WorldToCell(goal);
    Geometry::Vector3 aim = goal;
    // Below the grid's floor nobody stands: the floor's level is meant.
    if (cell.y < 0.0f) {
        cell.y = 0.0f;
        aim.y = grid.Minimum().y + 0.5f;
    }
    if (!grid.IsCellBlocked(cell.x, cell.y, cell.z)) return aim;
    // A flag at home stands in its own cells, and the search gives up at
    // once on a blocked goal: aim at the nearest free cell of the same level
    // around it instead (of equal rings, the one nearest the start).
    for (int r = 1; r <= kGoalRing; ++r) {
        bool found = false;
        Geometry::Vector3 best;
        float bestDistance = 0.0f;
        for (int dz = -r; dz <= r; ++dz) {
            for (int dx = -r; dx <= r; ++dx) {
                if (std::abs(dx) != r && std::abs(dz) != r) continue;  // the ring only
                const Geometry::Vector3 c(cell.x + static_cast<float>(dx), cell.y, cell.z + static_cast<float>(dz));
                if (grid.IsCellBlocked(c.x, c.y, c.z)) continue;
                const Geometry::Vector3 p = grid.CellToWorld(c) + Geometry::Vector3(0.5f, 0.5f, 0.5f);
                const float d = (p - start).LengthSquared();
                if (!found || d < bestDistance) {
                    found = true;
                    best = p;
                    bestDistance = d;
                }
            }
        }
        if (found) return best;
    }
    return goal;
}

StrategyMan::StrategyMan(uint8_t team) : m_team(team) {}
StrategyMan::~StrategyMan() = default;

void StrategyMan::AddRequest(uint16_t actorId, const Geometry::Vector3& position) {
    // One request per bot: a bot that asks again while its request waits
    // (it was reset and chose "STRATEGY" anew) only moves it to where it
    // stands now; the one being served stays as it is. Otherwise, while no
    // enemy flag is at home, the queue would grow for as long as the match.
    for (size_t i = 0; i < m_requests.size(); ++i) {
        if (m_requests[i]->actorId != actorId) continue;
        if (i > 0 || m_ready) m_requests[i]->position = position;
        return;
    }
    m_requests.push_back(std::make_shared<StrategyRequest>(StrategyRequest{actorId, position}));
}

void StrategyMan::Step() {
    if (m_requests.empty()) return;
    if (m_ready) {
        StartPlanning();
        if (!m_requests.empty()) AssignPlans();
    } else {
        AssignPlans();
    }
}

void StrategyMan::RecordWall(const Geometry::Vector3& from, const Geometry::Vector3& to) {
    m_walls.push_back(Wall{from, to});
}

void StrategyMan::OnFlagPathReady(Path path) {
    m_path = std::move(path);
    m_state = kPathReady;
}

void StrategyMan::OnFlagSearchFailed() { m_state = kSearchFailed; }

void StrategyMan::Reset() {
    m_ready = true;
    m_state = kIdle;
    m_path.clear();
    m_walls.clear();
    if (!m_requests.empty()) m_requests.pop_front();
}

std::optional<uint16_t> StrategyMan::ChooseTarget(const Geometry::Vector3& position) const {
    const AIMan* ai = AIMan::Instance();
    GameLogicView::FlagMan* flags = ai ? ai->GetFlagMan() : nullptr;
    if (!flags) return std::nullopt;
    std::vector<GameLogicView::Flag*> available;
    flags->GetAvailableFlags(available, OtherTeam());
    std::optional<uint16_t> best;
    float bestDistance = std::numeric_limits<float>::max();
    for (const GameLogicView::Flag* flag : available) {
        if (flag->GetState() != GameLogicView::FlagState::kHome) continue;
        const float d = (flag->GetPosition() - position).LengthSquared();
        if (!best || d < bestDistance) {
            bestDistance = d;
            best = flag->GetId();
        }
    }
    return best;
}

void StrategyMan::StartPlanning() {
    AIMan* ai = AIMan::Instance();
    if (!ai || m_requests.empty()) return;
    const StrategyRequest& request = *m_requests.front();
    m_target = ChooseTarget(request.position);
    if (!m_target) return;  // no enemy flag at home: the request waits
    const GameLogicView::Flag* flag = ai->GetFlagMan()->GetFlag(*m_target);
    if (!flag) return;
    Geometry::Vector3 goal = flag->GetPosition();
    const GameLogicView::BlockPtr& block = flag->GetBlockData();
    if (block && block->GetState() == GameLogicView::BlockState::kFree)
        goal = ai->ProjectToGround(goal);
    else
        goal.y -= kGoalBelowFlag;
    const Geometry::Vector3 start = ai->ProjectToGround(request.position);
    goal = FreeGoalNear(ai->GetSearchSpace(), goal, start);
    ai->GetAStar().AddRequest(std::make_unique<FlagSearchRequest>(ai->GetSearchSpace(), m_team, start, goal));
    m_state = kSearching;
    m_ready = false;
}

void StrategyMan::AssignPlans() {
    if (m_requests.empty()) return;
    AIMan* ai = AIMan::Instance();
    BotGameView* bot = ai ? ai->GetBot(m_requests.front()->actorId) : nullptr;
    switch (m_state) {
        case kPathReady:
            if (bot && bot->GetBehaviour() == kStrategy && m_target) {
                bot->SetTargetBlock(*m_target);
                // The way ends beside the flag; the last step runs into it,
                // so the flag checks hand it to the bot.
                const GameLogicView::Flag* flag = ai->GetFlagMan() ? ai->GetFlagMan()->GetFlag(*m_target) : nullptr;
                if (flag && !m_path.empty()) {
                    const Geometry::Vector3 f = flag->GetPosition();
                    m_path.push_back(PathPoint{Geometry::Vector3(f.x, m_path.back().position.y, f.z), false});
                }
                if (!m_path.empty()) bot->SetPlan({std::make_shared<FollowPath>(m_path, bot)});
            }
            Reset();
            break;
        case kSearchFailed:
            if (bot) bot->ClearTargetBlock();
            AssignFailed(bot);
            Reset();
            break;
        default:
            break;
    }
}

void StrategyMan::AssignFailed(BotGameView* bot) {
    if (!bot) return;
    AIMan* ai = AIMan::Instance();
    if (m_walls.empty() || bot->GetBehaviour() != kStrategy || !ai) {
        bot->OnReset();
        return;
    }
    // The most promising wall: the one whose far side lies nearest the flag.
    const GameLogicView::Flag* flag = m_target && ai->GetFlagMan() ? ai->GetFlagMan()->GetFlag(*m_target) : nullptr;
    const Geometry::Vector3 flagPos = flag ? flag->GetPosition() : m_walls.front().second;
    const Wall* best = nullptr;
    float bestScore = -1.0f;
    for (const Wall& wall : m_walls) {
        const float d = (wall.second - flagPos).LengthSquared();
        const float score = d == 0.0f ? 1000.0f : 10.0f / d;
        if (score > bestScore) {
            bestScore = score;
            best = &wall;
        }
    }
    const Wall wall = *best;

    std::vector<std::shared_ptr<StateMachine>> plan;
    if (bot->GetPerception().holdingBomb) {
        plan = {std::make_shared<FollowPath>(bot, wall.first, Geometry::kZeroVector),
                std::make_shared<ThrowBlock>(bot, wall.second.x, wall.second.y, wall.second.z)};
    } else {
        // The planner's own team's targets are skipped, so two bots of the
        // team never go for one bomb.
        TeamMan* own = bot->GetTeamMan();
        const GameLogicView::Player* player = bot->GetPlayer();
        const Geometry::Vector3 botPos = player ? player->GetPosition() : Geometry::kZeroVector;
        const GameLogicView::BlockPtr bomb = own ? own->FindNearestBomb(botPos) : nullptr;
        if (bomb) {
            bot->SetTargetBlock(bomb->GetId());
            plan = {std::make_shared<FollowPath>(bot, ai->ProjectToGround(bomb->GetPosition()), Geometry::kZeroVector),
                    std::make_shared<PickUpBlock>(bot),
                    std::make_shared<FollowPath>(bot, wall.first, Geometry::kZeroVector),
                    std::make_shared<ThrowBlock>(bot, wall.second.x, wall.second.y, wall.second.z)};
        } else {
            // Nobody to breach for: hunt the nearest living enemy.
            std::vector<GameLogicView::Player*> enemies;
            if (TeamMan* other = ai->GetTeam(OtherTeam())) other->GetTeamActors(enemies);
            GameLogicView::Player* nearest = nullptr;
            float nearestDistance = std::numeric_limits<float>::max();
            for (GameLogicView::Player* enemy : enemies) {
                if (!enemy || enemy->IsDead()) continue;
                const float d = (enemy->GetPosition() - botPos).LengthSquared();
                if (!nearest || d < nearestDistance) {
                    nearestDistance = d;
                    nearest = enemy;
                }
            }
            if (!nearest) {
                bot->OnReset();
                return;
            }
            plan = {std::make_shared<Hunt>(bot, nearest)};
        }
    }
    bot->SetPlan(plan);
    if (bot->GetRole() != Role::kAttacker) bot->SetRole(Role::kAttacker);
}

}  // namespace AI
