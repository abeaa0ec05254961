#include "gamelogic/FlagMan.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/RulesSettings.h"
#include "gamelogic/ScoreMan.h"
#include "gamelogic/Timers.h"
#include "physics/PhysBody.h"

namespace GameLogicView {

namespace {

float DistanceSquared(const Geometry::Vector3& a, const Geometry::Vector3& b) { return (a - b).LengthSquared(); }

}  // namespace

// ---------------------------------------------------------------------- Flag

Flag::Flag(const BlockPtr& block) : m_block(block) {
    if (m_block) {
        m_actor = m_block->actor;
        m_home = m_block->GetPosition();
        m_block->SetState(BlockState::kPlaced);
    }
}

Flag::~Flag() { CancelReturnTimer(); }

uint16_t Flag::GetId() const { return m_actor ? m_actor->actorId : kNoActor; }
uint8_t Flag::GetTeam() const { return m_actor ? m_actor->team : 255; }
Geometry::Vector3 Flag::GetPosition() const { return m_actor ? m_actor->GetPosition() : m_home; }

void Flag::CancelReturnTimer() {
    if (m_returnTimer) m_returnTimer->Cancel();
    m_returnTimer.reset();
}

void Flag::OnDropped(ProcessSystem::ProcessManager* processes) {
    CancelReturnTimer();
    m_state = FlagState::kDropped;
    // The flag outlives its timer: its destructor cancels the timer.
    m_returnTimer = AttachAfter(processes, static_cast<int>(GetRulesSettings().flagRespawnTime),
                                ProcessSystem::MakeFunctorProcess([this]() { Return(kNoActor); }));
}

void Flag::Return(uint16_t returner) {
    if (m_state != FlagState::kDropped) return;
    const Geometry::Vector3 from = GetPosition();
    if (m_actor && m_actor->body) {
        Physics::PhysBody& body = *m_actor->body;
        body.SetPosition(m_home);
        body.SetOrientation(Geometry::kIdentityQuaternion);
        m_actor->StopBody();
    }
    CancelReturnTimer();
    m_state = FlagState::kHome;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagRecovered>(
        static_cast<int16_t>(GetId()), GetTeam(), static_cast<int16_t>(returner), from, m_home));
}

// ------------------------------------------------------------------- FlagMan

FlagMan::FlagMan() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_registry->Register(EventTypes::EventUpdateFlagDropped::GetStaticType(), this, &FlagMan::OnFlagDropped);
    m_registry->Register(EventTypes::EventUpdateFlagGrabbed::GetStaticType(), this, &FlagMan::OnFlagGrabbed);
}

FlagMan::~FlagMan() {
    if (m_checker) m_checker->Kill();
}

void FlagMan::Init(ProcessSystem::ProcessManager* processes) {
    m_processes = processes;
    if (m_checker) m_checker->Kill();
    m_checker = std::make_shared<CheckFlagStatusProc>(this);
    if (m_processes) m_processes->Attach(m_checker);
}

Flag* FlagMan::AddFlag(const BlockPtr& block) {
    if (!block || !block->actor) return nullptr;
    const uint16_t id = block->GetId();
    auto it = m_flags.find(id);
    if (it == m_flags.end()) it = m_flags.try_emplace(id, block).first;
    return &it->second;
}

Flag* FlagMan::GetFlag(uint16_t actorId) {
    auto it = m_flags.find(actorId);
    return it == m_flags.end() ? nullptr : &it->second;
}

void FlagMan::GetCarriedFlags(std::vector<Flag*>& out, uint8_t team) {
    // Callers pass a fresh list several times a frame per bot: one
    // allocation instead of a growth step per flag.
    out.reserve(out.size() + m_flags.size());
    for (auto& [id, flag] : m_flags)
        if (flag.GetTeam() == team && flag.GetState() == FlagState::kCarried) out.push_back(&flag);
}

void FlagMan::GetAvailableFlags(std::vector<Flag*>& out, uint8_t team) {
    out.reserve(out.size() + m_flags.size());
    for (auto& [id, flag] : m_flags)
        if (flag.GetTeam() == team && (flag.GetState() == FlagState::kHome || flag.GetState() == FlagState::kDropped))
            out.push_back(&flag);
}

