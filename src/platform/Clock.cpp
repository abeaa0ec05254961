#include "platform/Clock.h"

#include <ctime>

namespace Platform {

namespace {
double Read(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
}  // namespace

double MonotonicSeconds() { return Read(CLOCK_MONOTONIC); }

double BootSeconds() {
#ifdef CLOCK_BOOTTIME
    return Read(CLOCK_BOOTTIME);
#else
    return Read(CLOCK_MONOTONIC);
#endif
}

}  // namespace Platform
