#include "winsupport/bstr.h"

#include "winsupport/code_page.h"

namespace veltrane::winsupport {

std::string BstrToAnsi(const wchar_t* bstr) {
    if (bstr == nullptr) return {};
    return WideToAnsi(std::wstring_view(bstr, ::SysStringLen(const_cast<BSTR>(bstr))));
}

UniqueBstr MakeBstr(std::wstring_view text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

}  // namespace veltrane::winsupport
