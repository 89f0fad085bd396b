#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/dispatch.h"
#include "session/session.h"
#include "support/server_packet.h"
#include "support/fake_platform.h"

namespace veltrane::session {
namespace {

using testing::ServerPacket;
using Strings = std::vector<std::string>;

constexpr const char* kMac = "00-1A-2B-3C-4D-5E";

class DispatchTest : public ::testing::Test, protected testing::TestLibrary {
protected:
    void SetUp() override {
        startConnected("0212345678");
        lib.config.MAC_ADDR = "old mac";
        lib.config.REG_PHONE = "0299999999";
        lib.config.GUEST_PHONE = "0300000000";
        lib.user.CallState = "2";
        lib.user.WebPopupUrl = "http://old.example/";
    }
    // One server packet as the link hands it up, in a turn of its own.
    void dispatch(const std::string& kind, const std::string& result, const std::string& body) {
        handle([&] { DispatchServerPacket(session, {kind, result, body}); });
    }
    // The event the host received, without its envelope; "" when none.
    std::string onlyEvent() {
        if (events().size() != 1) return events().empty() ? "" : "several events";
        return events()[0].substr(6);
    }
    bool saved() const { return !ini.writes.empty(); }
    bool certifiedAs(const std::string& phone) const {
        return lib.config.MAC_ADDR == kMac && lib.config.REG_PHONE == phone &&
               ini.value(userFile(), "Connect", "MAC_ADDR") == kMac &&
               ini.value(userFile(), "Connect", "REG_PHONE") == phone;
    }
};

// Every packet first clears the other party; every packet but INFO is logged
// and clears the call state.

TEST_F(DispatchTest, InfoSendsNoticeWithItsLevel) {
    dispatch("INFO      ", "R", "I|Server maintenance at 22:00|");
    EXPECT_EQ(onlyEvent(), "information|important|Server maintenance at 22:00|");
    EXPECT_EQ(lib.user.CallState, "2");
    EXPECT_EQ(lib.config.GUEST_PHONE, "");
    EXPECT_TRUE(logTexts("CTI READ").empty());
    EXPECT_FALSE(saved());

    clearRecords();
    dispatch("INFO", "R", "i|lower case level|");
    EXPECT_EQ(onlyEvent(), "information|normal|lower case level|");
}

TEST_F(DispatchTest, UnknownKindIsLoggedAndClearsCallState) {
    dispatch("HELLO     ", "R", "1|0212345678|x|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(logTexts("CTI READ"), (Strings{"1|0212345678|x|\rSubKind:1\rPhoneNo:0212345678"}));
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_EQ(lib.config.GUEST_PHONE, "");
    EXPECT_FALSE(saved());
}

TEST_F(DispatchTest, KindsAreComparedWithLetterCase) {
    dispatch("login", "R", "1|0212345678|http://w.example/|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(lib.user.WebPopupUrl, "http://old.example/");
}

TEST_F(DispatchTest, NumberSuccessCodeOneCreatesNumberWithoutSaving) {
    dispatch("NUMBER    ", "R", "1|0212345678|");
    EXPECT_EQ(onlyEvent(), "certification_no|success|0212345678|create number|");
    EXPECT_FALSE(saved());
    EXPECT_EQ(lib.config.REG_PHONE, "0299999999");
}

TEST_F(DispatchTest, NumberSuccessCodeTwoCertifiesThisPc) {
    lib.CurrentMac = " 00-1A-2B-3C-4D-5E\r\n";
    dispatch("NUMBER", "S", "2|0211112222|");
    EXPECT_EQ(onlyEvent(), "certification_no|success|0211112222|certified|");
    EXPECT_TRUE(certifiedAs("0211112222"));
}

TEST_F(DispatchTest, NumberSuccessWithOtherCodeChangesNothing) {
    dispatch("NUMBER", "R", "5|0212345678|");
    EXPECT_EQ(onlyEvent(), "certification_no|success|0212345678||");
    EXPECT_FALSE(saved());
}

TEST_F(DispatchTest, NumberFailureClearsRegistrationAndTheLinkStaysWatched) {
    dispatch("NUMBER", "F", "9|0212345678|");
    EXPECT_EQ(onlyEvent(), "certification_no|fail|0212345678||");
    EXPECT_EQ(lib.config.REG_PHONE, "");
    EXPECT_EQ(ini.value(userFile(), "Connect", "REG_PHONE"), "");
    EXPECT_TRUE(ini.has(userFile(), "Connect", "REG_PHONE"));
    EXPECT_TRUE(timerConn.running);
}

TEST_F(DispatchTest, NumberFailureDetails) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "Unregister Phone Number"}, {"2", "Does not Phone Register Number"},
        {"3", "Expiration of the Service"}, {"4", ""}, {"0", ""}, {"-1", ""}};
    for (const auto& [code, detail] : cases) {
        clearRecords();
        dispatch("NUMBER", "F", std::string(code) + "|0212345678|");
        EXPECT_EQ(onlyEvent(), std::string("certification_no|fail|0212345678|") + detail + "|") << code;
    }
}

TEST_F(DispatchTest, NumberWithoutIntegerCodeStopsBeforeAnyChange) {
    dispatch("NUMBER", "F", "X|0212345678|");
    dispatch("NUMBER", "R", "");  // an empty code is no integer either
    dispatch("NUMBER", "R", "2a|0212345678|");
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(timerConn.running);
    EXPECT_EQ(lib.config.REG_PHONE, "0299999999");
    EXPECT_FALSE(saved());
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_EQ(logTexts("CTI READ").size(), 3u);
}

TEST_F(DispatchTest, CertifyFailureStillStoresTheCertification) {
    dispatch("CERTIFY   ", "F", "1|0212345678|");
    EXPECT_EQ(onlyEvent(), "certification_pc|fail|0212345678|Different Certification Number|");
    EXPECT_TRUE(certifiedAs("0212345678"));
    EXPECT_EQ(alerts(), (Strings{"certification_pc=>0212345678"}));
}

TEST_F(DispatchTest, CertifySuccessDoesNotReadTheCode) {
    dispatch("CERTIFY", "R", "OK|0212345678|");
    EXPECT_EQ(onlyEvent(), "certification_pc|success|0212345678||");
    EXPECT_TRUE(certifiedAs("0212345678"));
}

TEST_F(DispatchTest, CertifyFailureWithoutIntegerCodeStoresNothing) {
    dispatch("CERTIFY", "F", "X|0212345678|");
    EXPECT_TRUE(events().empty());
    EXPECT_FALSE(saved());
    EXPECT_EQ(lib.config.REG_PHONE, "0299999999");
}

TEST_F(DispatchTest, LoginFailureFromTheWire) {
    socket.receive("|LINK|LOGIN     |F|0013|3|0212345678|\r\n");
    EXPECT_EQ(onlyEvent(), "login|fail|0212345678|Different Login Password|");
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_EQ(lib.user.WebPopupUrl, "");
    EXPECT_FALSE(saved());
    EXPECT_EQ(alerts(), (Strings{"login=>0212345678"}));
    EXPECT_EQ(logTexts("LOGIN"), (Strings{"PhoneNo:0212345678\rWeb:"}));
}

TEST_F(DispatchTest, LoginFailureDetails) {
    const std::pair<const char*, const char*> cases[] = {{"1", "Different Mac Address"},
                                                         {"2", "Different Login ID"},
                                                         {"4", "Fail save DB"},
                                                         {"5", ""}};
    for (const auto& [code, detail] : cases) {
        clearRecords();
        dispatch("LOGIN", "F", std::string(code) + "|0212345678|");
        EXPECT_EQ(onlyEvent(), std::string("login|fail|0212345678|") + detail + "|") << code;
    }
}

TEST_F(DispatchTest, LoginSuccessKeepsTheWebAddressAndCertifies) {
    dispatch("LOGIN     ", "R", "1|0212345678|http://w.example/page?a=1|");
    EXPECT_EQ(onlyEvent(), "login|success|0212345678|http://w.example/page?a=1|");
    EXPECT_EQ(lib.user.WebPopupUrl, "http://w.example/page?a=1");
    EXPECT_EQ(lib.user.CallState, "L");
    EXPECT_TRUE(certifiedAs("0212345678"));
    EXPECT_EQ(logTexts("LOGIN"), (Strings{"PhoneNo:0212345678\rWeb:http://w.example/page?a=1"}));
}

TEST_F(DispatchTest, LoginSuccessWithoutWebAddress) {
    dispatch("LOGIN", "R", "X|0212345678|");  // code not read
    EXPECT_EQ(onlyEvent(), "login|success|0212345678||");
    EXPECT_EQ(lib.user.WebPopupUrl, "");
    EXPECT_EQ(lib.user.CallState, "L");
}

TEST_F(DispatchTest, LoginFailureWithoutIntegerCodeStopsAfterClearingTheWebAddress) {
    dispatch("LOGIN", "F", "X|0212345678|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(lib.user.WebPopupUrl, "");
    EXPECT_TRUE(logTexts("LOGIN").empty());
}

TEST_F(DispatchTest, Logout) {
    dispatch("LOGOUT", "R", "X|0212345678|");
    EXPECT_EQ(onlyEvent(), "logout|success|0212345678||");
    clearRecords();
    dispatch("LOGOUT", "F", "1|0212345678|");
    EXPECT_EQ(onlyEvent(), "logout|fail|0212345678||");
    clearRecords();
    dispatch("LOGOUT", "F", "X|0212345678|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(lib.user.CallState, "");
}

TEST_F(DispatchTest, CallProgressSetsCallStateAndOtherParty) {
    dispatch("CALL      ", "R", "2|0212345678|0311112222|S|");
    EXPECT_EQ(onlyEvent(), "call|success|0212345678|0311112222|calling|S||");
    EXPECT_EQ(lib.user.CallState, "2");
    EXPECT_EQ(lib.config.GUEST_PHONE, "0311112222");
    EXPECT_EQ(logTexts("CALL"),
              (Strings{"PhoneNo:0212345678\rReadPhone:0311112222\rSendReadKind:S(R:InboundCall,S:OutboundCall)"}));
    EXPECT_FALSE(saved());

    const std::pair<const char*, const char*> cases[] = {
        {"1", "dialing"}, {"3", "callfinish"}, {"4", ""}, {"07", ""}};
    for (const auto& [code, detail] : cases) {
        clearRecords();
        dispatch("CALL", "R", std::string(code) + "|0212345678|0311112222|R|");
        EXPECT_EQ(onlyEvent(), std::string("call|success|0212345678|0311112222|") + detail + "|R||") << code;
        EXPECT_EQ(lib.user.CallState, code);  // the code as received
    }
}

TEST_F(DispatchTest, CallWithEmptyOtherPartyShiftsTheFields) {
    dispatch("CALL", "R", "2|0212345678||S|");
    EXPECT_EQ(onlyEvent(), "call|success|0212345678|S|calling|||");
    EXPECT_EQ(lib.config.GUEST_PHONE, "S");
}

TEST_F(DispatchTest, CallFailureKeepsCallStateC) {
    dispatch("CALL", "F", "2|0212345678|0311112222|S|");
    EXPECT_EQ(onlyEvent(), "call|fail|0212345678|0311112222||S||");
    EXPECT_EQ(lib.user.CallState, "C");
    EXPECT_EQ(lib.config.GUEST_PHONE, "");
}

TEST_F(DispatchTest, CallWithoutIntegerCodeStopsAfterItsLogLine) {
    dispatch("CALL", "R", "X|0212345678|0311112222|S|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(lib.user.CallState, "C");
    EXPECT_EQ(lib.config.GUEST_PHONE, "");
    EXPECT_EQ(logTexts("CALL").size(), 1u);
}

TEST_F(DispatchTest, ReceivedSmsIsAcknowledgedBeforeTheHostHearsOfIt) {
    std::size_t packetsAtEvent = 0;
    host.onCallback = [&](const std::string&) { packetsAtEvent = socket.packets.size(); };
    dispatch("SMS       ", "R", "X|0212345678|0311112222|\xBE\xC8\xB3\xE7|");
    EXPECT_EQ(socket.packets, (Strings{"|LINK|SMS       |S|0025|S|0212345678|0311112222||\r\n"}));
    EXPECT_EQ(packetsAtEvent, 1u);
    EXPECT_EQ(onlyEvent(), "sms|success|0212345678|0311112222|read|\xBE\xC8\xB3\xE7|");
    EXPECT_EQ(lib.user.CallState, "S");
    EXPECT_EQ(logTexts(""), (Strings{"ReadPhone:0311112222\rMsgResult:R(R:Read,S:Send)SmsMsg:\xBE\xC8\xB3\xE7"}));
}

TEST_F(DispatchTest, ReceivedSmsWhileDisconnectedReportsTheFailedAcknowledgementFirst) {
    lib.os.socket.close();
    clearRecords();
    dispatch("SMS", "R", "1|0212345678|0311112222|hi|");
    EXPECT_EQ(events(), (Strings{"|SMSG|sms|fail|0212345678|0311112222|read|CTI disconnect|",
                                 "|SMSG|sms|success|0212345678|0311112222|read|hi|"}));
}

TEST_F(DispatchTest, SentSmsAnswers) {
    dispatch("SMS", "S", "0|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|success|0212345678|0311112222|send|hello|");
    EXPECT_TRUE(socket.packets.empty());

    clearRecords();
    dispatch("SMS", "F", "2|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|fail|0212345678|0311112222|send||");
    EXPECT_EQ(logTexts(""), (Strings{"ReadPhone:0311112222\rMsgResult:F(R:Read,S:Send)SmsMsg:hello"}));

    clearRecords();
    dispatch("SMS", "F", "7|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|fail|0212345678|0311112222|send|hello|");

    clearRecords();
    dispatch("SMS", "F", "X|0212345678|0311112222|hello|");
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(lib.user.CallState, "S");
}

TEST_F(DispatchTest, BookedSmsAnswersCarryTheCodeAsReceived) {
    dispatch("BOOKED    ", "R", "OK|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|success|0212345678|0311112222|booked|(OK:hello)|");
    EXPECT_EQ(lib.user.CallState, "B");
    EXPECT_EQ(logTexts(""), (Strings{"ReadPhone:0311112222\rSendReadKind:(R:InboundCall,S:OutboundCall)"}));

    clearRecords();
    dispatch("BOOKED", "F", "5|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|fail|0212345678|0311112222|booked|(5:)|");

    clearRecords();
    dispatch("BOOKED", "F", "6|0212345678|0311112222|hello|");
    EXPECT_EQ(onlyEvent(), "sms|fail|0212345678|0311112222|booked|(6:hello)|");

    clearRecords();
    dispatch("BOOKED", "F", "X|0212345678|0311112222|hello|");
    EXPECT_TRUE(events().empty());
}

TEST_F(DispatchTest, RecordAnswers) {
    dispatch("RECORD    ", "R", "X|0212345678|ignored|");
    EXPECT_EQ(onlyEvent(), "record|success|0212345678|||");
    EXPECT_EQ(lib.user.CallState, "R");

    clearRecords();
    dispatch("RECORD", "F", "1|0212345678|");
    EXPECT_EQ(onlyEvent(), "record|fail|0212345678|||");

    clearRecords();
    dispatch("RECORD", "F", "X|0212345678|");
    EXPECT_TRUE(events().empty());
}

TEST_F(DispatchTest, ResultCodeIsComparedExactly) {
    dispatch("RECORD", "f", "1|0212345678|");
    EXPECT_EQ(onlyEvent(), "record|success|0212345678|||");
}

TEST_F(DispatchTest, MissingFieldsAreEmpty) {
    dispatch("CALL", "R", "3|0212345678");  // last field without "|": lost
    EXPECT_EQ(onlyEvent(), "call|success|||callfinish|||");
    EXPECT_EQ(logTexts("CTI READ"), (Strings{"3|0212345678\rSubKind:3\rPhoneNo:"}));
}

TEST_F(DispatchTest, LoginAnswerDecidesWhetherNewConnectionsSignIn) {
    const std::pair<const char*, bool> cases[] = {{"R", true}, {"F", false}, {"S", true}, {"F", false}};
    for (const auto& [result, signedIn] : cases) {
        dispatch("LOGIN", result, "1|0212345678|http://w.example/|");
        EXPECT_EQ(link.signedIn, signedIn) << result;
    }
}

}  // namespace
}  // namespace veltrane::session
