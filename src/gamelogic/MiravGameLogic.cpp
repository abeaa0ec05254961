#include "gamelogic/MiravGameLogic.h"

#include <algorithm>
#include <cmath>

#include "ini/IniFile.h"
#include "ini/RangeWarning.h"
#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockGrid.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/BotDirector.h"
#include "gamelogic/FallenBlocks.h"
#include "gamelogic/Bombs.h"
#include "gamelogic/BombSpawnManager.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerLife.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/RulesSettings.h"
#include "gamelogic/ScoreMan.h"
#include "gamelogic/SpawnManager.h"
#include "gamelogic/UnitBlockMan.h"
#include "physics/PhysBody.h"
#include "physics/PhysMaterial.h"
#include "physics/PhysProc.h"
#include "levels/LevelFiles.h"
#include "levels/LevelLoader.h"
#include "levels/LevelTarget.h"
#include "utility/Diagnostics.h"
#include "utility/Random.h"

namespace GameLogicView {

namespace {

const char* const kLevelList = "Levels/levels.ini";
constexpr int32_t kGroundState = 5;
constexpr int32_t kAngelState = 1;
constexpr int32_t kDemonState = 3;

std::unique_ptr<Utility::Random<float>>& BombGenerator() {
    static std::unique_ptr<Utility::Random<float>> generator;
    return generator;
}

using EventSystem::PayloadOf;

// The level load creates through the logic.
class LogicLevelTarget : public LevelTarget {
public:
    explicit LogicLevelTarget(MiravGameLogic& logic) : m_logic(logic) {}
    void CreateActor(const LevelActor& actor) override { m_logic.CreateActor(Info(actor)); }
    void CreateActorsFromList(const std::vector<LevelActor>& actors) override {
        std::vector<ActorCreateInfo> infos;
        infos.reserve(actors.size());
        for (const LevelActor& a : actors) infos.push_back(Info(a));
        m_logic.CreateActorsFromList(infos);
    }
    // The level's description as the logic creates it; an unknown type name
    // leaves the actor without a type, as the files' readers report it.
    static ActorCreateInfo Info(const LevelActor& a) {
        ActorCreateInfo info;
        info.position = a.position;
        info.scale = a.scale;
        info.params.SetType(ActorTypes::Find(a.type));
        info.params.team = a.team;
        info.params.objectStateId = a.objectStateId;
        info.overrides.materialId = a.materialId;
        info.overrides.textureId = a.textureId;
        return info;
    }
    void AddCapturePoint(const Geometry::Vector3& position, uint8_t team) override {
        m_logic.AddCapturePoint(position, team);
    }
    void AddSpawnPoint(uint8_t team, const Geometry::Vector3& position) override {
        if (SpawnManager* spawns = m_logic.GetSpawnManager()) spawns->AddSpawnPoint(team, position);
    }
    void AddBombSpawnPoint(int code, const Geometry::Vector3& position) override {
        if (BombSpawnManager* bombs = m_logic.GetBombSpawnManager()) bombs->AddSpawnPoint(code, position);
    }
    void AddGuardPoint(uint8_t team, const Geometry::Vector3& position) override {
        m_logic.AddGuardPoint(team, position);
    }

private:
    MiravGameLogic& m_logic;
};

}  // namespace

MiravGameLogic::MiravGameLogic(GameRunner* runner)
    : BaseGameLogic(runner), m_flags(std::make_unique<FlagMan>()), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    ActorMan::ResetIdCounter();
    m_players.SetLogic(this);
    EventSystem::EventRegistry& r = *m_registry;
    r.Register(EventTypes::EventUpdateInitializeGameLogic::GetStaticType(), this,
               &MiravGameLogic::OnInitializeGameLogic);
    r.Register(EventTypes::EventUpdateGameOver::GetStaticType(), this, &MiravGameLogic::OnGameOver);
    r.Register(EventTypes::EventCommandActorMove::GetStaticType(), this, &MiravGameLogic::OnActorMove);
    r.Register(EventTypes::EventCommandActorTurn::GetStaticType(), this, &MiravGameLogic::OnCommandActorTurn);
    r.Register(EventTypes::EventCommandActorJump::GetStaticType(), this, &MiravGameLogic::OnCommandActorJump);
    r.Register(EventTypes::EventCommandThrowBlock::GetStaticType(), this, &MiravGameLogic::OnCommandThrowBlock);
    r.Register(EventTypes::EventCommandPickUpBlock::GetStaticType(), this, &MiravGameLogic::OnCommandPickUpBlock);
    r.Register(Networking::EventClientToBot::GetStaticType(), this, &MiravGameLogic::OnClientToBot);
    r.Register(EventTypes::EventUpdateCollision::GetStaticType(), this, &MiravGameLogic::OnCollision);
    r.Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &MiravGameLogic::OnUpdateExplosion);
    r.Register(EventTypes::EventCommandCreateBlock::GetStaticType(), this, &MiravGameLogic::OnCreateBlock);
    SetState(kConstructed);
}

