#include <gtest/gtest.h>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "host/host_support.h"

namespace veltrane::wine {
namespace {

using Vec = std::vector<std::string>;

class Start : public ::testing::Test {
protected:
    std::wstring title = UniqueTitle();
    TestHost host{title};
    TempFolder base;
    FakeCtiServer server;
    std::wstring userFile = base.path() + L"config_user.ini";

    void SetUp() override { WriteConfig(base.path(), "127.0.0.1", server.port()); }
    std::string user(const char* section, const char* key) { return ReadIni(userFile, section, key); }
};

TEST_F(Start, FirstStartTellsTheHostToRegisterAndWritesTheDefaults) {
    host.start(base.path(), title);
    // Read before the link's own events get a chance to save again.
    EXPECT_EQ(user("SendMessage", "DLL_TIME"), "0");
    EXPECT_EQ(user("SendMessage", "WIN_CAPTION"), ToAnsi(title));
    EXPECT_EQ(user("Connect", "IS_CALLOUT_POP"), "Y");
    EXPECT_EQ(user("Connect", "IS_POPUP_SHOW"), "Y");
    EXPECT_EQ(user("Connect", "POPUP_SHOW_TIME"), "5");
    EXPECT_EQ(user("Connect", "MAC_ADDR"), "");
    EXPECT_EQ(user("Connect", "REG_PHONE"), "");
    EXPECT_EQ(user("MyInfo", "PHONE_NO"), "");
    EXPECT_EQ(user("Call", "GUEST_PHONE"), "");
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{"|SMSG|dllstart|success|certification_no|"});
    EXPECT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
}

TEST_F(Start, EventFollowsTheStoredAddressOfThisPcAndThePhone) {
    const std::string mac = FirstAdapterMac();
    ASSERT_EQ(mac.size(), 17u) << mac;
    host.start(base.path(), title);
    // The address the library read is the one the system reports.
    EXPECT_TRUE(Logged(base.path(), " DLL_START => [RegPhone:]:" + mac));

    struct Case {
        std::string storedMac, regPhone, event;
    };
    std::string lower = mac;
    for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    const Case cases[] = {
        {mac, "0212345678", "|SMSG|dllstart|success|login|0212345678|"},
        {mac, "", "|SMSG|dllstart|success|certification_no|"},
        {lower, "0212345678", "|SMSG|dllstart|success|certification_no|"},
        {"00-00-00-00-00-01", "0212345678", "|SMSG|dllstart|success|certification_no|"},
    };
    for (const Case& one : cases) {
        WriteIni(userFile, "Connect", "MAC_ADDR", one.storedMac);
        WriteIni(userFile, "Connect", "REG_PHONE", one.regPhone);
        host.clearEvents();
        host.start(base.path(), title);
        EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{one.event}) << one.storedMac << " / " << one.regPhone;
    }
}

TEST_F(Start, StoredTextIsReadUpTo2047Characters) {
    WriteIni(userFile, "Connect", "MAC_ADDR", FirstAdapterMac());
    WriteIni(userFile, "Connect", "REG_PHONE", std::string(3000, '9'));
    host.start(base.path(), title);
    const std::string phone(2047, '9');
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{"|SMSG|dllstart|success|login|" + phone + "|"});
    EXPECT_EQ(user("Connect", "REG_PHONE"), phone);
}

TEST_F(Start, StoredGuestPhoneIsClearedAndTheTitleReplacesTheStoredOne) {
    WriteIni(userFile, "Call", "GUEST_PHONE", "01055556666");
    WriteIni(userFile, "SendMessage", "WIN_CAPTION", "Old Title");
    WriteIni(userFile, "MyInfo", "PHONE_NO", "0212345678");
    host.start(base.path(), title);
    EXPECT_EQ(user("Call", "GUEST_PHONE"), "");
    EXPECT_EQ(user("SendMessage", "WIN_CAPTION"), ToAnsi(title));
    EXPECT_EQ(user("MyInfo", "PHONE_NO"), "0212345678");
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{"|SMSG|dllstart|success|certification_no|"});
}

TEST_F(Start, IntegersThatAreNotNumbersGiveTheDefaults) {
    char hexPort[16];
    std::snprintf(hexPort, sizeof hexPort, "0x%X", server.port());
    WriteIni(base.path() + L"config.ini", "Connect", "CTI_PORT", hexPort);
    WriteIni(userFile, "SendMessage", "DLL_TIME", "0x");
    WriteIni(userFile, "Connect", "POPUP_SHOW_TIME", "99999999999999999999");
    WriteIni(userFile, "Connect", "IS_POPUP_SHOW", "N");
    host.start(base.path(), title);
    EXPECT_EQ(user("SendMessage", "DLL_TIME"), "0");
    EXPECT_EQ(user("Connect", "POPUP_SHOW_TIME"), "5");
    EXPECT_TRUE(Logged(base.path(), " CTI_CONN => [CTI_ID:0]CTI Address:127.0.0.1 Port:" +
                                        std::to_string(server.port())));
    // The hexadecimal port is the fake server's.
    EXPECT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
}

