// host-console: loads veltrane.dll and drives it from a script or from
// the keyboard, printing every host event.
#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "console/options.h"
#include "console/verdict.h"
#include "console/win32/console_host.h"
#include "console/win32/supervisor.h"
#include "net/socket.h"
#include "winsupport/code_page.h"

namespace veltrane::tools::win32 {

using winsupport::Narrow;
using winsupport::Widen;

namespace {

std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i], CP_UTF8));
    LocalFree(wide);
    return args;
}

std::wstring DefaultLibraryPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring beside(path, length);
    beside = beside.substr(0, beside.find_last_of(L"\\/") + 1) + L"veltrane.dll";
    return GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES ? beside : L"veltrane.dll";
}

void PrintError(const std::string& text) {
    const std::string line = "host-console: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool ReadScript(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream file(Widen(path, CP_UTF8).c_str(), std::ios::binary);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lines.empty() && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a byte-order mark
        lines.push_back(line);
    }
    return true;
}

// Runs the script's lines; stops at the first failed expectation.
unsigned long RunScript(ScriptRunner& runner, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const LineResult result = runner.run(line);
        if (result == LineResult::Failed) return kChildFailed;
        if (result == LineResult::Quit) break;
    }
    return runner.allHeld() ? kChildHeld : kChildFailed;
}

// Commands from standard input. A reader thread hands each line to this
// thread as a window message; lines that arrive while a command runs (a
// wait pumps messages) queue up and run after it.
int RunInteractive(ScriptRunner& runner, ConsoleHost& host, std::deque<std::string>& pending, bool& inputEnded) {
    const HWND window = host.window();
    std::thread([window] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            HostWindow::PostLine(window, line);
        }
        HostWindow::PostLine(window, std::nullopt);
    }).detach();  // a blocking read cannot be interrupted; the process may end first

    host.print("Type commands (help lists them); end of input ends the console.");
    while (true) {
        host.pump(INT_MAX, [&] { return !pending.empty() || inputEnded; });
        while (!pending.empty()) {
            const std::string line = std::move(pending.front());
            pending.pop_front();
            if (runner.run(line) == LineResult::Quit) return runner.allHeld() ? kExitHeld : kExitFailed;
        }
        if (inputEnded) return runner.allHeld() ? kExitHeld : kExitFailed;
    }
}

int Run() {
    std::string error;
    const auto options = ParseConsoleOptions(Arguments(), error);
    if (!options) {
        PrintError(error + " (see --help)");
        return kExitSetup;
    }
    if (options->help) {
        std::fputs(ConsoleUsage().c_str(), stdout);
        return kExitHeld;
    }
    const bool child = options->childStatus.has_value();
    if (!options->script.empty() && !options->inProcess && !child) return SuperviseChild();

    const unsigned long setupFailure = child ? kChildSetup : kExitSetup;
    std::unique_ptr<StatusPipe> status;
    if (child) status = std::make_unique<StatusPipe>(reinterpret_cast<HANDLE>(*options->childStatus));

    std::vector<std::string> lines;
    if (!options->script.empty() && !ReadScript(options->script, lines)) {
        PrintError("cannot read " + options->script);
        return static_cast<int>(setupFailure);
    }
    net::NetworkSession network;
    VeltraneLibrary library;
    const std::wstring dllPath = options->dllPath.empty() ? DefaultLibraryPath() : Widen(options->dllPath, CP_UTF8);
    if (!network.ok() || !library.load(dllPath, error)) {
        PrintError(network.ok() ? error : "sockets are not available");
        return static_cast<int>(setupFailure);
    }

    EventLog events;
    ConsoleHost host(library, events, status.get());
    std::deque<std::string> pending;
    bool inputEnded = false;
    const auto onLine = [&](std::optional<std::string> line) {
        if (line)
            pending.push_back(std::move(*line));
        else
            inputEnded = true;
    };
    if (!host.createWindow(Widen(options->runner.windowTitle, CP_UTF8), onLine, error)) {
        PrintError(error);
        return static_cast<int>(setupFailure);
    }
    const std::vector<std::string> missing = library.missingExports();
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : missing) names += " " + name;
        host.print("** this veltrane.dll does not export:" + names);
    }

    ScriptRunner runner(host, events, options->runner);
    if (options->script.empty()) return RunInteractive(runner, host, pending, inputEnded);

    const unsigned long outcome = RunScript(runner, lines);
    if (child) return static_cast<int>(outcome);
    host.print(outcome == kChildHeld ? "== PASS: every expectation held" : "== FAIL: an expectation failed");
    return outcome == kChildHeld ? kExitHeld : kExitFailed;
}

}  // namespace
}  // namespace veltrane::tools::win32

int main() {
    // UTF-8 both ways when attached to a real console; pipes pass bytes as they are.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    try {
        return veltrane::tools::win32::Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "host-console: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "host-console: unexpected failure\n");
    }
    return veltrane::tools::kExitSetup;
}
