// A flood of server events against the real veltrane.dll: 20,000 CALL
// packets, then 20,000 received SMS, each lot written at once. Prints the
// time the host takes to receive them all and the events per second, beside
// the floor measured in the same run: what delivering an event costs at all
// (the callback, WM_COPYDATA, and the event's log lines appended to a file
// already open, with the same texts); the longest gap of the host's 10 ms
// window timer while the flood drains; and the time from a DIAL called
// halfway through to its CALL line at the server.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_flood.exe [packets]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness/cti_fixture.h"
#include "bench_host.h"
#include "table_row.h"

using namespace veltrane::wine;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The host's 10 ms window timer: when it ticked. Halfway through the flood
// the host decides to dial, and does it from its next tick, as a host does
// from its own messages (a click, a timer).
std::vector<Clock::time_point> ticks;
TestHost* dialingHost = nullptr;
bool dialDue = false;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ticks.push_back(Clock::now());
    if (dialingHost != nullptr && std::exchange(dialDue, false)) dialingHost->call("DIAL", {L"0399998888"});
}

struct Kind {
    const char* name;
    std::string packet;  // as the server writes it
    std::string event;   // the host event each one gives
    std::vector<std::string> logLines;  // the library's lines for one packet, for the floor
};

// What delivering one event costs at all, per event.
double FloorSeconds(TestHost& host, const Kind& kind, int events, const std::wstring& folder) {
    const HANDLE log = ::CreateFileW((folder + L"floor.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // As the test host's callback does: each text kept.
    std::vector<std::string> delivered;
    delivered.reserve(static_cast<std::size_t>(events));
    const auto callback = [&](const char* text) { delivered.emplace_back(text); };
    const auto started = Clock::now();
    for (int i = 0; i < events; ++i) {
        for (const std::string& line : kind.logLines) {
            DWORD written = 0;
            ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
        callback(kind.event.c_str());
        COPYDATASTRUCT data{0, static_cast<DWORD>(kind.event.size() + 1), const_cast<char*>(kind.event.c_str())};
        ::SendMessageA(host.window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    const double seconds = Seconds(Clock::now() - started);
    ::CloseHandle(log);
    return delivered.size() == static_cast<std::size_t>(events) ? seconds : 1e9;
}

struct Flood {
    double drainSeconds = 0;
    double longestTickGapMs = 0;
    double dialMs = -1;
};

Flood RunFlood(const Kind& kind, int packets) {
    veltrane::bench::BenchHost bench;
    bench.startConnected();
    TestHost& host = bench.host;
    FakeCtiServer& server = bench.server;
    std::atomic<Clock::rep> dialAnswered{0};
    server.setResponder([&](const std::string& line) {
        if (line.find("|0399998888|") != std::string::npos) dialAnswered = Clock::now().time_since_epoch().count();
        return std::string();
    });

    std::size_t received = 0;
    Clock::time_point dialDecided{};
    dialingHost = &host;
    host.onCallback = [&](const std::string& text) {
        if (text != kind.event) return;
        if (++received != static_cast<std::size_t>(packets / 2)) return;
        dialDecided = Clock::now();
        dialDue = true;
    };
    std::string all;
    for (int i = 0; i < packets; ++i) all += kind.packet;

    ticks.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, Tick);
    const auto started = Clock::now();
    std::thread writer([&] { server.send(all); });
    host.waitFor([&] { return received >= static_cast<std::size_t>(packets); }, std::chrono::minutes(10));
    const auto drained = Clock::now();
    host.waitFor([&] { return dialAnswered.load() != 0; }, std::chrono::seconds(5));
    ::KillTimer(nullptr, timer);
    dialingHost = nullptr;
    writer.join();

    Flood flood;
    flood.drainSeconds = Seconds(drained - started);
    Clock::time_point last = started;
    for (const Clock::time_point& tick : ticks) {
        if (tick > drained) break;
        flood.longestTickGapMs = std::max(flood.longestTickGapMs, Milliseconds(tick - last));
        last = tick;
    }
    flood.longestTickGapMs = std::max(flood.longestTickGapMs, Milliseconds(drained - last));
    if (dialAnswered.load() != 0)
        flood.dialMs = Milliseconds(Clock::time_point(Clock::duration(dialAnswered.load())) - dialDecided);
    if (received < static_cast<std::size_t>(packets))
        std::fprintf(stderr, "%s: only %zu of %d events arrived\n", kind.name, received, packets);
    return flood;
}

}  // namespace

int main(int argc, char** argv) {
    const int packets = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
    const std::string korean = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // CP949 greeting
    const std::string callBody = "2|0212345678|0311112222|S|";
    const std::string smsBody = "1|0212345678|0311112222|" + korean + "|";
    const std::string stamp = "[2026-12-09 10:00:00]0212345678 ";
    const auto packetText = [](const std::string& kind, const std::string& body) {
        std::string packet = ServerPacket(kind, "R", body);
        return packet.substr(0, packet.size() - 2);
    };
    const Kind kinds[] = {
        {"CALL", ServerPacket("CALL", "S", callBody), Event("call|success|0212345678|0311112222|calling|S||"),
         {stamp + "REAL DATA[1] => " + packetText("CALL", callBody) + "\r\n",
          stamp + "PACKET => " + packetText("CALL", callBody) + "\rMsgPacket:LINK\rMsgKind:CALL      \rMsgResult:S" +
              "\rMsgSize:0026\rMsgBody:" + callBody + "\r\n",
          stamp + "CTI READ => " + callBody + "\rSubKind:2\rPhoneNo:0212345678\r\n",
          stamp + "CALL => PhoneNo:0212345678\rReadPhone:0311112222\rSendReadKind:S(R:InboundCall,S:OutboundCall)\r\n",
          stamp + "SEND_MSG => |SMSG|call|success|0212345678|0311112222|calling|S||\r\n"}},
        {"SMS", ServerPacket("SMS", "R", smsBody), Event("sms|success|0212345678|0311112222|read|" + korean + "|"),
         {stamp + "REAL DATA[1] => " + packetText("SMS", smsBody) + "\r\n",
          stamp + "PACKET => " + packetText("SMS", smsBody) + "\rMsgPacket:LINK\rMsgKind:SMS       \rMsgResult:R" +
              "\rMsgSize:0034\rMsgBody:" + smsBody + "\r\n",
          stamp + "CTI READ => " + smsBody + "\rSubKind:1\rPhoneNo:0212345678\r\n",
          stamp + " => ReadPhone:0311112222\rMsgResult:R(R:Read,S:Send)SmsMsg:" + korean + "\r\n",
          stamp + "CTI SEND => |LINK|SMS       |S|0026|S|0212345678|0311112222||\r\n",
          stamp + "SEND_MSG => |SMSG|sms|success|0212345678|0311112222|read|" + korean + "|\r\n"}},
    };

    for (const Kind& kind : kinds) {
        TestHost floorHost;
        TempFolder floorFolder;
        const double floorRate = packets / FloorSeconds(floorHost, kind, packets, floorFolder.path());
        const Flood flood = RunFlood(kind, packets);
        const double rate = packets / flood.drainSeconds;
        std::printf("%d %s packets: drained in %.2f s, %.0f events/s (floor %.0f events/s, %.0f %%); "
                    "host timer's longest gap %.0f ms; DIAL mid-flood to the server %.0f ms\n",
                    packets, kind.name, flood.drainSeconds, rate, floorRate, 100 * rate / floorRate,
                    flood.longestTickGapMs, flood.dialMs);
        const std::string name = std::string("Flood of ") + kind.name + " packets";
        veltrane::bench::TableRow(name.c_str(), rate, "events/s", "floor: callback, WM_COPYDATA, log lines",
                                  floorRate);
        veltrane::bench::TableRow((name + ", host timer's longest gap").c_str(), flood.longestTickGapMs, "ms",
                                  "the timer's period", 10);
        veltrane::bench::TableRow((name + ", DIAL mid-flood to the server").c_str(), flood.dialMs, "ms",
                                  "the bar", 100);
    }
    return 0;
}
