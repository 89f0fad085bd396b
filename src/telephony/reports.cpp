#include "telephony/reports.h"

#include <optional>

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"
#include "telephony/sms.h"

namespace veltrane::telephony {

namespace {
// Codes 1 to 5 of a failed SMS or BOOKED answer replace the message text by
// nothing; other codes leave it in the detail. None without a code.
std::optional<std::string> FailedSmsDetail(const cti::SmsReport& r) {
    const std::optional<std::int32_t> code = r.code();
    if (!code) return std::nullopt;
    return *code >= 1 && *code <= 5 ? std::string() : r.message;
}
}  // namespace

// A report without the integer code it needs ends there, with the steps
// before it in effect.

void OnCall(cti::Link& link, const cti::CallReport& r) {
    Library& lib = link.lib;
    lib.user.CallState = "C";
    WriteLog(lib, "CALL",
             LogText({"PhoneNo:" + r.phoneNo, "ReadPhone:" + r.otherParty,
                      "SendReadKind:" + r.direction + "(R:InboundCall,S:OutboundCall)"},
                     "\r"));
    const std::optional<std::int32_t> code = r.code();
    if (!code) return;
    std::string detail;
    if (!r.failed()) {
        static const char* const statuses[] = {"dialing", "calling", "callfinish"};
        detail = cti::DetailFor(*code, statuses);
        lib.user.CallState = r.subKind;  // the status digit itself
        lib.config.GUEST_PHONE = r.otherParty;
    }
    NotifyHost(lib, "call", r.resultWord(), {r.phoneNo, r.otherParty, detail, r.direction, ""});
}

void OnSms(cti::Link& link, const cti::SmsReport& r) {
    Library& lib = link.lib;
    lib.user.CallState = "S";
    std::string detail = r.message;
    WriteLog(lib, "",
             LogText({"ReadPhone:" + r.otherParty, "MsgResult:" + r.result + "(R:Read,S:Send)" + "SmsMsg:" + r.message},
                     "\r"));
    const bool received = r.result == "R";
    if (received) {
        // The server wants the acknowledgement before anything else happens.
        SendSmsAck(link, r.otherParty);
    } else if (r.failed()) {
        const std::optional<std::string> failure = FailedSmsDetail(r);
        if (!failure) return;
        detail = *failure;
    }
    NotifyHost(lib, "sms", r.resultWord(), {r.phoneNo, r.otherParty, received ? "read" : "send", detail});
}

void OnBooked(cti::Link& link, const cti::SmsReport& r) {
    Library& lib = link.lib;
    lib.user.CallState = "B";
    std::string detail = r.message;
    WriteLog(lib, "", LogText({"ReadPhone:" + r.otherParty, "SendReadKind:(R:InboundCall,S:OutboundCall)"}, "\r"));
    if (r.failed()) {
        const std::optional<std::string> failure = FailedSmsDetail(r);
        if (!failure) return;
        detail = *failure;
    }
    NotifyHost(lib, "sms", r.resultWord(), {r.phoneNo, r.otherParty, "booked", "(" + r.subKind + ":" + detail + ")"});
}

void OnRecord(cti::Link& link, const cti::Answer& a) {
    link.lib.user.CallState = "R";
    if (a.failed() && !a.code()) return;
    NotifyHost(link.lib, "record", a.resultWord(), {a.phoneNo, "", ""});
}

}  // namespace veltrane::telephony
