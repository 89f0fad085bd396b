#include <gtest/gtest.h>

#include "base/form_text.h"

namespace veltrane {
namespace {

TEST(DecodeFormComponent, PlusIsSpaceAndPercentGivesTheByte) {
    EXPECT_EQ(DecodeFormComponent("a+b%20c%2Bd%2b"), "a b c+d+");
    // CP949 bytes arrive as they were sent, without conversion.
    EXPECT_EQ(DecodeFormComponent("%C8%c4"), "\xC8\xC4");
    EXPECT_EQ(DecodeFormComponent("%00x"), std::string("\0x", 2));
}

TEST(DecodeFormComponent, BadEscapesAreKeptLiterally) {
    EXPECT_EQ(DecodeFormComponent("%"), "%");
    EXPECT_EQ(DecodeFormComponent("%4"), "%4");
    EXPECT_EQ(DecodeFormComponent("%zz"), "%zz");
    EXPECT_EQ(DecodeFormComponent("%4g%41"), "%4gA");
    EXPECT_EQ(DecodeFormComponent("100%"), "100%");
    EXPECT_EQ(DecodeFormComponent("+"), " ");
}

TEST(ParseFormText, SplitsPairsAtTheFirstEqualsSign) {
    Parameters p = ParseFormText("KIND=CS&PHONE_NO=02%3D12&x=a=b");
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].name, "KIND");
    EXPECT_EQ(p[0].value, "CS");
    // Split before decoding: an escaped "=" or "&" is part of the value.
    EXPECT_EQ(p[1].value, "02=12");
    EXPECT_EQ(p[2].name, "x");
    EXPECT_EQ(p[2].value, "a=b");
    EXPECT_EQ(ParseFormText("a=%26b")[0].value, "&b");
}

TEST(ParseFormText, PairsWithoutEqualsAreNamesAndEmptyPairsAreSkipped) {
    Parameters p = ParseFormText("&KIND&&=v&b=");
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].name, "KIND");
    EXPECT_EQ(p[0].value, "");
    EXPECT_EQ(p[1].name, "");
    EXPECT_EQ(p[1].value, "v");
    EXPECT_EQ(p[2].name, "b");
    EXPECT_TRUE(ParseFormText("").empty());
    EXPECT_TRUE(ParseFormText("&&").empty());
}

TEST(ParameterValue, MatchesNamesWithoutCaseAndTheFirstOccurrenceWins) {
    Parameters p = ParseFormText("kind=cs&KIND=SS&Phone_No=1");
    EXPECT_EQ(ParameterValue(p, "KIND"), "cs");
    EXPECT_EQ(ParameterValue(p, "PHONE_NO"), "1");
    EXPECT_EQ(ParameterValue(p, "GUEST_PHONE"), "");
    // Only ASCII letters fold: a CP949 name is compared byte for byte.
    EXPECT_EQ(ParameterValue(ParseFormText("%C8%C4=1"), "\xE8\xE4"), "");
}

TEST(EscapeFormValue, EscapesOnlyWhatWouldChangeTheForm) {
    EXPECT_EQ(EscapeFormValue("a&b=c+d%e"), "a%26b=c%2Bd%25e");
    EXPECT_EQ(EscapeFormValue(" 0212345678 "), " 0212345678 ");
    EXPECT_EQ(EscapeFormValue("\xC8\xC4"), "\xC8\xC4");
    // What is escaped decodes back to what was given.
    const std::string value = "50% + 50% & more";
    EXPECT_EQ(DecodeFormComponent(EscapeFormValue(value)), value);
}

}  // namespace
}  // namespace veltrane
