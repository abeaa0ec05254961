// What a level load creates things through: the game logic (and, in tests, a
// recorder). The loader decides what and where; the target owns the actors,
// points and managers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {

// One actor the level asks for: the target turns it into the game's own.
struct LevelActor {
    static constexpr const char* kFlagType = "flag";
    Geometry::Vector3 position;
    Geometry::Vector3 scale{1.0f, 1.0f, 1.0f};
    std::string type;  // the actor type name as the level's files give it
    uint8_t team = 255;
    int32_t objectStateId = 0;
    int32_t materialId = -1;  // -1: no override of the object state's
    int32_t textureId = -1;   // -1: no override of the object state's
};

class LevelTarget {
public:
    virtual ~LevelTarget() = default;
    // One actor (level blocks and flags).
    virtual void CreateActor(const LevelActor& actor) = 0;
    // The boxes of one piece file, created together in order.
    virtual void CreateActorsFromList(const std::vector<LevelActor>& actors) = 0;
    virtual void AddCapturePoint(const Geometry::Vector3& position, uint8_t team) = 0;
    virtual void AddSpawnPoint(uint8_t team, const Geometry::Vector3& position) = 0;
    virtual void AddBombSpawnPoint(int code, const Geometry::Vector3& position) = 0;
    virtual void AddGuardPoint(uint8_t team, const Geometry::Vector3& position) = 0;
};

}  // namespace GameLogicView
