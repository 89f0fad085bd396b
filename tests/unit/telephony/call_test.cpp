#include "telephony/call.h"

#include "core/notify.h"
#include "support/command_fixture.h"

namespace veltrane::telephony {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Call : public testing::CommandTest {};

TEST_F(Call, BlankDialShowsItsAlertBeforeTheEventAndChangesNothing) {
    lib.config.GUEST_PHONE = "0299990000";
    for (const std::string number : {"", "   ", "\t"}) {
        t.clearRecords();
        alertsAtEachEvent.clear();
        watchAlertOrder();
        DIAL(link, number);
        EXPECT_EQ(t.events(), Vec{Smsg("call|fail|" + number + "|dialing|R|Input dialing Phone Number|")});
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{1});
        ASSERT_EQ(t.alerts().size(), 2u);
        EXPECT_EQ(t.alerts()[0], "call Dialing Fail=>Input Phone Number");
        EXPECT_EQ(t.desktop.alerts[0].durationMs, 500);  // figure 0
        EXPECT_EQ(lib.config.GUEST_PHONE, "0299990000");
        EXPECT_TRUE(t.ini.writes.empty());
        EXPECT_TRUE(t.socket.packets.empty());
        EXPECT_TRUE(commandLog().empty());
    }
}

TEST_F(Call, DialStoresLogsAndSendsTheTrimmedNumber) {
    lib.user.CallState = "3";
    t.call([&] { DIAL(link, " 0311112222\t"); });
    EXPECT_EQ(lib.config.GUEST_PHONE, "0311112222");
    EXPECT_EQ(t.ini.value(t.userFile(), "Call", "GUEST_PHONE"), "0311112222");
    const std::string packet = "|LINK|CALL      |R|0024|R|0212345678|0311112222|";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    EXPECT_EQ(commandLog(), (Vec{"0212345678 DIAL => [GuestPhone:0311112222]", "0212345678 CTI SEND => " + packet}));
    EXPECT_EQ(lib.user.CallState, "1");
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Call, PickUpAndHangUpKeepEvenAnEmptyNumber) {
    PICK_UP(link, " 0311112222 ");
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|CALL      |R|0024|P|0212345678|0311112222|")});
    EXPECT_EQ(commandLog().front(), "0212345678 PICK_UP => [GuestPhone:0311112222]");

    t.clearRecords();
    lib.user.CallState = "2";
    t.call([&] { HANG_UP(link, "  "); });
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|CALL      |R|0014|H|0212345678||")});
    EXPECT_EQ(commandLog().front(), "0212345678 HANG_UP => [GuestPhone:]");
    EXPECT_EQ(lib.config.GUEST_PHONE, "");
    EXPECT_TRUE(t.ini.has(t.userFile(), "Call", "GUEST_PHONE"));
    EXPECT_EQ(t.ini.value(t.userFile(), "Call", "GUEST_PHONE"), "");
    EXPECT_EQ(lib.user.CallState, "1");

    // Nothing left to redial.
    t.clearRecords();
    alertsAtEachEvent.clear();
    watchAlertOrder();
    RE_DIAL(link);
    EXPECT_EQ(t.events(), Vec{Smsg("call|fail||recall|S|Input Phone Number|")});
    EXPECT_EQ(t.alerts().front(), "recall Fail=>Input Phone Number");
    EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{1});
    EXPECT_TRUE(t.socket.packets.empty());
}

TEST_F(Call, RedialSendsTheLastNumberAgainWithoutSaving) {
    DIAL(link, "0311112222");
    t.clearRecords();
    RE_DIAL(link);
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|CALL      |R|0024|R|0212345678|0311112222|")});
    EXPECT_EQ(commandLog().front(), "0212345678 RE_DIAL => [GuestPhone:0311112222]");
    EXPECT_TRUE(t.ini.writes.empty());
}

TEST_F(Call, RedialHasNothingFromAnEarlierRun) {
    t.ini.set(t.userFile(), "Call", "GUEST_PHONE", "0311112222");
    t.startConnected();
    RE_DIAL(link);
    EXPECT_EQ(t.events(), Vec{Smsg("call|fail||recall|S|Input Phone Number|")});
}

TEST_F(Call, LinkDownIsReportedAfterStoringWithoutReconnecting) {
    takeLinkDown();
    lib.user.CallState = "2";
    DIAL(link, "0311112222");
    EXPECT_EQ(t.events(), Vec{Smsg("call|fail|0212345678|0311112222|dialing|S|CTI disconnect|")});
    EXPECT_EQ(t.ini.value(t.userFile(), "Call", "GUEST_PHONE"), "0311112222");
    EXPECT_EQ(commandLog(), Vec{"0212345678 DIAL => [GuestPhone:0311112222]"});
    EXPECT_EQ(connectAttempts(), 0u);
    EXPECT_EQ(lib.user.CallState, "2");

    t.clearRecords();
    PICK_UP(link, "0311112222");
    HANG_UP(link, "0311112222");
    RE_DIAL(link);
    EXPECT_EQ(t.events(), (Vec{Smsg("call|fail|0212345678|0311112222|pickup|S|CTI disconnect|"),
                               Smsg("call|fail|0212345678|0311112222|hangup|S|CTI disconnect|"),
                               Smsg("call|fail|0212345678|0311112222|dialing|S|CTI disconnect|")}));
    EXPECT_EQ(connectAttempts(), 0u);
}

TEST_F(Call, UnknownSubCodeHasNoActionWordAndTheNumberIsNotTrimmed) {
    EXPECT_TRUE(SendCall(link, "X", " 0311112222 "));
    EXPECT_EQ(t.socket.packets, Vec{Wire("|LINK|CALL      |R|0026|X|0212345678| 0311112222 |")});
    EXPECT_EQ(lib.user.CallState, "1");

    takeLinkDown();
    EXPECT_FALSE(SendCall(link, "r", "0311112222"));
    EXPECT_EQ(t.events(), Vec{Smsg("call|fail|0212345678|0311112222||S|CTI disconnect|")});
}

TEST_F(Call, FailedSendReportsTheCallThenTheLinkIsMadeAgain) {
    t.clock.advance(60);
    t.socket.refuseSend = true;
    t.call([&] { DIAL(link, "0311112222"); });
    EXPECT_EQ(t.events(), (Vec{Smsg("call|fail|0212345678|0311112222|dialing|S|Except CTI SEND|"),
                               Smsg("conn|disconnect||")}));
    EXPECT_EQ(lib.config.GUEST_PHONE, "0311112222");
    EXPECT_EQ(lib.user.CallState, "");
}

}  // namespace
}  // namespace veltrane::telephony
