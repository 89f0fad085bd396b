#include "telephony/record.h"

#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "base/text.h"

namespace veltrane::telephony {

void CALL_RECORD(cti::Link& link, const std::string& number) {
    Library& lib = link.lib;
    // Only a call the server reported as connected can be recorded.
    if (lib.config.CallState != "2") {
        ShowAlert(lib, "call record", "Does not calling", 0);
        NotifyHost(lib, "call_record|fail|Does not calling|");
        return;
    }
    if (IsBlank(number)) {
        ShowAlert(lib, "call record", "Input Phone Number", 0);
        NotifyHost(lib, "call_record|fail|Input Phone Number|");
        return;
    }
    WriteLog(lib, "CALL_RECORD");
    SendRecord(link, Trim(number));
}

void SendRecord(cti::Link& link, const std::string& number) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    if (!cti::IsConnected(link)) {
        NotifyHost(lib, "record|fail|" + c.PHONE_NO + "|disconnect|");
        return;
    }
    const std::string other = Trim(number);
    // Framed before sending: a failed send reconnects, and the host may act on
    // the disconnect event before this one is built.
    const std::string event = "call record|fail|" + c.PHONE_NO + "|" + other + "|";
    const std::string result =
        Trim(cti::SendCtiPacket(link, cti::BuildPacket("RECORD", "R", "R|" + c.PHONE_NO + "|" + other + "|")));
    if (!result.empty()) NotifyHost(lib, event + result + "|");
}

}  // namespace veltrane::telephony
