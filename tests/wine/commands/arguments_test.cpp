// What the exports make of unusual arguments, through real BSTRs: null and
// blank ones, a very long message, characters CP949 cannot hold, "|".
#include <string>
#include <vector>

#include "harness/cti_fixture.h"

namespace veltrane::wine {
namespace {

using namespace std::chrono_literals;

class CommandArguments : public ConnectedHostTest {
protected:
    void SetUp() override { startConnected(); }

    // The events one export call sends, envelope removed.
    std::vector<std::string> eventsOf(const char* exportName, std::initializer_list<Arg> args) {
        const std::size_t mark = host.callbacks().size();
        host.call(exportName, args);
        std::vector<std::string> events;
        for (const std::string& text : callbacksFrom(mark)) events.push_back(text.substr(6));
        return events;
    }
    using Events = std::vector<std::string>;
};

TEST_F(CommandArguments, NullAndBlankArgumentsAreRefusedWithTheirOwnReasons) {
    const Arg null = Arg::Null();
    EXPECT_EQ(eventsOf("DIAL", {null}), Events{"call|fail||dialing|R|Input dialing Phone Number|"});
    EXPECT_EQ(eventsOf("DIAL", {L" \t "}), Events{"call|fail| \t |dialing|R|Input dialing Phone Number|"});
    EXPECT_EQ(eventsOf("RE_DIAL", {}), Events{"call|fail||recall|S|Input Phone Number|"});
    EXPECT_EQ(eventsOf("PC_LOGIN", {null, null, null}), Events{"login|fail|0212345678|Input Phone Number|"});
    EXPECT_EQ(eventsOf("PC_LOGIN", {L"0212345678", null, L"pw"}), Events{"login|fail|0212345678|Input Login ID|"});
    EXPECT_EQ(eventsOf("PC_LOGIN", {L"0212345678", L"id", L"  "}),
              Events{"login|fail|0212345678|Input Login Password|"});
    EXPECT_EQ(eventsOf("CERTIFICATION_NO", {null}), Events{"certification_no|fail|Input phone number|"});
    // No registered number: a null phone number passes the comparison.
    EXPECT_EQ(eventsOf("CERTIFICATION_PC", {null, null}), Events{"certification_pc|fail|Input Cretification number|"});
    EXPECT_EQ(eventsOf("CERTIFICATION_PC", {L"0299999999", null}), Events{"certification_pc|fail|Difference phone number|"});
    EXPECT_EQ(eventsOf("SMS_INSTANT", {null, null}), Events{"sms|fail||instant|Input Phone Number|"});
    EXPECT_EQ(eventsOf("SMS_INSTANT", {L"01012345678", L"\r\n"}),
              Events{"sms|fail|01012345678|instant|Input Sms Message|"});
    EXPECT_EQ(eventsOf("SMS_BOOKED", {L"01012345678", L"hi", null}),
              Events{"sms|fail|01012345678|booked|Input Sms Send time|"});
    EXPECT_EQ(eventsOf("CALL_RECORD", {null}), Events{"call_record|fail|Does not calling|"});
    host.pump(200ms);
    EXPECT_EQ(server.received(), "");

    // PICK_UP and HANG_UP take an empty number as it is.
    EXPECT_EQ(eventsOf("PICK_UP", {null}), Events{});
    EXPECT_EQ(eventsOf("HANG_UP", {L""}), Events{});
    EXPECT_EQ(eventsOf("RE_DIAL", {}), Events{"call|fail||recall|S|Input Phone Number|"});
    ASSERT_TRUE(waitForLines(2));
    host.pump(100ms);
    EXPECT_EQ(server.receivedLines(), (Events{"|LINK|CALL      |R|0014|P|0212345678||",
                                              "|LINK|CALL      |R|0014|H|0212345678||"}));
}

TEST_F(CommandArguments, MessageOfAHundredThousandCharactersArrivesWhole) {
    std::wstring ascii(100000, L'\0');
    std::string asciiBytes(100000, '\0');
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        asciiBytes[i] = "abcdefghijklmnopqrstuvwxyz0123456789 .,"[i % 39];
        ascii[i] = static_cast<wchar_t>(asciiBytes[i]);
    }
    // Korean: two bytes a character, so 200,000 bytes.
    const wchar_t korean[] = L"가나다";
    const std::string koreanBytes[] = {"\xB0\xA1", "\xB3\xAA", "\xB4\xD9"};
    std::wstring hangul;
    std::string hangulBytes;
    for (std::size_t i = 0; i < 100000; ++i) {
        hangul += korean[i % 3];
        hangulBytes += koreanBytes[i % 3];
    }

    EXPECT_EQ(eventsOf("SMS_INSTANT", {L"01012345678", ascii}), Events{});
    EXPECT_EQ(eventsOf("SMS_INSTANT", {L"01012345678", hangul}), Events{});
    ASSERT_TRUE(waitForLines(2, 8s));
    const Events lines = server.receivedLines();
    EXPECT_TRUE(lines[0] == "|LINK|SMS       |R|100027|R|0212345678|01012345678|" + asciiBytes + "||")
        << lines[0].substr(0, 80) << "... " << lines[0].size() << " bytes";
    EXPECT_TRUE(lines[1] == "|LINK|SMS       |R|200027|R|0212345678|01012345678|" + hangulBytes + "||")
        << lines[1].substr(0, 80) << "... " << lines[1].size() << " bytes";
}

TEST_F(CommandArguments, CharactersOutsideCp949BecomeQuestionMarks) {
    // Thai, an emoji (a surrogate pair) and a lone surrogate.
    EXPECT_EQ(eventsOf("SMS_INSTANT", {L"01012345678", L"a\u0E01b\U0001F600c\xD800" L"d"}), Events{});
    host.call("DIAL", {L"0311112222"});
    ASSERT_TRUE(waitForLines(2));
    EXPECT_EQ(server.receivedLines(), (Events{"|LINK|SMS       |R|0035|R|0212345678|01012345678|a?b??c?d||",
                                              "|LINK|CALL      |R|0024|R|0212345678|0311112222|"}));
}

TEST_F(CommandArguments, BarInsideAMessageGoesOutUnchanged) {
    EXPECT_EQ(eventsOf("SMS_INSTANT", {L"01012345678", L"a|b"}), Events{});
    EXPECT_EQ(eventsOf("SMS_BOOKED", {L"01012345678", L"|C|", L"2025|01"}), Events{});
    ASSERT_TRUE(waitForLines(2));
    EXPECT_EQ(server.receivedLines(), (Events{"|LINK|SMS       |R|0030|R|0212345678|01012345678|a|b||",
                                              "|LINK|BOOKED    |R|0037|R|0212345678|01012345678||C||2025|01|"}));
    // A packet that holds "|C|" is logged under another name.
    EXPECT_EQ(LogTexts(base.path(), "Connect Send"),
              Events{"|LINK|BOOKED    |R|0037|R|0212345678|01012345678||C||2025|01|"});
}

}  // namespace
}  // namespace veltrane::wine
