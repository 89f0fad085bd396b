// A stand-in for SendCall with its documented behaviour, for as long as the
// call-control module is not part of the build.
#include "cti/packet.h"
#include "host/notify.h"
#include "host/text.h"
#include "telephony/call.h"

namespace veltrane::telephony {

void SendCall(Library& lib, const std::string& subCode, const std::string& number) {
    const std::string action = subCode == "R" ? "dialing" : subCode == "P" ? "pickup" : subCode == "H" ? "hangup" : "";
    if (!cti::IsConnected(lib)) {
        NotifyHost(lib, "call|fail|" + lib.config.PHONE_NO + "|" + number + "|" + action + "|S|CTI disconnect|");
        return;
    }
    const std::string body = subCode + "|" + lib.config.PHONE_NO + "|" + number + "|";
    const std::string result = Trim(cti::SendCtiPacket(lib, cti::BuildPacket("CALL", "R", body)));
    if (!result.empty()) {
        NotifyHost(lib, "call|fail|" + lib.config.PHONE_NO + "|" + number + "|" + action + "|S|" + result + "|");
        return;
    }
    lib.config.CallState = "1";
}

}  // namespace veltrane::telephony
