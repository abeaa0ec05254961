#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "utility/BatteryInfo.h"

namespace {

PowerReading Reading(uint8_t ac, uint8_t flag, uint8_t percent) {
    PowerReading r;
    r.acLineStatus = ac;
    r.batteryFlag = flag;
    r.lifePercent = percent;
    return r;
}

// A query that blocks until released, and counts how many run at once.
class GatedQuery {
public:
    PowerQuery Fn(PowerReading reading) {
        return [this, reading](PowerReading& out) {
            const int now = ++m_inside;
            int seen = m_maxInside.load();
            while (now > seen && !m_maxInside.compare_exchange_weak(seen, now)) {
            }
            {
                std::unique_lock<std::mutex> lock(m_m);
                ++m_entered;
                m_cv.notify_all();
                m_cv.wait(lock, [this] { return m_open; });
            }
            out = reading;
            ++m_finished;
            --m_inside;
            return true;
        };
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_m);
        m_open = true;
        m_cv.notify_all();
    }
    bool WaitEntered(int n) {
        std::unique_lock<std::mutex> lock(m_m);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_entered >= n; });
    }
    int MaxInside() const { return m_maxInside; }
    int Finished() const { return m_finished; }

private:
    std::mutex m_m;
    std::condition_variable m_cv;
    bool m_open = false;
    int m_entered = 0;
    std::atomic<int> m_inside{0}, m_maxInside{0}, m_finished{0};
};

}  // namespace

TEST(BatteryInfo, InitialRecord) {
    BatteryInfo info;
    const BatteryState s = info.GetState();
    EXPECT_FALSE(s.present);
    EXPECT_FALSE(s.onBattery);
    EXPECT_EQ(s.life, 1.0f);
    EXPECT_TRUE(s.charging);
    EXPECT_EQ(s.level, 0);
    EXPECT_FALSE(s.simulated);
}

TEST(BatteryInfo, StatusToLevelTable) {
    struct Case {
        uint8_t ac, flag, percent;
        bool present, onBattery, charging;
        float life;
        int level;
    };
    const std::vector<Case> cases = {
        // ac flag pct    present onBatt charging life level
        {0, 0, 50, true, true, false, 0.5f, 1},
        {0, 1, 90, true, true, false, 0.9f, 0},
        {0, 2, 20, true, true, false, 0.2f, 2},
        {0, 4, 3, true, true, false, 0.03f, 2},
        {1, 8, 50, true, false, true, 0.5f, 1},
        {1, 9, 90, true, false, true, 0.9f, 0},
        {1, 10, 20, true, false, true, 0.2f, 2},
        {1, 12, 2, true, false, true, 0.02f, 2},
        {1, 128, 255, false, false, true, 1.0f, 0},  // desktop without battery
        {255, 128, 255, false, true, true, 1.0f, 0},  // AC unknown counts as on battery
        // Any other flag: level from the life (limits exclusive).
        {0, 255, 50, true, true, false, 0.5f, 1},
        {0, 255, 70, true, true, false, 0.7f, 0},
        {0, 255, 67, true, true, false, 0.67f, 0},
        {0, 255, 66, true, true, false, 0.66f, 1},
        {0, 255, 34, true, true, false, 0.34f, 1},
        {0, 255, 33, true, true, false, 0.33f, 2},
        {0, 255, 255, true, true, false, 1.0f, 0},  // unknown life counts as full
        {0, 3, 10, true, true, false, 0.1f, 2},
        {0, 16, 50, true, true, false, 0.5f, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ac " << int(c.ac) << " flag " << int(c.flag) << " pct " << int(c.percent));
        const BatteryState s = BatteryInfo::FromReading(BatteryState{}, Reading(c.ac, c.flag, c.percent));
        EXPECT_EQ(s.present, c.present);
        EXPECT_EQ(s.onBattery, c.onBattery);
        EXPECT_EQ(s.charging, c.charging);
        EXPECT_FLOAT_EQ(s.life, c.life);
        EXPECT_EQ(s.level, c.level);

        // The same through a query of the record.
        const PowerReading r = Reading(c.ac, c.flag, c.percent);
        BatteryInfo info([r](PowerReading& out) {
            out = r;
            return true;
        });
        info.Query();
        EXPECT_EQ(info.GetState(), s);
    }
}

TEST(BatteryInfo, FailedQueryChangesNothing) {
    int calls = 0;
    BatteryInfo info([&](PowerReading&) {
        ++calls;
        return false;
    });
    info.Query();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(info.GetState(), BatteryState{});

    BatteryInfo noQuery;  // no system query at all
    noQuery.Query();
    EXPECT_EQ(noQuery.GetState(), BatteryState{});
}

TEST(BatteryInfo, SimulationCommands) {
    struct Case {
        const char* command;
        bool onBattery, charging;
        float life;
        int level;
    };
    const std::vector<Case> cases = {
        {"low_charging", false, true, 0.4f, 1},
        {"high_battery", true, false, 0.9f, 0},
        {"low_battery", true, false, 0.4f, 1},
        {"critical_battery", true, false, 0.2f, 2},
    };
    EXPECT_EQ(BatteryInfo::SimulationCommands().size(), cases.size());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        int queries = 0;
        BatteryInfo info([&](PowerReading& out) {
            ++queries;
            out = Reading(1, 128, 255);
            return true;
        });
        ASSERT_TRUE(info.RunCommand(c.command));
        BatteryState s = info.GetState();
        EXPECT_TRUE(s.simulated);
        EXPECT_TRUE(s.present);
        EXPECT_EQ(s.onBattery, c.onBattery);
        EXPECT_EQ(s.charging, c.charging);
        EXPECT_FLOAT_EQ(s.life, c.life);
        EXPECT_EQ(s.level, c.level);

        // Once simulated, queries change nothing and none is started.
        info.Query();
        EXPECT_FALSE(info.StartQuery());
        info.WaitForQuery();
        EXPECT_EQ(info.GetState(), s);
        EXPECT_EQ(queries, 0);
    }
    BatteryInfo info;
    EXPECT_FALSE(info.RunCommand("medium_battery"));
    EXPECT_FALSE(info.GetState().simulated);
}

