#include "ai/TeamMan.h"

#include <algorithm>
#include <cmath>

#include "ai/AIMan.h"
#include "ai/BehaviourSelection.h"
#include "ai/BotGameView.h"
#include "ai/Idle.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/StrategyMan.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/LogicSettings.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"
#include "utility/Random.h"

namespace AI {

namespace {

constexpr int32_t kBombState = 9;

AISettings Settings() {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings() : AISettings();
}

bool Alive(const GameLogicView::Player* p) { return p && !p->IsDead(); }

}  // namespace

// ------------------------------------------------------------ PlayerRecord

PlayerRecord::PlayerRecord(GameLogicView::Player* p) : player(p) {
    using GameLogicView::GlobalGameState;
    const GlobalGameState* state = GlobalGameState::Instance();
    const bool network = state->GetFlag(GlobalGameState::kMultiplayer) == 1;
    const bool wonBefore =
        state->GetFlag(GlobalGameState::kWinsAngel) + state->GetFlag(GlobalGameState::kWinsDemon) > 0;
    tutorialDone = network || wonBefore || state->GetFlag(GlobalGameState::kSkipTutorial) == 1;
}

// --------------------------------------------------------- ComputeThrowAim

Geometry::Vector3 ComputeThrowAim(const Geometry::Vector3& from, const Geometry::Vector3& to,
                                  const Geometry::Vector3& velocity, float spread) {
    // The block leaves from the hand above the thrower's head, at the throw
    // speed, and falls on its way; the throw itself tilts the aim up by the
    // throw angle. An aim taken straight at the target flies over it at
    // every range beyond a few steps, so the aim is the line from the hand
    // to where the target will be, raised by the fall over the flight and
    // then turned down by the tilt the throw adds.
    const GameLogicView::LogicSettings& s = GameLogicView::GetLogicSettings();
    const Geometry::Vector3 hand = from + Geometry::Vector3(0.0f, kThrowHandHeight, 0.0f);
    Geometry::Vector3 line = to - hand;
    const float speed = s.throwSpeed > 1.0f ? s.throwSpeed : 1.0f;
    const float flight = line.Length() / speed;
    line += velocity * flight;
    line.y += 0.5f * kThrowFall * flight * flight;
    static Utility::Random<float> random(1);
    line.z += random.Get(-spread, spread);
    line.y += random.Get(-spread, spread);
    line.x += random.Get(-spread, spread);
    const float across = std::sqrt(line.x * line.x + line.z * line.z);
    // Straight up or down has no tilt to undo: the throw keeps it as it is.
    if (!(across > 1e-4f)) return line.Normalized();
    // Not below straight down: the throw would turn that the other way.
    constexpr float kSteepest = -1.5533430f;  // -89 degrees
    const float pitch = std::max(std::atan2(line.y, across) - s.throwAngle, kSteepest);
    const float level = std::cos(pitch) / across;
    return Geometry::Vector3(line.x * level, std::sin(pitch), line.z * level).Normalized();
}

Geometry::Vector3 ComputeQuickAim(const Geometry::Vector3& from, const Geometry::Vector3& to,
                                  const Geometry::Vector3& velocity, float spread) {
    const Geometry::Vector3 d = to - from;
    const float length = d.Length();
    Geometry::Vector3 aim = d + velocity * (length * 0.02f);
    aim.y -= 3.0f;
    static Utility::Random<float> random(1);
    aim.z += random.Get(-spread, spread);
    aim.y += random.Get(-spread, spread);
    aim.x += random.Get(-spread, spread);
    return aim.Normalized();
}

Geometry::Vector3 FightThrowAim(const BotGameView& bot, const Geometry::Vector3& from, const Geometry::Vector3& to,
                                const Geometry::Vector3& velocity, float spread) {
    return bot.GetRole() == Role::kDefender ? ComputeThrowAim(from, to, velocity, spread)
                                            : ComputeQuickAim(from, to, velocity, spread);
}

// ------------------------------------------------------------------ set-up

TeamMan::TeamMan(uint8_t team, GameLogicView::MiravGameLogic* logic)
    : m_team(team),
      m_logic(logic),
      m_registry(std::make_unique<EventSystem::EventRegistry>()),
      m_guards([this] { return GuardPoints(); }),
      m_squads(this) {}

TeamMan::~TeamMan() {
    m_registry->UnregisterAll();
    // The logic keeps views until they are removed; a bot of a team that is
    // gone must not go on being updated.
    std::vector<std::shared_ptr<BotGameView>> bots;
    bots.swap(m_bots);
    if (m_logic)
        for (const auto& bot : bots)
            if (bot->GetViewId() != -1) m_logic->RemoveGameView(bot->GetViewId());
    // Machines may reach back to their bot while they go: clear the stacks
    // while every bot still exists.
    for (const auto& bot : bots) bot->ClearStack();
}

std::vector<Geometry::Vector3> TeamMan::GuardPoints() const {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetGuardPoints(m_team) : std::vector<Geometry::Vector3>();
}

void TeamMan::Init() {
    m_squads.SetTeam(this);
    m_planner = std::make_unique<StrategyMan>(m_team);
    m_selector = std::make_unique<BehaviourTables>();
    using namespace EventTypes;
    m_registry->Register(EventUpdatePickUpBlock::GetStaticType(), this, &TeamMan::OnPickUpBlock);
    m_registry->Register(EventUpdateDetachBlock::GetStaticType(), this, &TeamMan::OnDetachBlock);
    m_registry->Register(EventUpdatePlaceBlock::GetStaticType(), this, &TeamMan::OnPlaceBlock);
    m_registry->Register(EventCommandWhistle::GetStaticType(), this, &TeamMan::OnWhistle);
    m_registry->Register(EventUpdateThrowBlock::GetStaticType(), this, &TeamMan::OnThrowBlock);
    m_registry->Register(EventUpdateCreateActor::GetStaticType(), this, &TeamMan::OnCreateActor);
    m_registry->Register(EventUpdateFlagGrabbed::GetStaticType(), this, &TeamMan::OnFlagGrabbed);
    m_registry->Register(EventUpdateGameIDs::GetStaticType(), this, &TeamMan::OnJoinConfirmed);
    m_registry->Register(EventUpdateActorSpawn::GetStaticType(), this, &TeamMan::OnActorSpawn);
    m_registry->Register(EventUpdateActorDeath::GetStaticType(), this, &TeamMan::OnActorDeath);
}

// ------------------------------------------------------------------ update

void TeamMan::Update(int) {
    if (Settings().disableBots) return;
    if (m_planner) m_planner->Step();
    m_squads.Update();
    ExpireTeamClaims();

    // A copy: nothing below adds or removes bots, but a machine's handler
    // reached from here must not be able to pull the list from under us.
    const std::vector<std::shared_ptr<BotGameView>> bots = m_bots;
    UpdatePerception(bots);

    for (const auto& bot : bots)
        if (Alive(bot->GetPlayer())) AssignRole(*bot);
    for (const auto& bot : bots)
        if (Alive(bot->GetPlayer()) && bot->GetRole() != Role::kNone && m_selector) m_selector->SelectBehaviour(*bot);
    for (const auto& bot : bots)
        if (Alive(bot->GetPlayer())) ProcessContacts(*bot);
    for (const auto& bot : bots) bot->GetPerception().ClearReports();
    m_humanSight.clear();
}

// -------------------------------------------------------- bots and players

std::shared_ptr<BotGameView> TeamMan::CreateBot(uint16_t actorId, const std::string& name,
                                                GameLogicView::Player* player) {
    auto bot = std::make_shared<BotGameView>(actorId, m_team, name, player, this);
    m_bots.push_back(bot);
    return bot;
}

void TeamMan::RemoveBot(BotGameView* bot) {
    auto it = std::find_if(m_bots.begin(), m_bots.end(), [bot](const auto& b) { return b.get() == bot; });
    if (it == m_bots.end()) return;
    const std::shared_ptr<BotGameView> keep = *it;  // alive until we are done with it
    SetRole(*keep, Role::kNone);
    ReleaseClaimsOf(keep->GetActorId());
    if (m_logic && keep->GetViewId() != -1) m_logic->RemoveGameView(keep->GetViewId());
    m_bots.erase(std::find(m_bots.begin(), m_bots.end(), keep));
    // Its machines must not run again, nor get messages meant for a bot.
    keep->ClearStack();
}

BotGameView* TeamMan::GetBot(uint16_t actorId) const {
    for (const auto& bot : m_bots)
        if (bot->GetActorId() == actorId) return bot.get();
    return nullptr;
}

PlayerRecord* TeamMan::AddPlayer(GameLogicView::Player* player) {
    if (!player) return nullptr;
    if (PlayerRecord* known = FindPlayer(player->GetActorId())) return known;
    m_players.push_back(std::make_unique<PlayerRecord>(player));
    return m_players.back().get();
}

PlayerRecord* TeamMan::FindPlayer(uint16_t actorId) const {
    for (const auto& r : m_players)
        if (r->player && r->player->GetActorId() == actorId) return r.get();
    return nullptr;
}

void TeamMan::RemovePlayer(uint16_t actorId) {
    auto it = std::find_if(m_players.begin(), m_players.end(),
                           [actorId](const auto& r) { return r->player && r->player->GetActorId() == actorId; });
    if (it == m_players.end()) return;
    // A squad the human led has nobody to follow any more.
    if (Squad* led = m_squads.FindByLeader((*it)->player)) led->Disband();
    m_players.erase(it);
}

GameLogicView::Player* TeamMan::PlayerOf(const BotGameView& bot) { return bot.GetPlayer(); }
uint16_t TeamMan::ActorIdOf(const BotGameView& bot) { return bot.GetActorId(); }

void TeamMan::GetTeamActors(std::vector<GameLogicView::Player*>& out) const {
    for (const auto& bot : m_bots)
        if (bot->GetPlayer()) out.push_back(bot->GetPlayer());
    for (const auto& r : m_players)
        if (r->player) out.push_back(r->player);
}

void TeamMan::GetTeamActorsExcept(std::vector<GameLogicView::Player*>& out, uint16_t actorId) const {
    for (const auto& bot : m_bots)
        if (bot->GetPlayer() && bot->GetActorId() != actorId) out.push_back(bot->GetPlayer());
    for (const auto& r : m_players)
        if (r->player) out.push_back(r->player);
}

// ------------------------------------------------------------------- roles

void TeamMan::SetRole(BotGameView& bot, int32_t role) {
    switch (bot.GetRole()) {
        case Role::kAttacker:
            --m_attackers;
            // A leader leaving disbands its squad.
            if (Squad* squad = bot.GetSquad()) squad->RemoveMember(bot);
            break;
        case Role::kDefender:
            --m_defenders;
            m_guards.ReleaseSlot(bot);
            break;
        case Role::kSquadMember:
            if (Squad* squad = bot.GetSquad()) squad->RemoveMember(bot);
            break;
        default: break;
    }
    if (role == Role::kAttacker) ++m_attackers;
    if (role == Role::kDefender) ++m_defenders;
    bot.StoreRole(role);
}

int32_t TeamMan::NextRole() {
    const AISettings settings = Settings();
    // A team no larger than the defence quota would send nobody to attack
    // and could never win: a defender is made only while someone else of
    // the team is left to attack.
    const size_t teamSize = m_bots.size() + m_players.size();
    if (m_defenders < settings.defenseQuota && static_cast<size_t>(m_defenders) + 1 < teamSize &&
        static_cast<size_t>(m_defenders) < m_guards.SlotCount())
        return Role::kDefender;
    if (m_attackers < settings.offenseQuota) return Role::kAttacker;
    return Role::kSquadMember;
}

void TeamMan::AssignRole(BotGameView& bot) {
    if (bot.GetRole() != Role::kNone) return;
    const int32_t role = NextRole();
    if (role == Role::kDefender) {
        SetRole(bot, Role::kDefender);
        return;
    }
    if (role == Role::kAttacker) {
        SetRole(bot, Role::kAttacker);
        bot.SetSquad(m_squads.Create(bot.GetPlayer(), false));
        return;
    }
    const Geometry::Vector3 position = bot.GetPlayer() ? bot.GetPlayer()->GetPosition() : Geometry::kZeroVector;
    if (Squad* squad = m_squads.FindNearestWithRoom(position)) {
        SetRole(bot, Role::kSquadMember);
        squad->AddMember(bot);
    }
}

// ---------------------------------------------------------------- contacts

void TeamMan::ProcessContacts(BotGameView& bot) {
    GameLogicView::Player* player = bot.GetPlayer();
    if (!player) return;
    const BotPerception& seen = bot.GetPerception();
    const int16_t id = static_cast<int16_t>(bot.GetActorId());
    // A copy: the list belongs to the collector, which may append while the
    // commands go out.
    const std::vector<std::shared_ptr<GameLogicView::BlockData>> contacts = seen.contacts;
    for (const auto& block : contacts) {
        if (!block || block->GetState() != GameLogicView::BlockState::kFree) continue;
        if (!seen.holdingBomb && !seen.holdingFlag) {
            if (player->IsDead() || player->GetPouch().size() >= GameLogicView::Player::GetPouchSize() ||
                player->canPickUp != 1 || player->carryingFlag != 0) {
                Geometry::Vector3 dir = player->GetOrientation().Rotate(Geometry::Vector3{0.0f, 0.0f, 1.0f});
                dir.y += 0.5f;
                EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandThrowBlock>(id, dir));
            } else {
                player->viewDirection = block->GetPosition() - player->GetPosition();
                EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandPickUpBlock>(id));
            }
            return;
        }
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorJump>(id));
    }
}

