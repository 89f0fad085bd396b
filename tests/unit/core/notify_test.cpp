#include "core/notify.h"

#include <gtest/gtest.h>

#include "core/alert_layout.h"
#include "support/fake_platform.h"

namespace veltrane {
namespace {

using Vec = std::vector<std::string>;

TEST(HostEvent, EveryFieldEndsWithItsBar) {
    EXPECT_EQ(HostEvent("conn", "connect", {""}), "conn|connect||");
    EXPECT_EQ(HostEvent("conn", "disconnect"), "conn|disconnect|");
    EXPECT_EQ(HostEvent("call", "success", {"0212", "0101", "calling", "S", ""}), "call|success|0212|0101|calling|S||");
    EXPECT_EQ(WithDetail(HostEvent("login", "fail", {"", "0212"}), "Except CTI SEND"),
              "login|fail||0212|Except CTI SEND|");
}

class Notify : public ::testing::Test {
protected:
    testing::TestLibrary t;
    Library& lib = t.lib;

    void SetUp() override {
        lib.config.BasePath = testing::TestLibrary::kBase;
        lib.config.IS_POPUP_SHOW = "Y";
        lib.config.POPUP_SHOW_TIME = 5;
    }
};

TEST_F(Notify, BlankEventDoesNothingAtAll) {
    for (const std::string& text : {std::string(), std::string(" \t\r\n"), std::string("\0 ", 2)}) {
        NotifyHost(lib, text);
        t.settle();
        EXPECT_TRUE(t.events().empty());
        EXPECT_TRUE(t.host.copies.empty());
        EXPECT_TRUE(t.files.appended.empty());
        EXPECT_TRUE(t.desktop.alerts.empty());
    }
}

TEST_F(Notify, TrimmedEventIsLoggedThenCalledBackThenCopied) {
    NotifyHost(lib, " conn|connect|| \r\n");
    t.settle();
    EXPECT_EQ(t.events(), Vec{"|SMSG|conn|connect||"});
    EXPECT_EQ(t.host.copies, Vec{"|SMSG|conn|connect||"});
    EXPECT_EQ(t.logLines(), Vec{" SEND_MSG => |SMSG|conn|connect||"});
    EXPECT_TRUE(t.desktop.alerts.empty());
}

TEST_F(Notify, CallbackComesBeforeTheCopyAndBothBeforeTheAlert) {
    std::size_t copiesAtCallback = 99, alertsAtCallback = 99, copiesAtAlert = 99;
    t.host.onCallback = [&](const std::string&) {
        copiesAtCallback = t.host.copies.size();
        alertsAtCallback = t.desktop.alerts.size();
    };
    t.desktop.onAlert = [&] { copiesAtAlert = t.host.copies.size(); };
    NotifyHost(lib, "dllfinish|fail|socket disconnect|");
    t.settle();
    EXPECT_EQ(copiesAtCallback, 0u);
    EXPECT_EQ(alertsAtCallback, 0u);
    EXPECT_EQ(copiesAtAlert, 1u);
    EXPECT_EQ(t.alerts(), Vec{"dllfinish=>socket disconnect"});
    EXPECT_EQ(t.desktop.alerts.at(0).durationMs, 1000);
    EXPECT_EQ(t.logLines(), (Vec{" SEND_MSG => |SMSG|dllfinish|fail|socket disconnect|",
                                 " POPUP_INFO => [Time(ms):1000]dllfinish=>socket disconnect"}));
}

TEST_F(Notify, NulCrAndLfInsideTheTextBecomeBlanksSoTheHostReadsOneLineBothWays) {
    NotifyHost(lib, std::string("sms|success|0212|0311|read|a\0b|\0", 32));
    NotifyHost(lib, "login|success|0212|http://w.example/\r\n|");
    NotifyHost(lib, "sms|success|\xB0\xA1\xB3\xAA|line\r\nbreak\x1B|");
    EXPECT_EQ(t.events(), (Vec{"|SMSG|sms|success|0212|0311|read|a b|", "|SMSG|login|success|0212|http://w.example/  |",
                               "|SMSG|sms|success|\xB0\xA1\xB3\xAA|line  break\x1B|"}));
    EXPECT_EQ(t.host.copies, t.events());
}

TEST_F(Notify, OnlyExactlyFailInTheSecondFieldRaisesAnAlert) {
    for (const char* event : {"dllfinish|success||", "x|FAIL|m|", "x|Fail|m|", "x|failed|m|", "fail|x|m|",
                              "x|fail |m|", "x|y|fail|", "x|fail"}) {
        NotifyHost(lib, event);
        t.settle();
        EXPECT_TRUE(t.desktop.alerts.empty()) << event;
    }
    EXPECT_EQ(t.events().size(), 8u);
}

TEST_F(Notify, AlertMessageIsTheThirdFieldOnlyWhenItIsClosed) {
    struct Case {
        std::string event, alert;
    };
    const Case cases[] = {
        {"dllfinish|fail|socket disconnect|", "dllfinish=>socket disconnect"},
        {"dllfinish|fail|socket disconnect", "dllfinish=>"},
        {"sms|fail||no number|", "sms=>no number"},
        {"sms|fail|||no number|", "sms=>"},
        {"|call|fail|busy|more|", "call=>busy"},
        {"call|fail|", "call=>"},
    };
    for (const Case& one : cases) {
        t.clearRecords();
        NotifyHost(lib, one.event);
        t.settle();
        EXPECT_EQ(t.alerts(), Vec{one.alert}) << one.event;
    }
}

TEST_F(Notify, FailureToLogDoesNotStopTheDelivery) {
    t.files.failAppends = true;
    t.files.failFolders = true;
    NotifyHost(lib, "login|fail|0212|denied|");
    t.settle();
    EXPECT_EQ(t.events(), Vec{"|SMSG|login|fail|0212|denied|"});
    EXPECT_EQ(t.host.copies.size(), 1u);
    EXPECT_EQ(t.alerts(), Vec{"login=>0212"});
}

class Alert : public Notify {};

TEST_F(Alert, SwitchedOffByExactlyNShowsAndLogsNothing) {
    lib.config.IS_POPUP_SHOW = "N";
    ShowAlert(lib, "h", "m", 5);
    t.settle();
    NotifyHost(lib, "x|fail|m|");
    t.settle();
    EXPECT_TRUE(t.desktop.alerts.empty());
    EXPECT_EQ(t.logLines(), Vec{" SEND_MSG => |SMSG|x|fail|m|"});
    EXPECT_EQ(t.events().size(), 1u);

    for (const char* other : {"n", " N", "", "NO"}) {
        t.clearRecords();
        lib.config.IS_POPUP_SHOW = other;
        ShowAlert(lib, "h", "m", 5);
        t.settle();
        EXPECT_EQ(t.desktop.alerts.size(), 1u) << '"' << other << '"';
    }
}

TEST_F(Alert, DurationIsFigurePlusShowTimeInTenthsOfASecond) {
    struct Case {
        std::int32_t figure, showTime, ms;
        const char* logged;
    };
    const Case cases[] = {
        {5, 5, 1000, "[Time(ms):1000]"},
        {0, 5, 500, "[Time(ms):500]"},
        {0, 0, 0, "[Time(ms):0]"},
        {5, 30, 3500, "[Time(ms):3500]"},
        // A negative show time that wins over the figure: no fade-out.
        {5, -10, 0, "[Time(ms):-500]"},
    };
    for (const Case& one : cases) {
        t.clearRecords();
        lib.config.POPUP_SHOW_TIME = one.showTime;
        ShowAlert(lib, "Head", "Text", one.figure);
        t.settle();
        ASSERT_EQ(t.desktop.alerts.size(), 1u);
        EXPECT_EQ(t.desktop.alerts[0].durationMs, one.ms) << one.figure << "+" << one.showTime;
        EXPECT_EQ(t.logLines(), Vec{std::string(" POPUP_INFO => ") + one.logged + "Head=>Text"});
    }
}

TEST_F(Alert, HugeShowTimeDoesNotOverflow) {
    lib.config.POPUP_SHOW_TIME = 2147483647;
    ShowAlert(lib, "h", "m", 5);
    t.settle();
    ASSERT_EQ(t.desktop.alerts.size(), 1u);
    EXPECT_GT(t.desktop.alerts[0].durationMs, 0);
    EXPECT_EQ(t.logLines(), Vec{" POPUP_INFO => [Time(ms):214748365200]h=>m"});
}

TEST_F(Alert, MessageIsFramedByCarriageReturnsAndEndsWithTheStamp) {
    t.clock.time = {2027, 1, 2, 3, 4, 5};
    ShowAlert(lib, "Header", "Message", 0);
    t.settle();
    ASSERT_EQ(t.desktop.alerts.size(), 1u);
    EXPECT_EQ(t.desktop.alerts[0].header, "Header");
    EXPECT_EQ(t.desktop.alerts[0].message, "\r\rMessage\r\r\r[2027-01-02 03:04:05]");
}

TEST_F(Alert, ReceivedSmsHeaderMakesTheTallPopup) {
    struct Case {
        const char* header;
        bool tall;
    };
    for (const Case& one : {Case{"SMS Recive", true}, Case{"New SMS Recive [0212]", true}, Case{"sms recive", false},
                            Case{"SMS RECIVE", false}, Case{"SMS Receive", false}, Case{"SMS", false}}) {
        t.clearRecords();
        ShowAlert(lib, one.header, "m", 0);
        t.settle();
        ASSERT_EQ(t.desktop.alerts.size(), 1u);
        EXPECT_EQ(t.desktop.alerts[0].tall, one.tall) << one.header;
    }
}

TEST(AlertRect, BottomRightCornerOfTheWorkAreaWhereverTheTaskBarIs) {
    struct Case {
        ScreenRect workArea;
        bool tall;
        ScreenRect popup;
    };
    const Case cases[] = {
        {{0, 0, 1024, 738}, false, {784, 618, 1024, 738}},   // task bar at the bottom, 30 high
        {{0, 0, 1024, 738}, true, {784, 538, 1024, 738}},
        {{0, 0, 964, 768}, false, {724, 648, 964, 768}},     // at the right, 60 wide
        {{60, 0, 1024, 768}, false, {784, 648, 1024, 768}},  // at the left
        {{0, 30, 1024, 768}, false, {784, 648, 1024, 768}},  // at the top
        {{0, 0, 1024, 768}, true, {784, 568, 1024, 768}},
        {{-1280, 0, 0, 1024}, false, {-240, 904, 0, 1024}},  // primary screen on the right
    };
    for (const Case& one : cases) {
        const ScreenRect at = AlertRect(one.workArea, one.tall);
        EXPECT_EQ(at, one.popup) << one.workArea.right << "x" << one.workArea.bottom;
        EXPECT_EQ(at.width(), 240);
        EXPECT_EQ(at.height(), one.tall ? 200 : 120);
    }
}

}  // namespace
}  // namespace veltrane
