// What the COM object adds to a host event: from the fake server's write of
// a CALL packet to the flat callback and, in the same run and for the same
// packet, to HostEvent in a C++ sink of Veltrane.Phone; then how soon a
// WaitEvent blocked in the thread's message loop returns after the write.
// Prints p50 and p99 of each. Registers the object for the machine while it
// runs (the Wine prefix's registry) and removes it again.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_com_latency.exe [packets]
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "com/com_client.h"
#include "harness/cti_fixture.h"
#include "bench_host.h"
#include "table_row.h"

using namespace veltrane::wine;

namespace {

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Microseconds(LONGLONG ticks) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(f.QuadPart);
}

double Quantile(std::vector<double> samples, double q) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(q * (samples.size() - 1))];
}

void Report(const char* what, const std::vector<double>& samples) {
    std::printf("%-50s n=%zu  p50 %8.1f us  p99 %8.1f us\n", what, samples.size(), Quantile(samples, 0.5),
                Quantile(samples, 0.99));
}

void Fail(const char* why) {
    std::fprintf(stderr, "%s\n", why);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    const int packets = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    Apartment apartment;
    MachineRegistration registration;
    if (registration.result() != S_OK) Fail("Veltrane.Phone could not be registered");

    // One process, both ways: the flat callback and an object with a sink.
    veltrane::bench::BenchHost bench;
    TestHost& host = bench.host;
    TempFolder& base = bench.base;
    FakeCtiServer& server = bench.server;
    Ref<IDispatch> object;
    if (CreateByProgId(L"Veltrane.Phone", object) != S_OK) Fail("Veltrane.Phone could not be made");
    Automation phone(std::move(object));
    EventSink sink;
    if (sink.connect(phone.object()) != S_OK) Fail("the sink could not connect");
    host.start(base.path());
    if (!host.waitForEvent(Event("conn|connect||")) || !host.waitFor([&] { return server.clientConnected(); }))
        Fail("the library did not connect");
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));

    const std::string packet = ServerPacket("CALL", "S", "2|0212345678|0311112222|S|");
    std::atomic<LONGLONG> written{0};
    std::vector<double> callback, hostEvent, waitEvent;
    host.onCallback = [&](const std::string& text) {
        if (text.rfind("|SMSG|call|", 0) == 0) callback.push_back(Microseconds(Now() - written.load()));
    };
    sink.onEvent = [&](const EventSink::Event& event) {
        if (event.id == 1 && event.texts[0].rfind(L"|SMSG|call|", 0) == 0)
            hostEvent.push_back(Microseconds(Now() - written.load()));
    };
    for (int i = 0; i < packets; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        written = Now();
        server.send(packet);
        if (!PumpUntil([&] { return hostEvent.size() > static_cast<std::size_t>(i); })) Fail("no HostEvent");
    }
    sink.onEvent = nullptr;
    sink.disconnect();
    host.onCallback = nullptr;

    // A script's loop: WaitEvent blocked, a packet written by another thread.
    phone.call(L"WaitEvent", {Number(0)});
    while (!phone.call(L"WaitEvent", {Number(0)}).value.text().empty()) {
    }
    for (int i = 0; i < packets; ++i) {
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            written = Now();
            server.send(packet);
        });
        const std::wstring text = phone.call(L"WaitEvent", {Number(5000)}).value.text();
        waitEvent.push_back(Microseconds(Now() - written.load()));
        writer.join();
        if (text.empty()) Fail("WaitEvent timed out");
    }

    Report("CALL packet write -> flat callback", callback);
    Report("CALL packet write -> HostEvent in a C++ sink", hostEvent);
    Report("CALL packet write -> WaitEvent returns", waitEvent);
    for (double q : {0.50, 0.99}) {
        const char* p = q < 0.9 ? "p50" : "p99";
        veltrane::bench::TableRow((std::string("CALL packet to HostEvent, ") + p).c_str(), Quantile(hostEvent, q), "us",
                                  "flat callback, same packets", Quantile(callback, q));
        veltrane::bench::TableRow((std::string("CALL packet to WaitEvent's return, ") + p).c_str(),
                                  Quantile(waitEvent, q), "us", "flat callback, same run", Quantile(callback, q));
    }
    return 0;
}
