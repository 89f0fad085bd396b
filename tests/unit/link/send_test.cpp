#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/send.h"
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
    const std::string packet = BuildPacket("SMS", "R", "R|0212345678|0311112222|a|C|b|");
    EXPECT_TRUE(SendCtiPacket(link, packet));
    ASSERT_EQ(socket.packets.size(), 1u);
    EXPECT_EQ(socket.packets[0], packet + "\r\n");
    EXPECT_TRUE(HasLogLine(logLines(), "0212345678 Connect Send => " + packet));
    EXPECT_FALSE(HasLogNamed(logLines(), "CTI SEND"));
}

TEST_F(SendCtiPacketTest, NoConnectionSendsNothingAndStartsAnAttempt) {
    start();  // the first attempt is still opening
    EXPECT_EQ(SendCtiPacket(link, BuildPacket("CONNCT", "R", "R||")).reason(), "CTI disconnect");
    EXPECT_TRUE(socket.packets.empty());
    EXPECT_FALSE(HasLogNamed(logLines(), "CTI SEND"));
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(socket.state(), SocketState::Opening);
}

TEST_F(SendCtiPacketTest, RefusedSendReportsAndReconnects) {
    startConnected();
    socket.refuseSend = true;
    EXPECT_EQ(SendCtiPacket(link, BuildPacket("CONNCT", "R", "R|0212345678|")).reason(), "Except CTI SEND");
    EXPECT_EQ(socket.opens.size(), 1u);
    EXPECT_EQ(events(), (std::vector<std::string>{"|SMSG|conn|disconnect||"}));
}

TEST_F(SendCtiPacketTest, FailedLinkCheckBecomesAHostEvent) {
    startConnected();
    socket.refuseSend = true;
    SendLinkCheck(link);
    EXPECT_EQ(events().back(), "|SMSG|conn|disconnect|Except CTI SEND|");

    socket.refuseSend = false;
    lib.os.socket.close();  // closed, and the next attempt is only opening
    clearRecords();
    SendLinkCheck(link);
    EXPECT_EQ(events(), (std::vector<std::string>{"|SMSG|conn|disconnect|disconnect|"}));
    EXPECT_TRUE(socket.packets.empty());
}

}  // namespace
}  // namespace veltrane::cti
