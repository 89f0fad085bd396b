// The owner-thread rules: exports from other threads run on the thread that
// called DLL_START, concurrent calls do not mix their packets, the callback
// may call exports, and exports before DLL_START do nothing.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "commands/cti_server_script.h"
#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

class OwnerThread : public ConnectedHostTest {};

TEST_F(OwnerThread, ExportFromAnotherThreadIsCarriedOutOnTheStartThread) {
    startConnected();
    const DWORD startThread = ::GetCurrentThreadId();
    std::vector<DWORD> callbackThreads;
    std::atomic<std::size_t> callbacks{0};
    host.onCallback = [&](const std::string&) {
        callbackThreads.push_back(::GetCurrentThreadId());
        ++callbacks;
    };

    std::atomic<bool> done{false};
    std::size_t seenWhenReturned = 0;
    DWORD workerThread = 0;
    std::thread worker([&] {
        workerThread = ::GetCurrentThreadId();
        host.call("DIAL", {L"0311112222"});
        host.call("DIAL", {Arg::Null()});
        seenWhenReturned = callbacks;  // the call returns once its work is done
        done = true;
    });
    ASSERT_TRUE(host.waitFor([&] { return done.load(); }));
    worker.join();

    EXPECT_EQ(seenWhenReturned, 1u);
    ASSERT_EQ(callbackThreads.size(), 1u);
    EXPECT_EQ(callbackThreads[0], startThread);
    EXPECT_NE(workerThread, startThread);
    EXPECT_EQ(host.callbacks().back(), Event("call|fail||dialing|R|Input dialing Phone Number|"));
    ASSERT_TRUE(waitForLines(1));
    host.pump(100ms);
    EXPECT_EQ(server.received(), "|LINK|CALL      |R|0024|R|0212345678|0311112222|\r\n");
}

TEST_F(OwnerThread, ConcurrentCallsFromManyThreadsGiveWholePacketsInEachThreadsOrder) {
    startConnected();
    constexpr int kThreads = 8;
    constexpr int kCallsEach = 25;
    auto number = [](int thread, int call) {
        char text[16];
        std::snprintf(text, sizeof text, "03%02d%06d", thread, call);
        return std::string(text);
    };

    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                const std::string digits = number(t, i);
                host.call("DIAL", {std::wstring(digits.begin(), digits.end())});
            }
            ++finished;
        });
    }
    ASSERT_TRUE(host.waitFor([&] { return finished == kThreads; }, 10s));
    for (std::thread& thread : threads) thread.join();
    ASSERT_TRUE(waitForLines(kThreads * kCallsEach));
    host.pump(100ms);

    const std::vector<std::string> lines = server.receivedLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kCallsEach));
    EXPECT_EQ(server.received().size(), lines.size() * (lines[0].size() + 2));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        ASSERT_EQ(line.substr(0, 37), "|LINK|CALL      |R|0024|R|0212345678|") << line;
        ASSERT_EQ(line.size(), 48u) << line;
        const int t = std::stoi(line.substr(39, 2));
        ASSERT_LT(t, kThreads) << line;
        EXPECT_EQ(line.substr(37), number(t, next[t]) + "|") << "out of order for thread " << t;
        ++next[t];
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kCallsEach));
}

TEST_F(OwnerThread, CallbackMayCallExports) {
    server.setResponder(AnswerLikeACtiServer);
    startConnected();
    const std::string loggedIn = Event(std::string("login|success|0212345678|") + kWebAddress + "|");
    host.onCallback = [&](const std::string& text) {
        if (text != loggedIn) return;
        host.call("DIAL", {L"0311112222"});
        host.call("DIAL", {Arg::Null()});  // an event of its own inside this one
    };
    host.call("PC_LOGIN", {L"0212345678", L"user1", L"pw"});
    ASSERT_TRUE(host.waitForEvent(Event("call|success|0212345678|0311112222|calling|S||")));

    EXPECT_EQ(callbacksFrom(2), (std::vector<std::string>{
                                    loggedIn,
                                    Event("call|fail||dialing|R|Input dialing Phone Number|"),
                                    Event("call|success|0212345678|0311112222|dialing|S||"),
                                    Event("call|success|0212345678|0311112222|calling|S||"),
                                }));
    // The window gets the inner event first: the outer one's message is sent
    // when its callback has returned.
    std::vector<std::string> copies;
    for (std::size_t i = 2; i < host.copies().size(); ++i) copies.push_back(host.copies()[i].text);
    EXPECT_EQ(copies, (std::vector<std::string>{
                          Event("call|fail||dialing|R|Input dialing Phone Number|"),
                          loggedIn,
                          Event("call|success|0212345678|0311112222|dialing|S||"),
                          Event("call|success|0212345678|0311112222|calling|S||"),
                      }));
    std::string mac = LogTexts(base.path(), "DLL_START").at(1);
    mac = mac.substr(mac.find_last_of(':') + 1);
    EXPECT_EQ(server.receivedLines(), (std::vector<std::string>{
                                          "|LINK|LOGIN     |R|0040|R|0212345678|" + mac + "|user1|pw|",
                                          "|LINK|CALL      |R|0024|R|0212345678|0311112222|",
                                      }));
}

TEST(OwnerThreadBeforeStart, ExportsBeforeDllStartDoNothing) {
    TestHost host;
    const Arg number(L"0311112222");
    for (const char* name : {"DLL_FINISH", "CERTIFICATION_OTHER", "PC_LOGOUT", "RE_DIAL"}) host.call(name);
    for (const char* name : {"CERTIFICATION_NO", "DIAL", "PICK_UP", "HANG_UP", "CALL_RECORD"}) host.call(name, {number});
    host.call("CERTIFICATION_PC", {number, number});
    host.call("SMS_INSTANT", {number, number});
    host.call("PC_LOGIN", {number, number, number});
    host.call("SMS_BOOKED", {number, number, number});
    host.pump(100ms);
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_TRUE(host.copies().empty());

    // The library starts normally afterwards.
    TempFolder base;
    WriteConfig(base.path(), "127.0.0.1", FreeLoopbackPort());
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("dllstart|success|certification_no|")));
    EXPECT_EQ(host.callbacks()[0], Event("dllstart|success|certification_no|"));
}

}  // namespace
}  // namespace veltrane::wine