// ------------------------------------------------------ claims and bombs

std::shared_ptr<GameLogicView::BlockData> TeamMan::ClaimNearestBlock(const Geometry::Vector3& position,
                                                                     uint16_t claimer) {
    const AIMan* ai = AIMan::Instance();
    GameLogicView::BlockMan* blocks = ai ? ai->GetBlockMan().get() : nullptr;
    if (!blocks) return nullptr;
    // Missed throws fly far beyond the map and lie scattered over the open
    // ground around it: fetching them took bots out of the game (in 8-a-team
    // matches on Twin Keeps more than a quarter of the bots were off the map
    // at any moment). Blocks a few steps past the map's edge are still
    // fetched.
    const Geometry::Vector3& field = blocks->FieldHalfExtents();
    GameLogicView::BlockPtr found =
        field.x > 0.0f && field.z > 0.0f
            ? blocks->FindNearestFreeBlockWithin(position, m_claims, field.x + kFieldMargin, field.z + kFieldMargin)
            : blocks->FindNearestFreeBlock(position, m_claims);
    if (found) m_claims[found->GetId()] = claimer;
    return found;
}

void TeamMan::ClaimBlock(uint16_t blockId, uint16_t claimer) {
    m_claims[blockId] = claimer;
    if (claimer == kNoActor) {
        const AIMan* ai = AIMan::Instance();
        m_teamClaimTimes[blockId] = ai ? ai->GetClock().Now() : 0;
    }
}

