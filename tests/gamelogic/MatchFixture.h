// A game logic driven like the game runner drives it, with the documented
// default tuning, recording the match's reports; helpers that start a game on
// a shipped level or start the rules without a level.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "ai/AIMan.h"
#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/PlayerLife.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/RulesSettings.h"
#include "gamelogic/ScoreMan.h"
#include "gamelogic/SpawnManager.h"
#include "physics/PhysBody.h"
#include "support/Harness.h"

namespace MatchTest {

using Geometry::Quaternion;
using Geometry::Vector3;
using namespace GameLogicView;

class MatchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        SetLogicSettings(LogicSettings());
        SetRulesSettings(RulesSettings());
        GlobalGameState* state = GlobalGameState::Instance();
        state->SetFlag(GlobalGameState::kTeam, 0);
        state->SetFlag(GlobalGameState::kLevel, 0);
        state->SetFlag(GlobalGameState::kGameMode, 0);
        logic = std::make_unique<MiravGameLogic>(nullptr);
        stepper = std::make_unique<TestSupport::LogicStepper>(*logic, 16);
        recorder.Listen<EventTypes::EventUpdateGameIDs, EventTypes::EventUpdateCreateActor,
                        EventTypes::EventUpdateStartGame, EventTypes::EventUpdateActorSpawn,
                        EventTypes::EventUpdateActorDeath, EventTypes::EventUpdateDeleteActor,
                        EventTypes::EventUpdateExplosion, EventTypes::EventUpdateFlagGrabbed,
                        EventTypes::EventUpdateFlagDropped, EventTypes::EventUpdateFlagCaptured,
                        EventTypes::EventUpdateFlagRecovered, EventTypes::EventUpdateTeamVictory,
                        EventTypes::EventUpdateGameOver, EventTypes::EventUpdateInitializeGameView,
                        EventTypes::EventUpdatePickUpBlock, EventTypes::EventUpdateBlockActive,
                        EventTypes::EventUpdateCollisionToClient, EventTypes::EventCommandCreateBlock,
                        EventTypes::EventUpdateThrowBlock, EventTypes::EventUpdateJump>();
    }
    void TearDown() override {
        stepper.reset();
        logic.reset();
        TestSupport::ResetSingletons();
    }

    void QueueInit(uint8_t backdrop = 0) {
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameLogic>(backdrop));
    }
    // Initialises and runs the two frames that start the game on the level
    // of global byte 1, then delivers what the start queued.
    void StartGame(uint8_t backdrop = 0) {
        QueueInit(backdrop);
        stepper->Frames(2);
        EventSystem::ProcessEventQueue();
    }
    // The rules without a level: an initialised logic, a ground to stand on,
    // and the game started (state 2).
    void StartRules(uint8_t backdrop = 0) {
        logic->OnInitializeGameLogic(EventTypes::EventUpdateInitializeGameLogic(backdrop));
        logic->SetState(MiravGameLogic::kStarted);
        groundActor = MakeGround(10.0f);
    }
    // A ground of the given thickness, 200 x 200 round the origin, its top at 0.
    ActorPtr MakeGround(float thickness) {
        ActorCreateInfo ground;
        ground.params.SetType(ActorTypes::kPlane);
        ground.params.team = 1;
        ground.params.objectStateId = 5;
        ground.scale = Vector3(10.0f, thickness, 10.0f);
        ground.position = Vector3(0.0f, -0.5f * thickness, 0.0f);
        return logic->CreateActor(ground);
    }

    // A player that has entered the game (its first respawn ran), standing at p.
    Player* SpawnPlayer(uint8_t team, const Vector3& p) {
        ActorCreateInfo info;
        info.params.SetType(ActorTypes::kCharacter);
        info.params.team = team;
        info.params.objectStateId = team == 0 ? 1 : 3;
        info.position = p;
        const ActorPtr actor = logic->CreateActor(info);
        if (!actor) return nullptr;
        logic->GetProcessManager().UpdateProcesses(0);  // the first respawn
        Player* player = logic->GetPlayerManager().GetPlayer(actor->actorId);
        Place(player, p);
        return player;
    }
    static void Place(Player* player, const Vector3& p) {
        if (!player || !player->GetActor() || !player->GetActor()->body) return;
        player->GetActor()->body->SetPosition(p);
        player->GetActor()->body->ResetMotion();
    }

    // A block of the type centred at p (state 0's model is the unit block).
    BlockPtr MakeBlock(const char* type, const Vector3& p, const Vector3& scale = Vector3(1, 1, 1),
                       int32_t objectState = 0, uint8_t team = 255) {
        ActorCreateInfo info;
        info.params.SetType(type);
        info.params.team = team;
        info.params.objectStateId = objectState;
        info.position = p;
        info.scale = scale;
        const ActorPtr actor = logic->CreateActor(info);
        return actor ? logic->GetBlock(actor->actorId) : nullptr;
    }

    // A collision report as the physics process raises it, delivered to the
    // logic at once.
    std::shared_ptr<EventTypes::EventUpdateCollision> Collide(uint16_t a, uint16_t b, float normalSpeed,
                                                              const Vector3& normal = Vector3(0, 1, 0),
                                                              int32_t kind = 0, const Vector3& point = Vector3()) {
        auto e = std::make_shared<EventTypes::EventUpdateCollision>(kind, normalSpeed, point, normal,
                                                                    static_cast<int16_t>(a), 1.0f,
                                                                    static_cast<int16_t>(b), 1.0f);
        logic->OnCollision(*e);
        return e;
    }

    // Process updates of ms each, each followed by a queue delivery (the
    // logic's own frame order), without the state machine.
    void Run(int totalMs, int ms = 16) { TestSupport::RunProcesses(*logic, totalMs, ms); }

    std::unique_ptr<MiravGameLogic> logic;
    std::unique_ptr<TestSupport::LogicStepper> stepper;
    TestSupport::EventRecorder recorder;
    ActorPtr groundActor;
};

}  // namespace MatchTest
