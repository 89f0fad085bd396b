#include "winsupport/module.h"

namespace veltrane::winsupport {

namespace {
HMODULE ModuleOf(DWORD flags) {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags, reinterpret_cast<LPCWSTR>(&ModuleOf),
                         &module);
    return module;
}
}  // namespace

HMODULE ThisModule() { return ModuleOf(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT); }

void PinThisModule() { ModuleOf(GET_MODULE_HANDLE_EX_FLAG_PIN); }

}  // namespace veltrane::winsupport
