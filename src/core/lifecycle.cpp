#include "core/lifecycle.h"

#include <exception>

#include "core/log.h"
#include "core/notify.h"
#include "core/settings.h"
#include "base/text.h"

namespace veltrane {

namespace {
constexpr std::int32_t kHttpServerRetryMs = 30000;

std::string PortText(const Library& lib) { return "PORT:" + std::to_string(lib.config.WEB_PORT); }

// A port held by another program (another user's session, another copy of
// the host) costs click-to-call only: the rest of the library starts, the
// host hears of it once, and the port is tried again until it is free.
void StartCommandServer(Library& lib) {
    TCONFIG_INFO& c = lib.config;
    if (c.WEB_PORT == 0) c.WEB_PORT = kDefaultWebPort;
    const std::string port = PortText(lib);
    if (lib.os.httpServer.listening()) {
        WriteLog(lib, "HTTPServer", port + " / Status Check : Active");
        return;
    }
    WriteLog(lib, "HTTPServer", port + " / Status Check : UnActive");
    if (const Outcome listening = lib.os.httpServer.listen(c.WEB_PORT); !listening) {
        WriteLog(lib, "HTTPServer", port + " / Request : " + listening.reason());
        const bool toldAlready = lib.os.httpServerRetry.active();
        lib.os.httpServerRetry.start(kHttpServerRetryMs);
        if (!toldAlready) NotifyHost(lib, "httpserver", "fail", {port + " unavailable"});
        return;
    }
    lib.os.httpServerRetry.stop();
    WriteLog(lib, "HTTPServer", port + " / Request : Active");
}

std::string BasePathOf(const std::string& given) {
    std::string path = IsBlank(given) ? kDefaultBasePath : given;
    if (path.back() != '\\') path += '\\';
    return path;
}

Outcome RunStart(Library& lib, StartSteps& steps, const std::string& basePath, const std::string& windowTitle) {
    TCONFIG_INFO& c = lib.config;
    const std::string path = BasePathOf(basePath);
    lib.Started = false;
    lib.Finished = false;
    // Dates and times are always formatted "YYYY-MM-DD HH:NN:SS" by the
    // library's own formatting, whatever the regional settings say.
    c.BasePath = path;
    // A blank CTI_IPs does not stop the start: the host has heard of it, and
    // the link does not connect.
    LoadSettings(lib);
    c.WIN_CAPTION = windowTitle;
    c.CallState.clear();
    c.CtiAddressIndex = 0;
    c.GUEST_PHONE.clear();
    lib.os.timerConn.stop();
    steps.hostActed();
    lib.SignedIn = false;  // the host is told to log in
    steps.removeLeftoverPages();
    WriteLog(lib, "DLL_START", "Path:" + path + ", Caption:" + windowTitle);
    lib.os.host.findHostWindow(c.WIN_CAPTION);
    StartCommandServer(lib);
    steps.connect();
    lib.CurrentMac = lib.os.system.macAddress();
    WriteLog(lib, "DLL_START",
             "[RegPhone:" + c.REG_PHONE + "]" + Trim(c.MAC_ADDR) + ":" + Trim(lib.CurrentMac));
    NotifyHost(lib, StartEvent(lib));
    if (Outcome saved = SaveUserSettings(lib); !saved) return saved;
    lib.Started = true;
    return {};
}
}  // namespace

std::string StartEvent(const Library& lib) {
    const TCONFIG_INFO& c = lib.config;
    if (Trim(lib.CurrentMac) == Trim(c.MAC_ADDR) && !IsBlank(c.REG_PHONE))
        return HostEvent("dllstart", "success", {"login", c.REG_PHONE});
    return HostEvent("dllstart", "success", {"certification_no"});
}

void DLL_START(Library& lib, StartSteps& steps, const std::string& basePath, const std::string& windowTitle) {
    std::string reason;
    try {
        const Outcome started = RunStart(lib, steps, basePath, windowTitle);
        if (started) return;
        reason = started.reason();
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (...) {
        reason = "unknown error";
    }
    lib.Started = false;
    WriteLog(lib, "DLL_START except", reason);
    NotifyHost(lib, "dllstart", "fail", {reason});
}

void ReportStartFailure(Library& lib, const std::string& basePath, const std::string& windowTitle,
                        const std::string& reason) {
    lib.Started = false;
    lib.config.BasePath = BasePathOf(basePath);
    lib.os.host.findHostWindow(windowTitle);
    WriteLog(lib, "DLL_START except", reason);
    NotifyHost(lib, "dllstart", "fail", {reason});
}

void HTTPServerRetryTimer(Library& lib) {
    if (!lib.os.httpServer.listening() && !lib.os.httpServer.listen(lib.config.WEB_PORT)) return;
    lib.os.httpServerRetry.stop();
    WriteLog(lib, "HTTPServer", PortText(lib) + " / Request : Active");
}

namespace {
// DLL_FINISH and StopLibrary alike, once started: the link closed for good,
// the timers and the command server stopped, the settings saved, the host
// told. False when the link would not close (the host has been told).
// `attemptToo` closes a connection still being made as well, which a finish
// leaves to the end of the process.
bool CloseDown(Library& lib, const char* logName, bool attemptToo) {
    WriteLog(lib, logName, "Start");
    lib.Finished = true;
    lib.SignedIn = false;
    const SocketState state = lib.os.socket.state();
    if (state == SocketState::Connected || (attemptToo && state == SocketState::Opening)) {
        try {
            lib.os.socket.close();
            WriteLog(lib, logName, "DM_DLL.CTISocket.Socket.Close 2");
        } catch (...) {
            WriteLog(lib, std::string(logName) + " except", "CTISocket.Socket.Close");
            NotifyHost(lib, "dllfinish", "fail", {"socket disconnect"});
            return false;
        }
    }
    lib.os.timerConn.stop();
    lib.os.connectPause.stop();
    lib.os.httpServerRetry.stop();
    lib.os.httpServer.stop();
    SaveUserSettingsLogged(lib);
    WriteLog(lib, logName, "End");
    NotifyHost(lib, "dllfinish", "success", {""});
    return true;
}

bool ReportNotStarted(Library& lib) {
    if (lib.Started) return false;
    NotifyHost(lib, "DllStart", "fail", {"Dll Service did not start"});
    return true;
}
}  // namespace

void DLL_FINISH(Library& lib) {
    if (ReportNotStarted(lib)) return;
    if (CloseDown(lib, "DLL_FINISH", false)) lib.os.system.endProcess(1);
}

void StopLibrary(Library& lib) {
    if (ReportNotStarted(lib)) return;
    // Stopped, the library is as before its first start: a later start
    // begins afresh, a second stop only reports.
    if (CloseDown(lib, "DLL_STOP", true)) lib.Started = false;
}

}  // namespace veltrane
