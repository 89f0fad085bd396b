#include "core/lifecycle.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "account/login.h"
#include "support/fake_platform.h"

namespace veltrane {
namespace {

using Vec = std::vector<std::string>;

constexpr const char* kMac = "00-1A-2B-3C-4D-5E";  // FakeSystem's
const std::string kUserFile = "C:\\Base\\config_user.ini";

std::string Smsg(const std::string& event) { return "|SMSG|" + event; }

class Start : public ::testing::Test {
protected:
    testing::TestLibrary t;
    Library& lib = t.lib;
    TCONFIG_INFO& c = t.lib.config;

    void SetUp() override { t.ini.set(t.configFile(), "Connect", "CTI_IPs", "127.0.0.1"); }
    void setUser(const char* section, const char* key, const std::string& value) {
        t.ini.set(kUserFile, section, key, value);
    }
    void start(const std::string& title = "Host Window") { t.session.start(testing::TestLibrary::kBase, title); }
    bool logged(const std::string& line) const {
        const Vec lines = t.logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(Start, EventTellsWhetherThisPcIsCertifiedForTheStoredPhone) {
    struct Case {
        std::string storedMac, regPhone, currentMac, event;
    };
    const Case cases[] = {
        {"", "", kMac, "dllstart|success|certification_no|"},
        {kMac, "0212345678", kMac, "dllstart|success|login|0212345678|"},
        {kMac, " \t", kMac, "dllstart|success|certification_no|"},
        {kMac, "", kMac, "dllstart|success|certification_no|"},
        {"00-1a-2b-3c-4d-5e", "0212345678", kMac, "dllstart|success|certification_no|"},
        {"00-1A-2B-3C-4D-5F", "0212345678", kMac, "dllstart|success|certification_no|"},
        // Both addresses are compared trimmed; the phone is sent as stored.
        {" 00-1A-2B-3C-4D-5E\t", " 0212 ", kMac + std::string("\r\n"), "dllstart|success|login| 0212 |"},
        // The adapter list could not be read: the system's text never matches.
        {kMac, "0212345678", "The network is not present.", "dllstart|success|certification_no|"},
    };
    for (const Case& one : cases) {
        testing::TestLibrary fresh;
        fresh.ini.set(fresh.configFile(), "Connect", "CTI_IPs", "127.0.0.1");
        fresh.ini.set(kUserFile, "Connect", "MAC_ADDR", one.storedMac);
        fresh.ini.set(kUserFile, "Connect", "REG_PHONE", one.regPhone);
        fresh.system.mac = one.currentMac;
        fresh.session.start(testing::TestLibrary::kBase, "Host Window");
        EXPECT_EQ(fresh.events(), Vec{Smsg(one.event)}) << one.storedMac << " / " << one.regPhone;
        EXPECT_EQ(fresh.host.copies, Vec{Smsg(one.event)});
        EXPECT_TRUE(fresh.desktop.alerts.empty());
        EXPECT_EQ(fresh.lib.CurrentMac, one.currentMac);
        EXPECT_TRUE(fresh.lib.Started);
    }
}

TEST_F(Start, LogsPathCaptionAndBothAddresses) {
    setUser("Connect", "MAC_ADDR", " 00-1A-2B-3C-4D-5E ");
    setUser("Connect", "REG_PHONE", "0212");
    t.system.mac = std::string(kMac) + " ";
    t.session.start("C:\\Base", "CRM Main");
    const Vec lines = t.logLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), " DLL_START => Path:C:\\Base\\, Caption:CRM Main"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        " DLL_START => [RegPhone:0212]00-1A-2B-3C-4D-5E:00-1A-2B-3C-4D-5E"),
              lines.end());
}

TEST_F(Start, FirstStartCreatesTheUserFileWithItsDefaults) {
    t.files.folders.clear();
    start();
    EXPECT_TRUE(t.files.folders.count("C:\\Base\\"));
    EXPECT_EQ(t.ini.writes, (Vec{"SendMessage/DLL_TIME=0", "SendMessage/WIN_CAPTION=Host Window",
                                  "Connect/IS_CALLOUT_POP=Y", "Connect/IS_POPUP_SHOW=Y", "Connect/POPUP_SHOW_TIME=5",
                                  "Connect/MAC_ADDR=", "Connect/REG_PHONE=", "MyInfo/PHONE_NO=", "Call/GUEST_PHONE="}));
    EXPECT_EQ(t.events(), Vec{Smsg("dllstart|success|certification_no|")});
    EXPECT_TRUE(lib.Started);
}

TEST_F(Start, StoredGuestPhoneIsClearedAndSavedEmpty) {
    setUser("Call", "GUEST_PHONE", "01055556666");
    lib.user.CallState = "2";
    start();
    EXPECT_EQ(c.GUEST_PHONE, "");
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_TRUE(t.ini.has(kUserFile, "Call", "GUEST_PHONE"));
    EXPECT_EQ(t.ini.value(kUserFile, "Call", "GUEST_PHONE"), "");
}

TEST_F(Start, TitleArgumentReplacesTheStoredCaption) {
    setUser("SendMessage", "WIN_CAPTION", "Old Title");
    start("New Title");
    EXPECT_EQ(c.WIN_CAPTION, "New Title");
    EXPECT_EQ(t.host.windowTitle, "New Title");
    EXPECT_EQ(t.ini.value(kUserFile, "SendMessage", "WIN_CAPTION"), "New Title");

    start("");
    EXPECT_EQ(c.WIN_CAPTION, "");
    EXPECT_EQ(t.host.windowTitle, "");
    EXPECT_EQ(t.host.windowLookups, 2);
    EXPECT_EQ(t.ini.value(kUserFile, "SendMessage", "WIN_CAPTION"), "");
}

TEST_F(Start, BasePathIsCompletedWithABackslashAndBlankMeansTheDefault) {
    struct Case {
        std::string given, used;
    };
    const Case cases[] = {
        {"", "C:\\Orvanta\\"},
        {" \t\r\n", "C:\\Orvanta\\"},
        {"D:\\Work", "D:\\Work\\"},
        {"D:\\Work\\", "D:\\Work\\"},
        {" D:\\Work", " D:\\Work\\"},
        {"D:\\Work ", "D:\\Work \\"},
    };
    for (const Case& one : cases) {
        t.clearRecords();
        t.ini.files.clear();
        t.session.start(one.given, "Host Window");
        EXPECT_EQ(c.BasePath, one.used) << '"' << one.given << '"';
        EXPECT_TRUE(t.ini.has(one.used + "config_user.ini", "Call", "GUEST_PHONE")) << one.used;
        EXPECT_EQ(t.files.appendOrder.front(), one.used + "LOG\\09_dll.txt");
    }
}

TEST_F(Start, WebPortMissingOrZeroMeans12209AndHexIsRead) {
    struct Case {
        const char* value;  // nullptr: key missing
        std::int32_t port;
    };
    const Case cases[] = {{nullptr, 12209}, {"0", 12209}, {"0x2FB9", 12217}, {"13000", 13000}};
    for (const Case& one : cases) {
        testing::TestLibrary fresh;
        fresh.ini.set(fresh.configFile(), "Connect", "CTI_IPs", "127.0.0.1");
        if (one.value != nullptr) fresh.ini.set(fresh.configFile(), "Connect", "WEB_PORT", one.value);
        fresh.session.start(testing::TestLibrary::kBase, "Host Window");
        EXPECT_EQ(fresh.httpServer.port, one.port) << (one.value ? one.value : "missing");
        EXPECT_EQ(fresh.lib.config.WEB_PORT, one.port);
    }
}

TEST_F(Start, CommandServerIsStartedOnceAndItsStateLogged) {
    start();
    EXPECT_TRUE(logged(" HTTPServer => PORT:12209 / Status Check : UnActive"));
    EXPECT_TRUE(logged(" HTTPServer => PORT:12209 / Request : Active"));
    EXPECT_EQ(t.httpServer.listens, 1);

    t.clearRecords();
    start();
    EXPECT_TRUE(logged(" HTTPServer => PORT:12209 / Status Check : Active"));
    EXPECT_FALSE(logged(" HTTPServer => PORT:12209 / Request : Active"));
    EXPECT_EQ(t.httpServer.listens, 1);
    EXPECT_TRUE(lib.Started);
}

TEST_F(Start, ATakenPortLeavesOutTheCommandServerOnlyAndIsTriedAgain) {
    t.httpServer.failure = "bind 127.0.0.1:12209 failed (error 10048)";
    start();
    EXPECT_TRUE(lib.Started);
    EXPECT_EQ(t.events(),
              (Vec{Smsg("httpserver|fail|PORT:12209 unavailable|"), Smsg("dllstart|success|certification_no|")}));
    EXPECT_EQ(t.alerts(), Vec{"httpserver=>PORT:12209 unavailable"});
    EXPECT_TRUE(logged(" HTTPServer => PORT:12209 / Request : bind 127.0.0.1:12209 failed (error 10048)"));
    EXPECT_EQ(t.socket.opens.size(), 1u);
    EXPECT_TRUE(t.httpServerRetry.running);
    EXPECT_EQ(t.httpServerRetry.interval, 30000);

    // Still taken: tried again without a word. A second start does not tell again.
    t.clearRecords();
    HTTPServerRetryTimer(lib);
    start();
    EXPECT_EQ(t.httpServer.listens, 3);
    EXPECT_TRUE(std::none_of(t.events().begin(), t.events().end(),
                             [](const std::string& event) { return event.find("httpserver") != std::string::npos; }));
    EXPECT_TRUE(t.httpServerRetry.running);
    EXPECT_FALSE(logged(" HTTPServer => PORT:12209 / Request : Active"));

    // Free again: listening, one log line, no more tries.
    t.clearRecords();
    t.httpServer.failure.clear();
    HTTPServerRetryTimer(lib);
    EXPECT_TRUE(t.httpServer.active);
    EXPECT_EQ(t.httpServer.port, 12209);
    EXPECT_FALSE(t.httpServerRetry.running);
    EXPECT_EQ(t.logLines(), Vec{" HTTPServer => PORT:12209 / Request : Active"});
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Start, SaveThatFailsReportsTheFileAndLeavesTheLibraryStopped) {
    t.ini.readOnly.insert(kUserFile);
    start();
    EXPECT_FALSE(lib.Started);
    EXPECT_EQ(t.events(), (Vec{Smsg("dllstart|success|certification_no|"),
                               Smsg("dllstart|fail|Unable to write to C:\\Base\\config_user.ini|")}));
    EXPECT_EQ(t.host.copies, t.events());
    EXPECT_EQ(t.alerts(), Vec{"dllstart=>Unable to write to C:\\Base\\config_user.ini"});
    EXPECT_TRUE(logged(" DLL_START except => Unable to write to C:\\Base\\config_user.ini"));
}

TEST_F(Start, FailedRestartClearsStarted) {
    start();
    ASSERT_TRUE(lib.Started);
    t.ini.readOnly.insert(kUserFile);
    start();
    EXPECT_FALSE(lib.Started);
}

TEST_F(Start, BlankCtiAddressAlertsButTheStartGoesOn) {
    t.ini.set(t.configFile(), "Connect", "CTI_IPs", "  ");
    start();
    EXPECT_EQ(t.events(), (Vec{"conn|disconnect|In put CTI Address(GET_INI_INFO)",
                               Smsg("dllstart|success|certification_no|")}));
    EXPECT_EQ(t.host.copies, Vec{Smsg("dllstart|success|certification_no|")});
    EXPECT_EQ(t.alerts(), Vec{"GET_INI_INFO Fail=>In put CTI Address"});
    EXPECT_TRUE(lib.Started);
    EXPECT_TRUE(t.ini.has(kUserFile, "Call", "GUEST_PHONE"));
}

TEST_F(Start, ClearsTheLinkOfAPreviousRun) {
    t.link.state = cti::LinkState::GaveUp;
    t.link.budgetSpent = 7;
    t.link.failures = 4;
    t.link.signedIn = true;
    t.link.addressIndex = 3;
    t.timerConn.start(30000);
    start();
    EXPECT_EQ(t.link.state, cti::LinkState::Connecting);
    EXPECT_EQ(t.link.budgetSpent, 0);
    EXPECT_EQ(t.link.failures, 0);
    EXPECT_FALSE(t.link.signedIn);
    EXPECT_FALSE(t.timerConn.running);
    // The connection attempt of the start took the first address.
    ASSERT_EQ(t.socket.opens.size(), 1u);
    EXPECT_EQ(t.socket.opens[0].first, "127.0.0.1");
}

class Finish : public Start {};

TEST_F(Finish, WithoutAStartOnlyReportsAndNeverEndsTheProcess) {
    t.session.finish();
    t.session.finish();
    const std::string event = Smsg("DllStart|fail|Dll Service did not start|");
    EXPECT_EQ(t.events(), (Vec{event, event}));
    EXPECT_EQ(t.alerts(), (Vec{"DllStart=>Dll Service did not start", "DllStart=>Dll Service did not start"}));
    EXPECT_TRUE(t.system.exitCodes.empty());
    EXPECT_EQ(t.link.state, cti::LinkState::Stopped);
    EXPECT_TRUE(t.ini.writes.empty());
}

TEST_F(Finish, AfterAFailedStartOnlyReports) {
    t.ini.readOnly.insert(kUserFile);
    start();
    t.clearRecords();
    t.session.finish();
    t.session.finish();
    const std::string event = Smsg("DllStart|fail|Dll Service did not start|");
    EXPECT_EQ(t.events(), (Vec{event, event}));
    EXPECT_TRUE(t.system.exitCodes.empty());
    EXPECT_TRUE(t.httpServer.active);
}

TEST_F(Finish, SuccessStopsEverythingSavesReportsAndEndsTheProcess) {
    start();
    t.socket.refuseOpen = true;
    t.socket.serverCloses();  // no attempt under way: the next one waits out its pause
    t.timerConn.start(30000);
    t.httpServerRetry.start(30000);
    t.clearRecords();
    t.session.finish();
    EXPECT_EQ(t.link.state, cti::LinkState::Stopped);
    EXPECT_FALSE(t.timerConn.running);
    EXPECT_FALSE(t.connectPause.running);
    EXPECT_FALSE(t.httpServerRetry.running);
    EXPECT_FALSE(t.httpServer.active);
    EXPECT_EQ(t.ini.writes.size(), 9u);
    EXPECT_EQ(t.events(), Vec{Smsg("dllfinish|success||")});
    const Vec lines = t.logLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), " DLL_FINISH => Start");
    // The event's own log line comes after "End".
    EXPECT_EQ(lines[lines.size() - 2], " DLL_FINISH => End");
    EXPECT_EQ(lines.back(), " SEND_MSG => |SMSG|dllfinish|success||");
    EXPECT_EQ(t.system.exitCodes, std::vector<unsigned>{1});
}

