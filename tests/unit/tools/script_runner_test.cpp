#include <gtest/gtest.h>

#include <deque>

#include "console/script_runner.h"

namespace veltrane::tools {
namespace {

// Stands in for Windows: events "arrive" while the runner pumps, in the
// order they were scheduled, one a pump step.
class FakeHost : public ScriptHost {
public:
    EventLog& events;
    std::vector<std::string> calls;  // "NAME arg|arg|"
    std::deque<std::string> arriving;
    std::vector<std::string> printed;
    std::vector<std::string> requests;
    std::deque<std::string> answers;  // for exchange; empty: connection refused
    int pumpedMs = 0;
    std::optional<bool> finishedHeld;
    std::set<std::string> missing;

    explicit FakeHost(EventLog& log) : events(log) {}

    bool callExport(const ExportInfo& info, const std::vector<std::string>& args, std::string& error) override {
        if (missing.count(std::string(info.name))) {
            error = std::string(info.name) + " is not exported";
            return false;
        }
        std::string call(info.name);
        call += ' ';
        for (const std::string& arg : args) call += arg + "|";
        calls.push_back(call);
        return true;
    }
    void pump(int ms, const std::function<bool()>& done) override {
        for (int elapsed = 0;; elapsed += 10) {
            if (done && done()) return;
            if (elapsed >= ms) return;
            if (!arriving.empty()) {
                events.add(EventChannel::Callback, "t", arriving.front());
                arriving.pop_front();
            }
            pumpedMs += 10;
        }
    }
    bool exchange(const std::string& host, std::uint16_t port, const std::string& request, const std::string&, int,
                  std::string& answer, std::string& error) override {
        requests.push_back(host + ":" + std::to_string(port) + " " + request);
        if (answers.empty()) {
            error = "refused";
            return false;
        }
        answer = answers.front();
        answers.pop_front();
        return true;
    }
    std::uint16_t commandServerPort(const std::string& basePath) override { return basePath == "D:\\b\\" ? 4000 : 12209; }
    std::string toAnsi(const std::string& utf8) override { return utf8; }
    void print(const std::string& line) override { printed.push_back(line); }
    void finishing(bool held) override { finishedHeld = held; }
};

class ScriptRunnerTest : public ::testing::Test {
protected:
    ScriptRunnerTest() : host(events), runner(host, events, Settings()) {}
    static RunnerSettings Settings() {
        RunnerSettings settings;
        settings.basePath = "C:\\base\\";
        settings.windowTitle = "Host";
        settings.simPort = 7000;
        settings.waitTimeoutMs = 1000;
        return settings;
    }
    EventLog events;
    FakeHost host;
    ScriptRunner runner;
};

TEST_F(ScriptRunnerTest, ExportsGetTheirArgumentsPaddedAndDllStartItsDefaults) {
    EXPECT_EQ(runner.run("DLL_START"), LineResult::Done);
    EXPECT_EQ(runner.run("DLL_START D:\\b\\"), LineResult::Done);
    EXPECT_EQ(runner.run("SMS_INSTANT 01012345678 \"안녕하세요 반갑습니다\""), LineResult::Done);
    EXPECT_EQ(runner.run("WEB_REQUEST CL 0212345678"), LineResult::Done);
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "DLL_START C:\\base\\|Host|",
                              "DLL_START D:\\b\\|Host|",
                              "SMS_INSTANT 01012345678|안녕하세요 반갑습니다|",
                              "WEB_REQUEST CL|0212345678|||",
                          }));
}

TEST_F(ScriptRunnerTest, TooManyArgumentsAMissingExportOrAnUnknownCommandFail) {
    EXPECT_EQ(runner.run("DIAL 010 020"), LineResult::Failed);
    host.missing.insert("RE_DIAL");
    EXPECT_EQ(runner.run("RE_DIAL"), LineResult::Failed);
    EXPECT_EQ(runner.run("dial 010"), LineResult::Failed);  // exports are case-sensitive
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(runner.allHeld());
    EXPECT_EQ(host.printed.back().rfind("!! unknown command dial", 0), 0u);
}

TEST_F(ScriptRunnerTest, CommentsAndBlankLinesDoNothing) {
    EXPECT_EQ(runner.run("   "), LineResult::Done);
    EXPECT_EQ(runner.run("# DIAL 010"), LineResult::Done);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.printed.empty());
}

