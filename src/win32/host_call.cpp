#include "win32/host_call.h"

#include <windows.h>

#include <atomic>

#include "base/text.h"

namespace veltrane::win32 {

namespace {
std::string ExceptionText(const std::string& who, DWORD code) { return who + " threw exception 0x" + HexText(code, 8); }
}  // namespace

#if defined(_MSC_VER)

namespace {
// 0 when the call returned, else the code of the exception that ended it.
DWORD CallGuarded(void (*function)(void*), void* context) {
    DWORD code = 0;
    __try {
        function(context);
    } __except (code = GetExceptionCode(), EXCEPTION_EXECUTE_HANDLER) {
        return code;
    }
    return 0;
}
}  // namespace

#elif defined(VELTRANE_HOST_CALL_ASM)

// host_call_x64.S: calls function(context) in a frame whose structured
// exception handler (the system's __C_specific_handler) consults the
// filter below and, when it says so, unwinds to the frame and returns 1.
extern "C" int veltrane_call_guarded(void (*function)(void*), void* context);

namespace {
// Calls into the host come from the owner thread alone (and, before it
// exists, from the one thread that reports the failed start).
std::atomic<DWORD> lastExceptionCode{0};

// GCC's own C++ exceptions (raised, unwinding, forced unwinding): left to
// the C++ catch around the call, which runs the host's destructors on the way.
bool IsGccUnwinding(DWORD code) { return code == 0x20474343 || code == 0x21474343 || code == 0x22474343; }
}  // namespace

extern "C" LONG veltrane_host_exception_filter(EXCEPTION_POINTERS* pointers, void*) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (IsGccUnwinding(code)) return EXCEPTION_CONTINUE_SEARCH;
    lastExceptionCode = code;
    return EXCEPTION_EXECUTE_HANDLER;
}

namespace {
DWORD CallGuarded(void (*function)(void*), void* context) {
    return veltrane_call_guarded(function, context) == 0 ? 0 : lastExceptionCode.load();
}
}  // namespace

#else

namespace {
// Without structured exception handling of our own (GCC for x86), only C++
// exceptions are caught, by the caller.
DWORD CallGuarded(void (*function)(void*), void* context) {
    function(context);
    return 0;
}
}  // namespace

#endif

Outcome CallHost(void (*function)(void*), void* context, const std::string& who) {
    try {
        if (const DWORD code = CallGuarded(function, context); code != 0)
            return Outcome::Failure(ExceptionText(who, code));
        return {};
    } catch (...) {
        return Outcome::Failure(who + " threw");
    }
}

}  // namespace veltrane::win32
