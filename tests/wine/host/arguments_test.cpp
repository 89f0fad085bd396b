// DLL_START with the arguments a host may really pass: null, huge, Korean,
// and characters that the ANSI code page has no bytes for.
#include <gtest/gtest.h>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "host/host_support.h"

namespace veltrane::wine {
namespace {

using Vec = std::vector<std::string>;
const std::string kRegister = "|SMSG|dllstart|success|certification_no|";
const std::string kNoCtiAddress = "conn|disconnect|In put CTI Address(GET_INI_INFO)";

TEST(StartArguments, NullStringsMeanTheDefaultFolderAndAnEmptyTitle) {
    const std::wstring defaultBase = L"C:\\Orvanta\\";
    RemoveTree(defaultBase);
    TestHost host(UniqueTitle());
    host.start(Arg::Null(), Arg::Null());
    EXPECT_EQ(WithoutPortNotice(host.callbacks()), (Vec{kNoCtiAddress, kRegister}));
    EXPECT_TRUE(host.copies().empty());
    EXPECT_EQ(ReadIni(defaultBase + L"config_user.ini", "SendMessage", "WIN_CAPTION"), "");
    EXPECT_TRUE(Logged(defaultBase, " DLL_START => Path:C:\\Orvanta\\, Caption:"));
    RemoveTree(defaultBase);
}

TEST(StartArguments, EmptyTitleLooksUpNoWindow) {
    TestHost host(L"");  // an untitled window, as many programs have
    TempFolder base;
    host.start(base.path(), L"");
    ASSERT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    // Put the untitled host window first in line, so that a lookup of ""
    // would find it, then start again.
    // (Another test's new window may get in between; try again then.)
    for (int tries = 0; tries < 10 && ::FindWindowA(nullptr, "") != host.window(); ++tries)
        ::SetWindowPos(host.window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(::FindWindowA(nullptr, ""), host.window());
    host.clearEvents();
    host.start(base.path(), L"");
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    EXPECT_TRUE(host.copies().empty());
}

TEST(StartArguments, FinalBackslashIsAddedOnlyWhenMissing) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port());
    const std::wstring withoutBackslash = base.path().substr(0, base.path().size() - 1);

    host.start(withoutBackslash, title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    EXPECT_TRUE(Logged(base.path(), " DLL_START => Path:" + ToAnsi(base.path()) + ", Caption:" + ToAnsi(title)));
    EXPECT_EQ(ReadIni(base.path() + L"config_user.ini", "SendMessage", "WIN_CAPTION"), ToAnsi(title));

    host.clearEvents();
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    // The CTI address came from config.ini both times.
    EXPECT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
}

TEST(StartArguments, HugeBasePathFailsClearly) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    const std::wstring path = L"C:\\" + std::wstring(100000, L'a');
    host.start(path, title);
    const Vec events = EventsAbout(host, "dllstart");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], kRegister);
    EXPECT_EQ(events[1], "|SMSG|dllstart|fail|Unable to write to " + ToAnsi(path) + "\\config_user.ini|");
    EXPECT_EQ(WithoutPortNotice(CopyTexts(host)).size(), 2u);
}

TEST(StartArguments, HugeTitleCannotBeSavedAndFailsClearly) {
    TestHost host(UniqueTitle());
    TempFolder base;
    const std::wstring userFile = base.path() + L"config_user.ini";
    WriteIni(userFile, "SendMessage", "WIN_CAPTION", "Old Title");
    const std::wstring title(100000, L't');
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"),
              (Vec{kRegister, "|SMSG|dllstart|fail|Unable to write to " + base.ansiPath() + "config_user.ini|"}));
    EXPECT_TRUE(host.copies().empty());
    // The save stopped at the title: the key before it is written, the
    // stored title is still there.
    EXPECT_EQ(ReadIni(userFile, "SendMessage", "DLL_TIME"), "0");
    EXPECT_EQ(ReadIni(userFile, "SendMessage", "WIN_CAPTION"), "Old Title");
    EXPECT_NE(ReadFileBytes(userFile).find("WIN_CAPTION=Old Title\r\n"), std::string::npos);
}

TEST(StartArguments, LineBreaksInTheTitleAddNothingToTheUserFile) {
    TestHost host(UniqueTitle());
    TempFolder base;
    const std::wstring userFile = base.path() + L"config_user.ini";
    host.start(base.path(), L"CRM\r\n[Added]\r\nREG_PHONE=0299999999");
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    const std::string file = ReadFileBytes(userFile);
    EXPECT_NE(file.find("WIN_CAPTION=CRM\r\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("0299999999"), std::string::npos) << file;
}

TEST(StartArguments, KoreanFolderIsCreatedAndKoreanTitleIsFound) {
    const std::wstring title = UniqueTitle(L"\uC0C1\uB2F4 \uD504\uB85C\uADF8\uB7A8");  // 상담 프로그램
    TestHost host(title);
    TempFolder top;
    const std::wstring base = top.path() + L"\uC0C1\uB2F4\uC6D0\\\uC124\uC815\\";  // 상담원\설정\ .
    ASSERT_NE(ToAnsi(base).find("\xBB\xF3\xB4\xE3"), std::string::npos) << "the ANSI code page is not CP949";

    host.start(base, title);
    EXPECT_EQ(WithoutPortNotice(host.callbacks()), (Vec{kNoCtiAddress, kRegister}));
    EXPECT_EQ(WithoutPortNotice(CopyTexts(host)), Vec{kRegister});
    EXPECT_TRUE(IsFolder(base));
    EXPECT_EQ(ReadIni(base + L"config_user.ini", "SendMessage", "WIN_CAPTION"), ToAnsi(title));
    EXPECT_TRUE(Logged(base, " DLL_START => Path:" + ToAnsi(base) + ", Caption:" + ToAnsi(title)));
}

TEST(StartArguments, CharacterOutsideTheCodePageInThePathFailsClearly) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder top;
    const std::wstring base = top.path() + L"\U0001F600\\";
    host.start(base, title);
    const Vec events = EventsAbout(host, "dllstart");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "|SMSG|dllstart|fail|Unable to write to " + ToAnsi(base) + "config_user.ini|");
    EXPECT_FALSE(Exists(base));
}

TEST(StartArguments, CharacterOutsideTheCodePageInTheTitleFindsNoWindow) {
    const std::wstring title = UniqueTitle(L"Host \U0001F600");
    TestHost host(title);
    TempFolder base;
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{kRegister});
    EXPECT_TRUE(host.copies().empty());
    EXPECT_EQ(ReadIni(base.path() + L"config_user.ini", "SendMessage", "WIN_CAPTION"), ToAnsi(title));
}

}  // namespace
}  // namespace veltrane::wine
