// State machines, message routing and the bot's machine stack.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ai/AIClock.h"
#include "ai/sml/AIGameObject.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/sml/StateMachine.h"

namespace {

const char* KindName(int32_t kind) {
    switch (kind) {
        case StateMachine::EVENT_UPDATE: return "update";
        case StateMachine::EVENT_MESSAGE: return "msg";
        case StateMachine::EVENT_ENTER: return "enter";
        case StateMachine::EVENT_EXIT: return "exit";
    }
    return "?";
}

// Logs every handler call as "kind state/substate" (messages add " #id:data2")
// and lets a test script what each call does and returns.
class ScriptMachine : public StateMachine {
public:
    using Script = std::function<bool(ScriptMachine&, int32_t kind, const Msg*, int32_t state, int32_t sub)>;

    ScriptMachine(AIGameObject* owner, std::vector<std::string>* log, std::string name = "Script")
        : StateMachine(owner, std::move(name)), m_log(log) {}

    Script script;
    using StateMachine::SetState;
    using StateMachine::SetSubstate;

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t sub) override {
        std::string line = std::string(KindName(kind)) + " " + std::to_string(state) + "/" + std::to_string(sub);
        if (msg) line += " #" + std::to_string(msg->id) + ":" + std::to_string(msg->data2);
        if (!GetName().empty() && GetName() != "Script") line = GetName() + " " + line;
        m_log->push_back(line);
        return script ? script(*this, kind, msg, state, sub) : false;
    }

private:
    std::vector<std::string>* m_log;
};

class TestBot : public AIGameObject {
public:
    using AIGameObject::AIGameObject;
    int resets = 0;
    std::function<void()> onReset;
    void OnReset() override {
        ++resets;
        ClearStack();
        if (onReset) onReset();
    }
};

using Log = std::vector<std::string>;

// Brings a fresh machine into (state, substate) through updates, then clears the log.
void DriveTo(ScriptMachine& m, Log& log, int32_t state, int32_t sub) {
    m.Initialize();
    if (state != 0) {
        m.script = [state](ScriptMachine& s, int32_t kind, const Msg*, int32_t, int32_t) {
            if (kind == StateMachine::EVENT_UPDATE) s.SetState(state);
            return false;
        };
        m.Update();
    }
    if (sub >= 0) {
        m.script = [sub](ScriptMachine& s, int32_t kind, const Msg*, int32_t, int32_t) {
            if (kind == StateMachine::EVENT_UPDATE) s.SetSubstate(sub);
            return false;
        };
        m.Update();
    }
    m.script = nullptr;
    ASSERT_EQ(m.GetState(), state);
    ASSERT_EQ(m.GetSubstate(), sub);
    log.clear();
}

// ---------------------------------------------------------------------------
// Cascades

struct CascadeCase {
    const char* name;
    int32_t state, sub;
    std::vector<std::string> handledBy;  // "s/ss" pairs that return true
    bool message;
    Log expected;
};

class CascadeTest : public ::testing::TestWithParam<CascadeCase> {};

