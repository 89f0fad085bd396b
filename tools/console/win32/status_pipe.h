// The write end of the pipe on which a script-running child reports to its
// supervisor (the lines are described in console/verdict.h).
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

namespace veltrane::tools::win32 {

class StatusPipe {
public:
    explicit StatusPipe(HANDLE writeEnd) : handle_(writeEnd) {}
    ~StatusPipe() { CloseHandle(handle_); }
    StatusPipe(const StatusPipe&) = delete;
    StatusPipe& operator=(const StatusPipe&) = delete;

    // Safe from any thread; line ends inside the text are blanked.
    void write(std::string line);

private:
    HANDLE handle_;
    std::mutex mutex_;
};

}  // namespace veltrane::tools::win32
