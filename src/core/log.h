// The daily diagnostic log: BasePath + "LOG\DD_dll.txt", one line a call.
#pragma once

#include <string>
#include <string_view>

#include "core/library.h"

namespace veltrane {

// Appends one line. A line that cannot be written is lost; the caller goes on.
void WriteLog(Library& lib, std::string_view name, std::string_view text = {});

// The line as WriteLog writes it, without its CR LF.
std::string FormatLogLine(const LocalTime& now, const std::string& phoneNo, std::string_view name,
                          std::string_view text);

// "DD_dll.txt" for the day of the month.
std::string LogFileName(const LocalTime& now);

}  // namespace veltrane
