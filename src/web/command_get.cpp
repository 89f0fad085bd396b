#include "web/command_get.h"

#include <exception>

#include "host/log.h"
#include "host/notify.h"
#include "host/text.h"
#include "telephony/call.h"

namespace veltrane::web {

namespace {
// CP949: "Login 후 서비스 가능합니다", "전화번호없음".
const std::string kLoginFirst = "Login \xC8\xC4 \xBC\xAD\xBA\xF1\xBD\xBA \xB0\xA1\xB4\xC9\xC7\xD5\xB4\xCF\xB4\xD9";
const std::string kNoPhoneNumber = "\xC0\xFC\xC8\xAD\xB9\xF8\xC8\xA3\xBE\xF8\xC0\xBD";
const std::string kDialing = "1";  // CallState of a call being set up

std::string ParametersText(const Parameters& parameters) {
    std::string text;
    for (const Parameter& parameter : parameters) text += parameter.name + "=" + parameter.value + "\r\n";
    return text;
}
}  // namespace

std::string CommandLabel(const std::string& kind) {
    if (kind == "CS") return "CALL SEND Request";
    if (kind == "SS") return "SMS SEND Request(Guest PhoneNO)";
    if (kind == "SI") return "SMS Information";
    return {};
}

void HTTPServerCommandGet(Library& lib, const Parameters& parameters) {
    const std::string text = ParametersText(parameters);
    if (IsBlank(text)) return;
    WriteLog(lib, "HTTP READ", text);

    TCONFIG_INFO& c = lib.config;
    c.PHONE_NO.clear();
    c.GUEST_PHONE.clear();
    const std::string kind = ParameterValue(parameters, "KIND");
    // The request's own numbers: alerts and host events below may let other
    // events run and change the fields before this request is done with them.
    const std::string phoneNo = ParameterValue(parameters, "PHONE_NO");
    const std::string guestPhone = ParameterValue(parameters, "GUEST_PHONE");
    c.PHONE_NO = phoneNo;
    c.GUEST_PHONE = guestPhone;
    const std::string label = CommandLabel(kind);

    if (c.CallState.empty()) {
        lib.Finished = false;
        ShowAlert(lib, "HTTP Fail", kLoginFirst, 5);
        return;
    }
    if (IsBlank(phoneNo) || IsBlank(guestPhone)) {
        ShowAlert(lib, "HTTP Fail", kNoPhoneNumber, 5);
        return;
    }

    std::string smsMessage;
    if (kind == "CS") {
        c.CallState = kDialing;
        telephony::SendCall(lib, "R", guestPhone);
        NotifyHost(lib, "call|success|" + phoneNo + "|" + guestPhone + "|guestphone|S||");
        ShowAlert(lib, "Request[ClickToCall-Web]", guestPhone, 0);
    } else if (kind == "SS") {
        smsMessage = ParameterValue(parameters, "SMS_MSG");
        NotifyHost(lib, "sms|success|" + phoneNo + "|" + guestPhone + "|guestphone||");
    } else if (kind == "SI") {
        smsMessage = ParameterValue(parameters, "SMS_MSG");
        NotifyHost(lib, "sms|success|" + phoneNo + "|" + guestPhone + "|information|" + smsMessage + "|");
    }
    WriteLog(lib, "HTTP READ",
             "[" + kind + ":" + label + "]PHONE_NO:" + phoneNo + " / GUEST_PHONE:" + guestPhone +
                 " / SMS_MSG:" + smsMessage);
}

std::optional<std::string> RunCommandGet(Library& lib, const Parameters& parameters) {
    try {
        HTTPServerCommandGet(lib, parameters);
        return std::nullopt;
    } catch (const std::exception& error) {
        return std::string(error.what());
    } catch (...) {
        return std::string("Unknown error");
    }
}

}  // namespace veltrane::web
