// TDM_DLL: the data module. Created once, by the first DLL_START, on the
// thread that called it; it owns every component and the library's state,
// and it is never destroyed (DLL_FINISH ends the process instead).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "session/session.h"
#include "web/library_sink.h"
#include "win32/alert_popup.h"
#include "win32/com_apartment.h"
#include "win32/cti_socket.h"
#include "win32/http_server.h"
#include "win32/ie_browser.h"
#include "win32/owner_window.h"
#include "win32/platform_services.h"
#include "win32/shell_default_browser.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

class TDM_DLL final : private CtiSocketEvents {
public:
    TDM_DLL();
    TDM_DLL(const TDM_DLL&) = delete;
    TDM_DLL& operator=(const TDM_DLL&) = delete;

    // Runs `work` with the library on the owner thread, whatever thread calls.
    template <typename Work>
    void run(Work&& work) {
        window_.run([&] { work(session_); });
    }

    HostWindowLink& host() { return host_; }

    // Fails when COM or the owner window could not be had on the thread
    // that made the data module; the library cannot run then.
    Outcome ready() const;
    // DLL_START of a data module that is not ready: tells the host (its
    // callback, its window, the log) why. Runs on the calling thread: with
    // no owner window nothing else runs in the library.
    void reportStartFailure(VELTRANE_CALLBACK callback, const std::string& basePath, const std::string& windowTitle,
                            const std::string& reason);

private:
    void onConnect() override;
    void onDisconnect() override;
    void onRead(std::string_view bytes) override;
    void onError(int errorKind, int errorCode) override;
    cti::TlsPolicy tlsPolicy(const std::string& host) override;
    void onTlsFailure(const std::string& reason) override;
    void log(std::string_view name, std::string_view text) override;

    ComApartment com_;
    OwnerWindow window_;
    std::mutex reporting_;
    SystemClock clock_;
    ProfileIniStore ini_;
    LocalFileSystem files_;
    HostWindowLink host_;
    WindowsSystemInfo system_;
    SeededRandom random_;
    winsupport::UniqueImageList ImageList;
    AlertPopup Alert;
    WindowTimer TimerConn;
    WindowTimer ConnectPause;
    PostedTrigger LinkWork;
    WindowTimer HTTPServerRetry;
    WinsockCtiSocket CTISocket;
    IeBrowser browser_;
    ShellDefaultBrowser defaultBrowser_;
    WindowTimer PageCleanup;
    // The platform names the command server before it exists: the server
    // needs the session, which needs the platform.
    Platform platform_;
    session::Session session_;
    web::LibrarySink httpSink_;
    HttpServer HTTPServer;
};

// The data module, or null before the first DLL_START and after DLL_FINISH.
extern std::atomic<TDM_DLL*> DM_DLL;

}  // namespace veltrane::win32
