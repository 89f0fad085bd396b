#include "web/request_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace veltrane::web {
namespace {

TEST(IsDialString, TakesDigitsDialSignsAndBlanksUpTo32Bytes) {
    for (const std::string& number : std::vector<std::string>{"0212345678", "+82 2-1234-5678", "*23#", "0101 ", std::string(32, '9')})
        EXPECT_TRUE(IsDialString(number)) << number;
    for (const std::string& number : std::vector<std::string>{"", std::string(33, '9'), std::string(60000, '1'), "0101|X", "0101\r\n", "010a",
                                     "<x>", "0101\t", std::string("0101\0", 5), "0832700000\xB0", "\xC7\xD1"})
        EXPECT_FALSE(IsDialString(number)) << number;
}

TEST(IsMessageText, IsOneLineOfTheCodePage) {
    testing::FakeSystem system;
    const AnsiToUtf8 toUtf8 = [&](std::string_view text) { return system.ansiToUtf8(text); };
    for (const std::string& text : std::vector<std::string>{"", "hello | there", "\xB0\xA1 50%", "\xC7\xD1\xB1\xDB\t!"})
        EXPECT_TRUE(IsMessageText(text, toUtf8)) << text;
    for (const std::string& text : std::vector<std::string>{"a\rb", "a\nb", std::string("a\0b", 3), "ends in a lead byte \xB0",
                                   "\xB0|guestphone", "\xC7\xD1\xB1"})
        EXPECT_FALSE(IsMessageText(text, toUtf8)) << text;
}

}  // namespace
}  // namespace veltrane::web
