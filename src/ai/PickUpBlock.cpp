#include "ai/PickUpBlock.h"

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/FollowPath.h"
#include "ai/sml/Msg.h"
#include "ai/Steering.h"
#include "ai/TeamMan.h"
#include "gamelogic/BlockData.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

GameLogicView::BlockPtr LookUpBlock(uint16_t id) {
    const AIMan* ai = AIMan::Instance();
    GameLogicView::BlockMan* blocks = ai ? ai->GetBlockMan().get() : nullptr;
    return blocks ? blocks->GetBlock(id) : nullptr;
}

float BotSpeed() {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings().botSpeed : AISettings().botSpeed;
}

}  // namespace

// ---------------------------------------------------------------- FindBlock

FindBlock::FindBlock(BotGameView* bot) : StateMachine(bot, kName), m_bot(bot) {}
FindBlock::~FindBlock() = default;

bool FindBlock::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0 || !m_bot) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        StopBot(*m_bot);
        if (const AIMan* ai = AIMan::Instance()) m_began = ai->GetClock().Now();
        SetSubstate(kChoosing);
        return true;
    }
    TeamMan* team = m_bot->GetTeamMan();
    if (kind == EVENT_UPDATE) {
        // No reachable free block for a while (structures that never break,
        // blocks lying out of reach): waiting on would stall the bot for the
        // rest of the match, so it plays on without blocks for a time.
        const AIMan* ai = AIMan::Instance();
        const uint64_t now = ai ? ai->GetClock().Now() : 0;
        if (ai && now - m_began > kGiveUpMs) {
            if (m_candidate && team) team->ReleaseClaim(m_candidate->GetId());
            m_candidate.reset();
            m_bot->SetNoBlocksUntil(now + kNoBlocksMs);
            RequestOwnerReset();
            return true;
        }
    }
    if (substate == kChoosing) {
        if (kind != EVENT_UPDATE) return false;
        if (!team) return true;
        // Claimed for this bot: the claim goes back when the bot dies or
        // starts over without having picked the block up.
        m_candidate = team->ClaimNearestBlock(BotPosition(*m_bot), m_bot->GetActorId());
        if (m_candidate) {
            RequestPath(*m_bot, GroundPoint(BotPosition(*m_bot)), GroundPoint(m_candidate->GetPosition()),
                        Geometry::kZeroVector, kSearchTimeOutMs);
            SetSubstate(kTestingReach);
        }
        return true;
    }
    if (substate == kTestingReturn) {
        if (kind != EVENT_MESSAGE || !msg) return false;
        if (msg->id == MSG_SEARCH_SUCCESS) {
            if (AIMan* ai = AIMan::Instance()) {
                Path back;
                ai->GetAStar().RetrievePath(msg->data2, back);
            }
            if (m_candidate) WalkToCandidate();
            return true;
        }
        if (msg->id != MSG_SEARCH_FAILURE) return false;
        if (m_candidate && team) team->ClaimBlock(m_candidate->GetId());
        m_candidate.reset();
        m_path.clear();
        SetSubstate(kChoosing);
        return true;
    }
    if (substate == kTestingReach) {
        if (kind != EVENT_MESSAGE || !msg) return false;
        if (msg->id == MSG_SEARCH_SUCCESS) {
            if (!m_candidate) return true;
            // The test found the way there: the walk takes that path rather
            // than searching for the same one again.
            m_path.clear();
            AIMan* ai = AIMan::Instance();
            if (ai) ai->GetAStar().RetrievePath(msg->data2, m_path);
            if (HasOneWayDrop(m_path)) {
                // A block lying below a drop the bot cannot climb back (beyond
                // the boundary wall, in a pit) would keep the bot there for the
                // rest of the match: it goes only when a way back is found.
                RequestPath(*m_bot, GroundPoint(m_candidate->GetPosition()), GroundPoint(BotPosition(*m_bot)),
                            Geometry::kZeroVector, kSearchTimeOutMs);
                SetSubstate(kTestingReturn);
                return true;
            }
            WalkToCandidate();
            return true;
        }
        if (msg->id == MSG_SEARCH_FAILURE) {
            // Out of reach: it stays claimed by the team, so no teammate
            // tries it again.
            if (m_candidate && team) team->ClaimBlock(m_candidate->GetId());
            m_candidate.reset();
            SetSubstate(kChoosing);
            return true;
        }
        return false;
    }
    return false;
}

