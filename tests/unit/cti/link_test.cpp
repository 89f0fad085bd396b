#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cti/link.h"
#include "cti_test_support.h"
#include "support/fake_platform.h"

namespace veltrane::cti {
namespace {

using testing::ServerPacket;
using testing::TestLibrary;

using Strings = std::vector<std::string>;

TEST(SplitCommaText, EntriesEndAtCommasAndBlanks) {
    EXPECT_EQ(SplitCommaText("10.0.0.1,10.0.0.2"), (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(SplitCommaText("10.0.0.1 10.0.0.2"), (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(SplitCommaText("  a ,\tb  "), (Strings{"a", "b"}));
    EXPECT_EQ(SplitCommaText(""), Strings{});
    EXPECT_EQ(SplitCommaText("   "), Strings{});
}

TEST(SplitCommaText, QuotedEntriesAreTakenWhole) {
    EXPECT_EQ(SplitCommaText("\"cti one.example\",b"), (Strings{"cti one.example", "b"}));
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\""), (Strings{"say \"hi\""}));
    EXPECT_EQ(SplitCommaText("\"open"), (Strings{"open"}));
}

TEST(SplitCommaText, EmptyEntriesBetweenCommasCount) {
    EXPECT_EQ(SplitCommaText("a,,b"), (Strings{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (Strings{"a", ""}));
    EXPECT_EQ(SplitCommaText(",a"), (Strings{"", "a"}));
}

TEST(ErrorKindName, NamesTheSevenKinds) {
    EXPECT_EQ(ErrorKindName(0), "eeGeneral");
    EXPECT_EQ(ErrorKindName(3), "eeConnect");
    EXPECT_EQ(ErrorKindName(6), "eeLookup");
    EXPECT_EQ(ErrorKindName(7), "");
    EXPECT_EQ(ErrorKindName(-1), "");
}

class LinkTest : public ::testing::Test, protected TestLibrary {
protected:
    Strings hosts() const {
        Strings result;
        for (const auto& [host, port] : socket.opens) result.push_back(host);
        return result;
    }
    // A refused connection, as the socket layer reports it.
    void refuse() {
        int code = 10061;
        CTISocketError(lib, 3, code);
    }
    Strings logNames() const {
        Strings names;
        for (const std::string& line : logLines()) {
            const auto space = line.find(' ');
            const auto arrow = line.find(" => ");
            names.push_back(arrow == std::string::npos ? line : line.substr(space + 1, arrow - space - 1));
        }
        return names;
    }
};

TEST_F(LinkTest, AddressesAreTriedInTurn) {
    lib.config.CTI_IPs = "10.0.0.1,10.0.0.2";
    lib.config.CTI_PORT = 2209;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ConnectCti(lib));
    EXPECT_EQ(hosts(), (Strings{"10.0.0.1", "10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(socket.opens[0].second, 2209);
    EXPECT_EQ(logTexts("CTI Connect Request")[0], "[CTI_ID:0][CtiCnt:2]CTI Address:10.0.0.1,10.0.0.2");
    EXPECT_EQ(logTexts("CTI_CONN"),
              (Strings{"[CTI_ID:0]CTI Address:10.0.0.1 Port:2209", "[CTI_ID:1]CTI Address:10.0.0.2 Port:2209",
                       "[CTI_ID:0]CTI Address:10.0.0.1 Port:2209"}));
}

TEST_F(LinkTest, LostConnectionGoesToTheNextAddress) {
    start("10.0.0.1,10.0.0.2");  // first attempt: 10.0.0.1
    ConnectCti(lib);             // now 10.0.0.2
    socket.acceptConnection();
    clearRecords();
    socket.serverCloses();
    EXPECT_EQ(hosts(), (Strings{"10.0.0.1"}));
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_EQ(logTexts("CTI Socket Connect request"), (Strings{"Address:10.0.0.1,10.0.0.2 Port:2209"}));
}

TEST_F(LinkTest, RefusedConnectionReportsThenDisconnectsThenTriesAgain) {
    start("10.0.0.1,10.0.0.2");
    int code = 10061;
    CTISocketError(lib, 3, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(events(),
              (Strings{"|SMSG|conn|disconnect|disconnect(10061)eeConnect|", "|SMSG|conn|disconnect||"}));
    const Strings names = logNames();
    const Strings expected{"SEND_MSG", "SEND_MSG", "CTI Socket Connect request", "CTI Connect Request", "CTI_CONN"};
    EXPECT_EQ(names, expected);
    ConnectPauseTimer(lib);
    EXPECT_EQ(hosts(), (Strings{"10.0.0.2"}));
}

TEST_F(LinkTest, ReplacingAnOpenSocketLeavesOneAttempt) {
    startConnected();
    lib.config.CallState = "2";
    EXPECT_TRUE(ConnectCti(lib));
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(socket.state(), SocketState::Opening);
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_EQ(lib.config.CallState, "");
    EXPECT_FALSE(connectPause.running);
}

TEST_F(LinkTest, ReplacingAnAttemptWaitingForItsPauseLeavesOneAttempt) {
    start();
    refuse();
    ASSERT_TRUE(connectPause.running);
    clearRecords();
    ConnectCti(lib);
    ConnectPauseTimer(lib);  // a tick that was already queued
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
}

TEST_F(LinkTest, PauseBeforeAnAttemptGrowsWhileRefusedAndResetsOnConnect) {
    start();
    std::vector<std::int32_t> pauses;
    for (int i = 0; i < 6; ++i) {
        refuse();
        ASSERT_TRUE(connectPause.running);
        EXPECT_EQ(socket.state(), SocketState::Closed);
        pauses.push_back(connectPause.interval);
        ConnectPauseTimer(lib);
        EXPECT_EQ(socket.state(), SocketState::Opening);
    }
    EXPECT_EQ(pauses, (std::vector<std::int32_t>{500, 1000, 2000, 4000, 5000, 5000}));

    socket.acceptConnection();
    socket.serverCloses();  // a link that had connected reopens at once
    EXPECT_FALSE(connectPause.running);
    EXPECT_EQ(socket.state(), SocketState::Opening);
    refuse();
    EXPECT_EQ(connectPause.interval, 500);
}

TEST_F(LinkTest, FinishedLinkIsNotReopenedAndItsConnectionDoesNotArmTheTimer) {
    start();
    lib.Finished = true;
    socket.acceptConnection();
    EXPECT_EQ(events().front(), "|SMSG|conn|connect||");
    EXPECT_FALSE(timerConn.running);
    clearRecords();
    socket.serverCloses();
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_FALSE(connectPause.running);
}

TEST_F(LinkTest, ConnectionArmsTimerRenewsSilenceMomentAndSaves) {
    start();
    socket.address = "10.1.2.3";
    socket.acceptConnection();
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|connect||"}));
    EXPECT_EQ(alerts(), (Strings{"CTI connect=>10.1.2.3"}));
    EXPECT_EQ(desktop.alerts[0].durationMs, 500);  // figure 0 + POPUP_SHOW_TIME 5
    EXPECT_TRUE(timerConn.running);
    EXPECT_EQ(timerConn.interval, 30000);
    EXPECT_EQ(lib.config.NextCheckTime, "20261209103100");
    EXPECT_EQ(lib.config.DLL_TIME, SecondsSince1970(clock.time) + 60);
    EXPECT_EQ(ini.value(userFile(), "SendMessage", "DLL_TIME"), std::to_string(lib.config.DLL_TIME));
}

TEST_F(LinkTest, TickBeforeTheSilenceMomentOnlyLogs) {
    startConnected();
    clock.advance(30);
    TimerConnTimer(lib);
    EXPECT_FALSE(timerConn.running);
    EXPECT_TRUE(socket.packets.empty());
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(logTexts("TimerConn"),
              (Strings{"isConnect:Y / isFinish:F\r[ReConnect:0/10] Check Time:20261209103100 / Now time:20261209103030"}));
}

TEST_F(LinkTest, LateTickWhileConnectedSendsOneLinkCheck) {
    startConnected("0212345678");
    clock.advance(61);
    TimerConnTimer(lib);
    EXPECT_EQ(socket.packets, (Strings{"|LINK|CONNCT    |R|0013|R|0212345678|\r\n"}));
    EXPECT_FALSE(timerConn.running);
    EXPECT_EQ(lib.ReconnectCount, 0);
}

TEST_F(LinkTest, ReadWithAPacketRenewsTheSilenceMomentWithoutSaving) {
    startConnected();
    clock.advance(50);
    socket.receive(ServerPacket("CONNCT", "R", "R|0212345678|") + ServerPacket("CONNCT", "R", "R|0212345678|"));
    EXPECT_EQ(lib.config.NextCheckTime, "20261209103150");
    EXPECT_TRUE(ini.writes.empty());
    const Strings names = logNames();
    EXPECT_EQ(names, (Strings{"REAL DATA[1]", "PACKET", "REAL DATA[2]", "PACKET"}));

    clock.advance(5);
    socket.receive("no marker here\r\n");
    EXPECT_EQ(lib.config.NextCheckTime, "20261209103150");
}

TEST_F(LinkTest, DisconnectDiscardsAPacketStillArriving) {
    startConnected();
    const std::string info = ServerPacket("INFO", "R", "I|first notice|");
    socket.receive(info.substr(0, 30));
    socket.serverCloses();
    socket.acceptConnection();
    clearRecords();
    socket.receive(info.substr(30));
    socket.receive(ServerPacket("INFO", "R", "N|second|"));
    EXPECT_EQ(events(), (Strings{"|SMSG|information|normal|second|"}));
}

TEST_F(LinkTest, ReconnectionSignsInAgainWithStoredCredentials) {
    start();
    lib.ReconnectCount = 3;
    lib.config.PHONE_NO = "0212345678";
    lib.config.LoginId = "agent";
    lib.config.LoginPassword = "secret";
    socket.acceptConnection();
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|connect||"}));
    EXPECT_EQ(socket.packets,
              (Strings{"|LINK|LOGIN     |R|0044|R|0212345678|00-1A-2B-3C-4D-5E|agent|secret|\r\n"}));
    EXPECT_EQ(logTexts("CTISocketConnect"), (Strings{"PC_LOGIN"}));
    EXPECT_TRUE(timerConn.running);
}

TEST_F(LinkTest, ReconnectionWithoutPasswordAsksForItAndLeavesTheLinkUnwatched) {
    start();
    lib.ReconnectCount = 3;
    lib.config.PHONE_NO = "0212345678";
    lib.config.LoginPassword = "";
    const std::int32_t before = lib.config.DLL_TIME;
    socket.acceptConnection();
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|connect||", "|SMSG|conn|fail|input Phone number or login password"}));
    EXPECT_TRUE(socket.packets.empty());
    EXPECT_EQ(lib.config.DLL_TIME, before);
    EXPECT_FALSE(timerConn.running);
    EXPECT_EQ(alerts().back(), "conn=>");  // no closing "|": no message
}

TEST_F(LinkTest, TimerReconnectsTenTimesThenGivesUp) {
    start();
    Strings expectedAlerts;
    for (int i = 1; i <= 10; ++i) {
        TimerConnTimer(lib);
        expectedAlerts.push_back("TimerConn=>[" + std::to_string(i) + "/10] CTI connect Requst");
        EXPECT_EQ(lib.ReconnectCount, i);
    }
    EXPECT_EQ(alerts(), expectedAlerts);
    EXPECT_FALSE(lib.Finished);

    clearRecords();
    TimerConnTimer(lib);
    EXPECT_EQ(events().back(), "|SMSG|conn|fail|CTI connection Check[11/10]Reconnect Over|");
    EXPECT_EQ(alerts(), (Strings{"conn=>CTI connection Check[11/10]Reconnect Over",
                                 "TimerConn Exit=>[11/10] CTI connection Check!!!"}));
    EXPECT_EQ(logTexts("TimerConn Exit"),
              (Strings{"[Check Time: < Now time:20261209103000]Reconnection 10times check"}));
    EXPECT_TRUE(lib.Finished);
    EXPECT_EQ(lib.ReconnectCount, 0);
    // The give-up closed the last attempt and starts none.
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_EQ(socket.state(), SocketState::Closed);
    EXPECT_FALSE(connectPause.running);
}

TEST_F(LinkTest, TimerReconnectionMakesOneAttemptToTheNextAddress) {
    start("10.0.0.1,10.0.0.2,10.0.0.3");  // 10.0.0.1 still opening
    TimerConnTimer(lib);
    EXPECT_EQ(hosts(), (Strings{"10.0.0.2"}));
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_EQ(socket.state(), SocketState::Opening);
    EXPECT_EQ(logTexts("TimerConn").front(),
              "isConnect:F / isFinish:F\r[ReConnect:0/10] Check Time: / Now time:20261209103000");
}

TEST_F(LinkTest, EmptyAddressListStartsNothing) {
    lib.config.CTI_IPs = "";
    lib.config.CTI_PORT = 2209;
    EXPECT_FALSE(ConnectCti(lib));
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_EQ(logTexts("except CTI_CONN"), (Strings{"(CTI) CTI Address: Port:2209"}));
    EXPECT_TRUE(events().empty());
}

TEST_F(LinkTest, EmptyEntryIsRefusedBySocketAndLogged) {
    lib.config.CTI_IPs = ",10.0.0.2";
    lib.config.CTI_PORT = 2209;
    EXPECT_FALSE(ConnectCti(lib));
    EXPECT_EQ(logTexts("except CTI_CONN"), (Strings{"(CTI) CTI Address: Port:2209"}));
    EXPECT_EQ(lib.config.CtiAddressIndex, 1);
    EXPECT_TRUE(ConnectCti(lib));
    EXPECT_EQ(socket.opens.back().first, "10.0.0.2");
}

}  // namespace
}  // namespace veltrane::cti
