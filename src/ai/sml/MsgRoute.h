// The message router: sends state-machine messages to a bot's top machine,
// at once or after a delay on the AI clock, drops duplicates of queued
// timers and purges messages tied to a machine that left the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>

#include "ai/sml/Msg.h"

class AIGameObject;

namespace AI {
class AIClock;
}

class MsgRoute {
public:
    // Finds the object (bot) that drives an actor, or null.
    using ReceiverLookup = std::function<AIGameObject*(uint16_t actorId)>;

    // The clock must outlive the router. Becomes the global instance.
    explicit MsgRoute(const AI::AIClock& clock);
    ~MsgRoute();

    MsgRoute(const MsgRoute&) = delete;
    MsgRoute& operator=(const MsgRoute&) = delete;

    static MsgRoute* Instance() { return s_instance; }

    void SetReceiverLookup(ReceiverLookup lookup) { m_lookup = std::move(lookup); }

    // Delay <= 0: delivered now (see WalkGuard); otherwise queued for AI
    // clock + delay unless an undelivered message with the same id,
    // receiver, sender, scope and key is already queued.
    void SendMessage(int64_t delayMs, int32_t id, uint16_t receiver, uint16_t sender, int32_t scope,
                     int32_t scopeKey, int32_t data1, int32_t data2);
    // Delivers one message to its receiver's top machine when the scope still
    // matches; otherwise drops it.
    void RouteMessage(Msg& msg);
    // Routes and removes every queued message that is due on the AI clock.
    void DeliverDelayedMessages();
    // Removes undelivered scoped messages to the actor, queued or waiting
    // for the end of a walk.
    void PurgeScopedMessages(uint16_t actorId);

    // Delayed messages still queued (purged ones not counted).
    size_t QueuedCount() const;
    // Messages sent "at once" that wait for the current walk to end.
    size_t WaitingCount() const { return m_atOnce.size(); }

    // Marks a walk over machines or search lists. A message with delay <= 0
    // sent during a walk is delivered when the outermost walk ends, so no
    // handler runs inside another handler of the same machine, and no list
    // being walked changes under its walker.
    class WalkGuard {
    public:
        WalkGuard();
        ~WalkGuard();
        WalkGuard(const WalkGuard&) = delete;
        WalkGuard& operator=(const WalkGuard&) = delete;
    };
    static int WalkDepth() { return s_walkDepth; }
    // For tests: no walk open.
    static void ResetWalkDepth() { s_walkDepth = 0; }

    // The most "at once" messages delivered in one go; the rest wait for the
    // next walk end or the next delayed delivery, so two machines that keep
    // answering each other at once cannot hang a frame.
    static constexpr size_t kMaxAtOncePerFlush = 10000;

private:
    void FlushAtOnce();
    void EraseDead();

    struct Queued {
        std::unique_ptr<Msg> msg;
        bool dead = false;  // delivered or purged during a delivery walk
    };

    static MsgRoute* s_instance;
    static int s_walkDepth;

    const AI::AIClock& m_clock;
    ReceiverLookup m_lookup;
    std::list<Queued> m_queue;
    std::deque<std::unique_ptr<Msg>> m_atOnce;
    bool m_delivering = false;
    bool m_flushing = false;
};
