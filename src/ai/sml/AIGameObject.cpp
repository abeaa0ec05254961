#include "ai/sml/AIGameObject.h"

#include <utility>

#include "ai/sml/MsgRoute.h"
#include "ai/sml/StateMachine.h"

AIGameObject::AIGameObject(uint16_t actorId, const std::string& name)
    : m_actorId(actorId), m_name(name.size() > kMaxNameLength ? std::string("invalid_name") : name) {}

AIGameObject::~AIGameObject() = default;

void AIGameObject::RequestStackOp(int32_t op, std::shared_ptr<StateMachine> machine) {
    m_pendingOp = op;
    m_pendingMachine = std::move(machine);
}

void AIGameObject::SetPlan(const std::vector<std::shared_ptr<StateMachine>>& plan) {
    if (&plan != &m_plan) m_plan = plan;
    m_planCursor = 0;
    RequestStackOp(OP_PUSH, m_plan.empty() ? nullptr : m_plan.front());
}

void AIGameObject::PushMachine(std::shared_ptr<StateMachine> machine) {
    if (!machine) return;
    m_stack.push_back(machine);
    machine->Initialize();
}

void AIGameObject::ClearStack() {
    // Take the machines out first, so a machine's destruction that reaches
    // back into this object finds a consistent (empty) stack.
    std::vector<std::shared_ptr<StateMachine>> old;
    old.swap(m_stack);
    while (!old.empty()) old.pop_back();
}

std::shared_ptr<StateMachine> AIGameObject::GetTop() const {
    return m_stack.empty() ? nullptr : m_stack.back();
}

void AIGameObject::ReplaceTop(std::shared_ptr<StateMachine> machine) {
    if (!m_stack.empty()) m_stack.pop_back();
    PushMachine(std::move(machine));
}

void AIGameObject::AdvancePlan() {
    ++m_planCursor;
    if (m_planCursor >= m_plan.size()) {
        ClearStack();
        OnReset();
        m_plan.clear();
        m_planCursor = 0;
        return;
    }
    ReplaceTop(m_plan[m_planCursor]);
}

void AIGameObject::ProcessStackRequests() {
    MsgRoute::WalkGuard walk;
    for (int pass = 0; pass < kMaxRequestsPerUpdate && m_pendingOp != OP_NONE; ++pass) {
        const int32_t op = m_pendingOp;
        std::shared_ptr<StateMachine> machine = std::move(m_pendingMachine);
        m_pendingOp = OP_NONE;
        m_pendingMachine.reset();

        // A message tied to a state of the old top machine must not reach
        // the machine that takes its place.
        if (op == OP_REPLACE_TOP || op == OP_PUSH || op == OP_NEXT_IN_PLAN || op == OP_RESET) {
            if (MsgRoute* route = MsgRoute::Instance()) route->PurgeScopedMessages(m_actorId);
        }
        switch (op) {
            case OP_REPLACE_TOP: ReplaceTop(std::move(machine)); break;
            case OP_PUSH: PushMachine(std::move(machine)); break;
            case OP_NEXT_IN_PLAN: AdvancePlan(); break;
            case OP_RESET: OnReset(); break;
            default: break;
        }
    }
}