MiravGameLogic::~MiravGameLogic() {
    m_registry->UnregisterAll();
    Reset();
}

// --------------------------------------------------------------- the frame

void MiravGameLogic::OnUpdate(int ms) {
    if (GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused) == 1) {
        UpdateBase(ms, false);
        return;
    }
    UpdateBase(ms, true);
    switch (GetState()) {
        case kInitialised:
            SetState(kStarting);
            break;
        case kStarting:
            CreateLocalPlayer();
            LoadLevel();
            EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateStartGame>());
            SetState(kStarted);
            break;
        default:
            break;
    }
}

// ------------------------------------------------ initialisation and reset

bool MiravGameLogic::OnInitializeGameLogic(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventUpdateInitializeGameLogic>(event);
    const uint8_t menuBackdrop = data ? data->menuBackdrop : 0;
    // The processes, actors and managers of a match nobody ended must not
    // live on beside the new one's.
    if (m_running) Reset();
    m_running = true;

    m_victoryEnabled = menuBackdrop != 1;
    m_backdrop = menuBackdrop == 1;
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kGameStarted, 1);
    SetState(kInitialised);

    m_physProc = std::make_shared<Physics::PhysProc>(&m_actors);
    m_processes.Attach(m_physProc);
    Physics::SetPhysProc(m_physProc.get());

    CreateManagers(m_backdrop);
    m_processes.Attach(std::make_shared<DeleteExcessBlocksLoop>(m_blockMan.get(), this, DeleteExcessBlocksLoop::kPeriod,
                                                                DeleteExcessBlocksLoop::kPeriod));
    m_processes.Attach(std::make_shared<FallenBlocksSweep>(m_blockMan.get(), this));
    m_flags->Init(&m_processes);

    m_objectStates.Load(ObjectStateTable::kStatesFile, ObjectStateTable::kExtentsFile);

    // Collapses read and update the bots' grid, so both see one level.
    if (IBotDirector* bots = GetBotDirector())
        if (auto ai = bots->StartMatch(*this, m_blockMan)) m_processes.Attach(ai);

    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameView>(menuBackdrop));
    return false;
}

void MiravGameLogic::CreateManagers(bool backdrop) {
    m_spawns = std::make_shared<SpawnManager>();
    m_capPoints = std::make_shared<CapMan>();
    m_bombSpawns = std::make_shared<BombSpawnManager>(backdrop);
    m_score = std::make_shared<ScoreMan>(this);
    m_blockMan = std::make_shared<BlockMan>(this);
    m_blockMan->Init();
    m_players.SetBlockMan(m_blockMan.get());
    m_players.SetLogic(this);
    m_players.SetProcessManager(&m_processes);
    m_flags->SetBlockMan(m_blockMan.get());
    m_flags->SetPlayerManager(&m_players);
    m_flags->SetLogic(this);
    m_bombSpawns->SetProcessManager(&m_processes);
}

