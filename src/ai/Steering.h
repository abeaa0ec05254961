// How the walking behaviours move a bot: one step along a found path, the
// push away from teammates, the heading for a direction of travel, a step
// straight at a point, facing a point and stopping. A bot moves only through
// the commands a player's screen raises, all queued for its own actor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "ai/SearchRequest.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;

// A found path and the cursor on its current waypoint. The cursor starts on
// the first point and only moves forward.
struct PathWalk {
    Path points;
    size_t cursor = 0;
    // Headway: the waypoint and the least horizontal distance to it seen so
    // far, and when (AI clock) that last got better.
    bool watching = false;
    size_t watchCursor = 0;
    float watchBest = 0.0f;
    uint64_t watchSince = 0;
    bool hopped = false;  // the one hop of this hold-up was taken

    void Start(Path path) {
        points = std::move(path);
        cursor = 0;
        watching = false;
        hopped = false;
    }
    void Clear() {
        points.clear();
        cursor = 0;
        watching = false;
        hopped = false;
    }
    bool Finished() const { return cursor >= points.size(); }
};

// The two ways of stepping along a path: the one of Hunt, Follow and
// Approach carries the rest of an overshooting step past the waypoint towards
// the next; the one of FollowPath lands on every point.
enum class SteerVariant { kCarryOver, kLandOnPoints };

namespace Steering {
// Squared three-dimensional distances below which a waypoint is reached.
constexpr float kReachCarryOver = 0.2f;
constexpr float kReachLandOnPoints = 0.01f;
// Teammates nearer than this (squared) push the bot aside.
constexpr float kAvoidRangeSquared = 49.0f;
constexpr float kPushWeightCap = 3.0f;
// An opponent nearer than this (squared) and straight ahead makes the bot
// step aside.
constexpr float kOpponentRangeSquared = 4.0f;
constexpr float kPushFactor = 5.0f;
// A teammate within this angle window (degrees) between the bot's heading
// and the away direction stands in the way: the bot sidesteps.
constexpr float kHeadOnMin = 150.0f;
constexpr float kHeadOnMax = 210.0f;
constexpr float kDegreesPerRadian = 57.32484f;
// Added to both horizontal components of a facing direction when either is
// exactly 0.
constexpr float kHeadingNudge = 0.001f;
// A walk without headway for this long (AI clock) is over.
constexpr uint64_t kStuckMs = 3000;
// Without headway for this long, a bot on the ground hops once.
constexpr uint64_t kHopMs = 1000;
// Headway: the distance to the waypoint shrank by at least this much.
constexpr float kHeadway = 0.25f;
// A waypoint on a ledge this near (horizontally) is climbed to first.
constexpr float kClimbNear = 2.5f;
// A walk that ends without headway marks the cells of the players standing
// this near (horizontally, on about the bot's level) the bot or its
// waypoint, for the bot's path searches of the next kJamMemoryMs (AI clock)
// to go round; with nobody near, the cell next to the bot towards the
// waypoint and the waypoint's own cell.
constexpr float kJamRange = 3.0f;
constexpr uint64_t kJamMemoryMs = 6000;
}  // namespace Steering

// One step along the path: true when the path is used up (the caller ends
// the walk; nothing more is queued then). A waypoint straight above or below
// the bot counts as passed horizontally, so the bot moves on to the next
// one instead of standing under it. A bot that gets no nearer to its
// waypoint for kStuckMs (something the grid does not know stands in the
// way) has used its path up too, so its machine looks again, and its next
// searches go round the jam (NoteJam); after kHopMs without headway it hops
// once, over whatever low thing the grid does not know. Near a waypoint on a
// ledge above it, the bot first jumps and rises.
bool SteerAlongPath(BotGameView& bot, PathWalk& walk, SteerVariant variant);
// Records the jam a walk without headway ran into (see kJamRange) on the
// bot, for RequestPath and RequestPathToBox to hand to its searches.
void NoteJam(BotGameView& bot, const Geometry::Vector3& waypoint);
// The desired move pushed away from teammates standing near on the bot's
// level; unchanged when none pushes, of length 1 after any push; (1, 0, 0)
// when a teammate stands exactly on the bot's position. An opponent close
// and straight ahead adds a sidestep (no push back). A push never turns the
// move into a wall the desired move did not walk into: the part of it
// along x or z that would walk into a blocked cell on the bot's level is
// dropped (the bot slides along the wall), and with nothing left the
// desired move stands.
Geometry::Vector3 AvoidTeammates(const BotGameView& bot, const Geometry::Vector3& desired);
// The orientation for a direction of travel: a half turn about the up axis
// for straight backwards, else the turn from +z onto (x, 0, z).
Geometry::Quaternion HeadingTowards(const Geometry::Vector3& direction);
// The turn from +z onto (d.x, 0, d.z), nudged off the axes first when d.x
// or d.z is exactly 0.
Geometry::Quaternion NudgedHeading(const Geometry::Vector3& d);
// A step of length BotSpeed straight at the point (over the ground), then
// the turn to face it.
void StepTowards(const BotGameView& bot, const Geometry::Vector3& target);
// Turns on the spot to face the point.
void FaceTowards(const BotGameView& bot, const Geometry::Vector3& target);
// Stops the bot: a move with the zero vector.
void StopBot(const BotGameView& bot);

// ---- what the behaviours share
// The bot's body position, read afresh (zero without a player).
Geometry::Vector3 BotPosition(const BotGameView& bot);
// The point projected to the ground (unchanged without an AI manager).
Geometry::Vector3 GroundPoint(const Geometry::Vector3& point);
// The grid cell of a world point (the point itself without an AI manager).
Geometry::Vector3 CellOf(const Geometry::Vector3& point);
// The straight walk between two cells is clear.
bool InSight(const Geometry::Vector3& fromCell, const Geometry::Vector3& toCell);
// Submits a path search for the bot from start to goal with the goal box's
// half extents (in cells) and the time-out; the answer comes back as
// MSG_SEARCH_SUCCESS or MSG_SEARCH_FAILURE.
void RequestPath(const BotGameView& bot, const Geometry::Vector3& start, const Geometry::Vector3& goal,
                 const Geometry::Vector3& halfExtents, int32_t timeOutMs);
// The same with a goal box given as cell offsets from the goal's cell.
void RequestPathToBox(const BotGameView& bot, const Geometry::Vector3& start, const Geometry::Vector3& goal,
                      const Geometry::Vector3& low, const Geometry::Vector3& high, int32_t timeOutMs);
// Number of blocks in the bot's pouch (the hand not counted).
size_t PouchCount(const BotGameView& bot);
// Sends a message to the bot itself after the delay: sender 0, no scope,
// first data value 1.
void SendSelfMessage(const BotGameView& bot, int64_t delayMs, int32_t id);

void QueueMove(const BotGameView& bot, const Geometry::Vector3& move);
void QueueTurn(const BotGameView& bot, const Geometry::Quaternion& orientation);
void QueueJump(const BotGameView& bot);
void QueueThrow(const BotGameView& bot, const Geometry::Vector3& aim);

}  // namespace AI
