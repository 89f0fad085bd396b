#include "host/win32/data_module.h"

#include "cti/link.h"
#include "cti/tls_link.h"
#include "host/log.h"
#include "host/lifecycle.h"
#include "web/default_browser.h"

namespace veltrane::win32 {

std::atomic<TDM_DLL*> DM_DLL{nullptr};

namespace {
constexpr UINT_PTR kTimerConnId = 1;
constexpr UINT_PTR kConnectPauseId = 2;
constexpr UINT_PTR kHttpServerRetryId = 3;
constexpr UINT_PTR kPageCleanupId = 4;

HIMAGELIST MakeImageList() {
    HIMAGELIST images = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (images != nullptr) ::ImageList_AddIcon(images, ::LoadIconW(nullptr, IDI_INFORMATION));
    return images;
}

}  // namespace

TDM_DLL::TDM_DLL()
    : ImageList(MakeImageList()),
      Alert(ImageList.get()),
      TimerConn(window_, kTimerConnId, [this] { cti::TimerConnTimer(lib_); }),
      ConnectPause(window_, kConnectPauseId, [this] { cti::ConnectPauseTimer(lib_); }),
      HTTPServerRetry(window_, kHttpServerRetryId, [this] { HTTPServerRetryTimer(lib_); }),
      CTISocket(window_, *this),
      // The server's connection threads hand their requests to the owner thread.
      httpSink_(lib_, [this](web::LibrarySink::Work work) { return window_.post(std::move(work)); }),
      HTTPServer(httpSink_),
      PageCleanup(window_, kPageCleanupId, [this] { web::PageCleanupTimer(lib_); }),
      platform_{clock_,     ini_,       files_,          host_,    Alert,           TimerConn,   ConnectPause,
                CTISocket, HTTPServer, HTTPServerRetry, browser_, defaultBrowser_, PageCleanup, system_,
                random_},
      lib_(platform_) {}

void TDM_DLL::onConnect() { cti::CTISocketConnect(lib_); }
void TDM_DLL::onDisconnect() { cti::CTISocketDisconnect(lib_); }
void TDM_DLL::onRead(std::string_view bytes) { cti::CTISocketRead(lib_, bytes); }
void TDM_DLL::onError(int errorKind, int& errorCode) { cti::CTISocketError(lib_, errorKind, errorCode); }
cti::TlsPolicy TDM_DLL::tlsPolicy(const std::string& host) { return cti::TlsPolicyFor(lib_.config, host); }
void TDM_DLL::onTlsFailure(const std::string& reason) { cti::CTISocketTlsFailure(lib_, reason); }
void TDM_DLL::log(std::string_view name, std::string_view text) { WriteLog(lib_, name, text); }

}  // namespace veltrane::win32
