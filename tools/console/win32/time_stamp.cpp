#include "console/win32/time_stamp.h"

#include <windows.h>

#include <cstdio>

namespace veltrane::tools::win32 {

std::string TimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace veltrane::tools::win32
