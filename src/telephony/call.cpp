#include "telephony/call.h"

#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"

namespace veltrane::telephony {

namespace {
// The word for the sub-code in failure events; unknown codes give none.
std::string ActionWord(const std::string& subCode) {
    if (subCode == "R") return "dialing";
    if (subCode == "P") return "pickup";
    if (subCode == "H") return "hangup";
    return {};
}

// DIAL, PICK_UP and HANG_UP once their argument is accepted: keep the other
// party's number for RE_DIAL, then send.
void KeepGuestAndCall(cti::Link& link, const std::string& number, const char* logName, const char* subCode) {
    Library& lib = link.lib;
    const std::string guest = Trim(number);
    lib.config.GUEST_PHONE = guest;
    SaveUserSettingsSoon(lib);
    WriteLog(lib, logName, "[GuestPhone:" + guest + "]");
    SendCall(link, subCode, guest);
}
}  // namespace

void DIAL(cti::Link& link, const std::string& number) {
    if (IsBlank(number)) {
        Library& lib = link.lib;
        ShowAlert(lib, "call Dialing Fail", "Input Phone Number", 0);
        NotifyHost(lib, "call", "fail", {number, "dialing", "R", "Input dialing Phone Number"});
        return;
    }
    KeepGuestAndCall(link, number, "DIAL", "R");
}

void PICK_UP(cti::Link& link, const std::string& number) { KeepGuestAndCall(link, number, "PICK_UP", "P"); }

void HANG_UP(cti::Link& link, const std::string& number) { KeepGuestAndCall(link, number, "HANG_UP", "H"); }

void RE_DIAL(cti::Link& link) {
    Library& lib = link.lib;
    const std::string guest = lib.config.GUEST_PHONE;
    if (guest.empty()) {
        ShowAlert(lib, "recall Fail", "Input Phone Number", 0);
        NotifyHost(lib, "call", "fail", {guest, "recall", "S", "Input Phone Number"});
        return;
    }
    WriteLog(lib, "RE_DIAL", "[GuestPhone:" + Trim(guest) + "]");
    SendCall(link, "R", guest);
}

bool SendCall(cti::Link& link, const std::string& subCode, const std::string& number) {
    Library& lib = link.lib;
    const std::string& phoneNo = lib.config.PHONE_NO;
    const std::string failed = HostEvent("call", "fail", {phoneNo, number, ActionWord(subCode), "S"});
    const bool sent = cti::SendRequest(link, {.kind = "CALL",
                                              .marker = "R",
                                              .body = subCode + "|" + phoneNo + "|" + number + "|",
                                              .offline = WithDetail(failed, "CTI disconnect"),
                                              .failed = failed});
    if (sent) lib.user.CallState = "1";
    return sent;
}

}  // namespace veltrane::telephony
