// main() of every Windows test program: a child scenario when asked for one,
// else the tests.
#include <gtest/gtest.h>

#include "harness/child_process.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    if (veltrane::wine::RunChildFromCommandLine(exitCode)) return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
