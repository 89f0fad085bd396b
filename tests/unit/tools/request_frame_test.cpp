#include <gtest/gtest.h>

#include "simulator/request_frame.h"

namespace veltrane::tools {
namespace {

TEST(SplitBody, KeepsEmptyFieldsAndDropsAnUnendedTail) {
    EXPECT_EQ(SplitBody("R|0212|010|hi||"), (std::vector<std::string>{"R", "0212", "010", "hi", ""}));
    EXPECT_EQ(SplitBody("R||x"), (std::vector<std::string>{"R", ""}));
    EXPECT_TRUE(SplitBody("no bar").empty());
}

TEST(CheckRequestFrame, AcceptsTheLibrarysLayoutOnly) {
    EXPECT_EQ(CheckRequestFrame("|LINK|CONNCT    |R|0013|R|0212345678|"), "");
    EXPECT_EQ(CheckRequestFrame("|LINK|CONNCT    |R|0012|R|0212345678|"),
              "length field says 12 but the body has 13 bytes");
    EXPECT_EQ(CheckRequestFrame("|LINK|CONNCT    |R|013|R|0212345678|"), "length field has fewer than four digits");
    EXPECT_EQ(CheckRequestFrame("|LINK| CONNCT   |R|0013|R|0212345678|"), "kind is not left-aligned in 10 bytes");
    EXPECT_EQ(CheckRequestFrame("|LINK|CONNCT|R|0013|R|0212345678|").rfind("header is not", 0), 0u);
    EXPECT_EQ(CheckRequestFrame("|LINK|CONNCT    |R|0012|R|0212345678"), "body does not end with |");
    EXPECT_EQ(CheckRequestFrame("LINK|CONNCT"), "does not start with |LINK|");
}

TEST(LineCutter, CutsByTheLengthFieldSoLineEndsInsideMessagesSurvive) {
    LineCutter cutter;
    const std::string body = "R|0212|010|line one\r\nline two||";
    const std::string packet = "|LINK|SMS       |R|" + std::string("0031") + "|" + body;
    ASSERT_EQ(body.size(), 31u);
    auto lines = cutter.add(packet.substr(0, 46));  // up to just past the inner CR LF
    EXPECT_TRUE(lines.empty());  // the line end inside the message does not cut it
    lines = cutter.add(packet.substr(46) + "\r\n|LINK|CONNCT    |R|0007|R|0212|\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, packet);
    EXPECT_EQ(lines[0].problem, "");
    EXPECT_EQ(lines[1].text, "|LINK|CONNCT    |R|0007|R|0212|");
}

TEST(LineCutter, AWrongLengthFallsBackToTheLineEndAndIsReported) {
    LineCutter cutter;
    // Counted in characters instead of bytes: two Korean characters short.
    const auto lines = cutter.add("|LINK|SMS       |R|0015|R|0212|010|\xBE\xC8\xB3\xE7||\r\n|LINK|CONNCT    |R|0007|R|0212|\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].problem, "length field says 15 but the body has 17 bytes");
    EXPECT_EQ(lines[1].problem, "");
}

TEST(LineCutter, APacketFollowedDirectlyByTheNextIsCutByItsLength) {
    LineCutter cutter;
    const auto lines = cutter.add("|LINK|CONNCT    |R|0007|R|0212||LINK|CONNCT    |R|0007|R|0212|\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "|LINK|CONNCT    |R|0007|R|0212|");
    EXPECT_EQ(lines[0].problem, "no CR LF after the packet");
    EXPECT_EQ(lines[1].problem, "");
    EXPECT_EQ(PacketBody(lines[1].text), "R|0212|");
}

TEST(LineCutter, TextWithoutHeaderIsCutAtLineEndsAndFlushedAtClose) {
    LineCutter cutter;
    const auto lines = cutter.add("hello\r\n\r\nworld");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].problem, "does not start with |LINK|");
    EXPECT_EQ(cutter.flush(), "world");
    EXPECT_EQ(cutter.flush(), "");
}

}  // namespace
}  // namespace veltrane::tools
