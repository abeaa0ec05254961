#include "core/GameRunner.h"

#include "ai/AIBotDirector.h"
#include "gamelogic/GlobalGameState.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/MiravGameLogic.h"
#include "gameviews/HumanGameView.h"
#include "networking/NetworkClientLogic.h"
#include "networking/NetworkManager.h"
#include "networking/NetworkServerView.h"

using namespace GameLogicView;

GameRunner::GameRunner() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    // The game's logics play with bots.
    AI::InstallBotDirector();
    m_registry->Register(EventTypes::EventSetupMultiplayer::GetStaticType(), this, &GameRunner::OnSetupMultiplayer);
    m_registry->Register(EventTypes::EventShutDownNetLogic::GetStaticType(), this, &GameRunner::OnShutDownNetLogic);
    m_registry->Register(EventTypes::EventShutDownNetView::GetStaticType(), this, &GameRunner::OnShutDownNetView);
}

GameRunner::~GameRunner() {
    // Unsubscribe first, then let go of the logic (and its bot views), the
    // server view and last the human view.
    m_registry.reset();
    m_logic.reset();
    m_serverView.reset();
    m_humanView.reset();
}

std::shared_ptr<BaseGameLogic> GameRunner::CreateLogicAndView(Platform::Window* window) {
    return CreateLogicAndView([window]() -> std::shared_ptr<IGameView> { return std::make_shared<HumanGameView>(window); });
}

std::shared_ptr<BaseGameLogic> GameRunner::CreateLogicAndView(const std::function<std::shared_ptr<IGameView>()>& makeView) {
    m_logic = std::make_shared<MiravGameLogic>(this);
    m_humanView = makeView();
    if (m_humanView) m_logic->AddGameView(m_humanView);
    return m_logic;
}

std::shared_ptr<BaseGameLogic> GameRunner::CreateLogicAndView(std::shared_ptr<IGameView> humanView) {
    auto logic = std::make_shared<MiravGameLogic>(this);
    m_humanView = std::move(humanView);
    logic->AddGameView(m_humanView);
    m_logic = logic;
    return m_logic;
}

void GameRunner::Update(int ms) {
    EventSystem::ProcessEventQueue();
    if (m_logic) m_logic->OnUpdate(ms);
    // Role changes requested during this frame's deliveries are carried out
    // here, once, however often they were requested.
    m_carryingOut = true;
    if (m_setupPending) {
        EventTypes::EventSetupMultiplayer e;
        OnSetupMultiplayer(e);
        m_setupPending = false;
    }
    if (m_shutDownNetLogicPending) {
        EventTypes::EventShutDownNetLogic e;
        OnShutDownNetLogic(e);
        m_shutDownNetLogicPending = false;
    }
    m_carryingOut = false;
    if (m_humanView) m_humanView->OnRender(ms);
}

bool GameRunner::OnSetupMultiplayer(const EventSystem::IEvent&) {
    if (!m_carryingOut) {
        // Delivered from the queue: remember it, act between update and render.
        m_setupPending = true;
        return true;
    }
    if (GlobalGameState::Instance()->GetFlag(3) != 0) {
        m_logic = std::make_shared<NetworkClientLogic>(this);
        if (m_humanView) m_logic->AddGameView(m_humanView);
        return true;
    }
    if (!m_serverViewPresent) {
        m_serverView = std::make_shared<NetworkServerView>(m_logic.get());
        m_logic->AddGameView(m_serverView);
        m_serverViewPresent = true;
    } else {
        if (auto* network = Networking::NetworkManager::Instance()) network->MarkPeersAwaitingJoin();
        if (m_serverView) m_serverView->SetIgnoreNextJoinConfirmation(true);
    }
    EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(0));
    return true;
}

bool GameRunner::OnShutDownNetLogic(const EventSystem::IEvent&) {
    if (!m_carryingOut) {
        m_shutDownNetLogicPending = true;
        return true;
    }
    m_logic = std::make_shared<MiravGameLogic>(this);
    if (m_humanView) m_logic->AddGameView(m_humanView);
    return true;
}

bool GameRunner::OnShutDownNetView(const EventSystem::IEvent&) {
    // Only a host holds a server view; without one there is nothing to remove.
    if (m_serverView && m_logic) m_logic->RemoveGameView(m_serverView->GetViewId());
    m_serverView.reset();
    m_serverViewPresent = false;
    return true;
}
