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
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|" + missing + "|");
        ShowAlert(lib, "login Fail", missing, 5);
        return;
    }
    if (!cti::IsConnected(link)) {
        cti::ConnectCti(link);
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|CTI ReConnecting|");
        return;
    }
    c.PHONE_NO = Trim(phone);
    c.LoginId = Trim(loginId);
    c.LoginPassword = Trim(password);
    SaveUserSettingsLogged(lib);
    // The password never goes into the log file.
    WriteLog(lib, "PC_LOGIN", "[Phone:" + c.PHONE_NO + "]" + c.LoginId + " / ********");
    SendLogin(link, c.LoginId, c.LoginPassword);
}

void PC_LOGOUT(cti::Link& link) {
    Library& lib = link.lib;
    lib.SignedIn = false;  // a later connection no longer signs in
    WriteLog(lib, "PC_LOGOUT");
    SendLogout(link);
}

void SendLogin(cti::Link& link, const std::string& loginId, const std::string& password) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(link)) {
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
    const std::string result = Trim(cti::SendCtiPacket(link, packet, &logged));
    if (!result.empty()) NotifyHost(lib, event + result + "|");
}

void SendLogout(cti::Link& link) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(link)) {
        NotifyHost(lib, "logout|fail|" + c.PHONE_NO + "|disconnect|");
        return;
    }
    // Framed before sending: a failed send reconnects, and the host may act on
    // the disconnect event before this one is built.
    const std::string event = "logout|fail|" + c.PHONE_NO + "|";
    const std::string result = Trim(cti::SendCtiPacket(link, cti::BuildPacket("LOGOUT", "R", "R|" + c.PHONE_NO + "|")));
    if (!result.empty()) NotifyHost(lib, event + result + "|");
}

}  // namespace veltrane::account
