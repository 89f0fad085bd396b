#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "web/web_request.h"

namespace veltrane::web {
namespace {

using Lines = std::vector<std::string>;
using Post = std::pair<std::string, std::string>;

class WebRequest : public ::testing::Test {
protected:
    void SetUp() override {
        t.startConnected("0212345678");
        t.lib.config.WebPopupUrl = "http://svc.example/popup.asp";
    }
    testing::TestLibrary t;
};

TEST_F(WebRequest, PostsTheFormAndLogsEachStep) {
    WEB_REQUEST(t.lib, "CL", "0212345678", "", "");
    EXPECT_EQ(t.browser.posts,
              (std::vector<Post>{{"http://svc.example/popup.asp", "KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG="}}));
    EXPECT_EQ(t.alerts(), Lines{"WEB_REQUEST=>pKind[CL:CALL LIST]0212345678"});
    EXPECT_EQ(t.desktop.alerts[0].durationMs, 500);
    EXPECT_EQ(t.logLines(), (Lines{
        "0212345678 WEB_REQUEST => http://svc.example/popup.asp\rpKind[CL:CALL LIST]\rpPhone:0212345678\rpPhone:\rpMsg:",
        "0212345678 POPUP_INFO => [Time(ms):500]WEB_REQUEST=>pKind[CL:CALL LIST]0212345678",
        "0212345678 ENCODE => WEB_POPUP_URL=http://svc.example/popup.asp\rKIND[(CL)CALL LIST]\rPHONE_NO[0212345678]"
        "\rGUEST_PHONE[]\rSMS_MSG[]",
        "0212345678 POST_SEND_POPUP => http://svc.example/popup.asp?KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG=",
        "0212345678 POPUP Data Send END => Address:http://svc.example/popup.asp?"
        "KIND=CL&PHONE_NO=0212345678&GUEST_PHONE=&SMS_MSG=",
    }));
    EXPECT_TRUE(t.events().empty());
}

TEST_F(WebRequest, EveryLabelAndUnknownCodesPostedUnchanged) {
    const std::pair<const char*, const char*> labels[] = {
        {"CL", "CALL LIST"}, {"SL", "SMS LIST"}, {"AL", "CALL+SMS LIST"}, {"MA", "MY ADDRESS"},
        {"CS", "CALL SEND"}, {"SS", "SMS SEND"}, {"SI", "SMS INFO"},      {"cl", ""},
        {"XX", ""},          {" CL", ""},
    };
    for (const auto& [code, label] : labels) EXPECT_EQ(PageLabel(code), label) << code;
    WEB_REQUEST(t.lib, "XX", "", "", "");
    EXPECT_EQ(t.alerts(), Lines{"WEB_REQUEST=>pKind[XX:]0212345678"});
    EXPECT_EQ(t.browser.posts.at(0).second, "KIND=XX&PHONE_NO=&GUEST_PHONE=&SMS_MSG=");
}

TEST_F(WebRequest, ValuesArePostedAsGivenSaveWhatWouldBreakTheForm) {
    WEB_REQUEST(t.lib, "SS", " 0212345678 ", "0101", "\xB0\xA1 50%+tax & more");
    EXPECT_EQ(t.browser.posts.at(0).second,
              "KIND=SS&PHONE_NO= 0212345678 &GUEST_PHONE=0101&SMS_MSG=\xB0\xA1 50%25%2Btax %26 more");
    // The log shows the message as the host gave it.
    EXPECT_EQ(t.logLines()[0], "0212345678 WEB_REQUEST => http://svc.example/popup.asp\rpKind[SS:SMS SEND]"
                               "\rpPhone: 0212345678 \rpPhone:0101\rpMsg:\xB0\xA1 50%+tax & more");
}

TEST_F(WebRequest, ABrowserFailureIsOnlyLogged) {
    t.browser.fail = true;
    WEB_REQUEST(t.lib, "MA", "1", "2", "3");
    EXPECT_EQ(t.logLines().back(),
              "0212345678 POPUP Data Send Except => Address:http://svc.example/popup.asp?"
              "KIND=MA&PHONE_NO=1&GUEST_PHONE=2&SMS_MSG=3");
    EXPECT_TRUE(t.events().empty());
    EXPECT_EQ(t.alerts().size(), 1u);
}

TEST_F(WebRequest, BeforeLoginTheFormGoesToAnEmptyAddress) {
    t.lib.config.WebPopupUrl.clear();
    WEB_REQUEST(t.lib, "CL", "", "", "");
    EXPECT_EQ(t.browser.posts.at(0).first, "");
}

TEST_F(WebRequest, TwoCallsPostTwice) {
    WEB_REQUEST(t.lib, "CL", "", "", "");
    WEB_REQUEST(t.lib, "SL", "", "", "");
    ASSERT_EQ(t.browser.posts.size(), 2u);
    EXPECT_EQ(t.browser.posts[1].second, "KIND=SL&PHONE_NO=&GUEST_PHONE=&SMS_MSG=");
}

}  // namespace
}  // namespace veltrane::web
