// The page that takes the service's form to the user's default browser: a
// small HTML file that posts its four fields to the web address as soon as
// it is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane::web {

// The four values of the service's form, 8-bit ANSI text as the host gave them.
struct PopupFields {
    std::string KIND;
    std::string PHONE_NO;
    std::string GUEST_PHONE;
    std::string SMS_MSG;
};

// The name browsers know the ANSI code page by. A browser encodes the form
// in its page's character set, so with this name the service receives the
// very bytes the library holds ("euc-kr" is code page 949 in browsers).
// Code pages without a browser name give "windows-1252", under which every
// byte reads as one character and is sent back as the same byte.
std::string CharsetOfCodePage(unsigned codePage);

// `text` as HTML text or attribute value: markup characters and control
// characters as references, every other byte as it is. Multi-byte
// characters of the ANSI code pages never hide one of the escaped bytes.
std::string EscapeHtml(std::string_view text);

// The page's bytes: HTML in the ANSI code page, whose form posts `fields`
// to `url` (method POST, form encoding) once the page has loaded, or when
// the user presses its button where scripts are off.
std::string FormPage(const std::string& url, const PopupFields& fields, unsigned ansiCodePage);

// Page files are named "veltrane-page-" + 16 hexadecimal digits + ".html";
// the pattern finds those that were left behind.
std::string PageFileName(std::uint64_t unique);
inline constexpr char kPageFilePattern[] = "veltrane-page-*.html";

}  // namespace veltrane::web