bool MiravGameLogic::OnGameOver(const EventSystem::IEvent&) {
    Reset();
    return false;
}

void MiravGameLogic::Reset() {
    // Timers, physics and the AI first: nothing may run on what follows.
    m_processes.DetachAll();
    // Only our own: a logic that replaced this one may have published its own.
    if (Physics::GetPhysProc() == m_physProc.get()) Physics::SetPhysProc(nullptr);
    m_physProc.reset();
    m_actors.Clear();
    m_players.Clear();
    if (m_blockMan) {
        m_blockMan->Clear();
        // The bots' grid went with the AI.
        m_blockMan->SetGrid(nullptr);
    }
    m_flags->Clear();
    m_capPoints.reset();
    m_score.reset();
    m_spawns.reset();
    m_bombSpawns.reset();
    m_guardPoints[0].clear();
    m_guardPoints[1].clear();
    m_running = false;
}

// ------------------------------------------------------------------ level

namespace {

// Players walk by pushing their bodies: a player material of density 0 makes
// every player a static body that never moves, and no match can be played.
// The material then takes the density a missing key gives.
void RequireMovingPlayers() {
    Physics::PhysMaterialMan& materials = Physics::MaterialMan();
    for (const char* name : {ActorTypes::kCharacter, ActorTypes::kBot}) {
        Physics::PhysMaterial m = materials.GetMaterial(name);
        if (m.density > 0.0f) continue;
        const float used = Physics::PhysMaterial::Test().density;
        Utility::ReportSettingReplaced(materials.FileOf(name), "PhysMaterial", "density",
                                       Utility::ToString(m.density), "leaves every player standing still",
                                       Utility::ToString(used), "a body of density 0 is static");
        m.density = used;
        materials.Store(name, m);
    }
}

}  // namespace

void MiravGameLogic::CheckFlagsToLose(const std::string& levelFile) const {
    int flags[2] = {0, 0};
    for (const auto& [id, flag] : m_flags->Flags()) {
        (void)id;
        if (flag.GetTeam() == 0 || flag.GetTeam() == 1) ++flags[flag.GetTeam()];
    }
    // A team wins when the other has lost NumFlags flags; a team with fewer
    // flags than that can never lose them all.
    const int numFlags = GetRulesSettings().numFlags;
    const int fewer = flags[0] <= flags[1] ? 0 : 1;
    if (flags[fewer] == 0 || numFlags <= flags[fewer]) return;
    Utility::ReportWarning(Utility::SettingName("Config/Config.ini", "FLAGMAN", "NumFlags") + " = " +
                           std::to_string(numFlags) + " is more than the " + std::to_string(flags[fewer]) +
                           " flags level \"" + levelFile + "\" gives team " + std::to_string(fewer) + "; team " +
                           std::to_string(1 - fewer) + " cannot win by captures");
}