TEST_P(CascadeTest, OffersTheEventFromSubstateToGlobalUntilHandled) {
    const CascadeCase& c = GetParam();
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, c.state, c.sub);
    auto handled = c.handledBy;
    m.script = [handled](ScriptMachine&, int32_t, const Msg*, int32_t s, int32_t ss) {
        const std::string key = std::to_string(s) + "/" + std::to_string(ss);
        for (const auto& h : handled)
            if (h == key) return true;
        return false;
    };
    if (c.message) {
        Msg msg;
        msg.id = MSG_TIMER_UP;
        msg.data2 = 42;
        m.ProcessMessage(&msg);
    } else {
        m.Update();
    }
    EXPECT_EQ(log, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CascadeTest,
    ::testing::Values(
        CascadeCase{"NobodyHandles", 0, -1, {}, false, {"update 0/-1", "update -1/-1"}},
        CascadeCase{"StateHandles", 3, -1, {"3/-1"}, false, {"update 3/-1"}},
        CascadeCase{"SubstateHandles", 3, 2, {"3/2"}, false, {"update 3/2"}},
        CascadeCase{"SubstateFallsToState", 3, 2, {"3/-1"}, false, {"update 3/2", "update 3/-1"}},
        CascadeCase{"AllFallToGlobal", 3, 2, {}, false, {"update 3/2", "update 3/-1", "update -1/-1"}},
        CascadeCase{"SubstateZeroIsAsked", 3, 0, {"3/0"}, false, {"update 3/0"}},
        CascadeCase{"MessageReachesEveryLevel", 1, 1, {}, true,
                    {"msg 1/1 #16:42", "msg 1/-1 #16:42", "msg -1/-1 #16:42"}},
        CascadeCase{"MessageStopsAtGlobal", 1, 1, {"-1/-1"}, true,
                    {"msg 1/1 #16:42", "msg 1/-1 #16:42", "msg -1/-1 #16:42"}}),
    [](const ::testing::TestParamInfo<CascadeCase>& i) { return std::string(i.param.name); });

TEST(StateMachine, InitializeResetsAndEntersStateZero) {
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, 4, 2);
    EXPECT_EQ(m.GetStateChangeCount(), 1);
    EXPECT_EQ(m.GetChangeCount(), 2);
    m.Initialize();
    EXPECT_EQ(log, (Log{"enter 0/-1", "enter -1/-1"}));
    EXPECT_EQ(m.GetState(), 0);
    EXPECT_EQ(m.GetSubstate(), -1);
    EXPECT_EQ(m.GetStateChangeCount(), 0);
    EXPECT_EQ(m.GetChangeCount(), 0);
}

// ---------------------------------------------------------------------------
// Changes of state and substate

struct ChangeCase {
    const char* name;
    int32_t state, sub;   // where the machine is
    bool toState;         // SetState (else SetSubstate)
    int32_t target;
    Log expected;         // exit/enter calls of the change
    int32_t stateChanges; // added to the state-change count
};

class ChangeTest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangeTest, ExitsAndEntersInOrder) {
    const ChangeCase& c = GetParam();
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, c.state, c.sub);
    const int32_t states = m.GetStateChangeCount(), changes = m.GetChangeCount();
    if (c.toState)
        m.SetState(c.target);
    else
        m.SetSubstate(c.target);
    EXPECT_TRUE(m.IsChangePending());
    m.ProcessStateChange();
    EXPECT_EQ(log, c.expected);
    EXPECT_FALSE(m.IsChangePending());
    EXPECT_EQ(m.GetStateChangeCount(), states + c.stateChanges);
    EXPECT_EQ(m.GetChangeCount(), changes + 1);
    EXPECT_EQ(m.GetState(), c.toState ? c.target : c.state);
    EXPECT_EQ(m.GetSubstate(), c.toState ? -1 : c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeTest,
    ::testing::Values(
        ChangeCase{"NoSubstateToSubstateZero", 0, -1, false, 0, {"enter 0/0"}, 0},
        ChangeCase{"SubstateZeroHasNoExit", 2, 0, false, 1, {"enter 2/1"}, 0},
        ChangeCase{"SubstateToSubstate", 2, 1, false, 2, {"exit 2/1", "enter 2/2"}, 0},
        ChangeCase{"StateFromSubstate", 2, 2, true, 5, {"exit 2/2", "exit 2/-1", "enter 5/-1"}, 1},
        ChangeCase{"StateFromSubstateZero", 2, 0, true, 5, {"exit 2/-1", "enter 5/-1"}, 1},
        ChangeCase{"SameStateReenters", 2, -1, true, 2, {"exit 2/-1", "enter 2/-1"}, 1},
        ChangeCase{"SameSubstateReenters", 2, 3, false, 3, {"exit 2/3", "enter 2/3"}, 0}),
    [](const ::testing::TestParamInfo<ChangeCase>& i) { return std::string(i.param.name); });

