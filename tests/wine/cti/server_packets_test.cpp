// What the server writes, however TCP cuts it, and what reaches the host.
// Every case ends by checking that a later packet still gets through.
#include <string>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

const std::string kOther = "0311112222";

std::string CallBody(int status) { return std::to_string(status) + "|0212345678|" + kOther + "|S|"; }
std::string CallEvent(int status) {
    static const char* const words[] = {"", "dialing", "calling", "callfinish"};
    return Event(std::string("call|success|0212345678|") + kOther + "|" + words[status] + "|S||");
}
std::string ReceivedSms(const std::string& message) {
    return ServerPacket("SMS", "R", "1|0212345678|" + kOther + "|" + message + "|");
}
std::string ReceivedSmsEvent(const std::string& message) {
    return Event("sms|success|0212345678|" + kOther + "|read|" + message + "|");
}
const std::string kSmsAck = "|LINK|SMS       |S|0025|S|0212345678|0311112222||";

class CtiServerPackets : public ConnectedHostTest {
protected:
    void SetUp() override { startConnected(); }

    // Sends `bytes` and waits until `events` more callbacks have arrived;
    // returns them.
    std::vector<std::string> sendAndCollect(const std::string& bytes, std::size_t events,
                                            std::chrono::milliseconds timeout = 5s) {
        const std::size_t mark = host.callbacks().size();
        EXPECT_TRUE(server.send(bytes));
        EXPECT_TRUE(waitForCallbacks(mark, events, timeout));
        return callbacksFrom(mark);
    }
    std::vector<std::string> sendPiecesAndCollect(const std::vector<std::string>& pieces, std::size_t events) {
        const std::size_t mark = host.callbacks().size();
        EXPECT_TRUE(server.sendPieces(pieces));
        EXPECT_TRUE(waitForCallbacks(mark, events));
        host.pump(100ms);  // nothing more may follow
        return callbacksFrom(mark);
    }
    // A notice with a text of its own goes through after whatever came before.
    void expectLaterPacketDispatched() {
        const std::string text = "still here " + std::to_string(++later_);
        const std::size_t mark = host.callbacks().size();
        ASSERT_TRUE(server.send(ServerPacket("INFO", "S", "N|" + text + "|")));
        ASSERT_TRUE(host.waitFor([&] {
            for (const std::string& event : callbacksFrom(mark))
                if (event == Event("information|normal|" + text + "|")) return true;
            return false;
        })) << "a later packet was not dispatched";
    }
    // Lets the library take whatever is on its way, then checks that nothing
    // reached the host.
    void expectNothingFor(const std::string& bytes) {
        const std::size_t mark = host.callbacks().size();
        ASSERT_TRUE(server.send(bytes));
        host.pump(300ms);
        EXPECT_EQ(callbacksFrom(mark), std::vector<std::string>{});
    }

private:
    int later_ = 0;
};

