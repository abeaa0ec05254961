// A strict check of a text .x file's structure before the importer reads it:
// known objects only, every count matching its lists, every index in range.
// The importer trusts counts and crashes on some damaged files; this stops them.
#pragma once

#include <cstddef>
#include <string>

namespace Gfx {

// True when the bytes (header included) are a well-formed text .x file of the
// objects the model reader knows; otherwise false with the first fault found.
bool CheckXText(const char* data, size_t size, std::string& error);

}  // namespace Gfx
