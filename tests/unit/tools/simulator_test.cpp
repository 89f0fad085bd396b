#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/packet.h"
#include "simulator/simulator.h"

namespace veltrane::tools {
namespace {

class RecordingOutput : public SimulatorOutput {
public:
    std::vector<std::string> sent;     // packets without CR LF
    std::vector<std::string> partial;  // bytes sent without a line end
    std::vector<std::string> lines;
    std::vector<ConnectionId> closed, resets;
    bool refusing = false, quitting = false;

    void send(ConnectionId, const std::string& bytes) override {
        if (bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n")
            partial.push_back(bytes);
        else
            sent.push_back(bytes.substr(0, bytes.size() - 2));
    }
    void close(ConnectionId id) override { closed.push_back(id); }
    void reset(ConnectionId id) override { resets.push_back(id); }
    void refuse(bool value) override { refusing = value; }
    void quit() override { quitting = true; }
    void log(const std::string& line) override { lines.push_back(line); }

    std::vector<std::string> take() { return std::exchange(sent, {}); }
    bool logged(const std::string& part) const {
        for (const std::string& line : lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
};

constexpr char kMac[] = "00-11-22-33-44-55";

class SimulatorTest : public ::testing::Test {
protected:
    SimulatorTest() : simulator(Rules(), out) { simulator.connected(1, "127.0.0.1:5000"); }

    static ServerRules Rules() {
        ServerRules rules;
        rules.webAddress = "http://127.0.0.1:8080/crm/";
        rules.answerAfterMs = 1000;
        rules.callLengthMs = 3000;
        rules.smsFailures["0109999"] = 7;
        return rules;
    }

    void request(const std::string& kind, const std::string& body, Millis now = 0, const std::string& marker = "R") {
        simulator.received(1, cti::BuildPacket(kind, marker, body) + "\r\n", now);
    }
    void signIn() {
        request("CERTIFY", std::string("R|0212345678|") + kMac + "|123456|");
        request("LOGIN", std::string("R|0212345678|") + kMac + "|agent|secret|");
        out.take();
    }

    RecordingOutput out;
    Simulator simulator;
};

TEST_F(SimulatorTest, RegistrationCreatesANumberThenReportsTheCertifiedPc) {
    request("NUMBER", std::string("R|0212345678|") + kMac + "|");
    request("CERTIFY", std::string("R|0212345678|") + kMac + "|654321|");
    request("CERTIFY", std::string("R|0212345678|") + kMac + "|123456|");
    request("NUMBER", std::string("R|0212345678|") + kMac + "|");
    request("NUMBER", std::string("R|0212345678|AA-BB-CC-DD-EE-FF|"));
    request("NUMBER", std::string("R|0311112222|") + kMac + "|");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|NUMBER    |S|0013|1|0212345678|",
                              "|LINK|CERTIFY   |F|0013|1|0212345678|",
                              "|LINK|CERTIFY   |S|0013|1|0212345678|",
                              "|LINK|NUMBER    |S|0013|2|0212345678|",
                              "|LINK|NUMBER    |S|0013|1|0212345678|",  // another PC
                              "|LINK|NUMBER    |F|0013|1|0311112222|",
                          }));
}

TEST_F(SimulatorTest, LoginFailsWithTheCodeOfTheFirstWrongCredential) {
    const std::string head = std::string("R|0212345678|") + kMac + "|";
    request("LOGIN", head + "agent|secret|");  // PC not certified yet
    request("CERTIFY", head + "123456|");
    request("LOGIN", head + "agent2|wrong|");
    request("LOGIN", head + "agent|wrong|");
    request("LOGIN", head + "agent|secret|");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|LOGIN     |F|0013|1|0212345678|",
                              "|LINK|CERTIFY   |S|0013|1|0212345678|",
                              "|LINK|LOGIN     |F|0013|2|0212345678|",
                              "|LINK|LOGIN     |F|0013|3|0212345678|",
                              "|LINK|LOGIN     |S|0040|1|0212345678|http://127.0.0.1:8080/crm/|",
                          }));
}

