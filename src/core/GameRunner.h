// Owns the logic and the views at the top level and drives one frame:
// deliver the queue, update the logic, carry out a pending change of network
// role, render the human view.
#pragma once

#include <memory>

#include "events/EventManager.h"

namespace GameLogicView {
class BaseGameLogic;
class IGameView;
class NetworkServerView;
}  // namespace GameLogicView

class GameRunner {
public:
    GameRunner();
    ~GameRunner();
    GameRunner(const GameRunner&) = delete;
    GameRunner& operator=(const GameRunner&) = delete;

    // Builds the game logic and the player's view and attaches the view.
    std::shared_ptr<GameLogicView::BaseGameLogic> CreateLogicAndView();
    // The same with a view built by the caller (tests, headless runs).
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
