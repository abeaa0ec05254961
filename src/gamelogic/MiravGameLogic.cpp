#include "gamelogic/MiravGameLogic.h"

#include <cstring>

#include "core/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/BombSpawnManager.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/SpawnManager.h"
#include "utility/Random.h"

namespace GameLogicView {

namespace {

bool IsType(const ActorPtr& actor, const char* name) {
    return actor->typeName != nullptr && std::strcmp(actor->typeName, name) == 0;
}

std::unique_ptr<Utility::Random<float>>& BombGenerator() {
    static std::unique_ptr<Utility::Random<float>> generator;
    return generator;
}

}  // namespace

MiravGameLogic::MiravGameLogic(GameRunner* runner)
    : BaseGameLogic(runner), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_players.SetLogic(this);
    m_registry->Register(EventTypes::EventCommandCreateBlock::GetStaticType(), this, &MiravGameLogic::OnCreateBlock);
}

MiravGameLogic::~MiravGameLogic() {
    // Timers and the physics hold actors and records: they go first.
    m_processes.DetachAll();
    m_actors.Clear();
    m_players.Clear();
    if (m_blockMan) m_blockMan->Clear();
}

void MiravGameLogic::OnUpdate(int ms) {
    // A paused game (byte 12) runs no processes but still delivers events.
    const bool paused = GlobalGameState::Instance()->GetFlag(12) != 0;
    UpdateBase(ms, !paused);
}

void MiravGameLogic::CreateManagers(bool backdrop) {
    m_spawnManager = std::make_shared<SpawnManager>();
    m_capMan = std::make_shared<CapMan>();
    m_bombSpawnManager = std::make_shared<BombSpawnManager>(backdrop);
    m_bombSpawnManager->SetProcessManager(&m_processes);
    m_blockMan = std::make_shared<BlockMan>(this);
    m_blockMan->Init();
    m_players.SetBlockMan(m_blockMan.get());
    m_players.SetLogic(this);
    m_players.SetProcessManager(&m_processes);
}

ActorPtr MiravGameLogic::CreateActor(const ActorCreateInfo& info, const std::function<void(const ActorPtr&)>& onCreated) {
    ActorPtr actor = BuildActor(info, m_actors, m_objectStates, onCreated);
    if (!actor) return nullptr;
    if (IsType(actor, ActorTypes::kSolid) || IsType(actor, ActorTypes::kBox) ||
        IsType(actor, ActorTypes::kMasslessBox)) {
        if (m_blockMan) m_blockMan->AddBlock(actor);
    } else if (IsType(actor, ActorTypes::kCharacter) || IsType(actor, ActorTypes::kBot)) {
        m_players.AddPlayer(actor);
    }
    if (IsType(actor, ActorTypes::kFlag) && m_blockMan) m_blockMan->AddBlock(actor);
    return actor;
}

void MiravGameLogic::CreateActorsFromList(const std::vector<ActorCreateInfo>& infos) {
    for (const ActorCreateInfo& info : infos) CreateActor(info);
}

void MiravGameLogic::DeleteActor(uint16_t actorId) {
    m_actors.RemoveActor(actorId);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(static_cast<int16_t>(actorId)));
}

void MiravGameLogic::DeleteBlockActor(uint16_t actorId) {
    if (m_blockMan) m_blockMan->RemoveBlock(actorId);
    DeleteActor(actorId);
}

BlockPtr MiravGameLogic::GetBlock(uint16_t actorId) const {
    return m_blockMan ? m_blockMan->GetBlock(actorId) : BlockPtr();
}

void MiravGameLogic::AddCapturePoint(const Geometry::Vector3& position, uint8_t team) {
    if (!m_capMan) m_capMan = std::make_shared<CapMan>();
    m_capMan->AddCapturePoint(position, team);
}

ActorCreateInfo MakeBombCreateInfo(const Geometry::Vector3& position) {
    std::unique_ptr<Utility::Random<float>>& slot = BombGenerator();
    if (!slot) slot = std::make_unique<Utility::Random<float>>(50);
    Utility::Random<float>& r = *slot;
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kBox);
    info.params.team = 1;
    info.params.objectStateId = 9;
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

bool MiravGameLogic::OnCreateBlock(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventCommandCreateBlock*>(&event);
    if (e == nullptr || e->GetPayload() == nullptr) return false;
    const EventTypes::EventCommandCreateBlockData& data = *e->GetPayload();
    if (data.objectType != EventTypes::EventCommandCreateBlockData::kBombObjectType) return false;
    if (!data.position.IsFinite()) return false;
    const ActorPtr bomb = CreateActor(MakeBombCreateInfo(data.position));
    if (bomb && m_bombSpawnManager) m_bombSpawnManager->OnBombCreated(data.position, bomb->actorId);
    return false;
}

}  // namespace GameLogicView
