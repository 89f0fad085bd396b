#include "harness/child_process.h"

#include <windows.h>
#include <shellapi.h>

#include <map>

namespace veltrane::wine {

namespace {
std::map<std::string, ChildScenario>& Scenarios() {
    static std::map<std::string, ChildScenario> scenarios;
    return scenarios;
}

std::wstring Quote(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') quoted += L'\\';
        quoted += c;
    }
    // A final backslash would escape the closing quote.
    if (!arg.empty() && arg.back() == L'\\') quoted += L'\\';
    return quoted + L"\"";
}
}  // namespace

bool RegisterChildScenario(const std::string& name, ChildScenario scenario) {
    Scenarios()[name] = std::move(scenario);
    return true;
}

int RunChild(const std::string& name, const std::vector<std::wstring>& args, unsigned timeoutMs) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = Quote(self) + L" --child=" + std::wstring(name.begin(), name.end());
    for (const std::wstring& arg : args) command += L" " + Quote(arg);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    ::CloseHandle(process.hThread);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        ::TerminateProcess(process.hProcess, 99);
    }
    ::CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

bool RunChildFromCommandLine(int& exitCode) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (argv == nullptr) return false;
    bool ran = false;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"--child=", 0) != 0) continue;
        const std::wstring wname = arg.substr(8);
        const std::string name(wname.begin(), wname.end());
        std::vector<std::wstring> rest(argv + i + 1, argv + count);
        auto found = Scenarios().find(name);
        exitCode = found != Scenarios().end() ? found->second(rest) : 98;
        ran = true;
        break;
    }
    ::LocalFree(argv);
    return ran;
}

}  // namespace veltrane::wine
