#include "account/login.h"

#include "cti/packet.h"
#include "host/notify.h"
#include "host/text.h"

namespace veltrane::account {

void SendLogin(Library& lib, const std::string& loginId, const std::string& password) {
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(lib)) {
        NotifyHost(lib, "login|fail|" + c.PHONE_NO + "|disconnect|");
        return;
    }
    const std::string body = "R|" + c.PHONE_NO + "|" + lib.CurrentMac + "|" + Trim(loginId) + "|" + Trim(password) + "|";
    const std::string result = Trim(cti::SendCtiPacket(lib, cti::BuildPacket("LOGIN", "R", body)));
    // The empty third field is what hosts have always parsed.
    if (!result.empty()) NotifyHost(lib, "login|fail||" + lib.config.PHONE_NO + "|" + result + "|");
}

}  // namespace veltrane::account
