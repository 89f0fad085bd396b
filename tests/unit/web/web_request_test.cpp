#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "web/default_browser.h"
#include "web/web_request.h"

namespace veltrane::web {
namespace {

using Lines = std::vector<std::string>;
using Post = std::pair<std::string, std::string>;

class WebRequest : public ::testing::Test {
protected:
    void SetUp() override {
        t.startConnected("0212345678");
        t.lib.user.WebPopupUrl = "http://svc.example/popup.asp";
    }
    testing::TestLibrary t;
};

TEST_F(WebRequest, PostsTheFormAndLogsEachStep) {
    WEB_REQUEST(t.web, "CL", "0212345678", "", "");
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
        "0212345678 POPUP_IE => END",
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
    WEB_REQUEST(t.web, "XX", "", "", "");
    EXPECT_EQ(t.alerts(), Lines{"WEB_REQUEST=>pKind[XX:]0212345678"});
    EXPECT_EQ(t.browser.posts.at(0).second, "KIND=XX&PHONE_NO=&GUEST_PHONE=&SMS_MSG=");
}

TEST_F(WebRequest, ValuesArePostedAsGivenSaveWhatWouldBreakTheForm) {
    WEB_REQUEST(t.web, "SS", " 0212345678 ", "0101", "\xB0\xA1 50%+tax & more");
    EXPECT_EQ(t.browser.posts.at(0).second,
              "KIND=SS&PHONE_NO= 0212345678 &GUEST_PHONE=0101&SMS_MSG=\xB0\xA1 50%25%2Btax %26 more");
    // The log shows the message as the host gave it.
    EXPECT_EQ(t.logLines()[0], "0212345678 WEB_REQUEST => http://svc.example/popup.asp\rpKind[SS:SMS SEND]"
                               "\rpPhone: 0212345678 \rpPhone:0101\rpMsg:\xB0\xA1 50%+tax & more");
}

TEST_F(WebRequest, WhenNoBrowserOpensTheFailureIsOnlyLogged) {
    t.browser.fail = true;
    t.defaultBrowser.openFailure = "no browser";
    WEB_REQUEST(t.web, "MA", "1", "2", "3");
    EXPECT_EQ(t.logLines().back(),
              "0212345678 POPUP Data Send Except => Address:http://svc.example/popup.asp?"
              "KIND=MA&PHONE_NO=1&GUEST_PHONE=2&SMS_MSG=3");
    EXPECT_TRUE(t.events().empty());
    EXPECT_EQ(t.alerts().size(), 1u);
}

TEST_F(WebRequest, TheSettingChoosesTheWaysTried) {
    struct Case {
        const char* setting;
        bool ieWorks, shellWorks;
        bool ieTried, shellTried;
        const char* outcome;
    };
    const Case cases[] = {
        {"", true, true, true, false, "POPUP Data Send END"},
        {"", false, true, true, true, "POPUP Data Send END"},
        {"IE_FIRST", false, false, true, true, "POPUP Data Send Except"},
        {"unknown", false, true, true, true, "POPUP Data Send END"},
        {" ie_only ", false, true, true, false, "POPUP Data Send Except"},
        {"IE_ONLY", true, true, true, false, "POPUP Data Send END"},
        {"DEFAULT_BROWSER", true, true, false, true, "POPUP Data Send END"},
        {"default_browser", true, false, false, true, "POPUP Data Send Except"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("WEB_BROWSER=") + c.setting + " ie " + (c.ieWorks ? "works" : "fails"));
        t.clearRecords();
        t.lib.config.WEB_BROWSER = c.setting;
        t.browser.fail = !c.ieWorks;
        t.defaultBrowser.openFailure = c.shellWorks ? "" : "no browser";
        WEB_REQUEST(t.web, "CL", "", "", "");
        EXPECT_EQ(t.browser.posts.size(), c.ieTried ? 1u : 0u);
        EXPECT_EQ(t.logTexts("POPUP_IE"), c.ieTried ? Lines{c.ieWorks ? "END" : "Except"} : Lines{});
        EXPECT_EQ(t.defaultBrowser.opened.size(), c.shellTried ? 1u : 0u);
        EXPECT_EQ(t.logTexts("POPUP_DEFAULT_BROWSER").size(), c.shellTried ? 1u : 0u);
        EXPECT_EQ(t.logLines().back().rfind(std::string("0212345678 ") + c.outcome + " => ", 0), 0u);
    }
}

TEST_F(WebRequest, TheDefaultBrowserGetsAPageThatPostsTheForm) {
    t.browser.fail = true;
    WEB_REQUEST(t.web, "SS", "0212345678", "0101", "\xB0\xA1 50%+tax & more");
    const std::string name = "veltrane-page-0000000000001234.html";
    EXPECT_EQ(t.defaultBrowser.opened, Lines{name});
    ASSERT_EQ(t.defaultBrowser.pages.count(name), 1u);
    EXPECT_EQ(t.defaultBrowser.pages[name],
              FormPage("http://svc.example/popup.asp", {"SS", "0212345678", "0101", "\xB0\xA1 50%+tax & more"}, 949));
    EXPECT_EQ(t.logTexts("POPUP_DEFAULT_BROWSER"), Lines{"END:" + name});
    EXPECT_TRUE(t.pageCleanup.running);
    EXPECT_EQ(t.pageCleanup.interval, kPageCleanupIntervalMs);
}

TEST_F(WebRequest, OnlyWebAddressesGoToTheDefaultBrowser) {
    const std::pair<const char*, bool> addresses[] = {
        {"http://svc.example/a", true}, {"HTTPS://svc.example/a", true}, {"", false},
        {"javascript:alert(1)", false}, {"file:///C:/page.html", false}, {" http://svc.example/a", false},
    };
    t.browser.fail = true;
    for (const auto& [address, opened] : addresses) {
        SCOPED_TRACE(address);
        t.clearRecords();
        t.lib.user.WebPopupUrl = address;
        WEB_REQUEST(t.web, "CL", "", "", "");
        // Internet Explorer is tried whatever the address, as it always was.
        EXPECT_EQ(t.browser.posts.size(), 1u);
        EXPECT_EQ(t.defaultBrowser.opened.size(), opened ? 1u : 0u);
        EXPECT_EQ(t.logTexts("POPUP_DEFAULT_BROWSER").at(0).rfind(opened ? "END:" : "Except:not a web address", 0),
                  0u);
    }
}

TEST_F(WebRequest, APageThatIsNotOpenedIsNotKept) {
    t.browser.fail = true;
    t.defaultBrowser.writeFailure = "disk full";
    WEB_REQUEST(t.web, "CL", "", "", "");
    EXPECT_TRUE(t.defaultBrowser.opened.empty());
    EXPECT_EQ(t.logTexts("POPUP_DEFAULT_BROWSER"),
              Lines{"Except:veltrane-page-0000000000001234.html not written: disk full"});

    t.clearRecords();
    t.defaultBrowser.writeFailure.clear();
    t.defaultBrowser.openFailure = "ShellExecute error 31";
    WEB_REQUEST(t.web, "CL", "", "", "");
    EXPECT_EQ(t.defaultBrowser.opened.size(), 1u);
    EXPECT_TRUE(t.defaultBrowser.pages.empty());
    EXPECT_TRUE(t.web.pendingPages.empty());
    EXPECT_FALSE(t.pageCleanup.running);
    EXPECT_EQ(t.logTexts("POPUP_DEFAULT_BROWSER"),
              Lines{"Except:veltrane-page-0000000000001235.html not opened: ShellExecute error 31"});
}

TEST_F(WebRequest, EachPageIsDeletedAMinuteAfterItWasOpened) {
    // A page opened just before a tick still gets a whole minute.
    static_assert(kPageCleanupIntervalMs * (kPageCleanupTicks - 1) >= 60000);
    static_assert(kPageCleanupIntervalMs * kPageCleanupTicks <= 75000);
    t.lib.config.WEB_BROWSER = "DEFAULT_BROWSER";
    const auto tick = [&] {
        ASSERT_TRUE(t.pageCleanup.running);
        PageCleanupTimer(t.web);
    };
    WEB_REQUEST(t.web, "CL", "", "", "");
    tick();
    tick();
    WEB_REQUEST(t.web, "SL", "", "", "");
    EXPECT_EQ(t.pageCleanup.starts, 1);  // the running timer serves both
    for (int i = 0; i < kPageCleanupTicks - 2; ++i) tick();
    EXPECT_EQ(t.defaultBrowser.pages.size(), 1u);
    EXPECT_EQ(t.defaultBrowser.pages.count("veltrane-page-0000000000001235.html"), 1u);
    tick();
    EXPECT_EQ(t.defaultBrowser.pages.size(), 1u);
    tick();
    EXPECT_TRUE(t.defaultBrowser.pages.empty());
    EXPECT_FALSE(t.pageCleanup.running);
}

TEST_F(WebRequest, DllStartRemovesItsOwnPagesAndThoseLeftBehind) {
    t.lib.config.WEB_BROWSER = "DEFAULT_BROWSER";
    WEB_REQUEST(t.web, "CL", "", "", "");  // this process's page, just opened
    auto& pages = t.defaultBrowser.pages;
    const auto add = [&](const std::string& name, int ageSeconds) {
        pages[name] = "";
        t.defaultBrowser.ageSeconds[name] = ageSeconds;
    };
    add("veltrane-page-00000000000000aa.html", kPageCleanupIntervalMs / 1000 * kPageCleanupTicks);  // long gone
    add("veltrane-page-00000000000000bb.html", 70);  // another host program's, maybe still loading
    add("veltrane-page.html", 1000);
    add("report.html", 1000);
    t.start();
    Lines left;
    for (const auto& [name, bytes] : pages) left.push_back(name);
    EXPECT_EQ(left, (Lines{"report.html", "veltrane-page-00000000000000bb.html", "veltrane-page.html"}));
    EXPECT_TRUE(t.web.pendingPages.empty());
    EXPECT_FALSE(t.pageCleanup.running);
}

TEST_F(WebRequest, BeforeLoginTheFormGoesToAnEmptyAddress) {
    t.lib.user.WebPopupUrl.clear();
    WEB_REQUEST(t.web, "CL", "", "", "");
    EXPECT_EQ(t.browser.posts.at(0).first, "");
}

TEST_F(WebRequest, TwoCallsPostTwice) {
    WEB_REQUEST(t.web, "CL", "", "", "");
    WEB_REQUEST(t.web, "SL", "", "", "");
    ASSERT_EQ(t.browser.posts.size(), 2u);
    EXPECT_EQ(t.browser.posts[1].second, "KIND=SL&PHONE_NO=&GUEST_PHONE=&SMS_MSG=");
}

}  // namespace
}  // namespace veltrane::web
