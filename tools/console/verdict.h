// How a script that ran in a child console ended. DLL_FINISH ends its
// process with exit code 1 by design, so the child reports to its parent,
// one line each: every host event of the callback ("event " + text) and,
// before DLL_FINISH, whether the expectations held so far. The parent
// judges from those lines and the child's exit code.
#pragma once

#include <string>
#include <string_view>

namespace veltrane::tools {

inline constexpr std::string_view kEventLinePrefix = "event ";
inline constexpr std::string_view kFinishingHeldLine = "finishing held";
inline constexpr std::string_view kFinishingFailedLine = "finishing failed";
inline constexpr std::string_view kFinishEvent = "|SMSG|dllfinish|success||";

// Exit codes of the console.
inline constexpr int kExitHeld = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitSetup = 2;
// Exit codes of a script-running child; 1 is DLL_FINISH's own.
inline constexpr unsigned long kChildHeld = 0;
inline constexpr unsigned long kChildFinished = 1;
inline constexpr unsigned long kChildFailed = 3;
inline constexpr unsigned long kChildSetup = 4;

struct ChildReport {
    bool finishingHeld = false;
    bool finishingFailed = false;
    std::string lastEvent;

    void take(std::string_view line);
};

// The console's exit code for a child that ended with `exitCode`; `why`
// says why, for the verdict line.
int JudgeChild(unsigned long exitCode, const ChildReport& report, std::string& why);

}  // namespace veltrane::tools
