#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cti/reader.h"
#include "cti_test_support.h"

namespace veltrane::cti {
namespace {

using testing::ServerPacket;

struct Packet {
    std::string kind, result, body;
    bool operator==(const Packet&) const = default;
};

void PrintTo(const Packet& p, std::ostream* os) { *os << "{" << p.kind << "," << p.result << "," << p.body << "}"; }

class RecordingSink : public PacketSink {
public:
    int alive = 0;
    std::vector<std::pair<std::string, std::string>> logs;
    std::vector<Packet> packets;
    // Runs inside the dispatch; its result is the dispatch's.
    std::function<bool(const Packet&)> onDispatch;

    void linkAlive() override { ++alive; }
    void log(std::string_view name, std::string_view text) override { logs.emplace_back(name, text); }
    bool dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        packets.push_back({kind, result, body});
        return onDispatch ? onDispatch(packets.back()) : true;
    }
    std::vector<std::string> logNames() const {
        std::vector<std::string> names;
        for (const auto& [name, text] : logs) names.push_back(name);
        return names;
    }
};

// "calling" report with a Korean name in it ("한글" in CP949), 33 body bytes.
const std::string kCallBody = "2|0212345678|0311112222|S|\xC7\xD1\xB1\xDB|";
const std::string kCall = ServerPacket("CALL", "R", kCallBody);
const std::string kLogin = ServerPacket("LOGIN", "R", "1|0212345678|http://w.example/a|");
const std::string kInfo = ServerPacket("INFO", "R", "I|notice|");

const Packet kCallPacket{"CALL      ", "R", kCallBody};
const Packet kLoginPacket{"LOGIN     ", "R", "1|0212345678|http://w.example/a|"};
const Packet kInfoPacket{"INFO      ", "R", "I|notice|"};

class CtiReaderTest : public ::testing::Test {
protected:
    CtiReader reader;
    RecordingSink sink;
    void read(std::string_view bytes) { reader.read(bytes, sink); }
};

TEST_F(CtiReaderTest, TwoPacketsInOneReadAreHandedOnInOrderAndRenewTheLinkOnce) {
    read(kCall + kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kCallPacket, kLoginPacket}));
    EXPECT_EQ(sink.alive, 1);
    EXPECT_EQ(sink.logNames(), (std::vector<std::string>{"REAL DATA[1]", "PACKET", "REAL DATA[2]", "PACKET"}));
    // Each "REAL DATA" line shows the buffer from that packet on, trimmed.
    EXPECT_EQ(sink.logs[0].second, kCall + kLogin.substr(0, kLogin.size() - 2));
    EXPECT_EQ(sink.logs[2].second, kLogin.substr(0, kLogin.size() - 2));
}

TEST_F(CtiReaderTest, PacketLogNamesEveryHeaderField) {
    read(kInfo);
    ASSERT_EQ(sink.logs.size(), 2u);
    EXPECT_EQ(sink.logs[1].second,
              "|LINK|INFO      |R|0009|I|notice|\rMsgPacket:LINK\rMsgKind:INFO      \rMsgResult:R"
              "\rMsgSize:0009\rMsgBody:I|notice|");
}

TEST_F(CtiReaderTest, LinkCheckAnswerRenewsTheLinkAndIsNotHandedOn) {
    read(ServerPacket("CONNCT", "R", "R|0212345678|"));
    EXPECT_EQ(sink.alive, 1);
    EXPECT_TRUE(sink.packets.empty());
}

TEST_F(CtiReaderTest, BlanksAndTextWithoutLinkChangeNothing) {
    read(" \r\n\t \r\n");
    read("LOGIN|R|0013|1|0212345678|\r\n");
    read(std::string("\0\0", 2));
    EXPECT_EQ(sink.alive, 0);
    EXPECT_TRUE(sink.logs.empty());
    EXPECT_TRUE(sink.packets.empty());
}

TEST_F(CtiReaderTest, SizeOfLettersEndsTheReadAndTheNextReadStartsAfresh) {
    read("|LINK|CALL      |R|00AB|2|0212345678|\r\n" + kLogin);
    EXPECT_TRUE(sink.packets.empty());
    EXPECT_EQ(sink.logNames(), (std::vector<std::string>{"REAL DATA[1]"}));
    read(kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kLoginPacket}));
}

TEST_F(CtiReaderTest, RefusedDispatchEndsTheRead) {
    sink.onDispatch = [](const Packet&) { return false; };
    read(kCall + kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kCallPacket}));
    sink.onDispatch = nullptr;
    read(kInfo);
    EXPECT_EQ(sink.packets.back(), kInfoPacket);
}

TEST_F(CtiReaderTest, ShortBodyFollowedByAPacketIsHandedOnShortAndThePacketToo) {
    // Declares 15 bytes, carries 13; the CR LF fills the gap.
    read("|LINK|LOGIN     |R|0015|1|0212345678|\r\n" + kCall);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{{"LOGIN     ", "R", "1|0212345678|"}, kCallPacket}));
}

// TCP may cut a packet anywhere; the reader must not care where.
TEST_F(CtiReaderTest, PacketSplitAtAnyByteAcrossTwoReadsIsHandedOnOnceWhole) {
    for (std::size_t cut = 0; cut <= kCall.size(); ++cut) {
        SCOPED_TRACE(cut);
        CtiReader fresh;
        RecordingSink out;
        fresh.read(kCall.substr(0, cut), out);
        fresh.read(kCall.substr(cut), out);
        EXPECT_EQ(out.packets, (std::vector<Packet>{kCallPacket}));
    }
}

