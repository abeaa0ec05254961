// The machine's power status for the battery record, read with
// SDL_GetPowerInfo and expressed as the record's power reading.
#pragma once

struct PowerReading;

namespace Platform {

// Fills the reading from SDL; always succeeds (an unknown state reads as a
// machine without battery on AC power).
bool QueryBatteryStatus(PowerReading& out);

// The translation, apart from the system call: state is an SDL_PowerState,
// percent SDL's charge (-1 when unknown).
PowerReading BatteryReadingFromSdl(int state, int percent);

}  // namespace Platform
