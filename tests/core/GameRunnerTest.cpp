#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "core/GameRunner.h"
#include "gamelogic/GlobalGameState.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/MiravGameLogic.h"
#include "networking/NetworkClientLogic.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "networking/NetworkServerView.h"
#include "networking/ClientEventHandler.h"
#include "networking/ServerEventHandler.h"
#include "support/Harness.h"

using namespace GameLogicView;

namespace {

// Stands in for the player's view: lets a test look at the runner at the
// moments the real view would be updated and rendered.
class ProbeView : public IGameView {
public:
    void OnAttach() override {}
    void OnUpdate(int) override {
        if (onUpdate) onUpdate();
    }
    void OnRender(int) override {
        if (onRender) onRender();
    }
    std::function<void()> onUpdate, onRender;
};

class GameRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        // Managers made here listen on a loopback port of their own.
        Networking::NetworkSettings loopback;
        loopback.port = 0;
        loopback.bindAddress = "127.0.0.1";
        loopback.announcementAddress = "127.0.0.1";
        Networking::UseNetworkSettings(loopback);
    }
    void TearDown() override { TestSupport::ResetSingletons(); }
};

}  // namespace

TEST_F(GameRunnerTest, JoiningSetupHappensAfterUpdateBeforeRender) {
    GameRunner runner;
    auto view = std::make_shared<ProbeView>();
    auto first = runner.CreateLogicAndView(view);
    EXPECT_EQ(view->GetViewId(), 1);
    GlobalGameState::Instance()->SetFlag(3, 1);

    bool clientAtUpdate = true, clientAtRender = false;
    view->onUpdate = [&] { clientAtUpdate = dynamic_cast<NetworkClientLogic*>(runner.GetLogic().get()) != nullptr; };
    view->onRender = [&] { clientAtRender = dynamic_cast<NetworkClientLogic*>(runner.GetLogic().get()) != nullptr; };
    // Requested twice in one frame: carried out once.
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    runner.Update(16);
    EXPECT_FALSE(clientAtUpdate);
    EXPECT_TRUE(clientAtRender);
    EXPECT_NE(runner.GetLogic(), first);
    ASSERT_EQ(runner.GetLogic()->GetViews().size(), 1u);  // only the human view, new id from 1
    EXPECT_EQ(view->GetViewId(), 1);

    // Back to a local game the same way.
    auto client = runner.GetLogic();
    EventSystem::QueueEvent(new EventTypes::EventShutDownNetLogic);
    bool mirav = false;
    view->onRender = [&] { mirav = dynamic_cast<MiravGameLogic*>(runner.GetLogic().get()) != nullptr; };
    runner.Update(16);
    EXPECT_TRUE(mirav);
    EXPECT_NE(runner.GetLogic(), client);
}