TEST(StateMachine, LaterRequestOverwritesEarlierOne) {
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, 0, -1);
    m.script = [](ScriptMachine& s, int32_t kind, const Msg*, int32_t, int32_t) {
        if (kind == StateMachine::EVENT_UPDATE) {
            s.SetState(7);
            s.SetSubstate(3);  // a substate of the current state 0
        }
        return true;
    };
    m.Update();
    EXPECT_EQ(m.GetState(), 0);
    EXPECT_EQ(m.GetSubstate(), 3);
}

TEST(StateMachine, RequestsDuringExitAreIgnored) {
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, 1, 1);
    m.script = [](ScriptMachine& s, int32_t kind, const Msg*, int32_t, int32_t) {
        if (kind == StateMachine::EVENT_EXIT) {
            s.SetState(9);
            s.SetSubstate(9);
        }
        return false;
    };
    m.SetState(2);
    m.ProcessStateChange();
    EXPECT_EQ(m.GetState(), 2);
    EXPECT_EQ(m.GetSubstate(), -1);
    EXPECT_FALSE(m.IsChangePending());
}

TEST(StateMachine, AtMostTwentyChangesPerEvent) {
    Log log;
    ScriptMachine m(nullptr, &log);
    // Every enter of a state asks for the next state: an endless chain.
    m.script = [](ScriptMachine& s, int32_t kind, const Msg*, int32_t state, int32_t) {
        if (kind == StateMachine::EVENT_ENTER && state >= 0) s.SetState(state + 1);
        return kind == StateMachine::EVENT_ENTER;
    };
    m.Initialize();
    EXPECT_EQ(m.GetState(), 20);
    EXPECT_EQ(m.GetStateChangeCount(), 20);
    EXPECT_TRUE(m.IsChangePending());  // the 21st waits for the next event
    m.Update();
    EXPECT_EQ(m.GetState(), 40);
    Msg msg;
    m.ProcessMessage(&msg);
    EXPECT_EQ(m.GetState(), 60);
    EXPECT_TRUE(m.IsChangePending());
}

TEST(StateMachine, DelayedChangeMessagesAreUnderstoodByDefault) {
    Log log;
    ScriptMachine m(nullptr, &log);
    DriveTo(m, log, 1, -1);
    Msg msg;
    msg.id = MSG_CHANGE_SUBSTATE_DELAYED;
    msg.data2 = 4;
    m.ProcessMessage(&msg);
    EXPECT_EQ(m.GetSubstate(), 4);
    msg.id = MSG_CHANGE_STATE_DELAYED;
    msg.data2 = 6;
    m.ProcessMessage(&msg);
    EXPECT_EQ(m.GetState(), 6);
    EXPECT_EQ(m.GetSubstate(), -1);
}

TEST(Msg, Names) {
    EXPECT_STREQ(GetMsgName(MSG_NULL), "MSG_NULL");
    EXPECT_STREQ(GetMsgName(4), "MSG_SEARCH_SUCCESS");
    EXPECT_STREQ(GetMsgName(16), "MSG_TIMER_UP");
    EXPECT_STREQ(GetMsgName(17), "Invalid");
    EXPECT_STREQ(GetMsgName(-1), "Invalid");
}

// ---------------------------------------------------------------------------
// Routing

class RouterTest : public ::testing::Test {
protected:
    RouterTest() : route(clock) {
        route.SetReceiverLookup([this](uint16_t id) -> AIGameObject* {
            auto it = bots.find(id);
            return it == bots.end() ? nullptr : it->second.get();
        });
    }
    ~RouterTest() override { MsgRoute::ResetWalkDepth(); }

    // A bot driving actor `id` with one machine whose handler logs into `log`.
    ScriptMachine& AddBot(uint16_t id, const std::string& name = "Script") {
        bots[id] = std::make_unique<TestBot>(id, "bot" + std::to_string(id));
        auto m = std::make_shared<ScriptMachine>(bots[id].get(), &log, name);
        bots[id]->PushMachine(m);
        return *m;
    }
    std::shared_ptr<StateMachine> Top(uint16_t id) { return bots[id]->GetTop(); }

