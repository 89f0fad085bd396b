#include <gtest/gtest.h>

#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

TEST(Start, FirstStartTellsTheHostToRegister) {
    TestHost host;
    TempFolder base;
    WriteConfig(base.path(), "127.0.0.1", 1);
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent("|SMSG|dllstart|success|certification_no|"));
}

}  // namespace
}  // namespace veltrane::wine
