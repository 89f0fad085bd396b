#include "link/dispatch.h"

#include <optional>

#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"
#include "telephony/sms.h"

namespace veltrane::cti {

namespace {

// One server packet as the handlers of its kind see it. The body's fields
// are read one after another; the first two are read for every kind.
struct Message {
    bool failed = false;    // MsgResult "F"
    std::string result;     // MsgResult as received
    std::string subKind;
    std::string phoneNo;
    FieldReader fields;     // what follows the fields read so far

    explicit Message(const std::string& body) : fields(body) {}
    std::string resultWord() const { return failed ? "fail" : "success"; }
};

// The codes 1..N of a detail table row; anything else gives an empty detail.
template <std::size_t N>
std::string DetailFor(std::int32_t code, const char* const (&details)[N]) {
    return code >= 1 && code <= static_cast<std::int32_t>(N) ? details[code - 1] : "";
}

// This PC is certified for the phone number the server names.
void Certify(Library& lib, const std::string& phoneNo) {
    lib.config.MAC_ADDR = Trim(lib.CurrentMac);
    lib.config.REG_PHONE = phoneNo;
    SaveUserSettingsLogged(lib);
}

// Every handler returns false when the code it needs is not an integer: the
// packet ends there, with the steps before it in effect.

bool HandleNumber(Library& lib, Message& m) {
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return false;
    std::string detail;
    if (m.failed) {
        static const char* const failures[] = {"Unregister Phone Number", "Does not Phone Register Number",
                                               "Expiration of the Service"};
        detail = DetailFor(*code, failures);
        lib.config.REG_PHONE.clear();
        SaveUserSettingsLogged(lib);
    } else if (*code == 1) {
        detail = "create number";
    } else if (*code == 2) {
        Certify(lib, m.phoneNo);
        detail = "certified";
    }
    NotifyHost(lib, "certification_no|" + m.resultWord() + "|" + m.phoneNo + "|" + detail + "|");
    return true;
}

bool HandleCertify(Library& lib, Message& m) {
    std::string detail;
    if (m.failed) {
        const std::optional<std::int32_t> code = ParseInt(m.subKind);
        if (!code) return false;
        if (*code == 1) detail = "Different Certification Number";
    }
    // The server has bound the number to this PC either way.
    Certify(lib, m.phoneNo);
    NotifyHost(lib, "certification_pc|" + m.resultWord() + "|" + m.phoneNo + "|" + detail + "|");
    return true;
}

bool HandleLogin(Library& lib, Message& m) {
    TCONFIG_INFO& c = lib.config;
    c.WebPopupUrl.clear();
    std::string detail;
    // Every new connection signs in again while the server has accepted
    // this user; a refusal ends that.
    lib.SignedIn = !m.failed;
    if (m.failed) {
        const std::optional<std::int32_t> code = ParseInt(m.subKind);
        if (!code) return false;
        static const char* const failures[] = {"Different Mac Address", "Different Login ID",
                                               "Different Login Password", "Fail save DB"};
        detail = DetailFor(*code, failures);
    } else {
        c.CallState = "L";
        c.WebPopupUrl = m.fields.next();
        detail = c.WebPopupUrl;
        Certify(lib, m.phoneNo);
    }
    // What this packet said, even if the host's reaction changed the record.
    const std::string web = c.WebPopupUrl;
    NotifyHost(lib, "login|" + m.resultWord() + "|" + m.phoneNo + "|" + detail + "|");
    WriteLog(lib, "LOGIN", "PhoneNo:" + m.phoneNo + "\rWeb:" + web);
    return true;
}

bool HandleLogout(Library& lib, Message& m) {
    if (m.failed && !ParseInt(m.subKind)) return false;
    NotifyHost(lib, "logout|" + m.resultWord() + "|" + m.phoneNo + "||");
    return true;
}

bool HandleCall(Library& lib, Message& m) {
    TCONFIG_INFO& c = lib.config;
    c.CallState = "C";
    const std::string readPhone = m.fields.next();
    const std::string sendReadKind = m.fields.next();
    WriteLog(lib, "CALL",
             "PhoneNo:" + m.phoneNo + "\rReadPhone:" + readPhone + "\rSendReadKind:" + sendReadKind +
                 "(R:InboundCall,S:OutboundCall)");
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return false;
    std::string detail;
    if (!m.failed) {
        static const char* const statuses[] = {"dialing", "calling", "callfinish"};
        detail = DetailFor(*code, statuses);
        c.CallState = m.subKind;  // the status digit itself
        c.GUEST_PHONE = readPhone;
    }
    NotifyHost(lib, "call|" + m.resultWord() + "|" + m.phoneNo + "|" + readPhone + "|" + detail + "|" +
                        sendReadKind + "||");
    return true;
}

// Codes 1 to 5 of a failed SMS or BOOKED answer replace the message text by
// nothing; other codes leave it in the detail.
std::optional<std::string> FailedSmsDetail(const Message& m, const std::string& messageText) {
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return std::nullopt;
    return *code >= 1 && *code <= 5 ? std::string() : messageText;
}

bool HandleSms(Library& lib, Message& m) {
    lib.config.CallState = "S";
    const std::string readPhone = m.fields.next();
    const std::string smsMsg = m.fields.next();
    std::string detail = smsMsg;
    WriteLog(lib, "", "ReadPhone:" + readPhone + "\rMsgResult:" + m.result + "(R:Read,S:Send)" + "SmsMsg:" + smsMsg);
    const bool received = m.result == "R";
    if (received) {
        // The server wants the acknowledgement before anything else happens.
        telephony::SendSmsAck(lib, readPhone);
    } else if (m.failed) {
        const std::optional<std::string> failure = FailedSmsDetail(m, smsMsg);
        if (!failure) return false;
        detail = *failure;
    }
    NotifyHost(lib, "sms|" + m.resultWord() + "|" + m.phoneNo + "|" + readPhone + (received ? "|read|" : "|send|") +
                        detail + "|");
    return true;
}

bool HandleBooked(Library& lib, Message& m) {
    lib.config.CallState = "B";
    const std::string readPhone = m.fields.next();
    const std::string smsMsg = m.fields.next();
    std::string detail = smsMsg;
    WriteLog(lib, "", "ReadPhone:" + readPhone + "\rSendReadKind:" + "(R:InboundCall,S:OutboundCall)");
    if (m.failed) {
        const std::optional<std::string> failure = FailedSmsDetail(m, smsMsg);
        if (!failure) return false;
        detail = *failure;
    }
    NotifyHost(lib, "sms|" + m.resultWord() + "|" + m.phoneNo + "|" + readPhone + "|booked|(" + m.subKind + ":" +
                        detail + ")|");
    return true;
}

bool HandleRecord(Library& lib, Message& m) {
    lib.config.CallState = "R";
    if (m.failed && !ParseInt(m.subKind)) return false;
    NotifyHost(lib, "record|" + m.resultWord() + "|" + m.phoneNo + "|||");
    return true;
}

void HandleInfo(Library& lib, Message& m) {
    const std::string text = m.fields.next();
    NotifyHost(lib, "information|" + std::string(m.subKind == "I" ? "important" : "normal") + "|" + text + "|");
}

}  // namespace

bool DispatchCtiMessage(Library& lib, const std::string& kind, const std::string& result,
                        const std::string& body) {
    TCONFIG_INFO& c = lib.config;
    const std::string trimmedBody = Trim(body);
    const std::string trimmedKind = Trim(kind);
    Message m(trimmedBody);
    m.failed = result == "F";
    m.result = result;
    m.subKind = m.fields.next();

    // The other party belongs to the last call report only.
    c.GUEST_PHONE.clear();
    if (trimmedKind == "INFO") {
        HandleInfo(lib, m);
        return true;
    }

    m.phoneNo = m.fields.next();
    WriteLog(lib, "CTI READ", trimmedBody + "\rSubKind:" + m.subKind + "\rPhoneNo:" + m.phoneNo);
    c.CallState.clear();

    if (trimmedKind == "NUMBER") return HandleNumber(lib, m);
    if (trimmedKind == "CERTIFY") return HandleCertify(lib, m);
    if (trimmedKind == "LOGIN") return HandleLogin(lib, m);
    if (trimmedKind == "LOGOUT") return HandleLogout(lib, m);
    if (trimmedKind == "CALL") return HandleCall(lib, m);
    if (trimmedKind == "SMS") return HandleSms(lib, m);
    if (trimmedKind == "BOOKED") return HandleBooked(lib, m);
    if (trimmedKind == "RECORD") return HandleRecord(lib, m);
    return true;  // a kind this library does not know: logged, nothing more
}

}  // namespace veltrane::cti
