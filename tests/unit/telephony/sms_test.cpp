#include "telephony/sms.h"

#include "support/command_fixture.h"

namespace veltrane::telephony {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Sms : public testing::CommandTest {};

TEST_F(Sms, FirstBlankArgumentIsReportedThenAlerted) {
    struct Case {
        bool booked;
        std::string calledNo, message, sendTime, event, alert;
    };
    const Case cases[] = {
        {false, "", "", "", "sms|fail||instant|Input Phone Number|", "Instant sms fail=>Input Phone Number"},
        {false, " \t", "hello", "", "sms|fail| \t|instant|Input Phone Number|", "Instant sms fail=>Input Phone Number"},
        {false, "01012345678", "\r\n", "", "sms|fail|01012345678|instant|Input Sms Message|",
         "Instant sms fail=>Input Sms Message"},
        {true, "", "", "", "sms|fail||booked|Input Phone Number|", "Booked sms fail=>Input Phone Number"},
        {true, "01012345678", " ", "", "sms|fail|01012345678|booked|Input Sms Message|",
         "Booked sms fail=>Input Sms Message"},
        {true, "01012345678", "hello", "   ", "sms|fail|01012345678|booked|Input Sms Send time|",
         "Booked sms fail=>Input Sms Send time"},
    };
    for (const Case& c : cases) {
        t.clearRecords();
        alertsAtEachEvent.clear();
        watchAlertOrder();
        if (c.booked)
            SMS_BOOKED(link, c.calledNo, c.message, c.sendTime);
        else
            SMS_INSTANT(link, c.calledNo, c.message);
        EXPECT_EQ(t.events(), Vec{Smsg(c.event)});
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{0});
        ASSERT_FALSE(t.alerts().empty());
        EXPECT_EQ(t.alerts().back(), c.alert);
        EXPECT_EQ(t.desktop.alerts.back().durationMs, 1000);
        EXPECT_TRUE(commandLog().empty());
        EXPECT_TRUE(t.socket.packets.empty());
    }
}

TEST_F(Sms, InstantIsLoggedAsGivenAndSentTrimmed) {
    SMS_INSTANT(link, " 01012345678 ", " hello\r\n");
    const std::string packet = "|LINK|SMS       |R|0032|R|0212345678|01012345678|hello||";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    EXPECT_EQ(commandLog(), (Vec{"0212345678 SMS_INSTANT => pCalledNo: 01012345678  / pMsg: hello\\r\\n",
                                 "0212345678 REQUEST_SMS => pCalledNo:01012345678 / pMsg:hello / pSendTime:",
                                 "0212345678 CTI SEND => " + packet}));
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Sms, BookedCarriesTheTrimmedSendTime) {
    SMS_BOOKED(link, "01012345678", "hello", " 20261209103000 ");
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|BOOKED    |R|0046|R|0212345678|01012345678|hello|20261209103000|")});
    EXPECT_EQ(commandLog()[0],
              "0212345678 SMS_BOOKED => pCalledNo:01012345678 / pMsg:hello / pSendTime: 20261209103000 ");
    EXPECT_EQ(commandLog()[1],
              "0212345678 REQUEST_SMS => pCalledNo:01012345678 / pMsg:hello / pSendTime:20261209103000");
}

TEST_F(Sms, MessageBytesGoOutUnchangedAndAreCounted) {
    SMS_INSTANT(link, "01012345678", "a|b");  // one field more, nothing escaped
    SMS_INSTANT(link, "01012345678", "\xC7\xD1\xB1\xDB");  // two CP949 characters, four bytes
    SMS_INSTANT(link, "01012345678", "\xC7\xD1 ");  // a lead byte is never trimmed
    EXPECT_EQ(t.socket.packets, (Vec{Wire("|LINK|SMS       |R|0030|R|0212345678|01012345678|a|b||"),
                                     Wire("|LINK|SMS       |R|0031|R|0212345678|01012345678|\xC7\xD1\xB1\xDB||"),
                                     Wire("|LINK|SMS       |R|0029|R|0212345678|01012345678|\xC7\xD1||")}));
}

TEST_F(Sms, LongMessageIsSentWholeWithAWiderLengthField) {
    std::string message;
    for (int i = 0; i < 50000; ++i) message += "\xC7\xD1";  // 100,000 bytes
    SMS_INSTANT(link, "01012345678", message);
    ASSERT_EQ(t.socket.packets.size(), 1u);
    EXPECT_EQ(t.socket.packets[0],
              Wire("|LINK|SMS       |R|100027|R|0212345678|01012345678|" + message + "||"));
}

TEST_F(Sms, EmptyOwnPhoneIsCountedLikeAnyOtherField) {
    lib.config.PHONE_NO.clear();
    SMS_INSTANT(link, "01012345678", "hello");
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|SMS       |R|0022|R||01012345678|hello||")});
}

TEST_F(Sms, LinkDownIsReportedAfterBothLogLinesWithoutReconnecting) {
    takeLinkDown();
    SMS_INSTANT(link, "01012345678", "hello");
    SMS_BOOKED(link, "01012345678", "hello", "20261209103000");
    EXPECT_EQ(t.events(), (Vec{Smsg("sms|fail|0212345678|01012345678|instant|CTI disconnect|"),
                               Smsg("sms|fail|0212345678|01012345678|booked|CTI disconnect|")}));
    const Vec log = commandLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], "0212345678 REQUEST_SMS => pCalledNo:01012345678 / pMsg:hello / pSendTime:");
    EXPECT_EQ(connectAttempts(), 0u);
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Sms, FailedSendNamesOwnAndCalledNumber) {
    t.socket.refuseSend = true;
    SMS_INSTANT(link, "01012345678", "hello");
    EXPECT_EQ(t.events().front(), Smsg("sms|fail|0212345678|01012345678|instant|Except CTI SEND|"));
}

TEST_F(Sms, AcknowledgementOfAReceivedMessage) {
    SendSmsAck(link, "0311112222");
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|SMS       |S|0025|S|0212345678|0311112222||")});

    takeLinkDown();
    SendSmsAck(link, "0311112222");
    EXPECT_EQ(t.events(), Vec{Smsg("sms|fail|0212345678|0311112222|read|CTI disconnect|")});
    EXPECT_EQ(connectAttempts(), 0u);
}

}  // namespace
}  // namespace veltrane::telephony
