#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/reader.h"
#include "support/server_packet.h"

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
    std::function<void(const Packet&)> onDispatch;

    void linkAlive() override { ++alive; }
    void log(std::string_view name, const LogText& text) override { logs.emplace_back(name, text.escaped()); }
    void dispatch(const std::string& kind, const std::string& result, const std::string& body) override {
        packets.push_back({kind, result, body});
        if (onDispatch) onDispatch(packets.back());
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

// What a stream gave: the packets, and the log lines with the read's
// packet number left out of "REAL DATA[n]", which counts within a read.
struct Outcome {
    std::vector<Packet> packets;
    std::vector<std::string> logs;
    bool operator==(const Outcome&) const = default;
};

Outcome OutcomeOf(const RecordingSink& sink) {
    Outcome outcome{sink.packets, {}};
    for (const auto& [name, text] : sink.logs)
        outcome.logs.push_back((name.rfind("REAL DATA[", 0) == 0 ? std::string("REAL DATA") : name) + " " + text);
    return outcome;
}

// The stream fed in reads of `piece` bytes (0: in one read).
Outcome ReadInPieces(const std::string& stream, std::size_t piece) {
    CtiReader reader;
    RecordingSink sink;
    if (piece == 0) piece = stream.size() + 1;
    for (std::size_t at = 0; at < stream.size(); at += piece) reader.read(std::string_view(stream).substr(at, piece), sink);
    return OutcomeOf(sink);
}

Outcome ReadInTwo(const std::string& stream, std::size_t cut) {
    CtiReader reader;
    RecordingSink sink;
    reader.read(std::string_view(stream).substr(0, cut), sink);
    reader.read(std::string_view(stream).substr(cut), sink);
    return OutcomeOf(sink);
}

std::size_t DropLines(const Outcome& outcome) {
    std::size_t count = 0;
    for (const std::string& line : outcome.logs)
        count += line.find(" dropped: ") != std::string::npos || line.find(" skipped: ") != std::string::npos;
    return count;
}

// Every rule of the stream, each checked however the stream is cut: in one
// read, a byte at a time, in reads of 7 bytes, and (for short streams) in
// two reads at every possible cut.
TEST(CtiReaderStream, SamePacketsAndLogLinesWhateverTheCuts) {
    const std::string markerInText = "1|0212345678|0311112222|see |LINK| here|";
    const std::string overCap = "|LINK|SMS       |R|1048577|" + std::string(1048577, 'x').replace(10, 6, "|LINK|");
    struct Case {
        const char* name;
        std::string stream;
        std::vector<Packet> packets;
        std::size_t dropLines;
    };
    const Case cases[] = {
        {"packets in a row", kInfo + kCall + kLogin, {kInfoPacket, kCallPacket, kLoginPacket}, 0},
        {"link check answer not handed on", ServerPacket("CONNCT", "R", "R|0212345678|") + kInfo, {kInfoPacket}, 0},
        {"blanks and text without a marker", " \r\n\t LOGIN|R|0013|1|0212345678|\r\n", {}, 0},
        {"junk before a marker", "xx|LIN|LINKjunk\r\n" + kInfo, {kInfoPacket}, 0},
        {"marker inside a body is text", ServerPacket("SMS", "R", markerInText) + kInfo,
         {{"SMS       ", "R", markerInText}, kInfoPacket}, 0},
        {"line end filling a short body", "|LINK|LOGIN     |R|0015|1|0212345678|\r\n" + kCall,
         {{"LOGIN     ", "R", "1|0212345678|"}, kCallPacket}, 0},
        {"length running into the next packet", "|LINK|LOGIN     |R|0021|1|0212345678|\r\n" + kCall + kInfo,
         {{"LOGIN     ", "R", "1|0212345678|\r\n|LINK|"}, kInfoPacket}, 0},
        {"blanks around header fields", "|LINK| INFO |R | 0009 |I|notice|\r\n", {{"INFO ", "R ", "I|notice|"}}, 0},
        {"empty body", ServerPacket("RECORD", "R", "") + kInfo, {{"RECORD    ", "R", ""}, kInfoPacket}, 0},
        {"NUL and high bytes in a body", std::string("\0\r\n", 3) + ServerPacket("SMS", "R", std::string("R|02\0\xFF|", 7)),
         {{"SMS       ", "R", std::string("R|02\0\xFF|", 7)}}, 0},
        {"length of letters", "|LINK|CALL      |R|00AB|2|0212345678|\r\n" + kLogin, {kLoginPacket}, 1},
        {"length with a sign", "|LINK|CALL      |R|-18|2|0212345678|\r\n|LINK|CALL|R|+1|x\r\n" + kLogin, {kLoginPacket}, 2},
        {"no length", "|LINK|CALL      |R||2|0212345678|\r\n" + kLogin, {kLoginPacket}, 1},
        {"packet inside a dropped header", "|LINK|CALL      |R|abc" + kInfo, {kInfoPacket}, 1},
        {"header that never ends", "|LINK|" + std::string(100, 'x') + kInfo, {kInfoPacket}, 1},
        {"body over the cap", overCap + kInfo, {kInfoPacket}, 1},
        {"length beyond 64 bits", "|LINK|CALL      |R|99999999999999999999999|" + kLogin, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome whole = ReadInPieces(c.stream, 0);
        EXPECT_EQ(whole.packets, c.packets);
        EXPECT_EQ(DropLines(whole), c.dropLines);
        EXPECT_EQ(ReadInPieces(c.stream, 1), whole);
        EXPECT_EQ(ReadInPieces(c.stream, 7), whole);
        if (c.stream.size() > 300) continue;
        for (std::size_t cut = 1; cut < c.stream.size(); ++cut) ASSERT_EQ(ReadInTwo(c.stream, cut), whole) << cut;
    }
}

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
    // Each "REAL DATA" line shows that packet alone, trimmed.
    EXPECT_EQ(sink.logs[0].second, kCall.substr(0, kCall.size() - 2));
    EXPECT_EQ(sink.logs[2].second, kLogin.substr(0, kLogin.size() - 2));
}

TEST_F(CtiReaderTest, OnlyAReadThatEndsAPacketRenewsTheLink) {
    read(kCall.substr(0, 30));
    read("junk");
    EXPECT_EQ(sink.alive, 0);
    read(kCall.substr(30));
    EXPECT_EQ(sink.alive, 1);
}

TEST_F(CtiReaderTest, PacketLogNamesEveryHeaderField) {
    read(kInfo);
    ASSERT_EQ(sink.logs.size(), 2u);
    EXPECT_EQ(sink.logs[1].second,
              "|LINK|INFO      |R|0009|I|notice|\rMsgPacket:LINK\rMsgKind:INFO      \rMsgResult:R"
              "\rMsgSize:0009\rMsgBody:I|notice|");
}

TEST_F(CtiReaderTest, ReadOfManyPacketsLogsInProportionToItsSize) {
    std::string flood;
    for (int i = 0; i < 5000; ++i) flood += kInfo;
    read(flood);
    EXPECT_EQ(sink.packets.size(), 5000u);
    std::size_t logged = 0;
    for (const auto& entry : sink.logs) logged += entry.second.size();
    // Each packet is logged twice, once with its header fields spelt out.
    EXPECT_LT(logged, 5 * flood.size());
}

TEST_F(CtiReaderTest, BodyUpToOneMebibyteIsCompletedAcrossReads) {
    const std::string body = "1|" + std::string((1u << 20) - 3, 'a') + "|";
    const std::string packet = ServerPacket("SMS", "R", body);
    const std::size_t quarter = packet.size() / 4;
    for (std::size_t at = 0; at < packet.size(); at += quarter) read(packet.substr(at, quarter));
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0].body, body);
}

