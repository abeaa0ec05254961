#include "ai/FollowPath.h"

#include <utility>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"

namespace AI {

FollowPath::FollowPath(BotGameView* owner, const Geometry::Vector3& goal, const Geometry::Vector3& halfExtents)
    : StateMachine(owner, kName), m_bot(owner), m_goal(goal), m_searchNeeded(true), m_halfExtents(halfExtents) {}

FollowPath::FollowPath(const Path& path, BotGameView* owner)
    : StateMachine(owner, kName), m_bot(owner), m_searchNeeded(false) {
    m_path.Start(path);
    if (!path.empty()) m_goal = path.back().position;
}

FollowPath::~FollowPath() = default;

bool FollowPath::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        StopBot(*m_bot);
        if (m_searchNeeded) {
            if (m_offsetBox)
                RequestPathToBox(*m_bot, GroundPoint(BotPosition(*m_bot)), m_goal, m_boxLow, m_boxHigh,
                                 kSearchTimeOutMs);
            else
                RequestPath(*m_bot, GroundPoint(BotPosition(*m_bot)), m_goal, m_halfExtents, kSearchTimeOutMs);
            SetSubstate(kWaitPath);
        } else {
            // A later enter searches afresh from wherever the bot then is.
            m_searchNeeded = true;
            m_path.cursor = 0;
            SetSubstate(kWalking);
        }
        return true;
    }
    if (substate == kWalking) {
        if (kind != EVENT_UPDATE) return false;
        if (SteerAlongPath(*m_bot, m_path, SteerVariant::kLandOnPoints)) {
            StopBot(*m_bot);
            RequestNextInPlan();
        }
        return true;
    }
    if (substate == kWaitPath && kind == EVENT_MESSAGE && msg) {
        if (msg->id == MSG_SEARCH_SUCCESS) {
            Path found;
            AIMan* ai = AIMan::Instance();
            if (ai && ai->GetAStar().RetrievePath(msg->data2, found)) {
                m_path.Start(std::move(found));
                SetSubstate(kWalking);
            }
            return true;
        }
        if (msg->id == MSG_SEARCH_FAILURE) {
            RequestOwnerReset();
            return true;
        }
    }
    return false;
}

}  // namespace AI
