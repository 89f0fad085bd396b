#include <gtest/gtest.h>

#include <climits>

#include "base/text.h"

namespace veltrane {
namespace {

TEST(Trim, RemovesControlCharactersAndSpacesAtBothEnds) {
    EXPECT_EQ(Trim(std::string("\t\r\n \x01x y\0 ", 10)), "x y");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_TRUE(IsBlank(" \t\r\n"));
    EXPECT_FALSE(IsBlank(" a "));
    // Bytes above 127 (CP949 lead bytes) are text, never trimmed.
    EXPECT_EQ(Trim("\xB0\xA1 "), "\xB0\xA1");
}

TEST(SplitField, ReadsFieldsThatEndWithTheDelimiter) {
    FieldSplit s = SplitField('|', " |login|success|0212|");
    EXPECT_EQ(s.field, "login");
    EXPECT_EQ(s.rest, "success|0212|");
}

TEST(SplitField, LastFieldWithoutDelimiterIsLost) {
    FieldSplit s = SplitField('|', "socket disconnect");
    EXPECT_EQ(s.field, "");
    EXPECT_EQ(s.rest, "");
}

TEST(SplitField, OneEmptyFieldIsPassedOverTwoEndTheText) {
    FieldSplit one = SplitField('|', "|message|");
    EXPECT_EQ(one.field, "message");
    FieldSplit two = SplitField('|', "||message|");
    EXPECT_EQ(two.field, "");
    EXPECT_EQ(two.rest, "");
}

TEST(SplitField, FieldIsNotTrimmedButTheTextIs) {
    FieldSplit s = SplitField('|', "  CALL      |R|");
    EXPECT_EQ(s.field, "CALL      ");
    FieldReader reader("a|  b |c");
    EXPECT_EQ(reader.next(), "a");
    EXPECT_EQ(reader.next(), "b ");
    EXPECT_EQ(reader.next(), "");
}

TEST(ParseInt, AcceptsDecimalWithinThirtyTwoBits) {
    EXPECT_EQ(ParseInt("0013"), 13);
    EXPECT_EQ(ParseInt(" -5"), -5);
    EXPECT_EQ(ParseInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(ParseInt("2147483648"));
    EXPECT_FALSE(ParseInt("99999999999999999999999"));
    EXPECT_FALSE(ParseInt(""));
    EXPECT_FALSE(ParseInt("-"));
    EXPECT_FALSE(ParseInt("12 "));
    EXPECT_FALSE(ParseInt("abcd"));
    EXPECT_FALSE(ParseInt("0x10"));
}

TEST(ParseIniInteger, ReadsZeroXPrefixAsHexadecimal) {
    EXPECT_EQ(ParseIniInteger("0x2FB9"), 12217);
    EXPECT_EQ(ParseIniInteger("0X10"), 16);
    EXPECT_EQ(ParseIniInteger("0x7fffffff"), 2147483647);
    EXPECT_FALSE(ParseIniInteger("0x"));
    EXPECT_FALSE(ParseIniInteger("0xG1"));
    EXPECT_FALSE(ParseIniInteger("0x100000000"));
    EXPECT_EQ(ParseIniInteger("12209"), 12209);
    EXPECT_FALSE(ParseIniInteger("12209abc"));
}

TEST(ZeroPadded, PadsToAtLeastTheDigitsGiven) {
    EXPECT_EQ(ZeroPadded(13, 4), "0013");
    EXPECT_EQ(ZeroPadded(0, 4), "0000");
    EXPECT_EQ(ZeroPadded(100000, 4), "100000");
    EXPECT_EQ(ZeroPadded(7, 2), "07");
    EXPECT_EQ(ZeroPadded(-5, 4), "-0005");
    EXPECT_EQ(ZeroPadded(LLONG_MIN, 2), "-9223372036854775808");
}

TEST(SplitHostPort, KeepsBracketsAndLeavesThePortToTheCaller) {
    const std::pair<std::string_view, std::pair<std::string_view, std::string_view>> cases[] = {
        {"localhost", {"localhost", ""}},        {"localhost:12209", {"localhost", ":12209"}},
        {"[::1]:80", {"[::1]", ":80"}},          {"[::1]", {"[::1]", ""}},
        {"a:b:c", {"a", ":b:c"}},                {"", {"", ""}},
    };
    for (const auto& [authority, expected] : cases) {
        const std::optional<HostAndRest> split = SplitHostPort(authority);
        ASSERT_TRUE(split) << authority;
        EXPECT_EQ(std::make_pair(split->host, split->rest), expected) << authority;
    }
    EXPECT_FALSE(SplitHostPort("[::1:80"));
}

TEST(SmallHelpers, DigitsHexadecimalAndLowerCase) {
    EXPECT_TRUE(AllDigits("0123456789"));
    EXPECT_FALSE(AllDigits(""));
    EXPECT_FALSE(AllDigits("12a"));
    EXPECT_EQ(HexText(0xC0000005, 8), "C0000005");
    EXPECT_EQ(HexText(0x1234, 16, true), "0000000000001234");
    EXPECT_EQ(HexText(0xAB, 2, true), "ab");
    EXPECT_EQ(AsciiLower("HTTP://Ex\xC7\xD1"), "http://ex\xC7\xD1");
    EXPECT_EQ(TrimView(" \tx y\t ", " \t"), "x y");
    EXPECT_EQ(TrimView("\r x\r", " \t"), "\r x\r");
    EXPECT_EQ(TrimStartView(" \r\nx "), "x ");
}

}  // namespace
}  // namespace veltrane
