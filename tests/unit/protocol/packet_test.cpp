#include "protocol/packet.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrane::cti {
namespace {

TEST(BuildPacket, KindIsPaddedAndLengthCountsBodyBytes) {
    EXPECT_EQ(BuildPacket("CONNCT", "R", "R|0212345678|"), "|LINK|CONNCT    |R|0013|R|0212345678|");
    EXPECT_EQ(BuildPacket("CONNCT", "R", "R||"), "|LINK|CONNCT    |R|0003|R||");
    // "한글" in CP949: two characters, four bytes.
    EXPECT_EQ(BuildPacket("SMS", "R", "R|0212345678|0311112222|\xC7\xD1\xB1\xDB|"),
              "|LINK|SMS       |R|0029|R|0212345678|0311112222|\xC7\xD1\xB1\xDB|");
    EXPECT_EQ(BuildPacket("SMS", "S", "S|0212345678|0311112222||"),
              "|LINK|SMS       |S|0025|S|0212345678|0311112222||");
}

TEST(BuildPacket, BodyOfTenThousandBytesOrMoreGetsFiveDigits) {
    const std::string packet = BuildPacket("SMS", "R", std::string(10000, 'a'));
    EXPECT_EQ(packet.substr(0, 25), "|LINK|SMS       |R|10000|");
    EXPECT_EQ(packet.size(), 25u + 10000u);
}

}  // namespace
}  // namespace veltrane::cti
