// A bot: a view of the logic, like the human player's, that drives one actor
// by raising the commands a player's screen raises. It thinks with a stack of
// behaviour machines (its AI game object); it knows the match through its
// perception, and plays a role in its team, perhaps in a squad.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ai/BotPerception.h"
#include "ai/sml/AIGameObject.h"
#include "gamelogic/GameView.h"
#include "utility/Geometry.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class TeamMan;
class Squad;

namespace Role {
enum : int32_t { kNone = 0, kAttacker = 1, kDefender = 2, kSquadMember = 3 };
}

class BotGameView : public GameLogicView::IGameView, public AIGameObject {
public:
    static constexpr const char* kIdle = "IDLE";
    static constexpr const char* kTutorial = "TUTORIAL";

    BotGameView(uint16_t actorId, uint8_t team, const std::string& name, GameLogicView::Player* player,
                TeamMan* teamMan);
    ~BotGameView() override;

    void OnAttach() override {}
    // Applies pending stack requests (at most 20), then updates the top
    // machine. A bot without machines (not spawned yet, or dead) does nothing.
    void OnUpdate(int ms) override;
    void OnRender(int) override {}
    // Stops the actor and idles: empty stack, "VtLActorMove" with the zero
    // vector, behaviour "IDLE", a new Idle machine. The blocks the bot had
    // claimed are given back to its team.
    void OnReset() override;

    // Leaves the old role, then takes the new one (the team keeps count).
    void SetRole(int32_t role);
    int32_t GetRole() const { return m_role; }
    // Only the team manager: the field itself, without leaving or taking.
    void StoreRole(int32_t role) { m_role = role; }

    uint16_t GetActorId() const { return AIGameObject::GetActorId(); }
    uint8_t GetTeam() const { return static_cast<uint8_t>(m_team); }
    // The full name (the AI game object keeps at most 63 characters).
    const std::string& GetName() const { return m_name; }
    GameLogicView::Player* GetPlayer() const { return m_player; }
    TeamMan* GetTeamMan() const { return m_teamMan; }

    const std::string& GetBehaviour() const { return m_behaviour; }
    void SetBehaviour(const std::string& behaviour) { m_behaviour = behaviour; }

    const std::optional<uint16_t>& GetTargetBlock() const { return m_targetBlock; }
    void SetTargetBlock(uint16_t id) { m_targetBlock = id; }
    void ClearTargetBlock() { m_targetBlock.reset(); }

    // Until this AI-clock time the bot does not go looking for blocks: it
    // found none it could reach, and plays on without.
    uint64_t GetNoBlocksUntil() const { return m_noBlocksUntil; }
    void SetNoBlocksUntil(uint64_t ms) { m_noBlocksUntil = ms; }
    // Since when (AI clock) the bot has been fetching blocks without getting
    // one: fetches that start over at once (a walk ended without headway, a
    // block lost from sight) count as one. Empty while it is not fetching.
    const std::optional<uint64_t>& GetFetchingSince() const { return m_fetchingSince; }
    void SetFetchingSince(std::optional<uint64_t> ms) { m_fetchingSince = ms; }
    uint64_t GetLastFetchStep() const { return m_lastFetchStep; }
    // Since when (AI clock) the attacker last waited for a fellow attacker
    // to come back from the dead; empty while it never has.
    const std::optional<uint64_t>& GetRegroupSince() const { return m_regroupSince; }
    void SetRegroupSince(std::optional<uint64_t> ms) { m_regroupSince = ms; }
    void SetLastFetchStep(uint64_t ms) { m_lastFetchStep = ms; }

    const Geometry::Vector3& GetFormationOffset() const { return m_formationOffset; }
    void SetFormationOffset(const Geometry::Vector3& offset) { m_formationOffset = offset; }
    Squad* GetSquad() const { return m_squad; }
    void SetSquad(Squad* squad) { m_squad = squad; }

    // Cells the bot's next path searches steer clear of, until the AI time
    // given (see Steering's jam handling).
    void SetAvoidCells(std::vector<Geometry::Vector3> cells, uint64_t untilMs) {
        m_avoidCells = std::move(cells);
        m_avoidUntil = untilMs;
    }
    const std::vector<Geometry::Vector3>& GetAvoidCells() const { return m_avoidCells; }
    uint64_t GetAvoidUntil() const { return m_avoidUntil; }

    // A bot that has stayed within kTrapReach (horizontally) and kTrapRise
    // (up or down) of one spot for kTrappedMs without guarding (in a pit its
    // searches cannot leave: the grid climbs one level, and it does not know
    // the placed blocks that thrown ones pushed out of their cells) jumps
    // out. It rises straight up, jumping whenever it can, until it is
    // kEscapeRise above where it stood (kRiseMs at most), then runs one way
    // for kEscapeMs, another of four ways at each try.
    static constexpr uint64_t kTrappedMs = 10000;
    static constexpr float kTrapReach = 1.5f;
    static constexpr float kTrapRise = 2.5f;
    static constexpr float kEscapeRise = 6.0f;
    static constexpr uint64_t kRiseMs = 1500;
    static constexpr uint64_t kEscapeMs = 900;
    // Under a ceiling (a rise that got less than kLowRise up) the way out is
    // one of the sides: the next way is tried kRetryMs after the last try
    // began, so all four are tried within half a minute.
    static constexpr float kLowRise = 1.0f;
    static constexpr uint64_t kRetryMs = 4500;
    bool IsEscaping(uint64_t now) const { return now < m_trap.escapeUntil; }
    // A guard standing at its post: the one bot that stays in one cell on
    // purpose.
    bool IsGuardingAtPost() const;

    BotPerception& GetPerception() { return m_perception; }
    const BotPerception& GetPerception() const { return m_perception; }

private:
    void WatchForTrap(int ms);

    struct Trap {
        bool valid = false;
        Geometry::Vector3 anchor{};
        uint64_t since = 0;
        uint64_t escapeStart = 0, escapeUntil = 0;
        bool rising = false;
        float riseTo = 0.0f;
        float peak = 0.0f;     // the highest it got while rising
        bool under = false;    // the last rise got nowhere: something above
        unsigned tries = 0;
        Geometry::Vector3 way{};
    };
    Trap m_trap;
    std::string m_behaviour;
    int32_t m_team;
    std::string m_name;
    TeamMan* m_teamMan;
    std::optional<uint16_t> m_targetBlock;
    GameLogicView::Player* m_player;
    Geometry::Vector3 m_formationOffset{};
    BotPerception m_perception;
    int32_t m_role = Role::kNone;
    Squad* m_squad = nullptr;
    uint64_t m_noBlocksUntil = 0;
    std::optional<uint64_t> m_fetchingSince;
    uint64_t m_lastFetchStep = 0;
    std::optional<uint64_t> m_regroupSince;
    std::vector<Geometry::Vector3> m_avoidCells;
    uint64_t m_avoidUntil = 0;
};

}  // namespace AI
