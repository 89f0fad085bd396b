#include "web/web_request.h"

#include "core/log.h"
#include "core/notify.h"
#include "web/default_browser.h"
#include "base/form_text.h"

namespace veltrane::web {

std::string PageLabel(const std::string& code) {
    if (code == "CL") return "CALL LIST";
    if (code == "SL") return "SMS LIST";
    if (code == "AL") return "CALL+SMS LIST";
    if (code == "MA") return "MY ADDRESS";
    if (code == "CS") return "CALL SEND";
    if (code == "SS") return "SMS SEND";
    if (code == "SI") return "SMS INFO";
    return {};
}

std::string PopupFormBody(const PopupFields& fields) {
    return "KIND=" + EscapeFormValue(fields.KIND) + "&PHONE_NO=" + EscapeFormValue(fields.PHONE_NO) +
           "&GUEST_PHONE=" + EscapeFormValue(fields.GUEST_PHONE) + "&SMS_MSG=" + EscapeFormValue(fields.SMS_MSG);
}

void WEB_REQUEST(Web& web, const std::string& code, const std::string& phoneNo, const std::string& guestPhone,
                 const std::string& message) {
    Library& lib = web.lib;
    const std::string label = PageLabel(code);
    const std::string kind = "pKind[" + code + ":" + label + "]";
    WriteLog(lib, "WEB_REQUEST",
             LogText({lib.user.WebPopupUrl, kind, "pPhone:" + phoneNo, "pPhone:" + guestPhone, "pMsg:" + message},
                     "\r"));
    ShowAlert(lib, "WEB_REQUEST", kind + lib.config.PHONE_NO, 0);
    WriteLog(lib, "ENCODE",
             LogText({"WEB_POPUP_URL=" + lib.user.WebPopupUrl, "KIND[(" + code + ")" + label + "]",
                      "PHONE_NO[" + phoneNo + "]", "GUEST_PHONE[" + guestPhone + "]", "SMS_MSG[" + message + "]"},
                     "\r"));
    PostPopupForm(web, lib.user.WebPopupUrl, PopupFields{code, phoneNo, guestPhone, message});
}

namespace {
bool PostThroughIe(Library& lib, const std::string& url, const std::string& body) {
    bool posted = false;
    try {
        posted = lib.os.browser.post(url, body);
    } catch (...) {
        posted = false;
    }
    WriteLog(lib, "POPUP_IE", posted ? "END" : "Except");
    return posted;
}

bool PostThroughDefaultBrowser(Web& web, const std::string& url, const PopupFields& fields) {
    try {
        return OpenInDefaultBrowser(web, url, fields).ok();
    } catch (...) {
        WriteLog(web.lib, "POPUP_DEFAULT_BROWSER", "Except");
        return false;
    }
}
}  // namespace

void PostPopupForm(Web& web, const std::string& url, const PopupFields& fields) {
    Library& lib = web.lib;
    const std::string body = PopupFormBody(fields);
    const std::string address = url + "?" + body;
    WriteLog(lib, "POST_SEND_POPUP", address);
    const BrowserWay way = ParseBrowserWay(lib.config.WEB_BROWSER);
    bool posted = false;
    if (way != BrowserWay::DefaultBrowserOnly) posted = PostThroughIe(lib, url, body);
    if (!posted && way != BrowserWay::IeOnly) posted = PostThroughDefaultBrowser(web, url, fields);
    WriteLog(lib, posted ? "POPUP Data Send END" : "POPUP Data Send Except", "Address:" + address);
}

}  // namespace veltrane::web