TEST_F(CtiReaderTest, ResetForgetsWhatIsStillArriving) {
    const std::pair<const char*, std::string> unfinished[] = {
        {"a packet", kCall.substr(0, 30)},
        {"a marker", kInfo + "|LI"},
        {"a header", "|LINK|CALL      |R|00"},
        {"a body over the cap", "|LINK|SMS       |R|2000000|xx"},
    };
    for (const auto& [name, bytes] : unfinished) {
        CtiReader fresh;
        RecordingSink out;
        fresh.read(bytes, out);
        out.packets.clear();
        fresh.reset();
        fresh.read("NK|" + kCall.substr(30), out);
        fresh.read(kLogin, out);
        EXPECT_EQ(out.packets, (std::vector<Packet>{kLoginPacket})) << name;
    }
}

TEST_F(CtiReaderTest, ResetInsideADispatchEndsTheReadOfTheClosedLink) {
    sink.onDispatch = [&](const Packet& p) {
        if (p == kInfoPacket) reader.reset();
    };
    read(kInfo + kCall + kCall.substr(0, 30));
    read(kCall.substr(30));
    read(kLogin);
    EXPECT_EQ(sink.packets, (std::vector<Packet>{kInfoPacket, kLoginPacket}));
}

}  // namespace
}  // namespace veltrane::cti
