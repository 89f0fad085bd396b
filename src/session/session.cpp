#include "session/session.h"

#include "account/login.h"
#include "core/log.h"
#include "core/notify.h"
#include "session/dispatch.h"
#include "telephony/call.h"
#include "web/default_browser.h"
#include "web/page_origins.h"

namespace veltrane::session {

Session::Session(Platform& os)
    : lib(os),
      link(lib, *this),
      web(lib, *this),
      accountPackets_(link),
      telephonyPackets_(link),
      packetHandlers_{&accountPackets_, &telephonyPackets_} {}

void Session::start(const std::string& basePath, const std::string& windowTitle) {
    DLL_START(lib, *this, basePath, windowTitle);
    web::LogUnusableOrigins(lib);
}

bool Session::dispatch(const std::string& kind, const std::string& result, const std::string& body) {
    return DispatchCtiMessage(lib, packetHandlers_, kind, result, body);
}

void Session::hostActed() { cti::HostActed(link); }

void Session::removeLeftoverPages() { web::RemovePageFiles(web); }

void Session::connect() { cti::ConnectCti(link); }

// A link that was signed in signs in again on every new connection.
void Session::connected() {
    const TCONFIG_INFO& c = lib.config;
    if (!lib.SignedIn) return;
    if (c.PHONE_NO.empty() || c.LoginPassword.empty()) {
        lib.SignedIn = false;
        // The one event without a "|" at its end: hosts have parsed it so.
        NotifyHost(lib, "conn|fail|input Phone number or login password");
        return;
    }
    account::SendLogin(link, c.LoginId, c.LoginPassword);
    WriteLog(lib, "CTISocketConnect", "PC_LOGIN");
}

void Session::packet(const std::string& kind, const std::string& result, const std::string& body) {
    dispatch(kind, result, body);
}

Outcome Session::requestCall(const std::string& number) { return telephony::SendCall(link, "R", number); }

}  // namespace veltrane::session
