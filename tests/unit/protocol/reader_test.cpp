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
    std::vector<Packet> packets;
    // Each packet's text and length field, and what was passed over, in order.
    std::vector<std::string> notes;
    std::size_t passed = 0;

    void linkAlive() override { ++alive; }
    void packet(const Frame& f) override {
        packets.push_back({std::string(f.kind), std::string(f.result), std::string(f.body)});
        notes.push_back(std::string(f.text) + " @" + std::string(f.length));
    }
    void passedOver(const PassedOver& what) override {
        ++passed;
        notes.push_back(std::to_string(static_cast<int>(what.why)) + " " + std::string(what.head) + " @" +
                        std::string(what.length));
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

// What a stream gave: the packets, and each packet's text and what was passed over.
struct Outcome {
    std::vector<Packet> packets;
    std::vector<std::string> notes;
    std::size_t passed = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome OutcomeOf(const RecordingSink& sink) { return {sink.packets, sink.notes, sink.passed}; }

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

// Every rule of the stream, each checked however the stream is cut: in one
// read, a byte at a time, in reads of 7 bytes, and (for short streams) in
// two reads at every possible cut.
TEST(CtiReaderStream, SamePacketsAndPassedOverWhateverTheCuts) {
    const std::string markerInText = "1|0212345678|0311112222|see |LINK| here|";
    const std::string overCap = "|LINK|SMS       |R|1048577|" + std::string(1048577, 'x').replace(10, 6, "|LINK|");
    struct Case {
        const char* name;
        std::string stream;
        std::vector<Packet> packets;
        std::size_t passedOver;
    };
    const Case cases[] = {
        {"packets in a row", kInfo + kCall + kLogin, {kInfoPacket, kCallPacket, kLoginPacket}, 0},
        {"link check answer handed on like any", ServerPacket("CONNCT", "R", "R|0212345678|") + kInfo,
         {{"CONNCT    ", "R", "R|0212345678|"}, kInfoPacket}, 0},
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
        EXPECT_EQ(whole.passed, c.passedOver);
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
    // Each packet's text is that packet alone, trimmed, with its length field as sent.
    const auto note = [](const std::string& packet) {
        const std::string text = packet.substr(0, packet.size() - 2);
        return text + " @" + text.substr(19, 4);  // after "|LINK|", the kind padded to 10 and "|R|"
    };
    EXPECT_EQ(sink.notes, (std::vector<std::string>{note(kCall), note(kLogin)}));
}

TEST_F(CtiReaderTest, OnlyAReadThatEndsAPacketRenewsTheLink) {
    read(kCall.substr(0, 30));
    read("junk");
    EXPECT_EQ(sink.alive, 0);
    read(kCall.substr(30));
    EXPECT_EQ(sink.alive, 1);
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

}  // namespace
}  // namespace veltrane::cti
