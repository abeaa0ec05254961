// A bot of team 0 and what its behaviour machines see: players on a flat
// floor (ground points at y 0.5, grid level 0), walls in the search grid,
// blocks for the pouch, path searches that never run out of time, and the
// commands the bot raised. Roles and behaviour selection stay off; the test
// puts machines on the bot itself. Optionally the bot's moves are applied to
// its body (sliding along walls), so walks can be followed to their end.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "ai/sml/AIGameObject.h"
#include "ai/sml/MsgRoute.h"
#include "ai/sml/StateMachine.h"
#include "AIWorld.h"
#include "BotCommands.h"

namespace AITest {

class BehaviourFixture : public ::testing::Test {
protected:
    BehaviourFixture() {
        AI::AISettings& s = world.ai->GetSettings();
        s.disableBots = true;
        s.aStarTimeSlice = 5;
        s.botSpeed = 1.0f;
        s.obstacleAvoidance = false;
        s.jumpHeight = 1;
        world.ai->GetAStar().SetMillisecondClock([] { return uint64_t{0}; });  // slices never run out
        bot = world.AddBot(0, {0.5f, 0.5f, 0.5f});
        world.Spawn(bot);
    }

    uint16_t id() const { return bot->GetActorId(); }
    GameLogicView::Player* Me() const { return bot->GetPlayer(); }
    GameLogicView::Player* Enemy(const Vector3& at) { return world.AddBot(1, at)->GetPlayer(); }

    void GiveBlocks(int n) {
        for (int i = 0; i < n; ++i) Me()->pouch.push_back(world.AddBlock({240.5f, 90.5f, 240.5f - i}));
    }
    // A wall of the given half extents (cells) centred on a point.
    void Wall(const Vector3& centre, const Vector3& half) {
        world.ai->GetSearchSpace().SetBoxOccupancy(centre.x, centre.y, centre.z, half.x, half.y, half.z, true);
    }
    void Place(GameLogicView::Player* p, const Vector3& at) { p->GetActor()->body->SetPosition(at); }

    // The machine goes on top of the bot at once (entered now); the commands
    // of its enter are recorded.
    template <class M>
    std::shared_ptr<M> Run(std::shared_ptr<M> machine) {
        cmds.Fresh();
        bot->PushMachine(machine);
        return machine;
    }
    // The machine becomes the bot's plan (entered at the bot's next update).
    template <class M>
    std::shared_ptr<M> Plan(std::shared_ptr<M> machine) {
        bot->SetPlan({machine});
        return machine;
    }

    // One logic frame: the queued commands are delivered and recorded (the
    // walker applies the bot's last move to its body), then the AI step and
    // the bot's update.
    void Frame(int ms = 16) {
        cmds.Deliver();
        if (walker) {
            const auto moves = cmds.Moves(id());
            if (moves.size() > m_movesApplied) Slide(moves.back());
            m_movesApplied = moves.size();
        }
        world.ai->Update(ms);
        bot->OnUpdate(ms);
        elapsed += ms;
    }
    // Frames with fresh records: only the commands of these frames remain.
    void Frames(int n) {
        Fresh();
        for (int i = 0; i < n; ++i) Frame();
        cmds.Deliver();
    }
    // Delivers what is queued and forgets it.
    void Fresh() {
        cmds.Fresh();
        m_movesApplied = 0;
    }
    // Sends the message to the bot's top machine now.
    void Tell(int32_t msgId, int32_t data2 = 0) {
        MsgRoute::Instance()->SendMessage(0, msgId, id(), 0, SCOPE_NONE, 0, 1, data2);
    }
    // Moves a machine straight to a substate (or state), as a delayed change
    // message would.
    static void ToSubstate(StateMachine& m, int32_t sub) {
        m.SetSubstate(sub);
        m.ProcessStateChange();
    }
    static void ToState(StateMachine& m, int32_t state) {
        m.SetState(state);
        m.ProcessStateChange();
    }
    // Back to Idle with no request left over from the last machine.
    void Restart() {
        bot->RequestStackOp(AIGameObject::OP_RESET, nullptr);
        bot->ProcessStackRequests();
    }
    // From now on every search slice runs out at once: searches stay open
    // (until their time-out) and never answer.
    void SlowSearches() {
        world.ai->GetSettings().aStarTimeSlice = 0;
        world.ai->GetAStar().SetMillisecondClock([n = uint64_t{0}]() mutable { return n += 10; });
    }
    // Steps until no timer is queued any more (at most 2 s).
    void DrainTimers() {
        for (int i = 0; i < 125 && MsgRoute::Instance()->QueuedCount() > 0; ++i) Frame();
    }
    bool AskedNext() const { return bot->GetPendingOp() == AIGameObject::OP_NEXT_IN_PLAN; }
    bool AskedReset() const { return bot->GetPendingOp() == AIGameObject::OP_RESET; }

    AIWorld world;
    BotCommands cmds;
    AI::BotGameView* bot = nullptr;
    bool walker = false;
    int elapsed = 0;

private:
    // Moves the body, sliding along a wall the way the physics would: a move
    // into a blocked cell keeps whichever of its two horizontal parts is free.
    void Slide(const Vector3& m) {
        const AI::SearchSpace& grid = world.ai->GetSearchSpace();
        auto freeAt = [&](const Vector3& p) {
            const Vector3 c = grid.WorldToCell(p);
            return !grid.IsCellBlocked(c.x, c.y, c.z);
        };
        const Vector3 p = Me()->GetPosition();
        for (const Vector3& step : {m, Vector3(m.x, 0, 0), Vector3(0, 0, m.z)})
            if (freeAt(p + step)) {
                Place(Me(), p + step);
                return;
            }
    }

    size_t m_movesApplied = 0;
};

}  // namespace AITest