TEST_F(SimulatorTest, RequestsBeforeSignInFailAndLogoutEndsTheSession) {
    request("CALL", "R|0212345678|01012345678|");
    request("RECORD", "R|0212345678|01012345678|");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|CALL      |F|0027|1|0212345678|01012345678|S|",
                              "|LINK|RECORD    |F|0013|1|0212345678|",
                          }));
    signIn();
    request("LOGOUT", "R|0212345678|");
    request("LOGOUT", "R|0212345678|");
    request("SMS", "R|0212345678|01012345678|hello||");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|LOGOUT    |S|0013|1|0212345678|",
                              "|LINK|LOGOUT    |F|0013|1|0212345678|",
                              "|LINK|SMS       |F|0031|1|0212345678|01012345678|hello|",
                          }));
}

TEST_F(SimulatorTest, DialedCallProgressesByTimeAndCanBeRecordedWhileConnected) {
    signIn();
    request("CALL", "R|0212345678|01012345678|", 100);
    request("RECORD", "R|0212345678|01012345678|", 200);  // still dialing
    EXPECT_EQ(simulator.nextDue(), 1100);
    simulator.advance(1099);
    EXPECT_EQ(out.sent.size(), 2u);
    simulator.advance(1100);
    request("RECORD", "R|0212345678|01012345678|", 1200);
    request("CALL", "R|0212345678|0311112222|", 1300);  // busy
    simulator.advance(4100);
    EXPECT_FALSE(simulator.nextDue());
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|CALL      |S|0027|1|0212345678|01012345678|S|",
                              "|LINK|RECORD    |F|0013|1|0212345678|",
                              "|LINK|CALL      |S|0027|2|0212345678|01012345678|S|",
                              "|LINK|RECORD    |S|0013|1|0212345678|",
                              "|LINK|CALL      |F|0026|2|0212345678|0311112222|S|",
                              "|LINK|CALL      |S|0027|3|0212345678|01012345678|S|",
                          }));
}

TEST_F(SimulatorTest, HangUpEndsTheCallAtOnceAndCancelsItsTimer) {
    signIn();
    request("CALL", "R|0212345678|01012345678|", 0);
    request("CALL", "H|0212345678|01012345678|", 10);
    request("CALL", "H|0212345678||", 20);
    simulator.advance(10000);
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|CALL      |S|0027|1|0212345678|01012345678|S|",
                              "|LINK|CALL      |S|0027|3|0212345678|01012345678|S|",
                              "|LINK|CALL      |F|0016|1|0212345678||S|",
                          }));
}

TEST_F(SimulatorTest, InboundCallRingsUntilPickedUp) {
    signIn();
    EXPECT_EQ(simulator.command("ring 0311112222"), "ok");
    EXPECT_FALSE(simulator.nextDue());  // rings until someone acts
    request("CALL", "P|0212345678|0311112222|", 500);
    EXPECT_EQ(simulator.nextDue(), 3500);
    EXPECT_EQ(simulator.command("hangup"), "ok");
    EXPECT_EQ(simulator.command("hangup"), "error no call in progress");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|CALL      |S|0026|1|0212345678|0311112222|R|",
                              "|LINK|CALL      |S|0026|2|0212345678|0311112222|R|",
                              "|LINK|CALL      |S|0026|3|0212345678|0311112222|R|",
                          }));
}

TEST_F(SimulatorTest, SmsAndBookedSucceedOrFailByRule) {
    signIn();
    const std::string korean = "\xBE\xC8\xB3\xE7";  // two CP949 characters, four bytes
    request("SMS", "R|0212345678|01012345678|" + korean + "||");
    request("SMS", "R|0212345678|0109999|hi||");
    request("SMS", "R|0212345678|010abc|hi||");
    request("BOOKED", "R|0212345678|01012345678|hi|2025-01-01 12:00|");
    request("BOOKED", "R|0212345678|01012345678|hi|tomorrow|");
    request("BOOKED", "R|0212345678|01012345678|hi|20250101120000|");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|SMS       |S|0030|1|0212345678|01012345678|" + korean + "|",
                              "|LINK|SMS       |F|0024|7|0212345678|0109999|hi|",
                              "|LINK|SMS       |F|0023|2|0212345678|010abc|hi|",
                              "|LINK|BOOKED    |S|0028|1|0212345678|01012345678|hi|",
                              "|LINK|BOOKED    |F|0028|4|0212345678|01012345678|hi|",
                              "|LINK|BOOKED    |S|0028|2|0212345678|01012345678|hi|",
                          }));
}

