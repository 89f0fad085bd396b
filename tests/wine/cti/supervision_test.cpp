// The real DLL against servers that misbehave as networks do: one that
// accepts and closes every connection, one that goes silent with the
// connection left open, one that restarts. The host must survive, the link
// must be found dead and reopened, and a signed-in user signed in again.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kLoginSuccess = "login|success|0212345678|http://w.example/|";

class CtiSupervision : public ConnectedHostTest {
protected:
    // Answers LOGIN and link checks, unless told to keep silent.
    void answerLoginAndChecks() {
        server.setResponder([this](const std::string& line) -> std::string {
            if (silent) return "";
            if (line.rfind("|LINK|LOGIN", 0) == 0) return ServerPacket("LOGIN", "S", "1|0212345678|http://w.example/|");
            if (line.rfind("|LINK|CONNCT", 0) == 0) return ServerPacket("CONNCT", "S", "1|0212345678|");
            return "";
        });
    }
    void signIn() {
        host.call("PC_LOGIN", {L"0212345678", L"agent", L"secret"});
        ASSERT_TRUE(host.waitForEvent(Event(kLoginSuccess)));
    }
    std::size_t countOf(const std::string& event) const {
        std::size_t count = 0;
        for (const std::string& text : host.callbacks()) count += text == event;
        return count;
    }
    std::size_t linesStartingWith(const std::string& prefix) const {
        std::size_t count = 0;
        for (const std::string& line : server.receivedLines()) count += line.rfind(prefix, 0) == 0;
        return count;
    }

    std::atomic<bool> silent{false};
};

// Each connect raises an alert; alerts once ran the message loop, and the
// next close and connect ran inside it until the stack ran out.
TEST_F(CtiSupervision, FlappingServerWithAlertsOnLeavesTheHostAliveAndThePausesGrow) {
    server.setFlapping(true);
    configure("127.0.0.1", /*alerts=*/true);
    host.start(base.path());
    host.pump(60s);

    const auto accepted = server.acceptTimes();
    // 0.5 s doubling (+-20 %): about eight attempts in a minute.
    ASSERT_GE(accepted.size(), 5u);
    EXPECT_LE(accepted.size(), 12u);
    for (std::size_t i = 1; i + 1 < accepted.size() && i < 6; ++i) {
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(accepted[i] - accepted[i - 1]);
        const long long pause = 500LL << (i - 1);
        EXPECT_GE(gap.count(), pause * 8 / 10 - 50) << "pause " << i;
        EXPECT_LT(gap.count(), pause * 12 / 10 + 3000) << "pause " << i;
    }
    // A connection may be reported just before or after the server's accept.
    const long long connects = static_cast<long long>(countOf(Event("conn|connect||")));
    EXPECT_LE(std::abs(connects - static_cast<long long>(accepted.size())), 1);

    // The host's thread still answers: an export is carried out at once.
    const std::size_t mark = host.callbacks().size();
    host.call("DIAL", {L""});
    EXPECT_EQ(callbacksFrom(mark), std::vector<std::string>{Event("call|fail||dialing|R|Input dialing Phone Number|")});
}

TEST_F(CtiSupervision, SilentServerIsFoundAndTheLinkReopenedAndSignedInAgain) {
    configure();
    WriteIni(base.path() + L"config.ini", "Connect", "CTI_SILENCE_SECONDS", "2");
    WriteIni(base.path() + L"config.ini", "Connect", "CTI_ANSWER_SECONDS", "2");
    answerLoginAndChecks();
    startConnected();
    signIn();
    // The first check is answered; then the server goes silent, connection open.
    ASSERT_TRUE(host.waitFor([&] { return linesStartingWith("|LINK|CONNCT") >= 1; }, 10s));
    host.pump(200ms);
    silent = true;
    const auto silentSince = Clock::now();
    const std::size_t mark = host.callbacks().size();

    ASSERT_TRUE(host.waitForEvent(Event("conn|disconnect|link check unanswered|"), 20s));
    silent = false;
    ASSERT_TRUE(host.waitFor([&] { return countOf(Event(kLoginSuccess)) == 2; }, 10s));
    const auto took = Clock::now() - silentSince;
    // Silence 2 s, then an unanswered check for 2 s, each seen by a 2 s tick.
    EXPECT_GE(took, 3500ms);
    EXPECT_LT(took, 15s);

    const std::vector<std::string> events = callbacksFrom(mark);
    const std::vector<std::string> expected{Event("conn|disconnect|link check unanswered|"),
                                            Event("conn|disconnect||"), Event("conn|connect||"),
                                            Event(kLoginSuccess)};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(server.connections(), 2);
    EXPECT_GE(linesStartingWith("|LINK|CONNCT"), 2u);
    EXPECT_EQ(linesStartingWith("|LINK|LOGIN"), 2u);
}

TEST_F(CtiSupervision, ServerRestartLeadsToLoginOnTheNewConnection) {
    answerLoginAndChecks();
    startConnected();
    signIn();
    const std::size_t mark = host.callbacks().size();
    server.closeClient();
    ASSERT_TRUE(host.waitFor([&] { return countOf(Event(kLoginSuccess)) == 2; }));
    EXPECT_EQ(callbacksFrom(mark), (std::vector<std::string>{Event("conn|disconnect||"), Event("conn|connect||"),
                                                             Event(kLoginSuccess)}));
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(linesStartingWith("|LINK|LOGIN     |R|"), 2u);
}

// The host runs a message loop inside its callback (as a message box
// does): the library's next event waits until the callback returns.
TEST_F(CtiSupervision, EventsArrivingWhileTheCallbackRunsAMessageLoopWaitForIt) {
    startConnected();
    int depth = 0;
    int deepest = 0;
    host.onCallback = [&](const std::string& text) {
        deepest = std::max(deepest, ++depth);
        if (text == Event("information|normal|first|")) {
            server.send(ServerPacket("INFO", "S", "N|second|"));
            host.pump(500ms);
        }
        --depth;
    };
    ASSERT_TRUE(server.send(ServerPacket("INFO", "S", "N|first|")));
    ASSERT_TRUE(host.waitForEvent(Event("information|normal|second|")));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(callbacksStartingWith(Event("information|")),
              (std::vector<std::string>{Event("information|normal|first|"), Event("information|normal|second|")}));
}

}  // namespace
}  // namespace veltrane::wine
