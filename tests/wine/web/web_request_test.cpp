// WEB_REQUEST against the system browser. Wine's InternetExplorer object
// refuses the bar and size settings, so what runs here is the failure path:
// the browser started for the post must not outlive it.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

int BrowserProcesses() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        std::wstring name = entry.szExeFile;
        std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return std::towlower(c); });
        if (name == L"iexplore.exe") ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

TEST(WebRequest, AFailedBrowserSetupIsLoggedAndLeavesNoBrowserBehind) {
    ASSERT_EQ(BrowserProcesses(), 0);
    TestHost host;
    TempFolder base;
    FakeCtiServer cti;
    WriteConfig(base.path(), "127.0.0.1", cti.port());
    host.start(base.path());
    ASSERT_TRUE(host.waitFor([&] { return cti.clientConnected(); }));
    host.pump(200ms);
    host.clearEvents();

    host.call("WEB_REQUEST", {L"CL", L"0212345678", L"", Arg::Null()});
    const std::vector<std::string> lines = LogLines(base.path());
    EXPECT_TRUE(HasLineContaining(lines, "POST_SEND_POPUP => ?KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG="));
    EXPECT_TRUE(HasLineContaining(
        lines, "POPUP Data Send Except => Address:?KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG="));
    EXPECT_FALSE(HasLineContaining(lines, "POPUP Data Send END"));
    EXPECT_TRUE(host.callbacks().empty());

    // The browser process Wine started for the object goes away again.
    EXPECT_TRUE(host.waitFor([] { return BrowserProcesses() == 0; }, 15s)) << BrowserProcesses();
}

}  // namespace
}  // namespace veltrane::wine
