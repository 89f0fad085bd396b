// Conversions between the exports' wide strings and the library's 8-bit
// text in the system ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace veltrane::win32 {

// A BSTR by its length prefix; null is the empty text. Characters the ANSI
// code page cannot represent become its default character.
std::string BstrToAnsi(const wchar_t* bstr);
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

}  // namespace veltrane::win32
