#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "support/Harness.h"

using namespace EventSystem;

namespace {

class Alpha : public SignalEvent<Alpha> {
public:
    static constexpr const char* kTypeName = "TestAlpha";
};
class Beta : public SignalEvent<Beta> {
public:
    static constexpr const char* kTypeName = "TestBeta";
};
// Same letters in another case: the same type as Alpha.
class AlphaUpper : public SignalEvent<AlphaUpper> {
public:
    static constexpr const char* kTypeName = "TESTALPHA";
};

// A different name under Alpha's hash, as a real collision would look.
EventType CollidingWithAlpha() {
    static const char* name = "SomethingElse";
    return EventType(name, Alpha::GetStaticType().hash);
}

struct Listener {
    std::string name;
    std::vector<std::string>* log;
    bool consume = false;
    EventRegistry reg;
    Listener(std::string n, std::vector<std::string>* l, bool c = false) : name(std::move(n)), log(l), consume(c) {}
    bool On(const IEvent&) {
        log->push_back(name);
        return consume;
    }
    void Listen(const EventType& t) { reg.Register(t, this, &Listener::On); }
};

class EventManagerTest : public ::testing::Test {
protected:
    void SetUp() override { TestSupport::ResetSingletons(); }
    void TearDown() override { TestSupport::ResetSingletons(); }
    EventManager& mgr = EventManager::Instance();
    std::vector<std::string> log;
};

}  // namespace

TEST_F(EventManagerTest, DeliveryOrderServesTheFirstSubscriberLast) {
    Listener a("A", &log), b("B", &log), c("C", &log), d("D", &log);
    for (auto* l : {&a, &b, &c, &d}) l->Listen(Alpha::GetStaticType());
    EXPECT_TRUE(QueueEvent(new Alpha));
    mgr.ProcessQueue();
    EXPECT_EQ(log, (std::vector<std::string>{"B", "C", "D", "A"}));
}

TEST_F(EventManagerTest, ConsumingListenerStopsDelivery) {
    Listener a("A", &log), b("B", &log, true), c("C", &log);
    for (auto* l : {&a, &b, &c}) l->Listen(Alpha::GetStaticType());
    // Order is B, C, A: B consumes, so C and A never see it.
    EXPECT_TRUE(TriggerEvent(Alpha()));
    EXPECT_EQ(log, (std::vector<std::string>{"B"}));
}