TEST_F(GameRunnerTest, HostSetupAddsOneServerViewAndQueuesInitialise) {
    GameRunner runner;
    auto view = std::make_shared<ProbeView>();
    runner.CreateLogicAndView(view);
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventUpdateInitializeGameLogic>();
    // A host manager on a loopback port of its own, machines in slots 0 and 2.
    Networking::NetworkSettings loopback;
    loopback.port = 0;
    loopback.bindAddress = "127.0.0.1";
    Networking::UseNetworkSettings(loopback);
    Networking::NetworkManager::SetHostFlag(true);
    Networking::NetworkManager* network = Networking::NetworkManager::CreateInstance(nullptr);
    struct DestroyNetwork {
        ~DestroyNetwork() { Networking::NetworkManager::DestroyInstance(); }
    } destroyNetwork;
    sockaddr_in peer{};
    ASSERT_TRUE(Networking::MakeAddress("127.0.0.1", 9, peer));
    network->OpenPeer(0, peer);
    network->OpenPeer(2, peer);

    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    bool serverAtRender = false;
    view->onRender = [&] { serverAtRender = runner.GetServerView() != nullptr; };
    runner.Update(16);
    EXPECT_TRUE(serverAtRender);
    EXPECT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameLogic>(), 0u);  // next frame
    auto server = runner.GetServerView();
    ASSERT_TRUE(server);
    EXPECT_EQ(runner.GetLogic()->GetViews().size(), 2u);
    runner.Update(16);
    ASSERT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameLogic>(), 1u);
    EXPECT_EQ(rec.Of<EventTypes::EventUpdateInitializeGameLogic>()[0]->GetPayload()->menuBackdrop, 0);
    EXPECT_GT(server->GetUpdateCount(), 0);

    // A second set-up keeps the view, resets the peers and queues initialise again.
    server->SetIgnoreNextJoinConfirmation(false);
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    runner.Update(16);
    // Set again by the set-up; the host's own next confirmation clears it.
    EXPECT_TRUE(server->GetIgnoreNextJoinConfirmation());
    runner.Update(16);
    EXPECT_EQ(runner.GetServerView(), server);
    EXPECT_EQ(std::count(runner.GetLogic()->GetViews().begin(), runner.GetLogic()->GetViews().end(),
                         std::static_pointer_cast<IGameView>(server)), 1);
    EXPECT_TRUE(network->GetPeer(0)->awaitingJoin);
    EXPECT_EQ(network->GetPeer(1), nullptr);
    EXPECT_TRUE(network->GetPeer(2)->awaitingJoin);
    EXPECT_EQ(rec.Count<EventTypes::EventUpdateInitializeGameLogic>(), 2u);

    // Shutting the server view down takes effect at once. (The initialise
    // requests started a game, so bot views are attached too.)
    auto holds = [&](const std::shared_ptr<IGameView>& v) {
        const auto& views = runner.GetLogic()->GetViews();
        return std::find(views.begin(), views.end(), v) != views.end();
    };
    const int updates = server->GetUpdateCount();
    EventSystem::QueueEvent(new EventTypes::EventShutDownNetView);
    runner.Update(16);
    EXPECT_EQ(runner.GetServerView(), nullptr);
    EXPECT_FALSE(holds(server));
    EXPECT_TRUE(holds(view));
    EXPECT_EQ(server->GetUpdateCount(), updates);
    // Without a server view it is harmless.
    const size_t after = runner.GetLogic()->GetViews().size();
    EXPECT_TRUE(runner.OnShutDownNetView(EventTypes::EventShutDownNetView()));
    EXPECT_EQ(runner.GetLogic()->GetViews().size(), after);
}

TEST_F(GameRunnerTest, DestroyingTheRunnerUnsubscribesFirst) {
    {
        GameRunner runner;
        runner.CreateLogicAndView(std::make_shared<ProbeView>());
        EXPECT_TRUE(EventSystem::EventManager::Instance().HasListeners(EventTypes::EventSetupMultiplayer::GetStaticType()));
    }
    EXPECT_FALSE(EventSystem::EventManager::Instance().HasListeners(EventTypes::EventSetupMultiplayer::GetStaticType()));
    EXPECT_FALSE(EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer));
}

TEST_F(GameRunnerTest, MultiplayerSetUpsAndShutDownsMakeAndEndTheProcessManager) {
    using Networking::NetworkManager;
    GameRunner runner;
    auto view = std::make_shared<ProbeView>();
    runner.CreateLogicAndView(view);

    // Joining: the client logic brings the manager in the joining role; a
    // second set-up's logic takes it over, and the one it replaces must not
    // end it.
    GlobalGameState::Instance()->SetFlag(3, 1);
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    runner.Update(16);
    NetworkManager* joining = NetworkManager::Instance();
    ASSERT_TRUE(joining);
    EXPECT_FALSE(joining->IsHost());
    EXPECT_TRUE(dynamic_cast<Networking::ClientEventHandler*>(joining->GetHandler()));
    auto firstClient = runner.GetLogic();
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    runner.Update(16);
    EXPECT_NE(runner.GetLogic(), firstClient);
    firstClient.reset();
    ASSERT_EQ(NetworkManager::Instance(), joining);
    runner.Update(16);
    EventSystem::QueueEvent(new EventTypes::EventShutDownNetLogic);
    runner.Update(16);
    EXPECT_EQ(NetworkManager::Instance(), nullptr);
    EXPECT_TRUE(dynamic_cast<MiravGameLogic*>(runner.GetLogic().get()));

    // Hosting: the server view brings the manager in the host role with the
    // logic in its handler; shutting the view down ends it.
    GlobalGameState::Instance()->SetFlag(3, 0);
    EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer);
    runner.Update(16);
    NetworkManager* hosting = NetworkManager::Instance();
    ASSERT_TRUE(hosting);
    EXPECT_TRUE(hosting->IsHost());
    auto* handler = dynamic_cast<Networking::ServerEventHandler*>(hosting->GetHandler());
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->GetLogic(), runner.GetLogic().get());
    for (int i = 0; i < 5; ++i) runner.Update(16);
    EventSystem::QueueEvent(new EventTypes::EventShutDownNetView);
    runner.Update(16);
    EXPECT_EQ(NetworkManager::Instance(), nullptr);
    runner.Update(16);
}