TEST_F(Finish, ClosesAConnectedLinkWithoutReconnecting) {
    start();
    t.socket.acceptConnection();
    t.clearRecords();
    t.session.finish();
    EXPECT_EQ(t.socket.state(), SocketState::Closed);
    EXPECT_TRUE(t.socket.opens.empty());
    EXPECT_EQ(t.events(), (Vec{Smsg("conn|disconnect||"), Smsg("dllfinish|success||")}));
    EXPECT_TRUE(logged(" DLL_FINISH => DM_DLL.CTISocket.Socket.Close 2"));
    EXPECT_EQ(t.system.exitCodes, std::vector<unsigned>{1});
}

TEST_F(Finish, SaveThatFailsDoesNotStopTheFinish) {
    start();
    t.socket.acceptConnection();
    t.ini.readOnly.insert(kUserFile);
    t.clearRecords();
    t.session.finish();
    EXPECT_EQ(t.events(), (Vec{Smsg("conn|disconnect||"), Smsg("dllfinish|success||")}));
    EXPECT_EQ(t.system.exitCodes, std::vector<unsigned>{1});
}

// StopLibrary: DLL_FINISH without the end of the process, and a start after it.
class Stop : public Start {};

TEST_F(Stop, ClosesTheLinkStopsEverythingSavesAndReportsWithoutEndingTheProcess) {
    for (const bool connected : {true, false}) {  // connected, or still connecting
        testing::TestLibrary s;
        s.ini.set(s.configFile(), "Connect", "CTI_IPs", "127.0.0.1");
        s.session.start(testing::TestLibrary::kBase, "Host Window");
        if (connected) s.socket.acceptConnection();
        s.timerConn.start(30000);
        s.httpServerRetry.start(30000);
        s.clearRecords();
        s.session.stop();
        EXPECT_EQ(s.socket.state(), SocketState::Closed);
        EXPECT_TRUE(s.socket.opens.empty()) << "reconnected";
        EXPECT_FALSE(s.timerConn.running || s.connectPause.running || s.httpServerRetry.running);
        EXPECT_FALSE(s.httpServer.active);
        EXPECT_EQ(s.ini.writes.size(), 9u);
        EXPECT_EQ(s.events(), (Vec{Smsg("conn|disconnect||"), Smsg("dllfinish|success||")}));
        const Vec lines = s.logLines();
        EXPECT_EQ(lines.front(), " DLL_STOP => Start");
        EXPECT_EQ(lines[lines.size() - 2], " DLL_STOP => End");
        EXPECT_TRUE(s.system.exitCodes.empty());
        EXPECT_FALSE(s.lib.Started);
    }
}

