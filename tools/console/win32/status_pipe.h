// The write end of the pipe on which a script-running child reports to its
// supervisor (the lines are described in console/verdict.h).
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "winsupport/unique_handle.h"

namespace veltrane::tools::win32 {

class StatusPipe {
public:
    explicit StatusPipe(HANDLE writeEnd) : handle_(writeEnd) {}

    // Safe from any thread; line ends inside the text are blanked.
    void write(std::string line);

private:
    winsupport::UniqueKernelHandle handle_;
    std::mutex mutex_;
};

}  // namespace veltrane::tools::win32
