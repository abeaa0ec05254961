// The roles on loopback: what a host lets through from joined machines and
// strangers, slots and refusals, announcements and the joining machine's
// side of the handshake.
#include <gtest/gtest.h>

#include <thread>

#include "NetTestSupport.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "networking/ClientEventHandler.h"
#include "networking/Connection.h"
#include "networking/NetworkClientLogic.h"
#include "networking/NetworkManager.h"
#include "networking/Packet.h"
#include "networking/ServerEventHandler.h"
#include "support/Harness.h"

using namespace Networking;
using namespace NetTest;
using Geometry::Quaternion;
using Geometry::Vector3;
using GameLogicView::GlobalGameState;

namespace {

using EventPtr = std::shared_ptr<EventSystem::IEvent>;

// One datagram as a machine would send it.
Bytes Datagram(uint8_t sender, uint16_t id, const EventPtr& event, bool reliable = false) {
    Packet p(sender);
    p.AddIndexedEvent(event);
    p.reliable = reliable ? 1 : 0;
    p.id = id;
    p.WriteHeader();
    return Bytes(p.Data(), p.Data() + p.DatagramSize());
}

EventPtr Move(int16_t actor) { return std::make_shared<EventTypes::EventCommandActorMove>(actor, Vector3(1, 0, 0)); }

// Lets the host read what loopback has for it.
void Pump(NetworkManager& m, int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        m.ReceivePackets();
    }
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        host = std::make_unique<NetworkManager>(true, Loopback(), &incoming);
        auto h = std::make_unique<ServerEventHandler>(*host);
        handler = h.get();
        host->SetHandler(std::move(h));
    }
    void TearDown() override {
        host.reset();
        TestSupport::ResetSingletons();
    }
    // A machine asks to join from its socket; returns the slot it got.
    int Join(const UdpSocket& machine, uint16_t id) {
        machine.SendTo(host->GetBoundPort(), Datagram(0, id, std::make_shared<EventClientConnect>(0)));
        Pump(*host);
        return handler->SlotOfAddress(machine.Address());
    }

    NetworkManager::EventList incoming;
    std::unique_ptr<NetworkManager> host;
    ServerEventHandler* handler = nullptr;
};

// A joining machine's network manager and handler on loopback, with no host
// of its own: the tests play the host from plain sockets.
class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kJoiningMachine, 1);
        client = std::make_unique<NetworkManager>(false, Loopback(), &in);
        auto h = std::make_unique<ClientEventHandler>(*client);
        handler = h.get();
        client->SetHandler(std::move(h));
    }
    void TearDown() override {
        client.reset();
        TestSupport::ResetSingletons();
    }
    // Asks the host at that socket to join.
    void Connect(const UdpSocket& host) {
        client->SendEvent(std::make_shared<EventConnectToServer>(client->GetSocket(), host.Address()));
        client->PackOutgoingEvents();
    }
    // Lets the machine read what loopback has for it.
    void Receive() {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        client->ReceivePackets();
    }

    NetworkManager::EventList in;
    std::unique_ptr<NetworkManager> client;
    ClientEventHandler* handler = nullptr;
};

}  // namespace