void MiravGameLogic::LoadLevel() {
    m_gameOver = false;
    RequireMovingPlayers();
    GlobalGameState* state = GlobalGameState::Instance();
    const Utility::IniFile levelList(kLevelList);
    const int levelNumber = state->GetFlag(GlobalGameState::kLevel);
    const std::string levelFile = LevelFileFor(levelList, levelNumber);
    if (levelFile.empty())
        Utility::ReportError(std::string(kLevelList) + " names no file for level " + std::to_string(levelNumber) +
                             "; the level is empty");
    LevelLoader loader(levelFile);
    const LevelSettings& settings = loader.Settings();

    // Planned first (planning creates nothing), so the ground can be made
    // to cover the map.
    const bool sandbox = state->GetFlag(GlobalGameState::kGameMode) != 0;
    LevelPlan plan;
    const bool planned = !levelFile.empty() && loader.Plan(sandbox, plan);
    if (m_blockMan)
        m_blockMan->SetFieldHalfExtents(planned ? Geometry::Vector3(0.5f * static_cast<float>(plan.width), 0.0f,
                                                                    0.5f * static_cast<float>(plan.rows))
                                                : Geometry::Vector3());

    // The ground: its top at height 0.
    Geometry::Vector3 model(0.5f, 0.5f, 0.5f);
    m_objectStates.GetStateAndExtent(kGroundState, model);
    float scale = settings.groundPlaneScale;
    // A ground smaller than the map leaves its outer cells, and whatever
    // stands on them, over nothing: players and blocks fell out of the level.
    if (planned && model.x > 0.0f && model.z > 0.0f) {
        const float cover = std::max(0.5f * static_cast<float>(plan.width) / model.x,
                                     0.5f * static_cast<float>(plan.rows) / model.z);
        if (scale < cover) {
            Utility::ReportSettingReplaced(levelFile, "level", "groundPlaneScale", Utility::ToString(scale),
                                           "leaves the ground smaller than the " + std::to_string(plan.width) +
                                               " x " + std::to_string(plan.rows) + " map",
                                           Utility::ToString(cover));
            scale = cover;
        }
    }
    const Geometry::Vector3 half(model.x * scale, model.y * scale, model.z * scale);
    m_groundHalf = half;
    ActorCreateInfo ground;
    ground.params.SetType(ActorTypes::kPlane);
    ground.params.team = 1;
    ground.params.objectStateId = kGroundState;
    ground.scale = Geometry::Vector3(scale, scale, scale);
    // Created where it lies, so the report the views get is where it is.
    ground.position = Geometry::Vector3(0.0f, -half.y, 0.0f);
    CreateActor(ground);

    // Four walls around it, without actors. They stand 500 high from the
    // ground's top and reach down past its underside: walls that ended at the
    // top left an open seam under their foot, along the ground's edge, and a
    // block pressed into that corner slipped out of the level through it.
    if (m_physProc) {
        const float below = 2.0f * half.y + 5.0f;
        const float wallY = 250.0f - below * 0.5f;
        const float wallHalf = 250.0f + below * 0.5f;
        const Geometry::Vector3 centres[4] = {{half.x + 5.0f, wallY, 0.0f},
                                              {-half.x - 5.0f, wallY, 0.0f},
                                              {0.0f, wallY, half.z + 5.0f},
                                              {0.0f, wallY, -half.z - 5.0f}};
        // The walls along x reach past the ends of the others, so the corners
        // are closed too.
        const Geometry::Vector3 extents[4] = {{5.0f, wallHalf, half.z + 10.0f},
                                              {5.0f, wallHalf, half.z + 10.0f},
                                              {half.x, wallHalf, 5.0f},
                                              {half.x, wallHalf, 5.0f}};
        for (int i = 0; i < 4; ++i)
            m_physProc->AddBody(Physics::CreateBody(centres[i], extents[i], ActorTypes::kPlane));
        // The bots' grid knows them too (corners closed): a search for a
        // place nobody can reach then ends at the level's edge instead of
        // flooding the whole grid beyond it.
        if (IBlockGrid* grid = m_blockMan ? m_blockMan->Grid() : nullptr) {
            for (int i = 0; i < 4; ++i) {
                const Geometry::Vector3 e(i < 2 ? extents[i].x : extents[i].x + 10.0f, extents[i].y, extents[i].z);
                grid->SetBoxOccupancy(centres[i].x, centres[i].y, centres[i].z, e.x, e.y, e.z, true);
            }
        }
    }

    if (planned) {
        // A level no match can be played on is refused whole: an empty level
        // ends the run's checks at once instead of a match nobody can win.
        const std::string unplayable = sandbox ? std::string() : loader.Unplayable(plan);
        if (!unplayable.empty()) {
            Utility::ReportError(unplayable + "; the level is refused");
        } else {
            LogicLevelTarget target(*this);
            loader.Build(plan, target);
            if (!sandbox) CheckFlagsToLose(levelFile);
        }
    }

    Geometry::Vector3 centre;
    m_flags->GetFlagCentre(centre, 0);
    m_players.SetTeamFlagCentre(0, centre);
    m_flags->GetFlagCentre(centre, 1);
    m_players.SetTeamFlagCentre(1, centre);

    if (sandbox) return;
    int count[2] = {0, 0};
    for (const auto& [id, player] : m_players.Players()) {
        if (player.GetTeam() == 0) ++count[0];
        if (player.GetTeam() == 1) ++count[1];
    }
    // More players than the team size (joined humans) add no bots; the count
    // never goes below 0.
    const int teamSize = m_teamSizeOverride > 0 ? std::min(m_teamSizeOverride, 16) : settings.teamsize;
    for (uint8_t team = 0; team < 2; ++team)
        for (int n = std::max(0, teamSize - count[team]); n > 0; --n) AddBot(team);
}

