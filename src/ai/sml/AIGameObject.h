// What a bot thinks with: a stack of behaviour machines whose top one runs,
// one pending stack request applied at the bot's next update, and a plan of
// machines run one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class StateMachine;

class AIGameObject {
public:
    enum StackOp : int32_t {
        OP_NONE = 0,
        OP_REPLACE_TOP = 2,
        OP_PUSH = 5,
        OP_NEXT_IN_PLAN = 7,
        OP_RESET = 8,
    };
    static constexpr int kMaxRequestsPerUpdate = 20;
    static constexpr size_t kMaxNameLength = 63;

    AIGameObject(uint16_t actorId, const std::string& name);
    virtual ~AIGameObject();

    AIGameObject(const AIGameObject&) = delete;
    AIGameObject& operator=(const AIGameObject&) = delete;

    virtual void OnReset() = 0;

    // Stores the request, replacing one not yet applied.
    void RequestStackOp(int32_t op, std::shared_ptr<StateMachine> machine);
    // Copies the plan, puts its cursor on the first machine and requests a
    // push of that machine.
    void SetPlan(const std::vector<std::shared_ptr<StateMachine>>& plan);
    // Pushes and initialises at once (not a request).
    void PushMachine(std::shared_ptr<StateMachine> machine);
    // Removes every machine, top first, telling them nothing.
    void ClearStack();
    std::shared_ptr<StateMachine> GetTop() const;
    // Applies pending requests, at most kMaxRequestsPerUpdate.
    void ProcessStackRequests();

    uint16_t GetActorId() const { return m_actorId; }
    const std::string& GetObjectName() const { return m_name; }
    size_t StackSize() const { return m_stack.size(); }
    const std::vector<std::shared_ptr<StateMachine>>& GetStack() const { return m_stack; }
    const std::vector<std::shared_ptr<StateMachine>>& GetPlan() const { return m_plan; }
    size_t GetPlanCursor() const { return m_planCursor; }
    int32_t GetPendingOp() const { return m_pendingOp; }

private:
    void AdvancePlan();
    void ReplaceTop(std::shared_ptr<StateMachine> machine);

    uint16_t m_actorId;
    std::string m_name;
    std::vector<std::shared_ptr<StateMachine>> m_stack;  // top is the back
    int32_t m_pendingOp = OP_NONE;
    std::shared_ptr<StateMachine> m_pendingMachine;
    std::vector<std::shared_ptr<StateMachine>> m_plan;
    size_t m_planCursor = 0;
};