void TeamMan::ExpireTeamClaims() {
    const AIMan* ai = AIMan::Instance();
    const uint64_t now = ai ? ai->GetClock().Now() : 0;
    for (auto it = m_teamClaimTimes.begin(); it != m_teamClaimTimes.end();) {
        if (now - it->second < kTeamClaimMs) {
            ++it;
            continue;
        }
        const auto claim = m_claims.find(it->first);
        if (claim != m_claims.end() && claim->second == kNoActor) m_claims.erase(claim);
        it = m_teamClaimTimes.erase(it);
    }
}

void TeamMan::ReleaseClaim(uint16_t blockId) { m_claims.erase(blockId); }

void TeamMan::ReleaseClaimsOf(uint16_t claimer) {
    if (claimer == kNoActor) return;
    for (auto it = m_claims.begin(); it != m_claims.end();) {
        if (it->second == claimer)
            it = m_claims.erase(it);
        else
            ++it;
    }
}

std::shared_ptr<GameLogicView::BlockData> TeamMan::FindNearestBomb(const Geometry::Vector3& position) const {
    const AIMan* ai = AIMan::Instance();
    GameLogicView::BlockMan* blocks = ai ? ai->GetBlockMan().get() : nullptr;
    if (!blocks) return nullptr;
    GameLogicView::BlockPtr best;
    float bestDistance = kBombSearchLimit;
    for (const auto& entry : blocks->AllBlocks()) {
        const GameLogicView::BlockPtr& block = entry.second;
        if (!block || !block->actor || block->actor->objectStateId != kBombState) continue;
        const int32_t state = block->GetState();
        if (state == GameLogicView::BlockState::kHeld || state == GameLogicView::BlockState::kPouch) continue;
        const bool targeted = std::any_of(m_bots.begin(), m_bots.end(), [&](const auto& bot) {
            return bot->GetTargetBlock() && *bot->GetTargetBlock() == block->GetId();
        });
        if (targeted) continue;
        const float d = (block->GetPosition() - position).LengthSquared();
        if (d < bestDistance) {
            bestDistance = d;
            best = block;
        }
    }
    return best;
}

