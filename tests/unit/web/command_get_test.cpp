#include <gtest/gtest.h>

#include <functional>
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
        t.lib.user.CallState = "L";
    }
    void Run(const std::string& query) { HTTPServerCommandGet(t.web, ParseFormText(query)); }

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
    EXPECT_EQ(t.lib.user.CallState, "1");
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

TEST_F(CommandGet, ClickToCallThatCannotBeSentReportsTheFailureOnly) {
    struct Case {
        std::function<void()> breakLink;
        std::string failure;
    };
    const Case cases[] = {
        {[&] { t.socket.serverCloses(); }, "|SMSG|call|fail|0212345678|0101|dialing|S|CTI disconnect|"},
        {[&] { t.socket.refuseSend = true; }, "|SMSG|call|fail|0212345678|0101|dialing|S|Except CTI SEND|"},
    };
    for (const Case& one : cases) {
        t.startConnected("0212345678");
        one.breakLink();
        t.lib.user.CallState = "L";  // as if the state had not been cleared yet
        t.clearRecords();
        Run("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101");
        Lines callEvents;
        for (const std::string& event : t.events())
            if (event.rfind("|SMSG|call|", 0) == 0) callEvents.push_back(event);
        EXPECT_EQ(callEvents, Lines{one.failure});
        EXPECT_EQ(t.alerts().front(), "call=>0212345678");
        EXPECT_NE(t.lib.user.CallState, "1");
        t.socket.refuseSend = false;
    }
}

TEST_F(CommandGet, NotSignedInOnlyAlerts) {
    t.lib.user.CallState.clear();
    t.lib.config.GUEST_PHONE = "0101111222";
    Run("KIND=CS&PHONE_NO=0299999999&GUEST_PHONE=0101");
    EXPECT_EQ(t.alerts(), Lines{"HTTP Fail=>" + kLoginFirst});
    EXPECT_EQ(t.desktop.alerts[0].durationMs, 1000);  // figure 5 + POPUP_SHOW_TIME 5
    EXPECT_TRUE(t.events().empty());
    EXPECT_TRUE(t.socket.packets.empty());
    EXPECT_EQ(t.lib.config.PHONE_NO, "0212345678");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101111222");
    EXPECT_EQ(t.lib.user.CallState, "");
    // Only the first "HTTP READ" line: a refused request stops before the last.
    ASSERT_EQ(t.logLines().size(), 2u);
    EXPECT_EQ(t.logLines()[1].rfind("0212345678 POPUP_INFO => [Time(ms):1000]HTTP Fail=>", 0), 0u);
}

