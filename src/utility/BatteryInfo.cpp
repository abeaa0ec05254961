#include "utility/BatteryInfo.h"

#include <algorithm>

#include "utility/Console.h"

void ThreadBatteryQuery::Run() { m_info->Query(); }

BatteryInfo::BatteryInfo(PowerQuery query)
    : m_query(std::move(query)), m_thread(std::make_unique<ThreadBatteryQuery>(this)) {}

BatteryInfo::~BatteryInfo() {
    if (m_commandsRegistered) Utility::Console::Unregister(this);
    m_thread.reset();
}

bool BatteryInfo::StartQuery() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state.simulated) return false;
    }
    return m_thread->Start();
}

void BatteryInfo::WaitForQuery() { m_thread->Stop(); }

bool BatteryInfo::IsQueryRunning() const { return m_thread->IsRunning(); }

BatteryState BatteryInfo::FromReading(const BatteryState& before, const PowerReading& r) {
    BatteryState s = before;
    s.onBattery = r.acLineStatus != PowerReading::kAcOnline;
    s.life = r.lifePercent == 255 ? 1.0f : std::min<int>(r.lifePercent, 100) / 100.0f;
    bool fromLife = false;
    switch (r.batteryFlag) {
        case 0: s.present = true; s.charging = false; s.level = BatteryState::kMedium; break;
        case 1: s.present = true; s.charging = false; s.level = BatteryState::kHigh; break;
        case 2:
        case 4: s.present = true; s.charging = false; s.level = BatteryState::kLow; break;
        case 8: s.present = true; s.charging = true; s.level = BatteryState::kMedium; break;
        case 9: s.present = true; s.charging = true; s.level = BatteryState::kHigh; break;
        case 10:
        case 12: s.present = true; s.charging = true; s.level = BatteryState::kLow; break;
        case 128: s.present = false; s.charging = true; s.level = BatteryState::kHigh; break;
        default: s.present = true; s.charging = false; fromLife = true; break;
    }
    if (fromLife)
        s.level = s.life > 0.66f ? BatteryState::kHigh : (s.life > 0.33f ? BatteryState::kMedium : BatteryState::kLow);
    return s;
}

void BatteryInfo::Query() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state.simulated) return;
    }
    // The system call may be slow: made without holding the lock.
    PowerReading reading;
    if (!m_query || !m_query(reading)) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    // A simulation command that ran meanwhile wins over this reading.
    if (m_state.simulated) return;
    m_state = FromReading(m_state, reading);
}

BatteryState BatteryInfo::GetState() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void BatteryInfo::Simulate(bool onBattery, bool charging, float life, int level) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.simulated = true;
    m_state.present = true;
    m_state.onBattery = onBattery;
    m_state.charging = charging;
    m_state.life = life;
    m_state.level = level;
}

void BatteryInfo::SimulateLowCharging() { Simulate(false, true, 0.4f, BatteryState::kMedium); }
void BatteryInfo::SimulateHighBattery() { Simulate(true, false, 0.9f, BatteryState::kHigh); }
void BatteryInfo::SimulateLowBattery() { Simulate(true, false, 0.4f, BatteryState::kMedium); }
void BatteryInfo::SimulateCriticalBattery() { Simulate(true, false, 0.2f, BatteryState::kLow); }

const std::vector<BatteryInfo::Command>& BatteryInfo::SimulationCommands() {
    static const std::vector<Command> commands = {
        {"critical_battery", &BatteryInfo::SimulateCriticalBattery},
        {"low_battery", &BatteryInfo::SimulateLowBattery},
        {"high_battery", &BatteryInfo::SimulateHighBattery},
        {"low_charging", &BatteryInfo::SimulateLowCharging},
    };
    return commands;
}

bool BatteryInfo::RunCommand(const std::string& name) {
    for (const Command& c : SimulationCommands())
        if (name == c.name) {
            (this->*c.action)();
            return true;
        }
    return false;
}

void BatteryInfo::RegisterConsoleCommands() {
    for (const Command& c : SimulationCommands()) {
        auto action = c.action;
        Utility::RegisterConsoleFunction(c.name, [this, action] { (this->*action)(); }, this);
    }
    m_commandsRegistered = true;
}
