// Click-to-call through the local command server of veltrane.dll: requests
// per second and latency from 1 and from 20 clients at once, with the fake
// CTI server checking that every CALL packet arrives intact, and the host
// process's memory before and after 10,000 requests.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_web.exe [requests per run] [memory runs]
//
// BENCH_DEBUG=1 prints every answer that was not the usual one and the
// server's log lines. Exit code 0 when every CALL packet arrived intact.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "harness/fake_cti_server.h"
#include "harness/test_host.h"
#include "http_client.h"
#include "table_row.h"

using namespace std::chrono_literals;
using namespace veltrane::wine;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kOwnNumber = "0212345678";

std::string GuestNumber(int n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "010%08d", n);
    return digits;
}

std::string CallPacket(const std::string& guest) {
    return "|LINK|CALL      |R|0025|R|" + kOwnNumber + "|" + guest + "|";
}

struct Memory {
    std::size_t workingSet = 0;
    std::size_t committed = 0;  // PagefileUsage: Wine leaves PrivateUsage at 0
};

Memory ProcessMemory() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return {counters.WorkingSetSize, counters.PagefileUsage};
}

struct RunResult {
    int requests = 0;
    int answeredOk = 0;
    double seconds = 0;
    std::vector<double> latenciesMs;
    int packetsIntact = 0;
    int packetsMissing = 0;
    int packetsUnexpected = 0;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, static_cast<std::size_t>(p * (values.size() - 1) + 0.5));
    return values[index];
}

class Bench {
public:
    Bench() {
        webPort_ = FreeLoopbackPort();
        WriteConfig(base_.path(), "127.0.0.1", cti_.port(), webPort_);
        // The number the requests name is the signed-in one.
        WriteIni(base_.path() + L"config_user.ini", "MyInfo", "PHONE_NO", kOwnNumber);
        host_.start(base_.path());
        if (!host_.waitFor([&] { return cti_.clientConnected(); }, 10s)) throw std::runtime_error("no CTI link");
        // A call request sent makes the user count as signed in.
        host_.call("DIAL", {L"0100000000"});
        host_.waitFor([&] { return !cti_.receivedLines().empty(); }, 5s);
        host_.pump(200ms);
        cti_.clearReceived();
    }

    // `total` click-to-calls from `clients` threads, each with its own numbers.
    RunResult run(int clients, int total, int firstNumber) {
        RunResult result;
        result.requests = total;
        std::atomic<int> next{0};
        std::vector<std::future<std::vector<std::pair<bool, double>>>> workers;
        const auto started = Clock::now();
        for (int c = 0; c < clients; ++c) {
            workers.push_back(std::async(std::launch::async, [&, port = webPort_] {
                std::vector<std::pair<bool, double>> samples;
                for (int i; (i = next.fetch_add(1)) < total;) {
                    const std::string request = "GET /?KIND=CS&PHONE_NO=" + kOwnNumber +
                                                "&GUEST_PHONE=" + GuestNumber(firstNumber + i) +
                                                " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
                    const auto sent = Clock::now();
                    const std::string answer = ExchangeBlocking(port, request);
                    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
                    samples.emplace_back(answer == kOkAnswer, ms);
                    if (answer != kOkAnswer && std::getenv("BENCH_DEBUG"))
                        std::printf("bad answer after %.0f ms: [%s]\n", ms, answer.substr(0, 40).c_str());
                }
                return samples;
            }));
        }
        host_.waitFor([&] { return next.load() >= total + clients; }, 600s);
        for (auto& worker : workers) {
            host_.waitFor([&] { return worker.wait_for(0s) == std::future_status::ready; }, 60s);
            for (const auto& [ok, ms] : worker.get()) {
                result.answeredOk += ok ? 1 : 0;
                result.latenciesMs.push_back(ms);
            }
        }
        result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        checkPackets(result, total, firstNumber);
        return result;
    }

    std::size_t logBytes() { return ReadFileBytes(TodayLogFile(base_.path())).size(); }
    void dumpServerLines() {
        std::map<std::string, int> counts;
        for (const std::string& line : LogLines(base_.path()))
            if (line.find("HTTPServer") != std::string::npos) ++counts[line];
        for (const auto& [line, n] : counts) std::printf("%6d %s\n", n, line.c_str());
    }

private:
    void checkPackets(RunResult& result, int total, int firstNumber) {
        auto calls = [&] {
            std::map<std::string, int> seen;
            for (const std::string& line : cti_.receivedLines())
                if (line.rfind("|LINK|CALL", 0) == 0) ++seen[line];
            return seen;
        };
        host_.waitFor([&] {
            int count = 0;
            for (const auto& [line, n] : calls()) count += n;
            return count >= total;
        }, 30s);
        std::map<std::string, int> seen = calls();
        for (int i = 0; i < total; ++i) {
            auto it = seen.find(CallPacket(GuestNumber(firstNumber + i)));
            if (it == seen.end() || it->second == 0) {
                ++result.packetsMissing;
            } else {
                ++result.packetsIntact;
                --it->second;
            }
        }
        for (const auto& [line, n] : seen) result.packetsUnexpected += n;
        cti_.clearReceived();
        host_.clearEvents();
    }

    TestHost host_;
    TempFolder base_;
    FakeCtiServer cti_;
    int webPort_ = 0;
};