void FlagMan::GetFlagCentre(Geometry::Vector3& out, uint8_t team) const {
    Geometry::Vector3 sum;
    int n = 0;
    for (const auto& [id, flag] : m_flags) {
        if (flag.GetTeam() != team) continue;
        if (flag.GetState() != FlagState::kHome && flag.GetState() != FlagState::kDropped) continue;
        sum += flag.GetHome();
        ++n;
    }
    out = n > 0 ? sum * (1.0f / static_cast<float>(n)) : Geometry::kZeroVector;
}

FlagMan::Map::iterator FlagMan::RemoveFlag(Map::iterator position) {
    const uint16_t id = position->first;
    auto next = m_flags.erase(position);
    if (m_blocks) m_blocks->RemoveBlock(id);
    if (m_logic) m_logic->DeleteActor(id);
    return next;
}

void FlagMan::Clear() {
    m_flags.clear();
    if (m_checker) m_checker->Kill();
    m_checker.reset();
    m_blocks = nullptr;
    m_players = nullptr;
    m_logic = nullptr;
}

bool FlagMan::OnFlagGrabbed(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateFlagGrabbed*>(&event);
    if (e == nullptr || e->GetPayload() == nullptr) return false;
    if (Flag* flag = GetFlag(static_cast<uint16_t>(e->GetPayload()->flagId))) {
        flag->CancelReturnTimer();
        flag->SetCarrier(static_cast<uint16_t>(e->GetPayload()->actorId));
        flag->SetState(FlagState::kCarried);
    }
    return false;
}

bool FlagMan::OnFlagDropped(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateFlagDropped*>(&event);
    if (e == nullptr || e->GetPayload() == nullptr) return false;
    if (Flag* flag = GetFlag(static_cast<uint16_t>(e->GetPayload()->flagId))) flag->OnDropped(m_processes);
    return false;
}

std::vector<std::shared_ptr<EventSystem::IEvent>> FlagMan::StatusSnapshot() const {
    std::vector<std::shared_ptr<EventSystem::IEvent>> out;
    for (const auto& [id, flag] : m_flags) {
        const int32_t status = flag.GetState() == FlagState::kCarried   ? 1
                               : flag.GetState() == FlagState::kDropped ? 2
                                                                        : 0;
        out.push_back(std::make_shared<EventTypes::EventUpdateFlagStatus>(static_cast<int16_t>(id), status));
    }
    const ScoreMan* score = m_logic ? m_logic->GetScoreMan() : nullptr;
    if (score) {
        // The match started with the configured number of flags per team (a
        // level may place another number; a counter below 0 means more flags
        // were lost than that, and each of them is reported).
        const int32_t lost1 = score->GetStartFlags() - score->GetFlagsLeft(1);
        const int32_t lost0 = score->GetStartFlags() - score->GetFlagsLeft(0);
        for (int32_t i = 0; i < lost1; ++i) out.push_back(std::make_shared<EventTypes::EventUpdateFlagStatus>(-1, 3));
        for (int32_t i = 0; i < lost0; ++i) out.push_back(std::make_shared<EventTypes::EventUpdateFlagStatus>(-1, 4));
    }
    return out;
}

// ------------------------------------------------------- CheckFlagStatusProc

CheckFlagStatusProc::CheckFlagStatusProc(FlagMan* flags)
    : IProcess(7),
      m_flags(flags),
      m_respawnDistance(GetRulesSettings().respawnDistance),
      m_captureDistance(GetRulesSettings().captureDistance),
      m_pickUpDistance(GetRulesSettings().pickUpDistance) {}

void CheckFlagStatusProc::OnUpdate(int) {
    if (!m_flags) return;
    MiravGameLogic* logic = m_flags->GetLogic();
    if (!logic || logic->IsGameOver()) return;
    auto& flags = const_cast<FlagMan::Map&>(m_flags->Flags());
    for (auto it = flags.begin(); it != flags.end();) {
        Flag& flag = it->second;
        const int32_t s = flag.GetState();
        bool captured = false;
        if (s == FlagState::kCarried || s == FlagState::kCaptured) {
            captured = TryCapture(flag);
        } else if (s == FlagState::kHome || s == FlagState::kDropped) {
            if (TryPickUp(flag)) {
                captured = TryCapture(flag);
            } else if (!CheckHomeFlagMoved(flag)) {
                if (!(s == FlagState::kDropped && TryReturn(flag))) captured = TryCapture(flag);
            }
        }
        if (captured) {
            it = m_flags->RemoveFlag(it);
            // A capture may end the match: nothing more is checked then.
            if (logic->IsGameOver()) return;
        } else {
            ++it;
        }
    }
}