TEST_F(CtiServerPackets, WholePacketBecomesOneEvent) {
    EXPECT_EQ(sendAndCollect(ServerPacket("CALL", "S", CallBody(2)), 1), std::vector<std::string>{CallEvent(2)});
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, SeveralPacketsInOneWriteAreHandledInOrder) {
    const std::string all =
        ServerPacket("CALL", "S", CallBody(1)) + ServerPacket("CALL", "S", CallBody(2)) + ServerPacket("CALL", "S", CallBody(3));
    EXPECT_EQ(sendAndCollect(all, 3), (std::vector<std::string>{CallEvent(1), CallEvent(2), CallEvent(3)}));
    EXPECT_EQ(LogTexts(base.path(), "REAL DATA[3]").size(), 1u);
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, PacketCutAnywhereIsPutTogetherAgain) {
    const std::string packet = ServerPacket("CALL", "S", CallBody(2));
    const std::size_t bodyStart = packet.find("|2|") + 1;
    const std::vector<std::vector<std::size_t>> cuts = {
        {3},                              // inside "|LINK|"
        {1},                              // after its first "|"
        {6},                              // right after "|LINK|"
        {10, 18},                         // inside the kind, then inside the marker field
        {21},                             // inside the length
        {bodyStart},                      // between header and body
        {bodyStart + 7, bodyStart + 15},  // twice inside the body
        {packet.size() - 2},              // before the line end
        {2, 12, 20, 30, 40},              // into many small pieces
    };
    for (const auto& at : cuts) {
        std::vector<std::string> pieces;
        std::size_t from = 0;
        for (std::size_t cut : at) {
            pieces.push_back(packet.substr(from, cut - from));
            from = cut;
        }
        pieces.push_back(packet.substr(from));
        EXPECT_EQ(sendPiecesAndCollect(pieces, 1), std::vector<std::string>{CallEvent(2)}) << "cut at " << at[0];
    }
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, PacketCutInsideAKoreanCharacterKeepsTheCharacter) {
    const std::string hello = "\xBE\xC8\xB3\xE7";  // "안녕" in CP949
    const std::string packet = ReceivedSms(hello);
    const std::size_t cut = packet.find('\xBE') + 1;
    EXPECT_EQ(sendPiecesAndCollect({packet.substr(0, cut), packet.substr(cut)}, 1),
              std::vector<std::string>{ReceivedSmsEvent(hello)});
    ASSERT_TRUE(waitForLines(1));
    EXPECT_EQ(server.receivedLines(), std::vector<std::string>{kSmsAck});
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, PacketOfOneMebibyteArrivesWhole) {
    std::string message(1048551, '\0');
    for (std::size_t i = 0; i < message.size(); ++i) message[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[i % 36];
    const std::string packet = ReceivedSms(message);
    ASSERT_EQ(packet.find("|1048576|"), 18u);
    const std::vector<std::string> events = sendAndCollect(packet, 1, 8s);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0] == ReceivedSmsEvent(message)) << "event of " << events[0].size() << " bytes";
    ASSERT_TRUE(waitForLines(1));
    EXPECT_EQ(server.receivedLines(), std::vector<std::string>{kSmsAck});
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, NulAndHighBytesPassThroughUnchanged) {
    const std::string high = "A\x80\xFF\xFE\xA1";
    EXPECT_EQ(sendAndCollect(ReceivedSms(high), 1), std::vector<std::string>{ReceivedSmsEvent(high)});

    // A NUL becomes a blank: callback and window message carry the same text.
    const std::string withNul = std::string("ab\0cd", 5);
    EXPECT_EQ(sendAndCollect(ReceivedSms(withNul), 1), std::vector<std::string>{ReceivedSmsEvent("ab cd")});
    ASSERT_TRUE(host.waitFor([&] { return host.copies().back().text == ReceivedSmsEvent("ab cd"); }));
    EXPECT_EQ(host.copies().back().bytes, ReceivedSmsEvent("ab cd").size() + 1);
    ASSERT_TRUE(waitForLines(2));
    EXPECT_EQ(server.receivedLines(), (std::vector<std::string>{kSmsAck, kSmsAck}));
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, LineEndsInAServersTextLeaveOneEventAndOneLogLine) {
    const std::string forged = "\r\n[2099-01-01 00:00:00]0212345678 SEND_MSG => forged";
    struct Case {
        std::string packet;
        std::string event;  // CR and LF as blanks
    };
    const Case cases[] = {
        {ReceivedSms("hi" + forged), ReceivedSmsEvent("hi  [2099-01-01 00:00:00]0212345678 SEND_MSG => forged")},
        {ServerPacket("LOGIN", "S", "1|0212345678|http://w.example/" + forged + "|"),
         Event("login|success|0212345678|http://w.example/  [2099-01-01 00:00:00]0212345678 SEND_MSG => forged|")},
    };
    for (const Case& one : cases) {
        EXPECT_EQ(sendAndCollect(one.packet, 1), std::vector<std::string>{one.event});
        ASSERT_TRUE(host.waitFor([&] { return !host.copies().empty() && host.copies().back().text == one.event; }));
    }
    const std::string log = ReadFileBytes(TodayLogFile(base.path()));
    EXPECT_EQ(log.find("\n[2099"), std::string::npos);
    EXPECT_NE(log.find("Web:http://w.example/\\r\\n[2099"), std::string::npos);
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, BlanksAndLineEndsAloneChangeNothing) {
    expectNothingFor("  \r\n\r\n\t \r\n");
    expectNothingFor(std::string("\0\0\r\n", 4));
    expectNothingFor("no marker here|\r\n");
    EXPECT_TRUE(LogTexts(base.path(), "REAL DATA[1]").empty());
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, LengthOfLettersDropsThatPacketOnly) {
    const std::string bad = "|LINK|CALL      |S|00AB|" + CallBody(2) + "\r\n";
    EXPECT_EQ(sendAndCollect(bad + ServerPacket("CALL", "S", CallBody(3)), 1), std::vector<std::string>{CallEvent(3)});
    const std::vector<std::string> logged = LogTexts(base.path(), "PACKET");
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged[0], "|LINK|CALL      |S|00AB| dropped: the length is not a number of bytes");
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, LengthDecidesWhereABodyEndsEvenPastItsLineEnd) {
    // 50 bytes declared, 26 sent: the line end and the start of the notice
    // after it complete the body, and the notice is lost.
    const std::size_t mark = host.callbacks().size();
    ASSERT_TRUE(server.send("|LINK|CALL      |S|0050|" + CallBody(2) + "\r\n" + ServerPacket("INFO", "S", "N|lost|")));
    expectLaterPacketDispatched();
    const std::vector<std::string> events = callbacksFrom(mark);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], CallEvent(2));
}

TEST_F(CtiServerPackets, BodyFarLongerThanItsLengthIsCutAtTheLength) {
    const std::string longBody = "2|0212345678|" + std::string(5000, 'x') + "|S|";
    const std::string packet = "|LINK|CALL      |S|0013|" + longBody + "\r\n";
    EXPECT_EQ(sendAndCollect(packet, 1), std::vector<std::string>{Event("call|success|0212345678||calling|||")});
    expectLaterPacketDispatched();
    // The packet after it in the same write is found again.
    EXPECT_EQ(sendAndCollect(packet + ServerPacket("CALL", "S", CallBody(3)), 2),
              (std::vector<std::string>{Event("call|success|0212345678||calling|||"), CallEvent(3)}));
    expectLaterPacketDispatched();
}

TEST_F(CtiServerPackets, ServerClosingInTheMiddleOfAPacketLosesOnlyThatPacket) {
    const std::string packet = ServerPacket("CALL", "S", CallBody(2));
    const std::size_t mark = host.callbacks().size();
    ASSERT_TRUE(server.send(packet.substr(0, 30)));
    host.pump(100ms);
    server.closeClient();
    ASSERT_TRUE(host.waitFor([&] { return callbacksFrom(mark).size() >= 2; }));
    EXPECT_EQ(callbacksFrom(mark), (std::vector<std::string>{Event("conn|disconnect||"), Event("conn|connect||")}));
    ASSERT_TRUE(host.waitFor([&] { return server.clientConnected(); }));
    // The rest of the cut packet on the new connection is not glued to it.
    expectNothingFor(packet.substr(30));
    EXPECT_EQ(sendAndCollect(packet, 1), std::vector<std::string>{CallEvent(2)});
    expectLaterPacketDispatched();
}

}  // namespace
}  // namespace veltrane::wine