TEST_F(HostFixture, ForgedAndForeignDatagramsChangeNothing) {
    UdpSocket a, b, stranger;
    ASSERT_EQ(Join(a, 1), 0);
    ASSERT_EQ(Join(b, 1), 1);
    ASSERT_EQ(incoming.size(), 2u);  // the two attempts, for the server view
    incoming.clear();
    host->GetPeer(0)->actorId = 5;  // as the confirmations set them
    host->GetPeer(1)->actorId = 6;
    host->GetPeer(1)->silence = 700;

    struct Case {
        const char* name;
        const UdpSocket* from;
        uint8_t sender;
        EventPtr event;
        bool reliable;
    };
    const Case forged[] = {
        {"command naming another machine's actor", &a, 0, Move(6), false},
        {"reliable command naming another machine's actor", &a, 0,
         std::make_shared<EventTypes::EventCommandThrowBlock>(6, Vector3(0, 0, 1)), true},
        {"jump for the host's own actor", &b, 1, std::make_shared<EventTypes::EventCommandActorJump>(1), false},
        {"host-only report: start of game", &a, 0, std::make_shared<EventTypes::EventUpdateStartGame>(), false},
        {"host-only report: actor moved", &b, 1,
         std::make_shared<EventTypes::EventUpdateActorMove>(6, Vector3(9, 9, 9), Quaternion(1, 0, 0, 0)), false},
        {"host-only: a client id", &a, 0, std::make_shared<EventAssignClientID>(2), false},
        {"host-only report: actor deleted", &b, 1, std::make_shared<EventTypes::EventUpdateDeleteActor>(5), false},
        {"unknown address, no handshake", &stranger, 1, Move(6), false},
        {"unknown address, keep-alive", &stranger, 1, std::make_shared<EventClientIsAlive>(1), false},
        {"sender id 0 from the machine in slot 1", &b, 0, Move(6), false},
        {"keep-alive naming another machine's slot", &a, 0, std::make_shared<EventClientIsAlive>(1), false},
    };
    uint16_t id = 10;
    for (const Case& c : forged) {
        c.from->SendTo(host->GetBoundPort(), Datagram(c.sender, id++, c.event, c.reliable));
        Pump(*host);
        EXPECT_TRUE(incoming.empty()) << c.name;
        incoming.clear();
    }
    EXPECT_EQ(host->GetConnectedCount(), 2);
    EXPECT_EQ(host->GetPeer(2), nullptr);
    EXPECT_EQ(host->GetPeer(1)->silence, 700u);
    // Each reached the handler and was refused there.
    EXPECT_EQ(handler->GetRefusedCount(), 11u);
    EXPECT_EQ(host->GetStats().readErrors, 0u);

    // What each machine may say arrives.
    a.SendTo(host->GetBoundPort(), Datagram(0, id++, Move(5)));
    b.SendTo(host->GetBoundPort(), Datagram(1, id++, Move(6)));
    b.SendTo(host->GetBoundPort(), Datagram(1, id++, std::make_shared<EventClientIsAlive>(1), true));
    Pump(*host);
    ASSERT_EQ(incoming.size(), 2u);
    EXPECT_EQ(host->GetPeer(1)->silence, 0u);
}

// Ids are 16-bit numbers carried in int16 fields: one past 32767 reads
// negative there and is still a player, not "none".
TEST_F(HostFixture, APeersCommandsArriveWhateverItsActorsId) {
    UdpSocket a;
    ASSERT_EQ(Join(a, 1), 0);
    incoming.clear();
    uint16_t seq = 10;
    for (const uint16_t actor : {uint16_t{3}, uint16_t{32767}, uint16_t{32768}, uint16_t{40000}, uint16_t{65534}}) {
        const auto wire = static_cast<int16_t>(actor);
        host->GetPeer(0)->actorId = wire;
        a.SendTo(host->GetBoundPort(), Datagram(0, seq++, Move(wire)));
        Pump(*host);
        ASSERT_EQ(incoming.size(), 1u) << actor;
        incoming.clear();
    }
    // A peer whose player was never confirmed commands nobody.
    host->GetPeer(0)->actorId = -1;
    a.SendTo(host->GetBoundPort(), Datagram(0, seq++, Move(-1)));
    Pump(*host);
    EXPECT_TRUE(incoming.empty());
}

