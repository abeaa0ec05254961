#include "NetMatch.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include <arpa/inet.h>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/MiravGameLogic.h"
#include "networking/Connection.h"
#include "networking/NetworkClientLogic.h"
#include "networking/NetworkManager.h"
#include "networking/NetworkServerView.h"
#include "networking/NetworkSettings.h"

namespace Sim {

namespace {

using GameLogicView::GlobalGameState;
using Geometry::Vector3;
constexpr int kFrame = 16;
constexpr int kSampleEveryMs = 250;

long long UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

std::string AddressText(const sockaddr_in& a) {
    char ip[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, &a.sin_addr, ip, sizeof(ip));
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

void UseSettingsFrom(const Options& o) {
    Networking::NetworkSettings s = Networking::LoadNetworkSettings();
    if (o.port > 0) s.port = static_cast<uint16_t>(o.port);
    if (!o.announcementAddress.empty()) s.announcementAddress = o.announcementAddress;
    if (!o.bindAddress.empty()) s.bindAddress = o.bindAddress;
    Networking::UseNetworkSettings(s);
}

// What the machine knows of the actors, from the reports it receives (on a
// host, the logic's own): the list when the match ends, and the place of
// every player sampled through the match.
class ActorWatch {
public:
    ActorWatch() {
        using namespace EventTypes;
        m_registry.Register(EventUpdateCreateActor::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* c = dynamic_cast<const EventUpdateCreateActor*>(&e); c && c->GetPayload()) {
                const auto* d = c->GetPayload();
                Actor& a = m_actors[d->actorId];
                a.team = d->team;
                a.player = d->typeHash == GameLogicView::ActorTypes::Hash(GameLogicView::ActorTypes::kBot) ||
                           d->typeHash == GameLogicView::ActorTypes::Hash(GameLogicView::ActorTypes::kCharacter);
                a.position = d->position;
            }
            return false;
        });
        m_registry.Register(EventUpdateDeleteActor::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* d = dynamic_cast<const EventUpdateDeleteActor*>(&e); d && d->GetPayload())
                m_actors.erase(d->GetPayload()->actorId);
            return false;
        });
        m_registry.Register(EventUpdateCapPtCreated::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* c = dynamic_cast<const EventUpdateCapPtCreated*>(&e); c && c->GetPayload()) {
                const auto* d = c->GetPayload();
                char point[96];
                std::snprintf(point, sizeof point, "%d@%.2f,%.2f,%.2f", d->team, d->position.x, d->position.y,
                              d->position.z);
                m_capturePoints.push_back(point);
            }
            return false;
        });
        m_registry.Register(EventUpdateActorMove::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* m = dynamic_cast<const EventUpdateActorMove*>(&e); m && m->GetPayload()) {
                auto it = m_actors.find(m->GetPayload()->actorId);
                if (it != m_actors.end()) it->second.position = m->GetPayload()->position;
            }
            return false;
        });
    }

    void Sample(const char* who) {
        const long long now = UnixMs();
        for (const auto& [id, a] : m_actors)
            if (a.player)
                Print("pos: %s actor=%d team=%d unix_ms=%lld x=%.3f y=%.3f z=%.3f\n", who, id, a.team, now,
                      a.position.x, a.position.y, a.position.z);
    }

    void PrintList(const char* who) {
        std::string ids, players;
        for (const auto& [id, a] : m_actors) {
            ids += (ids.empty() ? "" : ",") + std::to_string(id);
            if (a.player) players += (players.empty() ? "" : ",") + std::to_string(id) + ":" + std::to_string(a.team);
        }
        Print("actors: %s count=%zu ids=%s\n", who, m_actors.size(), ids.c_str());
        Print("players: %s %s\n", who, players.c_str());
        std::string points;
        for (const std::string& p : m_capturePoints) points += (points.empty() ? "" : ";") + p;
        Print("capture points: %s count=%zu at=%s\n", who, m_capturePoints.size(), points.c_str());
    }

private:
    struct Actor {
        int team = 255;
        bool player = false;
        Vector3 position;
    };
    std::map<int, Actor> m_actors;
    std::vector<std::string> m_capturePoints;  // "team@x,y,z" in the order they were reported
    EventSystem::EventRegistry m_registry;
};

// Steps the frame in real time.
class Pacer {
public:
    Pacer() : m_start(std::chrono::steady_clock::now()) {}
    void Wait() {
        ++m_frames;
        std::this_thread::sleep_until(m_start + std::chrono::milliseconds(m_frames * kFrame));
    }
    long long Ms() const { return m_frames * kFrame; }
    // True once every kSampleEveryMs of game time.
    bool SampleDue() {
        const long long slot = Ms() / kSampleEveryMs;
        if (slot == m_lastSample) return false;
        m_lastSample = slot;
        return true;
    }

private:
    std::chrono::steady_clock::time_point m_start;
    long long m_frames = 0;
    long long m_lastSample = 0;
};

