// The AI of one team: its bots (whose views the logic holds), the records of
// its human players, and once per AI step each bot's perception, role,
// behaviour and contact handling. It also serves the behaviours: the aim of a
// throw, the blocks the team's bots are going for, and look-ups of the team's
// bots, players and bombs. The logic asks it to give a bot's actor to a human.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ai/BotPerception.h"
#include "ai/GuardMan.h"
#include "ai/Squad.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem
namespace GameLogicView {
class Player;
class MiravGameLogic;
struct BlockData;
}  // namespace GameLogicView

namespace AI {

class BotGameView;
class SightPass;
class IFlagSearchPlanner;

// A human player of the team and what the tutorial knows of it. Records are
// freed when the human's actor goes to a bot (RemovePlayer): whoever needs one
// later (a tutor, for instance) keeps the actor id and asks FindPlayer.
struct PlayerRecord {
    // Tutorial done starts true in a network game or once a match has been
    // won since the main menu; otherwise it follows the skip-tutorial option.
    explicit PlayerRecord(GameLogicView::Player* p);

    GameLogicView::Player* player;
    bool tutorialDone = false;
    bool hasThrown = false;
    bool hasPickedUp = false;
    bool formedSquad = false;
    bool releasedSquad = false;
    uint16_t tutor = 0xFFFF;  // the bot teaching this player
};

// The team's attack planner: takes requests for plans and works on them once
// per team step. It keeps bots and flags by actor id.
class ITeamPlanner {
public:
    virtual ~ITeamPlanner() = default;
    virtual void Step() = 0;
    virtual void AddRequest(uint16_t actorId, const Geometry::Vector3& position) = 0;
    // Where the planner's flag searches report; null when it makes none.
    virtual IFlagSearchPlanner* GetFlagSearchPlanner() { return nullptr; }
};

// The behaviour tables: choose a behaviour for a bot by its role (1, 2, 3).
class IBehaviourSelector {
public:
    virtual ~IBehaviourSelector() = default;
    virtual void SelectBehaviour(BotGameView& bot) = 0;
};

// Height of a held unit block's centre above its holder's centre, and the
// fall of a thrown block (units per second squared).
constexpr float kThrowHandHeight = 2.5f;
constexpr float kThrowFall = 10.0f;

// The direction to give a throw from a player at `from` at a target at `to`
// moving with `velocity`, so that the block, leaving from the hand and
// tilted up by the throw angle, meets the target: led by the flight time,
// raised by the fall, spread by up to `spread` on each axis of the line
// (one generator, seed 1, shared by every caller); unit length.
Geometry::Vector3 ComputeThrowAim(const Geometry::Vector3& from, const Geometry::Vector3& to,
                                  const Geometry::Vector3& velocity, float spread);

// A quick throw's direction: straight at the target, led a little by its
// velocity, 3 lower, spread by up to `spread` on each axis (one generator,
// seed 1, shared by every caller); unit length. It goes over a target
// beyond a few steps.
Geometry::Vector3 ComputeQuickAim(const Geometry::Vector3& from, const Geometry::Vector3& to,
                                  const Geometry::Vector3& velocity, float spread);

// The aim a bot takes in a fight: a defender holds its ground and takes the
// careful aim (ComputeThrowAim); attackers and squad members, whose business
// is the enemy's flags, throw quickly (ComputeQuickAim). With every bot
// aiming carefully, the attackers of both sides met in the middle of the
// field and fought there for good, dying and coming back, and 8-a-team
// matches on the generated levels ended without a capture.
Geometry::Vector3 FightThrowAim(const BotGameView& bot, const Geometry::Vector3& from, const Geometry::Vector3& to,
                                const Geometry::Vector3& velocity, float spread);

class TeamMan {
public:
    static constexpr uint16_t kNoActor = 0xFFFF;
    static constexpr uint64_t kTeamClaimMs = 20000;
    // How far past the edge of the level's map a free block is still fetched.
    static constexpr float kFieldMargin = 4.0f;
    // Squared reach within which a bot sees an enemy flag.
    static constexpr float kFlagReachSquared = 900.0f;
    // Squared distance below which a bomb counts as near.
    static constexpr float kBombSearchLimit = 100000.0f;
    // The enemy is in view when the cosine between the facing and the
    // direction to it is at least this.
    static constexpr float kViewCosine = 0.2f;

