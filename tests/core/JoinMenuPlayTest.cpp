// The join menu in the real game on an offscreen window, with the real
// runner, view and joining network side on loopback: a stand-in host on
// 127.0.0.1 announces itself, the menu lists it, a click on the join button
// sends it the connection attempt; the host never answers, the attempt times
// out and the menus stay usable: the host can be found and chosen again.
// Going back from the join menu ends the network side as well.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/GameRunner.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gameviews/HumanGameView.h"
#include "networking/EventRegistry.h"
#include "networking/NetworkClientLogic.h"
#include "networking/NetworkManager.h"
#include "networking/NetworkSettings.h"
#include "networking/Packet.h"
#include "platform/InputDevices.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "screens/Button.h"
#include "screens/JoinMenuScreen.h"
#include "screens/MenuScreens.h"
#include "screens/MouseCursor.h"
#include "support/Harness.h"

using namespace GameLogicView;

namespace {

// A host that announces itself and records what reaches it, and answers nothing.
class SilentHost {
public:
    explicit SilentHost(const char* ip) {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        Networking::MakeAddress(ip, 0, a);
        bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        socklen_t len = sizeof(a);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
    }
    ~SilentHost() { close(m_fd); }
    uint16_t Port() const { return m_port; }
    void Announce(const char* to, uint16_t port, uint8_t mode, uint8_t level, uint8_t players) const {
        Networking::Packet p(0);
        p.AddIndexedEvent(std::make_shared<Networking::EventServerBroadcast>("Mirav", mode, level, players));
        p.WriteHeader();
        sockaddr_in at{};
        Networking::MakeAddress(to, port, at);
        sendto(m_fd, p.Data(), p.DatagramSize(), 0, reinterpret_cast<sockaddr*>(&at), sizeof(at));
    }
    // Whether a connection attempt arrived by now (other datagrams are skipped).
    bool HeardAttempt() const {
        uint8_t buf[2048];
        pollfd p{m_fd, POLLIN, 0};
        while (poll(&p, 1, 0) > 0) {
            const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            Networking::Packet packet(0);
            if (!packet.ReadHeader(buf, static_cast<uint32_t>(n))) continue;
            packet.ResetCursor();
            if (packet.IsMovePacket()) continue;
            for (int i = 0; i < packet.eventCount; ++i) {
                auto e = packet.ReadEvent();
                if (!e) break;
                if (dynamic_cast<const Networking::EventClientConnect*>(e.get())) return true;
            }
        }
        return false;
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

class JoinMenuPlay : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 1);
        TestSupport::ResetSingletons();
        std::string error;
        ASSERT_TRUE(Platform::InitVideo(&error)) << error;
        ASSERT_TRUE(window.Create("join menu test", 1024, 768, &error)) << error;
        Platform::InputDevices::Instance().ReleaseAll();
        GlobalGameState::Create();
        // This machine on 127.0.0.2, on the port the stand-in host announces from.
        Networking::NetworkSettings s;
        s.port = host.Port();
        s.bindAddress = "127.0.0.2";
        s.announcementAddress = "127.0.0.2";
        Networking::UseNetworkSettings(s);
        runner = std::make_unique<GameRunner>();
        runner->CreateLogicAndView(&window);
    }
    void TearDown() override {
        runner.reset();
        Pump();
        Platform::InputDevices::Instance().ReleaseAll();
        window.Destroy();
        TestSupport::ResetSingletons();
    }
    void Pump() {
        Platform::SdlMessageSource source;
        Platform::Message m;
        while (source.Take(m)) {
        }
    }
    void Frame(int ms = 16) {
        Pump();
        runner->Update(ms);
    }
    template <class F>
    bool Until(F done, int maxFrames, int ms = 16) {
        for (int i = 0; i < maxFrames; ++i) {
            if (done()) return true;
            Frame(ms);
        }
        return done();
    }
    HumanGameView& View() { return *static_cast<HumanGameView*>(runner->GetHumanView().get()); }
    IScreen* Top() { return View().GetScreens().empty() ? nullptr : View().GetScreens().back().get(); }
    JoinMenuScreen* JoinMenu() { return dynamic_cast<JoinMenuScreen*>(Top()); }
    std::shared_ptr<Button> TopButton(const std::string& name) {
        auto* menu = dynamic_cast<MenuScreen*>(Top());
        return menu ? menu->GetButtons().FindButton(name) : nullptr;
    }
    // The mouse on the top menu's button, the left button pressed and let go.
    void Click(const std::string& name) {
        auto b = TopButton(name);
        ASSERT_TRUE(b) << name;
        GetMouseCursor()->SetPosition(b->GetX(), b->GetY());
        Frame();
        Platform::PostLeftButton(true);
        Frame();
        Platform::PostLeftButton(false);
        Frame();
        Frame();
    }
    // From the main menu to a join menu that lists the stand-in host.
    void FindTheHost() {
        ASSERT_TRUE(Until([&] { return TopButton("TextJoin") != nullptr; }, 200)) << "no main menu";
        Click("TextJoin");
        ASSERT_TRUE(Until([&] { return JoinMenu() != nullptr; }, 20));
        EXPECT_TRUE(TopButton("JoinGame")->IsStatic());
        host.Announce("127.0.0.2", host.Port(), 1, 1, 2);
        ASSERT_TRUE(Until([&] { return !JoinMenu()->GetServerList().Rows().empty(); }, 50));
        Frame();
        const auto& row = JoinMenu()->GetServerList().Rows()[0];
        EXPECT_EQ(row.name, "Mirav");
        EXPECT_EQ(row.address.sin_addr.s_addr, htonl(0x7F000001));
        EXPECT_EQ(ntohs(row.address.sin_port), host.Port());
        EXPECT_EQ(JoinMenu()->GetServerList().TextsOf(0).level, "Canyon");
        EXPECT_FALSE(TopButton("JoinGame")->IsStatic());
    }

    SilentHost host{"127.0.0.1"};
    Platform::Window window;
    std::unique_ptr<GameRunner> runner;
};

}  // namespace

TEST_F(JoinMenuPlay, AnnouncedHostIsListedJoinedAndATimedOutJoinLeavesTheMenusUsable) {
    FindTheHost();
    EXPECT_TRUE(dynamic_cast<NetworkClientLogic*>(runner->GetLogic().get()));
    // Back to the main menu: the network side is gone with the join menu.
    Click("TextBack");
    ASSERT_TRUE(Until([&] { return TopButton("TextJoin") != nullptr; }, 20));
    EXPECT_FALSE(dynamic_cast<NetworkClientLogic*>(runner->GetLogic().get()));
    EXPECT_EQ(Networking::NetworkManager::Instance(), nullptr);
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kMultiplayer), 0);

    FindTheHost();
    Click("JoinGame");
    ASSERT_TRUE(Until([&] { return host.HeardAttempt(); }, 50)) << "no connection attempt reached the host";
    // The view waits for the game under its loading screen.
    EXPECT_EQ(JoinMenu(), nullptr);
    EXPECT_FALSE(View().IsMenuMode());

    // Nobody answers: after the silence limit the network game ends and the
    // main menu is back, with a game of its own behind it.
    ASSERT_TRUE(Until([&] { return TopButton("TextJoin") != nullptr; }, 200, 100)) << "no way back to the menus";
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kMultiplayer), 0);
    EXPECT_FALSE(dynamic_cast<NetworkClientLogic*>(runner->GetLogic().get()));

    // The same host is found and chosen again.
    FindTheHost();
    Click("JoinGame");
    EXPECT_TRUE(Until([&] { return host.HeardAttempt(); }, 50)) << "no second connection attempt";
}
