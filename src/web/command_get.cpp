#include "web/command_get.h"

#include <exception>
#include <vector>

#include "core/log.h"
#include "core/notify.h"
#include "base/text.h"
#include "web/page_origins.h"
#include "web/request_values.h"

namespace veltrane::web {

namespace {
// CP949: "Login 후 서비스 가능합니다", "전화번호없음".
const std::string kLoginFirst = "Login \xC8\xC4 \xBC\xAD\xBA\xF1\xBD\xBA \xB0\xA1\xB4\xC9\xC7\xD5\xB4\xCF\xB4\xD9";
const std::string kNoPhoneNumber = "\xC0\xFC\xC8\xAD\xB9\xF8\xC8\xA3\xBE\xF8\xC0\xBD";
const std::string kInvalidPhoneNumber = "Invalid Phone Number";
const std::string kInvalidMessage = "Invalid SMS Message";
const std::string kDifferentPhoneNumber = "Different Phone Number";

// One line per parameter, each ended by CR LF; what the names and values
// carry is escaped, the line ends are the log's layout.
LogText ParametersLog(const Parameters& parameters) {
    std::vector<std::string> lines;
    for (const Parameter& parameter : parameters) lines.push_back(parameter.name + "=" + parameter.value);
    lines.emplace_back();  // the last line's end
    return LogText(lines, "\r\n");
}

// Why a signed-in request with both numbers is still refused; empty when it is not.
std::string Refusal(Library& lib, const std::string& phoneNo, const std::string& guestPhone,
                    const std::string& smsMessage) {
    if (!IsDialString(phoneNo) || !IsDialString(guestPhone)) return kInvalidPhoneNumber;
    if (!IsMessageText(smsMessage, [&lib](std::string_view text) { return lib.os.system.ansiToUtf8(text); }))
        return kInvalidMessage;
    // The calling line is the one signed in, whatever the page names.
    if (Trim(phoneNo) != Trim(lib.config.PHONE_NO)) return kDifferentPhoneNumber;
    return {};
}
}  // namespace

std::string CommandLabel(const std::string& kind) {
    if (kind == "CS") return "CALL SEND Request";
    if (kind == "SS") return "SMS SEND Request(Guest PhoneNO)";
    if (kind == "SI") return "SMS Information";
    return {};
}

void HTTPServerCommandGet(Web& web, const Parameters& parameters) {
    Library& lib = web.lib;
    if (parameters.empty()) return;
    WriteLog(lib, "HTTP READ", ParametersLog(parameters));

    TCONFIG_INFO& c = lib.config;
    const std::string kind = ParameterValue(parameters, "KIND");
    const std::string phoneNo = ParameterValue(parameters, "PHONE_NO");
    const std::string guestPhone = ParameterValue(parameters, "GUEST_PHONE");
    const std::string smsMessage = ParameterValue(parameters, "SMS_MSG");
    const std::string label = CommandLabel(kind);

    if (lib.user.CallState.empty()) {
        ShowAlert(lib, "HTTP Fail", kLoginFirst, 5);
        return;
    }
    if (IsBlank(phoneNo) || IsBlank(guestPhone)) {
        ShowAlert(lib, "HTTP Fail", kNoPhoneNumber, 5);
        return;
    }
    if (const std::string refusal = Refusal(lib, phoneNo, guestPhone, smsMessage); !refusal.empty()) {
        WriteLog(lib, "HTTP READ", "[" + kind + ":" + label + "]Refused:" + refusal);
        ShowAlert(lib, "HTTP Fail", refusal, 5);
        return;
    }
    const std::string ownNumber = c.PHONE_NO;
    c.GUEST_PHONE = guestPhone;

    std::string loggedMessage;
    if (kind == "CS") {
        // When the request could not go out the host has its failure, and only that.
        if (web.calls.requestCall(guestPhone)) {
            NotifyHost(lib, "call", "success", {ownNumber, guestPhone, "guestphone", "S", ""});
            ShowAlert(lib, "Request[ClickToCall-Web]", guestPhone, 0);
        }
    } else if (kind == "SS") {
        loggedMessage = smsMessage;
        NotifyHost(lib, "sms", "success", {ownNumber, guestPhone, "guestphone", ""});
    } else if (kind == "SI") {
        loggedMessage = smsMessage;
        NotifyHost(lib, "sms", "success", {ownNumber, guestPhone, "information", smsMessage});
    }
    WriteLog(lib, "HTTP READ",
             "[" + kind + ":" + label + "]PHONE_NO:" + phoneNo + " / GUEST_PHONE:" + guestPhone +
                 " / SMS_MSG:" + loggedMessage);
}

Outcome RunCommandGet(Web& web, const Parameters& parameters) {
    try {
        HTTPServerCommandGet(web, parameters);
        return {};
    } catch (const std::exception& error) {
        return Outcome::Failure(error.what());
    } catch (...) {
        return Outcome::Failure("Unknown error");
    }
}

CommandAnswer ServeCommand(Web& web, const CommandRequest& request) {
    Library& lib = web.lib;
    CommandAnswer answer;
    try {
        const OriginVerdict verdict = JudgeOrigin(request.source, PageOriginsOf(lib).allowed);
        if (request.method == "OPTIONS") {
            // Only a page named by its Origin may be told what it can send.
            if (verdict.allowOrigin.empty()) {
                WriteLog(lib, "HTTPServer", "Refused OPTIONS" + (verdict.refusal.empty() ? "" : " " + verdict.refusal));
                answer.kind = CommandAnswer::Kind::Forbidden;
            } else {
                answer.kind = CommandAnswer::Kind::Preflight;
                answer.allowOrigin = verdict.allowOrigin;
            }
            return answer;
        }
        // A request without parameters does nothing, whoever sends it.
        if (!verdict.allowed && !request.parameters.empty()) {
            WriteLog(lib, "HTTPServer", "Refused " + verdict.refusal);
            answer.kind = CommandAnswer::Kind::Forbidden;
            return answer;
        }
        answer.allowOrigin = verdict.allowOrigin;
        if (const Outcome ran = RunCommandGet(web, request.parameters); !ran) {
            answer.kind = CommandAnswer::Kind::Error;
            answer.error = ran.reason();
        }
    } catch (...) {
        answer.kind = CommandAnswer::Kind::Error;
        answer.error = "Out of memory";  // short enough to need no allocation
    }
    return answer;
}

}  // namespace veltrane::web
