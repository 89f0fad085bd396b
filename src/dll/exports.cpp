// The exported entry points. Each one carries its work out on the thread
// that called DLL_START, the conversion of its arguments included, and lets
// no exception out.
#include <mutex>

#include "account/login.h"
#include "account/registration.h"
#include "base/guard.h"
#include "core/lifecycle.h"
#include "dll/data_module.h"
#include "dll/object_support.h"
#include "telephony/call.h"
#include "telephony/record.h"
#include "telephony/sms.h"
#include "veltrane.h"
#include "web/web_request.h"
#include "winsupport/bstr.h"
#include "winsupport/module.h"

using veltrane::session::Session;
using veltrane::winsupport::BstrToAnsi;
using veltrane::win32::DM_DLL;
using veltrane::win32::TDM_DLL;
namespace account = veltrane::account;
namespace telephony = veltrane::telephony;

namespace {

// Before the first DLL_START there is no callback to tell anything to, so
// an export called then does nothing; nor after a start that could not have
// an owner thread. The BSTRs stay the caller's while it waits for the owner
// thread, which reads them.
template <typename Work>
void RunExport(Work&& work) noexcept {
    veltrane::RunGuarded([&] {
        if (TDM_DLL* dm = DM_DLL.load(); dm != nullptr && dm->ready()) dm->run(work);
    });
}

std::atomic<veltrane::win32::HostEventListener*> objectEvents{nullptr};

// The first DLL_START creates the data module on its own thread, which from
// then on owns the library.
TDM_DLL* DataModule() {
    static std::mutex creating;
    std::lock_guard<std::mutex> lock(creating);
    if (DM_DLL.load() == nullptr) {
        // The data module's windows, timers and threads live as long as the
        // process, so the DLL must too: a FreeLibrary by the host would
        // otherwise leave them running code that is gone.
        veltrane::winsupport::PinThisModule();
        auto* dm = new TDM_DLL();
        dm->host().setListener(objectEvents.load());
        DM_DLL.store(dm);
    }
    return DM_DLL.load();
}

}  // namespace

extern "C" {

void __stdcall DLL_START(BSTR basePath, BSTR windowTitle, VELTRANE_CALLBACK callback) {
    veltrane::RunGuarded([&] {
        const std::string path = BstrToAnsi(basePath);
        const std::string title = BstrToAnsi(windowTitle);
        TDM_DLL* dm = DataModule();
        if (const veltrane::Outcome ready = dm->ready(); !ready) {
            dm->reportStartFailure(callback, path, title, ready.reason());
            return;
        }
        dm->run([&](Session& session) {
            dm->host().setCallback(callback);
            session.start(path, title);
        });
    });
}

void __stdcall DLL_FINISH(void) {
    RunExport([](Session& s) { s.finish(); });
}

void __stdcall CERTIFICATION_NO(BSTR phoneNo) {
    RunExport([=](Session& s) { account::CERTIFICATION_NO(s.link, BstrToAnsi(phoneNo)); });
}

void __stdcall CERTIFICATION_OTHER(void) {
    RunExport([](Session& s) { account::CERTIFICATION_OTHER(s.link); });
}

void __stdcall CERTIFICATION_PC(BSTR phoneNo, BSTR certificationNo) {
    RunExport([=](Session& s) {
        account::CERTIFICATION_PC(s.link, BstrToAnsi(phoneNo), BstrToAnsi(certificationNo));
    });
}

void __stdcall PC_LOGIN(BSTR phoneNo, BSTR loginId, BSTR password) {
    RunExport([=](Session& s) {
        account::PC_LOGIN(s.link, BstrToAnsi(phoneNo), BstrToAnsi(loginId), BstrToAnsi(password));
    });
}

void __stdcall PC_LOGOUT(void) {
    RunExport([](Session& s) { account::PC_LOGOUT(s.link); });
}

void __stdcall DIAL(BSTR number) {
    RunExport([=](Session& s) { telephony::DIAL(s.link, BstrToAnsi(number)); });
}

void __stdcall PICK_UP(BSTR guestPhone) {
    RunExport([=](Session& s) { telephony::PICK_UP(s.link, BstrToAnsi(guestPhone)); });
}

void __stdcall HANG_UP(BSTR guestPhone) {
    RunExport([=](Session& s) { telephony::HANG_UP(s.link, BstrToAnsi(guestPhone)); });
}

void __stdcall RE_DIAL(void) {
    RunExport([](Session& s) { telephony::RE_DIAL(s.link); });
}

void __stdcall SMS_INSTANT(BSTR calledNo, BSTR message) {
    RunExport([=](Session& s) { telephony::SMS_INSTANT(s.link, BstrToAnsi(calledNo), BstrToAnsi(message)); });
}

void __stdcall SMS_BOOKED(BSTR calledNo, BSTR message, BSTR sendTime) {
    RunExport([=](Session& s) {
        telephony::SMS_BOOKED(s.link, BstrToAnsi(calledNo), BstrToAnsi(message), BstrToAnsi(sendTime));
    });
}

void __stdcall CALL_RECORD(BSTR phoneNo) {
    RunExport([=](Session& s) { telephony::CALL_RECORD(s.link, BstrToAnsi(phoneNo)); });
}

void __stdcall WEB_REQUEST(BSTR kind, BSTR phoneNo, BSTR guestPhone, BSTR smsMessage) {
    RunExport([=](Session& s) {
        veltrane::web::WEB_REQUEST(s.web, BstrToAnsi(kind), BstrToAnsi(phoneNo), BstrToAnsi(guestPhone),
                                   BstrToAnsi(smsMessage));
    });
}

}  // extern "C"

namespace veltrane::dll {

void AttachHostEventListener(win32::HostEventListener& listener) noexcept {
    // Whichever of this and the data module's creation comes second sees
    // the other's store.
    objectEvents.store(&listener);
    if (TDM_DLL* dm = DM_DLL.load()) dm->host().setListener(&listener);
}

void StopLibrary() noexcept {
    RunExport([](Session& s) { s.stop(); });
}

}  // namespace veltrane::dll
