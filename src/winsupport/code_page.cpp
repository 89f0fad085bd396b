#include "winsupport/code_page.h"

#include <windows.h>

#include <climits>

namespace veltrane::winsupport {

std::wstring Widen(std::string_view text, unsigned codePage) {
    if (text.empty() || text.size() > INT_MAX / 2) return {};
    const int length = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (chars <= 0) return {};
    std::wstring result(static_cast<std::size_t>(chars), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), chars);
    return result;
}

std::optional<std::wstring> WidenStrictly(std::string_view text, unsigned codePage) {
    if (text.empty()) return std::wstring();
    if (text.size() > INT_MAX / 2) return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (chars <= 0) return std::nullopt;
    std::wstring result(static_cast<std::size_t>(chars), L'\0');
    if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, result.data(), chars) != chars)
        return std::nullopt;
    return result;
}

std::string Narrow(std::wstring_view text, unsigned codePage, const char* defaultChar) {
    if (text.empty() || text.size() > INT_MAX / 4) return {};
    const int length = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string result(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), bytes, defaultChar, nullptr);
    return result;
}

std::string WideToAnsi(std::wstring_view text) { return Narrow(text, CP_ACP); }
std::wstring AnsiToWide(std::string_view text) { return Widen(text, CP_ACP); }
std::string AnsiToUtf8(std::string_view ansi) { return Narrow(Widen(ansi, CP_ACP), CP_UTF8); }
std::string Utf8ToAnsi(std::string_view utf8) { return Narrow(Widen(utf8, CP_UTF8), CP_ACP); }

}  // namespace veltrane::winsupport
