// The entry points COM and regsvr32 look for in an in-process server.
#include <windows.h>
#include <olectl.h>

#include <cwctype>
#include <string_view>

#include "com/class_factory.h"
#include "com/registration.h"
#include "com/veltrane_idl.h"

using veltrane::com::PhoneFactory;

namespace {
// regsvr32 /i:user (DllInstall's command line): this user only; anything
// else but nothing or "machine" is refused.
bool IsWord(const wchar_t* given, std::wstring_view word) {
    std::wstring_view text = given != nullptr ? given : L"";
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::towlower(text[i]) != word[i]) return false;
    return true;
}
}  // namespace

extern "C" {

HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Phone) return CLASS_E_CLASSNOTAVAILABLE;
    return PhoneFactory::Instance().QueryInterface(iid, object);
}

// The library's threads and windows outlive every object.
HRESULT __stdcall DllCanUnloadNow() { return S_FALSE; }

HRESULT __stdcall DllRegisterServer() { return veltrane::com::RegisterServer(HKEY_LOCAL_MACHINE); }

HRESULT __stdcall DllUnregisterServer() { return veltrane::com::UnregisterServer(HKEY_LOCAL_MACHINE); }

HRESULT __stdcall DllInstall(BOOL install, const wchar_t* commandLine) {
    HKEY root = nullptr;
    if (IsWord(commandLine, L"user"))
        root = HKEY_CURRENT_USER;
    else if (IsWord(commandLine, L"") || IsWord(commandLine, L"machine"))
        root = HKEY_LOCAL_MACHINE;
    else
        return E_INVALIDARG;
    return install ? veltrane::com::RegisterServer(root) : veltrane::com::UnregisterServer(root);
}

}  // extern "C"
