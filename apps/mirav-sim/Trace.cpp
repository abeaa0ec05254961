#include "Trace.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "ai/AIMan.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/FollowPath.h"
#include "ai/sml/StateMachine.h"
#include "ai/StrategyMan.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"

namespace Sim {

namespace {

void PrintBot(const AI::AIMan& ai, const AI::TeamMan& team, const AI::BotGameView& bot) {
    const GameLogicView::Player* p = bot.GetPlayer();
    const Geometry::Vector3 pos = p ? p->GetPosition() : Geometry::Vector3();
    const auto top = bot.GetTop();
    std::printf("  bot %u team %d role %d %-18s top %-12s sub %2d at (%6.1f %5.1f %6.1f) pouch %zu%s%s\n",
                static_cast<unsigned>(bot.GetActorId()), team.GetTeamId(), bot.GetRole(), bot.GetBehaviour().c_str(),
                top ? top->GetName().c_str() : "-", top ? top->GetSubstate() : -9, pos.x, pos.y, pos.z,
                p ? p->GetPouch().size() : size_t{0}, p && p->GetHeldBlock() ? " hand" : "",
                p && p->IsDead() ? " DEAD" : "");
    if (!p) return;
    const Geometry::Vector3 v = p->GetVelocity();
    std::printf("      velocity (%5.1f %5.1f %5.1f) move %d jumps %u air %d\n", v.x, v.y, v.z, p->canMove,
                p->jumpCount, p->airborne);
    if (const auto* walk = dynamic_cast<const AI::FollowPath*>(top.get())) {
        const AI::PathWalk& w = walk->GetPath();
        if (!w.Finished()) {
            const Geometry::Vector3 q = w.points[w.cursor].position;
            const Geometry::Vector3 g = walk->GetGoal();
            std::printf("      path %zu/%zu next (%6.1f %5.1f %6.1f) goal (%6.1f %5.1f %6.1f)\n", w.cursor,
                        w.points.size(), q.x, q.y, q.z, g.x, g.y, g.z);
        }
    }
    if (bot.GetTargetBlock() && ai.GetBlockMan())
        if (const auto block = ai.GetBlockMan()->GetBlock(*bot.GetTargetBlock())) {
            const Geometry::Vector3 b = block->GetPosition();
            std::printf("      target %u state %d at (%6.1f %5.1f %6.1f)\n", static_cast<unsigned>(*bot.GetTargetBlock()),
                        block->GetState(), b.x, b.y, b.z);
        }
}

}  // namespace

void PrintSnapshot(long long frame, int frameMs, GameLogicView::MiravGameLogic& logic) {
    std::printf("trace t=%.1fs\n", static_cast<double>(frame) * frameMs / 1000.0);
    if (AI::AIMan* ai = AI::AIMan::Instance()) {
        std::printf("  searches pending %zu running %zu stored %zu\n", ai->GetAStar().PendingCount(),
                    ai->GetAStar().RunningCount(), ai->GetAStar().StoredPathCount());
        for (const auto& team : ai->GetTeams()) {
            if (auto* planner = dynamic_cast<AI::StrategyMan*>(team->GetPlanner()))
                std::printf("  team %d planner state %d ready %d requests %zu walls %zu claims %zu\n", team->GetTeamId(),
                            planner->GetState(), planner->IsReady() ? 1 : 0, planner->GetRequests().size(),
                            planner->GetWalls().size(), team->GetClaims().size());
            for (const auto& bot : team->GetBots()) PrintBot(*ai, *team, *bot);
        }
    }
    for (const auto& [id, flag] : logic.GetFlagMan().Flags()) {
        const Geometry::Vector3 pos = flag.GetPosition();
        const int blockState = flag.GetBlockData() ? flag.GetBlockData()->GetState() : -1;
        std::printf("  flag %u team %d state %d block %d at (%6.1f %5.1f %6.1f)\n", static_cast<unsigned>(id),
                    flag.GetTeam(), flag.GetState(), blockState, pos.x, pos.y, pos.z);
    }
}

struct EventLog::Listeners {
    EventSystem::EventRegistry registry;
};

namespace {

template <class E, class F>
void Log(EventSystem::EventRegistry& registry, const long long& frame, int frameMs, F describe) {
    registry.Register(E::GetStaticType(), [&frame, frameMs, describe](const EventSystem::IEvent& e) {
        if (const auto* typed = dynamic_cast<const E*>(&e))
            if (typed->GetPayload())
                std::printf("  %.2fs %s\n", static_cast<double>(frame) * frameMs / 1000.0,
                            describe(*typed->GetPayload()).c_str());
        return false;
    });
}

std::string Where(const Geometry::Vector3& p) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.1f %.1f %.1f)", p.x, p.y, p.z);
    return text;
}

}  // namespace

EventLog::EventLog(const long long& frame, int frameMs) : m_listeners(std::make_unique<Listeners>()) {
    using std::to_string;
    auto& r = m_listeners->registry;
    Log<EventTypes::EventUpdatePickUpBlock>(r, frame, frameMs, [](const auto& d) {
        return "picked-up by " + to_string(d.actorId) + " block " + to_string(d.blockId);
    });
    Log<EventTypes::EventUpdateThrowBlock>(r, frame, frameMs, [](const auto& d) { return "thrown by " + to_string(d.actorId); });
    Log<EventTypes::EventUpdateActorDeath>(r, frame, frameMs, [](const auto& d) {
        return "death " + to_string(d.actorId) + " by " + to_string(d.killerId) + " at " + Where(d.hitPoint);
    });
    Log<EventTypes::EventUpdateFlagGrabbed>(r, frame, frameMs, [](const auto& d) {
        return "flag-grabbed " + to_string(d.flagId) + " by " + to_string(d.actorId);
    });
    Log<EventTypes::EventUpdateFlagDropped>(r, frame, frameMs, [](const auto& d) { return "flag-dropped " + to_string(d.flagId); });
    Log<EventTypes::EventUpdateFlagRecovered>(r, frame, frameMs,
                                              [](const auto& d) {
        // Who brought it back and from how far off its home.
        const Geometry::Vector3 off = d.fromPosition - d.homePosition;
        char far[32];
        std::snprintf(far, sizeof far, "%.1f", std::sqrt(off.x * off.x + off.z * off.z));
        return "flag-home " + to_string(d.flagId) + " by " + to_string(d.actorId) + " from " + Where(d.fromPosition) +
               " " + far + " off home";
    });
    Log<EventTypes::EventUpdateFlagCaptured>(r, frame, frameMs, [](const auto& d) {
        return "flag-captured " + to_string(d.flagId) + " by team " + to_string(d.team);
    });
}

EventLog::~EventLog() = default;

}  // namespace Sim