    // logic: where the bots' views are attached (may be null in tests).
    TeamMan(uint8_t team, GameLogicView::MiravGameLogic* logic);
    // Every remaining bot's view leaves the logic.
    ~TeamMan();
    TeamMan(const TeamMan&) = delete;
    TeamMan& operator=(const TeamMan&) = delete;

    // Points the squads and guard slots at this team and registers the ten
    // listeners (each returns false).
    void Init();
    // One team step (nothing when "DisableBots" is set).
    void Update(int ms = 0);

    // ---- bots and players
    // A new bot for the actor; the caller attaches the returned view.
    std::shared_ptr<BotGameView> CreateBot(uint16_t actorId, const std::string& name, GameLogicView::Player* player);
    // The bot leaves its role, its view leaves the logic and it leaves the
    // team (its claims are given back).
    void RemoveBot(BotGameView* bot);
    BotGameView* GetBot(uint16_t actorId) const;
    // Bots in order of creation.
    const std::vector<std::shared_ptr<BotGameView>>& GetBots() const { return m_bots; }
    uint8_t GetTeamId() const { return m_team; }

    PlayerRecord* AddPlayer(GameLogicView::Player* player);
    PlayerRecord* FindPlayer(uint16_t actorId) const;
    void RemovePlayer(uint16_t actorId);
    const std::vector<std::unique_ptr<PlayerRecord>>& GetPlayers() const { return m_players; }
    // The bots' players (bot order), then the humans' (record order).
    void GetTeamActors(std::vector<GameLogicView::Player*>& out) const;
    // Calls visit(player) for each player GetTeamActors gives, in its order,
    // with no list built.
    template <class Visit>
    void ForEachTeamActor(Visit visit) const {
        VisitTeamActors([&](GameLogicView::Player* p) {
            visit(p);
            return true;
        });
    }
    // The same walk, stopped at the first call of visit that answers false;
    // false then, true when every player was visited.
    template <class Visit>
    bool VisitTeamActors(Visit visit) const {
        return WalkActors(visit, false, 0);
    }
    // The walk over the players GetTeamActorsExcept gives.
    template <class Visit>
    bool VisitTeamActorsExcept(uint16_t actorId, Visit visit) const {
        return WalkActors(visit, true, actorId);
    }
    void GetTeamActorsExcept(std::vector<GameLogicView::Player*>& out, uint16_t actorId) const;

    // ---- roles
    // Leave the old role (counts, squad, guard slot), take the new one.
    void SetRole(BotGameView& bot, int32_t role);
    // For a bot without a role: defender while the quota and the guard slots
    // allow, else attacker (founding a squad) while the quota allows, else a
    // member of the nearest squad with room.
    void AssignRole(BotGameView& bot);
    int32_t GetAttackers() const { return m_attackers; }
    // The role AssignRole gives the next bot without one.
    int32_t NextRole();
    int32_t GetDefenders() const { return m_defenders; }

    // ---- contacts, claims and bombs
    // Pick-up, throw or jump commands for the free blocks the bot touched.
    void ProcessContacts(BotGameView& bot);
    // The nearest free block nobody of the team is going for, now claimed
    // (by `claimer` when given: released when that bot dies, resets or
    // leaves); empty when none.
    std::shared_ptr<GameLogicView::BlockData> ClaimNearestBlock(const Geometry::Vector3& position,
                                                                uint16_t claimer = kNoActor);
    void ClaimBlock(uint16_t blockId, uint16_t claimer = kNoActor);
    void ReleaseClaim(uint16_t blockId);
    // Claims the team has held (for no bot) for kTeamClaimMs go back.
    void ExpireTeamClaims();
    // Every claim the bot holds goes back.
    void ReleaseClaimsOf(uint16_t claimer);
    bool IsClaimed(uint16_t blockId) const { return m_claims.count(blockId) != 0; }
    // Block id -> the claiming bot (kNoActor when the team holds it).
    const std::map<uint16_t, uint16_t>& GetClaims() const { return m_claims; }
    // The nearest bomb (object state 9) not held or pouched that no bot of
    // this team has as its target, below a squared distance of 100000.
    std::shared_ptr<GameLogicView::BlockData> FindNearestBomb(const Geometry::Vector3& position) const;
    void RequestStrategy(uint16_t actorId, const Geometry::Vector3& position);

