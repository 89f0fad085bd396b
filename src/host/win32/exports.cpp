// The exported entry points. Each one copies its arguments, carries its work
// out on the thread that called DLL_START, and lets no exception out.
#include <mutex>

#include "host/lifecycle.h"
#include "host/win32/ansi.h"
#include "host/win32/data_module.h"
#include "veltrane.h"

using veltrane::Library;
using veltrane::win32::BstrToAnsi;
using veltrane::win32::DM_DLL;
using veltrane::win32::TDM_DLL;

namespace {

// Before the first DLL_START there is no callback to tell anything to, so
// an export called then does nothing.
template <typename Work>
void RunExport(Work&& work) noexcept {
    try {
        if (TDM_DLL* dm = DM_DLL.load()) dm->run(work);
    } catch (...) {
    }
}

// The first DLL_START creates the data module on its own thread, which from
// then on owns the library.
TDM_DLL* DataModule() {
    static std::mutex creating;
    std::lock_guard<std::mutex> lock(creating);
    if (DM_DLL.load() == nullptr) DM_DLL.store(new TDM_DLL());
    return DM_DLL.load();
}

}  // namespace

extern "C" {

void __stdcall DLL_START(BSTR basePath, BSTR windowTitle, VELTRANE_CALLBACK callback) {
    try {
        const std::string path = BstrToAnsi(basePath);
        const std::string title = BstrToAnsi(windowTitle);
        ::CoInitialize(nullptr);
        TDM_DLL* dm = DataModule();
        dm->run([&](Library& lib) {
            dm->host().setCallback(callback);
            veltrane::DLL_START(lib, path, title);
        });
    } catch (...) {
    }
}

void __stdcall DLL_FINISH(void) {
    RunExport([](Library& lib) { veltrane::DLL_FINISH(lib); });
}

}  // extern "C"
