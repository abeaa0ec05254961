#include "platform/BatteryQuery.h"

#include <SDL.h>

#include "utility/BatteryInfo.h"

namespace Platform {

namespace {

// The system's flag bits for a charge: high above 66 %, low below 33 %,
// critical below 5 %, none of them in between.
uint8_t ChargeBits(int percent) {
    if (percent < 0) return 0;
    if (percent > 66) return PowerReading::kFlagHigh;
    if (percent < 5) return PowerReading::kFlagCritical;
    if (percent < 33) return PowerReading::kFlagLow;
    return 0;
}

}  // namespace

PowerReading BatteryReadingFromSdl(int state, int percent) {
    PowerReading r;
    const int pct = percent < 0 ? -1 : (percent > 100 ? 100 : percent);
    r.lifePercent = pct < 0 ? 255 : static_cast<uint8_t>(pct);
    switch (state) {
        case SDL_POWERSTATE_ON_BATTERY:
            r.acLineStatus = PowerReading::kAcOffline;
            // Charge unknown: the "unknown" flag, whose level comes from the life.
            r.batteryFlag = pct < 0 ? PowerReading::kFlagUnknown : ChargeBits(pct);
            break;
        case SDL_POWERSTATE_CHARGING:
            r.acLineStatus = PowerReading::kAcOnline;
            r.batteryFlag = static_cast<uint8_t>(PowerReading::kFlagCharging | ChargeBits(pct));
            break;
        case SDL_POWERSTATE_CHARGED:
            r.acLineStatus = PowerReading::kAcOnline;
            r.batteryFlag = PowerReading::kFlagHigh;
            break;
        default:  // no battery, or a state SDL cannot tell: a mains-powered machine
            r.acLineStatus = PowerReading::kAcOnline;
            r.batteryFlag = PowerReading::kFlagNoBattery;
            r.lifePercent = 255;
            break;
    }
    return r;
}

bool QueryBatteryStatus(PowerReading& out) {
    int seconds = -1;
    int percent = -1;
    const SDL_PowerState state = SDL_GetPowerInfo(&seconds, &percent);
    out = BatteryReadingFromSdl(state, percent);
    return true;
}

}  // namespace Platform
