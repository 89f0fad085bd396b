#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fake_platform.h"
#include "web/command_get.h"

namespace veltrane::web {
namespace {

using Lines = std::vector<std::string>;

const std::string kLoginFirst = "Login \xC8\xC4 \xBC\xAD\xBA\xF1\xBD\xBA \xB0\xA1\xB4\xC9\xC7\xD5\xB4\xCF\xB4\xD9";
const std::string kNoPhoneNumber = "\xC0\xFC\xC8\xAD\xB9\xF8\xC8\xA3\xBE\xF8\xC0\xBD";

// A started library with a CTI connection, signed in as 0212345678.
class CommandGet : public ::testing::Test {
protected:
    void SetUp() override {
        t.startConnected("0212345678");
        t.lib.config.CallState = "L";
    }
    void Run(const std::string& query) { HTTPServerCommandGet(t.lib, ParseFormText(query)); }

    testing::TestLibrary t;
};

TEST_F(CommandGet, WithoutParametersNothingHappens) {
    t.lib.config.GUEST_PHONE = "0101111222";
    Run("");
    Run("&&");
    EXPECT_TRUE(t.files.appended.empty());
    EXPECT_EQ(t.lib.config.PHONE_NO, "0212345678");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101111222");
    EXPECT_TRUE(t.events().empty());
}

TEST_F(CommandGet, ClickToCallSendsTheCallAndTellsTheHost) {
    Run("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=01098765432");
    EXPECT_EQ(t.socket.packets, Lines{"|LINK|CALL      |R|0025|R|0212345678|01098765432|\r\n"});
    EXPECT_EQ(t.events(), Lines{"|SMSG|call|success|0212345678|01098765432|guestphone|S||"});
    EXPECT_EQ(t.alerts(), Lines{"Request[ClickToCall-Web]=>01098765432"});
    EXPECT_EQ(t.lib.config.CallState, "1");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "01098765432");
    EXPECT_EQ(t.logLines(), (Lines{
        "0212345678 HTTP READ => KIND=CS\r\nPHONE_NO=0212345678\r\nGUEST_PHONE=01098765432\r\n",
        "0212345678 CTI SEND => |LINK|CALL      |R|0025|R|0212345678|01098765432|",
        "0212345678 SEND_MSG => |SMSG|call|success|0212345678|01098765432|guestphone|S||",
        "0212345678 POPUP_INFO => [Time(ms):500]Request[ClickToCall-Web]=>01098765432",
        "0212345678 HTTP READ => [CS:CALL SEND Request]PHONE_NO:0212345678 / GUEST_PHONE:01098765432 / SMS_MSG:",
    }));
    // The settings file is not written by a web request.
    EXPECT_TRUE(t.ini.writes.empty());
}

TEST_F(CommandGet, ClickToCallWithTheLinkDownReportsFailureThenSuccess) {
    t.socket.serverCloses();
    t.lib.config.CallState = "L";  // as if the state had not been cleared yet
    t.clearRecords();
    Run("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101");
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.events(), (Lines{"|SMSG|call|fail|0212345678|0101|dialing|S|CTI disconnect|",
                                 "|SMSG|call|success|0212345678|0101|guestphone|S||"}));
    EXPECT_EQ(t.alerts(), (Lines{"call=>0212345678", "Request[ClickToCall-Web]=>0101"}));
    EXPECT_EQ(t.lib.config.CallState, "1");
}

TEST_F(CommandGet, NotSignedInOnlyAlertsButTakesTheNumbersAndClearsFinished) {
    t.lib.config.CallState.clear();
    t.lib.Finished = true;
    Run("KIND=CS&PHONE_NO=0299999999&GUEST_PHONE=0101");
    EXPECT_EQ(t.alerts(), Lines{"HTTP Fail=>" + kLoginFirst});
    EXPECT_EQ(t.desktop.alerts[0].durationMs, 1000);  // figure 5 + POPUP_SHOW_TIME 5
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_FALSE(t.lib.Finished);
    EXPECT_EQ(t.lib.config.PHONE_NO, "0299999999");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101");
    EXPECT_EQ(t.lib.config.CallState, "");
    // Only the first "HTTP READ" line: a refused request stops before the last.
    ASSERT_EQ(t.logLines().size(), 2u);
    EXPECT_EQ(t.logLines()[1].rfind("0299999999 POPUP_INFO => [Time(ms):1000]HTTP Fail=>", 0), 0u);
}

