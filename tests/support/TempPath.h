// A path in the test temporary directory that belongs to this test process.
// ctest runs every test as its own process, many at once, so a fixed file
// name there is written and read by several tests at the same time: one
// truncates the file while another is loading it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace TestSupport {

inline std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "mirav-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace TestSupport