// ----------------------------------------------------------------- actors

ActorPtr MiravGameLogic::CreateActor(const ActorCreateInfo& info, const ActorCallback& callback) {
    ActorPtr actor = BuildActor(info, m_actors, m_objectStates, callback);
    if (!actor) {
        Utility::ReportError("MiravGameLogic::CreateActor: no actor id is free");
        return nullptr;
    }
    const uint32_t hash = actor->typeHash;
    const auto is = [hash](const char* name) { return hash == ActorTypes::Hash(name); };
    if (is(ActorTypes::kSolid) || is(ActorTypes::kBox) || is(ActorTypes::kMasslessBox)) {
        if (m_blockMan) m_blockMan->AddBlock(actor);
    } else if (is(ActorTypes::kCharacter) || is(ActorTypes::kBot)) {
        m_players.AddPlayer(actor);
        // In a running game a new player enters at the next process update.
        if (m_running && m_players.GetProcessManager())
            m_players.GetProcessManager()->Attach(std::make_shared<RespawnProcess>(&m_players, actor->actorId));
    }
    if (is(ActorTypes::kFlag) && m_blockMan) {
        if (BlockPtr block = m_blockMan->AddBlock(actor)) m_flags->AddFlag(block);
    }
    return actor;
}

void MiravGameLogic::CreateActorsFromList(const std::vector<ActorCreateInfo>& infos) {
    for (const ActorCreateInfo& info : infos) CreateActor(info);
}

void MiravGameLogic::DeleteActor(uint16_t id) {
    m_actors.RemoveActor(id);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(static_cast<int16_t>(id)));
}

void MiravGameLogic::DeleteBlockActor(uint16_t id) {
    if (m_blockMan) m_blockMan->RemoveBlock(id);
    DeleteActor(id);
}

ActorPtr MiravGameLogic::GetActor(uint16_t id) const { return m_actors.GetActor(id); }

BlockPtr MiravGameLogic::GetBlock(uint16_t id) const {
    return m_blockMan ? m_blockMan->GetBlock(id) : nullptr;
}

// ---------------------------------------------------------------- players

void MiravGameLogic::SendGameIDs(int32_t reserved, const ActorPtr& actor, uint8_t team) {
    if (!actor) return;
    EventSystem::QueueEvent(
        std::make_shared<EventTypes::EventUpdateGameIDs>(reserved, static_cast<int16_t>(actor->actorId), team));
}

void MiravGameLogic::CreatePlayer(uint8_t team) {
    IBotDirector* bots = GetBotDirector();
    uint16_t id = kNoActor;
    if (bots && bots->TakeFirstBot(team, id)) {
        const ActorPtr actor = GetActor(id);
        if (!actor) return;
        SendGameIDs(0, actor, team);
        actor->SetType(ActorTypes::kCharacter);
        if (Player* player = m_players.GetPlayer(id)) {
            PlayerLife::DropAll(*player, player->GetPosition(), Geometry::Vector3(0.0f, 1.0f, 0.0f), 0.0f, this);
            PlayerLife::Respawn(*player, m_players);
        }
        return;
    }
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kCharacter);
    info.params.team = team;
    info.params.objectStateId = team == 1 ? kDemonState : kAngelState;
    info.position = m_spawns ? m_spawns->GetSpawnPoint(team) : Geometry::Vector3(0.0f, 0.5f, 0.0f);
    CreateActor(info, [this, team](const ActorPtr& actor) { SendGameIDs(0, actor, team); });
}

