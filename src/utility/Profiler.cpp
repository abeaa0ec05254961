#include "utility/Profiler.h"

#include <iomanip>
#include <sstream>

Profiler& Profiler::Instance() {
    static Profiler instance;
    return instance;
}

void Profiler::ResetInstance() {
    Profiler& p = Instance();
    p.m_enabled = false;
    p.m_current.clear();
    p.m_seconds.clear();
    p.m_timer = Timer();
}

void Profiler::Begin(const std::string& section) {
    if (!m_enabled) return;
    m_current = section;
    m_timer.Update();
}

void Profiler::End() {
    if (!m_enabled) return;
    m_timer.Update();
    m_seconds[m_current] += m_timer.GetFrameSeconds();
}

void Profiler::Reset() {
    if (!m_enabled) return;
    m_seconds.clear();
}

std::string Profiler::GetReport(double frameSeconds) const {
    std::ostringstream out;
    for (const auto& [name, seconds] : m_seconds) {
        const double share = frameSeconds > 0.0 ? 100.0 * static_cast<double>(seconds) / frameSeconds : 0.0;
        out << std::left << std::setw(14) << name << std::right << std::setw(2) << share << '\n';
    }
    return out.str();
}
