// What a page may put into the values of a command server request that
// reach a CTI packet or a host event.
#pragma once

#include <cstddef>
#include <string_view>

#include "web/ansi_text.h"

namespace veltrane::web {

inline constexpr std::size_t kMaxPhoneNumberBytes = 32;

// A number the CTI server dials: 1 to kMaxPhoneNumberBytes of the digits,
// "+", "*", "#", "-" and blanks. Nothing else, so no "|" that would add
// fields, no line end, and no lead byte that would take the "|" after it
// as its trail byte.
bool IsDialString(std::string_view value);

// A message the host reads as one field of one line: text of the ANSI code
// page (no lone lead byte, no invalid trail byte), without CR, LF or NUL.
bool IsMessageText(std::string_view value, const AnsiToUtf8& toUtf8);

}  // namespace veltrane::web
