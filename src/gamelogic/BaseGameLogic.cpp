#include "gamelogic/BaseGameLogic.h"

#include <algorithm>

#include "events/EventManager.h"

namespace GameLogicView {

BaseGameLogic::BaseGameLogic(GameRunner*) {}

BaseGameLogic::~BaseGameLogic() {
    m_views.clear();
    m_processes.DetachAll();
}

void BaseGameLogic::QueueEvent(std::shared_ptr<EventSystem::IEvent> event) {
    EventSystem::QueueEvent(std::move(event));
}

void BaseGameLogic::AddGameView(const std::shared_ptr<IGameView>& view) {
    if (!view) return;
    m_views.push_back(view);
    view->SetViewId(m_nextViewId);
    view->OnAttach();
    ++m_nextViewId;
}

void BaseGameLogic::RemoveGameView(int viewId) {
    m_views.erase(std::remove_if(m_views.begin(), m_views.end(),
                                 [viewId](const std::shared_ptr<IGameView>& v) { return v->GetViewId() == viewId; }),
                  m_views.end());
}

void BaseGameLogic::UpdateBase(int ms, bool runProcesses) {
    if (runProcesses) m_processes.UpdateProcesses(ms);
    EventSystem::ProcessEventQueue();
    // Views may be attached or removed while we walk (a joining machine takes
    // over a bot): walk a snapshot and skip views that left the list meanwhile.
    const std::vector<std::shared_ptr<IGameView>> snapshot = m_views;
    for (const auto& view : snapshot) {
        if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) continue;
        view->OnUpdate(ms);
    }
}

}  // namespace GameLogicView