TEST_F(SimulatorTest, ReceivedSmsIsPushedAndItsAcknowledgementTracked) {
    signIn();
    EXPECT_EQ(simulator.command("sms 0311112222 \"see you\""), "ok");
    EXPECT_EQ(simulator.command("expect-acks"), "error 1 SMS not acknowledged");
    EXPECT_EQ(out.take(), std::vector<std::string>{"|LINK|SMS       |R|0032|1|0212345678|0311112222|see you|"});
    request("SMS", "S|0212345678|0311112222||", 0, "S");
    EXPECT_TRUE(out.logged("SMS from 0311112222 acknowledged"));
    EXPECT_EQ(simulator.command("expect-acks"), "ok");
    request("SMS", "S|0212345678|0311112222||", 0, "S");
    EXPECT_TRUE(out.logged("!! acknowledgement of an SMS from 0311112222 that was never delivered"));
    EXPECT_TRUE(out.sent.empty());  // acknowledgements are not answered

    simulator.command("sms 0319999999 again");
    simulator.disconnected(1);
    EXPECT_TRUE(out.logged("!! the SMS from 0319999999 was never acknowledged"));
}

TEST_F(SimulatorTest, SilenceSuppressesAnswersButNotOperatorPushes) {
    request("CONNCT", "R|0212345678|");
    EXPECT_EQ(simulator.command("silent"), "ok silent");
    request("CONNCT", "R|0212345678|");
    EXPECT_EQ(simulator.command("info I \"server check at noon\""), "ok");
    EXPECT_EQ(simulator.command("silent off"), "ok answering");
    request("CONNCT", "R|0212345678|");
    EXPECT_EQ(out.take(), (std::vector<std::string>{
                              "|LINK|CONNCT    |S|0013|1|0212345678|",
                              "|LINK|INFO      |S|0023|I|server check at noon|",
                              "|LINK|CONNCT    |S|0013|1|0212345678|",
                          }));
    EXPECT_TRUE(out.logged("silent, not sent: |LINK|CONNCT"));
}

TEST_F(SimulatorTest, DropRefuseAndQuitReachTheProgram) {
    EXPECT_EQ(simulator.command("drop"), "ok");
    EXPECT_EQ(out.closed, std::vector<ConnectionId>{1});
    // A dropped connection gets nothing more, and counts as gone for pushes.
    EXPECT_EQ(simulator.command("info N text"), "error no client connected");
    simulator.disconnected(1);
    EXPECT_EQ(simulator.command("refuse"), "ok refusing");
    EXPECT_TRUE(out.refusing);
    EXPECT_EQ(simulator.command("refuse off"), "ok listening");
    EXPECT_FALSE(out.refusing);
    EXPECT_EQ(simulator.command("quit"), "ok bye");
    EXPECT_TRUE(out.quitting);
}

TEST_F(SimulatorTest, LinkFaultsFlappingAndHalfAPacketThenAReset) {
    EXPECT_EQ(simulator.command("flap"), "ok flapping");
    simulator.connected(2, "127.0.0.1:5001");
    EXPECT_EQ(out.closed, std::vector<ConnectionId>{2});
    EXPECT_EQ(simulator.command("flap off"), "ok accepting");
    simulator.connected(3, "127.0.0.1:5002");
    EXPECT_EQ(out.closed.size(), 1u);

    EXPECT_EQ(simulator.command("half-reset"), "ok");
    EXPECT_EQ(out.resets, (std::vector<ConnectionId>{1, 3}));
    ASSERT_EQ(out.partial.size(), 2u);
    EXPECT_EQ(out.partial[0].rfind("|LINK|INFO      |S|", 0), 0u);
    EXPECT_EQ(simulator.command("info N gone"), "error no client connected");
}

