// The console's stamp on each line it prints.
#pragma once

#include <string>

namespace veltrane::tools::win32 {

// "HH:MM:SS.mmm", local time.
std::string TimeStamp();

}  // namespace veltrane::tools::win32
