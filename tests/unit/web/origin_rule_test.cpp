#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "web/origin_rule.h"

namespace veltrane::web {
namespace {

TEST(OriginOf, IsSchemeLowerCaseHostAndPort) {
    struct Case {
        const char* url;
        const char* origin;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080/veltrane/", "http://127.0.0.1:8080"},
        {"HTTPS://Crm.Example.COM/app?x=1#top", "https://crm.example.com:443"},
        {"http://crm.example.com", "http://crm.example.com:80"},
        {"https://crm.example.com:8443", "https://crm.example.com:8443"},
        {"http://crm.example.com:080/", "http://crm.example.com:80"},
        {"http://crm.example.com:/", "http://crm.example.com:80"},
        {"http://user:pw@crm.example.com/", "http://crm.example.com:80"},
        {"http://[::1]:12209/", "http://[::1]:12209"},
        {"chrome-extension://abcdef/", "chrome-extension://abcdef"},
        {"null", ""},
        {"", ""},
        {"crm.example.com", ""},
        {"/veltrane/", ""},
        {"http:///path", ""},
        {"http://crm.example.com:80x/", ""},
        {"http://[::1/", ""},
        {"ht tp://crm.example.com/", ""},
    };
    for (const Case& one : cases) EXPECT_EQ(OriginOf(one.url), one.origin) << one.url;
}

// The fake system's CP949: "한국" and "한글" are among the characters it knows.
PageOrigins Allowed(std::string_view webAddress, std::string_view listed) {
    testing::FakeSystem system;
    return AllowedOrigins(webAddress, listed, [&](std::string_view text) { return system.ansiToUtf8(text); });
}

TEST(AllowedOrigins, AreTheWebAddressThenTheListedOnes) {
    EXPECT_EQ(Allowed("http://127.0.0.1:8080/veltrane/", "").allowed, std::vector<std::string>{"http://127.0.0.1:8080"});
    const PageOrigins listed = Allowed("", " https://a.example, http://B.example:81/x,,\thttps://c.example:443  ");
    EXPECT_EQ(listed.allowed,
              (std::vector<std::string>{"https://a.example:443", "http://b.example:81", "https://c.example:443"}));
    EXPECT_TRUE(listed.unusable.empty());
    EXPECT_TRUE(Allowed("", "").allowed.empty());
}

TEST(AllowedOrigins, UnicodeHostNamesCountInTheirAsciiForm) {
    struct Case {
        const char* listed;  // CP949
        const char* origin;  // empty: unusable
    };
    const Case cases[] = {
        {"https://\xC7\xD1\xB1\xB9.kr", "https://xn--3e0b707e.kr:443"},
        {"http://CRM.\xC7\xD1\xB1\xDB.example:8080/path", "http://crm.xn--bj0bj06e.example:8080"},
        {"https://xn--3e0b707e.kr", "https://xn--3e0b707e.kr:443"},
        {"https://\xC7", ""},                  // a lone lead byte: no text of the code page
        {"https://\xC7\x30.kr", ""},          // a lead byte with a trail byte the code page lacks
        {"https://crm.example.com/\xC7\xD1\xB1\xDB", "https://crm.example.com:443"},  // only the host counts
    };
    for (const Case& one : cases) {
        const PageOrigins origins = Allowed("", one.listed);
        if (*one.origin != '\0') {
            EXPECT_EQ(origins.allowed, std::vector<std::string>{one.origin}) << one.listed;
        } else {
            EXPECT_TRUE(origins.allowed.empty()) << one.listed;
            EXPECT_EQ(origins.unusable, std::vector<std::string>{one.listed});
        }
    }
}

TEST(AllowedOrigins, TextsThatNameNoOriginAreUnusable) {
    const PageOrigins origins =
        Allowed("", "a;b https://ok.example crm.example.com https://a;b http://x:99999 https://a..b http:// junk");
    EXPECT_EQ(origins.allowed, std::vector<std::string>{"https://ok.example:443"});
    EXPECT_EQ(origins.unusable, (std::vector<std::string>{"a;b", "crm.example.com", "https://a;b", "http://x:99999",
                                                          "https://a..b", "http://", "junk"}));
}

TEST(JudgeOrigin, TheFirstHeaderPresentDecides) {
    const std::vector<std::string> allowed = {"https://crm.example.com:443", "http://127.0.0.1:8080"};
    const std::optional<std::string> none;
    struct Case {
        std::optional<std::string> origin, referer, fetchSite;
        bool allowed;
        std::string refusal;
        std::string allowOrigin;
    };
    const Case cases[] = {
        // A program on this PC: none of them.
        {none, none, none, true, "", ""},
        // Origin decides, whatever follows it.
        {"https://crm.example.com", "https://evil.example/", "cross-site", true, "", "https://crm.example.com"},
        {"HTTPS://CRM.example.com:443", none, none, true, "", "HTTPS://CRM.example.com:443"},
        {"http://127.0.0.1:8080", none, "same-site", true, "", "http://127.0.0.1:8080"},
        {"https://evil.example", "https://crm.example.com/", "same-origin", false, "Origin:https://evil.example", ""},
        {"http://127.0.0.1:8081", none, none, false, "Origin:http://127.0.0.1:8081", ""},
        {"http://crm.example.com", none, none, false, "Origin:http://crm.example.com", ""},
        {"null", none, none, false, "Origin:null", ""},
        {"", none, none, false, "Origin:", ""},
        // Without an Origin, the Referer's origin.
        {none, "https://crm.example.com/calls?id=3", "cross-site", true, "", ""},
        {none, "https://evil.example/crm.example.com", "same-origin", false,
         "Referer:https://evil.example/crm.example.com", ""},
        // Without both, only a same-origin one: "none" is a link opened from
        // outside the browser, a bookmark or a typed address.
        {none, none, "none", false, "Sec-Fetch-Site:none", ""},
        {none, none, "same-origin", true, "", ""},
        {none, none, "same-site", false, "Sec-Fetch-Site:same-site", ""},
        {none, none, "cross-site", false, "Sec-Fetch-Site:cross-site", ""},
    };
    for (const Case& one : cases) {
        const OriginVerdict verdict = JudgeOrigin({one.origin, one.referer, one.fetchSite}, allowed);
        const std::string which = one.origin.value_or("-") + " " + one.referer.value_or("-") + " " +
                                  one.fetchSite.value_or("-");
        EXPECT_EQ(verdict.allowed, one.allowed) << which;
        EXPECT_EQ(verdict.refusal, one.refusal) << which;
        EXPECT_EQ(verdict.allowOrigin, one.allowOrigin) << which;
    }
}

TEST(JudgeOrigin, NoAllowedOriginRefusesEveryPage) {
    EXPECT_FALSE(JudgeOrigin({std::string("http://127.0.0.1:8080"), {}, {}}, {}).allowed);
    EXPECT_FALSE(JudgeOrigin({{}, std::string("http://127.0.0.1:8080/"), {}}, {}).allowed);
    EXPECT_TRUE(JudgeOrigin({}, {}).allowed);
}

}  // namespace
}  // namespace veltrane::web
