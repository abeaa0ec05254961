// Fetching blocks. A bot picks a block up by walking into it (its team's
// contact handling raises the pick-up), so no machine here raises one:
// FindBlock chooses a free block, claims it for the team, checks with a quick
// path search that it can be reached and hands over to a walk near it;
// PickUpBlock then runs straight into the bot's target block until the bot
// holds it.
#pragma once

#include <cstdint>
#include <memory>

#include "ai/SearchRequest.h"

#include "ai/sml/StateMachine.h"

namespace GameLogicView {
struct BlockData;
}

namespace AI {

class BotGameView;

class FindBlock : public StateMachine {
public:
    static constexpr const char* kName = "FindBlock";
    // Search time of the reachability test.
    static constexpr int32_t kSearchTimeOutMs = 10;
    enum Substate : int32_t { kChoosing = 0, kTestingReach = 1, kTestingReturn = 2 };
    // A way down this many levels or more at one step cannot be climbed back
    // (a bot climbs one level): a block reached so is taken only when a way
    // back from it is found too.
    static constexpr float kOneWayDrop = 1.5f;
    // Looking this long (AI clock) without finding a reachable block, the
    // bot gives up and plays on without blocks for kNoBlocksMs.
    static constexpr uint64_t kGiveUpMs = 3000;
    static constexpr uint64_t kNoBlocksMs = 20000;

    explicit FindBlock(BotGameView* bot);
    ~FindBlock() override;

    const std::shared_ptr<GameLogicView::BlockData>& GetCandidate() const { return m_candidate; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void WalkToCandidate();

    BotGameView* m_bot;
    std::shared_ptr<GameLogicView::BlockData> m_candidate;
    Path m_path;  // the way to the candidate while the way back is tested
    uint64_t m_began = 0;
};

// Whether a path steps down so far at once that it cannot be walked back.
bool HasOneWayDrop(const Path& path);

class PickUpBlock : public StateMachine {
public:
    static constexpr const char* kName = "PickUpBlock";
    // A block this much higher than the bot, and nearer than this squared
    // horizontal distance, is out of reach above it: the bot stands.
    static constexpr float kOutOfReachHeight = 3.0f;
    static constexpr float kOutOfReachSquared = 2.0f;
    // A block not in hand this long (AI clock) after the machine began is
    // given up: the bot stands on it, or it lies where the bot cannot touch
    // it from the side. The team keeps it claimed, so no bot goes straight
    // back for it.
    static constexpr uint64_t kGiveUpMs = 5000;

    explicit PickUpBlock(BotGameView* bot);
    ~PickUpBlock() override;

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void Step();

    BotGameView* m_bot;
    uint64_t m_began = 0;
};

}  // namespace AI
