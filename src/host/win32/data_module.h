// TDM_DLL: the data module. Created once, by the first DLL_START, on the
// thread that called it; it owns every component and the library's state,
// and it is never destroyed (DLL_FINISH ends the process instead).
#pragma once

#include <atomic>
#include <memory>

#include "cti/win32/cti_socket.h"
#include "host/library.h"
#include "host/win32/alert_popup.h"
#include "host/win32/owner_window.h"
#include "host/win32/platform_services.h"
#include "web/library_sink.h"
#include "web/win32/default_browser.h"
#include "web/win32/http_server.h"
#include "web/win32/ie_browser.h"

namespace veltrane::win32 {

class TDM_DLL final : private CtiSocketEvents {
public:
    TDM_DLL();
    TDM_DLL(const TDM_DLL&) = delete;
    TDM_DLL& operator=(const TDM_DLL&) = delete;

    // Runs `work` with the library on the owner thread, whatever thread calls.
    template <typename Work>
    void run(Work&& work) {
        window_.run([&] { work(lib_); });
    }

    HostWindowLink& host() { return host_; }

private:
    void onConnect() override;
    void onDisconnect() override;
    void onRead(std::string_view bytes) override;
    void onError(int errorKind, int& errorCode) override;
    cti::TlsPolicy tlsPolicy(const std::string& host) override;
    void onTlsFailure(const std::string& reason) override;
    void log(std::string_view name, std::string_view text) override;

    OwnerWindow window_;
    SystemClock clock_;
    ProfileIniStore ini_;
    LocalFileSystem files_;
    HostWindowLink host_;
    WindowsSystemInfo system_;
    SeededRandom random_;
    UniqueImageList ImageList;
    AlertPopup Alert;
    WindowTimer TimerConn;
    WindowTimer ConnectPause;
    WindowTimer HTTPServerRetry;
    WinsockCtiSocket CTISocket;
    web::LibrarySink httpSink_;
    web::win32::HttpServer HTTPServer;
    web::win32::IeBrowser browser_;
    web::win32::ShellDefaultBrowser defaultBrowser_;
    WindowTimer PageCleanup;
    Platform platform_;
    Library lib_;
};

// The data module, or null before the first DLL_START and after DLL_FINISH.
extern std::atomic<TDM_DLL*> DM_DLL;

}  // namespace veltrane::win32