TEST_F(SimulatorTest, PacketsCutAnywhereAreAnsweredOnceCompleteAndInOrder) {
    const std::string bytes = cti::BuildPacket("NUMBER", "R", std::string("R|0212345678|") + kMac + "|") + "\r\n" +
                              cti::BuildPacket("CONNCT", "R", "R|0212345678|") + "\r\n";
    for (char c : bytes) simulator.received(1, std::string(1, c), 0);
    EXPECT_EQ(out.take(), (std::vector<std::string>{"|LINK|NUMBER    |S|0013|1|0212345678|",
                                                    "|LINK|CONNCT    |S|0013|1|0212345678|"}));
    EXPECT_TRUE(out.logged("#1 <- |LINK|CONNCT    |R|0013|R|0212345678|"));
    // Both in one read: the link check is still answered second.
    simulator.received(1, bytes, 0);
    EXPECT_EQ(out.take()[1], "|LINK|CONNCT    |S|0013|1|0212345678|");
}

TEST_F(SimulatorTest, FramingFaultsOfTheLibraryAreReported) {
    simulator.received(1, "|LINK|LOGOUT    |R|0010|R|0212345678|\r\n", 0);
    EXPECT_TRUE(out.logged("#1 !! length field says 10 but the body has 13 bytes"));
    simulator.received(1, "|LINK|LOGOUT    |S|0013|R|0212345678|\r\n", 0);
    EXPECT_TRUE(out.logged("#1 !! marker S in a LOGOUT request"));
    simulator.received(1, "|LINK|FAX       |R|0013|R|0212345678|\r\n", 0);
    EXPECT_TRUE(out.logged("unknown request kind \"FAX\""));
}

TEST_F(SimulatorTest, CommandsCheckTheirArguments) {
    EXPECT_EQ(simulator.command("sms 0311112222 \"open quote"), "error unterminated quote");
    EXPECT_EQ(simulator.command("silent maybe").rfind("error", 0), 0u);
    EXPECT_EQ(simulator.command("ring").rfind("error", 0), 0u);
    EXPECT_EQ(simulator.command("fly").rfind("error unknown command", 0), 0u);
    EXPECT_EQ(simulator.command("packet LOGIN F 3|0212345678|"), "ok");
    EXPECT_EQ(simulator.command("raw |LINK|junk"), "ok");
    EXPECT_EQ(out.take(), (std::vector<std::string>{"|LINK|LOGIN     |F|0013|3|0212345678|", "|LINK|junk"}));
}

TEST_F(SimulatorTest, ExpectPostMatchesWhatReachedTheWebAddress) {
    EXPECT_EQ(simulator.command("expect-post KIND=CL*"), "error no posted body matches");
    simulator.webRequest("POST", "/crm/", "KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG=");
    EXPECT_EQ(simulator.command("expect-post KIND=CL&PHONE_NO=0212345678*"),
              "ok KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG=");
}

TEST_F(SimulatorTest, APostIsLoggedWithItsHeadersAndDecodedFields) {
    const std::string body = "KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=010%2B1%262&SMS_MSG=%B0%A1+50%25%0D%0Ax";
    simulator.webRequest("POST", "/crm/", body,
                         {{"Host", "127.0.0.1:8080"}, {"Content-Type", "application/x-www-form-urlencoded"}});
    ASSERT_FALSE(out.lines.empty());
    EXPECT_EQ(out.lines.back(), "web <- POST /crm/ " + body +
                                    "\nheader Host: 127.0.0.1:8080"
                                    "\nheader Content-Type: application/x-www-form-urlencoded"
                                    "\nfield KIND=SS\nfield PHONE_NO=0212345678\nfield GUEST_PHONE=010+1&2"
                                    "\nfield SMS_MSG=\xB0\xA1 50%\\r\\nx");

    // Other requests, and bodies in other encodings, are logged as they came.
    simulator.webRequest("GET", "/crm/?KIND=CL", "");
    EXPECT_EQ(out.lines.back(), "web <- GET /crm/?KIND=CL");
    simulator.webRequest("POST", "/crm/", "a=1", {{"Content-Type", "text/plain"}});
    EXPECT_EQ(out.lines.back(), "web <- POST /crm/ a=1\nheader Content-Type: text/plain");
}

}  // namespace
}  // namespace veltrane::tools
