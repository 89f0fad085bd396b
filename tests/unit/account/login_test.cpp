#include "account/login.h"

#include <algorithm>
#include <functional>

#include "link/send.h"

#include "account/registration.h"
#include "support/command_fixture.h"

namespace veltrane::account {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Login : public testing::CommandTest {
protected:
    // The server closes a link that had been up for a minute; the library
    // reconnects at once.
    void reconnect() {
        t.clock.advance(60);
        t.socket.serverCloses();
        t.clearRecords();
        t.socket.acceptConnection();
    }
    void serverAnswersLogin(const std::string& result) {
        t.socket.receive(cti::BuildPacket("LOGIN", result, "1|0311112222|http://w.example/|") + "\r\n");
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
        link.budgetSpent = 3;
        PC_LOGIN(link, c.phone, c.id, c.password);
        EXPECT_EQ(link.budgetSpent, 0);
        EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|" + c.message + "|")});
        EXPECT_EQ(t.alerts(), (Vec{"login=>0212345678", "login Fail=>" + c.message}));
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{0});
        EXPECT_EQ(lib.config.PHONE_NO, "0212345678");
        EXPECT_EQ(lib.user.LoginId, "");
        EXPECT_EQ(lib.user.LoginPassword, "");
        EXPECT_TRUE(t.ini.writes.empty());
        EXPECT_TRUE(t.socket.packets.empty());
        EXPECT_TRUE(commandLog().empty());
    }
}

TEST_F(Login, RefusalOnAFreshInstallationHasAnEmptyPhoneField) {
    lib.config.PHONE_NO.clear();
    PC_LOGIN(link, "", "agent", "pw");
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail||Input Phone Number|")});
}

TEST_F(Login, LinkDownReconnectsOnceAndStoresNothing) {
    takeLinkDown();
    PC_LOGIN(link, "0311112222", "agent", "pw");
    EXPECT_EQ(connectAttempts(), 1u);
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|CTI ReConnecting|")});
    EXPECT_EQ(lib.config.PHONE_NO, "0212345678");
    EXPECT_EQ(lib.user.LoginId, "");
    EXPECT_TRUE(t.ini.writes.empty());
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Login, StoresLogsAndSendsTrimmedValuesButNeverLogsThePassword) {
    t.call([&] { PC_LOGIN(link, " 0311112222 ", " agent ", " s3cret\t"); });
    EXPECT_EQ(lib.config.PHONE_NO, "0311112222");
    EXPECT_EQ(lib.user.LoginId, "agent");
    EXPECT_EQ(lib.user.LoginPassword, "s3cret");
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
    SendLogin(link, "agent", "pw");
    // login, fail, an empty field, then the phone.
    EXPECT_EQ(t.events().front(), Smsg("login|fail||0212345678|Except CTI SEND|"));

    t.startConnected();
    t.socket.refuseSend = true;
    SendLogout(link);
    EXPECT_EQ(t.events().front(), Smsg("logout|fail|0212345678|Except CTI SEND|"));

    takeLinkDown();
    SendLogin(link, "agent", "pw");
    EXPECT_EQ(t.events(), Vec{Smsg("login|fail|0212345678|disconnect|")});
    EXPECT_EQ(connectAttempts(), 0u);
}

TEST_F(Login, LogoutSendsOnlyThePhone) {
    PC_LOGOUT(link);
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|LOGOUT    |R|0013|R|0212345678|")});
    EXPECT_EQ(commandLog().front(), "PC_LOGOUT");
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Login, LogoutWithLinkDownDoesNotReconnect) {
    takeLinkDown();
    PC_LOGOUT(link);
    EXPECT_EQ(t.events(), Vec{Smsg("logout|fail|0212345678|disconnect|")});
    EXPECT_EQ(commandLog(), Vec{"PC_LOGOUT"});
    EXPECT_EQ(connectAttempts(), 0u);
}

TEST_F(Login, EveryReconnectionSignsInAgainOnceTheServerAcceptedTheLogin) {
    PC_LOGIN(link, " 0311112222 ", " agent ", " s3cret ");
    serverAnswersLogin("S");
    for (int i = 0; i < 2; ++i) {
        reconnect();
        EXPECT_EQ(t.socket.packets,
                  Vec{Wire("|LINK|LOGIN     |R|0044|R|0311112222|00-1A-2B-3C-4D-5E|agent|s3cret|")});
        EXPECT_EQ(t.events(), Vec{Smsg("conn|connect||")});
        EXPECT_EQ(t.logTexts("CTISocketConnect"), Vec{"PC_LOGIN"});
        serverAnswersLogin("S");
    }
}

TEST_F(Login, NoSignInAgainWithoutAnAcceptedLoginOrAfterSigningOut) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"no answer yet", [] {}},
        {"login refused", [&] { serverAnswersLogin("F"); }},
        {"PC_LOGOUT", [&] { serverAnswersLogin("S"); PC_LOGOUT(link); }},
        {"CERTIFICATION_OTHER", [&] { serverAnswersLogin("S"); CERTIFICATION_OTHER(link); }},
    };
    for (const auto& [name, after] : cases) {
        PC_LOGIN(link, "0311112222", "agent", "pw");
        after();
        reconnect();
        EXPECT_TRUE(t.socket.packets.empty()) << name;
    }
}

TEST_F(Login, ReconnectionWithoutPasswordAsksForItOnce) {
    PC_LOGIN(link, "0311112222", "agent", "  ");  // refused: nothing stored
    link.signedIn = true;
    reconnect();
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.events(), (Vec{Smsg("conn|connect||"), Smsg("conn|fail|input Phone number or login password")}));
    EXPECT_FALSE(link.signedIn);
    EXPECT_TRUE(t.timerConn.running);  // the link is still watched
}

}  // namespace
}  // namespace veltrane::account
