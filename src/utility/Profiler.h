// Adds up the time spent in named sections of a frame when the performance
// monitor is on; costs one flag test per call when it is off.
#pragma once

#include <map>
#include <string>

#include "utility/Timer.h"

class Profiler {
public:
    static Profiler& Instance();
    // Back to the state of a fresh start: disabled, no sections, real clock.
    static void ResetInstance();

    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsEnabled() const { return m_enabled; }

    // Sections do not nest: Begin switches the current name, End adds the
    // time since the last Begin or End to the current name.
    void Begin(const std::string& section);
    void End();
    // Removes all sections (the main loop calls it once per frame).
    void Reset();

    // One line per section in name order: the name left-justified in 14
    // characters, then its share of frameSeconds in percent, right-justified in
    // 2. A frame time of 0 or less reports every share as 0.
    std::string GetReport(double frameSeconds) const;

    const std::map<std::string, float>& Sections() const { return m_seconds; }
    Timer& GetTimer() { return m_timer; }

private:
    Profiler() = default;

    Timer m_timer;
    bool m_enabled = false;
    std::string m_current;
    std::map<std::string, float> m_seconds;
};

// Begin on construction, End on destruction.
class ProfileSection {
public:
    explicit ProfileSection(const char* name) {
        Profiler& p = Profiler::Instance();
        if (p.IsEnabled()) p.Begin(name);
    }
    ~ProfileSection() { Profiler::Instance().End(); }
    ProfileSection(const ProfileSection&) = delete;
    ProfileSection& operator=(const ProfileSection&) = delete;
};
