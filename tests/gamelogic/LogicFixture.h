// A game logic with its managers, the shipped object states and (optionally)
// a running physics process, plus helpers that make blocks and live players.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "events/EventManager.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/ObjectStateTable.h"
#include "gamelogic/PlayerManager.h"
#include "physics/PhysBody.h"
#include "physics/PhysProc.h"
#include "support/Harness.h"

namespace LogicTest {

using Geometry::Vector3;
using namespace GameLogicView;

class LogicFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        // The documented defaults, not the shipped tuning.
        SetLogicSettings(LogicSettings());
        logic = std::make_unique<MiravGameLogic>(nullptr);
        logic->GetObjectStateTable().Load(ObjectStateTable::kStatesFile, ObjectStateTable::kExtentsFile);
        logic->CreateManagers(false);
    }
    void TearDown() override {
        logic.reset();
        physics.reset();
        TestSupport::ResetSingletons();
    }

    // A physics process in the logic's process list, as the initialisation
    // makes it.
    void StartPhysics() {
        physics = std::make_shared<Physics::PhysProc>(&logic->GetActorMan());
        Physics::SetPhysProc(physics.get());
        logic->GetProcessManager().Attach(physics);
    }

    BlockMan& Blocks() { return *logic->GetBlockMan(); }
    PlayerManager& Players() { return logic->GetPlayerManager(); }

    // A block actor of the type centred at p with the scale (state 0's model
    // is the unit block, so scale s gives extents s / 2).
    BlockPtr MakeBlock(const char* type, const Vector3& p, const Vector3& scale = Vector3(1, 1, 1),
                       int32_t state = 0, uint8_t team = 1) {
        ActorCreateInfo info;
        info.params.SetType(type);
        info.params.team = team;
        info.params.objectStateId = state;
        info.position = p;
        info.scale = scale;
        const ActorPtr actor = logic->CreateActor(info);
        return actor ? Blocks().GetBlock(actor->actorId) : nullptr;
    }

    // A live player (as a respawn leaves it, with an empty hand and pouch).
    Player* MakePlayer(uint8_t team, const Vector3& p) {
        ActorCreateInfo info;
        info.params.SetType(ActorTypes::kCharacter);
        info.params.team = team;
        info.params.objectStateId = team == 0 ? 1 : 3;
        info.position = p;
        const ActorPtr actor = logic->CreateActor(info);
        Player* player = actor ? Players().GetPlayer(actor->actorId) : nullptr;
        if (player) player->dead = 0;
        return player;
    }

    // Frames of 16 ms: the logic's processes, then the queue (as the game
    // runner and the logic's own frame deliver it).
    void Run(int ms, int frame = 16) { TestSupport::RunProcesses(*logic, ms, frame); }

    std::unique_ptr<MiravGameLogic> logic;
    std::shared_ptr<Physics::PhysProc> physics;
};

}  // namespace LogicTest
