// What a level load creates things through: the game logic (and, in tests, a
// recorder). The loader decides what and where; the target owns the actors,
// points and managers.
#pragma once

#include <cstdint>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

struct ActorCreateInfo;

class LevelTarget {
public:
    virtual ~LevelTarget() = default;
    // One actor (level blocks and flags).
    virtual void CreateActor(const ActorCreateInfo& info) = 0;
    // The boxes of one piece file, created together in order.
    virtual void CreateActorsFromList(const std::vector<ActorCreateInfo>& infos) = 0;
    virtual void AddCapturePoint(const Geometry::Vector3& position, uint8_t team) = 0;
    virtual void AddSpawnPoint(uint8_t team, const Geometry::Vector3& position) = 0;
    virtual void AddBombSpawnPoint(int code, const Geometry::Vector3& position) = 0;
    virtual void AddGuardPoint(uint8_t team, const Geometry::Vector3& position) = 0;
};

}  // namespace GameLogicView