TEST_F(HostFixture, SlotsAreGivenOnceAndAFullHostRefusesWhole) {
    UdpSocket m[4];
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kMachines, 1);
    EXPECT_EQ(Join(m[0], 1), 0);
    // A duplicated attempt keeps the one slot.
    EXPECT_EQ(Join(m[0], 2), 0);
    EXPECT_EQ(Join(m[1], 1), 1);
    EXPECT_EQ(Join(m[2], 1), 2);
    EXPECT_EQ(host->GetConnectedCount(), 3);
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kMachines), 4);
    EXPECT_EQ(Join(m[3], 1), -1);
    EXPECT_EQ(host->GetConnectedCount(), 3);
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kMachines), 4);

    // Each got its slot number in a reliable packet; the fourth got nothing.
    host->FlushOutgoing(0);
    for (int i = 0; i < 3; ++i) {
        const Bytes got = m[i].Receive(500);
        ASSERT_GE(got.size(), 17u) << i;
        Packet p;
        ASSERT_TRUE(p.ReadHeader(got.data(), static_cast<uint32_t>(got.size())));
        EXPECT_EQ(p.reliable, 1);
        p.ResetCursor();
        auto e = p.ReadEvent();
        auto* assign = dynamic_cast<EventAssignClientID*>(e.get());
        ASSERT_TRUE(assign) << i;
        EXPECT_EQ(assign->GetPayload()->clientId, i);
        EXPECT_TRUE(m[i].Receive(50).empty()) << "one answer only";
    }
    EXPECT_TRUE(m[3].Receive(100).empty());
}

TEST_F(HostFixture, AnnouncesEveryFiveSecondsWhileASlotIsFree) {
    UdpSocket listener;
    NetworkSettings s = Loopback();
    s.port = listener.port;
    s.announcementAddress = "127.0.0.1, 127.0.0.1";  // a list: each address hears it
    NetworkManager announcing(true, s, nullptr);
    // The configured port is the listener's; the host then could not bind it.
    auto h = std::make_unique<ServerEventHandler>(announcing);
    ServerEventHandler* handler = h.get();
    announcing.SetHandler(std::move(h));
    EXPECT_EQ(handler->GetAnnouncementAddresses().size(), 2u);
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kGameMode, 0);
    state->SetFlag(GlobalGameState::kLevel, 1);
    state->SetFlag(GlobalGameState::kMachines, 1);

    int heard = 0;
    std::vector<uint32_t> at;
    for (uint32_t t = 0; t < 12000; t += 1) {
        announcing.Update(1);
        while (!listener.Receive(0).empty()) {
            ++heard;
            at.push_back(announcing.GetClock());
        }
    }
    // Raised at clock 5001 and 10002, each sent to both addresses by the
    // next flush.
    ASSERT_EQ(heard, 4);
    const uint32_t flush = NetworkManager::FlushPeriod() + 1;
    EXPECT_GE(at[0], 5001u);
    EXPECT_LE(at[0], 5001u + flush);
    EXPECT_EQ(at[1], at[0]);
    EXPECT_GE(at[2], 10002u);
    EXPECT_LE(at[2], 10002u + flush);

    // The datagram: "Mirav" header, one event: index 0, "Mirav", mode, level, players.
    for (uint8_t slot = 0; slot < 3; ++slot) announcing.OpenPeer(slot, LoopbackAddress(9));
    announcing.SetConnectedCount(3);
    for (int i = 0; i < 6000; ++i) announcing.Update(1);
    EXPECT_TRUE(listener.Receive(50).empty()) << "a full host stays silent";
    announcing.SetConnectedCount(2);
    for (int i = 0; i < 10; ++i) announcing.Update(1);
    const Bytes got = listener.Receive(200);
    EXPECT_EQ(got, Hex("4d 69 72 61 76 00 00 00 00 00 00 00 00 01 00 05 00 4d 69 72 61 76 00 01 01 00"));
}

