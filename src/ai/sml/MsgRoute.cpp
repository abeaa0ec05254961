#include "ai/sml/MsgRoute.h"

#include "ai/AIClock.h"
#include "ai/sml/AIGameObject.h"
#include "ai/sml/StateMachine.h"

MsgRoute* MsgRoute::s_instance = nullptr;
int MsgRoute::s_walkDepth = 0;

MsgRoute::MsgRoute(const AI::AIClock& clock) : m_clock(clock) { s_instance = this; }

MsgRoute::~MsgRoute() {
    if (s_instance == this) s_instance = nullptr;
}

MsgRoute::WalkGuard::WalkGuard() { ++s_walkDepth; }

MsgRoute::WalkGuard::~WalkGuard() {
    if (s_walkDepth > 0) --s_walkDepth;
    if (s_walkDepth == 0 && s_instance) s_instance->FlushAtOnce();
}

void MsgRoute::SendMessage(int64_t delayMs, int32_t id, uint16_t receiver, uint16_t sender, int32_t scope,
                           int32_t scopeKey, int32_t data1, int32_t data2) {
    auto msg = std::make_unique<Msg>();
    msg->id = id;
    msg->sender = sender;
    msg->receiver = receiver;
    msg->scope = scope;
    msg->scopeKey = scopeKey;
    msg->data1 = data1;
    msg->data2 = data2;

    if (delayMs <= 0) {
        msg->deliveryTime = m_clock.Now();
        m_atOnce.push_back(std::move(msg));
        if (s_walkDepth == 0) FlushAtOnce();
        return;
    }

    for (const Queued& q : m_queue) {
        const Msg& m = *q.msg;
        if (!q.dead && !m.delivered && m.id == id && m.receiver == receiver && m.sender == sender &&
            m.scope == scope && m.scopeKey == scopeKey)
            return;
    }
    msg->deliveryTime = m_clock.Now() + static_cast<uint64_t>(delayMs);
    m_queue.push_back(Queued{std::move(msg), false});
}

void MsgRoute::RouteMessage(Msg& msg) {
    AIGameObject* receiver = m_lookup ? m_lookup(msg.receiver) : nullptr;
    if (!receiver) return;
    // Held here so the machine outlives its own handling of the message.
    std::shared_ptr<StateMachine> top = receiver->GetTop();
    if (!top) return;
    switch (msg.scope) {
        case SCOPE_NONE: break;
        case SCOPE_STATE:
            if (msg.scopeKey != top->GetStateChangeCount()) return;
            break;
        case SCOPE_STATE_OR_SUB:
            if (msg.scopeKey != top->GetChangeCount()) return;
            break;
        default: return;
    }
    msg.delivered = true;
    top->ProcessMessage(&msg);
}

void MsgRoute::FlushAtOnce() {
    if (m_flushing) return;
    m_flushing = true;
    // Deliveries below count as a walk, so what they send at once joins the
    // end of the waiting line instead of re-entering a handler.
    ++s_walkDepth;
    size_t budget = kMaxAtOncePerFlush;
    while (!m_atOnce.empty() && budget > 0) {
        --budget;
        std::unique_ptr<Msg> msg = std::move(m_atOnce.front());
        m_atOnce.pop_front();
        RouteMessage(*msg);
    }
    --s_walkDepth;
    m_flushing = false;
}

void MsgRoute::DeliverDelayedMessages() {
    FlushAtOnce();
    {
        WalkGuard walk;
        const bool outer = !m_delivering;
        m_delivering = true;
        // Messages queued during the walk join the end; their delay is
        // positive, so they are not due in this walk.
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (it->dead || it->msg->deliveryTime > m_clock.Now()) continue;
            it->dead = true;
            RouteMessage(*it->msg);
        }
        if (outer) m_delivering = false;
    }
    if (!m_delivering) EraseDead();
}

void MsgRoute::EraseDead() {
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->dead)
            it = m_queue.erase(it);
        else
            ++it;
    }
}

void MsgRoute::PurgeScopedMessages(uint16_t actorId) {
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        const Msg& m = *it->msg;
        if (!it->dead && m.receiver == actorId && !m.delivered && m.scope != SCOPE_NONE) {
            if (m_delivering) {
                it->dead = true;  // the delivery walk holds an iterator
                ++it;
            } else {
                it = m_queue.erase(it);
            }
        } else {
            ++it;
        }
    }
    for (auto it = m_atOnce.begin(); it != m_atOnce.end();) {
        if ((*it)->receiver == actorId && (*it)->scope != SCOPE_NONE)
            it = m_atOnce.erase(it);
        else
            ++it;
    }
}

size_t MsgRoute::QueuedCount() const {
    size_t n = 0;
    for (const Queued& q : m_queue)
        if (!q.dead) ++n;
    return n;
}
