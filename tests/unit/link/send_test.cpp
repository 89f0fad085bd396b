#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/send.h"
#include "telephony/call.h"
#include "support/fake_platform.h"

namespace veltrane::cti {
namespace {

using testing::TestLibrary;

bool HasLogLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasLogNamed(const std::vector<std::string>& lines, const std::string& name) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(" " + name + " => ") != std::string::npos; });
}

class SendCtiPacketTest : public ::testing::Test, protected TestLibrary {};

TEST_F(SendCtiPacketTest, LinkCheckGoesOutExactlyWithLineEnd) {
    startConnected("0212345678");
    SendLinkCheck(link);
    ASSERT_EQ(socket.packets.size(), 1u);
    EXPECT_EQ(socket.packets[0], "|LINK|CONNCT    |R|0013|R|0212345678|\r\n");
    EXPECT_EQ(socket.packets[0].size(), 39u);
    EXPECT_TRUE(HasLogLine(logLines(), "0212345678 CTI SEND => |LINK|CONNCT    |R|0013|R|0212345678|"));
    EXPECT_TRUE(events().empty());
}

TEST_F(SendCtiPacketTest, LinkCheckWithoutPhoneNumber) {
    startConnected("");
    SendLinkCheck(link);
    ASSERT_EQ(socket.packets.size(), 1u);
    EXPECT_EQ(socket.packets[0], "|LINK|CONNCT    |R|0003|R||\r\n");
}

TEST_F(SendCtiPacketTest, PacketHoldingConnectMarkerIsLoggedAsConnectSendAndSentUnchanged) {
    startConnected();
    const Request request{.kind = "SMS", .marker = "R", .body = "R|0212345678|0311112222|a|C|b|"};
    EXPECT_TRUE(SendRequest(link, request));
    const std::string packet = BuildPacket(request.kind, request.marker, request.body);
    ASSERT_EQ(socket.packets.size(), 1u);
    EXPECT_EQ(socket.packets[0], packet + "\r\n");
    EXPECT_TRUE(HasLogLine(logLines(), "0212345678 Connect Send => " + packet));
    EXPECT_FALSE(HasLogNamed(logLines(), "CTI SEND"));
}

// A send that fails is reported by its request first; the connection is
// closed in the link's next turn and made again, and nothing the request
// would have changed is changed.
TEST_F(SendCtiPacketTest, FailedSendReportsTheRequestThenTheLinkIsMadeAgain) {
    startConnected();
    clock.advance(60);
    socket.refuseSend = true;
    call([&] { telephony::DIAL(link, "0311112222"); });
    EXPECT_EQ(events(), (std::vector<std::string>{"|SMSG|call|fail|0212345678|0311112222|dialing|S|Except CTI SEND|",
                                                  "|SMSG|conn|disconnect||"}));
    EXPECT_EQ(lib.user.CallState, "");
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(link.state, LinkState::Connecting);
}

TEST_F(SendCtiPacketTest, FailedLinkCheckBecomesAHostEvent) {
    startConnected();
    socket.refuseSend = true;
    SendLinkCheck(link);
    EXPECT_EQ(events().front(), "|SMSG|conn|disconnect|Except CTI SEND|");

    socket.refuseSend = false;
    clearRecords();
    SendLinkCheck(link);  // closed, and the next attempt is only opening
    EXPECT_EQ(events(), (std::vector<std::string>{"|SMSG|conn|disconnect|disconnect|"}));
    EXPECT_TRUE(socket.packets.empty());
}

}  // namespace
}  // namespace veltrane::cti
