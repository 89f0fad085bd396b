#include <gtest/gtest.h>

#include <utility>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "host/host_support.h"

namespace veltrane::wine {
namespace {

using Vec = std::vector<std::string>;

TEST(HostEvents, WindowGetsTheEnvelopeAsCopyDataAfterTheCallback) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port());
    std::vector<std::size_t> copiesAtCallback;
    host.onCallback = [&](const std::string&) { copiesAtCallback.push_back(host.copies().size()); };

    host.start(base.path(), title);
    ASSERT_TRUE(host.waitForEvent("|SMSG|conn|connect||"));
    ASSERT_EQ(host.callbacks(), (Vec{"|SMSG|dllstart|success|certification_no|", "|SMSG|conn|connect||"}));
    ASSERT_EQ(host.copies().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const CopyData& copy = host.copies()[i];
        EXPECT_EQ(copy.text, host.callbacks()[i]);
        EXPECT_EQ(copy.bytes, host.callbacks()[i].size() + 1);
        EXPECT_EQ(copy.dwData, 0u);
        EXPECT_EQ(copy.wParam, 0u);
    }
    // Each callback came while the copies of the events before it, and not
    // its own, had arrived.
    EXPECT_EQ(copiesAtCallback, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(Logged(base.path(), " SEND_MSG => |SMSG|dllstart|success|certification_no|"));
}

TEST(HostEvents, WithoutACallbackTheWindowStillGetsEveryEvent) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder base;
    host.start(base.path(), title, /*withCallback=*/false);
    ASSERT_TRUE(host.waitFor([&] { return !host.copies().empty(); }));
    EXPECT_TRUE(host.callbacks().empty());
    EXPECT_EQ(host.copies()[0].text, "|SMSG|dllstart|success|certification_no|");
}

// The callback meets a library that has finished starting: an export called
// there is carried out in full, and its event too reaches the host before
// DLL_START returns.
TEST(HostEvents, CallbackMayCallAnExport) {
    const std::wstring title = UniqueTitle();
    TestHost host(title);
    TempFolder base;
    bool called = false;
    host.onCallback = [&](const std::string& event) {
        if (event == "|SMSG|dllstart|success|certification_no|" && !std::exchange(called, true))
            host.call("DIAL", {L""});
    };
    host.start(base.path(), title);
    // Without a config.ini the callback's own notice comes first.
    EXPECT_EQ(host.callbacks(), (Vec{"conn|disconnect|In put CTI Address(GET_INI_INFO)",
                                     "|SMSG|dllstart|success|certification_no|",
                                     "|SMSG|call|fail||dialing|R|Input dialing Phone Number|"}));
}

}  // namespace
}  // namespace veltrane::wine
