#include "utility/Timer.h"

#include <time.h>

int64_t Timer::MonotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

uint64_t Timer::MonotonicMilliseconds() { return static_cast<uint64_t>(MonotonicNanoseconds() / 1000000); }

Timer::Timer() { SetTickSource(nullptr, 0.0); }

void Timer::SetTickSource(TickSource ticks, double secondsPerTick) {
    if (ticks) {
        m_ticks = std::move(ticks);
        m_secondsPerTick = secondsPerTick;
    } else {
        m_ticks = &Timer::MonotonicNanoseconds;
        m_secondsPerTick = 1e-9;
    }
    Reset();
}

void Timer::Reset() {
    m_base = m_ticks();
    m_current = m_base;
}

double Timer::Read() {
    m_current = m_ticks();
    return static_cast<double>(m_current - m_base) * m_secondsPerTick;
}

void Timer::Update() {
    m_elapsed = Read();
    m_frameSeconds = static_cast<float>(m_elapsed - m_last);
    m_last = m_elapsed;
}