    void Step(int32_t ms) {
        clock.Advance(ms);
        route.DeliverDelayedMessages();
    }
    // Message lines of the log only.
    Log Messages() const {
        Log out;
        for (const auto& l : log)
            if (l.find("msg") != std::string::npos) out.push_back(l);
        return out;
    }

    AI::AIClock clock;
    MsgRoute route;
    std::map<uint16_t, std::unique_ptr<TestBot>> bots;
    Log log;
};

TEST_F(RouterTest, RouterIsTheGlobalInstanceWhileItLives) {
    EXPECT_EQ(MsgRoute::Instance(), &route);
    {
        AI::AIClock c;
        MsgRoute other(c);
        EXPECT_EQ(MsgRoute::Instance(), &other);
    }
    EXPECT_EQ(MsgRoute::Instance(), nullptr);
}

TEST_F(RouterTest, DelayedMessageFallsDueOnTheAIClock) {
    ScriptMachine& m = AddBot(5);
    m.script = [](ScriptMachine&, int32_t, const Msg*, int32_t, int32_t) { return true; };
    log.clear();
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 0, 1, 7);
    EXPECT_EQ(route.QueuedCount(), 1u);
    Step(0);  // a frame of 0 ms moves nothing
    Step(99);
    EXPECT_TRUE(Messages().empty());
    Step(1);
    EXPECT_EQ(Messages(), (Log{"msg 0/-1 #14:7"}));
    EXPECT_EQ(route.QueuedCount(), 0u);
    Step(1000);
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(RouterTest, NegativeStepsDoNotMoveTheClock) {
    clock.Advance(50);
    clock.Advance(-30);
    EXPECT_EQ(clock.Now(), 50u);
}

TEST_F(RouterTest, DuplicatesOfQueuedMessagesAreDropped) {
    AddBot(5);
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 0, 1, 1);
    route.SendMessage(50, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 0, 2, 2);  // data differ: still a duplicate
    EXPECT_EQ(route.QueuedCount(), 1u);
    route.SendMessage(100, MSG_TIMER_UP, 5, 0, SCOPE_NONE, 0, 1, 1);        // other id
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 5, 3, SCOPE_NONE, 0, 1, 1);  // other sender
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 6, 0, SCOPE_NONE, 0, 1, 1);  // other receiver
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_STATE, 0, 1, 1);  // other scope
    route.SendMessage(100, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 9, 1, 1);  // other key
    EXPECT_EQ(route.QueuedCount(), 6u);
    log.clear();
    Step(100);
    // The first one sent is kept, with its data.
    const Log msgs = Messages();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.front(), "msg 0/-1 #14:1");
}

TEST_F(RouterTest, ResendingTheMessageBeingHandledQueuesIt) {
    ScriptMachine& m = AddBot(5);
    int handled = 0;
    m.script = [&](ScriptMachine&, int32_t kind, const Msg* msg, int32_t, int32_t) {
        if (kind == StateMachine::EVENT_MESSAGE && msg->id == MSG_ATTACK_DELAY_OVER) {
            ++handled;
            MsgRoute::Instance()->SendMessage(10, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 0, 1, 0);
        }
        return true;
    };
    route.SendMessage(10, MSG_ATTACK_DELAY_OVER, 5, 0, SCOPE_NONE, 0, 1, 0);
    Step(10);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(route.QueuedCount(), 1u);  // not due in the same walk
    Step(10);
    EXPECT_EQ(handled, 2);
}

struct ScopeCase {
    const char* name;
    int32_t scope;
    bool keyFromChangeCount;  // key taken from the change count (else state-change count)
    int change;               // 0 none, 1 substate change, 2 state change
    bool delivered;
};

class ScopeTest : public RouterTest, public ::testing::WithParamInterface<ScopeCase> {};

