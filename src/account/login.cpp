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

void PC_LOGIN(Library& lib, const std::string& phone, const std::string& loginId, const std::string& password) {
    TCONFIG_INFO& c = lib.config;
    cti::HostActed(lib);
    if (const std::string missing = MissingLoginArgument(phone, loginId, password); !missing.empty()) {
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|" + missing + "|");
        ShowAlert(lib, "login Fail", missing, 5);
        return;
    }
    if (!cti::IsConnected(lib)) {
        cti::ConnectCti(lib);
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|CTI ReConnecting|");
        return;
    }
    c.PHONE_NO = Trim(phone);
    c.LoginId = Trim(loginId);
    c.LoginPassword = Trim(password);
    SaveUserSettingsLogged(lib);
    // The password never goes into the log file.
    WriteLog(lib, "PC_LOGIN", "[Phone:" + c.PHONE_NO + "]" + c.LoginId + " / ********");
    SendLogin(lib, c.LoginId, c.LoginPassword);
}

void PC_LOGOUT(Library& lib) {
    lib.SignedIn = false;  // a later connection no longer signs in
    WriteLog(lib, "PC_LOGOUT");
    SendLogout(lib);
}

void SendLogin(Library& lib, const std::string& loginId, const std::string& password) {
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(lib)) {
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|disconnect|");
        return;
    }
    const std::string secret = Trim(password);
    const std::string packet =
        cti::BuildPacket("LOGIN", "R", "R|" + c.PHONE_NO + "|" + lib.CurrentMac + "|" + Trim(loginId) + "|" + secret + "|");
    // The log file is readable by every user: it never shows the password,
    // which is the packet's last field.
    std::string logged = packet;
    logged.replace(packet.size() - secret.size() - 1, secret.size(), "********");
    // Framed before sending, like the other builders. The empty third field
    // is what hosts have always parsed.
    const std::string event = "login|fail||" + c.PHONE_NO + "|";
    const std::string result = Trim(cti::SendCtiPacket(lib, packet, &logged));
    if (!result.empty()) NotifyHost(lib, event + result + "|");
}

void SendLogout(Library& lib) {
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(lib)) {
        NotifyHost(lib, "logout|fail|" + c.PHONE_NO + "|disconnect|");
        return;
    }
    // Framed before sending: a failed send reconnects, and the host may act on
    // the disconnect event before this one is built.
    const std::string event = "logout|fail|" + c.PHONE_NO + "|";
    const std::string result = Trim(cti::SendCtiPacket(lib, cti::BuildPacket("LOGOUT", "R", "R|" + c.PHONE_NO + "|")));
    if (!result.empty()) NotifyHost(lib, event + result + "|");
}

}  // namespace veltrane::account
