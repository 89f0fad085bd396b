// How the CTI link of the real veltrane.dll behaves under faults, under Wine:
//
//   bench_link.exe flap [minutes]          (default 10)
//     A server that accepts and closes every connection. Reconnections in the
//     first minute and per minute over the whole run, beside a pure-pause
//     model of the same pacing (no jitter, no connect time); host memory and
//     handle count before and after. The host signs in again whenever the
//     library gives up ("Reconnect Over"), so the storm never stops.
//
//   bench_link.exe silent SILENCE ANSWER   (seconds; 0 0: the defaults)
//     A signed-in link whose server goes silent with the connection open:
//     the time until the link is reopened and signed in again, beside
//     silence + answer window, the least it can take.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/cti_fixture.h"
#include "table_row.h"

using namespace veltrane::wine;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kLoginSuccess = Event("login|success|0212345678|http://w.example/|");

struct Usage {
    double committedKiB = 0;  // PagefileUsage: Wine leaves PrivateUsage at 0
    double handles = 0;
};

// Open kernel handles, found by asking about every possible handle value:
// Wine's GetProcessHandleCount always says 0.
int KernelHandles() {
    int open = 0;
    for (std::uintptr_t value = 4; value < (1u << 20); value += 4) {
        DWORD flags = 0;
        open += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return open;
}

Usage HostUsage() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return {counters.PagefileUsage / 1024.0, static_cast<double>(KernelHandles())};
}

// Attempts a pure-pause model makes in `seconds`: 0.5 s doubling to 30 s
// after each failure, giving up after the eleventh and starting afresh.
int ModelAttempts(double seconds) {
    int attempts = 0;
    int failures = 0;
    for (double t = 0; t <= seconds;) {
        ++attempts;
        if (++failures > 10) {
            failures = 0;  // gave up; the host signs in again at once
            continue;
        }
        t += std::min(0.5 * (1 << std::min(failures - 1, 6)), 30.0);
    }
    return attempts;
}

void Configure(const TempFolder& base, const FakeCtiServer& server, bool alerts) {
    WriteConfig(base.path(), "127.0.0.1", server.port());
    WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", alerts ? "Y" : "N");
}

int Flap(double minutes) {
    TestHost host;
    TempFolder base;
    FakeCtiServer server;
    server.setFlapping(true);
    Configure(base, server, /*alerts=*/true);
    int rearmed = 0;
    host.onCallback = [&](const std::string& text) {
        if (text.find("Reconnect Over") == std::string::npos) return;
        ++rearmed;
        host.call("PC_LOGIN", {L"0212345678", L"agent", L"secret"});
    };
    host.start(base.path());
    host.pump(5s);
    const Usage before = HostUsage();
    const auto started = Clock::now();
    const auto end = started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minutes * 60));
    while (Clock::now() < end) host.pump(1s);
    const Usage after = HostUsage();

    const auto accepted = server.acceptTimes();
    int firstMinute = 0;
    for (const auto& at : accepted) firstMinute += at - accepted.front() < 60s;
    const double perMinute = accepted.size() / (minutes + 5.0 / 60);
    std::printf("flapping server, %.1f min: %zu connections, %d in the first minute, %d give-ups\n", minutes,
                accepted.size(), firstMinute, rearmed);
    std::printf("host: committed %.0f -> %.0f KiB, handles %.0f -> %.0f; log written: %zu KiB\n", before.committedKiB,
                after.committedKiB, before.handles, after.handles, ReadFileBytes(TodayLogFile(base.path())).size() / 1024);
    veltrane::bench::TableRow("Flapping server: reconnections in the first minute", firstMinute, "/min",
                              "pure-pause model", ModelAttempts(60));
    veltrane::bench::TableRow("Flapping server: reconnections per minute, whole run", perMinute, "/min",
                              "pure-pause model", ModelAttempts(minutes * 60 + 5) / (minutes + 5.0 / 60));
    const std::string run = std::to_string(static_cast<int>(minutes + 0.5)) + " min";
    veltrane::bench::TableRow(("Host memory after " + run + " of flapping (committed)").c_str(), after.committedKiB,
                              "KiB", "before", before.committedKiB);
    veltrane::bench::TableRow(("Host handles after " + run + " of flapping").c_str(), after.handles, "handles",
                              "before", before.handles);
    return 0;
}

int Silent(int silence, int answer) {
    TestHost host;
    TempFolder base;
    FakeCtiServer server;
    Configure(base, server, /*alerts=*/false);
    if (silence > 0) WriteIni(base.path() + L"config.ini", "Connect", "CTI_SILENCE_SECONDS", std::to_string(silence));
    if (answer > 0) WriteIni(base.path() + L"config.ini", "Connect", "CTI_ANSWER_SECONDS", std::to_string(answer));
    std::atomic<bool> silent{false};
    server.setResponder([&](const std::string& line) -> std::string {
        if (silent) return "";
        if (line.rfind("|LINK|LOGIN", 0) == 0) return ServerPacket("LOGIN", "S", "1|0212345678|http://w.example/|");
        if (line.rfind("|LINK|CONNCT", 0) == 0) return ServerPacket("CONNCT", "S", "1|0212345678|");
        return "";
    });
    host.start(base.path());
    if (!host.waitForEvent(Event("conn|connect||"), 10s)) return 2;
    host.call("PC_LOGIN", {L"0212345678", L"agent", L"secret"});
    if (!host.waitForEvent(kLoginSuccess, 10s)) return 2;

    silent = true;
    const auto since = Clock::now();
    if (!host.waitForEvent(Event("conn|disconnect|link check unanswered|"), 600s)) return 2;
    silent = false;
    const auto count = [&] {
        int n = 0;
        for (const std::string& text : host.callbacks()) n += text == kLoginSuccess;
        return n;
    };
    if (!host.waitFor([&] { return count() == 2; }, 30s)) return 2;
    const double seconds = std::chrono::duration<double>(Clock::now() - since).count();
    const int s = silence > 0 ? silence : 60;
    const int a = answer > 0 ? answer : 30;
    std::printf("silent server (silence %d s, answer window %d s): signed in again after %.1f s\n", s, a, seconds);
    const std::string figure = "Silent server to signed in again (" + std::to_string(s) + " s + " +
                               std::to_string(a) + " s)";
    veltrane::bench::TableRow(figure.c_str(), seconds, "s", "silence + answer window", s + a);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "flap") return Flap(argc > 2 ? std::atof(argv[2]) : 10.0);
    if (mode == "silent") return Silent(argc > 2 ? std::atoi(argv[2]) : 0, argc > 3 ? std::atoi(argv[3]) : 0);
    std::fprintf(stderr, "usage: bench_link.exe flap [minutes] | silent SILENCE ANSWER\n");
    return 2;
}
