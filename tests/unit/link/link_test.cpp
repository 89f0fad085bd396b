#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "account/login.h"
#include "account/registration.h"
#include "core/lifecycle.h"
#include "link/link.h"
#include "telephony/call.h"
#include "support/server_packet.h"
#include "support/fake_platform.h"

namespace veltrane::cti {
namespace {

using testing::ServerPacket;
using testing::TestLibrary;

using Strings = std::vector<std::string>;

TEST(SplitCommaText, EntriesEndAtCommasAndBlanks) {
    EXPECT_EQ(SplitCommaText("10.0.0.1,10.0.0.2"), (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(SplitCommaText("10.0.0.1 10.0.0.2"), (Strings{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(SplitCommaText("  a ,\tb  "), (Strings{"a", "b"}));
    EXPECT_EQ(SplitCommaText(""), Strings{});
    EXPECT_EQ(SplitCommaText("   "), Strings{});
}

TEST(SplitCommaText, QuotedEntriesAreTakenWhole) {
    EXPECT_EQ(SplitCommaText("\"cti one.example\",b"), (Strings{"cti one.example", "b"}));
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\""), (Strings{"say \"hi\""}));
    EXPECT_EQ(SplitCommaText("\"open"), (Strings{"open"}));
}

TEST(SplitCommaText, EmptyEntriesBetweenCommasCount) {
    EXPECT_EQ(SplitCommaText("a,,b"), (Strings{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (Strings{"a", ""}));
    EXPECT_EQ(SplitCommaText(",a"), (Strings{"", "a"}));
}

TEST(ErrorKindName, NamesTheSevenKinds) {
    EXPECT_EQ(ErrorKindName(0), "eeGeneral");
    EXPECT_EQ(ErrorKindName(3), "eeConnect");
    EXPECT_EQ(ErrorKindName(6), "eeLookup");
    EXPECT_EQ(ErrorKindName(7), "");
    EXPECT_EQ(ErrorKindName(-1), "");
}

class LinkTest : public ::testing::Test, protected TestLibrary {
protected:
    Strings hosts() const {
        Strings result;
        for (const auto& [host, port] : socket.opens) result.push_back(host);
        return result;
    }
    // DLL_START with these addresses, its records kept.
    void startWith(const std::string& addresses) {
        ini.set(configFile(), "Connect", "CTI_IPs", addresses);
        call([&] { session.start(kBase, "Host Window"); });
    }
    // A refused connection, as the socket layer reports it.
    void refuse() { socket.fail(3, 10061); }
    // The attempt waiting out its pause starts.
    void pauseEnds() {
        ASSERT_TRUE(connectPause.running);
        handle([&] { ConnectPauseTimer(link); });
    }
    // A connection that the server closes after `seconds`.
    void connectionLasting(int seconds) {
        socket.acceptConnection();
        clock.advance(seconds);
        socket.serverCloses();
    }
    // A tick of TimerConn `seconds` after the one before.
    void tickAfter(int seconds) {
        clock.advance(seconds);
        ASSERT_TRUE(timerConn.running);
        handle([&] { TimerConnTimer(link); });
    }
    Strings timerAlerts() {
        Strings result;
        for (const std::string& alert : alerts())
            if (alert.rfind("TimerConn", 0) == 0) result.push_back(alert);
        return result;
    }
    Strings logNames() const {
        Strings names;
        for (const std::string& line : logLines()) {
            const auto space = line.find(' ');
            const auto arrow = line.find(" => ");
            names.push_back(arrow == std::string::npos ? line : line.substr(space + 1, arrow - space - 1));
        }
        return names;
    }
    std::size_t count(const std::string& event) {
        const Strings& all = events();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), event));
    }
};

TEST_F(LinkTest, AddressesAreTriedInTurn) {
    start("10.0.0.1,10.0.0.2");
    for (int i = 0; i < 2; ++i) {
        refuse();
        pauseEnds();
    }
    EXPECT_EQ(hosts(), (Strings{"10.0.0.2", "10.0.0.1"}));  // after the start's 10.0.0.1
    EXPECT_EQ(socket.opens[0].second, 2209);
    EXPECT_EQ(logTexts("CTI_CONN"),
              (Strings{"[CTI_ID:1]CTI Address:10.0.0.2 Port:2209", "[CTI_ID:0]CTI Address:10.0.0.1 Port:2209"}));
    EXPECT_EQ(logTexts("CTI Connect Request")[0], "[CTI_ID:1][CtiCnt:2]CTI Address:10.0.0.1,10.0.0.2");
}

TEST_F(LinkTest, LinkLostAfterAMinuteReopensAtOnceAtTheNextAddress) {
    start("10.0.0.1,10.0.0.2");
    socket.acceptConnection();
    clock.advance(60);
    clearRecords();
    socket.serverCloses();
    EXPECT_EQ(hosts(), (Strings{"10.0.0.2"}));
    EXPECT_FALSE(connectPause.running);
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(logTexts("CTI Socket Connect request"), (Strings{"Address:10.0.0.1,10.0.0.2 Port:2209"}));
}

TEST_F(LinkTest, RefusedConnectionReportsThenDisconnectsThenTriesAgainAfterAPause) {
    start("10.0.0.1,10.0.0.2");
    refuse();
    EXPECT_EQ(events(),
              (Strings{"|SMSG|conn|disconnect|disconnect(10061)eeConnect|", "|SMSG|conn|disconnect||"}));
    EXPECT_EQ(alerts(), (Strings{"TimerConn=>[1/10] CTI connect Requst"}));
    EXPECT_EQ(logNames(), (Strings{"SEND_MSG", "SEND_MSG", "CTI Socket Connect request", "POPUP_INFO",
                                   "CTI Connect Request", "CTI_CONN"}));
    EXPECT_EQ(link.state, LinkState::Waiting);
    EXPECT_TRUE(hosts().empty());
    pauseEnds();
    EXPECT_EQ(hosts(), (Strings{"10.0.0.2"}));
}

TEST_F(LinkTest, StartWhileConnectedClosesTheConnectionOnceAndTriesTheFirstAddress) {
    start("10.0.0.1,10.0.0.2");
    socket.acceptConnection();
    lib.user.CallState = "2";
    clearRecords();
    call([&] { session.start(kBase, "Host Window"); });
    EXPECT_EQ(hosts(), (Strings{"10.0.0.1"}));
    EXPECT_EQ(count("|SMSG|conn|disconnect||"), 1u);
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_EQ(link.state, LinkState::Connecting);
    EXPECT_EQ(link.failures, 0);
}

// Only the host's acting cuts a pause short; other requests that find the
// link down start nothing, and no attempt is ever reported as a
// disconnection when no socket was there.
TEST_F(LinkTest, OnlyTheHostActingCutsAPauseShortAndNoSocketMeansNoDisconnect) {
    start();
    refuse();
    clearRecords();
    call([&] { telephony::DIAL(link, "0311112222"); });
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_TRUE(connectPause.running);

    clearRecords();
    call([&] { account::PC_LOGIN(link, "0212345678", "agent", "pw"); });
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_FALSE(connectPause.running);
    EXPECT_EQ(events(), (Strings{"|SMSG|login|fail||CTI ReConnecting|"}));
    handle([&] { ConnectPauseTimer(link); });  // a tick that was already queued
    EXPECT_EQ(socket.opens.size(), 1u);

    // An attempt under way is left to go on.
    call([&] { account::PC_LOGIN(link, "0212345678", "agent", "pw"); });
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(count("|SMSG|conn|disconnect||"), 0u);
}

TEST_F(LinkTest, PausesDoubleUpToThirtySecondsEachSpreadByAFifth) {
    const std::pair<double, std::vector<std::int32_t>> cases[] = {
        {0.5, {500, 1000, 2000, 4000, 8000, 16000, 30000, 30000}},
        {0.0, {400, 800, 1600, 3200, 6400, 12800, 24000, 24000}},
        {0.99999, {600, 1200, 2400, 4800, 9600, 19200, 36000, 36000}},
    };
    for (const auto& [unit, expected] : cases) {
        random.value = unit;
        start();
        std::vector<std::int32_t> pauses;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            refuse();
            pauses.push_back(connectPause.interval);
            pauseEnds();
        }
        EXPECT_EQ(pauses, expected) << unit;
    }
}

TEST_F(LinkTest, ConnectionThatEndsWithinFiveSecondsCountsAsAFailedAttempt) {
    start();
    std::vector<std::int32_t> pauses;
    for (int i = 0; i < 3; ++i) {
        connectionLasting(4);
        pauses.push_back(connectPause.interval);
        pauseEnds();
    }
    EXPECT_EQ(pauses, (std::vector<std::int32_t>{500, 1000, 2000}));
    EXPECT_EQ(link.budgetSpent, 3);

    // Up for five seconds: the run of failures against the budget ends, but
    // the pause stays where it was.
    connectionLasting(5);
    EXPECT_EQ(connectPause.interval, 2000);
    EXPECT_EQ(link.budgetSpent, 0);
    pauseEnds();
    // Up for a minute: the pause starts afresh.
    connectionLasting(60);
    EXPECT_FALSE(connectPause.running);
    EXPECT_EQ(socket.state(), SocketState::Opening);
    refuse();
    EXPECT_EQ(connectPause.interval, 500);
}

TEST_F(LinkTest, SocketThatCannotOpenIsAFailedAttempt) {
    startWith(",10.0.0.2");  // the empty entry is refused by the socket
    EXPECT_EQ(logTexts("except CTI_CONN"), (Strings{"(CTI) CTI Address: Port:2209"}));
    EXPECT_EQ(alerts(), (Strings{"TimerConn=>[1/10] CTI connect Requst"}));
    EXPECT_EQ(link.state, LinkState::Waiting);
    pauseEnds();
    EXPECT_EQ(hosts(), (Strings{"", "10.0.0.2"}));
}

TEST_F(LinkTest, HostActingStartsThePacingAndTheBudgetAfresh) {
    const std::pair<const char*, std::function<void()>> acts[] = {
        {"DLL_START", [&] { session.start(kBase, "Host Window"); }},
        {"PC_LOGIN", [&] { account::PC_LOGIN(link, "0212345678", "agent", "pw"); }},
        {"CERTIFICATION_NO", [&] { account::CERTIFICATION_NO(link, "0212345678"); }},
        {"CERTIFICATION_PC", [&] { account::CERTIFICATION_PC(link, "0212345678", "123456"); }},
    };
    for (const auto& [name, act] : acts) {
        start();
        lib.config.REG_PHONE = "0212345678";
        for (int i = 0; i < 3; ++i) {
            refuse();
            pauseEnds();
        }
        refuse();
        clearRecords();
        call(act);
        EXPECT_EQ(socket.opens.size(), 1u) << name;  // at once
        EXPECT_EQ(link.budgetSpent, 0) << name;
        refuse();
        EXPECT_EQ(connectPause.interval, 500) << name;
    }
}

TEST_F(LinkTest, TenFailedReconnectionsThenTheLibraryGivesUpUntilTheHostActs) {
    const std::pair<const char*, std::function<void()>> failures[] = {
        {"refused", [&] { refuse(); }},
        {"closed at once", [&] { connectionLasting(0); }},
    };
    for (const auto& [name, fail] : failures) {
        SCOPED_TRACE(name);
        start();
        Strings expectedAlerts;
        for (int i = 1; i <= 10; ++i) {
            fail();
            expectedAlerts.push_back("TimerConn=>[" + std::to_string(i) + "/10] CTI connect Requst");
            pauseEnds();
        }
        EXPECT_EQ(timerAlerts(), expectedAlerts);

        clearRecords();
        fail();
        EXPECT_EQ(events().back(), "|SMSG|conn|fail|CTI connection Check[11/10]Reconnect Over|");
        EXPECT_EQ(alerts().back(), "TimerConn Exit=>[11/10] CTI connection Check!!!");
        EXPECT_EQ(alerts().end()[-2], "conn=>CTI connection Check[11/10]Reconnect Over");
        EXPECT_EQ(logTexts("TimerConn Exit").size(), 1u);
        EXPECT_EQ(link.state, LinkState::GaveUp);
        EXPECT_EQ(link.budgetSpent, 0);
        EXPECT_TRUE(socket.opens.empty());
        EXPECT_FALSE(connectPause.running);  // CTI_RETRY_SECONDS is 0

        call([&] { account::PC_LOGIN(link, "0212345678", "agent", "pw"); });
        EXPECT_EQ(link.state, LinkState::Connecting);
        EXPECT_EQ(socket.opens.size(), 1u);
    }
    EXPECT_EQ(logTexts("TimerConn Exit").back().substr(0, 15), "[Check Time:202");
}

// After giving up, a quiet attempt every CTI_RETRY_SECONDS: no alert, the
// usual events of each socket, and once the server is back the user is
// signed in again.
TEST_F(LinkTest, RetriesQuietlyAfterGivingUpAndSignsInAgainWhenTheServerIsBack) {
    ini.set(configFile(), "Connect", "CTI_RETRY_SECONDS", "300");
    startConnected();
    link.signedIn = true;
    lib.user.LoginId = "agent";
    lib.user.LoginPassword = "secret";
    clock.advance(60);
    socket.serverCloses();
    for (int i = 0; i < 10; ++i) {
        refuse();
        pauseEnds();
    }
    refuse();
    ASSERT_EQ(link.state, LinkState::GaveUp);
    EXPECT_EQ(connectPause.interval, 300000);

    for (int retry = 0; retry < 2; ++retry) {
        clearRecords();
        pauseEnds();
        EXPECT_EQ(link.state, LinkState::Retrying);
        refuse();
        EXPECT_EQ(events(),
                  (Strings{"|SMSG|conn|disconnect|disconnect(10061)eeConnect|", "|SMSG|conn|disconnect||"}));
        EXPECT_TRUE(alerts().empty());
        EXPECT_EQ(link.state, LinkState::GaveUp);
        EXPECT_EQ(connectPause.interval, 300000);
    }
    clearRecords();
    pauseEnds();
    socket.acceptConnection();
    EXPECT_EQ(link.state, LinkState::Connected);
    EXPECT_EQ(events().front(), "|SMSG|conn|connect||");
    EXPECT_EQ(socket.packets,
              (Strings{"|LINK|LOGIN     |R|0044|R|0212345678|00-1A-2B-3C-4D-5E|agent|secret|\r\n"}));
}

TEST_F(LinkTest, StoppedLinkIsNotReopened) {
    startConnected();
    clearRecords();
    call([&] { EXPECT_TRUE(StopLink(link)); });
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect||"}));
    EXPECT_EQ(link.state, LinkState::Stopped);
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_FALSE(connectPause.running);
    EXPECT_FALSE(timerConn.running);
}

TEST_F(LinkTest, ConnectionArmsTimerRenewsSilenceMomentAndSaves) {
    start();
    socket.address = "10.1.2.3";
    socket.acceptConnection();
    EXPECT_EQ(events(), (Strings{"|SMSG|conn|connect||"}));
    EXPECT_EQ(alerts(), (Strings{"CTI connect=>10.1.2.3"}));
    EXPECT_EQ(desktop.alerts[0].durationMs, 500);  // figure 0 + POPUP_SHOW_TIME 5
    EXPECT_TRUE(timerConn.running);
    EXPECT_EQ(timerConn.interval, 30000);
    EXPECT_EQ(link.nextCheckTime, "20261209103100");
    EXPECT_EQ(lib.config.DLL_TIME, SecondsSince1970(clock.time) + 60);
    EXPECT_EQ(ini.value(userFile(), "SendMessage", "DLL_TIME"), std::to_string(lib.config.DLL_TIME));
}

TEST_F(LinkTest, TickIntervalFollowsTheShortestTiming) {
    const std::tuple<int, int, std::int32_t> cases[] = {{60, 30, 30000}, {2, 30, 2000}, {60, 1, 1000}, {90, 45, 30000}};
    for (const auto& [silence, answer, interval] : cases) {
        lib.config.CTI_SILENCE_SECONDS = silence;
        lib.config.CTI_ANSWER_SECONDS = answer;
        EXPECT_EQ(TimerConnInterval(lib.config), interval) << silence << "/" << answer;
    }
}

// After the silence a link check; an answer keeps the link, no answer
// within the window closes and reopens it.
TEST_F(LinkTest, SilentLinkIsCheckedAndClosedWhenTheCheckGoesUnanswered) {
    const std::pair<int, int> timings[] = {{60, 30}, {2, 1}};
    for (const auto& [silence, answer] : timings) {
        SCOPED_TRACE(silence);
        ini.set(configFile(), "Connect", "CTI_SILENCE_SECONDS", std::to_string(silence));
        ini.set(configFile(), "Connect", "CTI_ANSWER_SECONDS", std::to_string(answer));
        startConnected("0212345678");
        tickAfter(silence - 1);
        EXPECT_TRUE(socket.packets.empty());
        EXPECT_TRUE(logTexts("TimerConn").empty());
        tickAfter(1);
        EXPECT_EQ(socket.packets, (Strings{"|LINK|CONNCT    |R|0013|R|0212345678|\r\n"}));
        EXPECT_EQ(logTexts("TimerConn").size(), 1u);

        // Answered: the link is kept, and checked again after the next silence.
        socket.receive(ServerPacket("CONNCT", "S", "1|0212345678|"));
        tickAfter(silence - 1);
        EXPECT_EQ(socket.packets.size(), 1u);
        tickAfter(1);
        EXPECT_EQ(socket.packets.size(), 2u);
        EXPECT_TRUE(events().empty());

        tickAfter(answer - 1);
        EXPECT_EQ(socket.state(), SocketState::Connected);
        tickAfter(1);
        EXPECT_EQ(events(), (Strings{"|SMSG|conn|disconnect|link check unanswered|", "|SMSG|conn|disconnect||"}));
        EXPECT_EQ(socket.state(), SocketState::Opening);
        EXPECT_EQ(socket.opens.size(), 1u);
        EXPECT_FALSE(timerConn.running);
    }
}

TEST_F(LinkTest, AnyPacketCountsAsTheAnswer) {
    startConnected();
    tickAfter(60);
    ASSERT_EQ(socket.packets.size(), 1u);
    socket.receive(ServerPacket("INFO", "S", "N|still here|"));
    tickAfter(30);
    EXPECT_EQ(socket.state(), SocketState::Connected);
    EXPECT_EQ(socket.packets.size(), 1u);
}

// The link logs each packet (and what the reader passed over) when it hands
// it up; a link check's answer only renews the link.
TEST_F(LinkTest, PacketsAreLoggedWhenHandledAndLinkCheckAnswersOnlyRenew) {
    startConnected();
    clock.advance(50);
    std::size_t writtenBeforeTheEvent = 0;
    host.onCallback = [&](const std::string&) { writtenBeforeTheEvent = files.appended.size(); };
    socket.receive(ServerPacket("CONNCT", "R", "R|0212345678|") + "|LINK|CALL|R|x|\r\n" +
                   ServerPacket("INFO", "R", "I|notice|"));
    EXPECT_EQ(link.nextCheckTime, "20261209103150");
    EXPECT_TRUE(ini.writes.empty());
    EXPECT_EQ(logNames(), (Strings{"REAL DATA[1]", "PACKET", "PACKET", "REAL DATA[2]", "PACKET", "SEND_MSG"}));
    EXPECT_EQ(logTexts("PACKET")[1], "|LINK|CALL|R|x| dropped: the length is not a number of bytes");
    EXPECT_EQ(logTexts("PACKET")[2],
              "|LINK|INFO      |R|0009|I|notice|\rMsgPacket:LINK\rMsgKind:INFO      \rMsgResult:R"
              "\rMsgSize:0009\rMsgBody:I|notice|");
    EXPECT_EQ(events(), (Strings{"|SMSG|information|important|notice|"}));
    // Each packet's lines in one write, all of them before its event.
    EXPECT_EQ(files.appended.size(), 3u);
    EXPECT_EQ(writtenBeforeTheEvent, 3u);

    clock.advance(5);
    socket.receive("no marker here\r\n");
    EXPECT_EQ(link.nextCheckTime, "20261209103150");
}

// A flood is handed up a turn's worth at a time, in order, with the socket
// holding the rest meanwhile; a close hands up what came before it first.
TEST_F(LinkTest, FloodIsHandedUpATurnAtATimeInOrderAndBeforeAClose) {
    for (const bool closes : {false, true}) {
        SCOPED_TRACE(closes ? "then the server closes" : "alone");
        startConnected();
        clock.advance(60);
        std::string flood;
        Strings expected;
        for (int i = 0; i < 600; ++i) {
            flood += ServerPacket("INFO", "R", "N|" + std::to_string(i) + "|");
            expected.push_back("|SMSG|information|normal|" + std::to_string(i) + "|");
        }
        turns.runHandler([&] { CTISocketRead(link, flood); });
        EXPECT_EQ(host.callbacks.size(), static_cast<std::size_t>(kPacketsPerTurn));
        EXPECT_TRUE(socket.held);
        EXPECT_TRUE(linkWork.requested);
        if (closes) {
            socket.serverCloses();
            expected.push_back("|SMSG|conn|disconnect||");
        }
        EXPECT_EQ(events(), expected);
        EXPECT_FALSE(socket.held);
    }
}

TEST_F(LinkTest, PacketWithoutAnIntegerCodeDoesNotStopTheOnesAfterIt) {
    startConnected();
    socket.receive(ServerPacket("CALL", "S", "X|0212345678|0311112222|S|") + ServerPacket("INFO", "S", "N|next|"));
    EXPECT_EQ(events(), (Strings{"|SMSG|information|normal|next|"}));
}

TEST_F(LinkTest, DisconnectDiscardsAPacketStillArriving) {
    startConnected();
    const std::string info = ServerPacket("INFO", "R", "I|first notice|");
    socket.receive(info.substr(0, 30));
    clock.advance(60);
    socket.serverCloses();
    socket.acceptConnection();
    clearRecords();
    socket.receive(info.substr(30));
    socket.receive(ServerPacket("INFO", "R", "N|second|"));
    EXPECT_EQ(events(), (Strings{"|SMSG|information|normal|second|"}));
}

TEST_F(LinkTest, SignedInLinkSignsInAgainOnEveryConnection) {
    start();
    link.signedIn = true;
    lib.config.PHONE_NO = "0212345678";
    lib.user.LoginId = "agent";
    lib.user.LoginPassword = "secret";
    for (int i = 0; i < 2; ++i) {
        clearRecords();
        connectionLasting(60);
        EXPECT_EQ(events(), (Strings{"|SMSG|conn|connect||", "|SMSG|conn|disconnect||"}));
        EXPECT_EQ(socket.packets,
                  (Strings{"|LINK|LOGIN     |R|0044|R|0212345678|00-1A-2B-3C-4D-5E|agent|secret|\r\n"}));
        EXPECT_EQ(logTexts("CTISocketConnect"), (Strings{"PC_LOGIN"}));
    }
}

TEST_F(LinkTest, EmptyAddressListStartsNothing) {
    startWith("");
    EXPECT_TRUE(socket.opens.empty());
    EXPECT_EQ(logTexts("except CTI_CONN"), (Strings{"(CTI) CTI Address: Port:2209"}));
    EXPECT_EQ(link.state, LinkState::Idle);
    EXPECT_FALSE(connectPause.running);
}

// Host actions and server behaviour at random: however they interleave,
// every socket that opened ends with exactly one "conn|disconnect||" and
// none comes without a socket.
TEST_F(LinkTest, StormOfActionsGivesOneDisconnectPerSocket) {
    std::mt19937 random(20261209);
    start("10.0.0.1,10.0.0.2");
    std::size_t closed = 0;  // sockets that were open and are no more
    for (int step = 0; step < 2000; ++step) {
        const SocketState before = socket.state();
        const std::size_t opensBefore = socket.opens.size();
        switch (random() % 8) {
        case 0: call([&] { account::PC_LOGIN(link, "0212345678", "agent", "pw"); }); break;
        case 1: call([&] { session.start(kBase, "Host Window"); }); break;
        case 2: call([&] { telephony::DIAL(link, "0311112222"); }); break;
        case 3: if (before == SocketState::Opening) refuse(); break;
        case 4: if (before == SocketState::Opening) socket.acceptConnection(); break;
        case 5: socket.serverCloses(); break;
        case 6: if (connectPause.running) pauseEnds(); break;
        case 7: clock.advance(static_cast<int>(random() % 70)); break;
        }
        // Counted by what the socket went through in this step.
        const bool reopened = socket.opens.size() > opensBefore;
        if (before != SocketState::Closed && (socket.state() == SocketState::Closed || reopened)) ++closed;
    }
    EXPECT_GT(closed, 200u);
    EXPECT_EQ(count("|SMSG|conn|disconnect||"), closed);
}

}  // namespace
}  // namespace veltrane::cti