TEST_F(CommandGet, BlankNumbersAreRefusedAndStayAsSent) {
    Run("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=+++");
    EXPECT_EQ(t.alerts(), Lines{"HTTP Fail=>" + kNoPhoneNumber});
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "   ");
    t.clearRecords();

    Run("KIND=SS&GUEST_PHONE=0101");
    EXPECT_EQ(t.alerts(), Lines{"HTTP Fail=>" + kNoPhoneNumber});
    EXPECT_EQ(t.lib.config.PHONE_NO, "");  // left empty for later CTI requests
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.lib.config.CallState, "L");
}

TEST_F(CommandGet, SmsSendLeavesTheMessageOutAndSmsInformationCarriesIt) {
    Run("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=hello+there");
    EXPECT_EQ(t.events(), Lines{"|SMSG|sms|success|0212345678|0101|guestphone||"});
    EXPECT_EQ(t.logLines().back(), "0212345678 HTTP READ => [SS:SMS SEND Request(Guest PhoneNO)]PHONE_NO:0212345678"
                                   " / GUEST_PHONE:0101 / SMS_MSG:hello there");
    t.clearRecords();

    Run("KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=%B0%A1+%7C+x");
    EXPECT_EQ(t.events(), Lines{"|SMSG|sms|success|0212345678|0101|information|\xB0\xA1 | x|"});
    EXPECT_EQ(t.logLines().back(), "0212345678 HTTP READ => [SI:SMS Information]PHONE_NO:0212345678"
                                   " / GUEST_PHONE:0101 / SMS_MSG:\xB0\xA1 | x");
    EXPECT_TRUE(t.alerts().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.lib.config.CallState, "L");
}

TEST_F(CommandGet, OtherCodesAreOnlyLogged) {
    Run("kind=cs&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=x");
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.alerts().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.logLines(), (Lines{
        "0212345678 HTTP READ => kind=cs\r\nPHONE_NO=0212345678\r\nGUEST_PHONE=0101\r\nSMS_MSG=x\r\n",
        "0212345678 HTTP READ => [cs:]PHONE_NO:0212345678 / GUEST_PHONE:0101 / SMS_MSG:",
    }));
}

TEST_F(CommandGet, NumbersAreTakenUntrimmedAndTheFirstOccurrenceWins) {
    Run("KIND=CS&phone_no=+0212345678&GUEST_PHONE=0101+&GUEST_PHONE=0202");
    EXPECT_EQ(t.socket.packets, Lines{"|LINK|CALL      |R|0020|R| 0212345678|0101 |\r\n"});
    EXPECT_EQ(t.lib.config.PHONE_NO, " 0212345678");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101 ");
}

TEST_F(CommandGet, TheRequestKeepsItsNumbersWhileOtherEventsRun) {
    // The host's callback clears GUEST_PHONE; the alert and the last log
    // line still show the request's.
    t.host.onCallback = [&](const std::string&) { t.lib.config.GUEST_PHONE.clear(); };
    Run("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101");
    EXPECT_EQ(t.alerts(), Lines{"Request[ClickToCall-Web]=>0101"});
    EXPECT_EQ(t.logLines().back(),
              "0212345678 HTTP READ => [CS:CALL SEND Request]PHONE_NO:0212345678 / GUEST_PHONE:0101 / SMS_MSG:");
}

TEST(RunCommandGet, TurnsAnErrorIntoItsMessage) {
    testing::TestLibrary t;
    t.startConnected();
    t.lib.config.CallState = "L";
    t.host.onCallback = [](const std::string&) { throw std::runtime_error("host failed"); };
    EXPECT_EQ(RunCommandGet(t.lib, ParseFormText("KIND=SS&PHONE_NO=1&GUEST_PHONE=2")), "host failed");
    t.host.onCallback = nullptr;
    EXPECT_EQ(RunCommandGet(t.lib, ParseFormText("KIND=SS&PHONE_NO=1&GUEST_PHONE=2")), std::nullopt);
}

}  // namespace
}  // namespace veltrane::web