TEST_F(Stop, BeforeAStartOrAfterAStopOnlyReports) {
    t.session.stop();
    start();
    t.session.stop();
    t.clearRecords();
    t.session.stop();
    EXPECT_EQ(t.events(), Vec{Smsg("DllStart|fail|Dll Service did not start|")});
    EXPECT_TRUE(t.ini.writes.empty());
    EXPECT_TRUE(t.system.exitCodes.empty());
}

TEST_F(Stop, AStartAfterItConnectsAgain) {
    start();
    t.socket.acceptConnection();
    t.session.stop();
    t.clearRecords();
    start();
    EXPECT_EQ(t.events(), Vec{Smsg("dllstart|success|certification_no|")});
    ASSERT_EQ(t.socket.opens.size(), 1u);
    t.socket.acceptConnection();
    EXPECT_EQ(t.events().back(), Smsg("conn|connect||"));
    EXPECT_TRUE(t.timerConn.running);
    EXPECT_TRUE(t.httpServer.active);
}

TEST_F(Stop, NoCallOpensTheLinkUntilTheNextStart) {
    start();
    t.session.stop();
    t.clearRecords();
    t.call([&] { account::PC_LOGIN(t.link, "0212345678", "agent", "pw"); });
    EXPECT_TRUE(t.socket.opens.empty());
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail||CTI ReConnecting|")});
}

}  // namespace
}  // namespace veltrane