TEST_P(ScopeTest, ScopedMessagesNeedTheirStateStill) {
    const ScopeCase& c = GetParam();
    ScriptMachine& m = AddBot(5);
    DriveTo(m, log, 0, -1);
    m.SetState(1);  // counts above zero, so a stale key of 0 cannot match by accident
    m.ProcessStateChange();
    const int32_t key = c.keyFromChangeCount ? m.GetChangeCount() : m.GetStateChangeCount();
    route.SendMessage(20, MSG_TIMER_UP, 5, 0, c.scope, key, 0, 3);
    if (c.change == 1) m.SetSubstate(1);
    if (c.change == 2) m.SetState(2);
    m.ProcessStateChange();
    log.clear();
    Step(20);
    EXPECT_EQ(Messages().empty(), !c.delivered);
    EXPECT_EQ(route.QueuedCount(), 0u);  // dropped ones are gone too
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScopeTest,
    ::testing::Values(ScopeCase{"NoneAlwaysArrives", SCOPE_NONE, false, 2, true},
                      ScopeCase{"StateScopeUnchanged", SCOPE_STATE, false, 0, true},
                      ScopeCase{"StateScopeSurvivesSubstate", SCOPE_STATE, false, 1, true},
                      ScopeCase{"StateScopeDroppedByState", SCOPE_STATE, false, 2, false},
                      ScopeCase{"ChangeScopeUnchanged", SCOPE_STATE_OR_SUB, true, 0, true},
                      ScopeCase{"ChangeScopeDroppedBySubstate", SCOPE_STATE_OR_SUB, true, 1, false},
                      ScopeCase{"ChangeScopeDroppedByState", SCOPE_STATE_OR_SUB, true, 2, false},
                      ScopeCase{"UnknownScopeNeverArrives", 3, false, 0, false}),
    [](const ::testing::TestParamInfo<ScopeCase>& i) { return std::string(i.param.name); });

TEST_F(RouterTest, MessagesWithoutReceiverAreDropped) {
    AddBot(5);
    bots[5]->ClearStack();
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_NONE, 0, 0, 0);   // empty stack
    route.SendMessage(10, MSG_TIMER_UP, 77, 0, SCOPE_NONE, 0, 0, 0);  // no such bot
    route.SendMessage(0, MSG_TIMER_UP, 77, 0, SCOPE_NONE, 0, 0, 0);
    log.clear();
    Step(10);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(route.QueuedCount(), 0u);
}

TEST_F(RouterTest, PurgeRemovesOnlyScopedMessagesOfThatReceiver) {
    AddBot(5);
    AddBot(6);
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_STATE, 0, 0, 1);
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_STATE_OR_SUB, 0, 0, 2);
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_NONE, 0, 0, 3);
    route.SendMessage(10, MSG_TIMER_UP, 6, 0, SCOPE_STATE, 0, 0, 4);
    route.PurgeScopedMessages(5);
    EXPECT_EQ(route.QueuedCount(), 2u);
    log.clear();
    Step(10);
    EXPECT_EQ(Messages(), (Log{"msg 0/-1 #16:3", "msg -1/-1 #16:3", "msg 0/-1 #16:4", "msg -1/-1 #16:4"}));
}

TEST_F(RouterTest, PurgeDuringDeliveryKeepsTheWalkSound) {
    ScriptMachine& m = AddBot(5);
    // Handling the first due message purges the bot's scoped messages,
    // including the next one in the same walk.
    m.script = [](ScriptMachine&, int32_t kind, const Msg* msg, int32_t, int32_t) {
        if (kind == StateMachine::EVENT_MESSAGE && msg->data2 == 1) MsgRoute::Instance()->PurgeScopedMessages(5);
        return true;
    };
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_NONE, 0, 0, 1);
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_STATE, 0, 0, 2);
    route.SendMessage(10, MSG_TIMER_UP, 5, 0, SCOPE_NONE, 9, 0, 3);
    log.clear();
    Step(10);
    EXPECT_EQ(Messages(), (Log{"msg 0/-1 #16:1", "msg 0/-1 #16:3"}));
    EXPECT_EQ(route.QueuedCount(), 0u);
}

