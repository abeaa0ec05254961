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

}  // namespace

bool TeamMan::InLineOfSight(const Geometry::Vector3& from, const Geometry::Vector3& to) const {
    AIMan* ai = AIMan::Instance();
    if (!ai) return false;
    const SearchSpace& grid = ai->GetSearchSpace();
    return ai->GetAStar().HasLineOfSight(grid.WorldToCell(ai->ProjectToGround(from)),
                                         grid.WorldToCell(ai->ProjectToGround(to)));
}

void TeamMan::FindVisibleEnemies(const GameLogicView::Player& observer, std::vector<GameLogicView::Player*>& out,
                                 bool ignoreFacing) const {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    const TeamMan* other = ai->GetTeam(OtherTeamId(m_team));
    if (!other) return;
    const float sight = ai->GetSettings().botSight;
    const Geometry::Vector3 position = observer.GetPosition();
    const Geometry::Vector3 facing = observer.GetOrientation().Rotate(Geometry::Vector3{0.0f, 0.0f, 1.0f});

    std::vector<GameLogicView::Player*> enemies;
    other->GetTeamActors(enemies);
    for (GameLogicView::Player* enemy : enemies) {
        if (enemy->IsDead()) continue;
        Geometry::Vector3 d = position - enemy->GetPosition();
        // A distance exactly equal to the range is in range.
        if (d.LengthSquared() > sight * sight) continue;
        if (!ignoreFacing) {
            d.Normalize();
            if (facing.Dot(d) > -kViewCosine) continue;
        }
        if (InLineOfSight(position, enemy->GetPosition())) out.push_back(enemy);
    }
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
    FindVisibleEnemies(*self, seen.enemiesInView,
                       (squad && squad->IsLedByHuman()) || bot.GetRole() == Role::kDefender);

    std::vector<GameLogicView::Player*> team;
    GetTeamActors(team);
    for (GameLogicView::Player* mate : team) {
        if (mate->IsDead() || mate->GetActorId() == bot.GetActorId()) continue;
        if ((mate->GetPosition() - position).LengthSquared() > sight * sight) continue;
        if (InLineOfSight(position, mate->GetPosition())) seen.teammatesInView.push_back(mate);
    }

    if (const GameLogicView::BlockPtr& held = self->GetHeldBlock()) {
        if (held->actor) {
            seen.holdingBomb = held->actor->objectStateId == kBombState;
            seen.holdingFlag = held->actor->typeHash == GameLogicView::ActorTypes::Hash(GameLogicView::ActorTypes::kFlag);
        }
    }
    seen.blocksInPouch = static_cast<int32_t>(self->GetPouch().size());

    if (GameLogicView::FlagMan* flags = ai->GetFlagMan()) {
        const SearchSpace& grid = ai->GetSearchSpace();
        const Geometry::Vector3 ground = ai->ProjectToGround(position);
        const Geometry::Vector3 cell = grid.WorldToCell(ground);

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