    // ---- perception
    void UpdateBotPerception(BotGameView& bot);
    void FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                            bool ignoreFacing) const;
    // The human's sight record of this step, or null.
    const HumanSight* FindHumanSight(uint16_t actorId) const;

    // ---- squads
    // Recruits the team's free (then attacking, then defending) bots into
    // the human-led squad, up to "MaxSquadSize".
    void FillSquad(Squad& squad);
    SquadMan& GetSquadMan() { return m_squads; }
    GuardMan& GetGuardMan() { return m_guards; }

    // ---- the parts decided by the behaviour layer
    void SetPlanner(std::unique_ptr<ITeamPlanner> planner) { m_planner = std::move(planner); }
    ITeamPlanner* GetPlanner() const { return m_planner.get(); }
    void SetBehaviourSelector(std::unique_ptr<IBehaviourSelector> selector) { m_selector = std::move(selector); }
    IBehaviourSelector* GetBehaviourSelector() const { return m_selector.get(); }

    // ---- listeners
    bool OnPickUpBlock(const EventSystem::IEvent& event);
    bool OnDetachBlock(const EventSystem::IEvent& event);
    bool OnPlaceBlock(const EventSystem::IEvent& event);
    bool OnWhistle(const EventSystem::IEvent& event);
    bool OnThrowBlock(const EventSystem::IEvent& event);
    bool OnCreateActor(const EventSystem::IEvent& event);
    bool OnFlagGrabbed(const EventSystem::IEvent& event);
    bool OnJoinConfirmed(const EventSystem::IEvent& event);
    bool OnActorSpawn(const EventSystem::IEvent& event);
    bool OnActorDeath(const EventSystem::IEvent& event);

private:
    static GameLogicView::Player* PlayerOf(const BotGameView& bot);
    static uint16_t ActorIdOf(const BotGameView& bot);
    template <class Visitor>
    bool WalkActors(Visitor& visit, bool skip, uint16_t skipped) const {
        for (const auto& bot : m_bots)
            if (GameLogicView::Player* p = PlayerOf(*bot); p && !(skip && ActorIdOf(*bot) == skipped))
                if (!visit(p)) return false;
        for (const auto& r : m_players)
            if (r->player && !visit(r->player)) return false;
        return true;
    }
    // The perception of the living bots and the humans' sight, one pass.
    void UpdatePerception(const std::vector<std::shared_ptr<BotGameView>>& bots);
    void UpdateBotPerception(BotGameView& bot, SightPass& pass);
    void FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                            bool ignoreFacing, SightPass& pass) const;
    std::vector<Geometry::Vector3> GuardPoints() const;

    uint8_t m_team;
    GameLogicView::MiravGameLogic* m_logic;
    std::vector<std::shared_ptr<BotGameView>> m_bots;
    std::vector<std::unique_ptr<PlayerRecord>> m_players;
    std::map<uint16_t, uint16_t> m_claims;
    // When each claim held by the team (not by a bot) was made: blocks
    // judged out of reach move and the level changes, so such claims go
    // back after kTeamClaimMs.
    std::map<uint16_t, uint64_t> m_teamClaimTimes;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    std::unique_ptr<ITeamPlanner> m_planner;
    GuardMan m_guards;
    SquadMan m_squads;
    std::unique_ptr<IBehaviourSelector> m_selector;
    std::vector<HumanSight> m_humanSight;
    int32_t m_attackers = 0;
    int32_t m_defenders = 0;
};

}  // namespace AI