// The joined player's commands: walk, turn, jump, pick up, walk on, throw,
// stop; the direction and the lengths drawn from the seed.
class Script {
public:
    explicit Script(int seed) {
        std::mt19937 rng(static_cast<uint32_t>(seed));
        const float angle = std::uniform_real_distribution<float>(0.0f, 6.2831853f)(rng);
        m_dir = Vector3(std::sin(angle), 0.0f, std::cos(angle));
        m_angle = angle;
        m_walk1 = 2000 + static_cast<int>(rng() % 1000);
        m_walk2 = 1500;
    }

    // Raises this frame's commands for the actor, t milliseconds into the script.
    void Step(int16_t actor, long long t) {
        using namespace EventTypes;
        auto say = [&](const char* what) {
            Print("script: t=%lld unix_ms=%lld %s dir=%.3f,%.3f\n", t, UnixMs(), what, m_dir.x, m_dir.z);
        };
        const long long turnAt = m_walk1, walk2From = m_walk1 + 300, throwAt = walk2From + m_walk2;
        if (t < m_walk1) {
            if (m_phase == 0) say("walk"), m_phase = 1;
            EventSystem::QueueEvent(std::make_shared<EventCommandActorMove>(actor, m_dir));
        } else if (m_phase == 1 && t >= turnAt) {
            say("stop turn jump pickup");
            EventSystem::QueueEvent(std::make_shared<EventCommandActorMove>(actor, Vector3(0, 0, 0)));
            const float h = m_angle * 0.5f;
            EventSystem::QueueEvent(std::make_shared<EventCommandActorTurn>(
                actor, Geometry::Quaternion(std::cos(h), 0.0f, std::sin(h), 0.0f)));
            EventSystem::QueueEvent(std::make_shared<EventCommandActorJump>(actor));
            EventSystem::QueueEvent(std::make_shared<EventCommandPickUpBlock>(actor));
            m_phase = 2;
        } else if (m_phase >= 2 && t >= walk2From && t < throwAt) {
            if (m_phase == 2) say("walk"), m_phase = 3;
            EventSystem::QueueEvent(std::make_shared<EventCommandActorMove>(actor, m_dir));
        } else if (m_phase == 3 && t >= throwAt) {
            say("throw stop");
            EventSystem::QueueEvent(std::make_shared<EventCommandThrowBlock>(actor, m_dir));
            EventSystem::QueueEvent(std::make_shared<EventCommandActorMove>(actor, Vector3(0, 0, 0)));
            m_phase = 4;
            say("done");
        }
    }

private:
    Vector3 m_dir;
    float m_angle = 0.0f;
    int m_walk1 = 0;
    int m_walk2 = 0;
    int m_phase = 0;
};

void SetCommonState(const Options& o, bool joining) {
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kTeam, static_cast<uint8_t>(joining ? o.team : 0));
    state->SetFlag(GlobalGameState::kLevel, static_cast<uint8_t>(o.level));
    state->SetFlag(GlobalGameState::kGameMode, 0);
    state->SetFlag(GlobalGameState::kMultiplayer, 1);
    state->SetFlag(GlobalGameState::kJoiningMachine, joining ? 1 : 0);
    state->SetFlag(GlobalGameState::kGameStarted, 0);
    state->SetFlag(GlobalGameState::kClientIdAssigned, 0);
    state->SetFlag(GlobalGameState::kPaused, 0);
    state->SetFlag(GlobalGameState::kSkipTutorial, 1);
}

}  // namespace

