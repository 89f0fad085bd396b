#include <algorithm>
#include "account/login.h"

#include "account/registration.h"
#include "support/command_fixture.h"

namespace veltrane::account {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Login : public testing::CommandTest {
protected:
    // The reconnection by the supervision timer completes.
    void reconnectAfterTimerAttempt() {
        t.socket.serverCloses();
        lib.ReconnectCount = 1;
        t.clearRecords();
        t.socket.acceptConnection();
    }
};

TEST_F(Login, FirstBlankArgumentIsReportedWithTheStoredPhone) {
    struct Case {
        std::string phone, id, password, message;
    };
    const Case cases[] = {
        {"", "", "", "Input Phone Number"},
        {"  ", "agent", "pw", "Input Phone Number"},
        {"0311112222", "\t", "pw", "Input Login ID"},
        {"0311112222", "agent", " \r\n", "Input Login Password"},
    };
    for (const Case& c : cases) {
        t.clearRecords();
        alertsAtEachEvent.clear();
        watchAlertOrder();
        lib.ReconnectCount = 3;
        PC_LOGIN(lib, c.phone, c.id, c.password);
        EXPECT_EQ(lib.ReconnectCount, 0);
        EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|" + c.message + "|")});
        EXPECT_EQ(t.alerts(), (Vec{"login=>0212345678", "login Fail=>" + c.message}));
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{0});
        EXPECT_EQ(lib.config.PHONE_NO, "0212345678");
        EXPECT_EQ(lib.config.LoginId, "");
        EXPECT_EQ(lib.config.LoginPassword, "");
        EXPECT_TRUE(t.ini.writes.empty());
        EXPECT_TRUE(t.socket.packets.empty());
        EXPECT_TRUE(commandLog().empty());
    }
}

TEST_F(Login, RefusalOnAFreshInstallationHasAnEmptyPhoneField) {
    lib.config.PHONE_NO.clear();
    PC_LOGIN(lib, "", "agent", "pw");
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail||Input Phone Number|")});
}

TEST_F(Login, LinkDownReconnectsOnceAndStoresNothing) {
    takeLinkDown();
    PC_LOGIN(lib, "0311112222", "agent", "pw");
    EXPECT_EQ(connectAttempts(), 1u);
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|CTI ReConnecting|")});
    EXPECT_EQ(lib.config.PHONE_NO, "0212345678");
    EXPECT_EQ(lib.config.LoginId, "");
    EXPECT_TRUE(t.ini.writes.empty());
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Login, StoresLogsAndSendsTrimmedValuesButNeverLogsThePassword) {
    PC_LOGIN(lib, " 0311112222 ", " agent ", " s3cret\t");
    EXPECT_EQ(lib.config.PHONE_NO, "0311112222");
    EXPECT_EQ(lib.config.LoginId, "agent");
    EXPECT_EQ(lib.config.LoginPassword, "s3cret");
    EXPECT_EQ(t.ini.value(t.userFile(), "MyInfo", "PHONE_NO"), "0311112222");
    const std::string packet = "|LINK|LOGIN     |R|0044|R|0311112222|00-1A-2B-3C-4D-5E|agent|s3cret|";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    const Vec log = commandLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "0311112222 PC_LOGIN => [Phone:0311112222]agent / ********");
    for (const std::string& line : t.logLines()) EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "0311112222 CTI SEND => |LINK|LOGIN     |R|0044|R|0311112222|00-1A-2B-3C-4D-5E|agent|********|"),
              log.end());
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Login, FailedSendsKeepTheirLayouts) {
    t.socket.refuseSend = true;
    SendLogin(lib, "agent", "pw");
    // login, fail, an empty field, then the phone.
    EXPECT_EQ(t.events().back(), Smsg("login|fail||0212345678|Except CTI SEND|"));

    t.startConnected();
    t.socket.refuseSend = true;
    SendLogout(lib);
    EXPECT_EQ(t.events().back(), Smsg("logout|fail|0212345678|Except CTI SEND|"));

    takeLinkDown();
    SendLogin(lib, "agent", "pw");
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|disconnect|")});
    EXPECT_EQ(connectAttempts(), 0u);
}

TEST_F(Login, LogoutSendsOnlyThePhone) {
    PC_LOGOUT(lib);
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|LOGOUT    |R|0013|R|0212345678|")});
    EXPECT_EQ(commandLog().front(), "PC_LOGOUT");
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Login, LogoutWithLinkDownDoesNotReconnect) {
    takeLinkDown();
    PC_LOGOUT(lib);
    EXPECT_EQ(t.events(), Vec{Smsg("logout|fail|0212345678|disconnect|")});
    EXPECT_EQ(commandLog(), Vec{"PC_LOGOUT"});
    EXPECT_EQ(connectAttempts(), 0u);
}

TEST_F(Login, TimerReconnectionSignsInAgainWithTheStoredCredentialsEvenAfterLogout) {
    PC_LOGIN(lib, " 0311112222 ", " agent ", " s3cret ");
    PC_LOGOUT(lib);
    EXPECT_EQ(lib.config.LoginPassword, "s3cret");
    reconnectAfterTimerAttempt();
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|LOGIN     |R|0044|R|0311112222|00-1A-2B-3C-4D-5E|agent|s3cret|")});
    EXPECT_EQ(t.events(), Vec{Smsg("conn|connect||")});
}

TEST_F(Login, TimerReconnectionWithoutPasswordAsksForIt) {
    PC_LOGIN(lib, "0311112222", "agent", "  ");  // refused: nothing stored
    reconnectAfterTimerAttempt();
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.events(), (Vec{Smsg("conn|connect||"), Smsg("conn|fail|input Phone number or login password")}));
}

TEST_F(Login, ReconnectionAfterASuccessfulLoginDoesNotSignInAgain) {
    lib.ReconnectCount = 2;
    PC_LOGIN(lib, "0311112222", "agent", "pw");
    t.socket.serverCloses();
    t.clearRecords();
    t.socket.acceptConnection();
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Login, HostMaySignInFromItsConnectCallback) {
    t.socket.serverCloses();  // the link reconnects at once
    t.clearRecords();
    t.host.onCallback = [this](const std::string& text) {
        if (text == Smsg("conn|connect||")) PC_LOGIN(lib, "0311112222", "agent", "pw");
    };
    t.socket.acceptConnection();
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|LOGIN     |R|0040|R|0311112222|00-1A-2B-3C-4D-5E|agent|pw|")});
    EXPECT_EQ(t.ini.value(t.userFile(), "MyInfo", "PHONE_NO"), "0311112222");
    EXPECT_TRUE(t.timerConn.running);
}

TEST_F(Login, HostActingOnTheDisconnectOfAFailedSendDoesNotChangeTheFailureEvent) {
    // The failed send reconnects; the host forgets the registration on the
    // disconnect event, which clears PHONE_NO under the logout in progress.
    t.host.onCallback = [this](const std::string& text) {
        if (text == Smsg("conn|disconnect||")) CERTIFICATION_OTHER(lib);
    };
    t.socket.refuseSend = true;
    PC_LOGOUT(lib);
    EXPECT_EQ(lib.config.PHONE_NO, "");
    EXPECT_EQ(t.events(), (Vec{Smsg("conn|disconnect||"), Smsg("logout|fail|0212345678|Except CTI SEND|")}));
}

}  // namespace
}  // namespace veltrane::account
