// Owns the logic and the views at the top level and drives one frame:
// deliver the queue, update the logic, carry out a pending change of network
// role, render the human view.
#pragma once

#include <functional>
#include <memory>

#include "events/EventManager.h"

namespace GameLogicView {
class BaseGameLogic;
class IGameView;
class NetworkServerView;
}  // namespace GameLogicView

namespace Platform {
class Window;
}

class GameRunner {
public:
    GameRunner();
    ~GameRunner();
    GameRunner(const GameRunner&) = delete;
    GameRunner& operator=(const GameRunner&) = delete;

    // Builds the game logic, then the player's view on the window (none: a
    // view that draws nothing), and attaches the view. The logic comes
    // first: the view's construction asks it to start a match.
    std::shared_ptr<GameLogicView::BaseGameLogic> CreateLogicAndView(Platform::Window* window = nullptr);
    // The same with a view made by the caller after the logic exists.
    std::shared_ptr<GameLogicView::BaseGameLogic> CreateLogicAndView(
        const std::function<std::shared_ptr<GameLogicView::IGameView>()>& makeView);
    // The same with a view built by the caller beforehand (tests, headless runs).
    std::shared_ptr<GameLogicView::BaseGameLogic> CreateLogicAndView(std::shared_ptr<GameLogicView::IGameView> humanView);

    void Update(int ms);

    bool OnSetupMultiplayer(const EventSystem::IEvent& event);
    bool OnShutDownNetLogic(const EventSystem::IEvent& event);
    bool OnShutDownNetView(const EventSystem::IEvent& event);

    const std::shared_ptr<GameLogicView::BaseGameLogic>& GetLogic() const { return m_logic; }
    const std::shared_ptr<GameLogicView::NetworkServerView>& GetServerView() const { return m_serverView; }
    const std::shared_ptr<GameLogicView::IGameView>& GetHumanView() const { return m_humanView; }

private:
    std::shared_ptr<GameLogicView::IGameView> m_humanView;
    std::shared_ptr<GameLogicView::NetworkServerView> m_serverView;
    std::shared_ptr<GameLogicView::BaseGameLogic> m_logic;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    bool m_setupPending = false;
    bool m_shutDownNetLogicPending = false;
    bool m_serverViewPresent = false;
    bool m_carryingOut = false;  // set only while Update carries out pending changes
};
