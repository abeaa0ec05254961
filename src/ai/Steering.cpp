#include "ai/Steering.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "ai/AIMan.h"
#include "ai/AISettings.h"
#include "ai/AStar.h"
#include "ai/BotGameView.h"
#include "ai/sml/MsgRoute.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

using Geometry::Quaternion;
using Geometry::Vector3;

// Read at every use, so a change made at the console counts at the next step.
const AISettings& Settings() {
    static const AISettings defaults;
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSettings() : defaults;
}

int16_t ActorOf(const BotGameView& bot) { return static_cast<int16_t>(bot.GetActorId()); }

float SquaredDistance(const Vector3& a, const Vector3& b) { return (a - b).LengthSquared(); }

Vector3 Flat(const Vector3& v) { return {v.x, 0.0f, v.z}; }

// The turn, when the move has a horizontal part, then the move.
void TurnAndMove(const BotGameView& bot, const Vector3& move) {
    if (move.x != 0.0f || move.z != 0.0f) QueueTurn(bot, HeadingTowards(move));
    QueueMove(bot, move);
}

}  // namespace

// ------------------------------------------------------------------ commands

void QueueMove(const BotGameView& bot, const Vector3& move) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorMove>(ActorOf(bot), move));
}

void QueueTurn(const BotGameView& bot, const Quaternion& orientation) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorTurn>(ActorOf(bot), orientation));
}

void QueueJump(const BotGameView& bot) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorJump>(ActorOf(bot)));
}

void QueueThrow(const BotGameView& bot, const Vector3& aim) {
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandThrowBlock>(ActorOf(bot), aim));
}

void StopBot(const BotGameView& bot) { QueueMove(bot, Geometry::kZeroVector); }

// ------------------------------------------------------------------- queries

Vector3 BotPosition(const BotGameView& bot) {
    const GameLogicView::Player* p = bot.GetPlayer();
    return p ? p->GetPosition() : Geometry::kZeroVector;
}

Vector3 GroundPoint(const Vector3& point) {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->ProjectToGround(point) : point;
}

Vector3 CellOf(const Vector3& point) {
    const AIMan* ai = AIMan::Instance();
    return ai ? ai->GetSearchSpace().WorldToCell(point) : point;
}

bool InSight(const Vector3& fromCell, const Vector3& toCell) {
    const AIMan* ai = AIMan::Instance();
    return ai && ai->GetAStar().HasLineOfSight(fromCell, toCell);
}

namespace {

// The jam cells the bot noted lately, for a search it now asks for.
void HandJam(const BotGameView& bot, IRequest& request) {
    const AIMan* ai = AIMan::Instance();
    if (ai && !bot.GetAvoidCells().empty() && ai->GetClock().Now() < bot.GetAvoidUntil())
        request.SetAvoidCells(bot.GetAvoidCells());
}

}  // namespace

void RequestPath(const BotGameView& bot, const Vector3& start, const Vector3& goal, const Vector3& halfExtents,
                 int32_t timeOutMs) {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    auto request = std::make_unique<PathRequest>(ai->GetSearchSpace(), start, goal, bot.GetActorId(), halfExtents.x,
                                                 halfExtents.y, halfExtents.z, bot.GetTeam(), timeOutMs);
    HandJam(bot, *request);
    ai->GetAStar().AddRequest(std::move(request));
}

void RequestPathToBox(const BotGameView& bot, const Vector3& start, const Vector3& goal, const Vector3& low,
                      const Vector3& high, int32_t timeOutMs) {
    AIMan* ai = AIMan::Instance();
    if (!ai) return;
    auto request = std::make_unique<PathRequest>(ai->GetSearchSpace(), start, goal, bot.GetActorId(), 0.0f, 0.0f,
                                                 0.0f, bot.GetTeam(), timeOutMs);
    request->SetGoalBox(low, high);
    HandJam(bot, *request);
    ai->GetAStar().AddRequest(std::move(request));
}

