#include "com/type_library.h"

#include <mutex>

namespace veltrane::com {

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return path.substr(0, length);
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

HRESULT TypeInfoOf(REFGUID type, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    // Loaded once and never released: a release during DLL_PROCESS_DETACH
    // could call into an oleaut32 already gone.
    static std::mutex loading;
    static ITypeLib* library = nullptr;
    try {
        std::lock_guard<std::mutex> lock(loading);
        if (library == nullptr) {
            const std::wstring path = ModulePath();
            if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());
            if (const HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library); FAILED(hr)) return hr;
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return library->GetTypeInfoOfGuid(type, info);
}

}  // namespace veltrane::com
