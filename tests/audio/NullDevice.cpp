// The audio tests never need a sound card: OpenAL Soft is told to use its
// null back end before anything in the program opens a device (unless the
// program was started by the wave-file test to write one).
#include <cstdlib>

namespace {
const int kNullBackEnd = std::getenv("MIRAV_AUDIO_WAVE_FILE") ? 0 : setenv("ALSOFT_DRIVERS", "null", 1);
}  // namespace
