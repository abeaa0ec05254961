// The test programs' entry point. The game reads its data relative to the
// working folder (it starts in data/), and ctest starts every test there; a
// test program started by hand from another folder goes to the source tree's
// data/ first, so that it runs as it does under ctest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (::access("Levels/levels.ini", R_OK) != 0 && ::chdir(MIRAV_SOURCE_DIR "/data") != 0)
        std::fprintf(stderr, "tests: cannot enter %s/data; tests that read the game's data will fail\n",
                     MIRAV_SOURCE_DIR);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
