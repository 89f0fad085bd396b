// The CTI link of the real DLL against fake servers on loopback: connecting,
// reporting losses, reconnecting, rotating over the address list.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class CtiLink : public ConnectedHostTest {
protected:
    std::size_t countOf(const std::string& event) const {
        std::size_t count = 0;
        for (const std::string& text : host.callbacks()) count += text == event;
        return count;
    }
    bool waitForCount(const std::string& event, std::size_t count, std::chrono::milliseconds timeout = 5s) {
        return host.waitFor([&] { return countOf(event) >= count; }, timeout);
    }
    std::string connectLine(int index, const std::string& address) const {
        return "[CTI_ID:" + std::to_string(index) + "]CTI Address:" + address + " Port:" + std::to_string(server.port());
    }
};

TEST_F(CtiLink, ConnectsReportsTheLossAndReconnectsAtOnce) {
    startConnected();
    EXPECT_EQ(host.callbacks(), (std::vector<std::string>{Event("dllstart|success|certification_no|"),
                                                          Event("conn|connect||")}));
    // The window gets the same texts, each with its NUL counted.
    ASSERT_EQ(host.copies().size(), 2u);
    EXPECT_EQ(host.copies()[1].text, Event("conn|connect||"));
    EXPECT_EQ(host.copies()[1].bytes, Event("conn|connect||").size() + 1);

    // A link up for five seconds is no failed attempt: its loss is not paced.
    host.pump(5100ms);
    const std::size_t mark = host.callbacks().size();
    const auto closed = Clock::now();
    server.closeClient();
    ASSERT_TRUE(waitForCount(Event("conn|connect||"), 2));
    EXPECT_EQ(callbacksFrom(mark), (std::vector<std::string>{Event("conn|disconnect||"), Event("conn|connect||")}));
    // A link that was up is reopened without a pause.
    EXPECT_LT(Clock::now() - closed, 450ms);
    EXPECT_TRUE(host.waitFor([&] { return server.connections() == 2; }));
    EXPECT_EQ(LogTexts(base.path(), "CTI Socket Connect request"),
              std::vector<std::string>{"Address:127.0.0.1 Port:" + std::to_string(server.port())});
}

TEST_F(CtiLink, RefusedConnectionIsReportedAndRetriedWithGrowingPauses) {
    server.refuse();
    configure();
    std::vector<Clock::time_point> errors;
    host.onCallback = [&](const std::string& text) {
        if (text == Event("conn|disconnect|disconnect(10061)eeConnect|")) errors.push_back(Clock::now());
    };
    host.start(base.path());
    ASSERT_TRUE(host.waitFor([&] { return errors.size() >= 4; }, 8s));

    std::vector<std::string> expected{Event("dllstart|success|certification_no|")};
    for (int attempt = 0; attempt < 4; ++attempt) {
        expected.push_back(Event("conn|disconnect|disconnect(10061)eeConnect|"));
        expected.push_back(Event("conn|disconnect||"));
    }
    EXPECT_EQ(std::vector<std::string>(host.callbacks().begin(), host.callbacks().begin() + 9), expected);

    // 0.5 s, 1 s, 2 s between the attempts, each +-20 %; the upper bounds leave room for
    // a busy machine.
    const auto gap = [&](std::size_t i) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(errors[i + 1] - errors[i]).count();
    };
    const long long pauses[] = {500, 1000, 2000};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_GE(gap(i), pauses[i] * 8 / 10 - 50) << "pause " << i;
        EXPECT_LT(gap(i), pauses[i] * 12 / 10 + 1500) << "pause " << i;
    }

    const std::vector<std::string> attempts = LogTexts(base.path(), "CTI_CONN");
    ASSERT_GE(attempts.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(attempts[i], connectLine(0, "127.0.0.1"));
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(CtiLink, RefusedFirstAddressGivesWayToTheNextOneAndTheRotationGoesOn) {
    // Nothing listens on 127.0.0.2.
    configure("127.0.0.2,127.0.0.1");
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("conn|connect||")));
    EXPECT_EQ(host.callbacks(), (std::vector<std::string>{Event("dllstart|success|certification_no|"),
                                                          Event("conn|disconnect|disconnect(10061)eeConnect|"),
                                                          Event("conn|disconnect||"), Event("conn|connect||")}));

    // After a loss the rotation goes on from where it was: the first address
    // again (refused), then the second, after pauses of 1 s and 2 s (the
    // connection ended at once, so it counts as a failed attempt).
    server.closeClient();
    ASSERT_TRUE(waitForCount(Event("conn|connect||"), 2, 15s));
    EXPECT_EQ(LogTexts(base.path(), "CTI_CONN"),
              (std::vector<std::string>{connectLine(0, "127.0.0.2"), connectLine(1, "127.0.0.1"),
                                        connectLine(0, "127.0.0.2"), connectLine(1, "127.0.0.1")}));
    EXPECT_TRUE(host.waitFor([&] { return server.connections() == 2; }));
}