TEST_F(ScriptRunnerTest, WaitConsumesEventsUpToItsMatchInOrder) {
    host.arriving = {"|SMSG|call|success|0212|0101|dialing|S||", "|SMSG|call|success|0212|0101|calling|S||",
                     "|SMSG|call|success|0212|0101|callfinish|S||"};
    EXPECT_EQ(runner.run("wait *|calling|*"), LineResult::Done);
    // The dialing event was passed over by the first wait.
    EXPECT_EQ(runner.run("wait *|dialing|* 100"), LineResult::Failed);
    EXPECT_EQ(runner.run("wait call|success|0212|0101|callfinish|S||"), LineResult::Done);
}

TEST_F(ScriptRunnerTest, WaitStopsPumpingAtTheMatchAndFailsAtItsTimeLimit) {
    host.arriving = {"|SMSG|conn|connect||"};
    EXPECT_EQ(runner.run("wait conn|connect||"), LineResult::Done);
    EXPECT_EQ(host.pumpedMs, 10);
    EXPECT_EQ(runner.run("wait login|* 300"), LineResult::Failed);
    EXPECT_EQ(host.pumpedMs, 310);
    EXPECT_EQ(runner.run("wait login|* soon"), LineResult::Failed);  // not a number
}

TEST_F(ScriptRunnerTest, EventsDeliveredDuringTheExportCallAreSeenByTheNextWait) {
    events.add(EventChannel::Callback, "t", "|SMSG|dllstart|success|certification_no|");
    events.add(EventChannel::CopyData, "t", "|SMSG|dllstart|success|certification_no|");
    EXPECT_EQ(runner.run("wait dllstart|success|certification_no| 0"), LineResult::Done);
    // The WM_COPYDATA copy is not a second event.
    EXPECT_EQ(runner.run("wait dllstart|* 0"), LineResult::Failed);
}

TEST_F(ScriptRunnerTest, ExpectNoneFailsOnAMatchingEvent) {
    host.arriving = {"|SMSG|conn|connect||"};
    EXPECT_EQ(runner.run("expect-none *|fail|* 50"), LineResult::Done);
    host.arriving = {"|SMSG|call|fail|0212|0101|dialing|S|CTI disconnect|"};
    EXPECT_EQ(runner.run("expect-none *|fail|* 50"), LineResult::Failed);
}

TEST_F(ScriptRunnerTest, DllFinishTellsTheHostWhetherEverythingHeld) {
    EXPECT_EQ(runner.run("DLL_FINISH"), LineResult::Done);
    EXPECT_EQ(host.finishedHeld, true);
    runner.run("wait nothing 0");
    runner.run("DLL_FINISH");
    EXPECT_EQ(host.finishedHeld, false);
}

TEST_F(ScriptRunnerTest, SimCommandsPassTheirTextAndFailOnAnError) {
    host.answers = {"ok\n", "error no client connected\n"};
    EXPECT_EQ(runner.run("sim sms 0311112222 \"문자 왔어요\""), LineResult::Done);
    EXPECT_EQ(runner.run("sim drop"), LineResult::Failed);
    EXPECT_EQ(runner.run("sim drop"), LineResult::Failed);  // refused connection
    EXPECT_EQ(host.requests.front(), "127.0.0.1:7000 sms 0311112222 \"문자 왔어요\"\n");
}

TEST_F(ScriptRunnerTest, SimUntilRetriesUntilOk) {
    host.answers = {"error no posted body matches\n", "error no posted body matches\n", "ok KIND=CL\n"};
    EXPECT_EQ(runner.run("sim-until 1000 expect-post KIND=CL*"), LineResult::Done);
    EXPECT_EQ(host.requests.size(), 3u);
    host.answers = {"error no\n", "error no\n"};
    EXPECT_EQ(runner.run("sim-until 200 expect-post x"), LineResult::Failed);
}

TEST_F(ScriptRunnerTest, HttpGoesToTheCommandServerOfTheStartedBaseFolder) {
    host.answers = {"HTTP/1.1 200 OK\r\n\r\n", ""};
    runner.run("DLL_START D:\\b\\");
    EXPECT_EQ(runner.run("http GET /?KIND=CS&PHONE_NO=0212&GUEST_PHONE=0101"), LineResult::Done);
    EXPECT_EQ(host.requests[0], "127.0.0.1:4000 GET /?KIND=CS&PHONE_NO=0212&GUEST_PHONE=0101 HTTP/1.1\r\n"
                                "Host: 127.0.0.1:4000\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(host.printed.back(), "  http 4000: HTTP/1.1 200 OK");
    EXPECT_EQ(runner.run("http PUT /"), LineResult::Done);  // no answer is not a failure
    EXPECT_EQ(host.printed.back(), "  http 4000: (no answer)");
    EXPECT_EQ(runner.run("http GET /"), LineResult::Failed);  // refused
}

}  // namespace
}  // namespace veltrane::tools