TEST_F(RouterTest, ImmediateMessageOutsideAnyWalkIsDeliveredInsideSend) {
    AddBot(5);
    log.clear();
    route.SendMessage(0, MSG_SEARCH_FAILURE, 5, 0, SCOPE_NONE, 0, 1, 0);
    EXPECT_EQ(Messages().size(), 2u);
    route.SendMessage(-5, MSG_SEARCH_FAILURE, 5, 0, SCOPE_NONE, 0, 1, 0);
    EXPECT_EQ(Messages().size(), 4u);
    EXPECT_EQ(route.QueuedCount(), 0u);  // nothing was queued
}

// A message sent at once from inside a handler used to re-enter the same
// machine in the middle of its handler and its change processing. It now
// arrives right after the walk that sent it, in sending order.
TEST_F(RouterTest, ImmediateMessageFromAHandlerWaitsForTheWalkToEnd) {
    ScriptMachine& m = AddBot(5);
    DriveTo(m, log, 0, -1);
    m.script = [](ScriptMachine& s, int32_t kind, const Msg* msg, int32_t state, int32_t) {
        if (kind == StateMachine::EVENT_UPDATE && state == 0) {
            s.SetState(1);
            MsgRoute::Instance()->SendMessage(0, MSG_SEARCH_SUCCESS, 5, 0, SCOPE_STATE, 0, 1, 11);
            MsgRoute::Instance()->SendMessage(0, MSG_SEARCH_SUCCESS, 5, 0, SCOPE_NONE, 0, 1, 12);
            EXPECT_EQ(MsgRoute::Instance()->WaitingCount(), 2u);
            return true;
        }
        return kind == StateMachine::EVENT_MESSAGE && msg && state == 1;
    };
    m.Update();
    // The change to state 1 was applied first, so the message scoped to the
    // old state is dropped and the unscoped one reaches state 1.
    EXPECT_EQ(log, (Log{"update 0/-1", "exit 0/-1", "enter 1/-1", "msg 1/-1 #4:12"}));
    EXPECT_EQ(route.WaitingCount(), 0u);
}

TEST_F(RouterTest, ImmediateMessageThatResetsTheBotDoesNotPullTheMachineAway) {
    ScriptMachine& m = AddBot(5);
    TestBot* bot = bots[5].get();
    std::weak_ptr<StateMachine> weak = Top(5);
    m.script = [bot](ScriptMachine& s, int32_t kind, const Msg* msg, int32_t, int32_t) {
        if (kind == StateMachine::EVENT_UPDATE) {
            MsgRoute::Instance()->SendMessage(0, MSG_SEARCH_FAILURE, 5, 0, SCOPE_NONE, 0, 1, 0);
            s.SetState(3);  // still applied on a live machine after the send
        }
        if (kind == StateMachine::EVENT_MESSAGE && msg->id == MSG_SEARCH_FAILURE) bot->OnReset();
        return true;
    };
    Top(5)->Update();
    EXPECT_EQ(bot->resets, 1);
    EXPECT_EQ(bot->StackSize(), 0u);
    EXPECT_TRUE(weak.expired());
}

TEST_F(RouterTest, MachinesAnsweringEachOtherAtOnceCannotHangAFrame) {
    ScriptMachine& a = AddBot(1, "A");
    ScriptMachine& b = AddBot(2, "B");
    int count = 0;
    auto bounce = [&count](uint16_t other) {
        return [&count, other](ScriptMachine&, int32_t kind, const Msg*, int32_t, int32_t) {
            if (kind == StateMachine::EVENT_MESSAGE) {
                ++count;
                MsgRoute::Instance()->SendMessage(0, MSG_TIMER_UP, other, 0, SCOPE_NONE, 0, 0, 0);
            }
            return true;
        };
    };
    a.script = bounce(2);
    b.script = bounce(1);
    route.SendMessage(0, MSG_TIMER_UP, 1, 0, SCOPE_NONE, 0, 0, 0);
    EXPECT_EQ(static_cast<size_t>(count), MsgRoute::kMaxAtOncePerFlush);
    EXPECT_EQ(route.WaitingCount(), 1u);
    EXPECT_EQ(MsgRoute::WalkDepth(), 0);
}