void NoteJam(BotGameView& bot, const Vector3& waypoint) {
    const AIMan* ai = AIMan::Instance();
    if (!ai) return;
    const SearchSpace& grid = ai->GetSearchSpace();
    const Vector3 p = BotPosition(bot);
    std::vector<Vector3> cells;
    auto add = [&](const Vector3& cell) {
        if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
    };
    auto near = [](const Vector3& a, const Vector3& b) {
        const float dx = a.x - b.x, dz = a.z - b.z;
        return dx * dx + dz * dz < Steering::kJamRange * Steering::kJamRange && std::fabs(a.y - b.y) < 2.0f;
    };
    for (const auto& team : ai->GetTeams()) {
        team->ForEachTeamActor([&](const GameLogicView::Player* other) {
            if (!other || other->IsDead() || other->GetActorId() == bot.GetActorId()) return;
            const Vector3 t = other->GetPosition();
            if (!near(t, p) && !near(t, waypoint)) return;
            // The cells under the body's corners: a player astride two cells
            // stands in both.
            const Vector3 feet = GroundPoint(t);
            for (const float dx : {-0.4f, 0.4f})
                for (const float dz : {-0.4f, 0.4f}) add(grid.WorldToCell(feet.x + dx, feet.y, feet.z + dz));
        });
    }
    if (cells.empty()) {
        // Nobody: something lies in the way, next to the bot towards the
        // waypoint, or on the waypoint itself.
        const Vector3 feet = GroundPoint(p);
        const Vector3 toward = Vector3(waypoint.x - p.x, 0.0f, waypoint.z - p.z).Normalized();
        const Vector3 ahead = grid.WorldToCell(feet.x + toward.x, feet.y, feet.z + toward.z);
        if (ahead != grid.WorldToCell(feet)) add(ahead);
        add(grid.WorldToCell(GroundPoint(waypoint)));
    }
    bot.SetAvoidCells(std::move(cells), ai->GetClock().Now() + Steering::kJamMemoryMs);
}

size_t PouchCount(const BotGameView& bot) {
    const GameLogicView::Player* p = bot.GetPlayer();
    return p ? p->GetPouch().size() : 0;
}

void SendSelfMessage(const BotGameView& bot, int64_t delayMs, int32_t id) {
    if (MsgRoute* route = MsgRoute::Instance())
        route->SendMessage(delayMs, id, bot.GetActorId(), 0, SCOPE_NONE, 0, 1, 0);
}

// ------------------------------------------------------------------ headings

Quaternion HeadingTowards(const Vector3& d) {
    if (d.z < 0.0f && d.x > -Steering::kHeadingNudge && d.x < Steering::kHeadingNudge)
        return Quaternion::FromAxisAngle({0.0f, 1.0f, 0.0f}, 3.1415927f);
    return Quaternion::FromTo({0.0f, 0.0f, 1.0f}, Flat(d));
}

Quaternion NudgedHeading(const Vector3& d) {
    Vector3 facing = Flat(d);
    if (facing.x == 0.0f || facing.z == 0.0f) {
        facing.x += Steering::kHeadingNudge;
        facing.z += Steering::kHeadingNudge;
    }
    return Quaternion::FromTo({0.0f, 0.0f, 1.0f}, facing);
}

// ----------------------------------------------------------------- avoidance