void MiravGameLogic::CreateLocalPlayer() {
    if (m_backdrop) return;
    CreatePlayer(GlobalGameState::Instance()->GetFlag(GlobalGameState::kTeam));
}

Player* MiravGameLogic::AddBot(uint8_t team) {
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kBot);
    info.params.team = team;
    info.params.objectStateId = team == 1 ? kDemonState : kAngelState;
    info.position = m_spawns ? m_spawns->GetSpawnPoint(team) : Geometry::Vector3(0.0f, 0.5f, 0.0f);
    const ActorPtr actor = CreateActor(info);
    if (!actor) return nullptr;
    Player* player = m_players.GetPlayer(actor->actorId);
    if (IBotDirector* bots = GetBotDirector())
        if (auto view = bots->AddBot(actor->actorId, team, player)) AddGameView(view);
    return player;
}

bool MiravGameLogic::OnClientToBot(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<Networking::EventClientToBot>(event);
    if (!data) return false;
    const uint16_t id = static_cast<uint16_t>(data->actorId);
    Player* player = m_players.GetPlayer(id);
    if (!player) return false;
    if (IBotDirector* bots = GetBotDirector())
        if (auto view = bots->AddBot(id, data->team, player)) AddGameView(view);
    return false;
}

// ------------------------------------------------------------------ points

void MiravGameLogic::AddCapturePoint(const Geometry::Vector3& position, uint8_t team) {
    if (!m_capPoints) m_capPoints = std::make_shared<CapMan>();
    m_capPoints->AddCapturePoint(position, team);
}

void MiravGameLogic::AddGuardPoint(uint8_t team, const Geometry::Vector3& position) {
    m_guardPoints[team == 0 ? 0 : 1].push_back(position);
}

void MiravGameLogic::GetGuardPoints(std::vector<Geometry::Vector3>& out, uint8_t team) const {
    out = m_guardPoints[team != 0 ? 1 : 0];
}

// ---------------------------------------------------------------- commands

bool MiravGameLogic::OnActorMove(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventCommandActorMove>(event);
    if (!data) return false;
    Player* player = m_players.GetPlayer(static_cast<uint16_t>(data->actorId));
    if (!player || !player->GetActor()) return false;
    // A move that is not a number is no command at all (zero is: stop).
    if (!data->direction.IsFinite()) return false;
    Actor& actor = *player->GetActor();
    if (player->canMove == 0) {
        actor.SetMove(0.0f, 0.0f);
    } else if (!player->IsDead()) {
        const float speed = GetRulesSettings().playerSpeed;
        actor.SetMove(data->direction.x * speed, data->direction.z * speed);
        if (player->HasHeldBlock()) actor.FollowCarrier();
    }
    return false;
}

bool MiravGameLogic::OnCommandActorTurn(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventCommandActorTurn>(event);
    if (!data) return false;
    Player* player = m_players.GetPlayer(static_cast<uint16_t>(data->actorId));
    if (!player || player->IsDead() || !player->GetActor() || !player->GetActor()->body) return false;
    const Geometry::Quaternion& q = data->orientation;
    const float len2 = q.LengthSquared();
    // A zero or non-finite quaternion names no orientation.
    if (!(len2 > 0.0f) || !std::isfinite(len2)) return false;
    const Geometry::Quaternion unit = q.SafeNormalized();
    Actor& actor = *player->GetActor();
    actor.body->SetOrientation(unit);
    if (actor.HasHeldActor() && actor.heldActor && actor.heldActor->body) {
        const BlockPtr& held = player->GetHeldBlock();
        const Geometry::Quaternion rotation = held ? held->rotation : Geometry::kIdentityQuaternion;
        actor.heldActor->body->SetOrientation(unit * rotation);
    }
    return false;
}

