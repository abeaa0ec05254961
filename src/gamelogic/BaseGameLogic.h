// The base of every game logic: its process list, its state number and its
// attached views, and the logic frame (processes, queue delivery, views).
#pragma once

#include <memory>
#include <vector>

#include "gamelogic/GameView.h"
#include "processes/Process.h"

class GameRunner;
namespace EventSystem {
class IEvent;
}

namespace GameLogicView {

class BaseGameLogic {
public:
    explicit BaseGameLogic(GameRunner* runner);
    virtual ~BaseGameLogic();
    BaseGameLogic(const BaseGameLogic&) = delete;
    BaseGameLogic& operator=(const BaseGameLogic&) = delete;

    virtual void OnUpdate(int ms) = 0;
    virtual void LoadLevel() {}
    virtual void QueueEvent(std::shared_ptr<EventSystem::IEvent> event);

    void AddGameView(const std::shared_ptr<IGameView>& view);
    void RemoveGameView(int viewId);
    void UpdateBase(int ms, bool runProcesses);

    ProcessSystem::ProcessManager& GetProcessManager() { return m_processes; }
    const std::vector<std::shared_ptr<IGameView>>& GetViews() const { return m_views; }
    int GetState() const { return m_state; }
    void SetState(int state) { m_state = state; }

protected:
    ProcessSystem::ProcessManager m_processes;
    int m_state = 0;

private:
    std::vector<std::shared_ptr<IGameView>> m_views;
    int m_nextViewId = 1;
};

}  // namespace GameLogicView
