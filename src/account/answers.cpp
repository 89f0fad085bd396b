#include "account/answers.h"

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
    SaveUserSettingsSoon(lib);
}
}  // namespace

// An answer without the integer code it needs ends there, with the steps
// before it in effect.

void OnNumber(cti::Link& link, const cti::Answer& a) {
    Library& lib = link.lib;
    const std::optional<std::int32_t> code = a.code();
    if (!code) return;
    std::string detail;
    if (a.failed()) {
        static const char* const failures[] = {"Unregister Phone Number", "Does not Phone Register Number",
                                               "Expiration of the Service"};
        detail = cti::DetailFor(*code, failures);
        lib.config.REG_PHONE.clear();
        SaveUserSettingsSoon(lib);
    } else if (*code == 1) {
        detail = "create number";
    } else if (*code == 2) {
        Certify(lib, a.phoneNo);
        detail = "certified";
    }
    NotifyHost(lib, "certification_no", a.resultWord(), {a.phoneNo, detail});
}

void OnCertify(cti::Link& link, const cti::Answer& a) {
    Library& lib = link.lib;
    std::string detail;
    if (a.failed()) {
        const std::optional<std::int32_t> code = a.code();
        if (!code) return;
        if (*code == 1) detail = "Different Certification Number";
    }
    // The server has bound the number to this PC either way.
    Certify(lib, a.phoneNo);
    NotifyHost(lib, "certification_pc", a.resultWord(), {a.phoneNo, detail});
}

void OnLogin(cti::Link& link, const cti::LoginAnswer& a) {
    Library& lib = link.lib;
    lib.user.WebPopupUrl.clear();
    std::string detail;
    // Every new connection signs in again while the server has accepted
    // this user; a refusal ends that.
    link.signedIn = !a.failed();
    if (a.failed()) {
        const std::optional<std::int32_t> code = a.code();
        if (!code) return;
        static const char* const failures[] = {"Different Mac Address", "Different Login ID",
                                               "Different Login Password", "Fail save DB"};
        detail = cti::DetailFor(*code, failures);
    } else {
        lib.user.CallState = "L";
        lib.user.WebPopupUrl = a.webAddress;
        detail = a.webAddress;
        Certify(lib, a.phoneNo);
    }
    NotifyHost(lib, "login", a.resultWord(), {a.phoneNo, detail});
    WriteLog(lib, "LOGIN", LogText({"PhoneNo:" + a.phoneNo, "Web:" + lib.user.WebPopupUrl}, "\r"));
}

void OnLogout(cti::Link& link, const cti::Answer& a) {
    if (a.failed() && !a.code()) return;
    NotifyHost(link.lib, "logout", a.resultWord(), {a.phoneNo, ""});
}

}  // namespace veltrane::account
