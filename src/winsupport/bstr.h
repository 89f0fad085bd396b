// BSTRs, the exports' strings: read into ANSI text, and made from wide text.
#pragma once

#include <string>
#include <string_view>

#include "winsupport/unique_handle.h"

namespace veltrane::winsupport {

// A BSTR by its length prefix; null is the empty text. Characters the ANSI
// code page cannot represent become its default character.
std::string BstrToAnsi(const wchar_t* bstr);
// Null when out of memory.
UniqueBstr MakeBstr(std::wstring_view text);

}  // namespace veltrane::winsupport