namespace {

// The push turned the move: the part of it along x or z that walks into a
// blocked cell (body height) on the bot's level beside it is dropped, when
// the desired move did not walk that way. Nothing left: the desired move.
Vector3 SlideAlongWalls(const Vector3& p, const Vector3& desired, const Vector3& pushed) {
    const AIMan* ai = AIMan::Instance();
    if (!ai || pushed == desired) return pushed;
    const SearchSpace& grid = ai->GetSearchSpace();
    const Vector3 feet = GroundPoint(p);
    auto wall = [&](float dx, float dz) {
        const Vector3 cell = grid.WorldToCell(feet.x + dx, feet.y, feet.z + dz);
        return grid.IsCellBlocked(cell.x, cell.y, cell.z) || grid.IsCellBlocked(cell.x, cell.y + 1.0f, cell.z);
    };
    constexpr float kLook = 0.75f;  // a little more than half a body ahead
    Vector3 q = pushed;
    const bool wantX = desired.x * q.x > 0.0f, wantZ = desired.z * q.z > 0.0f;
    if (q.x != 0.0f && !wantX && wall(q.x > 0.0f ? kLook : -kLook, 0.0f)) q.x = 0.0f;
    if (q.z != 0.0f && !wantZ && wall(0.0f, q.z > 0.0f ? kLook : -kLook)) q.z = 0.0f;
    if (q == pushed) return pushed;
    if (q.x == 0.0f && q.z == 0.0f) return desired;
    return q.Normalized();
}

// The push of teammates and the sidestep from opponents, walls not looked at.
Vector3 AvoidTeammatesFreely(const BotGameView& bot, const Vector3& desired) {
    Vector3 q = desired;
    const Vector3 n = desired.Normalized();  // a zero move stays zero
    const TeamMan* team = bot.GetTeamMan();
    if (!team) return q;
    const Vector3 p = BotPosition(bot);
    const bool apart = team->VisitTeamActorsExcept(bot.GetActorId(), [&](const GameLogicView::Player* mate) {
        const Vector3 t = mate->GetPosition();
        Vector3 a = p - t;
        const float s = a.LengthSquared();
        if (s == 0.0f) return false;
        a.Normalize();
        // Compared as floats: a cast of a huge height to int would be
        // undefined.
        if (std::trunc(p.y) != std::trunc(t.y) || !(s < Steering::kAvoidRangeSquared)) return true;
        const float k = std::min(1.0f / s, Steering::kPushWeightCap);
        const Vector3 h(Steering::kPushFactor * k * a.x, 0.0f, Steering::kPushFactor * k * a.z);
        // Rounding may put the dot product of two unit vectors just past 1.
        const float cosine = std::clamp(n.Dot(a), -1.0f, 1.0f);
        const float degrees = std::acos(cosine) * Steering::kDegreesPerRadian;
        Vector3 side{};
        if (degrees > Steering::kHeadOnMin && degrees < Steering::kHeadOnMax) {
            const float g = q.z * h.x - q.x * h.z;
            side = g < 0.0f ? Vector3(-q.z, 0.0f, q.x) : Vector3(q.z, 0.0f, -q.x);
            side = side.Normalized() * h.Length();
        }
        q = (q + h + side).Normalized();
        return true;
    });
    // A teammate in the very same spot: no direction away from it.
    if (!apart) return {1.0f, 0.0f, 0.0f};
    // An opponent straight ahead and close on the bot's level: two players
    // walking into each other in a narrow gap would push head-on for the rest
    // of the match, so the bot steps aside (to its own right when exactly
    // head-on, as the other does to its own), without being pushed back.
    const AIMan* ai = AIMan::Instance();
    const TeamMan* them = ai ? ai->GetTeam(static_cast<uint8_t>(bot.GetTeam() == 0 ? 1 : 0)) : nullptr;
    if (!them) return q;
    them->ForEachTeamActor([&](const GameLogicView::Player* other) {
        if (!other || other->IsDead()) return;
        const Vector3 t = other->GetPosition();
        Vector3 a = p - t;
        const float s = a.LengthSquared();
        if (s == 0.0f || std::trunc(p.y) != std::trunc(t.y) || !(s < Steering::kOpponentRangeSquared)) return;
        a.Normalize();
        const float cosine = std::clamp(n.Dot(a), -1.0f, 1.0f);
        const float degrees = std::acos(cosine) * Steering::kDegreesPerRadian;
        if (!(degrees > Steering::kHeadOnMin && degrees < Steering::kHeadOnMax)) return;
        const float k = std::min(1.0f / s, Steering::kPushWeightCap);
        const Vector3 h(a.x, 0.0f, a.z);
        const float g = q.z * h.x - q.x * h.z;
        Vector3 side = g < 0.0f ? Vector3(-q.z, 0.0f, q.x) : Vector3(q.z, 0.0f, -q.x);
        side = side.Normalized() * (Steering::kPushFactor * k);
        q = (q + side).Normalized();
    });
    return q;
}

}  // namespace