void TeamMan::RequestStrategy(uint16_t actorId, const Geometry::Vector3& position) {
    if (m_planner) m_planner->AddRequest(actorId, position);
}

// ------------------------------------------------------------------ squads

void TeamMan::FillSquad(Squad& squad) {
    const int32_t maxSize = Settings().maxSquadSize;
    const uint16_t leaderId = squad.GetLeaderId();
    std::vector<BotGameView*> candidates;
    auto eligible = [&](const BotGameView& bot) {
        return Alive(bot.GetPlayer()) && bot.GetActorId() != leaderId && bot.GetBehaviour() != BotGameView::kTutorial;
    };
    auto pass = [&](auto&& accepts) {
        for (const auto& bot : m_bots) {
            if (static_cast<int32_t>(candidates.size()) >= maxSize) return;
            if (!eligible(*bot) || !accepts(*bot)) continue;
            if (std::find(candidates.begin(), candidates.end(), bot.get()) != candidates.end()) continue;
            candidates.push_back(bot.get());
        }
    };
    pass([&](const BotGameView& b) {
        return !squad.HasMember(b.GetActorId()) && (b.GetRole() == Role::kSquadMember || b.GetRole() == Role::kNone);
    });
    pass([](const BotGameView& b) { return b.GetRole() == Role::kAttacker; });
    pass([](const BotGameView& b) { return b.GetRole() == Role::kDefender; });

    for (BotGameView* bot : candidates) {
        if (static_cast<int32_t>(squad.Size()) >= maxSize || !squad.GetLeader()) break;
        // Leaving the old role disbands an attacker's own squad, frees a
        // defender's slot, takes a member out of its squad.
        SetRole(*bot, Role::kSquadMember);
        squad.AddMember(*bot);
        bot->OnReset();
    }
}