// The baseline: the same requests answered at once, one after another, by a
// bare loopback server: what the exchange itself costs.
class BareHttpServer {
public:
    BareHttpServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, SOMAXCONN);
        int length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ::ntohs(address.sin_port);
        thread_ = std::thread([this] {
            for (SOCKET client; (client = ::accept(listener_, nullptr, nullptr)) != INVALID_SOCKET;) Answer(client);
        });
    }
    ~BareHttpServer() {
        ::closesocket(listener_);
        thread_.join();
    }
    int port() const { return port_; }

private:
    static void Answer(SOCKET client) {
        std::string head;
        char chunk[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const int n = ::recv(client, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            head.append(chunk, static_cast<std::size_t>(n));
        }
        ::send(client, kOkAnswer.data(), static_cast<int>(kOkAnswer.size()), 0);
        ::closesocket(client);
    }

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
};

RunResult BareRun(int clients, int total) {
    BareHttpServer server;
    RunResult result;
    result.requests = total;
    std::atomic<int> next{0};
    std::vector<std::future<std::vector<double>>> workers;
    const auto started = Clock::now();
    for (int c = 0; c < clients; ++c) {
        workers.push_back(std::async(std::launch::async, [&] {
            std::vector<double> samples;
            for (int i; (i = next.fetch_add(1)) < total;) {
                const std::string request = "GET /?KIND=CS&PHONE_NO=" + kOwnNumber + "&GUEST_PHONE=" + GuestNumber(i) +
                                            " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
                const auto sent = Clock::now();
                const bool ok = ExchangeBlocking(server.port(), request) == kOkAnswer;
                samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                if (!ok) std::printf("bare server: bad answer\n");
            }
            return samples;
        }));
    }
    for (auto& worker : workers)
        for (double ms : worker.get()) result.latenciesMs.push_back(ms);
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    result.answeredOk = total;
    return result;
}

void Compare(int clients, const RunResult& library, const RunResult& bare) {
    const std::string suffix = clients == 1 ? ", 1 client" : ", " + std::to_string(clients) + " clients";
    const std::string baseline = "bare loopback HTTP server" + suffix;
    veltrane::bench::TableRow(("click-to-call requests/s" + suffix).c_str(), library.requests / library.seconds,
                              "req/s", baseline.c_str(), bare.requests / bare.seconds);
    for (double q : {0.50, 0.99})
        veltrane::bench::TableRow(("click-to-call p" + std::string(q < 0.9 ? "50" : "99") + suffix).c_str(),
                                  Percentile(library.latenciesMs, q), "ms", baseline.c_str(),
                                  Percentile(bare.latenciesMs, q));
}

void Report(const char* name, int clients, const RunResult& r) {
    std::printf("%-22s clients %2d  requests %5d  ok %5d  %8.1f req/s  p50 %7.2f ms  p99 %7.2f ms  "
                "CALL packets intact %5d missing %d unexpected %d\n",
                name, clients, r.requests, r.answeredOk, r.requests / r.seconds, Percentile(r.latenciesMs, 0.50),
                Percentile(r.latenciesMs, 0.99), r.packetsIntact, r.packetsMissing, r.packetsUnexpected);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // Requests per measured run, and how many memory runs of 10,000 follow.
    const int perRun = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int soakRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    try {
        Bench bench;
        int number = 0;
        bench.run(4, 200, number);  // warm-up: threads, alert window, log file
        number += 200;

        const RunResult one = bench.run(1, perRun, number);
        number += perRun;
        Report("click-to-call", 1, one);
        const RunResult twenty = bench.run(20, perRun, number);
        number += perRun;
        Report("click-to-call", 20, twenty);
        const RunResult bareOne = BareRun(1, perRun);
        Report("bare HTTP server", 1, bareOne);
        const RunResult bareTwenty = BareRun(20, perRun);
        Report("bare HTTP server", 20, bareTwenty);
        Compare(1, one, bareOne);
        Compare(20, twenty, bareTwenty);

        bool intact = one.packetsMissing + twenty.packetsMissing == 0 &&
                      one.packetsUnexpected + twenty.packetsUnexpected == 0;
        for (int round = 1; round <= soakRounds; ++round) {
            const Memory before = ProcessMemory();
            const std::size_t logBefore = bench.logBytes();
            const RunResult soak = bench.run(20, 10000, number);
            number += 10000;
            Report("10,000 (memory run)", 20, soak);
            const Memory after = ProcessMemory();
            std::printf("host process memory: working set %zu KiB -> %zu KiB, committed %zu KiB -> %zu KiB "
                        "(log file grew %zu KiB)\n",
                        before.workingSet / 1024, after.workingSet / 1024, before.committed / 1024,
                        after.committed / 1024, (bench.logBytes() - logBefore) / 1024);
            veltrane::bench::TableRow("host memory after 10,000 click-to-calls (committed)", after.committed / 1024.0,
                                      "KiB", "before them", before.committed / 1024.0);
            intact = intact && soak.packetsMissing == 0 && soak.packetsUnexpected == 0;
        }
        if (std::getenv("BENCH_DEBUG")) bench.dumpServerLines();
        return intact ? 0 : 1;
    } catch (const std::exception& error) {
        std::printf("bench failed: %s\n", error.what());
        return 2;
    }
}
