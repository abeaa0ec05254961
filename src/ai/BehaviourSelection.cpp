#include "ai/BehaviourSelection.h"

#include <memory>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/Chase.h"
#include "ai/Dodge.h"
#include "ai/Follow.h"
#include "ai/FollowPath.h"
#include "ai/Guard.h"
#include "ai/Hunt.h"
#include "ai/Idle.h"
#include "ai/PickUpBlock.h"
#include "ai/ReachUp.h"
#include "ai/Speech.h"
#include "ai/Squad.h"
#include "ai/TouchFlag.h"
#include "ai/Tutorial.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

constexpr int32_t kChatMs = 5000;
constexpr float kTutorApproach = 4.0f;
// Blocks a defender gathers while no enemy is in view: one block is one
// throw, and a guard that meets the attack with an empty pouch lets it pass.
constexpr int32_t kDefenderStock = 3;
// How far from its posts a defender goes after enemies (ground distance): it
// holds the ground round its flags instead of roaming the field, where it
// leaves them open.
constexpr float kDefendedRadius = 24.0f;
// An enemy this near a flag's home (ground distance) is known to every
// defender of the flag's team.
constexpr float kFlagAlarmRadius = 8.0f;
// Levels below a capture point's floor a carrier's walk may end on (the
// floor knocked away) and jump from; and how far below the point the
// carrier's position must come for the flag it holds to be taken in.
constexpr float kCaptureReachBelow = 4.0f;
constexpr float kCaptureRise = 2.0f;

using Plan = std::vector<std::shared_ptr<StateMachine>>;

void Chat(BotGameView& bot, const char* section) { Say(bot, section, 0, kChatMs, 0); }

bool HasBlocks(const BotGameView& bot) { return bot.GetPerception().blocksInPouch != 0; }
bool CarriesFlag(const BotGameView& bot) { return bot.GetPerception().holdingFlag; }

// The enemies a teammate sees this step: a bot's own perception, a human's
// sight record; null when neither is known.
const std::vector<GameLogicView::Player*>* EnemiesSeenBy(const BotGameView& bot,
                                                          const GameLogicView::Player* teammate) {
    if (!teammate) return nullptr;
    const uint16_t id = teammate->GetActorId();
    TeamMan* team = bot.GetTeamMan();
    if (BotGameView* other = team ? team->GetBot(id) : nullptr) return &other->GetPerception().enemiesInView;
    if (const HumanSight* sight = team ? team->FindHumanSight(id) : nullptr) return &sight->enemies;
    return nullptr;
}

