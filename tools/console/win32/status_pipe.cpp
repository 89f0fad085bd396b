#include "console/win32/status_pipe.h"

namespace veltrane::tools::win32 {

void StatusPipe::write(std::string line) {
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    line += '\n';
    std::lock_guard lock(mutex_);
    DWORD written = 0;
    WriteFile(handle_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace veltrane::tools::win32
