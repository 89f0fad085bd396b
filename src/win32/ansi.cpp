#include "win32/ansi.h"

#include <oleauto.h>

#include <climits>

namespace veltrane::win32 {

std::string WideToAnsi(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX / 4) return {};
    const int length = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string result(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, result.data(), bytes, nullptr, nullptr);
    return result;
}

std::string BstrToAnsi(const wchar_t* bstr) {
    if (bstr == nullptr) return {};
    return WideToAnsi(std::wstring_view(bstr, ::SysStringLen(const_cast<BSTR>(bstr))));
}

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX / 2) return {};
    const int length = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (chars <= 0) return {};
    std::wstring result(static_cast<std::size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, result.data(), chars);
    return result;
}

}  // namespace veltrane::win32
