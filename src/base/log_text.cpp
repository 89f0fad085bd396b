#include "base/log_text.h"

#include "base/text.h"

namespace veltrane {

namespace {
bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
    // Log lines are written by the thousand in a flood: the text goes in
    // runs, not byte by byte.
    while (!text.empty()) {
        std::size_t run = 0;
        while (run < text.size() && !IsControl(text[run])) ++run;
        out.append(text.data(), run);
        if (run == text.size()) return;
        const char c = text[run];
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += "\\x";
            out += HexText(static_cast<unsigned char>(c), 2);
        }
        text.remove_prefix(run + 1);
    }
}

std::string EscapeControlCharacters(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    AppendEscaped(escaped, text);
    return escaped;
}

LogText::LogText(std::string_view text) : escaped_(EscapeControlCharacters(text)), blank_(IsBlank(text)) {}

LogText::LogText(std::initializer_list<std::string_view> parts, std::string_view separator) {
    join(parts, separator);
}

LogText::LogText(const std::vector<std::string>& parts, std::string_view separator) { join(parts, separator); }

template <typename Parts>
void LogText::join(const Parts& parts, std::string_view separator) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size() + separator.size();
    escaped_.reserve(size);
    bool first = true;
    for (std::string_view part : parts) {
        if (!first) {
            escaped_ += separator;
            blank_ = blank_ && IsBlank(separator);
        }
        first = false;
        AppendEscaped(escaped_, part);
        blank_ = blank_ && IsBlank(part);
    }
}

}  // namespace veltrane
