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

Outcome RunStart(Library& lib, LifecycleSteps& steps, const std::string& basePath,
                 const std::string& windowTitle) {
    TCONFIG_INFO& c = lib.config;
    const std::string path = BasePathOf(basePath);
    lib.Started = false;
    c.BasePath = path;
    // A blank CTI_IPs does not stop the start: the host has heard of it, and
    // the link does not connect.
    LoadSettings(lib);
    c.WIN_CAPTION = windowTitle;
    lib.user.CallState.clear();
    c.GUEST_PHONE.clear();
    steps.removeLeftoverPages();
    WriteLog(lib, "DLL_START", "Path:" + path + ", Caption:" + windowTitle);
    lib.os.host.findHostWindow(c.WIN_CAPTION);
    StartCommandServer(lib);
    steps.startLink();  // the host is told to log in again
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

void DLL_START(Library& lib, LifecycleSteps& steps, const std::string& basePath, const std::string& windowTitle) {
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
    // No owner thread will end a turn.
    DeliverHostEvents(lib);
    lib.os.files.closeFiles();
}

void HTTPServerRetryTimer(Library& lib) {
    if (!lib.os.httpServer.listening() && !lib.os.httpServer.listen(lib.config.WEB_PORT)) return;
    lib.os.httpServerRetry.stop();
    WriteLog(lib, "HTTPServer", PortText(lib) + " / Request : Active");
}

namespace {
// DLL_FINISH and StopLibrary alike, once started: the link closed for good
// (a connection still being made too), the command server and its retries
// stopped, the settings saved, the host told.
void CloseDown(Library& lib, LifecycleSteps& steps, const char* logName) {
    WriteLog(lib, logName, "Start");
    if (steps.stopLink()) WriteLog(lib, logName, "DM_DLL.CTISocket.Socket.Close 2");
    lib.os.httpServerRetry.stop();
    lib.os.httpServer.stop();
    if (const Outcome saved = SaveUserSettings(lib); !saved) WriteLog(lib, "SaveUserSettings", saved.reason());
    WriteLog(lib, logName, "End");
    NotifyHost(lib, "dllfinish", "success", {""});
}

bool ReportNotStarted(Library& lib) {
    if (lib.Started) return false;
    NotifyHost(lib, "DllStart", "fail", {"Dll Service did not start"});
    return true;
}
}  // namespace

void DLL_FINISH(Library& lib, LifecycleSteps& steps) {
    if (ReportNotStarted(lib)) return;
    CloseDown(lib, steps, "DLL_FINISH");
    // The process ends within this turn: the host hears everything first.
    DeliverHostEvents(lib);
    lib.os.files.closeFiles();
    lib.os.system.endProcess(1);
}

void StopLibrary(Library& lib, LifecycleSteps& steps) {
    if (ReportNotStarted(lib)) return;
    CloseDown(lib, steps, "DLL_STOP");
    // Stopped, the library is as before its first start: a later start
    // begins afresh, a second stop only reports.
    lib.Started = false;
}

}  // namespace veltrane
