// Sending exact bytes, and DLL_FINISH with the link up (it ends the process,
// so it runs in a child).
#include <windows.h>

#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

class CtiRequests : public ConnectedHostTest {};

TEST_F(CtiRequests, DialGoesOutAsExactlyOneFramedLine) {
    startConnected();
    host.call("DIAL", {L"0311112222"});
    ASSERT_TRUE(waitForLines(1));
    host.pump(100ms);
    EXPECT_EQ(server.received(), "|LINK|CALL      |R|0024|R|0212345678|0311112222|\r\n");
    EXPECT_EQ(LogTexts(base.path(), "CTI SEND"),
              std::vector<std::string>{"|LINK|CALL      |R|0024|R|0212345678|0311112222|"});
}

// Child: starts with args[0] as the base folder (its config.ini names the
// parent's server), records every callback in the file args[1], waits for
// the link and calls DLL_FINISH.
VELTRANE_CHILD_SCENARIO(FinishWithTheLinkUp) {
    TestHost host;
    host.onCallback = [file = args.at(1)](const std::string& text) {
        const std::string so_far = ReadFileBytes(file);
        WriteFileBytes(file, so_far + text + "\n");
    };
    host.start(args.at(0));
    if (!host.waitForEvent(Event("conn|connect||"))) return 10;
    host.finish();
    return 20;  // DLL_FINISH should not have returned
}

TEST(CtiFinish, FinishWithTheLinkUpClosesItWithoutReconnectingAndEndsTheProcess) {
    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port());
    const std::wstring events = base.path() + L"events.txt";

    EXPECT_EQ(RunChild("FinishWithTheLinkUp", {base.path(), events}), 1);
    EXPECT_EQ(ReadFileBytes(events),
              Event("dllstart|success|certification_no|") + "\n" + Event("conn|connect||") + "\n" +
                  Event("conn|disconnect||") + "\n" + Event("dllfinish|success||") + "\n");
    ::Sleep(300);
    EXPECT_FALSE(server.clientConnected());
    EXPECT_EQ(server.connections(), 1);

    // No new attempt between the close and the end.
    const std::vector<LogEntry> log = LogEntries(base.path());
    std::size_t start = 0;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].name == "DLL_FINISH" && log[i].text == "Start") start = i;
    ASSERT_GT(start, 0u);
    for (std::size_t i = start; i < log.size(); ++i) {
        EXPECT_NE(log[i].name, "CTI_CONN");
        EXPECT_NE(log[i].name, "CTI Socket Connect request");
    }
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].name, "DLL_FINISH");
    EXPECT_EQ(log[log.size() - 2].text, "End");
    EXPECT_EQ(log.back().text, Event("dllfinish|success||"));
}

}  // namespace
}  // namespace veltrane::wine
