#include "telephony/sms.h"

#include "cti/packet.h"
#include "host/notify.h"
#include "host/text.h"

namespace veltrane::telephony {

void SendSmsAck(Library& lib, const std::string& sender) {
    const std::string& phoneNo = lib.config.PHONE_NO;
    if (!cti::IsConnected(lib)) {
        NotifyHost(lib, "sms|fail|" + phoneNo + "|" + sender + "|read|CTI disconnect|");
        return;
    }
    const std::string body = "S|" + phoneNo + "|" + sender + "||";
    const std::string result = Trim(cti::SendCtiPacket(lib, cti::BuildPacket("SMS", "S", body)));
    if (!result.empty()) NotifyHost(lib, "sms|fail|" + lib.config.PHONE_NO + "|" + sender + "|read|" + result + "|");
}

}  // namespace veltrane::telephony