TEST_F(EventManagerTest, UnheardEventsAreDroppedAtOnce) {
    std::weak_ptr<IEvent> weak;
    {
        auto e = std::make_shared<Alpha>();
        weak = e;
        EXPECT_FALSE(QueueEvent(e));
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(mgr.QueuedCount(), 0u);
    EXPECT_FALSE(TriggerEvent(Alpha()));

    Listener a("A", &log);
    a.Listen(Alpha::GetStaticType());
    EXPECT_TRUE(QueueEvent(new Alpha));
}

TEST_F(EventManagerTest, EventQueuedDuringDeliveryWaitsForNextDelivery) {
    EventRegistry reg;
    int alphas = 0, betas = 0;
    reg.Register(Alpha::GetStaticType(), [&](const IEvent&) {
        ++alphas;
        QueueEvent(new Beta);
        return false;
    });
    reg.Register(Beta::GetStaticType(), [&](const IEvent&) {
        ++betas;
        return false;
    });
    QueueEvent(new Alpha);
    mgr.ProcessQueue();
    EXPECT_EQ(alphas, 1);
    EXPECT_EQ(betas, 0);
    mgr.ProcessQueue();
    EXPECT_EQ(betas, 1);
}

TEST_F(EventManagerTest, RegistryUnsubscribesWhenDestroyedOthersKeepTheirPlace) {
    Listener a("A", &log), c("C", &log);
    a.Listen(Alpha::GetStaticType());
    {
        Listener b("B", &log);
        b.Listen(Alpha::GetStaticType());
        c.Listen(Alpha::GetStaticType());
    }
    TriggerEvent(Alpha());
    EXPECT_EQ(log, (std::vector<std::string>{"C", "A"}));
}

TEST_F(EventManagerTest, SecondRegisterReplacesHandler) {
    EventRegistry reg;
    std::vector<int> calls;
    EXPECT_TRUE(reg.Register(Alpha::GetStaticType(), [&](const IEvent&) { calls.push_back(1); return false; }));
    EXPECT_FALSE(reg.Register(Alpha::GetStaticType(), [&](const IEvent&) { calls.push_back(2); return false; }));
    TriggerEvent(Alpha());
    EXPECT_EQ(calls, std::vector<int>{2});
}

TEST_F(EventManagerTest, CollidingNamesAreRefusedOtherCaseIsTheSameType) {
    Listener a("A", &log);
    a.Listen(Alpha::GetStaticType());
    const EventType bad = CollidingWithAlpha();
    EXPECT_FALSE(mgr.ValidateType(bad));
    EventRegistry other;
    EXPECT_FALSE(other.Register(bad, [](const IEvent&) { return false; }));
    EXPECT_TRUE(mgr.ValidateType(AlphaUpper::GetStaticType()));
    // AlphaUpper hashes differently (the hash is case-sensitive) so it is
    // simply a type nobody listens to.
    EXPECT_FALSE(QueueEvent(new AlphaUpper));
}

TEST_F(EventManagerTest, ListenersAddedOrRemovedDuringDeliveryAreSafe) {
    auto late = std::make_unique<Listener>("late", &log);
    auto victim = std::make_unique<Listener>("victim", &log);
    EventRegistry first;
    // The handler running first destroys a listener that would run after it,
    // and subscribes a new one.
    victim->Listen(Alpha::GetStaticType());
    first.Register(Alpha::GetStaticType(), [&](const IEvent&) {
        log.push_back("first");
        victim.reset();
        late->Listen(Alpha::GetStaticType());
        return false;
    });
    // Order now: first, victim (victim subscribed first, so it is served last).
    TriggerEvent(Alpha());
    EXPECT_EQ(log, (std::vector<std::string>{"first"}));
    log.clear();
    TriggerEvent(Alpha());
    // The newcomer went in before the run's last subscriber.
    EXPECT_EQ(log, (std::vector<std::string>{"late", "first"}));

    // A registry destroyed by its own handler during delivery.
    auto selfish = std::make_unique<EventRegistry>();
    selfish->Register(Beta::GetStaticType(), [&](const IEvent&) {
        selfish.reset();
        return false;
    });
    EXPECT_FALSE(TriggerEvent(Beta()));
    EXPECT_EQ(selfish, nullptr);
    EXPECT_FALSE(mgr.HasListeners(Beta::GetStaticType()));
}

TEST_F(EventManagerTest, QueuesKeepOrderAndCountsOverManyDeliveries) {
    // Each Alpha queues a Beta for the next delivery; the queues are used
    // again and again, and nothing is delivered twice or lost.
    EventRegistry reg;
    reg.Register(Alpha::GetStaticType(), [&](const IEvent&) {
        log.push_back("alpha");
        QueueEvent(new Beta);
        return false;
    });
    reg.Register(Beta::GetStaticType(), [&](const IEvent&) {
        log.push_back("beta");
        return false;
    });
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        log.clear();
        for (int i = 0; i < round; ++i) QueueEvent(new Alpha);
        EXPECT_EQ(mgr.QueuedCount(), static_cast<size_t>(round));
        mgr.ProcessQueue();
        EXPECT_EQ(log, std::vector<std::string>(round, "alpha"));
        EXPECT_EQ(mgr.QueuedCount(), static_cast<size_t>(round));
        log.clear();
        mgr.ProcessQueue();
        EXPECT_EQ(log, std::vector<std::string>(round, "beta"));
        EXPECT_EQ(mgr.QueuedCount(), 0u);
    }
}

TEST_F(EventManagerTest, AnEventTriggeredDuringDeliveryLeavesTheOuterDeliveryWhole) {
    Listener x("X", &log), y("Y", &log), z("Z", &log);
    for (auto* l : {&x, &y, &z}) l->Listen(Beta::GetStaticType());
    Listener a("A", &log);
    a.Listen(Alpha::GetStaticType());
    EventRegistry first;
    first.Register(Alpha::GetStaticType(), [&](const IEvent&) {
        log.push_back("first");
        TriggerEvent(Beta());
        return false;
    });
    TriggerEvent(Alpha());
    EXPECT_EQ(log, (std::vector<std::string>{"first", "Y", "Z", "X", "A"}));
}
