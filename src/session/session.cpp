#include "session/session.h"

#include "account/login.h"
#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "session/dispatch.h"
#include "telephony/call.h"
#include "web/default_browser.h"
#include "web/page_origins.h"

namespace veltrane::session {

Session::Session(Platform& os) : lib(os), link(lib, *this), web(lib, *this) {}

void Session::start(const std::string& basePath, const std::string& windowTitle) {
    DLL_START(lib, *this, basePath, windowTitle);
    web::LogUnusableOrigins(lib);
}

void Session::finish() { DLL_FINISH(lib, *this); }

void Session::stop() { StopLibrary(lib, *this); }

// The settings are written before the host hears of what changed them; the
// log lines are the file's as they are written, and it is closed last.
void Session::endTurn() {
    SaveScheduledUserSettings(lib);
    DeliverHostEvents(lib);
    lib.os.files.closeFiles();
}

void Session::removeLeftoverPages() { web::RemovePageFiles(web); }

void Session::startLink() { cti::StartLink(link); }

bool Session::stopLink() { return cti::StopLink(link); }

// A link that was signed in signs in again on every new connection.
void Session::connected() {
    const Library& l = lib;
    if (!link.signedIn) return;
    if (l.config.PHONE_NO.empty() || l.user.LoginPassword.empty()) {
        link.signedIn = false;
        // The one event without a "|" at its end: hosts have parsed it so.
        NotifyHost(lib, "conn|fail|input Phone number or login password");
        return;
    }
    account::SendLogin(link, l.user.LoginId, l.user.LoginPassword);
    WriteLog(lib, "CTISocketConnect", "PC_LOGIN");
}

void Session::packet(const cti::ServerFrame& frame) { DispatchServerPacket(*this, frame); }

bool Session::requestCall(const std::string& number) { return telephony::SendCall(link, "R", number); }

}  // namespace veltrane::session
