// How a bot picks what to do each step: its role's table, a priority list of
// named behaviours, each a test of what the bot perceives and an action that
// gives the bot a plan (and sometimes a chat line). The walk keeps a running
// behaviour until an entry above it fires.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ai/TeamMan.h"

namespace AI {

class BotGameView;

struct Behavior {
    std::function<bool(BotGameView&)> predicate;
    std::function<void(BotGameView&)> action;
    std::string name;
};
using BehaviorTable = std::vector<Behavior>;

// ---- predicates
bool IsTutorialRunning(BotGameView& bot);
bool CanCaptureFlag(BotGameView& bot);
bool CanReturnTeamFlag(BotGameView& bot);
bool CanGrabFlag(BotGameView& bot);
bool CanDodge(BotGameView& bot);
bool CanRecoverFlag(BotGameView& bot);
bool CanAttack(BotGameView& bot);
bool CanAssistTeammate(BotGameView& bot);
bool CanGrabBlock(BotGameView& bot);
// A defender's block fetch: below a few blocks while no enemy is in view.
bool CanStockBlocks(BotGameView& bot);
bool CanInvestigate(BotGameView& bot);
// A defender's fights: enemies (seen by itself, or by a teammate in view) and
// explosions inside the ground round its team's guard posts.
bool CanRepelIntruder(BotGameView& bot);
bool CanAssistDefence(BotGameView& bot);
bool CanInvestigateNearPost(BotGameView& bot);
bool CanTutorial(BotGameView& bot);
bool CanWaitForPartner(BotGameView& bot);
bool Always(BotGameView& bot);

// ---- actions
void DoWaitForTutorial(BotGameView& bot);
void DoCaptureFlag(BotGameView& bot);
void DoReturnTeamFlag(BotGameView& bot);
void DoGrabFlag(BotGameView& bot);
void DoDodge(BotGameView& bot);
void DoRecoverFlag(BotGameView& bot);
void DoAttack(BotGameView& bot);
void DoAssistTeammate(BotGameView& bot);
void DoGrabBlock(BotGameView& bot);
void DoInvestigate(BotGameView& bot);
void DoRepelIntruder(BotGameView& bot);
void DoAssistDefence(BotGameView& bot);
void DoInvestigateNearPost(BotGameView& bot);
void DoTutorial(BotGameView& bot);
void DoGuard(BotGameView& bot);
void DoFollow(BotGameView& bot);
void DoStrategy(BotGameView& bot);
void DoWaitForPartner(BotGameView& bot);

// The three tables of a team, for roles 1 (offence), 2 (defence) and 3
// (squad member).
class BehaviourTables : public IBehaviourSelector {
public:
    BehaviourTables();
    // Fetching blocks (search, walk and pick-up, started over as often as
    // it likes) that brings none in this time is given up: the bot plays on
    // without blocks for FindBlock::kNoBlocksMs and its block stays claimed
    // by the team a while. A pause in fetching longer than kFetchGapMs, or a
    // block in the pouch, ends the count.
    static constexpr uint64_t kGrabGiveUpMs = 20000;
    static constexpr uint64_t kFetchGapMs = 2000;
    // An attacker about to set off while a fellow attacker is dead waits
    // for it this long at most (a respawn takes 5 s), and after a wait sets
    // off alone for kRegroupRestMs more.
    static constexpr uint64_t kRegroupMs = 6000;
    static constexpr uint64_t kRegroupRestMs = 10000;

    // Walks the table of the bot's role; role 0 (or any other) selects nothing.
    void SelectBehaviour(BotGameView& bot) override;
    // The walk over one table.
    static void Select(BotGameView& bot, const BehaviorTable& table);

    const BehaviorTable& Offence() const { return m_offence; }
    const BehaviorTable& Defence() const { return m_defence; }
    const BehaviorTable& SquadMember() const { return m_member; }

private:
    BehaviorTable m_offence;
    BehaviorTable m_defence;
    BehaviorTable m_member;
};

}  // namespace AI