// The first human of the bot's team who has not finished the tutorial.
PlayerRecord* FirstPupil(const BotGameView& bot) {
    TeamMan* team = bot.GetTeamMan();
    if (!team) return nullptr;
    for (const auto& record : team->GetPlayers())
        if (!record->tutorialDone) return record.get();
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- predicates

bool IsTutorialRunning(BotGameView&) {
    const AIMan* ai = AIMan::Instance();
    return ai && ai->IsTutorialRunning();
}

bool CanCaptureFlag(BotGameView& bot) { return CarriesFlag(bot); }

bool CanReturnTeamFlag(BotGameView& bot) { return !bot.GetPerception().ownDroppedFlagsInSight.empty(); }

bool CanGrabFlag(BotGameView& bot) { return !CarriesFlag(bot) && !bot.GetPerception().enemyFlagsInReach.empty(); }

bool CanDodge(BotGameView& bot) { return !bot.GetPerception().incomingThrows.empty(); }

bool CanAttack(BotGameView& bot) { return !bot.GetPerception().enemiesInView.empty() && HasBlocks(bot); }

bool CanAssistTeammate(BotGameView& bot) {
    const BotPerception& seen = bot.GetPerception();
    if (seen.teammatesInView.empty() || !HasBlocks(bot)) return false;
    for (const GameLogicView::Player* teammate : seen.teammatesInView) {
        const auto* enemies = EnemiesSeenBy(bot, teammate);
        if (enemies && !enemies->empty()) return true;
    }
    return false;
}

bool CanGrabBlock(BotGameView& bot) {
    // A bot that found no block it could reach lately plays on without.
    const AIMan* ai = AIMan::Instance();
    if (ai && ai->GetClock().Now() < bot.GetNoBlocksUntil()) return false;
    return !bot.GetPerception().holdingBomb && !CarriesFlag(bot) && !HasBlocks(bot);
}

namespace {

// Whether a point lies in the ground a defender holds: near one of its
// team's guard posts or one of its flags' homes (everywhere when the level
// has neither).
bool InDefendedGround(const BotGameView& bot, const Geometry::Vector3& p) {
    const AIMan* ai = AIMan::Instance();
    if (!ai) return true;
    std::vector<Geometry::Vector3> posts = ai->GetGuardPoints(bot.GetTeam());
    if (GameLogicView::FlagMan* flags = ai->GetFlagMan()) {
        std::vector<GameLogicView::Flag*> own;
        flags->GetAvailableFlags(own, bot.GetTeam());
        for (const GameLogicView::Flag* flag : own) posts.push_back(flag->GetHome());
    }
    if (posts.empty()) return true;
    for (const Geometry::Vector3& post : posts) {
        const Geometry::Vector3 d = p - post;
        if (d.x * d.x + d.z * d.z <= kDefendedRadius * kDefendedRadius) return true;
    }
    return false;
}

// The nearest enemy the defender sees inside the ground it holds, or null.
GameLogicView::Player* NearestIntruder(const BotGameView& bot, const std::vector<GameLogicView::Player*>& enemies) {
    const GameLogicView::Player* self = bot.GetPlayer();
    GameLogicView::Player* best = nullptr;
    float bestDistance = 0.0f;
    for (GameLogicView::Player* enemy : enemies) {
        if (!enemy || enemy->IsDead() || !InDefendedGround(bot, enemy->GetPosition())) continue;
        const float d = self ? (enemy->GetPosition() - self->GetPosition()).LengthSquared() : 0.0f;
        if (!best || d < bestDistance) {
            best = enemy;
            bestDistance = d;
        }
    }
    return best;
}

// The intruder a teammate in view sees, else an enemy right at one of the
// team's flags (a flag is watched even where no guard sees it: an attacker
// held up behind it would otherwise stand there unopposed all match).
GameLogicView::Player* IntruderSeenByTeammate(const BotGameView& bot) {
    for (const GameLogicView::Player* teammate : bot.GetPerception().teammatesInView) {
        const auto* enemies = EnemiesSeenBy(bot, teammate);
        if (!enemies) continue;
        if (GameLogicView::Player* intruder = NearestIntruder(bot, *enemies)) return intruder;
    }
    const AIMan* ai = AIMan::Instance();
    GameLogicView::FlagMan* flags = ai ? ai->GetFlagMan() : nullptr;
    const TeamMan* other = ai ? ai->GetTeam(bot.GetTeam() == 0 ? 1 : 0) : nullptr;
    if (!flags || !other) return nullptr;
    std::vector<GameLogicView::Flag*> own;
    flags->GetAvailableFlags(own, bot.GetTeam());
    GameLogicView::Player* intruder = nullptr;
    other->VisitTeamActors([&](GameLogicView::Player* enemy) {
        if (!enemy || enemy->IsDead()) return true;
        for (const GameLogicView::Flag* flag : own) {
            const Geometry::Vector3 d = enemy->GetPosition() - flag->GetHome();
            if (d.x * d.x + d.z * d.z <= kFlagAlarmRadius * kFlagAlarmRadius) {
                intruder = enemy;
                return false;
            }
        }
        return true;
    });
    return intruder;
}

// The first carrier of one of the team's flags inside the ground the
// defender holds, or null.
GameLogicView::Player* CarrierInDefendedGround(const BotGameView& bot) {
    for (GameLogicView::Player* carrier : bot.GetPerception().carriersOfOwnFlags)
        if (carrier && !carrier->IsDead() && InDefendedGround(bot, carrier->GetPosition())) return carrier;
    return nullptr;
}

}  // namespace

// A defender goes after a carrier of its flags only inside the ground it
// holds, as after any intruder: chasing it across the field took both
// defenders of a small team away for good, and the enemy walked in to the
// flags they left; beyond that ground the attackers that meet the carrier
// take it on.
bool CanRecoverFlag(BotGameView& bot) {
    return !CarriesFlag(bot) && HasBlocks(bot) && CarrierInDefendedGround(bot) != nullptr;
}

bool CanRepelIntruder(BotGameView& bot) {
    return HasBlocks(bot) && NearestIntruder(bot, bot.GetPerception().enemiesInView) != nullptr;
}

bool CanAssistDefence(BotGameView& bot) { return HasBlocks(bot) && IntruderSeenByTeammate(bot) != nullptr; }

bool CanInvestigateNearPost(BotGameView& bot) {
    for (const Geometry::Vector3& heard : bot.GetPerception().explosionsHeard)
        if (InDefendedGround(bot, heard)) return true;
    return false;
}

void DoRepelIntruder(BotGameView& bot) {
    GameLogicView::Player* intruder = NearestIntruder(bot, bot.GetPerception().enemiesInView);
    if (!intruder) return;
    Chat(bot, "Chase");
    bot.SetPlan({std::make_shared<Chase>(&bot, intruder)});
}

void DoAssistDefence(BotGameView& bot) {
    if (GameLogicView::Player* intruder = IntruderSeenByTeammate(bot))
        bot.SetPlan({std::make_shared<Hunt>(&bot, intruder)});
}

bool CanStockBlocks(BotGameView& bot) {
    const AIMan* ai = AIMan::Instance();
    if (ai && ai->GetClock().Now() < bot.GetNoBlocksUntil()) return false;
    const BotPerception& seen = bot.GetPerception();
    return !seen.holdingBomb && !CarriesFlag(bot) && seen.enemiesInView.empty() && seen.blocksInPouch < kDefenderStock;
}

bool CanInvestigate(BotGameView& bot) { return !bot.GetPerception().explosionsHeard.empty(); }

bool CanTutorial(BotGameView& bot) {
    TeamMan* team = bot.GetTeamMan();
    if (!team) return false;
    for (const auto& record : team->GetPlayers())
        if (!record->tutorialDone && (record->tutor == TeamMan::kNoActor || record->tutor == bot.GetActorId()))
            return true;
    return false;
}

bool Always(BotGameView&) { return true; }

namespace {

// Whether a bot of the team waits to respawn and comes back as an attacker
// (roles are handed out afresh at each respawn).
bool FellowAttackerDown(const BotGameView& bot) {
    TeamMan* team = bot.GetTeamMan();
    if (!team || team->NextRole() != Role::kAttacker) return false;
    for (const auto& other : team->GetBots()) {
        if (!other || other.get() == &bot) continue;
        const GameLogicView::Player* player = other->GetPlayer();
        if (player && player->IsDead()) return true;
    }
    return false;
}

}  // namespace

// Attackers that set off one by one meet two defenders each alone and fall
// at the flags one after the other: a carrier killed beside the flag's home
// drops it where a defender returns it at once, and on a small level a match
// stayed undecided for its whole length. An attacker that is about to set
// off while a teammate waits to respawn as its fellow attacker waits for it (at most
// kRegroupMs), so the two go in together; one already on its way goes on.
bool CanWaitForPartner(BotGameView& bot) {
    if (CarriesFlag(bot) || !FellowAttackerDown(bot)) return false;
    // On its way (the planner's walk, a breach, a hunt): it goes on. While
    // it waits for the planner it idles.
    const auto top = bot.GetTop();
    if (bot.GetBehaviour() == "STRATEGY" && !dynamic_cast<const Idle*>(top.get())) return false;
    const AIMan* ai = AIMan::Instance();
    const uint64_t now = ai ? ai->GetClock().Now() : 0;
    const std::optional<uint64_t>& since = bot.GetRegroupSince();
    if (bot.GetBehaviour() == "REGROUP") return since && now - *since < BehaviourTables::kRegroupMs;
    return !since || now - *since >= BehaviourTables::kRegroupMs + BehaviourTables::kRegroupRestMs;
}

// ------------------------------------------------------------------- actions

void DoWaitForTutorial(BotGameView& bot) { bot.SetPlan({std::make_shared<Idle>(&bot, true)}); }

void DoCaptureFlag(BotGameView& bot) {
    const AIMan* ai = AIMan::Instance();
    const GameLogicView::MiravGameLogic* logic = ai ? ai->GetLogic() : nullptr;
    const GameLogicView::CapMan* caps = logic ? logic->GetCapMan() : nullptr;
    const std::vector<Geometry::Vector3>* points = caps ? caps->GetCapturePoints(bot.GetTeam()) : nullptr;
    if (!points || points->empty()) {
        // Nowhere to bring the flag: the bot starts over and the walk picks
        // again next step.
        bot.OnReset();
        return;
    }
    Geometry::Vector3 goal = points->front();
    goal.y -= 3.0f;
    // The capture is judged by the flag's distance in 3-D, so the walk ends
    // only where that distance can be met: a cell round the point on its own
    // level, or below it where thrown blocks knocked the floor round the
    // point away, and from there the carrier jumps up to it. A ledge above
    // the point is not an arrival: a carrier parked there would walk the
    // same way again and again.
    auto walk = std::make_shared<FollowPath>(&bot, goal, Geometry::Vector3(1.0f, 0.0f, 1.0f));
    walk->SetGoalBox(Geometry::Vector3(-1.0f, -kCaptureReachBelow, -1.0f), Geometry::Vector3(1.0f, 0.0f, 1.0f));
    bot.SetPlan({walk, std::make_shared<ReachUp>(&bot, points->front().y - kCaptureRise)});
    Chat(bot, "CaptureFlag");
}

void DoReturnTeamFlag(BotGameView& bot) {
    bot.SetPlan({std::make_shared<TouchFlag>(&bot, bot.GetPerception().ownDroppedFlagsInSight.front())});
}

void DoGrabFlag(BotGameView& bot) {
    bot.SetTargetBlock(bot.GetPerception().enemyFlagsInReach.front());
    bot.SetPlan({std::make_shared<PickUpBlock>(&bot)});
}

void DoDodge(BotGameView& bot) {
    const IncomingThrow& t = bot.GetPerception().incomingThrows.front();
    bot.SetPlan({std::make_shared<Dodge>(&bot, t.thrower, t.velocity)});
}

void DoRecoverFlag(BotGameView& bot) {
    GameLogicView::Player* carrier = CarrierInDefendedGround(bot);
    if (!carrier) return;
    bot.SetPlan({std::make_shared<Hunt>(&bot, carrier)});
    Chat(bot, "RecoverFlag");
}

void DoAttack(BotGameView& bot) {
    Chat(bot, "Chase");
    bot.SetPlan({std::make_shared<Chase>(&bot, bot.GetPerception().enemiesInView.front())});
}

void DoAssistTeammate(BotGameView& bot) {
    for (const GameLogicView::Player* teammate : bot.GetPerception().teammatesInView) {
        const auto* enemies = EnemiesSeenBy(bot, teammate);
        if (enemies && !enemies->empty()) {
            bot.SetPlan({std::make_shared<Hunt>(&bot, enemies->front())});
            return;
        }
    }
}

void DoGrabBlock(BotGameView& bot) { bot.SetPlan({std::make_shared<FindBlock>(&bot), std::make_shared<PickUpBlock>(&bot)}); }

void DoInvestigate(BotGameView& bot) {
    const AIMan* ai = AIMan::Instance();
    const Geometry::Vector3 heard = bot.GetPerception().explosionsHeard.front();
    const Geometry::Vector3 goal = ai ? ai->ProjectToGround(heard) : heard;
    bot.SetPlan({std::make_shared<FollowPath>(&bot, goal, Geometry::kZeroVector)});
    Chat(bot, "Explosion");
}

void DoInvestigateNearPost(BotGameView& bot) {
    const AIMan* ai = AIMan::Instance();
    for (const Geometry::Vector3& heard : bot.GetPerception().explosionsHeard) {
        if (!InDefendedGround(bot, heard)) continue;
        bot.SetPlan({std::make_shared<FollowPath>(&bot, ai ? ai->ProjectToGround(heard) : heard, Geometry::kZeroVector)});
        Chat(bot, "Explosion");
        return;
    }
}

void DoTutorial(BotGameView& bot) {
    PlayerRecord* pupil = FirstPupil(bot);
    if (!pupil || !pupil->player) return;
    pupil->tutor = bot.GetActorId();
    bot.SetPlan({std::make_shared<Approach>(&bot, pupil->player, kTutorApproach),
                 std::make_shared<Tutorial>(&bot, pupil->player->GetActorId())});
}

void DoGuard(BotGameView& bot) { bot.SetPlan({std::make_shared<FindGuardPos>(&bot), std::make_shared<Guard>(&bot)}); }

void DoFollow(BotGameView& bot) {
    const Squad* squad = bot.GetSquad();
    if (!squad || !squad->GetLeader()) {
        // A member without a squad to follow: it takes a role afresh.
        bot.SetRole(Role::kNone);
        bot.OnReset();
        return;
    }
    const Geometry::Vector3 offset = bot.GetFormationOffset();
    bot.SetPlan({std::make_shared<Follow>(&bot, squad->GetLeader(), offset.x, offset.y, offset.z)});
}

void DoWaitForPartner(BotGameView& bot) {
    const AIMan* ai = AIMan::Instance();
    bot.SetRegroupSince(ai ? ai->GetClock().Now() : 0);
    bot.SetPlan({std::make_shared<Idle>(&bot, false)});
}

void DoStrategy(BotGameView& bot) {
    const Squad* squad = bot.GetSquad();
    Chat(bot, squad && squad->Size() > 0 ? "SquadLeader" : "WaitForStrategy");
    if (TeamMan* team = bot.GetTeamMan()) {
        const GameLogicView::Player* player = bot.GetPlayer();
        team->RequestStrategy(bot.GetActorId(), player ? player->GetPosition() : Geometry::kZeroVector);
    }
}

// -------------------------------------------------------------------- tables

BehaviourTables::BehaviourTables() {
    m_offence = {
        {IsTutorialRunning, DoWaitForTutorial, "WAIT_FOR_TUTORIAL"},
        {CanCaptureFlag, DoCaptureFlag, "CAPTURE_FLAG"},
        {CanReturnTeamFlag, DoReturnTeamFlag, "RETURN_TEAM_FLAG"},
        {CanGrabFlag, DoGrabFlag, "GRAB_FLAG"},
        {CanDodge, DoDodge, "DODGE"},
        {CanAttack, DoAttack, "ATTACK"},
        {CanGrabBlock, DoGrabBlock, "GRAB_BLOCK"},
        {CanWaitForPartner, DoWaitForPartner, "REGROUP"},
        {Always, DoStrategy, "STRATEGY"},
    };
    m_defence = {
        {CanTutorial, DoTutorial, "TUTORIAL"},
        {CanCaptureFlag, DoCaptureFlag, "CAPTURE_FLAG"},
        {CanReturnTeamFlag, DoReturnTeamFlag, "RETURN_TEAM_FLAG"},
        {CanGrabFlag, DoGrabFlag, "GRAB_FLAG"},
        {CanDodge, DoDodge, "DODGE"},
        {CanRecoverFlag, DoRecoverFlag, "RECOVER_FLAG"},
        {CanRepelIntruder, DoRepelIntruder, "ATTACK"},
        {CanAssistDefence, DoAssistDefence, "ASSIST_TEAMMATE"},
        {CanStockBlocks, DoGrabBlock, "GRAB_BLOCK"},
        {CanInvestigateNearPost, DoInvestigateNearPost, "INVESTIGATE"},
        {Always, DoGuard, "GUARD"},
    };
    m_member = {
        {CanCaptureFlag, DoCaptureFlag, "CAPTURE_FLAG"},
        {CanReturnTeamFlag, DoReturnTeamFlag, "RETURN_TEAM_FLAG"},
        {CanDodge, DoDodge, "DODGE"},
        {CanAttack, DoAttack, "ATTACK"},
        {CanAssistTeammate, DoAssistTeammate, "ASSIST_TEAMMATE"},
        {CanGrabBlock, DoGrabBlock, "GRAB_BLOCK"},
        {Always, DoFollow, "FOLLOW"},
    };
}

void BehaviourTables::SelectBehaviour(BotGameView& bot) {
    // Fetching that has not brought a block in all this time goes nowhere: a
    // walk to a block beyond a gap jammed with players (blocks thrown over
    // the boundary wall, reached through a hole knocked into it) ends without
    // headway and starts over at once, for good, and with every bot of both
    // teams at it a match stood still.
    const AIMan* ai = AIMan::Instance();
    const uint64_t now = ai ? ai->GetClock().Now() : 0;
    if (bot.GetFetchingSince() && bot.GetBehaviour() == "GRAB_BLOCK" && now - *bot.GetFetchingSince() > kGrabGiveUpMs) {
        if (const std::optional<uint16_t> target = bot.GetTargetBlock())
            if (TeamMan* team = bot.GetTeamMan()) team->ClaimBlock(*target);
        bot.ClearTargetBlock();
        bot.SetNoBlocksUntil(now + FindBlock::kNoBlocksMs);
        bot.SetFetchingSince(std::nullopt);
        bot.OnReset();
    }
    if (bot.GetFetchingSince() && (HasBlocks(bot) || now - bot.GetLastFetchStep() > kFetchGapMs))
        bot.SetFetchingSince(std::nullopt);
    // The wait for a fellow attacker ends when it is back or took too long.
    if (bot.GetRole() == Role::kAttacker && bot.GetBehaviour() == "REGROUP" && !CanWaitForPartner(bot)) bot.OnReset();
    // A defender whose carrier has left the ground it holds turns back.
    if (bot.GetRole() == Role::kDefender && bot.GetBehaviour() == "RECOVER_FLAG" && !CarrierInDefendedGround(bot))
        bot.OnReset();
    switch (bot.GetRole()) {
        case Role::kAttacker: Select(bot, m_offence); break;
        case Role::kDefender: Select(bot, m_defence); break;
        case Role::kSquadMember: Select(bot, m_member); break;
        default: break;
    }
    if (bot.GetBehaviour() == "GRAB_BLOCK") {
        if (!bot.GetFetchingSince()) bot.SetFetchingSince(now);
        bot.SetLastFetchStep(now);
    }
}

void BehaviourTables::Select(BotGameView& bot, const BehaviorTable& table) {
    for (const Behavior& entry : table) {
        if (entry.name == bot.GetBehaviour()) return;
        if (entry.predicate(bot)) {
            const int32_t role = bot.GetRole();
            entry.action(bot);
            // An action that gave up the bot's role (a member without a squad
            // to follow) leaves it idle, to choose afresh with its next role.
            if (bot.GetRole() == role) bot.SetBehaviour(entry.name);
            return;
        }
    }
}

}  // namespace AI
