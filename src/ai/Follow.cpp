#include "ai/Follow.h"

#include <utility>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"
#include "ai/SearchSpace.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

using Geometry::Vector3;

const AISettings& Settings() {
    static const AISettings defaults;
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings() : defaults;
}

bool CellBlocked(const Vector3& cell) {
    const AIMan* ai = AIMan::Instance();
    return ai && ai->GetSearchSpace().IsCellBlocked(cell.x, cell.y, cell.z);
}

// Straight at the goal over the ground: the move, then the turn.
void DirectStep(const BotGameView& bot, const Vector3& goalGround, const Vector3& botGround) {
    const AISettings& s = Settings();
    Vector3 d = goalGround - botGround;
    if (s.obstacleAvoidance) d = AvoidTeammates(bot, d);
    d.y = 0.0f;
    d = d.Normalized() * s.botSpeed;
    QueueMove(bot, d);
    QueueTurn(bot, NudgedHeading(d));
}

// The answer to a path search: walk the path when it can be fetched.
bool TakePath(const Msg& msg, PathWalk& walk) {
    Path found;
    AIMan* ai = AIMan::Instance();
    if (!ai || !ai->GetAStar().RetrievePath(msg.data2, found)) return false;
    walk.Start(std::move(found));
    return true;
}

}  // namespace

// ------------------------------------------------------------------ Follow

Follow::Follow(BotGameView* owner, GameLogicView::Player* leader, float offsetX, float offsetY, float offsetZ)
    : StateMachine(owner, kName), m_bot(owner), m_leader(leader), m_offset(offsetX, offsetY, offsetZ) {}

Follow::~Follow() = default;

Follow::Goal Follow::ComputeGoal() const {
    const Vector3 t = m_leader ? m_leader->GetPosition() : BotPosition(*m_bot);
    const Geometry::Quaternion turn = m_leader ? m_leader->GetOrientation() : Geometry::Quaternion{};
    const Vector3 place = GroundPoint(t + turn.Rotate(m_offset));
    const Vector3 placeCell = CellOf(place);
    if (CellBlocked(placeCell)) {
        const Vector3 leader = GroundPoint(t);
        const Vector3 leaderCell = CellOf(leader);
        return {leader, leaderCell, leaderCell == placeCell};
    }
    return {place, placeCell, true};
}

void Follow::SearchAgain(const Goal& goal) {
    StopBot(*m_bot);
    RequestPath(*m_bot, GroundPoint(BotPosition(*m_bot)), goal.ground, Geometry::kZeroVector,
                Walk::kSearchTimeOutMs);
}

bool Follow::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        SetSubstate(Walk::kInSight);
        return true;
    }
    if (kind == EVENT_ENTER) {
        if (substate == Walk::kWaitPath) {
            StopBot(*m_bot);
            return true;
        }
        return substate == Walk::kWalkPath;
    }
    if (kind == EVENT_MESSAGE) {
        if (substate != Walk::kWaitPath || !msg) return false;
        if (msg->id == MSG_SEARCH_SUCCESS) {
            if (TakePath(*msg, m_path)) SetSubstate(Walk::kWalkPath);
            return true;
        }
        if (msg->id == MSG_SEARCH_FAILURE) {
            SearchAgain(ComputeGoal());
            return true;
        }
        return false;
    }
    if (kind != EVENT_UPDATE) return false;

    const Goal goal = ComputeGoal();
    const Vector3 botGround = GroundPoint(BotPosition(*m_bot));
    const bool inSight = InSight(CellOf(botGround), goal.cell);
    switch (substate) {
        case Walk::kWaitPath:
            if (inSight) SetSubstate(Walk::kInSight);
            return true;
        case Walk::kWalkPath:
            if (inSight) {
                SetSubstate(Walk::kInSight);
            } else if (SteerAlongPath(*m_bot, m_path, SteerVariant::kCarryOver)) {
                SearchAgain(goal);
                SetSubstate(Walk::kWaitPath);
            }
            return true;
        case Walk::kInSight: {
            if (!inSight) {
                SearchAgain(goal);
                SetSubstate(Walk::kWaitPath);
                return true;
            }
            const float limit = goal.isPlace ? kArrivedAtPlace : kArrivedAtLeader;
            if ((goal.ground - botGround).LengthSquared() < limit)
                StopBot(*m_bot);
            else
                DirectStep(*m_bot, goal.ground, botGround);
            return true;
        }
        default: return false;
    }
}

// ---------------------------------------------------------------- Approach

Approach::Approach(BotGameView* owner, GameLogicView::Player* target, float distance)
    : StateMachine(owner, kName), m_bot(owner), m_target(target), m_distance(distance) {}

Approach::~Approach() = default;

void Approach::SearchAgain(const Vector3& goalGround) {
    StopBot(*m_bot);
    RequestPath(*m_bot, GroundPoint(BotPosition(*m_bot)), goalGround, Geometry::kZeroVector, Walk::kSearchTimeOutMs);
}

bool Approach::EndWhenNear() {
    if (!((m_target->GetPosition() - BotPosition(*m_bot)).LengthSquared() < m_distance)) return false;
    RequestNextInPlan();
    StopBot(*m_bot);
    return true;
}

bool Approach::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        SetSubstate(Walk::kInSight);
        return true;
    }
    if (kind == EVENT_ENTER) {
        if (substate != Walk::kWaitPath) return false;
        StopBot(*m_bot);
        return true;
    }
    if (kind == EVENT_MESSAGE) {
        if (substate != Walk::kWaitPath || !msg || !m_target) return false;
        if (msg->id == MSG_SEARCH_SUCCESS) {
            if (TakePath(*msg, m_path)) SetSubstate(Walk::kWalkPath);
            return true;
        }
        if (msg->id == MSG_SEARCH_FAILURE) {
            SearchAgain(GroundPoint(m_target->GetPosition()));
            return true;
        }
        return false;
    }
    if (kind != EVENT_UPDATE) return false;
    if (!m_target) {
        // Nobody to walk up to: the plan moves on.
        RequestNextInPlan();
        StopBot(*m_bot);
        return true;
    }

    const Vector3 goalGround = GroundPoint(m_target->GetPosition());
    const Vector3 botGround = GroundPoint(BotPosition(*m_bot));
    const bool inSight = InSight(CellOf(botGround), CellOf(goalGround));
    switch (substate) {
        case Walk::kWaitPath:
            if (inSight && !EndWhenNear()) SetSubstate(Walk::kInSight);
            return true;
        case Walk::kWalkPath:
            if (inSight) {
                if (!EndWhenNear()) SetSubstate(Walk::kInSight);
            } else if (SteerAlongPath(*m_bot, m_path, SteerVariant::kCarryOver)) {
                SearchAgain(goalGround);
                SetSubstate(Walk::kWaitPath);
            }
            return true;
        case Walk::kInSight:
            if (!inSight) {
                SearchAgain(goalGround);
                SetSubstate(Walk::kWaitPath);
            } else if ((goalGround - botGround).LengthSquared() < m_distance * m_distance) {
                RequestNextInPlan();
                StopBot(*m_bot);
            } else {
                DirectStep(*m_bot, goalGround, botGround);
            }
            return true;
        default: return false;
    }
}

}  // namespace AI
