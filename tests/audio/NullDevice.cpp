// The audio tests never need a sound card: OpenAL Soft is told to use its
// null back end before anything in the program opens a device.
#include <cstdlib>

namespace {
const int kNullBackEnd = setenv("ALSOFT_DRIVERS", "null", 1);
}  // namespace
