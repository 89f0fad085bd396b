#include "com/registration.h"

#include <olectl.h>

#include <string>
#include <vector>

#include "com/type_library.h"
#include "com/veltrane_idl.h"

namespace veltrane::com {

namespace {
constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kProgId[] = L"Veltrane.Phone";
constexpr wchar_t kVersionedProgId[] = L"Veltrane.Phone.1";
constexpr wchar_t kTypeLibVersion[] = L"1.0";
// The system's marshallers: the type library's for the dual interface,
// IDispatch's for the event interface.
constexpr wchar_t kTypeLibMarshaller[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr wchar_t kDispatchMarshaller[] = L"{00020420-0000-0000-C000-000000000046}";

std::wstring Text(REFGUID guid) {
    wchar_t text[40];
    return ::StringFromGUID2(guid, text, 40) > 0 ? text : L"";
}

struct Entry {
    std::wstring key;    // below Software\Classes
    std::wstring name;   // empty: the key's default value
    std::wstring value;
};

// Each tree of ours, removed whole.
std::vector<std::wstring> Trees() {
    return {L"CLSID\\" + Text(CLSID_Phone), kProgId, kVersionedProgId, L"TypeLib\\" + Text(LIBID_Veltrane),
            L"Interface\\" + Text(IID_IPhone), L"Interface\\" + Text(DIID_IPhoneEvents)};
}

std::vector<Entry> Entries(const std::wstring& dll) {
    const std::wstring clsid = L"CLSID\\" + Text(CLSID_Phone);
    const std::wstring libid = Text(LIBID_Veltrane);
    const std::wstring typeLib = L"TypeLib\\" + libid + L"\\" + kTypeLibVersion;
    const std::wstring folder = dll.substr(0, dll.find_last_of(L'\\') + 1);
    const wchar_t* const platform = sizeof(void*) == 8 ? L"win64" : L"win32";
    std::vector<Entry> entries = {
        {clsid, L"", L"Veltrane Phone"},
        {clsid + L"\\InprocServer32", L"", dll},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", kVersionedProgId},
        {clsid + L"\\VersionIndependentProgID", L"", kProgId},
        {clsid + L"\\TypeLib", L"", libid},
        {clsid + L"\\Version", L"", kTypeLibVersion},
        {kProgId, L"", L"Veltrane Phone"},
        {std::wstring(kProgId) + L"\\CLSID", L"", Text(CLSID_Phone)},
        {std::wstring(kProgId) + L"\\CurVer", L"", kVersionedProgId},
        {kVersionedProgId, L"", L"Veltrane Phone"},
        {std::wstring(kVersionedProgId) + L"\\CLSID", L"", Text(CLSID_Phone)},
        {typeLib, L"", L"Veltrane computer-telephony library"},
        {typeLib + L"\\0\\" + platform, L"", dll},
        {typeLib + L"\\FLAGS", L"", L"0"},
        {typeLib + L"\\HELPDIR", L"", folder},
    };
    struct Interface {
        REFIID iid;
        const wchar_t* name;
        const wchar_t* marshaller;
    };
    for (const Interface& one : {Interface{IID_IPhone, L"IPhone", kTypeLibMarshaller},
                                 Interface{DIID_IPhoneEvents, L"IPhoneEvents", kDispatchMarshaller}}) {
        const std::wstring key = L"Interface\\" + Text(one.iid);
        entries.push_back({key, L"", one.name});
        entries.push_back({key + L"\\ProxyStubClsid32", L"", one.marshaller});
        entries.push_back({key + L"\\TypeLib", L"", libid});
        entries.push_back({key + L"\\TypeLib", L"Version", kTypeLibVersion});
    }
    return entries;
}

LSTATUS Write(HKEY root, const Entry& entry) {
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(root, (kClasses + entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = ::RegSetValueExW(key, entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(entry.value.c_str()),
                              static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return status;
}

// Deletes a key that has neither subkeys nor values.
void RemoveIfEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 1;
    DWORD values = 1;
    const LSTATUS status =
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr);
    ::RegCloseKey(key);
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) ::RegDeleteKeyW(root, path.c_str());
}
}  // namespace

HRESULT RegisterServer(HKEY root) noexcept {
    try {
        const std::wstring dll = ModulePath();
        if (dll.empty()) return SELFREG_E_CLASS;
        for (const Entry& entry : Entries(dll)) {
            if (const LSTATUS status = Write(root, entry); status != ERROR_SUCCESS) {
                UnregisterServer(root);
                return HRESULT_FROM_WIN32(status);
            }
        }
        return S_OK;
    } catch (...) {
        UnregisterServer(root);
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer(HKEY root) noexcept {
    try {
        HRESULT result = S_OK;
        for (const std::wstring& tree : Trees()) {
            const LSTATUS status = ::RegDeleteTreeW(root, (kClasses + tree).c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(status);
        }
        for (const wchar_t* folder : {L"CLSID", L"Interface", L"TypeLib"}) RemoveIfEmpty(root, kClasses + std::wstring(folder));
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace veltrane::com
