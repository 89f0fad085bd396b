#include "web/idn.h"

#include <gtest/gtest.h>

namespace veltrane::web {
namespace {

TEST(Punycode, EncodesTheSamplesOfRfc3492) {
    struct Case {
        std::u32string label;
        const char* encoded;
    };
    const Case cases[] = {
        // 7.1 (B), (L), and a Korean sentence; one basic code point, and none.
        {U"\u4ED6\u4EEC\u4E3A\u4EC0\u4E48\u4E0D\u8BF4\u4E2D\u6587", "ihqwcrb4cv8a8dqg056pqjye"},
        {U"3\u5E74B\u7D44\u91D1\u516B\u5148\u751F", "3B-ww4c5e180e575a65lsy2b"},
        {U"\uC138\uACC4\uC758\uBAA8\uB4E0\uC0AC\uB78C\uB4E4\uC774\uD55C\uAD6D\uC5B4\uB97C\uC774\uD574\uD55C\uB2E4"
         U"\uBA74\uC5BC\uB9C8\uB098\uC88B\uC744\uAE4C",
         "989aomsvi5e83db1d2a355cv1e0vak1dwrv93d5xbh15a0dt30a5jpsd879ccm6fea98c"},
        {U"b\u00FCcher", "bcher-kva"},
        {U"abc", "abc-"},
    };
    for (const Case& one : cases) EXPECT_EQ(Punycode(one.label), std::optional<std::string>(one.encoded)) << one.encoded;
}

TEST(AsciiHostName, ConvertsCaselessLabelsAndRefusesTheRest) {
    struct Case {
        const char* utf8;
        const char* ascii;  // null: refused
    };
    const Case cases[] = {
        {"\xED\x95\x9C\xEA\xB5\xAD.kr", "xn--3e0b707e.kr"},                  // 한국.kr
        {"Crm.\xED\x95\x9C\xEA\xB8\x80.Example", "crm.xn--bj0bj06e.example"},  // Crm.한글.Example
        {"\xE3\x81\x82.jp", "xn--l8j.jp"},                                     // あ.jp
        {"intra_net-1.local", "intra_net-1.local"},
        {"127.0.0.1", "127.0.0.1"},
        {"[::1]", "[::1]"},
        {"b\xC3\xBC" "cher.de", nullptr},   // ü: would need mapping this code does not do
        {"\xED\x95\x9C\xE3\x80\x82kr", nullptr},  // an ideographic full stop
        {"a;b", nullptr},
        {"a..b", nullptr},
        {"", nullptr},
        {"[::1", nullptr},
        {"\xED\x95", nullptr},              // cut UTF-8
        {"\xC0\xAE", nullptr},              // an overlong "."
        {"a.bcdefghijklmnopqrstuvwxyzbcdefghijklmnopqrstuvwxyzbcdefghijklmnopqrstuvwxyz", nullptr},  // a label over 63 bytes
    };
    for (const Case& one : cases) {
        const std::optional<std::string> ascii = AsciiHostName(one.utf8);
        if (one.ascii == nullptr) {
            EXPECT_FALSE(ascii) << one.utf8;
        } else {
            EXPECT_EQ(ascii, std::optional<std::string>(one.ascii)) << one.utf8;
        }
    }
}

}  // namespace
}  // namespace veltrane::web