// ---------------------------------------------------------------- listeners

bool TeamMan::OnPickUpBlock(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdatePickUpBlock*>(&event);
    if (!e || !e->GetPayload()) return false;
    const auto& d = *e->GetPayload();
    const uint16_t picker = static_cast<uint16_t>(d.actorId);
    const uint16_t blockId = static_cast<uint16_t>(d.blockId);
    if (d.team == m_team)
        if (MsgRoute* route = MsgRoute::Instance())
            route->SendMessage(0, MSG_PICKUP_CONFIRMATION, picker, 0, SCOPE_NONE, 0, 1, blockId);
    const std::vector<std::shared_ptr<BotGameView>> bots = m_bots;
    for (const auto& bot : bots) {
        if (bot->GetActorId() == picker) continue;
        if (bot->GetTargetBlock() && *bot->GetTargetBlock() == blockId) {
            bot->OnReset();
            bot->ClearTargetBlock();
        }
    }
    m_claims.erase(blockId);
    return false;
}

bool TeamMan::OnDetachBlock(const EventSystem::IEvent&) {
    MsgRoute* route = MsgRoute::Instance();
    if (!route) return false;
    const std::vector<std::shared_ptr<BotGameView>> bots = m_bots;
    for (const auto& bot : bots)
        route->SendMessage(0, MSG_SEARCHSPACE_ALTERED, bot->GetActorId(), 0, SCOPE_NONE, 0, 1, 0);
    return false;
}

