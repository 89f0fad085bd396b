// A whole working session through Veltrane.Phone, used only the way VBScript
// and VB6 use it: by ProgID, through IDispatch, events through a sink.
// Unicode goes in and comes out; the server sees CP949.
#include <string>
#include <vector>

#include "com/phone_fixture.h"

namespace veltrane::wine {
namespace {

const std::wstring kPhone = L"0212345678";

class PhoneSession : public PhoneTest {};

TEST_F(PhoneSession, StartRegisterCertifyLogInDialRingTextPageLogOutStopAndStartAgain) {
    const std::wstring web = Widen(kWebAddress);
    step(L"Start", {Text(base.path())}, L"|SMSG|conn|connect||");
    step(L"RegisterPhone", {Text(kPhone)}, L"|SMSG|certification_no|success|0212345678|certified|");
    step(L"CertifyPC", {Text(kPhone), Text(L"123456")}, L"|SMSG|certification_pc|success|0212345678||");
    step(L"Login", {Text(kPhone), Text(L"user1"), Text(L"s3cret")}, L"|SMSG|login|success|0212345678|" + web + L"|");
    step(L"Dial", {Text(L"0311112222")}, L"|SMSG|call|success|0212345678|0311112222|calling|S||");
    ASSERT_TRUE(server.send(ServerPacket("CALL", "S", "1|0212345678|0319998888|R|")));
    ASSERT_TRUE(PumpUntil([&] { return sink.hostEvents().back().find(L"0319998888") != std::wstring::npos; }));
    step(L"SendSms", {Text(L"01012345678"), Text(L"안녕하세요")},
         L"|SMSG|sms|success|0212345678|01012345678|send|안녕하세요|");
    ASSERT_EQ(phone->call(L"OpenWebPage", {Text(L"SS"), Text(kPhone), Text(L"0311112222"), Text(L"고마워요")}).hr, S_OK);
    step(L"Logout", {}, L"|SMSG|logout|success|0212345678||");
    step(L"Stop", {}, L"|SMSG|dllfinish|success||");
    ASSERT_TRUE(PumpUntil([&] { return !server.clientConnected(); }));
    step(L"Start", {Text(base.path()), Missing()}, L"|SMSG|conn|connect||");

    EXPECT_EQ(sink.hostEvents(), (std::vector<std::wstring>{
                                     L"|SMSG|dllstart|success|certification_no|",
                                     L"|SMSG|conn|connect||",
                                     L"|SMSG|certification_no|success|0212345678|create number|",
                                     L"|SMSG|certification_no|success|0212345678|certified|",
                                     L"|SMSG|certification_pc|success|0212345678||",
                                     L"|SMSG|login|success|0212345678|" + web + L"|",
                                     L"|SMSG|call|success|0212345678|0311112222|dialing|S||",
                                     L"|SMSG|call|success|0212345678|0311112222|calling|S||",
                                     L"|SMSG|call|success|0212345678|0319998888|dialing|R||",
                                     L"|SMSG|sms|success|0212345678|01012345678|send|안녕하세요|",
                                     L"|SMSG|logout|success|0212345678||",
                                     L"|SMSG|conn|disconnect||",
                                     L"|SMSG|dllfinish|success||",
                                     L"|SMSG|dllstart|success|login|0212345678|",
                                     L"|SMSG|conn|connect||",
                                 }));
    // CallState beside HostEvent, for each call event; all on this thread.
    std::vector<std::vector<std::wstring>> calls;
    for (const EventSink::Event& event : sink.events()) {
        EXPECT_EQ(event.thread, ::GetCurrentThreadId());
        if (event.id == 2) calls.push_back(event.texts);
    }
    EXPECT_EQ(calls, (std::vector<std::vector<std::wstring>>{
                         {L"0212345678", L"0311112222", L"dialing", L"S"},
                         {L"0212345678", L"0311112222", L"calling", L"S"},
                         {L"0212345678", L"0319998888", L"dialing", L"R"},
                     }));

    const std::string hello = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // 안녕하세요 in CP949
    const std::string thanks = "\xB0\xED\xB8\xB6\xBF\xF6\xBF\xE4";        // 고마워요
    const std::vector<std::string> lines = server.receivedLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "|LINK|SMS       |R|0037|R|0212345678|01012345678|" + hello + "||"),
              lines.end());
    const std::vector<std::string> posts = LogTexts(base.path(), "POST_SEND_POPUP");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_NE(posts[0].find("KIND=SS&PHONE_NO=0212345678&GUEST_PHONE=0311112222&SMS_MSG=" + thanks), std::string::npos)
        << posts[0];
}

}  // namespace
}  // namespace veltrane::wine
