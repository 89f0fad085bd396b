#include "web/form_page.h"

#include "base/text.h"

namespace veltrane::web {

std::string CharsetOfCodePage(unsigned codePage) {
    switch (codePage) {
    case 874: return "windows-874";
    case 932: return "shift_jis";
    case 936: return "gbk";
    case 949: return "euc-kr";
    case 950: return "big5";
    case 65001: return "utf-8";
    default: break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + std::to_string(codePage);
    return "windows-1252";
}

std::string EscapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default:
            // A raw carriage return would be read as a line feed; as a
            // reference every control character stays what it was.
            if (static_cast<unsigned char>(c) < 0x20)
                escaped += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
            else
                escaped += c;
        }
    }
    return escaped;
}

std::string FormPage(const std::string& url, const PopupFields& fields, unsigned ansiCodePage) {
    const std::string charset = CharsetOfCodePage(ansiCodePage);
    const auto field = [](const char* name, const std::string& value) {
        return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" + EscapeHtml(value) + "\">\r\n";
    };
    // The character set comes first, before any byte that depends on it.
    return "<!DOCTYPE html>\r\n"
           "<html><head><meta charset=\"" + charset + "\"><title>Veltrane</title></head>\r\n"
           "<body>\r\n"
           "<form method=\"post\" enctype=\"application/x-www-form-urlencoded\" accept-charset=\"" + charset +
           "\" action=\"" + EscapeHtml(url) + "\">\r\n" +
           field("KIND", fields.KIND) + field("PHONE_NO", fields.PHONE_NO) +
           field("GUEST_PHONE", fields.GUEST_PHONE) + field("SMS_MSG", fields.SMS_MSG) +
           "<noscript><button type=\"submit\">Open</button></noscript>\r\n"
           "</form>\r\n"
           "<script>document.forms[0].submit();</script>\r\n"
           "</body></html>\r\n";
}

std::string PageFileName(std::uint64_t unique) {
    return "veltrane-page-" + HexText(unique, 16, true) + ".html";
}

}  // namespace veltrane::web
