// The text of one diagnostic log line. What it carries from outside (a
// request, a server packet, a host's argument) is written with every control
// character escaped, so that nothing but the library itself can start a line
// or hide one; the library's own layouts put their separators between such
// parts. Escaped: CR as \r, LF as \n, TAB as \t, the other bytes 0x00 to
// 0x1F and 0x7F as \xHH (two upper-case hexadecimal digits). Bytes from 0x80
// up (text of the ANSI code page) and the backslash are written as they are:
// a backslash is a trail byte in some code pages, and the log names paths.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// The bytes with their control characters escaped as above.
std::string EscapeControlCharacters(std::string_view text);
// The same, appended to `out`.
void AppendEscaped(std::string& out, std::string_view text);

class LogText {
public:
    LogText() = default;  // empty
    // One part: the whole text escaped.
    LogText(std::string_view text);
    LogText(const std::string& text) : LogText(std::string_view(text)) {}
    LogText(const char* text) : LogText(std::string_view(text)) {}
    // Parts joined by the library's own `separator` ("\r", "\r\n"), which is
    // written as it is; each part is escaped.
    LogText(std::initializer_list<std::string_view> parts, std::string_view separator);
    LogText(const std::vector<std::string>& parts, std::string_view separator);

    // As the log writes it.
    const std::string& escaped() const { return escaped_; }
    // Blank before escaping (empty, or only codes 0 to 32): a line then
    // carries the name alone.
    bool blank() const { return blank_; }

private:
    template <typename Parts>
    void join(const Parts& parts, std::string_view separator);

    std::string escaped_;
    bool blank_ = true;
};

}  // namespace veltrane
