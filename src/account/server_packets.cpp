#include "account/server_packets.h"

#include <optional>

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"

namespace veltrane::account {

namespace {

// This PC is certified for the phone number the server names.
void Certify(Library& lib, const std::string& phoneNo) {
    lib.config.MAC_ADDR = Trim(lib.CurrentMac);
    lib.config.REG_PHONE = phoneNo;
    SaveUserSettingsLogged(lib);
}

// Every handler returns false when the code it needs is not an integer.

bool HandleNumber(Library& lib, cti::ServerMessage& m) {
    const std::optional<std::int32_t> code = ParseInt(m.subKind);
    if (!code) return false;
    std::string detail;
    if (m.failed) {
        static const char* const failures[] = {"Unregister Phone Number", "Does not Phone Register Number",
                                               "Expiration of the Service"};
        detail = cti::DetailFor(*code, failures);
        lib.config.REG_PHONE.clear();
        SaveUserSettingsLogged(lib);
    } else if (*code == 1) {
        detail = "create number";
    } else if (*code == 2) {
        Certify(lib, m.phoneNo);
        detail = "certified";
    }
    NotifyHost(lib, "certification_no", m.resultWord(), {m.phoneNo, detail});
    return true;
}

bool HandleCertify(Library& lib, cti::ServerMessage& m) {
    std::string detail;
    if (m.failed) {
        const std::optional<std::int32_t> code = ParseInt(m.subKind);
        if (!code) return false;
        if (*code == 1) detail = "Different Certification Number";
    }
    // The server has bound the number to this PC either way.
    Certify(lib, m.phoneNo);
    NotifyHost(lib, "certification_pc", m.resultWord(), {m.phoneNo, detail});
    return true;
}

bool HandleLogin(Library& lib, cti::ServerMessage& m) {
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
        detail = cti::DetailFor(*code, failures);
    } else {
        c.CallState = "L";
        c.WebPopupUrl = m.fields.next();
        detail = c.WebPopupUrl;
        Certify(lib, m.phoneNo);
    }
    // What this packet said, even if the host's reaction changed the record.
    const std::string web = c.WebPopupUrl;
    NotifyHost(lib, "login", m.resultWord(), {m.phoneNo, detail});
    WriteLog(lib, "LOGIN", LogText({"PhoneNo:" + m.phoneNo, "Web:" + web}, "\r"));
    return true;
}

bool HandleLogout(Library& lib, cti::ServerMessage& m) {
    if (m.failed && !ParseInt(m.subKind)) return false;
    NotifyHost(lib, "logout", m.resultWord(), {m.phoneNo, ""});
    return true;
}

}  // namespace

ServerPackets::Handled ServerPackets::handle(const std::string& kind, cti::ServerMessage& message) {
    Library& lib = link_.lib;
    bool whole = true;
    if (kind == "NUMBER")
        whole = HandleNumber(lib, message);
    else if (kind == "CERTIFY")
        whole = HandleCertify(lib, message);
    else if (kind == "LOGIN")
        whole = HandleLogin(lib, message);
    else if (kind == "LOGOUT")
        whole = HandleLogout(lib, message);
    else
        return Handled::NotMine;
    return whole ? Handled::Done : Handled::CodeMissing;
}

}  // namespace veltrane::account
