// Text conversions and stamps of the Windows console.
#pragma once

#include <string>
#include <string_view>

namespace veltrane::tools::win32 {

std::wstring Widen(std::string_view text, unsigned codePage);
std::string Narrow(std::wstring_view text, unsigned codePage);
// The system's 8-bit code page (the library's text) to UTF-8 and back.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
// "HH:MM:SS.mmm", local time.
std::string TimeStamp();

}  // namespace veltrane::tools::win32
