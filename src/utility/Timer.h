// The frame clock: seconds since the last reset on the monotonic clock, and
// the time between its last two updates. The clock source can be replaced so
// tests can drive time by hand.
#pragma once

#include <cstdint>
#include <functional>

class Timer {
public:
    // Ticks of some clock; secondsPerTick converts them to seconds.
    using TickSource = std::function<int64_t()>;

    Timer();

    // Takes the current tick count as the new zero. Leaves the last reading,
    // the elapsed time and the frame time alone.
    void Reset();
    // elapsed = seconds since reset; frame time = elapsed - previous elapsed.
    void Update();

    double GetElapsed() const { return m_elapsed; }
    float GetFrameSeconds() const { return m_frameSeconds; }
    // Seconds since reset, read now (does not update).
    double Read();

    // Replaces the clock (and resets). An empty source restores the monotonic clock.
    void SetTickSource(TickSource ticks, double secondsPerTick);

    // CLOCK_MONOTONIC in nanoseconds and whole milliseconds.
    static int64_t MonotonicNanoseconds();
    static uint64_t MonotonicMilliseconds();

private:
    TickSource m_ticks;
    double m_last = 0.0;
    double m_secondsPerTick = 0.0;
    double m_elapsed = 0.0;
    float m_frameSeconds = 0.0f;
    int64_t m_base = 0;
    int64_t m_current = 0;
};