// The joining machine's side, against a host of our own on another loopback
// address and the same port.
TEST(JoiningMachine, ListsTheHostJoinsAndHoldsCommandsUntilTheGameStarts) {
    TestSupport::ResetSingletons();
    uint16_t port;
    {
        UdpSocket probe;
        port = probe.port;
    }
    NetworkSettings hostSettings = Loopback();
    hostSettings.port = port;
    hostSettings.bindAddress = "127.0.0.2";
    hostSettings.announcementAddress = "127.0.0.1";
    NetworkManager::EventList hostIn;
    NetworkManager host(true, hostSettings, &hostIn);
    ASSERT_EQ(host.GetBoundPort(), port);
    host.SetHandler(std::make_unique<ServerEventHandler>(host));

    NetworkSettings clientSettings = Loopback();
    clientSettings.port = port;
    UseNetworkSettings(clientSettings);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kTeam, 1);
    TestSupport::EventRecorder rec;
    rec.Listen<EventUpdateServerList, EventTypes::EventUpdateStartGame>();
    {
        GameLogicView::NetworkClientLogic client;
        auto* handler = dynamic_cast<ClientEventHandler*>(client.GetManager()->GetHandler());
        ASSERT_TRUE(handler);
        auto frame = [&] {
            host.Update(16);
            client.OnUpdate(16);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        for (int i = 0; i < 400 && rec.Count<EventUpdateServerList>() == 0; ++i) frame();
        ASSERT_EQ(rec.Count<EventUpdateServerList>(), 1u);
        const auto* row = rec.Of<EventUpdateServerList>()[0]->GetPayload();
        EXPECT_EQ(row->gameName, "Mirav");
        EXPECT_EQ(ntohl(row->address.sin_addr.s_addr), 0x7F000002u);
        EXPECT_EQ(ntohs(row->address.sin_port), port);

        EventSystem::QueueEvent(std::make_shared<EventConnectToServer>(row->socket, row->address));
        for (int i = 0; i < 100 && !handler->IsConnected(); ++i) frame();
        ASSERT_TRUE(handler->IsConnected());
        EXPECT_EQ(client.GetManager()->GetOwnId(), 0);  // the first slot
        EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kClientIdAssigned), 1);
        ASSERT_TRUE(host.GetPeer(0));
        EXPECT_TRUE(host.GetPeer(0)->awaitingJoin);
        // The attempt named the player's team; the server view gets it.
        bool attempt = false;
        for (const auto& e : hostIn)
            if (auto* c = dynamic_cast<EventClientConnect*>(e.get())) attempt = c->GetPayload()->team == 1;
        EXPECT_TRUE(attempt);
        hostIn.clear();

        // Before the start the machine's commands stay home; keep-alives go
        // every frame and keep its slot on the host.
        EventSystem::QueueEvent(Move(7));
        for (int i = 0; i < 30; ++i) frame();
        EXPECT_TRUE(hostIn.empty());
        EXPECT_LT(host.GetPeer(0)->silence, 200u);

        // The host confirms the player: snapshot and start.
        host.SendEvent(std::make_shared<EventTypes::EventUpdateGameIDs>(0, 7, 1));
        for (int i = 0; i < 30 && rec.Count<EventTypes::EventUpdateStartGame>() == 0; ++i) frame();
        ASSERT_EQ(rec.Count<EventTypes::EventUpdateStartGame>(), 1u);
        EXPECT_EQ(host.GetPeer(0)->actorId, 7);
        EventSystem::QueueEvent(Move(7));
        for (int i = 0; i < 10 && hostIn.empty(); ++i) frame();
        ASSERT_EQ(hostIn.size(), 1u);
        EXPECT_EQ(hostIn[0]->GetTypeHash(), EventTypes::EventCommandActorMove::GetStaticType().hash);
        EXPECT_EQ(host.GetStats().dropped, 0u);
    }
    TestSupport::ResetSingletons();
}

// A host that never answers: after the silence limit the attempt ends, the
// game-over goes to the views, and the machine lists hosts again.
TEST_F(ClientFixture, AnUnansweredAttemptTimesOutAndHostsAreListedAgain) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventUpdateGameOver, EventUpdateServerList>();
    UdpSocket silentHost;

    Connect(silentHost);
    EXPECT_TRUE(handler->IsConnecting());
    for (int i = 0; i < 10; ++i) client->Update(1000);
    EXPECT_TRUE(handler->IsConnecting());  // 10000 ms is not more than the limit
    client->Update(1);
    client->Update(1);
    EXPECT_FALSE(handler->IsConnecting());
    EXPECT_FALSE(handler->IsConnected());
    EXPECT_EQ(handler->GetFailedAttempts(), 1u);
    EXPECT_EQ(client->GetPeer(0), nullptr);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(rec.Count<EventTypes::EventUpdateGameOver>(), 1u);
    EXPECT_EQ(rec.Of<EventTypes::EventUpdateGameOver>()[0]->GetPayload()->winningTeam, 255);

    // An announcement is listed again.
    silentHost.SendTo(client->GetBoundPort(), Datagram(0, 0, std::make_shared<EventServerBroadcast>("Mirav", 0, 0, 1)));
    Receive();
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventUpdateServerList>(), 1u);
}

