#include "web/form_page.h"

#include <gtest/gtest.h>

namespace veltrane::web {
namespace {

TEST(FormPage, TheCharsetIsTheBrowsersNameOfTheAnsiCodePage) {
    const std::pair<unsigned, const char*> cases[] = {
        {949, "euc-kr"},          {932, "shift_jis"},    {936, "gbk"},          {950, "big5"},
        {874, "windows-874"},     {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
        {1258, "windows-1258"},   {65001, "utf-8"},
        // Without a browser name: the byte-for-byte one.
        {437, "windows-1252"},    {1259, "windows-1252"}, {0, "windows-1252"},
    };
    for (const auto& [codePage, charset] : cases) EXPECT_EQ(CharsetOfCodePage(codePage), charset) << codePage;
}

TEST(FormPage, EscapingKeepsEveryValueWhole) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"0212345678", "0212345678"},
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
        {"&amp;", "&amp;amp;"},
        {"50%+tax=1", "50%+tax=1"},
        {"line\r\nnext\ttab", "line&#13;&#10;next&#9;tab"},
        {"\xB0\xA1\xC7\xD1 \x81\x41", "\xB0\xA1\xC7\xD1 \x81\x41"},  // CP949 bytes as they are
    };
    for (const auto& [text, escaped] : cases) EXPECT_EQ(EscapeHtml(text), escaped) << text;
}

TEST(FormPage, ThePagePostsTheFourFieldsInTheAnsiCharset) {
    const std::string message = "\xBE\xC8\xB3\xE7 50%+tax & \"more\"";  // 안녕 in CP949
    const std::string page =
        FormPage("http://svc.example/popup.asp?a=1&b=2", {"SS", " 0212345678 ", "010+1&2", message}, 949);

    const std::size_t meta = page.find("<meta charset=\"euc-kr\">");
    ASSERT_NE(meta, std::string::npos);
    // No byte of the code page comes before the browser knows which it is.
    for (std::size_t i = 0; i < meta; ++i) EXPECT_LT(static_cast<unsigned char>(page[i]), 0x80u) << i;
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);

    const std::string parts[] = {
        "<form method=\"post\" enctype=\"application/x-www-form-urlencoded\" accept-charset=\"euc-kr\" "
        "action=\"http://svc.example/popup.asp?a=1&amp;b=2\">",
        "<input type=\"hidden\" name=\"KIND\" value=\"SS\">",
        "<input type=\"hidden\" name=\"PHONE_NO\" value=\" 0212345678 \">",
        "<input type=\"hidden\" name=\"GUEST_PHONE\" value=\"010+1&amp;2\">",
        "<input type=\"hidden\" name=\"SMS_MSG\" value=\"\xBE\xC8\xB3\xE7 50%+tax &amp; &quot;more&quot;\">",
        "</form>",
        "<script>document.forms[0].submit();</script>",
    };
    std::size_t at = 0;
    for (const std::string& part : parts) {
        const std::size_t found = page.find(part, at);
        ASSERT_NE(found, std::string::npos) << part;
        at = found + part.size();
    }
    EXPECT_NE(FormPage("http://a/", {}, 1252).find("<meta charset=\"windows-1252\">"), std::string::npos);
}

TEST(FormPage, FileNamesAreUniqueNumbersInHexadecimalAndMatchThePattern) {
    EXPECT_EQ(PageFileName(0x1234), "veltrane-page-0000000000001234.html");
    EXPECT_EQ(PageFileName(0xFEDCBA9876543210u), "veltrane-page-fedcba9876543210.html");
    const std::string pattern = kPageFilePattern;
    const std::string name = PageFileName(7);
    const std::size_t star = pattern.find('*');
    EXPECT_EQ(name.substr(0, star), pattern.substr(0, star));
    EXPECT_EQ(name.substr(name.size() - (pattern.size() - star - 1)), pattern.substr(star + 1));
}

}  // namespace
}  // namespace veltrane::web
