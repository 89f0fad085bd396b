#include "console/win32/supervisor.h"

#include <windows.h>

#include <cstdio>

#include "console/verdict.h"
#include "winsupport/unique_handle.h"

namespace veltrane::tools::win32 {

using winsupport::UniqueKernelHandle;

namespace {

void PrintVerdict(bool pass, const std::string& why) {
    const std::string line = std::string(pass ? "== PASS: " : "== FAIL: ") + why + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int SuperviseChild() {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE rawRead = nullptr;
    HANDLE rawWrite = nullptr;
    const bool piped = CreatePipe(&rawRead, &rawWrite, &inheritable, 0) != FALSE;
    UniqueKernelHandle readEnd(rawRead);
    UniqueKernelHandle writeEnd(rawWrite);
    if (!piped || !SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        PrintVerdict(false, "cannot create the status pipe");
        return kExitSetup;
    }
    std::wstring commandLine = GetCommandLineW();
    commandLine += L" --child-status " + std::to_wstring(reinterpret_cast<std::uintptr_t>(writeEnd.get()));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    wchar_t exePath[MAX_PATH];
    GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    std::fflush(stdout);
    if (!CreateProcessW(exePath, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        PrintVerdict(false, "cannot start the script's process");
        return kExitSetup;
    }
    const UniqueKernelHandle child(process.hProcess);
    const UniqueKernelHandle childThread(process.hThread);
    writeEnd.reset();  // the child's copy is the last: end of file when it ends

    std::string received;
    ChildReport report;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        received.append(buffer, got);
        for (auto end = received.find('\n'); end != std::string::npos; end = received.find('\n')) {
            report.take(std::string_view(received).substr(0, end));
            received.erase(0, end + 1);
        }
    }
    WaitForSingleObject(child.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.get(), &exitCode);

    std::string why;
    const int verdict = JudgeChild(exitCode, report, why);
    PrintVerdict(verdict == kExitHeld, why);
    return verdict;
}

}  // namespace veltrane::tools::win32