// ---------------------------------------------------------------------------
// The bot's machine stack

class StackTest : public RouterTest {
protected:
    std::shared_ptr<ScriptMachine> Make(const std::string& name, TestBot& bot) {
        return std::make_shared<ScriptMachine>(&bot, &log, name);
    }
};

TEST_F(StackTest, PlanRunsItsMachinesInTurnThenResets) {
    TestBot bot(9, "Ann");
    auto idle = Make("Idle", bot);
    bot.PushMachine(idle);
    auto a = Make("A", bot), b = Make("B", bot);
    bot.SetPlan({a, b});
    bot.ProcessStackRequests();
    EXPECT_EQ(bot.GetTop(), a);
    EXPECT_EQ(bot.StackSize(), 2u);  // on top of the running machine
    a->RequestNextInPlan();
    bot.ProcessStackRequests();
    EXPECT_EQ(bot.GetTop(), b);
    EXPECT_EQ(bot.StackSize(), 2u);
    b->RequestNextInPlan();
    bot.ProcessStackRequests();
    EXPECT_EQ(bot.resets, 1);
    EXPECT_TRUE(bot.GetPlan().empty());
}

TEST_F(StackTest, SecondPlanInOneFrameWins) {
    TestBot bot(9, "Ann");
    auto a = Make("A", bot), b = Make("B", bot);
    bot.SetPlan({a});
    bot.SetPlan({b});
    bot.ProcessStackRequests();
    EXPECT_EQ(bot.StackSize(), 1u);
    EXPECT_EQ(bot.GetTop(), b);
    ASSERT_EQ(bot.GetPlan().size(), 1u);
    EXPECT_EQ(bot.GetPlan()[0], b);
}

TEST_F(StackTest, AtMostTwentyRequestsPerUpdate) {
    TestBot bot(9, "Ann");
    int made = 0;
    // Each machine's enter asks to be replaced by a new one.
    std::function<std::shared_ptr<ScriptMachine>()> next = [&]() {
        auto m = Make("M" + std::to_string(made++), bot);
        m->script = [&](ScriptMachine& s, int32_t kind, const Msg*, int32_t state, int32_t) {
            if (kind == StateMachine::EVENT_ENTER && state == 0) s.ReplaceWith(next());
            return true;
        };
        return m;
    };
    bot.PushMachine(next());  // made 2: the pushed one and the replacement it asked for
    bot.ProcessStackRequests();
    EXPECT_EQ(made, 22);
    EXPECT_NE(bot.GetPendingOp(), AIGameObject::OP_NONE);
    EXPECT_EQ(bot.StackSize(), 1u);
}

TEST_F(StackTest, StackChangesPurgeScopedMessages) {
    auto& bot = *(bots[4] = std::make_unique<TestBot>(4, "Bo"));
    bot.PushMachine(Make("Old", bot));
    route.SendMessage(50, MSG_TIMER_UP, 4, 0, SCOPE_STATE_OR_SUB, 0, 0, 1);
    route.SendMessage(50, MSG_ATTACK_DELAY_OVER, 4, 0, SCOPE_NONE, 0, 0, 2);
    bot.GetTop()->ReplaceWith(Make("New", bot));
    bot.ProcessStackRequests();
    EXPECT_EQ(route.QueuedCount(), 1u);
    log.clear();
    Step(50);
    EXPECT_EQ(Messages(), (Log{"New msg 0/-1 #14:2", "New msg -1/-1 #14:2"}));
}

TEST(AIGameObject, OverlongNamesAreReplaced) {
    TestBot ok(1, std::string(63, 'a'));
    TestBot tooLong(2, std::string(64, 'a'));
    EXPECT_EQ(ok.GetObjectName(), std::string(63, 'a'));
    EXPECT_EQ(tooLong.GetObjectName(), "invalid_name");
}

}  // namespace
