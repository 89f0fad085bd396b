#include "dll/data_module.h"

#include "core/lifecycle.h"
#include "core/log.h"
#include "link/link.h"
#include "web/default_browser.h"

namespace veltrane::win32 {

std::atomic<TDM_DLL*> DM_DLL{nullptr};

namespace {
constexpr UINT_PTR kTimerConnId = 1;
constexpr UINT_PTR kConnectPauseId = 2;
constexpr UINT_PTR kHttpServerRetryId = 3;
constexpr UINT_PTR kPageCleanupId = 4;
constexpr UINT kLinkWorkMessage = WM_APP + 3;
constexpr UINT_PTR kLinkWorkTimerId = 5;

HIMAGELIST MakeImageList() {
    HIMAGELIST images = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (images != nullptr) ::ImageList_AddIcon(images, ::LoadIconW(nullptr, IDI_INFORMATION));
    return images;
}

}  // namespace

TDM_DLL::TDM_DLL()
    : window_([this] { session_.endTurn(); }),
      system_([] { DM_DLL.store(nullptr); }),  // forgotten, not destroyed: nothing runs after this
      ImageList(MakeImageList()),
      Alert(ImageList.get()),
      TimerConn(window_, kTimerConnId, [this] { cti::TimerConnTimer(session_.link); }),
      ConnectPause(window_, kConnectPauseId, [this] { cti::ConnectPauseTimer(session_.link); }),
      LinkWork(window_, kLinkWorkMessage, kLinkWorkTimerId, [this] { cti::LinkWork(session_.link); }),
      HTTPServerRetry(window_, kHttpServerRetryId, [this] { HTTPServerRetryTimer(session_.lib); }),
      CTISocket(window_, *this),
      PageCleanup(window_, kPageCleanupId, [this] { web::PageCleanupTimer(session_.web); }),
      platform_{clock_,      ini_,     files_,          host_,       Alert,   TimerConn,
                ConnectPause, LinkWork, CTISocket,       HTTPServer,  HTTPServerRetry, browser_,
                defaultBrowser_, PageCleanup, system_, random_},
      session_(platform_),
      // The server's thread hands its requests to the owner thread.
      httpSink_(session_.web, [this](web::LibrarySink::Work work) { return window_.post(std::move(work)); }),
      HTTPServer(httpSink_) {}

Outcome TDM_DLL::ready() const {
    if (Outcome com = com_.outcome(); !com) return com;
    return window_.created();
}

void TDM_DLL::reportStartFailure(VELTRANE_CALLBACK callback, const std::string& basePath,
                                 const std::string& windowTitle, const std::string& reason) {
    std::lock_guard<std::mutex> lock(reporting_);
    host_.setCallback(callback);
    ReportStartFailure(session_.lib, basePath, windowTitle, reason);
}

void TDM_DLL::onConnect() { cti::CTISocketConnect(session_.link); }
void TDM_DLL::onDisconnect() { cti::CTISocketDisconnect(session_.link); }
void TDM_DLL::onRead(std::string_view bytes) { cti::CTISocketRead(session_.link, bytes); }
void TDM_DLL::onError(int errorKind, int errorCode) { cti::CTISocketError(session_.link, errorKind, errorCode); }
cti::TlsPolicy TDM_DLL::tlsPolicy(const std::string& host) { return cti::TlsPolicyFor(session_.lib.config, host); }
void TDM_DLL::onTlsFailure(const std::string& reason) { cti::CTISocketTlsFailure(session_.link, reason); }
void TDM_DLL::log(std::string_view name, std::string_view text) { WriteLog(session_.lib, name, text); }

}  // namespace veltrane::win32
