// The exported entry points. Each one copies its arguments, carries its work
// out on the thread that called DLL_START, and lets no exception out.
#include <mutex>

#include "account/login.h"
#include "account/registration.h"
#include "core/lifecycle.h"
#include "dll/data_module.h"
#include "dll/object_support.h"
#include "telephony/call.h"
#include "telephony/record.h"
#include "telephony/sms.h"
#include "veltrane.h"
#include "web/web_request.h"
#include "winsupport/bstr.h"

using veltrane::session::Session;
using veltrane::winsupport::BstrToAnsi;
using veltrane::win32::DM_DLL;
using veltrane::win32::TDM_DLL;
namespace account = veltrane::account;
namespace telephony = veltrane::telephony;

namespace {

// Before the first DLL_START there is no callback to tell anything to, so
// an export called then does nothing; nor after a start that could not have
// an owner thread.
template <typename Work>
void RunExport(Work&& work) noexcept {
    try {
        if (TDM_DLL* dm = DM_DLL.load(); dm != nullptr && dm->ready()) dm->run(work);
    } catch (...) {
    }
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
        HMODULE self = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                             reinterpret_cast<LPCWSTR>(&DataModule), &self);
        auto* dm = new TDM_DLL();
        dm->host().setListener(objectEvents.load());
        DM_DLL.store(dm);
    }
    return DM_DLL.load();
}

}  // namespace

extern "C" {

void __stdcall DLL_START(BSTR basePath, BSTR windowTitle, VELTRANE_CALLBACK callback) {
    try {
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
    } catch (...) {
    }
}

void __stdcall DLL_FINISH(void) {
    RunExport([](Session& s) { veltrane::DLL_FINISH(s.lib); });
}

void __stdcall CERTIFICATION_NO(BSTR phoneNo) {
    RunExport([phone = BstrToAnsi(phoneNo)](Session& s) { account::CERTIFICATION_NO(s.link, phone); });
}

void __stdcall CERTIFICATION_OTHER(void) {
    RunExport([](Session& s) { account::CERTIFICATION_OTHER(s.link); });
}

void __stdcall CERTIFICATION_PC(BSTR phoneNo, BSTR certificationNo) {
    RunExport([phone = BstrToAnsi(phoneNo), number = BstrToAnsi(certificationNo)](Session& s) {
        account::CERTIFICATION_PC(s.link, phone, number);
    });
}

void __stdcall PC_LOGIN(BSTR phoneNo, BSTR loginId, BSTR password) {
    RunExport([phone = BstrToAnsi(phoneNo), id = BstrToAnsi(loginId), secret = BstrToAnsi(password)](Session& s) {
        account::PC_LOGIN(s.link, phone, id, secret);
    });
}

void __stdcall PC_LOGOUT(void) {
    RunExport([](Session& s) { account::PC_LOGOUT(s.link); });
}

void __stdcall DIAL(BSTR number) {
    RunExport([n = BstrToAnsi(number)](Session& s) { telephony::DIAL(s.link, n); });
}

void __stdcall PICK_UP(BSTR guestPhone) {
    RunExport([n = BstrToAnsi(guestPhone)](Session& s) { telephony::PICK_UP(s.link, n); });
}

void __stdcall HANG_UP(BSTR guestPhone) {
    RunExport([n = BstrToAnsi(guestPhone)](Session& s) { telephony::HANG_UP(s.link, n); });
}

void __stdcall RE_DIAL(void) {
    RunExport([](Session& s) { telephony::RE_DIAL(s.link); });
}

void __stdcall SMS_INSTANT(BSTR calledNo, BSTR message) {
    RunExport([to = BstrToAnsi(calledNo), text = BstrToAnsi(message)](Session& s) {
        telephony::SMS_INSTANT(s.link, to, text);
    });
}

void __stdcall SMS_BOOKED(BSTR calledNo, BSTR message, BSTR sendTime) {
    RunExport([to = BstrToAnsi(calledNo), text = BstrToAnsi(message), at = BstrToAnsi(sendTime)](Session& s) {
        telephony::SMS_BOOKED(s.link, to, text, at);
    });
}

void __stdcall CALL_RECORD(BSTR phoneNo) {
    RunExport([n = BstrToAnsi(phoneNo)](Session& s) { telephony::CALL_RECORD(s.link, n); });
}

void __stdcall WEB_REQUEST(BSTR kind, BSTR phoneNo, BSTR guestPhone, BSTR smsMessage) {
    RunExport([code = BstrToAnsi(kind), phone = BstrToAnsi(phoneNo), guest = BstrToAnsi(guestPhone),
               message = BstrToAnsi(smsMessage)](Session& s) {
        veltrane::web::WEB_REQUEST(s.web, code, phone, guest, message);
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
    RunExport([](Session& s) { veltrane::StopLibrary(s.lib); });
}

}  // namespace veltrane::dll
