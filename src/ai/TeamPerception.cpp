// The team manager's part of bot perception: what each living bot sees and
// holds, rebuilt every step, and what the team's humans see.
#include <optional>
#include <utility>
#include <vector>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "gamelogic/Actor.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

constexpr int32_t kBombState = 9;

uint8_t OtherTeamId(uint8_t team) { return team == 0 ? 1 : 0; }

}  // namespace

// What the bots of one team look at in one perception pass, worked out at
// the first look that needs it and kept for the other bots: where each player
// stands on the ground and the cell lines of sight from or to it run in, and
// the flags. Nothing a pass looks at moves or changes while it runs.
class SightPass {
public:
    SightPass(const AIMan& ai, uint8_t team) : m_ai(ai), m_team(team) { m_players.reserve(32); }

    struct Spot {
        Geometry::Vector3 ground;
        Geometry::Vector3 cell;
    };
    Spot Of(const GameLogicView::Player& player) {
        for (const auto& [p, spot] : m_players)
            if (p == &player) return spot;
        const Geometry::Vector3 ground = m_ai.ProjectToGround(player.GetPosition());
        const Spot spot{ground, m_ai.GetSearchSpace().WorldToCell(ground)};
        m_players.emplace_back(&player, spot);
        return spot;
    }
    // A line of sight from the observer's spot to the target's.
    bool Sees(const Spot& observer, const GameLogicView::Player& target) {
        return m_ai.GetAStar().HasLineOfSight(observer.cell, Of(target).cell);
    }

    struct FlagSpot {
        uint16_t id;
        Geometry::Vector3 ground;
        Geometry::Vector3 cell;
    };
    // The enemy's flags at home or dropped.
    const std::vector<FlagSpot>& EnemyFlags(GameLogicView::FlagMan& flags) {
        if (!m_enemyFlagsKnown) {
            m_enemyFlagsKnown = true;
            m_list.clear();
            flags.GetAvailableFlags(m_list, OtherTeamId(m_team));
            for (const GameLogicView::Flag* flag : m_list) m_enemyFlags.push_back(SpotOf(*flag));
        }
        return m_enemyFlags;
    }
    // The team's own flags lying dropped.
    const std::vector<FlagSpot>& DroppedOwnFlags(GameLogicView::FlagMan& flags) {
        if (!m_droppedKnown) {
            m_droppedKnown = true;
            m_list.clear();
            flags.GetAvailableFlags(m_list, m_team);
            for (const GameLogicView::Flag* flag : m_list)
                if (flag->GetState() == GameLogicView::FlagState::kDropped) m_dropped.push_back(SpotOf(*flag));
        }
        return m_dropped;
    }
    // The players carrying the team's own flags.
    const std::vector<GameLogicView::Player*>& CarriersOfOwnFlags(GameLogicView::FlagMan& flags) {
        if (!m_carriersKnown) {
            m_carriersKnown = true;
            m_list.clear();
            flags.GetCarriedFlags(m_list, m_team);
            for (const GameLogicView::Flag* flag : m_list)
                if (GameLogicView::Player* carrier = m_ai.GetPlayer(flag->GetCarrier())) m_carriers.push_back(carrier);
        }
        return m_carriers;
    }

private:
    FlagSpot SpotOf(const GameLogicView::Flag& flag) const {
        const Geometry::Vector3 ground = m_ai.ProjectToGround(flag.GetPosition());
        return {flag.GetId(), ground, m_ai.GetSearchSpace().WorldToCell(ground)};
    }

    const AIMan& m_ai;
    uint8_t m_team;
    std::vector<std::pair<const GameLogicView::Player*, Spot>> m_players;
    std::vector<GameLogicView::Flag*> m_list;
    std::vector<FlagSpot> m_enemyFlags;
    std::vector<FlagSpot> m_dropped;
    std::vector<GameLogicView::Player*> m_carriers;
    bool m_enemyFlagsKnown = false;
    bool m_droppedKnown = false;
    bool m_carriersKnown = false;
};

namespace {

// The living players of `enemies` within sight of the observer standing at
// `position` (and in front of it unless ignoreFacing), in the team's order.
void VisibleEnemies(const AIMan& ai, const TeamMan& enemies, const GameLogicView::Player& observer,
                    const Geometry::Vector3& position, SightPass& pass, std::vector<GameLogicView::Player*>& out,
                    bool ignoreFacing) {
    const float sight = ai.GetSettings().botSight;
    const Geometry::Vector3 facing = observer.GetOrientation().Rotate(Geometry::Vector3{0.0f, 0.0f, 1.0f});
    // The observer's spot, looked up at the first enemy in range.
    SightPass::Spot spot;
    const SightPass::Spot* from = nullptr;
    enemies.ForEachTeamActor([&](GameLogicView::Player* enemy) {
        if (enemy->IsDead()) return;
        Geometry::Vector3 d = position - enemy->GetPosition();
        // A distance exactly equal to the range is in range.
        if (d.LengthSquared() > sight * sight) return;
        if (!ignoreFacing) {
            d.Normalize();
            if (facing.Dot(d) > -TeamMan::kViewCosine) return;
        }
        if (!from) {
            spot = pass.Of(observer);
            from = &spot;
        }
        if (pass.Sees(*from, *enemy)) out.push_back(enemy);
    });
}

}  // namespace

