#include "Match.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <map>
#include <memory>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/sml/StateMachine.h"
#include "ai/TeamMan.h"
#include "Trace.h"
#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/SpawnManager.h"

namespace Sim {

namespace {

// Searches are timed on a clock that advances with the work they do, not
// with the wall clock, so a match replays exactly at any speed. One
// millisecond of search time is this many readings (about one a node).
constexpr uint64_t kSearchReadingsPerMs = 2000;

// What the match reports: captures per scoring team, the winner, and the
// local player's actor (handed to a bot).
class MatchWatch {
public:
    MatchWatch() {
        using namespace EventTypes;
        m_registry.Register(EventUpdateFlagCaptured::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* c = dynamic_cast<const EventUpdateFlagCaptured*>(&e))
                if (c->GetPayload() && c->GetPayload()->team < 2) ++captures[c->GetPayload()->team];
            return false;
        });
        m_registry.Register(EventUpdateTeamVictory::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* v = dynamic_cast<const EventUpdateTeamVictory*>(&e))
                if (v->GetPayload() && winner < 0) winner = v->GetPayload()->team;
            return false;
        });
        m_registry.Register(EventUpdateGameIDs::GetStaticType(), [this](const EventSystem::IEvent& e) {
            if (const auto* g = dynamic_cast<const EventUpdateGameIDs*>(&e))
                if (g->GetPayload() && localActor < 0) {
                    localActor = g->GetPayload()->actorId;
                    localTeam = g->GetPayload()->team;
                }
            return false;
        });
    }

    int captures[2] = {0, 0};
    int winner = -1;
    int localActor = -1;
    int localTeam = 0;

private:
    EventSystem::EventRegistry m_registry;
};

// Counts the times a living bot stays over 30 game seconds in one cell (a
// guard standing at its post excepted), looking once a game second.
class StuckWatch {
public:
    static constexpr long long kLookEvery = 1000 / kFrameMs;
    static constexpr long long kStuckMs = 30000;

    void Look(long long frame) {
        if (frame % kLookEvery != 0) return;
        const AI::AIMan* ai = AI::AIMan::Instance();
        if (!ai) return;
        const long long now = frame * kFrameMs;
        for (const auto& team : ai->GetTeams())
            for (const auto& bot : team->GetBots()) {
                const GameLogicView::Player* p = bot->GetPlayer();
                Stay& stay = m_stays[bot->GetActorId()];
                if (!p || p->IsDead() || bot->IsGuardingAtPost()) {
                    stay = Stay{};
                    continue;
                }
                const Geometry::Vector3 v = p->GetPosition();
                const long long cell[3] = {static_cast<long long>(std::floor(v.x)), static_cast<long long>(std::floor(v.y)),
                                           static_cast<long long>(std::floor(v.z))};
                if (!stay.valid || cell[0] != stay.cell[0] || cell[1] != stay.cell[1] || cell[2] != stay.cell[2]) {
                    stay = Stay{true, false, {cell[0], cell[1], cell[2]}, now};
                    continue;
                }
                if (!stay.counted && now - stay.since > kStuckMs) {
                    stay.counted = true;
                    ++episodes;
                    // With --trace, where and doing what, to find the cause.
                    if (report) {
                        const auto top = bot->GetTop();
                        std::printf("stuck: t=%.1fs bot %u team %d at (%.1f %.1f %.1f) %s top %s\n",
                                    static_cast<double>(now) / 1000.0, bot->GetActorId(), team->GetTeamId(), v.x,
                                    v.y, v.z, bot->GetBehaviour().c_str(), top ? top->GetName().c_str() : "-");
                    }
                }
            }
    }

    int episodes = 0;
    bool report = false;

private:
    struct Stay {
        bool valid = false;
        bool counted = false;
        long long cell[3] = {0, 0, 0};
        long long since = 0;
    };
    std::map<uint16_t, Stay> m_stays;
};

// Frames in the given game minutes; 0 for none.
long long FramesIn(double minutes) {
    return minutes > 0.0 ? std::max<long long>(1, static_cast<long long>(minutes * 60000.0 / kFrameMs)) : 0;
}

}  // namespace

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // kilobytes on Linux
}

long CurrentRssKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

namespace {

// Why the loaded level cannot give a match, or null.
const char* Unplayable(GameLogicView::MiravGameLogic& logic) {
    int flags[2] = {0, 0};
    for (const auto& [id, flag] : logic.GetFlagMan().Flags()) {
        (void)id;
        const int team = flag.GetTeam();
        if (team == 0 || team == 1) ++flags[team];
    }
    if (flags[0] + flags[1] == 0) return "it was not loaded or has no flags";
    if (flags[0] == 0 || flags[1] == 0) return "a team has no flag";
    const GameLogicView::SpawnManager* spawns = logic.GetSpawnManager();
    if (!spawns || spawns->GetPoints(0).empty() || spawns->GetPoints(1).empty()) return "a team has no spawn point";
    return nullptr;
}

}  // namespace

MatchResult RunMatch(const Options& o) {
    using GameLogicView::GlobalGameState;
    EventSystem::EventManager::Instance().Reset();
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kTeam, 0);
    state->SetFlag(GlobalGameState::kLevel, static_cast<uint8_t>(o.level));
    state->SetFlag(GlobalGameState::kGameMode, 0);
    state->SetFlag(GlobalGameState::kMultiplayer, 0);
    state->SetFlag(GlobalGameState::kPaused, 0);
    // No tutorial: the local player is a bot.
    state->SetFlag(GlobalGameState::kSkipTutorial, 1);

    MatchResult result;
    MatchWatch watch;
    std::unique_ptr<EventLog> log;
    if (o.events) log = std::make_unique<EventLog>(result.frames, kFrameMs);
    uint64_t readings = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    {
        GameLogicView::MiravGameLogic logic(nullptr);
        logic.SetTeamSizeOverride(o.teamSize);
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameLogic>(o.backdrop ? 1 : 0));
        EventSystem::ProcessEventQueue();
        if (AI::AIMan* ai = AI::AIMan::Instance())
            ai->GetAStar().SetMillisecondClock([&readings] { return ++readings / kSearchReadingsPerMs; });

        const long long total = static_cast<long long>(o.minutes * 60000.0 / kFrameMs);
        const long long memoryEvery = FramesIn(o.memoryEvery);
        const long long traceEvery = FramesIn(o.traceEvery / 60.0);
        bool handedOver = false;
        StuckWatch stuck;
        stuck.report = traceEvery != 0;
        while (result.frames < total) {
            // One frame as the game runner steps it.
            EventSystem::ProcessEventQueue();
            logic.OnUpdate(kFrameMs);
            ++result.frames;
            stuck.Look(result.frames);
            result.stuck = stuck.episodes;
            // The level loads in the logic's second frame.
            if (result.frames == 2 && !o.backdrop) {
                result.unplayable = Unplayable(logic);
                if (result.unplayable) break;
            }
            if (!handedOver && watch.localActor >= 0) {
                EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(
                    static_cast<int16_t>(watch.localActor), static_cast<uint8_t>(watch.localTeam)));
                handedOver = true;
            }
            if (memoryEvery && result.frames % memoryEvery == 0) {
                std::printf("memory: game_min=%.1f rss_kb=%ld peak_rss_kb=%ld\n",
                            static_cast<double>(result.frames) * kFrameMs / 60000.0, CurrentRssKb(), PeakRssKb());
                std::fflush(stdout);
            }
            if (traceEvery && result.frames % traceEvery == 0) PrintSnapshot(result.frames, kFrameMs, logic);
            if (watch.winner >= 0) break;
        }
        // What the last frame queued reaches its listeners.
        EventSystem::ProcessEventQueue();
        if (const auto* blocks = logic.GetBlockMan()) result.fallen = blocks->FallenCount();
    }
    const auto wallEnd = std::chrono::steady_clock::now();
    log.reset();
    EventSystem::EventManager::Instance().Reset();

    result.winner = watch.winner;
    result.captures[0] = watch.captures[0];
    result.captures[1] = watch.captures[1];
    result.gameMs = result.frames * kFrameMs;
    result.wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(wallEnd - wallStart).count();
    return result;
}

}  // namespace Sim