bool MiravGameLogic::OnCommandActorJump(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventCommandActorJump>(event);
    if (!data) return false;
    if (m_players.Jump(static_cast<uint16_t>(data->actorId)))
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateJump>(data->actorId));
    return false;
}

bool MiravGameLogic::OnCommandThrowBlock(const EventSystem::IEvent& event) {
    if (const auto* data = PayloadOf<EventTypes::EventCommandThrowBlock>(event))
        m_players.CommandThrow(static_cast<uint16_t>(data->actorId), data->direction);
    return false;
}

bool MiravGameLogic::OnCommandPickUpBlock(const EventSystem::IEvent& event) {
    if (const auto* data = PayloadOf<EventTypes::EventCommandPickUpBlock>(event))
        m_players.CommandPickUp(static_cast<uint16_t>(data->actorId));
    return false;
}

void MiravGameLogic::AttachBlockToPlayer(const ActorPtr& playerActor, const BlockPtr& block) {
    if (playerActor && block && block->actor) GameLogicView::AttachBlockToPlayer(*playerActor, *block);
}

// ------------------------------------------------- collisions and bombs

namespace {

// The bombs go first; when one went off, the ordinary block rules are skipped.
void BlockRules(BlockMan& blocks, const EventTypes::EventUpdateCollisionData& report) {
    if (!Bombs::OnBombCollision(blocks, report)) blocks.OnBlockCollision(report);
}

}  // namespace

bool MiravGameLogic::OnCollision(const EventSystem::IEvent& event) {
    // The copy for the views shares the type name; it is not ours to handle.
    const auto* e = dynamic_cast<const EventTypes::EventUpdateCollision*>(&event);
    if (!e || !e->GetPayload() || !m_blockMan) return false;
    // Our own copy: the normal is turned for the rules below, and later
    // listeners must see the report as the physics sent it.
    EventTypes::EventUpdateCollisionData report = *e->GetPayload();
    const uint16_t idA = static_cast<uint16_t>(report.actorIdA);
    const uint16_t idB = static_cast<uint16_t>(report.actorIdB);
    const BlockPtr blockA = m_blockMan->GetBlock(idA);
    const BlockPtr blockB = m_blockMan->GetBlock(idB);
    if (blockA && blockB) {
        BlockRules(*m_blockMan, report);
    } else {
        const BlockPtr block = blockA ? blockA : blockB;
        Player* playerA = m_players.GetPlayer(idA);
        Player* playerB = m_players.GetPlayer(idB);
        if (playerA && playerB) return false;
        Player* player = playerA ? playerA : playerB;
        if (player) {
            if (player->carryingFlag != 0 && player->HasHeldBlock() && player->GetActor())
                player->GetActor()->FollowCarrier();
            if (block) {
                BlockRules(*m_blockMan, report);
                // From the block towards the player.
                if (player == playerB) report.normal = -report.normal;
                m_players.OnHitByBlock(report, block, player);
                PlayerLife::OnHitByThrownBlock(report, block, *player, m_players);
            } else {
                const ActorPtr a = GetActor(idA);
                const ActorPtr b = GetActor(idB);
                if ((a && a->IsType(ActorTypes::kPlane)) || (b && b->IsType(ActorTypes::kPlane))) player->OnLanded();
            }
        } else if (block) {
            if (block->state == BlockState::kThrown)
                EventSystem::QueueEvent(
                    std::make_shared<EventTypes::EventUpdateBlockActive>(static_cast<int16_t>(block->GetId())));
            BlockRules(*m_blockMan, report);
            if (block->state != BlockState::kHeld && !block->IsType(ActorTypes::kSolid))
                m_blockMan->StartCollisionToFree(block);
        }
    }
    if (report.kind == 0 && std::fabs(report.normalSpeed) > 7.5f)
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateCollisionToClient>(report));
    return false;
}

