// A view of the logic (the human player's view, a bot's view, the host's
// network view): attached to a logic, updated each logic frame.
#pragma once

namespace GameLogicView {

class IGameView {
public:
    virtual ~IGameView() = default;
    virtual void OnAttach() = 0;
    virtual void OnUpdate(int ms) = 0;
    virtual void OnRender(int ms) = 0;

    int GetViewId() const { return m_viewId; }
    void SetViewId(int id) { m_viewId = id; }

private:
    int m_viewId = -1;  // -1 until attached
};

}  // namespace GameLogicView
