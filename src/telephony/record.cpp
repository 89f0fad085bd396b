#include "telephony/record.h"

#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "base/text.h"

namespace veltrane::telephony {

void CALL_RECORD(cti::Link& link, const std::string& number) {
    Library& lib = link.lib;
    // Only a call the server reported as connected can be recorded.
    if (lib.user.CallState != "2") {
        ShowAlert(lib, "call record", "Does not calling", 0);
        NotifyHost(lib, "call_record", "fail", {"Does not calling"});
        return;
    }
    if (IsBlank(number)) {
        ShowAlert(lib, "call record", "Input Phone Number", 0);
        NotifyHost(lib, "call_record", "fail", {"Input Phone Number"});
        return;
    }
    WriteLog(lib, "CALL_RECORD");
    SendRecord(link, Trim(number));
}

void SendRecord(cti::Link& link, const std::string& number) {
    const TCONFIG_INFO& c = link.lib.config;
    const std::string other = Trim(number);
    // "record" when the link is down, "call record" when sending fails: what
    // hosts have always received.
    cti::SendRequest(link, {.kind = "RECORD",
                            .marker = "R",
                            .body = "R|" + c.PHONE_NO + "|" + other + "|",
                            .offline = HostEvent("record", "fail", {c.PHONE_NO, "disconnect"}),
                            .failed = HostEvent("call record", "fail", {c.PHONE_NO, other})});
}

}  // namespace veltrane::telephony
