#include "telephony/record.h"

#include "telephony/call.h"
#include "support/command_fixture.h"

namespace veltrane::telephony {
namespace {

using testing::Smsg;
using testing::Wire;
using Vec = std::vector<std::string>;

class Record : public testing::CommandTest {};

TEST_F(Record, OnlyAConnectedCallCanBeRecordedAndThatIsCheckedFirst) {
    for (const std::string state : {"", "1", "3", "R", " 2", "2 "}) {
        t.clearRecords();
        alertsAtEachEvent.clear();
        watchAlertOrder();
        lib.user.CallState = state;
        CALL_RECORD(link, "  ");
        EXPECT_EQ(t.events(), Vec{Smsg("call_record|fail|Does not calling|")}) << state;
        EXPECT_EQ(alertsAtEachEvent, std::vector<std::size_t>{1});
        EXPECT_EQ(t.alerts().front(), "call record=>Does not calling");
        EXPECT_EQ(t.desktop.alerts.front().durationMs, 500);
        EXPECT_TRUE(t.socket.packets.empty());
        EXPECT_EQ(lib.user.CallState, state);
    }
}

TEST_F(Record, DialAloneIsNotACallInProgress) {
    DIAL(link, "0311112222");
    t.clearRecords();
    CALL_RECORD(link, "0311112222");
    EXPECT_EQ(t.events(), Vec{Smsg("call_record|fail|Does not calling|")});
}

TEST_F(Record, BlankNumberIsRefused) {
    lib.user.CallState = "2";
    for (const std::string number : {"", " \t "}) {
        t.clearRecords();
        CALL_RECORD(link, number);
        EXPECT_EQ(t.events(), Vec{Smsg("call_record|fail|Input Phone Number|")});
        EXPECT_EQ(t.alerts().front(), "call record=>Input Phone Number");
        EXPECT_TRUE(t.socket.packets.empty());
    }
}

TEST_F(Record, SendsTheTrimmedNumberAndChangesNothing) {
    lib.user.CallState = "2";
    CALL_RECORD(link, " 0311112222 ");
    const std::string packet = "|LINK|RECORD    |R|0024|R|0212345678|0311112222|";
    EXPECT_EQ(t.socket.packets, Vec{Wire(packet)});
    EXPECT_EQ(commandLog(), (Vec{"CALL_RECORD", "0212345678 CTI SEND => " + packet}));
    EXPECT_EQ(lib.user.CallState, "2");
    EXPECT_TRUE(t.ini.writes.empty());
    EXPECT_TRUE(t.events().empty());
}

TEST_F(Record, FailuresSpellTheirSubjectsDifferently) {
    takeLinkDown();
    lib.user.CallState = "2";
    CALL_RECORD(link, "0311112222");
    EXPECT_EQ(t.events(), Vec{Smsg("record|fail|0212345678|disconnect|")});
    EXPECT_EQ(connectAttempts(), 0u);

    t.startConnected();
    lib.user.CallState = "2";
    t.socket.refuseSend = true;
    CALL_RECORD(link, "0311112222");
    EXPECT_EQ(t.events().front(), Smsg("call record|fail|0212345678|0311112222|Except CTI SEND|"));
}

}  // namespace
}  // namespace veltrane::telephony