void FindBlock::WalkToCandidate() {
    m_bot->SetTargetBlock(m_candidate->GetId());
    if (!m_path.empty())
        ReplaceWith(std::make_shared<FollowPath>(m_path, m_bot));
    else
        ReplaceWith(std::make_shared<FollowPath>(m_bot, GroundPoint(m_candidate->GetPosition()), Geometry::kZeroVector));
}

bool HasOneWayDrop(const Path& path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i - 1].position.y - path[i].position.y >= FindBlock::kOneWayDrop) return true;
    return false;
}

// -------------------------------------------------------------- PickUpBlock

PickUpBlock::PickUpBlock(BotGameView* bot) : StateMachine(bot, kName), m_bot(bot) {}
PickUpBlock::~PickUpBlock() = default;

bool PickUpBlock::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate || !m_bot) return false;
    switch (kind) {
        case EVENT_ENTER:
            if (const AIMan* ai = AIMan::Instance()) m_began = ai->GetClock().Now();
            if (!m_bot->GetTargetBlock()) RequestOwnerReset();
            return true;
        case EVENT_UPDATE:
            Step();
            return true;
        default:
            return false;
    }
}

void PickUpBlock::Step() {
    const std::optional<uint16_t> target = m_bot->GetTargetBlock();
    if (!target) {
        RequestOwnerReset();
        return;
    }
    const GameLogicView::Player* player = m_bot->GetPlayer();
    if (player && player->GetHeldBlock() && player->GetHeldBlock()->GetId() == *target) {
        RequestNextInPlan();
        return;
    }
    const GameLogicView::BlockPtr block = LookUpBlock(*target);
    if (!block) {
        RequestOwnerReset();
        return;
    }
    const AIMan* ai = AIMan::Instance();
    if (ai && ai->GetClock().Now() - m_began > kGiveUpMs) {
        if (TeamMan* team = m_bot->GetTeamMan()) team->ClaimBlock(*target);
        m_bot->ClearTargetBlock();
        RequestOwnerReset();
        return;
    }
    const Geometry::Vector3 blockPos = block->GetPosition();
    const Geometry::Vector3 botPos = BotPosition(*m_bot);
    const int32_t blockState = block->GetState();
    if (!InSight(CellOf(GroundPoint(botPos)), CellOf(GroundPoint(blockPos))) ||
        blockState == GameLogicView::BlockState::kHeld || blockState == GameLogicView::BlockState::kPouch) {
        RequestOwnerReset();
        m_bot->ClearTargetBlock();
        return;
    }
    Geometry::Vector3 d = blockPos - botPos;
    d.y = 0.0f;
    const float s = d.LengthSquared();
    if (blockPos.y - botPos.y > kOutOfReachHeight && s < kOutOfReachSquared) {
        QueueMove(*m_bot, Geometry::kZeroVector);
        return;
    }
    Geometry::Quaternion heading;
    Geometry::Vector3 move;
    if (d.x != 0.0f || d.z != 0.0f) {
        heading = Geometry::Quaternion::FromTo(Geometry::Vector3(0.0f, 0.0f, 1.0f), d);
        move = d.Normalized() * BotSpeed();
    } else {
        heading = Geometry::Quaternion::FromTo(Geometry::Vector3(0.0f, 0.0f, 1.0f),
                                               Geometry::Vector3(0.001f, 0.0f, 0.001f));
        move = Geometry::kZeroVector;
    }
    QueueMove(*m_bot, move);
    QueueTurn(*m_bot, heading);
}

}  // namespace AI
