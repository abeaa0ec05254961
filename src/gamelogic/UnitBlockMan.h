// Loose unit blocks (extents exactly 0.5): thrown in great numbers, they would
// pile up without end. The list keeps them in the order they were thrown, and
// a repeating sweep fades the surplus, preferring blocks far from players.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>

#include "gamelogic/BlockData.h"
#include "processes/Process.h"

namespace GameLogicView {

class BlockMan;
class MiravGameLogic;

class UnitBlockMan {
public:
    using List = std::list<BlockPtr>;

    void SetMaxFree(uint32_t maxFree) { m_maxFree = maxFree; }
    uint32_t GetMaxFree() const { return m_maxFree; }

    // Appends unless already listed.
    void AddFreeBlock(const BlockPtr& block);
    // Removes when listed; otherwise nothing.
    void RemoveFreeBlock(const BlockPtr& block);
    List::const_iterator Find(const BlockPtr& block) const;
    List::const_iterator End() const { return m_list.end(); }
    void Clear();
    size_t Count() const { return m_list.size(); }
    const List& Blocks() const { return m_list; }

    // Fades the surplus over max free: of the oldest min(2e, n) blocks, the e
    // farthest from every player (e = n - max free).
    void DeleteExcessBlocks(MiravGameLogic* logic);
    // Leaves the list, state 6 (fading), "LtVBlockFade"; deleted after
    // UnitBlockFadeTime + 150 ms.
    void FadeBlock(MiravGameLogic* logic, const BlockPtr& block);
    static void DeleteFadedBlock(const BlockPtr& block, MiravGameLogic* logic);

private:
    uint32_t m_maxFree = 0;
    List m_list;
    std::map<const BlockData*, List::iterator> m_index;
};

// The sweep: every period (25 s) it fades the surplus of loose unit blocks.
class DeleteExcessBlocksLoop : public ProcessSystem::IProcess {
public:
    static constexpr int32_t kPeriod = 25000;

    DeleteExcessBlocksLoop(BlockMan* blocks, MiravGameLogic* logic, int32_t period = kPeriod,
                           int32_t countdown = kPeriod);
    void OnUpdate(int ms) override;

private:
    BlockMan* m_blocks;
    MiravGameLogic* m_logic;
    int32_t m_period;
    int32_t m_countdown;
};

}  // namespace GameLogicView
