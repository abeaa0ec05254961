#include "platform/PowerMonitor.h"

#include <SDL.h>

#include <utility>

namespace Platform {

PowerStatus QueryPowerStatus() {
    PowerStatus s;
    int secs = -1;
    int pct = -1;
    switch (SDL_GetPowerInfo(&secs, &pct)) {
    case SDL_POWERSTATE_ON_BATTERY: s.source = PowerStatus::Source::OnBattery; break;
    case SDL_POWERSTATE_NO_BATTERY: s.source = PowerStatus::Source::NoBattery; break;
    case SDL_POWERSTATE_CHARGING: s.source = PowerStatus::Source::Charging; break;
    case SDL_POWERSTATE_CHARGED: s.source = PowerStatus::Source::Charged; break;
    default: s.source = PowerStatus::Source::Unknown; break;
    }
    s.percent = pct;
    s.seconds = secs;
    return s;
}

PowerMonitor::PowerMonitor(Query query, double pollInterval, double resumeThreshold)
    : m_query(std::move(query)), m_interval(pollInterval), m_threshold(resumeThreshold) {}

void PowerMonitor::Start(double monotonicNow, double bootNow) {
    m_started = true;
    m_lastQuery = monotonicNow;
    m_offset = bootNow - monotonicNow;
    if (m_query) m_last = m_query();
}

PowerMonitor::Result PowerMonitor::Poll(double monotonicNow, double bootNow) {
    Result r;
    if (!m_started) {
        Start(monotonicNow, bootNow);
        return r;
    }
    // Suspended time advances the boot clock only; a jump of the difference
    // means the machine slept since the previous poll.
    const double offset = bootNow - monotonicNow;
    if (offset - m_offset > m_threshold) r.resumed = true;
    m_offset = offset;

    // After a resume the status is read at once: the charger may have been
    // plugged in or out while the machine slept.
    if (r.resumed || monotonicNow - m_lastQuery >= m_interval) {
        m_lastQuery = monotonicNow;
        if (m_query) {
            PowerStatus now = m_query();
            if (!now.SameState(m_last)) r.statusChanged = true;
            m_last = now;
        }
    }
    return r;
}

}  // namespace Platform
