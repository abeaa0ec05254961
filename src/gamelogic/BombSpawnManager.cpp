#include "gamelogic/BombSpawnManager.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/LogicSettings.h"

namespace GameLogicView {

BombSpawnManager::BombSpawnManager(bool backdrop)
    : m_backdrop(backdrop), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_registry->Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &BombSpawnManager::OnExplosion);
}

BombSpawnManager::~BombSpawnManager() = default;

void BombSpawnManager::AddSpawnPoint(int code, const Geometry::Vector3& position) {
    if (m_processes == nullptr) return;
    const LogicSettings& s = GetLogicSettings();
    const int32_t seconds = m_backdrop ? s.bombOverride : s.BombSpawnTime(code);
    auto point = std::make_shared<BombSpawnPoint>();
    point->position = position;
    m_points.push_back(point);
    m_processes->Attach(std::make_shared<SpawnBombsProc>(0, point));
    m_processes->Attach(std::make_shared<SpawnBombsProc>(seconds * 1000, point));
}

void BombSpawnManager::OnBombCreated(const Geometry::Vector3& position, uint16_t bombId) {
    for (auto& point : m_points) {
        if (point->position == position) {
            ++point->bombCount;
            point->bombIds.push_back(bombId);
            return;
        }
    }
}

bool BombSpawnManager::OnExplosion(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateExplosion*>(&event);
    if (e == nullptr || e->GetPayload() == nullptr) return false;
    const uint16_t bombId = static_cast<uint16_t>(e->GetPayload()->bombId);
    for (auto& point : m_points) {
        for (uint16_t id : point->bombIds) {
            if (id == bombId) {
                --point->bombCount;
                return false;
            }
        }
    }
    return false;
}

SpawnBombsProc::SpawnBombsProc(int periodMs, std::shared_ptr<const BombSpawnPoint> point)
    : IProcess(7), m_period(periodMs), m_point(std::move(point)) {}

void SpawnBombsProc::OnUpdate(int ms) {
    const int32_t maxBombs = GetLogicSettings().maxBombs;
    m_elapsed += ms;
    if (m_elapsed > m_period) {
        if (m_point != nullptr && m_point->bombCount < maxBombs)
            EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandCreateBlock>(m_point->position));
        m_elapsed = 0;
    }
    if (m_period == 0) Kill();
}

}  // namespace GameLogicView
