#include "console/verdict.h"

namespace veltrane::tools {

void ChildReport::take(std::string_view line) {
    if (line.substr(0, kEventLinePrefix.size()) == kEventLinePrefix)
        lastEvent = std::string(line.substr(kEventLinePrefix.size()));
    else if (line == kFinishingHeldLine)
        finishingHeld = true;
    else if (line == kFinishingFailedLine)
        finishingFailed = true;
}

int JudgeChild(unsigned long exitCode, const ChildReport& report, std::string& why) {
    switch (exitCode) {
    case kChildHeld:
        why = "the script ran to its end and every expectation held";
        return kExitHeld;
    case kChildFailed:
        why = "an expectation failed";
        return kExitFailed;
    case kChildSetup:
        why = "the console could not set up the session";
        return kExitSetup;
    case kChildFinished:
        if (report.finishingFailed) {
            why = "an expectation failed before DLL_FINISH";
        } else if (!report.finishingHeld) {
            why = "the process ended with exit code 1, but not through DLL_FINISH";
        } else if (report.lastEvent != kFinishEvent) {
            why = "DLL_FINISH ended the process, but the last event was " +
                  (report.lastEvent.empty() ? std::string("none") : report.lastEvent) + " instead of " +
                  std::string(kFinishEvent);
        } else {
            why = "every expectation held and DLL_FINISH ended the process after " + report.lastEvent;
            return kExitHeld;
        }
        return kExitFailed;
    default:
        why = "the console ended with exit code " + std::to_string(exitCode);
        return kExitFailed;
    }
}

}  // namespace veltrane::tools
