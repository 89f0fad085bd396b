// A whole working session through the real exports, against a fake server
// that answers like a CTI server: every request's exact bytes, every event.
#include <string>
#include <vector>

#include "commands/cti_server_script.h"
#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

// CP949 bytes of the Korean texts below.
const std::string kHello = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // 안녕하세요
const std::string kSeeYou = "\xB3\xBB\xC0\xCF \xBA\xC1\xBF\xE4";         // 내일 봐요
const std::string kThanks = "\xB0\xED\xB8\xB6\xBF\xF6\xBF\xE4";          // 고마워요

class CommandSession : public ConnectedHostTest {
protected:
    // This PC's MAC address as the library read it at start.
    std::string currentMac() const {
        const std::vector<std::string> start = LogTexts(base.path(), "DLL_START");
        const std::string& line = start.at(1);  // "[RegPhone:...]" + MAC_ADDR + ":" + CurrentMac
        return line.substr(line.find_last_of(':') + 1);
    }
    // Calls an export and waits for the event that ends its exchange.
    void step(const char* exportName, std::initializer_list<Arg> args, const std::string& lastEvent) {
        const std::size_t mark = host.callbacks().size();
        host.call(exportName, args);
        ASSERT_TRUE(host.waitFor([&] {
            for (const std::string& event : callbacksFrom(mark))
                if (event == Event(lastEvent)) return true;
            return false;
        })) << exportName << " did not end with " << lastEvent;
    }
    std::string user(const char* section, const char* key) const {
        return ReadIni(base.path() + L"config_user.ini", section, key);
    }
};

TEST_F(CommandSession, RegisterCertifyLogInCallRecordTextAndLogOut) {
    ASSERT_EQ(::GetACP(), 949u) << "the tests expect the Korean ANSI code page";
    server.setResponder(AnswerLikeACtiServer);
    WriteConfig(base.path(), "127.0.0.1", server.port());  // a first start: no user settings
    host.start(base.path());
    ASSERT_TRUE(host.waitForEvent(Event("conn|connect||")));
    const std::string mac = currentMac();
    ASSERT_EQ(mac.size(), 17u) << mac;

    step("CERTIFICATION_NO", {L"0212345678"}, "certification_no|success|0212345678|certified|");
    EXPECT_EQ(user("Connect", "REG_PHONE"), "0212345678");
    EXPECT_EQ(user("Connect", "MAC_ADDR"), mac);
    EXPECT_EQ(user("MyInfo", "PHONE_NO"), "0212345678");
    step("CERTIFICATION_PC", {L"02-1234-5678", L" 123456 "}, "certification_pc|success|0212345678||");
    step("PC_LOGIN", {L"0212345678", L"user1", L"s3cret"},
         std::string("login|success|0212345678|") + kWebAddress + "|");

    step("DIAL", {L"0311112222"}, "call|success|0212345678|0311112222|calling|S||");
    step("CALL_RECORD", {L" 0311112222 "}, "record|success|0212345678|||");
    // The answer to the recording request ended the "calling" state.
    step("CALL_RECORD", {L"0311112222"}, "call_record|fail|Does not calling|");
    step("HANG_UP", {L"0311112222"}, "call|success|0212345678|0311112222|callfinish|S||");
    step("RE_DIAL", {}, "call|success|0212345678|0311112222|calling|S||");
    step("HANG_UP", {L"0311112222"}, "call|success|0212345678|0311112222|callfinish|S||");

    step("SMS_INSTANT", {L"01012345678", L"안녕하세요"}, "sms|success|0212345678|01012345678|send|" + kHello + "|");
    step("SMS_BOOKED", {L"01012345678", L"내일 봐요", L"20250101093000"},
         "sms|success|0212345678|01012345678|booked|(1:" + kSeeYou + ")|");

    const std::size_t linesBefore = server.receivedLines().size();
    const std::size_t mark = host.callbacks().size();
    ASSERT_TRUE(server.send(ServerPacket("SMS", "R", "1|0212345678|0311112222|" + kThanks + "|")));
    ASSERT_TRUE(waitForCallbacks(mark, 1));
    ASSERT_TRUE(waitForLines(linesBefore + 1));

    step("PC_LOGOUT", {}, "logout|success|0212345678||");

    EXPECT_EQ(server.receivedLines(),
              (std::vector<std::string>{
                  "|LINK|NUMBER    |R|0031|R|0212345678|" + mac + "|",
                  "|LINK|CERTIFY   |R|0038|R|0212345678|" + mac + "|123456|",
                  "|LINK|LOGIN     |R|0044|R|0212345678|" + mac + "|user1|s3cret|",
                  "|LINK|CALL      |R|0024|R|0212345678|0311112222|",
                  "|LINK|RECORD    |R|0024|R|0212345678|0311112222|",
                  "|LINK|CALL      |R|0024|H|0212345678|0311112222|",
                  "|LINK|CALL      |R|0024|R|0212345678|0311112222|",
                  "|LINK|CALL      |R|0024|H|0212345678|0311112222|",
                  "|LINK|SMS       |R|0037|R|0212345678|01012345678|" + kHello + "||",
                  "|LINK|BOOKED    |R|0050|R|0212345678|01012345678|" + kSeeYou + "|20250101093000|",
                  "|LINK|SMS       |S|0025|S|0212345678|0311112222||",
                  "|LINK|LOGOUT    |R|0013|R|0212345678|",
              }));
    EXPECT_EQ(callbacksStartingWith(Event("")),
              (std::vector<std::string>{
                  Event("dllstart|success|certification_no|"),
                  Event("conn|connect||"),
                  Event("certification_no|success|0212345678|create number|"),
                  Event("certification_no|success|0212345678|certified|"),
                  Event("certification_pc|success|0212345678||"),
                  Event(std::string("login|success|0212345678|") + kWebAddress + "|"),
                  Event("call|success|0212345678|0311112222|dialing|S||"),
                  Event("call|success|0212345678|0311112222|calling|S||"),
                  Event("record|success|0212345678|||"),
                  Event("call_record|fail|Does not calling|"),
                  Event("call|success|0212345678|0311112222|callfinish|S||"),
                  Event("call|success|0212345678|0311112222|dialing|S||"),
                  Event("call|success|0212345678|0311112222|calling|S||"),
                  Event("call|success|0212345678|0311112222|callfinish|S||"),
                  Event("sms|success|0212345678|01012345678|send|" + kHello + "|"),
                  Event("sms|success|0212345678|01012345678|booked|(1:" + kSeeYou + ")|"),
                  Event("sms|success|0212345678|0311112222|read|" + kThanks + "|"),
                  Event("logout|success|0212345678||"),
              }));
    // Every event also went to the host window, NUL included.
    ASSERT_EQ(host.copies().size(), host.callbacks().size());
    for (std::size_t i = 0; i < host.copies().size(); ++i) {
        EXPECT_EQ(host.copies()[i].text, host.callbacks()[i]);
        EXPECT_EQ(host.copies()[i].bytes, host.callbacks()[i].size() + 1);
    }
    // The password never reaches the log file.
    for (const LogEntry& entry : LogEntries(base.path())) EXPECT_EQ(entry.text.find("s3cret"), std::string::npos);
}

}  // namespace
}  // namespace veltrane::wine