int RunHost(const Options& o) {
    using namespace EventTypes;
    EventSystem::EventManager::Instance().Reset();
    UseSettingsFrom(o);
    SetCommonState(o, false);
    int result = 0;
    {
        GameLogicView::MiravGameLogic logic(nullptr);
        logic.SetTeamSizeOverride(o.teamSize);
        auto view = std::make_shared<GameLogicView::NetworkServerView>(&logic);
        logic.AddGameView(view);
        Print("host: port=%u announce=%s\n", view->GetManager()->GetBoundPort(),
              view->GetManager()->GetSettings().announcementAddress.c_str());

        ActorWatch watch;
        EventSystem::EventRegistry listen;
        int localActor = -1;
        bool over = false;
        listen.Register(EventUpdateGameIDs::GetStaticType(), [&](const EventSystem::IEvent& e) {
            const auto* d = dynamic_cast<const EventUpdateGameIDs*>(&e)->GetPayload();
            if (localActor < 0) {
                // This machine's own player plays as a bot.
                localActor = d->actorId;
                EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(d->actorId, d->team));
            } else {
                Print("host: joined actor=%d team=%d unix_ms=%lld\n", d->actorId, d->team, UnixMs());
            }
            return false;
        });
        listen.Register(Networking::EventClientToBot::GetStaticType(), [&](const EventSystem::IEvent& e) {
            const auto* d = dynamic_cast<const Networking::EventClientToBot*>(&e)->GetPayload();
            if (d->actorId != localActor)
                Print("host: bot takes over actor=%d team=%d unix_ms=%lld\n", d->actorId, d->team, UnixMs());
            return false;
        });
        listen.Register(EventUpdateGameOver::GetStaticType(), [&](const EventSystem::IEvent&) {
            if (!over) {
                over = true;
                watch.PrintList("host");
                Print("host: game over unix_ms=%lld\n", UnixMs());
            }
            return false;
        });
        EventSystem::QueueEvent(std::make_shared<EventUpdateInitializeGameLogic>(0));

        const long long total = static_cast<long long>(o.minutes * 60000.0);
        long long overAt = -1;
        Pacer pace;
        while (true) {
            EventSystem::ProcessEventQueue();
            logic.OnUpdate(kFrame);
            pace.Wait();
            if (pace.SampleDue()) watch.Sample("host");
            if (!over && pace.Ms() >= total && overAt < 0) {
                EventSystem::QueueEvent(std::make_shared<EventUpdateGameOver>(255, 0));
                overAt = pace.Ms();
            }
            if (over && overAt < 0) overAt = pace.Ms();
            // Long enough for the joined machines to have every report.
            if (over && pace.Ms() - overAt > 2000) break;
        }
        const auto* manager = view->GetManager();
        Print("host: done connected=%d dropped=%llu\n", manager->GetConnectedCount(),
              static_cast<unsigned long long>(manager->GetStats().dropped));
        logic.RemoveGameView(view->GetViewId());
    }
    EventSystem::EventManager::Instance().Reset();
    return result;
}

int RunJoin(const Options& o) {
    using namespace EventTypes;
    EventSystem::EventManager::Instance().Reset();
    UseSettingsFrom(o);
    SetCommonState(o, true);
    int result = 0;
    {
        GameLogicView::NetworkClientLogic logic(nullptr);
        Networking::NetworkManager* manager = logic.GetManager();
        Print("join: port=%u\n", manager->GetBoundPort());
        ActorWatch watch;
        EventSystem::EventRegistry listen;
        bool asked = false;
        bool over = false;
        int ownActor = -1;
        sockaddr_in wanted{};
        const bool any = o.joinAddress == "any";
        if (!any && !Networking::MakeAddress(o.joinAddress, 0, wanted)) {
            std::fprintf(stderr, "mirav-sim: --join needs an IPv4 address or any\n");
            return 2;
        }
        listen.Register(Networking::EventUpdateServerList::GetStaticType(), [&](const EventSystem::IEvent& e) {
            const auto* d = dynamic_cast<const Networking::EventUpdateServerList*>(&e)->GetPayload();
            Print("join: heard %s name=%s players=%d\n", AddressText(d->address).c_str(), d->gameName.c_str(),
                  d->players);
            if (asked || (!any && d->address.sin_addr.s_addr != wanted.sin_addr.s_addr)) return true;
            asked = true;
            EventSystem::QueueEvent(std::make_shared<Networking::EventConnectToServer>(d->socket, d->address));
            return true;
        });
        listen.Register(EventUpdateGameIDs::GetStaticType(), [&](const EventSystem::IEvent& e) {
            const auto* d = dynamic_cast<const EventUpdateGameIDs*>(&e)->GetPayload();
            if (ownActor < 0) {
                ownActor = d->actorId;
                Print("join: joined actor=%d team=%d id=%d unix_ms=%lld\n", d->actorId, d->team,
                      manager->GetOwnId(), UnixMs());
            }
            return false;
        });
        listen.Register(EventUpdateGameOver::GetStaticType(), [&](const EventSystem::IEvent&) {
            if (!over) {
                over = true;
                const bool silent = manager->GetPeer(0) == nullptr;
                watch.PrintList("join");
                Print("join: game over%s unix_ms=%lld\n", silent ? " (host silent)" : "", UnixMs());
                if (silent) result = 4;
            }
            return false;
        });

        Script script(o.seed);
        long long startedAt = -1;
        Pacer pace;
        const long long wait = static_cast<long long>(o.joinWaitSeconds * 1000.0);
        while (!over) {
            EventSystem::ProcessEventQueue();
            logic.OnUpdate(kFrame);
            pace.Wait();
            if (pace.SampleDue()) watch.Sample("join");
            const bool started = GlobalGameState::Instance()->GetFlag(GlobalGameState::kGameStarted) != 0;
            if (started && ownActor >= 0) {
                if (startedAt < 0) startedAt = pace.Ms();
                script.Step(static_cast<int16_t>(ownActor), pace.Ms() - startedAt);
            } else if (pace.Ms() > wait) {
                Print("join: no game joined within %.0f s\n", o.joinWaitSeconds);
                result = 3;
                break;
            }
        }
        EventSystem::ProcessEventQueue();
    }
    EventSystem::EventManager::Instance().Reset();
    return result;
}

}  // namespace Sim
