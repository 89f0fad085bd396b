#include "telephony/server_packets.h"

#include <optional>

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"
#include "telephony/sms.h"

namespace veltrane::telephony {

namespace {

// Every handler returns false when the code it needs is not an integer.

bool HandleCall(Library& lib, cti::ServerMessage& m) {
    TCONFIG_INFO& c = lib.config;
    c.CallState = "C";
    const std::string readPhone = m.fields.next();
    const std::string sendReadKind = m.fields.next();
    WriteLog(lib, "CALL",
             LogText({"PhoneNo:" + m.phoneNo, "ReadPhone:" + readPhone,
                      "SendReadKind:" + sendReadKind + "(R:InboundCall,S:OutboundCall)"},
                     "\r"));
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return false;
    std::string detail;
    if (!m.failed) {
        static const char* const statuses[] = {"dialing", "calling", "callfinish"};
        detail = cti::DetailFor(*code, statuses);
        c.CallState = m.subKind;  // the status digit itself
        c.GUEST_PHONE = readPhone;
    }
    NotifyHost(lib, "call", m.resultWord(), {m.phoneNo, readPhone, detail, sendReadKind, ""});
    return true;
}

// Codes 1 to 5 of a failed SMS or BOOKED answer replace the message text by
// nothing; other codes leave it in the detail.
std::optional<std::string> FailedSmsDetail(const cti::ServerMessage& m, const std::string& messageText) {
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return std::nullopt;
    return *code >= 1 && *code <= 5 ? std::string() : messageText;
}

bool HandleSms(cti::Link& link, cti::ServerMessage& m) {
    Library& lib = link.lib;
    lib.config.CallState = "S";
    const std::string readPhone = m.fields.next();
    const std::string smsMsg = m.fields.next();
    std::string detail = smsMsg;
    WriteLog(lib, "",
             LogText({"ReadPhone:" + readPhone, "MsgResult:" + m.result + "(R:Read,S:Send)" + "SmsMsg:" + smsMsg},
                     "\r"));
    const bool received = m.result == "R";
    if (received) {
        // The server wants the acknowledgement before anything else happens.
        SendSmsAck(link, readPhone);
    } else if (m.failed) {
        const std::optional<std::string> failure = FailedSmsDetail(m, smsMsg);
        if (!failure) return false;
        detail = *failure;
    }
    NotifyHost(lib, "sms", m.resultWord(), {m.phoneNo, readPhone, received ? "read" : "send", detail});
    return true;
}

bool HandleBooked(Library& lib, cti::ServerMessage& m) {
    lib.config.CallState = "B";
    const std::string readPhone = m.fields.next();
    const std::string smsMsg = m.fields.next();
    std::string detail = smsMsg;
    WriteLog(lib, "", LogText({"ReadPhone:" + readPhone, "SendReadKind:(R:InboundCall,S:OutboundCall)"}, "\r"));
    if (m.failed) {
        const std::optional<std::string> failure = FailedSmsDetail(m, smsMsg);
        if (!failure) return false;
        detail = *failure;
    }
    NotifyHost(lib, "sms", m.resultWord(), {m.phoneNo, readPhone, "booked", "(" + m.subKind + ":" + detail + ")"});
    return true;
}

bool HandleRecord(Library& lib, cti::ServerMessage& m) {
    lib.config.CallState = "R";
    if (m.failed && !ParseInt(m.subKind)) return false;
    NotifyHost(lib, "record", m.resultWord(), {m.phoneNo, "", ""});
    return true;
}

}  // namespace

ServerPackets::Handled ServerPackets::handle(const std::string& kind, cti::ServerMessage& message) {
    Library& lib = link_.lib;
    bool whole = true;
    if (kind == "CALL")
        whole = HandleCall(lib, message);
    else if (kind == "SMS")
        whole = HandleSms(link_, message);
    else if (kind == "BOOKED")
        whole = HandleBooked(lib, message);
    else if (kind == "RECORD")
        whole = HandleRecord(lib, message);
    else
        return Handled::NotMine;
    return whole ? Handled::Done : Handled::CodeMissing;
}

}  // namespace veltrane::telephony
