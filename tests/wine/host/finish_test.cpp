#include <gtest/gtest.h>

#include "harness/child_process.h"
#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "host/host_support.h"

namespace veltrane::wine {
namespace {

using Vec = std::vector<std::string>;
const std::string kNotStarted = "|SMSG|DllStart|fail|Dll Service did not start|";

TEST(Finish, BeforeAnyStartNothingHappens) {
    TestHost host(UniqueTitle());
    host.finish();
    host.call("DIAL", {L"01055556666"});
    host.call("PC_LOGOUT");
    host.pump(std::chrono::milliseconds(200));
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_TRUE(host.copies().empty());
}

TEST(Finish, AfterAFailedStartReportsEachTimeAndTheProcessGoesOn) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder base;
    const std::wstring userFile = base.path() + L"config_user.ini";
    WriteFileBytes(userFile, "[Call]\r\nGUEST_PHONE=0109\r\n");
    {
        FileWriteLock lock(userFile);
        ASSERT_TRUE(lock.held());
        host.start(base.path(), title);
    }
    ASSERT_EQ(EventsAbout(host, "dllstart").size(), 2u);
    host.clearEvents();
    host.finish();
    host.finish();
    EXPECT_EQ(host.callbacks(), (Vec{kNotStarted, kNotStarted}));
    ASSERT_EQ(host.copies().size(), 2u);
    EXPECT_EQ(host.copies()[1].text, kNotStarted);
}

// The child: starts against the parent's CTI server, changes config_user.ini
// behind the library's back, and finishes. Every host event is appended to
// a file, since the process ends inside DLL_FINISH.
VELTRANE_CHILD_SCENARIO(StartAndFinish) {
    const std::wstring base = args.at(0);
    const std::wstring eventsFile = args.at(1);
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    host.onCallback = [&](const std::string& event) {
        HANDLE file = ::CreateFileW(eventsFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                                    nullptr);
        const std::string line = event + "\n";
        DWORD written = 0;
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        ::CloseHandle(file);
    };
    host.start(base, title);
    if (!host.waitForEvent("|SMSG|conn|connect||")) return 10;
    WriteIni(base + L"config_user.ini", "Connect", "REG_PHONE", "written behind its back");
    host.finish();
    return 0;  // DLL_FINISH returned: it did not end the process
}

TEST(Finish, SuccessReportsSavesAndEndsTheProcessWithCodeOne) {
    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port());
    const std::wstring eventsFile = base.path() + L"events.txt";

    EXPECT_EQ(RunChild("StartAndFinish", {base.path(), eventsFile}), 1);

    const std::string events = ReadFileBytes(eventsFile);
    EXPECT_EQ(events,
              "|SMSG|dllstart|success|certification_no|\n"
              "|SMSG|conn|connect||\n"
              "|SMSG|conn|disconnect||\n"
              "|SMSG|dllfinish|success||\n");
    // The settings were saved from memory once more.
    EXPECT_EQ(ReadIni(base.path() + L"config_user.ini", "Connect", "REG_PHONE"), "");
    const Vec lines = LogLines(base.path());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], " DLL_FINISH => End");
    EXPECT_EQ(lines.back(), " SEND_MSG => |SMSG|dllfinish|success||");
    EXPECT_TRUE(Logged(base.path(), " DLL_FINISH => DM_DLL.CTISocket.Socket.Close 2"));
}

}  // namespace
}  // namespace veltrane::wine
