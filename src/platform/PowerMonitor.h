// Watches the machine's power state in place of the system's power
// broadcasts: a polled power status (a change is reported once) and a resume
// from suspend, seen as the boot clock running ahead of the monotonic clock.
#pragma once

#include <functional>

namespace Platform {

struct PowerStatus {
    enum class Source { Unknown, OnBattery, NoBattery, Charging, Charged };
    Source source = Source::Unknown;
    int percent = -1;  // -1 when unknown
    int seconds = -1;  // battery time left; -1 when unknown

    // Two readings differ when the source or the charge changed; the time
    // left wobbles from reading to reading and is not a change of state.
    bool SameState(const PowerStatus& o) const { return source == o.source && percent == o.percent; }
};

// The current status from SDL (SDL_GetPowerInfo).
PowerStatus QueryPowerStatus();

class PowerMonitor {
public:
    struct Result {
        bool statusChanged = false;
        bool resumed = false;
    };
    using Query = std::function<PowerStatus()>;

    // pollInterval: seconds between two status queries; resumeThreshold:
    // how far (seconds) the boot clock must run ahead of the monotonic clock
    // between two polls to count as a suspend.
    explicit PowerMonitor(Query query = QueryPowerStatus, double pollInterval = 3.0, double resumeThreshold = 1.0);

    // Takes the first reading; no change is reported for it.
    void Start(double monotonicNow, double bootNow);
    // Cheap when nothing is due: two clock readings compared.
    Result Poll(double monotonicNow, double bootNow);

    const PowerStatus& LastStatus() const { return m_last; }

private:
    Query m_query;
    double m_interval;
    double m_threshold;
    bool m_started = false;
    double m_lastQuery = 0.0;
    double m_offset = 0.0;  // boot - monotonic at the previous poll
    PowerStatus m_last;
};

}  // namespace Platform