// On a joined machine only its host is heard: datagrams from other
// addresses (sender id 0 or not) and from the host's address under another
// sender id change nothing, however host-like their events.
TEST_F(ClientFixture, OnlyTheChosenHostIsHeard) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventUpdateServerList>();
    UdpSocket host, stranger;
    Connect(host);
    host.SendTo(client->GetBoundPort(), Datagram(0, 1, std::make_shared<EventAssignClientID>(2), true));
    Receive();
    ASSERT_TRUE(handler->IsConnected());
    ASSERT_EQ(client->GetOwnId(), 2);
    in.clear();

    struct Case {
        const char* name;
        const UdpSocket* from;
        uint8_t sender;
        EventPtr event;
    };
    const Case forged[] = {
        {"stranger: game over", &stranger, 0, std::make_shared<EventTypes::EventUpdateGameOver>(1, 0)},
        {"stranger: actor moved", &stranger, 0,
         std::make_shared<EventTypes::EventUpdateActorMove>(3, Vector3(9, 9, 9), Quaternion(1, 0, 0, 0))},
        {"stranger: start of game", &stranger, 0, std::make_shared<EventTypes::EventUpdateStartGame>()},
        {"stranger: another client id", &stranger, 0, std::make_shared<EventAssignClientID>(1)},
        {"stranger: an announcement while joined", &stranger, 0,
         std::make_shared<EventServerBroadcast>("Mirav", 0, 0, 1)},
        {"host's address, another sender id: game over", &host, 1,
         std::make_shared<EventTypes::EventUpdateGameOver>(1, 0)},
    };
    uint16_t id = 10;
    for (const Case& c : forged) {
        c.from->SendTo(client->GetBoundPort(), Datagram(c.sender, id++, c.event));
        Receive();
        EXPECT_TRUE(in.empty()) << c.name;
        in.clear();
    }
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventUpdateServerList>(), 0u);
    EXPECT_EQ(client->GetOwnId(), 2);
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kGameStarted), 0);
    EXPECT_FALSE(client->IsGameStarted());

    // The host itself is heard.
    host.SendTo(client->GetBoundPort(), Datagram(0, id++, std::make_shared<EventTypes::EventUpdateGameOver>(1, 0)));
    Receive();
    EXPECT_EQ(in.size(), 1u);
}

TEST_F(HostFixture, AForcedMoveGoesReliablyToTheNamedMachineOnly) {
    UdpSocket a, b;
    ASSERT_EQ(Join(a, 1), 0);
    ASSERT_EQ(Join(b, 1), 1);
    host->FlushOutgoing(0);
    while (!a.Receive(20).empty()) {
    }
    while (!b.Receive(20).empty()) {
    }
    EventTypes::EventUpdateActorMove move(9, Vector3(1, 2, 3), Quaternion(1, 0, 0, 0));
    host->SendEvent(std::make_shared<EventTypes::EventForcedActorUpdate>(move, 1));
    host->PackOutgoingEvents();
    host->FlushOutgoing(0);
    EXPECT_TRUE(a.Receive(100).empty());
    const Bytes got = b.Receive(500);
    Packet p;
    ASSERT_TRUE(p.ReadHeader(got.data(), static_cast<uint32_t>(got.size())));
    EXPECT_EQ(p.reliable, 1);
    p.ResetCursor();
    // One indexed move reads the same as a move packet of one move.
    ASSERT_TRUE(p.IsMovePacket());
    auto e = p.ReadBareMove();
    auto* m = dynamic_cast<EventTypes::EventUpdateActorMove*>(e.get());
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetPayload()->actorId, 9);
    EXPECT_FLOAT_EQ(m->GetPayload()->position.z, 3.0f);
}
