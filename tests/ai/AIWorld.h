// A small match for the bot AI's tests: an AI manager over a player manager,
// a flag manager and a block manager of their own (no whole game logic), with
// helpers that put bots, humans, blocks and flags at given places and step
// the AI the way a logic frame does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/NamePool.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "ini/IniFile.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerManager.h"
#include "physics/PhysBody.h"
#include "support/Harness.h"
#include "utility/Geometry.h"

namespace AITest {

using Geometry::Quaternion;
using Geometry::Vector3;

// The rotation that turns +z onto the horizontal direction (x, z).
inline Quaternion Facing(float x, float z) { return Quaternion::FromTo({0, 0, 1}, {x, 0, z}); }

class AIWorld {
public:
    AIWorld() {
        TestSupport::ResetSingletons();
        ai = AI::AIMan::Create();
        ai->Init(nullptr, blocks);
        ai->SetPlayerManager(&players);
        ai->SetFlagMan(&flags);
        blocks->SetGrid(&ai->GetSearchSpace());
        // Known tuning, whatever the shipped file says.
        AI::AISettings& s = ai->GetSettings();
        s.clearanceHeight = 1;
        s.botSight = 20.0f;
        s.offenseQuota = 2;
        s.defenseQuota = 2;
        s.maxSquadSize = 3;
        s.disableBots = false;
        s.obstacleAvoidance = false;
    }
    ~AIWorld() {
        AI::AIMan::Destroy();
        TestSupport::ResetSingletons();
    }
    AIWorld(const AIWorld&) = delete;
    AIWorld& operator=(const AIWorld&) = delete;

    // Names handed out from now on.
    void Names(const std::string& names) {
        Utility::IniFile f;
        f.Parse("[NAMES]\n" + names);
        ai->GetNamePool().Load(f);
    }

    GameLogicView::ActorPtr MakeActor(const char* type, uint8_t team, const Vector3& position,
                                      int32_t objectState = 0, const Vector3& extents = {0.5f, 0.5f, 0.5f}) {
        GameLogicView::ActorParams p;
        p.actorId = m_nextId++;
        p.team = team;
        p.objectStateId = objectState;
        p.SetType(type);
        p.extents = extents;
        p.body = std::make_shared<Physics::PhysBody>();
        p.body->SetActorId(p.actorId);
        p.body->SetPosition(position);
        auto actor = std::make_shared<GameLogicView::Actor>(p);
        m_actors.push_back(actor);
        return actor;
    }

    // A living player of the team at the position, facing the direction.
    GameLogicView::Player* AddPlayer(uint8_t team, const Vector3& position, const Quaternion& facing,
                                     const char* type) {
        GameLogicView::ActorPtr a = MakeActor(type, team, position);
        a->body->SetOrientation(facing);
        GameLogicView::Player* p = players.AddPlayer(a);
        p->dead = 0;
        return p;
    }

    AI::BotGameView* AddBot(uint8_t team, const Vector3& position, const Quaternion& facing = Facing(0, 1)) {
        GameLogicView::Player* p = AddPlayer(team, position, facing, GameLogicView::ActorTypes::kBot);
        // As in the logic, a new bot's player enters the game at its spawn:
        // the bot starts without machines (Spawn gives it its Idle).
        p->dead = 1;
        std::shared_ptr<AI::BotGameView> view = ai->AddBot(p->GetActorId(), team, p);
        p->dead = 0;
        if (!view) return nullptr;
        views.push_back(view);
        return view.get();
    }

    // A human player known to its team manager.
    GameLogicView::Player* AddHuman(uint8_t team, const Vector3& position, const Quaternion& facing = Facing(0, 1)) {
        GameLogicView::Player* p = AddPlayer(team, position, facing, GameLogicView::ActorTypes::kCharacter);
        ai->GetTeam(team)->AddPlayer(p);
        return p;
    }

    GameLogicView::BlockPtr AddBlock(const Vector3& position, int32_t objectState = 0) {
        return blocks->AddBlock(MakeActor(GameLogicView::ActorTypes::kBox, 255, position, objectState));
    }

    GameLogicView::Flag* AddFlag(uint8_t team, const Vector3& position) {
        GameLogicView::BlockPtr block =
            blocks->AddBlock(MakeActor(GameLogicView::ActorTypes::kFlag, team, position, team == 0 ? 22 : 23));
        return flags.AddFlag(block);
    }

    // A flag lying loose (dropped): free, its cells no longer blocked, as
    // after it was picked up and let go.
    void DropFlag(GameLogicView::Flag* flag) {
        flag->SetState(GameLogicView::FlagState::kDropped);
        flag->GetBlockData()->state = GameLogicView::BlockState::kFree;
        const Vector3 p = flag->GetPosition();
        ai->GetSearchSpace().SetBoxOccupancy(p.x, p.y, p.z, 0.5f, 0.5f, 0.5f, false);
    }

    AI::TeamMan& Team(uint8_t team) { return *ai->GetTeam(team); }

    // Spawns the bot the way the logic reports it: the team pushes its Idle.
    void Spawn(AI::BotGameView* bot) {
        EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(static_cast<int16_t>(bot->GetActorId()),
                                                                    bot->GetTeam(), Vector3{}, Quaternion{}, 0, 0));
    }

    // One logic frame as far as the AI goes: queue delivery, the AI step,
    // then every bot view.
    void Step(int ms = 16) {
        EventSystem::ProcessEventQueue();
        ai->Update(ms);
        for (const auto& v : views) v->OnUpdate(ms);
    }

    GameLogicView::PlayerManager players;
    GameLogicView::FlagMan flags;
    std::shared_ptr<GameLogicView::BlockMan> blocks = std::make_shared<GameLogicView::BlockMan>(nullptr);
    AI::AIMan* ai = nullptr;
    std::vector<std::shared_ptr<AI::BotGameView>> views;

private:
    uint16_t m_nextId = 100;
    std::vector<GameLogicView::ActorPtr> m_actors;
};

}  // namespace AITest