TEST_F(CtiReaderTest, PacketSplitAcrossThreeReadsIsHandedOnOnceWhole) {
    for (std::size_t first = 0; first <= kCall.size(); ++first) {
        for (std::size_t second = first; second <= kCall.size(); ++second) {
            SCOPED_TRACE(std::to_string(first) + "," + std::to_string(second));
            CtiReader fresh;
            RecordingSink out;
            fresh.read(kCall.substr(0, first), out);
            fresh.read(kCall.substr(first, second - first), out);
            fresh.read(kCall.substr(second), out);
            ASSERT_EQ(out.packets, (std::vector<Packet>{kCallPacket}));
        }
    }
}

TEST_F(CtiReaderTest, StreamOfPacketsSplitAnywhereGivesEveryPacketOnceInOrder) {
    const std::string stream = kInfo + kCall + kLogin;
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        CtiReader fresh;
        RecordingSink out;
        fresh.read(stream.substr(0, cut), out);
        fresh.read(stream.substr(cut), out);
        ASSERT_EQ(out.packets, (std::vector<Packet>{kInfoPacket, kCallPacket, kLoginPacket}));
    }
}

TEST_F(CtiReaderTest, ReadEndingLikeTheStartOfAMarkerDoesNotSpoilTheNextPacket) {
    read(kInfo.substr(0, kInfo.size() - 2));  // no line end: the read ends in "|"
    read(kCall);
    read("text|L");
    read(kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket, kCallPacket, kLoginPacket}));
}

TEST_F(CtiReaderTest, BodyUpToOneMebibyteIsCompletedAcrossReads) {
    const std::string body = "1|" + std::string((1u << 20) - 3, 'a') + "|";
    const std::string packet = ServerPacket("SMS", "R", body);
    const std::size_t quarter = packet.size() / 4;
    for (std::size_t at = 0; at < packet.size(); at += quarter) read(packet.substr(at, quarter));
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0].body, body);
}

TEST_F(CtiReaderTest, HeldBackBytesPastOneMebibyteAreDroppedWithALogLine) {
    read("|LINK|" + std::string((1u << 20) + 4096, 'x'));
    ASSERT_FALSE(sink.logs.empty());
    EXPECT_NE(sink.logs.back().second.find("dropped"), std::string::npos);
    // Nothing of it is glued to the next packet.
    read(kCall);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kCallPacket}));
}

TEST_F(CtiReaderTest, ResetDiscardsHeldBackBytes) {
    read(kCall.substr(0, 30));
    reader.reset();
    read(kCall.substr(30));
    EXPECT_TRUE(sink.packets.empty());
    read(kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kLoginPacket}));
}

TEST_F(CtiReaderTest, ResetDiscardsAPartialMarkerAtTheEndOfARead) {
    read(kInfo + "|LI");
    reader.reset();
    read(kCall.substr(3));
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket}));
}

TEST_F(CtiReaderTest, NegativeSizeNeverStallsAndItsPacketIsDropped) {
    for (const char* size : {"-1", "-18", "-19", "-100", "-2147483648"}) {
        SCOPED_TRACE(size);
        CtiReader fresh;
        RecordingSink out;
        fresh.read(std::string("|LINK|CALL      |R|") + size + "|2|0212345678|0311112222|S|\r\n" + kLogin, out);
        EXPECT_EQ(out.packets, (std::vector<Packet>{kLoginPacket}));
    }
}

TEST_F(CtiReaderTest, HugeSizeIsHandedOnWithWhatArrivedAndDoesNotSwallowTheNextRead) {
    read("|LINK|CALL      |R|2147483647|2|0212345678|0311112222|S|\r\n");
    read(kLogin);
    EXPECT_EQ(sink.packets,
              (std::vector<Packet>{{"CALL      ", "R", "2|0212345678|0311112222|S|"}, kLoginPacket}));
}

TEST_F(CtiReaderTest, SizeBeyondThirtyTwoBitsEndsTheRead) {
    read("|LINK|CALL      |R|99999999999|2|0212345678|\r\n" + kLogin);
    EXPECT_TRUE(sink.packets.empty());
}

TEST_F(CtiReaderTest, NulAndHighBytesInABodyArriveUnchanged) {
    const std::string body("R|02\0\xFF\xFE\x80|", 9);
    read(std::string("\0\r\n", 3) + ServerPacket("SMS", "R", body));
    EXPECT_EQ(sink.packets, (std::vector<Packet>{{"SMS       ", "R", body}}));
}

TEST_F(CtiReaderTest, ReadDuringADispatchIsHandledAfterTheCurrentRead) {
    std::size_t seenWhenNestedReadReturned = 0;
    sink.onDispatch = [&](const Packet& p) {
        if (p == kInfoPacket) {
            read(kLogin);
            seenWhenNestedReadReturned = sink.packets.size();
        }
        return true;
    };
    read(kInfo + kCall);
    EXPECT_EQ(seenWhenNestedReadReturned, 1u);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket, kCallPacket, kLoginPacket}));
}

TEST_F(CtiReaderTest, ResetDuringADispatchKeepsNothingOfTheClosedLink) {
    sink.onDispatch = [&](const Packet& p) {
        if (p == kInfoPacket) reader.reset();
        return true;
    };
    // The tail of this read belongs to the link that closed.
    read(kInfo + kCall.substr(0, 30));
    read(kCall.substr(30));
    read(kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket, kLoginPacket}));
}

TEST_F(CtiReaderTest, ReadReceivedBeforeADisconnectIsStillHandled) {
    sink.onDispatch = [&](const Packet& p) {
        if (p == kInfoPacket) {
            read(kCall);      // already received
            reader.reset();   // then the link closes
        }
        return true;
    };
    read(kInfo);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket, kCallPacket}));
}

}  // namespace
}  // namespace veltrane::cti
