#include "web/request_values.h"

#include <algorithm>
#include <string>

namespace veltrane::web {

bool IsDialString(std::string_view value) {
    constexpr std::string_view kSigns = "+*#- ";
    return !value.empty() && value.size() <= kMaxPhoneNumberBytes &&
           std::all_of(value.begin(), value.end(),
                       [&](char c) { return (c >= '0' && c <= '9') || kSigns.find(c) != std::string_view::npos; });
}

bool IsMessageText(std::string_view value, const AnsiToUtf8& toUtf8) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    return toUtf8(value).has_value();
}

}  // namespace veltrane::web
