#include "account/registration.h"

#include <algorithm>

#include "link/link.h"
#include "link/send.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"

namespace veltrane::account {

namespace {
std::string WithoutDashes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
    return text;
}
}  // namespace

void CERTIFICATION_NO(cti::Link& link, const std::string& phone) {
    Library& lib = link.lib;
    cti::HostActed(link);
    if (IsBlank(phone)) {
        NotifyHost(lib, "certification_no", "fail", {"Input phone number"});
        ShowAlert(lib, "certification_no Fail", "Input phone number", 5);
        return;
    }
    if (!cti::IsConnected(link)) {
        cti::ConnectNow(link);
        NotifyHost(lib, "certification_no", "fail", {"CTI ReConnecting"});
        return;
    }
    // Kept exactly as the host gave it, blanks included: the server's answer
    // replaces REG_PHONE with the number as it knows it.
    const std::string number = phone;
    lib.config.REG_PHONE = number;
    lib.config.PHONE_NO = number;
    SaveUserSettingsSoon(lib);
    WriteLog(lib, "CERTIFICATION_NO", "[Phone:" + number + "]");
    SendNumber(link, number, lib.CurrentMac);
}

void SendNumber(cti::Link& link, const std::string& phone, const std::string& macAddress) {
    // "Certification_no", the phone number before the result, and "Fail" in
    // capitals are what hosts have always received from this builder.
    cti::SendRequest(link, {.kind = "NUMBER",
                            .marker = "R",
                            .body = "R|" + phone + "|" + macAddress + "|",
                            .offline = HostEvent("Certification_no", phone, {"Fail", "disconnect"}),
                            .failed = HostEvent("Certification_no", phone, {"fail"})});
}

void CERTIFICATION_PC(cti::Link& link, const std::string& phone, const std::string& certificationNo) {
    Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    cti::HostActed(link);
    WriteLog(lib, "CERTIFICATION_PC Request", "Phone(" + phone + ")RegPhone(" + c.REG_PHONE + ")");
    const std::string trimmedPhone = Trim(phone);
    if (WithoutDashes(trimmedPhone) != c.REG_PHONE) {
        NotifyHost(lib, "certification_pc", "fail", {"Difference phone number"});
        ShowAlert(lib, "certification_pc Fail", "Difference phone number", 5);
        return;
    }
    // "Cretification" is the spelling hosts compare against.
    if (IsBlank(certificationNo)) {
        NotifyHost(lib, "certification_pc", "fail", {"Input Cretification number"});
        ShowAlert(lib, "certification_pc Fail", "Input Cretification number", 5);
        return;
    }
    if (!cti::IsConnected(link)) {
        cti::ConnectNow(link);
        NotifyHost(lib, "certification_pc", "fail", {"CTI ReConnecting"});
        return;
    }
    const std::string number = Trim(certificationNo);
    WriteLog(lib, "CERTIFICATION_PC", "[Phone:" + trimmedPhone + "]" + number);
    SendCertify(link, number);
}

void SendCertify(cti::Link& link, const std::string& certificationNo) {
    const Library& lib = link.lib;
    const TCONFIG_INFO& c = lib.config;
    cti::SendRequest(link, {.kind = "CERTIFY",
                            .marker = "R",
                            .body = "R|" + c.PHONE_NO + "|" + lib.CurrentMac + "|" + Trim(certificationNo) + "|",
                            .offline = HostEvent("certification_pc", "fail", {c.PHONE_NO, "disconnect"}),
                            .failed = HostEvent("certification_pc", "fail", {c.PHONE_NO})});
}

void CERTIFICATION_OTHER(cti::Link& link) {
    Library& lib = link.lib;
    TCONFIG_INFO& c = lib.config;
    link.signedIn = false;
    c.REG_PHONE.clear();
    c.MAC_ADDR.clear();
    c.PHONE_NO.clear();
    SaveUserSettingsSoon(lib);
    // The start-up line's layout, so both read alike in the log.
    WriteLog(lib, "CERTIFICATION_OTHER",
             "[RegPhone:" + c.REG_PHONE + "]" + Trim(c.MAC_ADDR) + ":" + Trim(lib.CurrentMac));
}

}  // namespace veltrane::account