Vector3 AvoidTeammates(const BotGameView& bot, const Vector3& desired) {
    const Vector3 pushed = AvoidTeammatesFreely(bot, desired);
    return SlideAlongWalls(BotPosition(bot), desired, pushed);
}

// ------------------------------------------------------------ path stepping

namespace {

// Near a waypoint that stands on a ledge above the floor under the bot (a
// path point lies 1.5 above its cell), the bot rises before it walks on:
// walking into the ledge's side while jumping knocks it back, and the one
// jump of passing the point below may have been spent already. So it jumps
// (when on the ground) and holds still until its feet are above the ledge.
// False when nothing is to be climbed here.
bool ClimbFirst(const BotGameView& bot, const Vector3& waypoint, float remainder) {
    constexpr float kPointAbove = 1.5f;  // a path point above the floor of its cell
    const GameLogicView::Player* player = bot.GetPlayer();
    const AIMan* ai = AIMan::Instance();
    if (!player || !ai || !(remainder < Steering::kClimbNear) || !player->GetActor()) return false;
    const SearchSpace& grid = ai->GetSearchSpace();
    const Vector3 pointCell = grid.WorldToCell(waypoint.x, waypoint.y - kPointAbove, waypoint.z);
    const Vector3 p = BotPosition(bot);
    const Vector3 floorCell = grid.WorldToCell(GroundPoint(p));
    // A ledge: the waypoint's level is above the bot's floor, and the cell
    // under the waypoint is solid.
    if (!(pointCell.y > floorCell.y) || !grid.IsCellBlocked(pointCell.x, pointCell.y - 1.0f, pointCell.z)) return false;
    const float ledgeTop = grid.Minimum().y + pointCell.y;
    const float feet = p.y - player->GetActor()->extents.y;
    if (feet >= ledgeTop) return false;  // high enough: walk on
    if (player->airborne == 0) QueueJump(bot);
    QueueMove(bot, Geometry::kZeroVector);
    return true;
}

// Keeps the walk's headway record; true when the bot got no nearer to its
// waypoint (nor past it) for Steering::kStuckMs.
bool NoHeadway(PathWalk& walk, float remainder) {
    const AIMan* ai = AIMan::Instance();
    if (!ai) return false;
    const uint64_t now = ai->GetClock().Now();
    if (!walk.watching || walk.cursor != walk.watchCursor || remainder < walk.watchBest - Steering::kHeadway) {
        walk.watching = true;
        walk.watchCursor = walk.cursor;
        walk.watchBest = remainder;
        walk.watchSince = now;
        walk.hopped = false;
        return false;
    }
    return now - walk.watchSince > Steering::kStuckMs;
}

// Held up for Steering::kHopMs by something the grid does not know (a block
// lying loose, a ledge's lip): one hop per hold-up, as a player would try.
bool TimeToHop(PathWalk& walk) {
    const AIMan* ai = AIMan::Instance();
    if (!ai || !walk.watching || walk.hopped || ai->GetClock().Now() - walk.watchSince <= Steering::kHopMs)
        return false;
    walk.hopped = true;
    return true;
}

// Passing a waypoint for a higher one takes a jump, unless the bot is
// already level with the higher one or above it (in the air): a jump there
// only lifts it further. The jump count of a player comes back in the air a
// moment after a double jump, so a bot that jumped at every start of the same
// short walk (a carrier a step short of its capture point, searching afresh
// each time) climbed into the sky and hung there for the rest of the match.
bool JumpsUpTo(const Vector3& bot, const Vector3& passed, const Vector3& next) {
    return next.y > passed.y && bot.y < next.y;
}

}  // namespace