TEST_F(CtiLink, LostConnectionMovesOnToTheNextServer) {
    FakeCtiServer second("127.0.0.2", server.port());
    // A blank separates entries as a comma does.
    configure("127.0.0.2 127.0.0.1", /*alerts=*/true);
    host.start(base.path());
    ASSERT_TRUE(host.waitFor([&] { return second.clientConnected(); }));
    ASSERT_TRUE(waitForCount(Event("conn|connect||"), 1));

    second.closeClient();
    ASSERT_TRUE(host.waitFor([&] { return server.clientConnected(); }, 10s));
    ASSERT_TRUE(waitForCount(Event("conn|connect||"), 2, 10s));
    server.closeClient();
    ASSERT_TRUE(host.waitFor([&] { return second.connections() == 2 && second.clientConnected(); }, 10s));
    ASSERT_TRUE(waitForCount(Event("conn|connect||"), 3, 10s));

    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(LogTexts(base.path(), "CTI_CONN"),
              (std::vector<std::string>{connectLine(0, "127.0.0.2"), connectLine(1, "127.0.0.1"),
                                        connectLine(0, "127.0.0.2")}));
    // Each connection's alert names the server it reached.
    std::vector<std::string> connectAlerts;
    for (const std::string& text : LogTexts(base.path(), "POPUP_INFO"))
        if (text.find("CTI connect=>") != std::string::npos) connectAlerts.push_back(text);
    EXPECT_EQ(connectAlerts,
              (std::vector<std::string>{"[Time(ms):500]CTI connect=>127.0.0.2", "[Time(ms):500]CTI connect=>127.0.0.1",
                                        "[Time(ms):500]CTI connect=>127.0.0.2"}));
}

TEST_F(CtiLink, HostReconnectingInsideTheLastReadKeepsItsNewConnection) {
    startConnected();
    // The host answers a notice by starting the library again, which opens a
    // new connection; the notice arrives behind more than one read's worth
    // of bytes, just before the server closes.
    host.onCallback = [&](const std::string& text) {
        if (text == Event("information|normal|restart|")) host.start(base.path());
    };
    const std::size_t mark = host.callbacks().size();
    ASSERT_TRUE(server.send(ServerPacket("INFO", "S", "N|" + std::string(20000, 'x') + "|") +
                            ServerPacket("INFO", "S", "N|restart|")));
    server.closeClient();
    Sleep(300);  // both the data and the close are waiting before the host reads

    ASSERT_TRUE(host.waitFor([&] { return server.connections() >= 2 && server.clientConnected(); }));
    host.pump(500ms);
    const std::vector<std::string> events = callbacksFrom(mark);
    // One disconnection: the old socket's, closed by the new start.
    EXPECT_EQ(std::count(events.begin(), events.end(), Event("conn|disconnect||")), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), Event("conn|connect||")), 1);
    EXPECT_EQ(server.connections(), 2);
    EXPECT_TRUE(server.clientConnected());
}

TEST_F(CtiLink, HostNameThatCannotBeResolvedIsALookupErrorAndTheNextAddressIsTried) {
    // A label longer than 63 bytes fails in the resolver itself, without a
    // name server being asked.
    const std::string unresolvable = std::string(70, 'x') + ".invalid";
    configure(unresolvable + "," + "127.0.0.1");
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("conn|connect||")));
    ASSERT_EQ(host.callbacks().size(), 4u);
    EXPECT_EQ(host.callbacks()[1], Event("conn|disconnect|disconnect(11001)eeLookup|"));
    EXPECT_EQ(host.callbacks()[2], Event("conn|disconnect||"));
    EXPECT_EQ(LogTexts(base.path(), "CTI_CONN"),
              (std::vector<std::string>{connectLine(0, unresolvable), connectLine(1, "127.0.0.1")}));
}

TEST_F(CtiLink, EmptyAddressListStartsNoAttemptAndTellsOnlyTheCallback) {
    WriteConfig(base.path(), "", server.port());
    setUserSetting("Connect", "IS_POPUP_SHOW", "Y");
    host.start(base.path());
    host.pump(500ms);

    EXPECT_EQ(host.callbacks(), (std::vector<std::string>{"conn|disconnect|In put CTI Address(GET_INI_INFO)",
                                                          Event("dllstart|success|certification_no|")}));
    ASSERT_EQ(host.copies().size(), 1u);
    EXPECT_EQ(host.copies()[0].text, Event("dllstart|success|certification_no|"));
    EXPECT_EQ(server.connections(), 0);
    EXPECT_TRUE(LogTexts(base.path(), "CTI_CONN").empty());
    EXPECT_EQ(LogTexts(base.path(), "except CTI_CONN"),
              std::vector<std::string>{"(CTI) CTI Address: Port:" + std::to_string(server.port())});
    EXPECT_EQ(LogTexts(base.path(), "POPUP_INFO"),
              std::vector<std::string>{"[Time(ms):1000]GET_INI_INFO Fail=>In put CTI Address"});
    for (const LogEntry& entry : LogEntries(base.path()))
        EXPECT_EQ(entry.text.find("GET_INI_INFO)"), std::string::npos) << entry.name;
}

}  // namespace
}  // namespace veltrane::wine
