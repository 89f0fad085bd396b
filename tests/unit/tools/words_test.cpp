#include <gtest/gtest.h>

#include "common/words.h"

namespace veltrane::tools {
namespace {

using Words = std::vector<std::string>;

TEST(SplitWords, QuotesGroupBlanksAndKeepEmptyWords) {
    EXPECT_EQ(SplitWords("  SMS_INSTANT  010 \"hello there\"\t\"\" "), (Words{"SMS_INSTANT", "010", "hello there", ""}));
    EXPECT_EQ(SplitWords("a\"b c\"d"), (Words{"ab cd"}));
    EXPECT_EQ(SplitWords(""), Words{});
}

TEST(SplitWords, BackslashEscapesOnlyQuoteAndBackslashInsideQuotes) {
    EXPECT_EQ(SplitWords(R"("say \"hi\"" "C:\Orvanta\" tail)"), std::nullopt);  // \" keeps the quote open
    EXPECT_EQ(SplitWords(R"("C:\Orvanta\\" C:\Temp\)"), (Words{R"(C:\Orvanta\)", R"(C:\Temp\)"}));
    EXPECT_EQ(SplitWords(R"("say \"hi\"")"), (Words{R"(say "hi")"}));
    EXPECT_EQ(SplitWords("\"open"), std::nullopt);
}

TEST(RestAfterWords, KeepsTheRestAsWrittenQuotesIncluded) {
    EXPECT_EQ(RestAfterWords("sim  sms 0311 \"a  b\"", 1), "sms 0311 \"a  b\"");
    EXPECT_EQ(RestAfterWords("sim-until 500 \"two words\" x", 2), "\"two words\" x");
    EXPECT_EQ(RestAfterWords("echo \"a \\\" b\" c", 2), "c");
    EXPECT_EQ(RestAfterWords("one", 3), "");
}

TEST(MatchesPattern, StarsAndQuestionMarksAgainstTheWholeText) {
    EXPECT_TRUE(MatchesPattern("login|success|*|", "login|success|0212345678|http://x/|"));
    EXPECT_FALSE(MatchesPattern("login|success|", "login|success|0212345678|"));  // whole text
    EXPECT_TRUE(MatchesPattern("*callfinish*", "call|success|0212|0101|callfinish|S||"));
    EXPECT_TRUE(MatchesPattern("a?c", "abc"));
    EXPECT_FALSE(MatchesPattern("a?c", "ac"));
    EXPECT_TRUE(MatchesPattern("*", ""));
    EXPECT_TRUE(MatchesPattern("a*b*c", "aXbYbZc"));  // needs backtracking past the first b
    EXPECT_FALSE(MatchesPattern("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(MatchesPattern("", ""));
    EXPECT_FALSE(MatchesPattern("", "x"));
}

}  // namespace
}  // namespace veltrane::tools
