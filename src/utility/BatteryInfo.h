// The battery status the HUD shows: a record filled by a short-lived query
// thread and read on the main thread (all access under one mutex), plus the
// four simulated states of the debug console. The system query itself is
// injected (the real one lives in the platform layer).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "utility/Thread.h"

// One reading of the machine's power status, in the system's terms.
struct PowerReading {
    static constexpr uint8_t kAcOffline = 0, kAcOnline = 1, kAcUnknown = 255;
    static constexpr uint8_t kFlagHigh = 1, kFlagLow = 2, kFlagCritical = 4, kFlagCharging = 8,
                             kFlagNoBattery = 128, kFlagUnknown = 255;
    uint8_t acLineStatus = kAcOnline;
    uint8_t batteryFlag = kFlagNoBattery;
    uint8_t lifePercent = 255;  // 0..100, 255 unknown
};

// Fills the reading; false when the status cannot be had.
using PowerQuery = std::function<bool(PowerReading&)>;

struct BatteryState {
    enum Level { kHigh = 0, kMedium = 1, kLow = 2 };
    bool present = false;
    bool onBattery = false;
    float life = 1.0f;  // 0..1
    bool charging = true;  // also true when there is no battery
    int level = kHigh;
    bool simulated = false;  // set by a console command; queries then change nothing

    bool operator==(const BatteryState& o) const {
        return present == o.present && onBattery == o.onBattery && life == o.life && charging == o.charging &&
               level == o.level && simulated == o.simulated;
    }
};

class BatteryInfo;

// Runs one query of its record and ends.
class ThreadBatteryQuery : public Thread {
public:
    explicit ThreadBatteryQuery(BatteryInfo* info) : m_info(info) {}
    ~ThreadBatteryQuery() override { Stop(); }

protected:
    void Run() override;

private:
    BatteryInfo* m_info;
};

class BatteryInfo {
public:
    explicit BatteryInfo(PowerQuery query = {});
    // Waits for a running query to end.
    ~BatteryInfo();
    BatteryInfo(const BatteryInfo&) = delete;
    BatteryInfo& operator=(const BatteryInfo&) = delete;

    // Starts a query on the query thread unless the state is simulated or a
    // query is still running. True when a query was started.
    bool StartQuery();
    // Waits until no query runs.
    void WaitForQuery();
    bool IsQueryRunning() const;

    // One query, on the calling thread: asks the system and stores the result,
    // unless simulated; a failed query changes nothing.
    void Query();

    // A consistent copy of the whole record.
    BatteryState GetState() const;

    void SimulateLowCharging();
    void SimulateHighBattery();
    void SimulateLowBattery();
    void SimulateCriticalBattery();

    // The console commands and what each does, for registering them.
    struct Command {
        const char* name;
        void (BatteryInfo::*action)();
    };
    static const std::vector<Command>& SimulationCommands();
    // Runs the simulation command of that name; false for an unknown name.
    bool RunCommand(const std::string& name);
    // Registers the four simulation commands on the debug console, bound to
    // this record; they are removed again when the record is destroyed.
    void RegisterConsoleCommands();

    // The record after a reading, from the record before it (pure; the
    // simulated flag is kept).
    static BatteryState FromReading(const BatteryState& before, const PowerReading& reading);

private:
    void Simulate(bool onBattery, bool charging, float life, int level);

    PowerQuery m_query;
    bool m_commandsRegistered = false;
    mutable std::mutex m_mutex;
    BatteryState m_state;
    // Last member: destroyed first, so a running query finishes while the
    // record and its mutex still exist.
    std::unique_ptr<ThreadBatteryQuery> m_thread;
};