bool TeamMan::OnPlaceBlock(const EventSystem::IEvent&) { return false; }
bool TeamMan::OnCreateActor(const EventSystem::IEvent&) { return false; }
bool TeamMan::OnFlagGrabbed(const EventSystem::IEvent&) { return false; }

bool TeamMan::OnWhistle(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventCommandWhistle*>(&event);
    if (!e || !e->GetPayload()) return false;
    PlayerRecord* record = FindPlayer(static_cast<uint16_t>(e->GetPayload()->actorId));
    if (!record || !Alive(record->player)) return false;
    if (Squad* led = m_squads.FindByLeader(record->player)) {
        led->Disband();
        record->releasedSquad = true;
        return false;
    }
    Squad* squad = m_squads.Create(record->player, true);
    FillSquad(*squad);
    record->formedSquad = true;
    return false;
}

bool TeamMan::OnThrowBlock(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateThrowBlock*>(&event);
    if (!e || !e->GetPayload()) return false;
    m_claims.erase(static_cast<uint16_t>(e->GetPayload()->blockId));
    return false;
}

bool TeamMan::OnJoinConfirmed(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateGameIDs*>(&event);
    if (!e || !e->GetPayload() || e->GetPayload()->team != m_team) return false;
    const AIMan* ai = AIMan::Instance();
    if (GameLogicView::Player* player = ai ? ai->GetPlayer(static_cast<uint16_t>(e->GetPayload()->actorId)) : nullptr)
        AddPlayer(player);
    return false;
}

bool TeamMan::OnActorSpawn(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateActorSpawn*>(&event);
    if (!e || !e->GetPayload()) return false;
    BotGameView* bot = GetBot(static_cast<uint16_t>(e->GetPayload()->actorId));
    if (!bot) return false;
    bot->PushMachine(std::make_shared<Idle>(bot, false));
    bot->SetBehaviour(BotGameView::kIdle);
    return false;
}

bool TeamMan::OnActorDeath(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateActorDeath*>(&event);
    if (!e || !e->GetPayload()) return false;
    const uint16_t id = static_cast<uint16_t>(e->GetPayload()->actorId);
    if (BotGameView* bot = GetBot(id)) {
        bot->ClearStack();
        SetRole(*bot, Role::kNone);
        // A dead bot goes for nothing: its claims and its target would keep
        // those blocks from every teammate until it happened to reset.
        ReleaseClaimsOf(id);
        bot->ClearTargetBlock();
        const AIMan* ai = AIMan::Instance();
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandCreateSpeechBubble>(
            static_cast<int16_t>(id), ai ? ai->GetRandomChatLine("Death") : std::string(), 0, 1000, 0));
        return false;
    }
    if (PlayerRecord* record = FindPlayer(id))
        if (Squad* led = m_squads.FindByLeader(record->player)) led->Disband();
    return false;
}

}  // namespace AI