bool CheckFlagStatusProc::TryPickUp(Flag& flag) {
    PlayerManager* players = m_flags->GetPlayerManager();
    if (!players || !flag.GetActor()) return false;
    std::vector<Player*> candidates;
    players->GetTeamPlayers(candidates, flag.GetTeam() == 0 ? 1 : 0);
    const Geometry::Vector3 flagPosition = flag.GetPosition();
    for (Player* player : candidates) {
        if (!(DistanceSquared(player->GetPosition(), flagPosition) < static_cast<float>(m_pickUpDistance))) continue;
        if (player->carryingFlag != 0 || player->IsDead() || player->flagThrown != 0) continue;
        if (!player->PickUpFlag(m_flags->GetBlockMan(), flag.GetBlockData())) continue;
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdatePickUpBlock>(
            static_cast<int16_t>(player->GetActorId()), static_cast<int16_t>(flag.GetId()), player->GetTeam(),
            player->GetPosition(), flag.GetBlockData()->TurnedExtents(), flag.GetPosition()));
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagGrabbed>(
            static_cast<int16_t>(player->GetActorId()), static_cast<int16_t>(flag.GetId()), player->GetTeam(),
            flag.GetTeam()));
        return true;
    }
    return false;
}

bool CheckFlagStatusProc::CheckHomeFlagMoved(Flag& flag) {
    const Geometry::Vector3 position = flag.GetPosition();
    const Geometry::Vector3 d = position - flag.GetHome();
    // A flag knocked down through the floor falls on for ever straight below
    // its home: moved too, or nobody could ever take it again.
    const bool fallenOut = position.y < kOutOfWorldY;
    if ((d.x * d.x + d.z * d.z > static_cast<float>(m_respawnDistance) || fallenOut) &&
        flag.GetState() == FlagState::kHome) {
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagDropped>(
            static_cast<int16_t>(-1), static_cast<int16_t>(flag.GetId()), static_cast<uint8_t>(255), flag.GetTeam()));
        return true;
    }
    return false;
}

bool CheckFlagStatusProc::TryReturn(Flag& flag) {
    PlayerManager* players = m_flags->GetPlayerManager();
    if (!players) return false;
    std::vector<Player*> mates;
    players->GetTeamPlayers(mates, flag.GetTeam() != 0 ? 1 : 0);
    const Geometry::Vector3 flagPosition = flag.GetPosition();
    for (Player* player : mates) {
        if (player->IsDead()) continue;
        if (!(DistanceSquared(player->GetPosition(), flagPosition) < static_cast<float>(m_pickUpDistance))) continue;
        flag.Return(player->GetActorId());
        return true;
    }
    return false;
}

bool CheckFlagStatusProc::TryCapture(Flag& flag) {
    const int32_t before = flag.GetState();
    if (before != FlagState::kCarried && before != FlagState::kDropped) return false;
    MiravGameLogic* logic = m_flags->GetLogic();
    CapMan* caps = logic ? logic->GetCapMan() : nullptr;
    if (!caps) return false;
    const uint8_t capturingTeam = flag.GetTeam() == 0 ? 1 : 0;
    const std::vector<Geometry::Vector3>* points = caps->GetCapturePoints(capturingTeam);
    if (!points) return false;
    const Geometry::Vector3 flagPosition = flag.GetPosition();
    for (const Geometry::Vector3& point : *points) {
        if (!(DistanceSquared(flagPosition, point) < static_cast<float>(m_captureDistance))) continue;
        const BlockPtr& block = flag.GetBlockData();
        if (block && block->state != BlockState::kPlaced && block->state != BlockState::kFading)
            block->SetState(BlockState::kPlaced);
        flag.CancelReturnTimer();
        flag.SetState(FlagState::kCaptured);
        if (before == FlagState::kCarried && m_flags->GetPlayerManager())
            m_flags->GetPlayerManager()->DropFlag(flag.GetCarrier(), flag.GetId());
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagCaptured>(
            static_cast<int16_t>(flag.GetCarrier()), capturingTeam, flag.GetTeam(), static_cast<int16_t>(flag.GetId()),
            point));
        if (ScoreMan* score = logic->GetScoreMan()) score->OnFlagCaptured(flag.GetTeam());
        return true;
    }
    return false;
}

void FlagMan::SendStateToClient(const std::function<void(std::shared_ptr<EventSystem::IEvent>)>& send) const {
    for (auto& report : StatusSnapshot()) send(std::move(report));
}

}  // namespace GameLogicView
