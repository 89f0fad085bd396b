#include "account/login.h"

#include "link/link.h"
#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"

namespace veltrane::account {

namespace {
// The reason for a PC_LOGIN refused for a blank argument, or empty.
std::string MissingLoginArgument(const std::string& phone, const std::string& loginId, const std::string& password) {
    if (IsBlank(phone)) return "Input Phone Number";
    if (IsBlank(loginId)) return "Input Login ID";
    if (IsBlank(password)) return "Input Login Password";
    return {};
}
}  // namespace

void PC_LOGIN(cti::Link& link, const std::string& phone, const std::string& loginId, const std::string& password) {
    Library& lib = link.lib;
    TCONFIG_INFO& c = lib.config;
    cti::HostActed(link);
    if (const std::string missing = MissingLoginArgument(phone, loginId, password); !missing.empty()) {
        NotifyHost(lib, "login", "fail", {c.PHONE_NO, missing});
        ShowAlert(lib, "login Fail", missing, 5);
        return;
    }
    if (!cti::IsConnected(link)) {
        cti::ConnectNow(link);
        NotifyHost(lib, "login", "fail", {c.PHONE_NO, "CTI ReConnecting"});
        return;
    }
    c.PHONE_NO = Trim(phone);
    lib.user.LoginId = Trim(loginId);
    lib.user.LoginPassword = Trim(password);
    SaveUserSettingsSoon(lib);
    // The password never goes into the log file.
    WriteLog(lib, "PC_LOGIN", "[Phone:" + c.PHONE_NO + "]" + lib.user.LoginId + " / ********");
    SendLogin(link, lib.user.LoginId, lib.user.LoginPassword);
}

void PC_LOGOUT(cti::Link& link) {
    Library& lib = link.lib;
    link.signedIn = false;  // a later connection no longer signs in
    WriteLog(lib, "PC_LOGOUT");
    SendLogout(link);
}

void SendLogin(cti::Link& link, const std::string& loginId, const std::string& password) {
    const Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    const std::string secret = Trim(password);
    cti::SendRequest(link, {.kind = "LOGIN",
                            .marker = "R",
                            .body = "R|" + c.PHONE_NO + "|" + lib.CurrentMac + "|" + Trim(loginId) + "|" + secret + "|",
                            .offline = HostEvent("login", "fail", {c.PHONE_NO, "disconnect"}),
                            // The empty first detail is what hosts have always parsed.
                            .failed = HostEvent("login", "fail", {"", c.PHONE_NO}),
                            .secret = secret});
}

void SendLogout(cti::Link& link) {
    const TCONFIG_INFO& c = link.lib.config;
    cti::SendRequest(link, {.kind = "LOGOUT",
                            .marker = "R",
                            .body = "R|" + c.PHONE_NO + "|",
                            .offline = HostEvent("logout", "fail", {c.PHONE_NO, "disconnect"}),
                            .failed = HostEvent("logout", "fail", {c.PHONE_NO})});
}

}  // namespace veltrane::account
