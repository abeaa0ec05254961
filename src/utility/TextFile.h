// Reads a whole text file into memory for the configuration readers.
#pragma once

#include <string>

namespace Utility {

// True and the file's bytes when it is a regular file that could be read
// to its end; false (out untouched) otherwise, directories included.
bool ReadTextFile(const std::string& path, std::string& out);

}  // namespace Utility