TEST(BatteryInfo, SimulationDuringARunningQueryWins) {
    GatedQuery gate;
    BatteryInfo info(gate.Fn(Reading(0, 1, 95)));
    ASSERT_TRUE(info.StartQuery());
    ASSERT_TRUE(gate.WaitEntered(1));
    info.SimulateCriticalBattery();  // while the query is inside the system call
    gate.Open();
    info.WaitForQuery();
    EXPECT_EQ(gate.Finished(), 1);
    const BatteryState s = info.GetState();
    EXPECT_EQ(s.level, 2);
    EXPECT_FLOAT_EQ(s.life, 0.2f);
}

TEST(BatteryInfo, QueryRunsOnItsThreadAndFillsTheRecord) {
    std::thread::id queryThread;
    BatteryInfo info([&](PowerReading& out) {
        queryThread = std::this_thread::get_id();
        out = Reading(0, 2, 15);
        return true;
    });
    ASSERT_TRUE(info.StartQuery());
    info.WaitForQuery();
    EXPECT_NE(queryThread, std::thread::id());
    EXPECT_NE(queryThread, std::this_thread::get_id());
    EXPECT_EQ(info.GetState().level, 2);
    EXPECT_FALSE(info.IsQueryRunning());
    // A finished query does not block the next one.
    EXPECT_TRUE(info.StartQuery());
    info.WaitForQuery();
}

TEST(BatteryInfo, AtMostOneQueryThreadRuns) {
    GatedQuery gate;
    BatteryInfo info(gate.Fn(Reading(0, 1, 80)));
    ASSERT_TRUE(info.StartQuery());
    ASSERT_TRUE(gate.WaitEntered(1));
    EXPECT_TRUE(info.IsQueryRunning());
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(info.StartQuery());
    gate.Open();
    info.WaitForQuery();
    EXPECT_EQ(gate.Finished(), 1);
    EXPECT_EQ(gate.MaxInside(), 1);
}

TEST(BatteryInfo, DestroyingTheRecordWaitsForItsQuery) {
    GatedQuery gate;
    std::atomic<bool> destroyed{false};
    {
        auto info = std::make_unique<BatteryInfo>(gate.Fn(Reading(0, 1, 80)));
        ASSERT_TRUE(info->StartQuery());
        ASSERT_TRUE(gate.WaitEntered(1));
        std::thread opener([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(destroyed.load());
            gate.Open();
        });
        info.reset();  // blocks until the query has finished
        destroyed = true;
        opener.join();
    }
    EXPECT_EQ(gate.Finished(), 1);
}

TEST(BatteryInfo, ReadingWhileQueriesRunSeesWholeRecords) {
    // Two alternating readings; a reader must never see fields of both mixed.
    std::atomic<int> n{0};
    BatteryInfo info([&](PowerReading& out) {
        out = (n++ % 2) ? Reading(0, 2, 20) : Reading(1, 9, 90);
        return true;
    });
    std::atomic<bool> done{false};
    std::thread starter([&] {
        for (int i = 0; i < 300; ++i) {
            info.StartQuery();
            std::this_thread::yield();
        }
        done = true;
    });
    int reads = 0;
    while (!done) {
        const BatteryState s = info.GetState();
        if (s.present) {
            const bool low = s.level == 2 && !s.charging && s.onBattery && s.life == 0.2f;
            const bool high = s.level == 0 && s.charging && !s.onBattery && s.life == 0.9f;
            ASSERT_TRUE(low || high) << s.level << " " << s.charging << " " << s.onBattery << " " << s.life;
        }
        ++reads;
    }
    starter.join();
    info.WaitForQuery();
    EXPECT_GT(n.load(), 0);
    EXPECT_GT(reads, 0);
}
