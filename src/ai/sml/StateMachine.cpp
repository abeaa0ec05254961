#include "ai/sml/StateMachine.h"

#include <utility>

#include "ai/sml/AIGameObject.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"

StateMachine::StateMachine(AIGameObject* owner, std::string name) : m_owner(owner), m_name(std::move(name)) {
    Reset();
}

StateMachine::~StateMachine() = default;

void StateMachine::Reset() {
    m_stateChangeCount = 0;
    m_changeCount = 0;
    m_state = 0;
    m_substate = kNoSubstate;
    m_nextState = 0;
    m_nextSubstate = 0;
    m_pending = false;
    m_accepting = true;
}

bool StateMachine::Cascade(int32_t kind, const Msg* msg) {
    if (m_substate >= 0 && HandleStateEvent(kind, msg, m_state, m_substate)) return true;
    if (HandleStateEvent(kind, msg, m_state, kNoSubstate)) return true;
    if (HandleStateEvent(kind, msg, kGlobal, kNoSubstate)) return true;
    // The delayed change requests are understood by every machine; a machine
    // whose own handlers did not take them gets the common meaning.
    if (kind == EVENT_MESSAGE && msg) {
        if (msg->id == MSG_CHANGE_STATE_DELAYED) {
            SetState(msg->data2);
            return true;
        }
        if (msg->id == MSG_CHANGE_SUBSTATE_DELAYED) {
            SetSubstate(msg->data2);
            return true;
        }
    }
    return false;
}

// While a handler runs, its owner may drop this machine (a reset, a cleared
// stack): a machine held by shared ownership keeps itself alive to the end
// of the event, and messages sent "at once" wait until the walk is over.
void StateMachine::Initialize() {
    std::shared_ptr<StateMachine> self = weak_from_this().lock();
    MsgRoute::WalkGuard walk;
    Reset();
    Cascade(EVENT_ENTER, nullptr);
    ProcessStateChange();
}

void StateMachine::Update() {
    std::shared_ptr<StateMachine> self = weak_from_this().lock();
    MsgRoute::WalkGuard walk;
    Cascade(EVENT_UPDATE, nullptr);
    ProcessStateChange();
}

void StateMachine::ProcessMessage(const Msg* msg) {
    std::shared_ptr<StateMachine> self = weak_from_this().lock();
    MsgRoute::WalkGuard walk;
    Cascade(EVENT_MESSAGE, msg);
    ProcessStateChange();
}

void StateMachine::SetState(int32_t state) {
    if (!m_accepting) return;
    m_nextState = state;
    m_nextSubstate = kNoSubstate;
    m_pending = true;
}

void StateMachine::SetSubstate(int32_t substate) {
    if (!m_accepting) return;
    m_nextState = m_state;
    m_nextSubstate = substate;
    m_pending = true;
}

void StateMachine::ProcessStateChange() {
    for (int pass = 0; pass < kMaxChangesPerEvent && m_pending; ++pass) {
        m_accepting = false;
        const bool stateChange = m_nextSubstate < 0;
        if (m_substate > 0) HandleStateEvent(EVENT_EXIT, nullptr, m_state, m_substate);
        if (stateChange) HandleStateEvent(EVENT_EXIT, nullptr, m_state, kNoSubstate);
        m_state = m_nextState;
        m_substate = m_nextSubstate;
        ++m_changeCount;
        if (stateChange) ++m_stateChangeCount;
        m_pending = false;
        m_accepting = true;
        HandleStateEvent(EVENT_ENTER, nullptr, m_state, stateChange ? kNoSubstate : m_substate);
    }
}

void StateMachine::RequestOwnerReset() {
    if (m_owner) m_owner->RequestStackOp(AIGameObject::OP_RESET, nullptr);
}

void StateMachine::RequestNextInPlan() {
    if (m_owner) m_owner->RequestStackOp(AIGameObject::OP_NEXT_IN_PLAN, nullptr);
}

void StateMachine::ReplaceWith(std::shared_ptr<StateMachine> machine) {
    if (m_owner) m_owner->RequestStackOp(AIGameObject::OP_REPLACE_TOP, std::move(machine));
}
