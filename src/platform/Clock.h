// The system clocks the shell needs: a monotonic clock for frame timing and
// the boot clock, which also counts the time the machine was suspended.
#pragma once

namespace Platform {

// Seconds on CLOCK_MONOTONIC (stops while the machine is suspended).
double MonotonicSeconds();
// Seconds on CLOCK_BOOTTIME (keeps running while the machine is suspended).
double BootSeconds();

}  // namespace Platform