void TeamMan::FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                                 bool ignoreFacing) const {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    SightPass pass(*ai, m_team);
    FindVisibleEnemies(observer, out, ignoreFacing, pass);
}

void TeamMan::FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                                 bool ignoreFacing, SightPass& pass) const {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    const TeamMan* other = ai->GetTeam(OtherTeamId(m_team));
    if (!other) return;
    VisibleEnemies(*ai, *other, observer, observer.GetPosition(), pass, out, ignoreFacing);
}

void TeamMan::UpdateBotPerception(BotGameView& bot) {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    SightPass pass(*ai, m_team);
    UpdateBotPerception(bot, pass);
}

void TeamMan::UpdatePerception(const std::vector<std::shared_ptr<BotGameView>>& bots) {
    AIMan* ai = AIMan::Instance();
    // Without the manager no bot sees anything new, and the humans see no
    // enemy.
    std::optional<SightPass> pass;
    if (ai) pass.emplace(*ai, m_team);
    if (pass)
        for (const auto& bot : bots)
            if (GameLogicView::Player* p = bot->GetPlayer(); p && !p->IsDead()) UpdateBotPerception(*bot, *pass);

    m_humanSight.clear();
    for (const auto& record : m_players) {
        if (!record->player || record->player->IsDead()) continue;
        HumanSight sight;
        sight.actorId = record->player->GetActorId();
        if (pass) FindVisibleEnemies(*record->player, sight.enemies, true, *pass);
        m_humanSight.push_back(std::move(sight));
    }
}

void TeamMan::UpdateBotPerception(BotGameView& bot, SightPass& pass) {
    GameLogicView::Player* self = bot.GetPlayer();
    if (!self || self->IsDead()) return;
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    BotPerception& seen = bot.GetPerception();
    seen.ClearView();

    const float sight = ai->GetSettings().botSight;
    const Geometry::Vector3 position = self->GetPosition();
    const SightPass::Spot eye = pass.Of(*self);

    const Squad* squad = bot.GetSquad();
    // A defender keeps watch all round its post, so an attacker cannot walk
    // past a guard that happens to look the other way.
    FindVisibleEnemies(*self, seen.enemiesInView, (squad && squad->IsLedByHuman()) || bot.GetRole() == Role::kDefender,
                       pass);

    ForEachTeamActor([&](GameLogicView::Player* mate) {
        if (mate->IsDead() || mate->GetActorId() == bot.GetActorId()) return;
        if ((mate->GetPosition() - position).LengthSquared() > sight * sight) return;
        if (pass.Sees(eye, *mate)) seen.teammatesInView.push_back(mate);
    });

    if (const GameLogicView::BlockPtr& held = self->GetHeldBlock()) {
        if (held->actor) {
            seen.holdingBomb = held->actor->objectStateId == kBombState;
            // The name's hash never changes: worked out once, not per bot and step.
            static const uint32_t kFlagHash = GameLogicView::ActorTypes::Hash(GameLogicView::ActorTypes::kFlag);
            seen.holdingFlag = held->actor->typeHash == kFlagHash;
        }
    }
    seen.blocksInPouch = static_cast<int32_t>(self->GetPouch().size());

    if (GameLogicView::FlagMan* flags = ai->GetFlagMan()) {
        for (const SightPass::FlagSpot& flag : pass.EnemyFlags(*flags)) {
            if ((eye.ground - flag.ground).LengthSquared() >= kFlagReachSquared) continue;
            if (ai->GetAStar().HasLineOfSight(eye.cell, flag.cell)) seen.enemyFlagsInReach.push_back(flag.id);
        }
        for (const SightPass::FlagSpot& flag : pass.DroppedOwnFlags(*flags))
            if (ai->GetAStar().HasLineOfSight(eye.cell, flag.cell)) seen.ownDroppedFlagsInSight.push_back(flag.id);
        const std::vector<GameLogicView::Player*>& carriers = pass.CarriersOfOwnFlags(*flags);
        seen.carriersOfOwnFlags.insert(seen.carriersOfOwnFlags.end(), carriers.begin(), carriers.end());
    }

    if (squad && squad->GetLeader())
        seen.squadLeaderDistance = (position - squad->GetLeader()->GetPosition()).LengthSquared();
}

const HumanSight* TeamMan::FindHumanSight(uint16_t actorId) const {
    for (const HumanSight& s : m_humanSight)
        if (s.actorId == actorId) return &s;
    return nullptr;
}

}  // namespace AI