TEST_F(CommandGet, RefusedRequestsOnlyAlertAndChangeNothing) {
    struct Case {
        std::string query;
        std::string alert;
    };
    const Case cases[] = {
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=+++", "HTTP Fail=>" + kNoPhoneNumber},
        {"KIND=SS&GUEST_PHONE=0101", "HTTP Fail=>" + kNoPhoneNumber},
        {"KIND=CS&PHONE_NO=0299999999&GUEST_PHONE=0101", "HTTP Fail=>Different Phone Number"},
        {"KIND=SI&PHONE_NO=0299999999&GUEST_PHONE=0101&SMS_MSG=x", "HTTP Fail=>Different Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0612000002%7CX%7CY", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678%7C&GUEST_PHONE=0101", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101%0D%0A%7CLINK%7C", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678%0A&GUEST_PHONE=0101", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101%00", "HTTP Fail=>Invalid Phone Number"},
        // Only what a dial string holds, at most 32 bytes; a lone CP949 lead
        // byte would take the "|" after it as its trail byte.
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0832700000%B0", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=010abc", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=%3Cx%3E", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101%1B", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=" + std::string(33, '1'), "HTTP Fail=>Invalid Phone Number"},
        {"KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=" + std::string(60000, '1'), "HTTP Fail=>Invalid Phone Number"},
        {"KIND=SS&PHONE_NO=0212345678%C7%D1&GUEST_PHONE=0101", "HTTP Fail=>Invalid Phone Number"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=%B0", "HTTP Fail=>Invalid SMS Message"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=%B0%7Cx", "HTTP Fail=>Invalid SMS Message"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=a%0Db", "HTTP Fail=>Invalid SMS Message"},
        {"KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=a%0Ab", "HTTP Fail=>Invalid SMS Message"},
        {"KIND=SI&PHONE_NO=0212345678&GUEST_PHONE=0101&SMS_MSG=a%00b", "HTTP Fail=>Invalid SMS Message"},
    };
    for (const Case& one : cases) {
        t.lib.config.GUEST_PHONE = "0101111222";
        t.clearRecords();
        Run(one.query);
        const std::string which = one.query.substr(0, 80);
        EXPECT_EQ(t.alerts(), Lines{one.alert}) << which;
        EXPECT_TRUE(t.events().empty()) << which;
        EXPECT_TRUE(t.socket.packets.empty()) << which;
        EXPECT_EQ(t.lib.config.PHONE_NO, "0212345678") << which;
        EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101111222") << which;
        EXPECT_EQ(t.lib.user.CallState, "L") << which;
    }
    EXPECT_EQ(t.logTexts("HTTP READ").back(), "[SI:SMS Information]Refused:Invalid SMS Message");
}

TEST_F(CommandGet, WhatParametersCarryCannotStartALogLine) {
    Run("KIND%0D%0A=CS%0D%0A[2099-01-01 00:00:00]0212345678 HTTP READ => x&PHONE_NO=0212345678%1B&GUEST_PHONE=%0A");
    // One line per parameter as the library lays them out, CR LF after each;
    // everything the request carried escaped, in every line it reaches.
    EXPECT_EQ(t.logLines().at(0), "0212345678 HTTP READ => KIND\\r\\n=CS\\r\\n[2099-01-01 00:00:00]0212345678 HTTP READ "
                                  "=> x\r\nPHONE_NO=0212345678\\x1B\r\nGUEST_PHONE=\\n\r\n");
    for (const std::string& bytes : t.files.appended)
        EXPECT_EQ(bytes.find("\n["), std::string::npos) << bytes;
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
    EXPECT_EQ(t.lib.user.CallState, "L");
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

TEST_F(CommandGet, TheSignedInNumberCallsAndTheGuestNumberIsTakenUntrimmed) {
    Run("KIND=CS&phone_no=+0212345678&GUEST_PHONE=0101+&GUEST_PHONE=0202");
    EXPECT_EQ(t.socket.packets, Lines{"|LINK|CALL      |R|0019|R|0212345678|0101 |\r\n"});
    EXPECT_EQ(t.events(), Lines{"|SMSG|call|success|0212345678|0101 |guestphone|S||"});
    EXPECT_EQ(t.lib.config.PHONE_NO, "0212345678");
    EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101 ");
}

TEST(RunCommandGet, TurnsAnErrorIntoItsMessage) {
    testing::TestLibrary t;
    t.startConnected();
    t.lib.user.CallState = "L";
    t.socket.throwOnSend = true;
    const Parameters request = ParseFormText("KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2");
    EXPECT_EQ(RunCommandGet(t.web, request).reason(), "socket failed");
    t.socket.throwOnSend = false;
    EXPECT_TRUE(RunCommandGet(t.web, request));
}

// A signed-in library whose login gave the web address of the service's
// pages, with one more page origin listed in config.ini.
class ServeCommandTest : public CommandGet {
protected:
    void SetUp() override {
        // The second: "한국.kr" in CP949, which browsers send as xn--3e0b707e.kr.
        t.ini.set(t.configFile(), "Connect", "WEB_ORIGINS", "https://crm.example.com https://\xC7\xD1\xB1\xB9.kr");
        CommandGet::SetUp();
        t.lib.user.WebPopupUrl = "http://127.0.0.1:8080/veltrane/";
    }
    static CommandRequest Request(const char* method, RequestSource source, const std::string& query) {
        return {method, std::move(source), ParseFormText(query)};
    }
    static RequestSource FromOrigin(const std::string& origin) { return {origin, {}, {}}; }

    const std::string call = "KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=0101";
};

TEST_F(ServeCommandTest, TheServicePagesAndProgramsAreServedOthersRefused) {
    using Kind = CommandAnswer::Kind;
    struct Case {
        RequestSource source;
        Kind kind;
        std::string allowOrigin;
        std::string logged;  // the refusal's log line
    };
    const Case cases[] = {
        {{}, Kind::Ok, "", ""},
        {FromOrigin("http://127.0.0.1:8080"), Kind::Ok, "http://127.0.0.1:8080", ""},
        {FromOrigin("https://crm.example.com"), Kind::Ok, "https://crm.example.com", ""},
        {FromOrigin("https://xn--3e0b707e.kr"), Kind::Ok, "https://xn--3e0b707e.kr", ""},
        {{{}, std::string("http://127.0.0.1:8080/veltrane/list"), std::string("same-site")}, Kind::Ok, "", ""},
        {FromOrigin("http://127.0.0.1:8081"), Kind::Forbidden, "",
         "HTTPServer => Refused Origin:http://127.0.0.1:8081"},
        {FromOrigin("null"), Kind::Forbidden, "", "HTTPServer => Refused Origin:null"},
        {{{}, std::string("https://evil.example/"), {}}, Kind::Forbidden, "",
         "HTTPServer => Refused Referer:https://evil.example/"},
        {{{}, {}, std::string("cross-site")}, Kind::Forbidden, "", "HTTPServer => Refused Sec-Fetch-Site:cross-site"},
        // A link opened from outside the browser (a mail, a chat), a bookmark, a typed address.
        {{{}, {}, std::string("none")}, Kind::Forbidden, "", "HTTPServer => Refused Sec-Fetch-Site:none"},
    };
    for (const Case& one : cases) {
        t.clearRecords();
        t.lib.user.CallState = "L";
        t.lib.config.GUEST_PHONE = "0101111222";
        const CommandAnswer answer = ServeCommand(t.web, Request("POST", one.source, call));
        EXPECT_EQ(answer.kind, one.kind) << one.logged;
        EXPECT_EQ(answer.allowOrigin, one.allowOrigin) << one.logged;
        if (one.kind == Kind::Ok) {
            EXPECT_EQ(t.socket.packets.size(), 1u);
            continue;
        }
        // Refused: one log line, and nothing else happened.
        EXPECT_EQ(t.logLines(), Lines{"0212345678 " + one.logged});
        EXPECT_TRUE(t.socket.packets.empty());
        EXPECT_TRUE(t.events().empty());
        EXPECT_TRUE(t.alerts().empty());
        EXPECT_EQ(t.lib.config.GUEST_PHONE, "0101111222");
        EXPECT_EQ(t.lib.user.CallState, "L");
    }
}

TEST_F(ServeCommandTest, ARefusedPageWithoutParametersIsAnsweredAsBefore) {
    const CommandAnswer answer = ServeCommand(t.web, Request("GET", FromOrigin("https://evil.example"), ""));
    EXPECT_EQ(answer.kind, CommandAnswer::Kind::Ok);
    EXPECT_EQ(answer.allowOrigin, "");
    EXPECT_TRUE(t.files.appended.empty());
}

TEST_F(ServeCommandTest, OnlyAnAllowedOriginGetsAPreflightAnswer) {
    CommandAnswer answer = ServeCommand(t.web, Request("OPTIONS", FromOrigin("https://crm.example.com"), ""));
    EXPECT_EQ(answer.kind, CommandAnswer::Kind::Preflight);
    EXPECT_EQ(answer.allowOrigin, "https://crm.example.com");
    EXPECT_TRUE(t.files.appended.empty());

    answer = ServeCommand(t.web, Request("OPTIONS", FromOrigin("https://evil.example"), ""));
    EXPECT_EQ(answer.kind, CommandAnswer::Kind::Forbidden);
    answer = ServeCommand(t.web, Request("OPTIONS", {}, ""));
    EXPECT_EQ(answer.kind, CommandAnswer::Kind::Forbidden);
    EXPECT_EQ(t.logLines(), (Lines{"0212345678 HTTPServer => Refused OPTIONS Origin:https://evil.example",
                                   "0212345678 HTTPServer => Refused OPTIONS"}));
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(ServeCommandTest, AfterAFailedLoginOnlyTheListedOriginsRemain) {
    t.lib.user.WebPopupUrl.clear();
    EXPECT_EQ(ServeCommand(t.web, Request("GET", FromOrigin("http://127.0.0.1:8080"), call)).kind,
              CommandAnswer::Kind::Forbidden);
    EXPECT_EQ(ServeCommand(t.web, Request("GET", FromOrigin("https://crm.example.com:443"), call)).kind,
              CommandAnswer::Kind::Ok);
}

TEST_F(ServeCommandTest, DllStartNamesTheListedTextsThatAreNoOrigin) {
    const auto startWith = [&](const std::string& listed) {
        t.ini.set(t.configFile(), "Connect", "WEB_ORIGINS", listed);
        t.clearRecords();
        t.session.start(testing::TestLibrary::kBase, "Host Window");
        Lines named;
        for (const std::string& text : t.logTexts("GET_INI_INFO"))
            if (text.rfind("WEB_ORIGINS", 0) == 0) named.push_back(text);
        return named;
    };
    EXPECT_EQ(startWith("a;b, https://crm.example.com https://\xC7 crm.example.com"),
              Lines{"WEB_ORIGINS unusable: a;b https://\xC7 crm.example.com"});
    EXPECT_EQ(startWith("https://crm.example.com"), Lines{});
}

TEST_F(ServeCommandTest, AHandlerErrorBecomesTheErrorAnswer) {
    t.socket.throwOnSend = true;
    const CommandAnswer answer = ServeCommand(t.web, Request("GET", {}, "KIND=CS&PHONE_NO=0212345678&GUEST_PHONE=2"));
    EXPECT_EQ(answer.kind, CommandAnswer::Kind::Error);
    EXPECT_EQ(answer.error, "socket failed");
}

}  // namespace
}  // namespace veltrane::web
