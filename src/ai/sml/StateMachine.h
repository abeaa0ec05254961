// The base of every bot behaviour: numbered states and substates, one handler
// that receives update, message, enter and exit events, and state changes that
// are requested during a handler and applied afterwards, at most 20 per event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct Msg;
class AIGameObject;

class StateMachine : public std::enable_shared_from_this<StateMachine> {
public:
    enum EventKind : int32_t {
        EVENT_UPDATE = 1,
        EVENT_MESSAGE = 2,
        EVENT_ENTER = 4,
        EVENT_EXIT = 5,
    };
    static constexpr int32_t kGlobal = -1;      // state of the global handler
    static constexpr int32_t kNoSubstate = -1;  // substate of a state handler
    static constexpr int kMaxChangesPerEvent = 20;

    StateMachine(AIGameObject* owner, std::string name);
    virtual ~StateMachine();

    StateMachine(const StateMachine&) = delete;
    StateMachine& operator=(const StateMachine&) = delete;

    // Both counts 0, state 0 without substate, nothing pending, accepting.
    void Reset();
    // Reset, the enter event for state 0, then the changes it asked for.
    void Initialize();
    // The update event, then the changes it asked for.
    void Update();
    // The message event with the message, then the changes it asked for.
    void ProcessMessage(const Msg* msg);

    // Record a change; a later request before it is applied overwrites it.
    // Ignored while exit handlers run.
    void SetState(int32_t state);
    void SetSubstate(int32_t substate);
    // Applies pending changes, at most kMaxChangesPerEvent; the rest wait.
    void ProcessStateChange();

    // Requests to the owner, applied at its next update.
    void RequestOwnerReset();
    void RequestNextInPlan();
    void ReplaceWith(std::shared_ptr<StateMachine> machine);

    AIGameObject* GetOwner() const { return m_owner; }
    const std::string& GetName() const { return m_name; }
    int32_t GetState() const { return m_state; }
    int32_t GetSubstate() const { return m_substate; }
    int32_t GetStateChangeCount() const { return m_stateChangeCount; }
    int32_t GetChangeCount() const { return m_changeCount; }
    bool IsChangePending() const { return m_pending; }

protected:
    // Receives one event for the handler addressed by (state, substate):
    // (current, current) the substate handler, (current, -1) the state
    // handler, (-1, -1) the global handler. True when it handled the event.
    virtual bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) = 0;

private:
    // Substate handler, then state handler, then global handler, until one
    // returns true.
    bool Cascade(int32_t kind, const Msg* msg);

    AIGameObject* m_owner;
    int32_t m_stateChangeCount = 0;
    int32_t m_changeCount = 0;
    int32_t m_state = 0;
    int32_t m_nextState = 0;
    int32_t m_substate = kNoSubstate;
    int32_t m_nextSubstate = 0;
    bool m_accepting = true;
    bool m_pending = false;
    std::string m_name;
};
