#include "telephony/sms.h"

#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "base/text.h"

namespace veltrane::telephony {

namespace {
// What distinguishes SMS_INSTANT from SMS_BOOKED.
struct SmsExport {
    const char* modeWord;
    const char* alertHeader;
    const char* logName;
};
constexpr SmsExport kInstant{"instant", "Instant sms fail", "SMS_INSTANT"};
constexpr SmsExport kBooked{"booked", "Booked sms fail", "SMS_BOOKED"};

// The reason of the first blank argument, or empty. A booked message is the
// only one with a send time to check.
std::string MissingSmsArgument(const std::string& calledNo, const std::string& message, const std::string* sendTime) {
    if (IsBlank(calledNo)) return "Input Phone Number";
    if (IsBlank(message)) return "Input Sms Message";
    if (sendTime && IsBlank(*sendTime)) return "Input Sms Send time";
    return {};
}

// Both exports; sendTime is null for an instant message.
void RequestSms(cti::Link& link, const SmsExport& how, const std::string& calledNo, const std::string& message,
                const std::string* sendTime) {
    Library& lib = link.lib;
    if (const std::string missing = MissingSmsArgument(calledNo, message, sendTime); !missing.empty()) {
        NotifyHost(lib, "sms", "fail", {calledNo, how.modeWord, missing});
        ShowAlert(lib, how.alertHeader, missing, 5);
        return;
    }
    std::string line = "pCalledNo:" + calledNo + " / pMsg:" + message;
    if (sendTime) line += " / pSendTime:" + *sendTime;
    WriteLog(lib, how.logName, line);
    SendSms(link, Trim(calledNo), Trim(message), sendTime ? Trim(*sendTime) : std::string());
}
}  // namespace

void SMS_INSTANT(cti::Link& link, const std::string& calledNo, const std::string& message) {
    RequestSms(link, kInstant, calledNo, message, nullptr);
}

void SMS_BOOKED(cti::Link& link, const std::string& calledNo, const std::string& message, const std::string& sendTime) {
    RequestSms(link, kBooked, calledNo, message, &sendTime);
}

void SendSms(cti::Link& link, const std::string& calledNo, const std::string& message, const std::string& sendTime) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    WriteLog(lib, "REQUEST_SMS", "pCalledNo:" + calledNo + " / pMsg:" + message + " / pSendTime:" + sendTime);
    const bool booked = !IsBlank(sendTime);
    const std::string failed = HostEvent("sms", "fail", {c.PHONE_NO, calledNo, booked ? "booked" : "instant"});
    cti::SendRequest(link, {.kind = booked ? "BOOKED" : "SMS",
                            .marker = "R",
                            // An instant message still carries the send time field, empty.
                            .body = "R|" + c.PHONE_NO + "|" + calledNo + "|" + message + "|" +
                                    (booked ? sendTime : std::string()) + "|",
                            .offline = WithDetail(failed, "CTI disconnect"),
                            .failed = failed});
}

void SendSmsAck(cti::Link& link, const std::string& sender) {
    const std::string& phoneNo = link.lib.config.PHONE_NO;
    const std::string failed = HostEvent("sms", "fail", {phoneNo, sender, "read"});
    cti::SendRequest(link, {.kind = "SMS",
                            .marker = "S",
                            .body = "S|" + phoneNo + "|" + sender + "||",
                            .offline = WithDetail(failed, "CTI disconnect"),
                            .failed = failed});
}

}  // namespace veltrane::telephony
