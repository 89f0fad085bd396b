#include "base/form_text.h"

#include "base/text.h"

namespace veltrane {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string DecodeFormComponent(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            decoded += c;
        }
    }
    return decoded;
}

Parameters ParseFormText(std::string_view text) {
    Parameters parameters;
    while (!text.empty()) {
        const std::size_t end = text.find('&');
        const std::string_view pair = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            parameters.push_back({DecodeFormComponent(pair), {}});
        } else {
            parameters.push_back({DecodeFormComponent(pair.substr(0, equals)),
                                  DecodeFormComponent(pair.substr(equals + 1))});
        }
    }
    return parameters;
}

std::string ParameterValue(const Parameters& parameters, std::string_view name) {
    for (const Parameter& parameter : parameters)
        if (EqualsIgnoringCase(parameter.name, name)) return parameter.value;
    return {};
}

std::string EscapeFormValue(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '%': escaped += "%25"; break;
        case '&': escaped += "%26"; break;
        case '+': escaped += "%2B"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace veltrane