bool SteerAlongPath(BotGameView& bot, PathWalk& walk, SteerVariant variant) {
    // A used-up (or empty) path has nothing left to step along.
    if (walk.Finished()) return true;
    const AISettings& settings = Settings();
    const bool carry = variant == SteerVariant::kCarryOver;
    const float reach = carry ? Steering::kReachCarryOver : Steering::kReachLandOnPoints;
    const Vector3 p = BotPosition(bot);

    // 1. Waypoints already reached: move on, jumping for every higher one.
    while (SquaredDistance(p, walk.points[walk.cursor].position) < reach) {
        ++walk.cursor;
        if (walk.Finished()) return true;
        if (JumpsUpTo(p, walk.points[walk.cursor - 1].position, walk.points[walk.cursor].position)) QueueJump(bot);
    }

    // 2. The horizontal remainder to the waypoint and a full step towards it.
    const Vector3 w = walk.points[walk.cursor].position;
    const Vector3 r(w.x - p.x, 0.0f, w.z - p.z);
    const float c = r.Length();
    if (NoHeadway(walk, c)) {
        NoteJam(bot, w);
        walk.Clear();
        return true;
    }
    if (TimeToHop(walk))
        if (const GameLogicView::Player* player = bot.GetPlayer(); player && player->airborne == 0) QueueJump(bot);
    if (ClimbFirst(bot, w, c)) return false;
    // The step's length is BotSpeed whatever the remainder: a waypoint
    // straight above or below the bot (no horizontal remainder) is thus
    // overshot and passed, never normalised from a zero vector.
    const float a = std::fabs(settings.botSpeed);

    // 3. Normal step.
    if (!(a > c)) {
        Vector3 v = r.Normalized() * settings.botSpeed;
        if (settings.obstacleAvoidance) v = AvoidTeammates(bot, v);
        TurnAndMove(bot, v);
        return false;
    }

    // 4. The step would pass the waypoint.
    ++walk.cursor;
    if (walk.Finished()) {
        walk.Clear();
        Vector3 last = r;
        if (!carry && settings.obstacleAvoidance) last = AvoidTeammates(bot, last);
        QueueMove(bot, last);
        return true;
    }
    const Vector3 passed = walk.points[walk.cursor - 1].position;
    const Vector3 next = walk.points[walk.cursor].position;
    if (JumpsUpTo(p, passed, next)) QueueJump(bot);

    Vector3 m = r;
    if (carry) {
        // a > c >= 0 here, so the share left after the waypoint is defined.
        const float f = 1.0f - c / a;
        const Vector3 e = Vector3(next.x - passed.x, 0.0f, next.z - passed.z).Normalized() * settings.botSpeed;
        const Vector3 aim(passed.x + f * e.x, passed.y, passed.z + f * e.z);
        m = Vector3(aim.x - p.x, 0.0f, aim.z - p.z);
    }
    if (settings.obstacleAvoidance) m = AvoidTeammates(bot, m);
    TurnAndMove(bot, m);
    return false;
}

// ------------------------------------------------------------ direct steps

void StepTowards(const BotGameView& bot, const Vector3& target) {
    Vector3 d = GroundPoint(target) - GroundPoint(BotPosition(bot));
    d.y = 0.0f;
    const Vector3 move = d.Normalized() * Settings().botSpeed;
    QueueMove(bot, move);
    QueueTurn(bot, NudgedHeading(move));
}

void FaceTowards(const BotGameView& bot, const Vector3& target) {
    QueueTurn(bot, NudgedHeading(target - BotPosition(bot)));
}

}  // namespace AI
