// The team manager's part of bot perception: what each living bot sees and
// holds, rebuilt every step, and what the team's humans see.
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

// The cell a line of sight from or to a point runs in: the one just above
// the ground below the point.
Geometry::Vector3 SightCell(const AIMan& ai, const Geometry::Vector3& point) {
    return ai.GetSearchSpace().WorldToCell(ai.ProjectToGround(point));
}

// An observer's ground and sight cell, worked out at the first look that
// needs them.
class Observer {
public:
    Observer(const AIMan& ai, const Geometry::Vector3& position) : m_ai(ai), m_position(position) {}
    const Geometry::Vector3& Ground() {
        if (!m_known) {
            m_ground = m_ai.ProjectToGround(m_position);
            m_cell = m_ai.GetSearchSpace().WorldToCell(m_ground);
            m_known = true;
        }
        return m_ground;
    }
    const Geometry::Vector3& Cell() {
        Ground();
        return m_cell;
    }
    bool Sees(const Geometry::Vector3& target) {
        return m_ai.GetAStar().HasLineOfSight(Cell(), SightCell(m_ai, target));
    }

private:
    const AIMan& m_ai;
    Geometry::Vector3 m_position;
    Geometry::Vector3 m_ground{};
    Geometry::Vector3 m_cell{};
    bool m_known = false;
};

// The living players of `enemies` within sight of the observer standing at
// `position` (and in front of it unless ignoreFacing), in the team's order.
void VisibleEnemies(const AIMan& ai, const TeamMan& enemies, const GameLogicView::Player& observer,
                    const Geometry::Vector3& position, Observer& eye, std::vector<GameLogicView::Player*>& out,
                    bool ignoreFacing) {
    const float sight = ai.GetSettings().botSight;
    const Geometry::Vector3 facing = observer.GetOrientation().Rotate(Geometry::Vector3{0.0f, 0.0f, 1.0f});
    enemies.ForEachTeamActor([&](GameLogicView::Player* enemy) {
        if (enemy->IsDead()) return;
        const Geometry::Vector3 at = enemy->GetPosition();
        Geometry::Vector3 d = position - at;
        // A distance exactly equal to the range is in range.
        if (d.LengthSquared() > sight * sight) return;
        if (!ignoreFacing) {
            d.Normalize();
            if (facing.Dot(d) > -TeamMan::kViewCosine) return;
        }
        if (eye.Sees(at)) out.push_back(enemy);
    });
}

}  // namespace

void TeamMan::FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                                 bool ignoreFacing) const {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    const TeamMan* other = ai->GetTeam(OtherTeamId(m_team));
    if (!other) return;
    const Geometry::Vector3 position = observer.GetPosition();
    Observer eye(*ai, position);
    VisibleEnemies(*ai, *other, observer, position, eye, out, ignoreFacing);
}

void TeamMan::UpdateBotPerception(BotGameView& bot) {
    GameLogicView::Player* self = bot.GetPlayer();
    if (!self || self->IsDead()) return;
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    BotPerception& seen = bot.GetPerception();
    seen.ClearView();

    const float sight = ai->GetSettings().botSight;
    const Geometry::Vector3 position = self->GetPosition();

    const Squad* squad = bot.GetSquad();
    // A defender keeps watch all round its post, so an attacker cannot walk
    // past a guard that happens to look the other way.
    Observer eye(*ai, position);
    if (const TeamMan* other = ai->GetTeam(OtherTeamId(m_team)))
        VisibleEnemies(*ai, *other, *self, position, eye, seen.enemiesInView,
                       (squad && squad->IsLedByHuman()) || bot.GetRole() == Role::kDefender);

    ForEachTeamActor([&](GameLogicView::Player* mate) {
        if (mate->IsDead() || mate->GetActorId() == bot.GetActorId()) return;
        const Geometry::Vector3 at = mate->GetPosition();
        if ((at - position).LengthSquared() > sight * sight) return;
        if (eye.Sees(at)) seen.teammatesInView.push_back(mate);
    });

    if (const GameLogicView::BlockPtr& held = self->GetHeldBlock()) {
        if (held->actor) {
            seen.holdingBomb = held->actor->objectStateId == kBombState;
            seen.holdingFlag = held->actor->typeHash == GameLogicView::ActorTypes::Hash(GameLogicView::ActorTypes::kFlag);
        }
    }
    seen.blocksInPouch = static_cast<int32_t>(self->GetPouch().size());

    if (GameLogicView::FlagMan* flags = ai->GetFlagMan()) {
        const SearchSpace& grid = ai->GetSearchSpace();
        const Geometry::Vector3 ground = eye.Ground();
        const Geometry::Vector3& cell = eye.Cell();

        std::vector<GameLogicView::Flag*> list;
        flags->GetAvailableFlags(list, OtherTeamId(m_team));
        for (GameLogicView::Flag* flag : list) {
            const Geometry::Vector3 flagGround = ai->ProjectToGround(flag->GetPosition());
            if ((ground - flagGround).LengthSquared() >= kFlagReachSquared) continue;
            if (ai->GetAStar().HasLineOfSight(cell, grid.WorldToCell(flagGround)))
                seen.enemyFlagsInReach.push_back(flag->GetId());
        }

        list.clear();
        flags->GetAvailableFlags(list, m_team);
        for (GameLogicView::Flag* flag : list) {
            if (flag->GetState() != GameLogicView::FlagState::kDropped) continue;
            if (ai->GetAStar().HasLineOfSight(cell, grid.WorldToCell(ai->ProjectToGround(flag->GetPosition()))))
                seen.ownDroppedFlagsInSight.push_back(flag->GetId());
        }

        list.clear();
        flags->GetCarriedFlags(list, m_team);
        for (GameLogicView::Flag* flag : list)
            if (GameLogicView::Player* carrier = ai->GetPlayer(flag->GetCarrier()))
                seen.carriersOfOwnFlags.push_back(carrier);
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