TEST_F(Start, WebPortThatIsNotANumberIs12209) {
    WriteIni(base.path() + L"config.ini", "Connect", "WEB_PORT", "12x");
    host.start(base.path(), title);
    EXPECT_TRUE(Logged(base.path(), " HTTPServer => PORT:12209 / Status Check : UnActive"));
}

TEST_F(Start, UserFileThatCannotBeWrittenFailsTheStartAndKeepsItsContent) {
    const std::string content =
        "[Connect]\r\nMAC_ADDR=00-11-22-33-44-55\r\nREG_PHONE=0212345678\r\n[Call]\r\nGUEST_PHONE=0109\r\n";
    WriteFileBytes(userFile, content);
    ::SetFileAttributesW(userFile.c_str(), FILE_ATTRIBUTE_READONLY);
    // Under Wine a process running as root writes to read-only files; a
    // reader that shares no writing stops every writer.
    FileWriteLock lock(userFile);
    ASSERT_TRUE(lock.held());

    host.start(base.path(), title);
    const std::string failure =
        "|SMSG|dllstart|fail|Unable to write to " + ToAnsi(base.path()) + "config_user.ini|";
    EXPECT_EQ(EventsAbout(host, "dllstart"), (Vec{"|SMSG|dllstart|success|certification_no|", failure}));
    EXPECT_EQ(ReadFileBytes(userFile), content);
    ::SetFileAttributesW(userFile.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Start, LogFolderThatCannotBeCreatedDoesNotStopTheStart) {
    WriteFileBytes(base.path() + L"LOG", "a file where the folder should be");
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{"|SMSG|dllstart|success|certification_no|"});
    EXPECT_EQ(user("SendMessage", "WIN_CAPTION"), ToAnsi(title));
    EXPECT_FALSE(IsFolder(base.path() + L"LOG"));
    EXPECT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
}

TEST_F(Start, RestartWhileStartedReadsTheFilesAgain) {
    host.start(base.path(), title);
    ASSERT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
    WriteIni(userFile, "Connect", "MAC_ADDR", FirstAdapterMac());
    WriteIni(userFile, "Connect", "REG_PHONE", "0298765432");
    host.clearEvents();
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), Vec{"|SMSG|dllstart|success|login|0298765432|"});
    EXPECT_TRUE(Logged(base.path(), " HTTPServer => PORT:" + ReadIni(base.path() + L"config.ini", "Connect", "WEB_PORT") +
                                        " / Status Check : Active"));
    EXPECT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
}

}  // namespace
}  // namespace veltrane::wine

namespace veltrane::wine {
namespace {

// A host that unloads the library after starting it: the library keeps
// itself loaded, since its windows, timers and socket still run.
// Refuses every window made on this thread while it lives.
class WindowRefusal {
public:
    WindowRefusal() : hook_(::SetWindowsHookExW(WH_CBT, &Refuse, nullptr, ::GetCurrentThreadId())) {}
    ~WindowRefusal() { ::UnhookWindowsHookEx(hook_); }
    bool active() const { return hook_ != nullptr; }

private:
    static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) return 1;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

TEST_F(Start, OwnerWindowThatCannotBeMadeFailsTheStartAndTellsTheHost) {
    {
        WindowRefusal refusal;
        ASSERT_TRUE(refusal.active());
        host.start(base.path(), title);
    }
    const Vec events = EventsAbout(host, "dllstart");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("|SMSG|dllstart|fail|Owner window not created (error ", 0), 0u) << events[0];
    ASSERT_EQ(host.copies().size(), 1u);
    EXPECT_EQ(host.copies()[0].text, events[0]);
    EXPECT_FALSE(server.clientConnected());

    // The library stays without an owner thread: exports do nothing, a
    // start says so again.
    host.call("DIAL", {L"0100000000"});
    host.start(base.path(), title);
    EXPECT_EQ(EventsAbout(host, "dllstart"), (Vec{events[0], events[0]}));
}

TEST(StartUnload, FreeLibraryAfterStartLeavesTheLibraryWorking) {
    TestHost host;
    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port());
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));

    ::FreeLibrary(host.dll());
    EXPECT_NE(::GetModuleHandleW(L"veltrane.dll"), nullptr);
    ASSERT_TRUE(server.send("|LINK|INFO      |S|0009|N|hello|\r\n"));
    EXPECT_TRUE(host.waitForEvent("|SMSG|information|normal|hello|"));
}

}  // namespace
}  // namespace veltrane::wine
