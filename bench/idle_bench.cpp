// How often an idle host program wakes up with veltrane.dll signed in,
// against the same host with the DLL loaded but not started, under Wine.
// Each host runs in a process of its own, waiting in its message loop; it
// counts its threads' voluntary context switches (/proc/<pid>/task/*/status,
// seen through Wine's Z: drive) over the window. The CTI server lives in
// this parent process, so its own wake-ups are not counted.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_idle.exe [seconds]   (default 30)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "harness/child_process.h"
#include "harness/cti_fixture.h"
#include "table_row.h"

using namespace veltrane::wine;
using namespace std::chrono_literals;

namespace {

constexpr int kNotMeasured = -2;

// Wine opens files through wineserver, so /proc/self would be that; this
// process is found instead by the unique mark on its command line.
std::string UnixProcessFolder(const std::string& mark) {
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::string folder;
    do {
        if (found.cFileName[0] < '0' || found.cFileName[0] > '9') continue;
        const std::string candidate = std::string("Z:\\proc\\") + found.cFileName + "\\";
        std::ifstream file(candidate + "cmdline", std::ios::binary);
        const std::string commandLine((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (commandLine.find(mark) != std::string::npos && commandLine.find("--child=") != std::string::npos) {
            folder = candidate;
            break;
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return folder;
}

// The voluntary context switches of the process's threads so far; -1 when
// they cannot be read.
long long VoluntarySwitches(const std::string& process) {
    const std::string tasks = process + "task\\";
    WIN32_FIND_DATAA found{};
    HANDLE search = ::FindFirstFileA((tasks + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long long total = 0;
    bool any = false;
    do {
        if (found.cFileName[0] == '.') continue;
        std::ifstream status(tasks + found.cFileName + "\\status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) != 0) continue;
            total += std::atoll(line.c_str() + line.find(':') + 1);
            any = true;
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return any ? total : -1;
}

// The host waits in its message loop, as a host program does, and is woken
// only by what arrives for it.
void IdleFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left <= 0ms) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

int MeasureIdle(int seconds, const std::wstring& mark) {
    const std::string process = UnixProcessFolder(std::string(mark.begin(), mark.end()));
    if (process.empty()) return kNotMeasured;
    IdleFor(2s);  // whatever starting left behind settles first
    const long long before = VoluntarySwitches(process);
    IdleFor(std::chrono::seconds(seconds));
    const long long after = VoluntarySwitches(process);
    if (before < 0 || after < before) return kNotMeasured;
    return static_cast<int>(after - before);
}

}  // namespace

// args: seconds, mark
VELTRANE_CHILD_SCENARIO(idle_loaded) {
    TestHost host;  // loads the DLL
    return MeasureIdle(std::stoi(args.at(0)), args.at(1));
}

// args: seconds, mark, base folder naming the CTI server
VELTRANE_CHILD_SCENARIO(idle_signed_in) {
    TestHost host;
    host.start(args.at(2));
    if (!host.waitForEvent(Event("conn|connect||"), 10s)) return kNotMeasured;
    host.call("PC_LOGIN", {L"0212345678", L"agent", L"secret"});
    if (!host.waitForEvent(Event("login|success|0212345678|http://w.example/|"), 10s)) return kNotMeasured;
    return MeasureIdle(std::stoi(args.at(0)), args.at(1));
}

int main(int argc, char** argv) {
    int exitCode = 0;
    if (RunChildFromCommandLine(exitCode)) return exitCode;
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;

    TempFolder base;
    FakeCtiServer server;
    WriteConfig(base.path(), "127.0.0.1", server.port(), FreeLoopbackPort());
    WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
    server.setResponder([](const std::string& line) -> std::string {
        if (line.rfind("|LINK|LOGIN", 0) == 0) return ServerPacket("LOGIN", "S", "1|0212345678|http://w.example/|");
        if (line.rfind("|LINK|CONNCT", 0) == 0) return ServerPacket("CONNCT", "S", "1|0212345678|");
        return "";
    });

    const unsigned timeoutMs = static_cast<unsigned>(seconds + 60) * 1000;
    const std::wstring mark = L"idle-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount());
    const int loaded = RunChild("idle_loaded", {std::to_wstring(seconds), mark + L"a"}, timeoutMs);
    const int signedIn = RunChild("idle_signed_in", {std::to_wstring(seconds), mark + L"b", base.path()}, timeoutMs);
    if (loaded < 0 || signedIn < 0) {
        std::printf("idle wake-ups could not be measured (/proc not readable through Z:, or no sign-in): %d %d\n",
                    loaded, signedIn);
        return 1;
    }
    const double loadedRate = static_cast<double>(loaded) / seconds;
    const double signedInRate = static_cast<double>(signedIn) / seconds;
    std::printf("idle host, %d s: DLL loaded, not started %.2f wake-ups/s; signed in %.2f wake-ups/s (+%.2f)\n",
                seconds, loadedRate, signedInRate, signedInRate - loadedRate);
    veltrane::bench::TableRow("Idle host wake-ups, library signed in", signedInRate, "/s",
                              "library loaded, not started", loadedRate);
    return 0;
}
