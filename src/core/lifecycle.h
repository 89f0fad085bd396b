// Starting and finishing the library.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane {

inline constexpr const char* kDefaultBasePath = "C:\\Orvanta\\";

// What DLL_START, DLL_FINISH and StopLibrary need of the layers above the
// core; the session implements it.
class LifecycleSteps {
public:
    virtual ~LifecycleSteps() = default;
    // The page files an earlier run left in the temporary folder.
    virtual void removeLeftoverPages() = 0;
    // The CTI link afresh: whatever was open is closed, nobody is signed in
    // any more, and the first address is tried at once.
    virtual void startLink() = 0;
    // The CTI link closed for good: no attempt follows. True when a
    // connection was open.
    virtual bool stopLink() = 0;
};

// Everything of DLL_START after the data module exists and the callback is
// in place.
void DLL_START(Library& lib, LifecycleSteps& steps, const std::string& basePath, const std::string& windowTitle);

// DLL_START when the library cannot start at all (the owner thread's window
// could not be made): tells the host, by its callback and its window, and
// the log in the base folder, before it returns.
void ReportStartFailure(Library& lib, const std::string& basePath, const std::string& windowTitle,
                        const std::string& reason);

// Every 30 s while WEB_PORT could not be listened on: tries it again.
void HTTPServerRetryTimer(Library& lib);

// Ends the process through SystemInfo::endProcess(1) when it succeeds,
// after the host has had every event.
void DLL_FINISH(Library& lib, LifecycleSteps& steps);

// Everything of DLL_FINISH but the end of the process: closes the link
// (connected or still connecting) without reconnecting, stops the link's
// timers, the command server and its retries, saves the settings and
// delivers "dllfinish|success||"; the library is then not started, so a
// later DLL_START starts it again. Before a start it reports as DLL_FINISH.
void StopLibrary(Library& lib, LifecycleSteps& steps);

// The start event for this PC: certified for REG_PHONE, or not.
std::string StartEvent(const Library& lib);

}  // namespace veltrane
