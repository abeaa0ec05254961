// The level's bomb spawners: each keeps the bombs it made and asks for a new
// bomb on a timer while it holds fewer than [Bombs] MaxBombs unexploded ones.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "processes/Process.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace GameLogicView {

struct BombSpawnPoint {
    Geometry::Vector3 position;
    std::vector<uint16_t> bombIds;  // every bomb it made; exploded ones stay listed
    int32_t bombCount = 0;          // bombs that have not exploded yet
};

class BombSpawnManager {
public:
    // backdrop: a menu-backdrop match uses [Bombs] override for every spawner.
    explicit BombSpawnManager(bool backdrop);
    ~BombSpawnManager();
    BombSpawnManager(const BombSpawnManager&) = delete;
    BombSpawnManager& operator=(const BombSpawnManager&) = delete;

    void SetProcessManager(ProcessSystem::ProcessManager* processes) { m_processes = processes; }

    // Only while a process list is set: a new spawner with two timers, one
    // that asks for a bomb on its first update and one repeating every spawn
    // time (seconds, from [Bombs] override or the code's own key).
    void AddSpawnPoint(int code, const Geometry::Vector3& position);
    // Counts the bomb against the first spawner at exactly that position.
    void OnBombCreated(const Geometry::Vector3& position, uint16_t bombId);
    // "VtLUpdateExplosion": the spawner that made the bomb may make another.
    bool OnExplosion(const EventSystem::IEvent& event);

    const std::vector<std::shared_ptr<BombSpawnPoint>>& GetSpawnPoints() const { return m_points; }
    bool IsBackdrop() const { return m_backdrop; }

private:
    std::vector<std::shared_ptr<BombSpawnPoint>> m_points;
    bool m_backdrop;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
};

// A spawner's timer: queues "VtLCreateBlock" for the spawner's position once
// more than its period has passed, while the spawner holds fewer than
// MaxBombs bombs. A period of 0 fires on the first update and ends.
class SpawnBombsProc : public ProcessSystem::IProcess {
public:
    SpawnBombsProc(int periodMs, std::shared_ptr<const BombSpawnPoint> point);
    void OnUpdate(int ms) override;

private:
    int32_t m_period;
    int32_t m_elapsed = 0;
    std::shared_ptr<const BombSpawnPoint> m_point;
};

}  // namespace GameLogicView
