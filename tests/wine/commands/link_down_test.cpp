// Every export while there is no link, and while the link is being
// reopened: the exact events, and nothing sent.
#include <string>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

struct ExportCall {
    const char* name;
    std::vector<Arg> args;
    std::vector<std::string> events;  // without "conn|" events of the link's own
};

// The exports that only report the missing link, in an order where each one
// finds what the previous ones left (HANG_UP leaves the number RE_DIAL uses).
std::vector<ExportCall> ReportingExports() {
    return {
        {"PC_LOGOUT", {}, {"logout|fail|0212345678|disconnect|"}},
        {"DIAL", {L"0311112222"}, {"call|fail|0212345678|0311112222|dialing|S|CTI disconnect|"}},
        {"PICK_UP", {L"0311112222"}, {"call|fail|0212345678|0311112222|pickup|S|CTI disconnect|"}},
        {"HANG_UP", {L" 0311112222 "}, {"call|fail|0212345678|0311112222|hangup|S|CTI disconnect|"}},
        {"RE_DIAL", {}, {"call|fail|0212345678|0311112222|dialing|S|CTI disconnect|"}},
        {"SMS_INSTANT", {L"01012345678", L"hi"}, {"sms|fail|0212345678|01012345678|instant|CTI disconnect|"}},
        {"SMS_BOOKED",
         {L"01012345678", L"hi", L"20250101093000"},
         {"sms|fail|0212345678|01012345678|booked|CTI disconnect|"}},
        {"CALL_RECORD", {L"0311112222"}, {"call_record|fail|Does not calling|"}},
    };
}

// The exports that also ask for a new connection.
std::vector<ExportCall> ReconnectingExports() {
    return {
        {"CERTIFICATION_NO", {L"0212345678"}, {"certification_no|fail|CTI ReConnecting|"}},
        {"CERTIFICATION_PC", {L"021-234-5678", L"1234"}, {"certification_pc|fail|CTI ReConnecting|"}},
        {"PC_LOGIN", {L"0212345678", L"user1", L"pw"}, {"login|fail|0212345678|CTI ReConnecting|"}},
    };
}

class CommandsWithoutLink : public ConnectedHostTest {
protected:
    void SetUp() override {
        setUserSetting("MyInfo", "PHONE_NO", kPhone);
        setUserSetting("Connect", "REG_PHONE", "0212345678");
        setUserSetting("Connect", "IS_POPUP_SHOW", "N");
    }
    // Calls one export; its events, without the link's own "conn|" ones.
    std::vector<std::string> eventsOf(const ExportCall& call) {
        const std::size_t mark = host.callbacks().size();
        switch (call.args.size()) {
        case 0: host.call(call.name); break;
        case 1: host.call(call.name, {call.args[0]}); break;
        case 2: host.call(call.name, {call.args[0], call.args[1]}); break;
        default: host.call(call.name, {call.args[0], call.args[1], call.args[2]}); break;
        }
        std::vector<std::string> events;
        for (const std::string& text : callbacksFrom(mark))
            if (text.rfind(Event("conn|"), 0) != 0) events.push_back(text.substr(6));
        return events;
    }
    void expectReports(const std::vector<ExportCall>& calls) {
        for (const ExportCall& call : calls) EXPECT_EQ(eventsOf(call), call.events) << call.name;
    }
};

TEST_F(CommandsWithoutLink, NoAddressToConnectTo) {
    WriteConfig(base.path(), "", server.port());
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("dllstart|success|certification_no|")));

    expectReports(ReportingExports());
    expectReports(ReconnectingExports());
    // The three that ask for a connection each tried, and could not.
    EXPECT_EQ(LogTexts(base.path(), "except CTI_CONN").size(), 4u);
    EXPECT_EQ(eventsOf({"CERTIFICATION_OTHER", {}, {}}), std::vector<std::string>{});
    EXPECT_EQ(ReadIni(base.path() + L"config_user.ini", "Connect", "REG_PHONE"), "");
    EXPECT_EQ(ReadIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO"), "");
    host.pump(200ms);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(CommandsWithoutLink, WhileTheLinkIsBeingReopened) {
    configure();
    setUserSetting("Connect", "REG_PHONE", "0212345678");
    startConnected();
    const int port = server.port();

    // The server goes away: the loss, a refused attempt, then a pause.
    server.refuse();
    server.closeClient();
    ASSERT_TRUE(host.waitForEvent(Event("conn|disconnect|disconnect(10061)eeConnect|")));
    expectReports(ReportingExports());
    expectReports(ReconnectingExports());

    // Back again on the same port: the link comes back by itself and works.
    FakeCtiServer again("127.0.0.1", port);
    const std::size_t mark = host.callbacks().size();
    ASSERT_TRUE(host.waitFor(
        [&] {
            for (const std::string& text : callbacksFrom(mark))
                if (text == Event("conn|connect||")) return true;
            return false;
        },
        8s));
    ASSERT_TRUE(host.waitFor([&] { return again.clientConnected(); }));
    host.call("DIAL", {L"0311112222"});
    ASSERT_TRUE(host.waitFor([&] { return !again.receivedLines().empty(); }));
    EXPECT_EQ(again.received(), "|LINK|CALL      |R|0024|R|0212345678|0311112222|\r\n");
    EXPECT_EQ(server.received(), "");
}

}  // namespace
}  // namespace veltrane::wine
