// Text between wide strings and 8-bit code pages: the system ANSI code page
// the library speaks, UTF-8 the console speaks. Characters a code page
// cannot represent become its default character (or `defaultChar`).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltrane::winsupport {

std::wstring Widen(std::string_view text, unsigned codePage);
// `defaultChar` must stay null for UTF-8, which has no default character.
std::string Narrow(std::wstring_view text, unsigned codePage, const char* defaultChar = nullptr);

// The text as wide characters only when every byte sequence in it is valid
// in the code page (MB_ERR_INVALID_CHARS): no lone lead byte, no trail byte
// the code page lacks, no byte it does not map.
std::optional<std::wstring> WidenStrictly(std::string_view text, unsigned codePage);

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
// The ANSI code page to UTF-8 and back.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace veltrane::winsupport
