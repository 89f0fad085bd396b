// Reading text of the ANSI code page, which only the system can do: the
// library's checks take it as a function (SystemInfo::ansiToUtf8 in use).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane::web {

// The text as UTF-8; nothing when it is not valid text of the code page.
using AnsiToUtf8 = std::function<std::optional<std::string>(std::string_view)>;

}  // namespace veltrane::web