bool MiravGameLogic::OnUpdateExplosion(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventUpdateExplosion>(event);
    if (!data) return false;
    const RulesSettings& s = GetRulesSettings();
    const float radius2 = s.bombKillRadius * s.bombKillRadius;
    std::vector<Player*> players;
    m_players.GetAllPlayers(players);
    for (Player* player : players) {
        if (player->GetTeam() == data->team || !player->GetActor()) continue;
        Geometry::Vector3 d = data->position - player->GetPosition();
        float q = d.LengthSquared();
        if (!(radius2 > q)) continue;
        // A blast right at the player has no direction: it counts as half a
        // unit below, so the push goes up and no division by zero happens.
        if (q < 1e-6f) {
            d = Geometry::Vector3(0.0f, -0.5f, 0.0f);
            q = d.LengthSquared();
        }
        Actor& actor = *player->GetActor();
        if (!player->IsDead() && player->invincible == 0) {
            const Geometry::Vector3 n = d * (1.0f / std::sqrt(q));
            Geometry::Vector3 h = actor.GetOrientation().Rotate(actor.extents);
            h = Geometry::Vector3(std::fabs(h.x), std::fabs(h.y), std::fabs(h.z));
            const Geometry::Vector3 hit = player->GetPosition() + Geometry::Vector3(n.x * h.x, n.y * h.y, n.z * h.z);
            PlayerLife::Kill(*player, -d, hit, m_players, static_cast<uint16_t>(data->ownerId), s.bombImpulse / q);
        }
        const float a = std::max(s.bombMinVelAdd, s.bombVelocityAdd / q);
        Geometry::Vector3 v = d * (-s.bombDeathVelFactor * a);
        v.y = std::max(v.y, -4.0f);
        if (actor.body) actor.body->SetVelocity(actor.body->GetVelocity() + v);
    }
    // An explosion of an id that is no block (any more) deletes nothing and
    // reports no deletion.
    const uint16_t bombId = static_cast<uint16_t>(data->bombId);
    if (GetBlock(bombId)) DeleteBlockActor(bombId);
    return false;
}

bool MiravGameLogic::OnCreateBlock(const EventSystem::IEvent& event) {
    const auto* data = PayloadOf<EventTypes::EventCommandCreateBlock>(event);
    if (!data || data->objectType != EventTypes::EventCommandCreateBlockData::kBombObjectType) return false;
    if (!data->position.IsFinite()) return false;
    const ActorCreateInfo info = MakeBombCreateInfo(data->position);
    const ActorPtr bomb = CreateActor(info);
    if (bomb && m_bombSpawns) m_bombSpawns->OnBombCreated(data->position, bomb->actorId);
    return false;
}

ActorCreateInfo MakeBombCreateInfo(const Geometry::Vector3& position) {
    std::unique_ptr<Utility::Random<float>>& slot = BombGenerator();
    if (!slot) slot = std::make_unique<Utility::Random<float>>(50);
    Utility::Random<float>& r = *slot;
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kBox);
    info.params.team = 1;
    info.params.objectStateId = Bombs::kBombObjectState;
    info.position = position;
    info.scale = Geometry::Vector3(2.0f, 2.0f, 2.0f);
    const float vz = r.Get(-1.0f, 1.0f) * 7.0f;
    const float vy = r.Get(-1.0f, 1.0f) * 7.0f;
    const float vx = r.Get(-1.0f, 1.0f) * 7.0f;
    info.velocity = Geometry::Vector3(vx, vy, vz);
    r.Get(0.0f, 7.0f);  // drawn and not used, so the sequence stays as it is
    const float qz = r.Get(0.0f, 1.0f);
    const float qy = r.Get(0.0f, 1.0f);
    const float qx = r.Get(0.0f, 1.0f);
    const float qw = r.Get(0.0f, 4.0f);
    info.orientation = Geometry::Quaternion(qw, qx, qy, qz).SafeNormalized();
    return info;
}

void ResetBombGenerator() { BombGenerator().reset(); }

}  // namespace GameLogicView
