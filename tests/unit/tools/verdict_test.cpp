#include <gtest/gtest.h>

#include "console/verdict.h"

namespace veltrane::tools {
namespace {

ChildReport Report(std::initializer_list<const char*> lines) {
    ChildReport report;
    for (const char* line : lines) report.take(line);
    return report;
}

TEST(JudgeChild, DllFinishAfterHeldExpectationsAndItsSuccessEventPasses) {
    std::string why;
    const ChildReport report =
        Report({"event |SMSG|logout|success|0212||", "finishing held", "event |SMSG|conn|disconnect||",
                "event |SMSG|dllfinish|success||"});
    EXPECT_EQ(JudgeChild(kChildFinished, report, why), kExitHeld);
}

TEST(JudgeChild, ExitCodeOneWithoutACleanFinishFails) {
    std::string why;
    EXPECT_EQ(JudgeChild(kChildFinished, Report({"event |SMSG|dllfinish|success||"}), why), kExitFailed);
    EXPECT_EQ(why, "the process ended with exit code 1, but not through DLL_FINISH");
    // Another event after the finish event: it was not the last one.
    EXPECT_EQ(JudgeChild(kChildFinished,
                         Report({"finishing held", "event |SMSG|dllfinish|success||", "event |SMSG|conn|fail|x|"}),
                         why),
              kExitFailed);
    EXPECT_EQ(JudgeChild(kChildFinished, Report({"finishing held", "event |SMSG|dllfinish|fail|socket disconnect|"}),
                         why),
              kExitFailed);
    EXPECT_EQ(JudgeChild(kChildFinished, Report({"finishing failed", "event |SMSG|dllfinish|success||"}), why),
              kExitFailed);
}

TEST(JudgeChild, OtherExitCodesMapToTheConsolesOwn) {
    std::string why;
    EXPECT_EQ(JudgeChild(kChildHeld, {}, why), kExitHeld);
    EXPECT_EQ(JudgeChild(kChildFailed, {}, why), kExitFailed);
    EXPECT_EQ(JudgeChild(kChildSetup, {}, why), kExitSetup);
    EXPECT_EQ(JudgeChild(0xC0000005ul, Report({"finishing held", "event |SMSG|dllfinish|success||"}), why), kExitFailed);
}

}  // namespace
}  // namespace veltrane::tools
