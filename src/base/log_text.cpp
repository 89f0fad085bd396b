#include "base/log_text.h"

#include "base/text.h"

namespace veltrane {

std::string EscapeControlCharacters(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            escaped += c;
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            escaped += "\\x" + HexText(byte, 2);
        }
    }
    return escaped;
}

LogText::LogText(std::string_view text) : escaped_(EscapeControlCharacters(text)), blank_(IsBlank(text)) {}

LogText::LogText(std::initializer_list<std::string_view> parts, std::string_view separator) {
    join(parts, separator);
}

LogText::LogText(const std::vector<std::string>& parts, std::string_view separator) { join(parts, separator); }

template <typename Parts>
void LogText::join(const Parts& parts, std::string_view separator) {
    bool first = true;
    for (std::string_view part : parts) {
        if (!first) {
            escaped_ += separator;
            blank_ = blank_ && IsBlank(separator);
        }
        first = false;
        escaped_ += EscapeControlCharacters(part);
        blank_ = blank_ && IsBlank(part);
    }
}

}  // namespace veltrane
