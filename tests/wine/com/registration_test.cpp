// regsvr32 as an installer runs it: for this user (/n /i:user, no
// administrator needed) and for the machine; each entry read back from the
// registry, and nothing of ours left after unregistration.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "com/com_client.h"
#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

const std::wstring kClsid = L"{D5579293-6221-4C2F-806D-637AE6B61025}";
const std::wstring kLibid = L"{B76838BE-2587-410E-A3EF-E5D25D671CE4}";
const std::wstring kIPhone = L"{DB72B45C-97C9-433A-971F-DC99001C05FF}";
const std::wstring kIPhoneEvents = L"{521E5418-4860-4502-88EC-5ACA76F92B7A}";

// Runs regsvr32 silently with these options on the DLL beside the test; its exit code.
int Regsvr32(const std::wstring& options) {
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + ProgramFolder() + L"veltrane.dll\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    DWORD code = static_cast<DWORD>(-2);
    if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// A value below Software\Classes; "<none>" when the key or value is missing.
std::wstring Read(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    const LSTATUS status = ::RegGetValueW(root, (L"Software\\Classes\\" + key).c_str(), name, RRF_RT_REG_SZ, nullptr,
                                          value, &size);
    return status == ERROR_SUCCESS ? value : L"<none>";
}

bool Exists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(opened);
    return true;
}

struct Root {
    const char* name;
    HKEY key;
    HKEY other;
    std::wstring install;
    std::wstring uninstall;
};

void PrintTo(const Root& root, std::ostream* out) { *out << root.name; }

class Registration : public ::testing::TestWithParam<Root> {};

TEST_P(Registration, WritesEveryEntryUnderItsRootAndRemovesThemAll) {
    const Root& root = GetParam();
    const std::wstring dll = ProgramFolder() + L"veltrane.dll";
    const std::vector<std::wstring> folders = {L"CLSID", L"Interface", L"TypeLib"};
    std::vector<bool> foldersBefore;
    for (const std::wstring& folder : folders) foldersBefore.push_back(Exists(root.key, folder));

    ASSERT_EQ(Regsvr32(root.install), 0);
    struct Entry {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    };
    const std::wstring typeLib = L"TypeLib\\" + kLibid + L"\\1.0";
    const std::vector<Entry> entries = {
        {L"Veltrane.Phone\\CLSID", nullptr, kClsid},
        {L"Veltrane.Phone\\CurVer", nullptr, L"Veltrane.Phone.1"},
        {L"Veltrane.Phone.1\\CLSID", nullptr, kClsid},
        {L"CLSID\\" + kClsid + L"\\InprocServer32", nullptr, dll},
        {L"CLSID\\" + kClsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"CLSID\\" + kClsid + L"\\ProgID", nullptr, L"Veltrane.Phone.1"},
        {L"CLSID\\" + kClsid + L"\\VersionIndependentProgID", nullptr, L"Veltrane.Phone"},
        {L"CLSID\\" + kClsid + L"\\TypeLib", nullptr, kLibid},
        {typeLib + L"\\0\\win64", nullptr, dll},
        {typeLib + L"\\FLAGS", nullptr, L"0"},
        {L"Interface\\" + kIPhone + L"\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
        {L"Interface\\" + kIPhone + L"\\TypeLib", nullptr, kLibid},
        {L"Interface\\" + kIPhoneEvents + L"\\ProxyStubClsid32", nullptr, L"{00020420-0000-0000-C000-000000000046}"},
        {L"Interface\\" + kIPhoneEvents + L"\\TypeLib", L"Version", L"1.0"},
    };
    for (const Entry& entry : entries) {
        EXPECT_EQ(Read(root.key, entry.key, entry.name), entry.value) << ToAnsi(entry.key);
        EXPECT_EQ(Read(root.other, entry.key, entry.name), L"<none>") << "under the other root: " << ToAnsi(entry.key);
    }

    ASSERT_EQ(Regsvr32(root.uninstall), 0);
    for (const std::wstring& tree : {L"CLSID\\" + kClsid, std::wstring(L"Veltrane.Phone"), std::wstring(L"Veltrane.Phone.1"),
                                     L"TypeLib\\" + kLibid, L"Interface\\" + kIPhone, L"Interface\\" + kIPhoneEvents})
        EXPECT_FALSE(Exists(root.key, tree)) << ToAnsi(tree);
    for (std::size_t i = 0; i < folders.size(); ++i)
        EXPECT_EQ(Exists(root.key, folders[i]), foldersBefore[i]) << ToAnsi(folders[i]);
}

INSTANTIATE_TEST_SUITE_P(Roots, Registration,
                         testing::Values(Root{"ThisUser", HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, L"/n /i:user",
                                              L"/u /n /i:user"},
                                         Root{"Machine", HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, L"", L"/u"}),
                         [](const testing::TestParamInfo<Root>& info) { return std::string(info.param.name); });

TEST(RegistrationRefusal, AnUnknownScopeIsRefusedAndWritesNothing) {
    EXPECT_NE(Regsvr32(L"/n /i:everyone"), 0);
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, L"Veltrane.Phone"));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, L"Veltrane.Phone"));
}

}  // namespace
}  // namespace veltrane::wine
