// How long a server packet takes to become a host event: from the fake
// server's write of a CALL packet to the host callback that receives its
// event, through the real veltrane.dll, against raw loopback TCP measured in
// the same run. Prints p50 and p99 of each.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_cti_latency.exe [packets]
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "harness/cti_fixture.h"
#include "bench_host.h"
#include "table_row.h"

using namespace veltrane::wine;

namespace {

double Microseconds(LONGLONG ticks) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency);
}

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Quantile(const std::vector<double>& sorted, double q) {
    return sorted[static_cast<std::size_t>(q * (sorted.size() - 1))];
}

std::vector<double> Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s n=%zu  p50 %8.1f us  p99 %8.1f us  max %8.1f us\n", what, samples.size(),
                Quantile(samples, 0.50), Quantile(samples, 0.99), samples.back());
    return samples;
}

// Lets the receiving side go back to waiting before the next write.
void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// Server write to host callback, through the DLL. The host thread waits in
// its message loop as a host program does.
std::vector<double> ThroughTheLibrary(int packets) {
    veltrane::bench::BenchHost bench;
    bench.startConnected();
    TestHost& host = bench.host;
    FakeCtiServer& server = bench.server;

    const std::string packet = ServerPacket("CALL", "S", "2|0212345678|0311112222|S|");
    std::vector<double> samples;
    std::atomic<LONGLONG> written{0};
    std::atomic<int> received{0};
    host.onCallback = [&](const std::string& text) {
        if (text.rfind("|SMSG|call|", 0) != 0) return;
        samples.push_back(Microseconds(Now() - written.load()));
        ++received;
    };
    std::thread writer([&] {
        for (int i = 0; i < packets; ++i) {
            while (received.load() < i) std::this_thread::yield();
            Pause();
            written = Now();
            server.send(packet);
        }
    });
    while (received.load() < packets) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    writer.join();
    return samples;
}

struct SocketPair {
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
    SocketPair() {
        SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        server = ::accept(listener, nullptr, nullptr);
        ::closesocket(listener);
        BOOL on = TRUE;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    ~SocketPair() {
        ::closesocket(client);
        ::closesocket(server);
    }
};

bool ReceiveAll(SOCKET s, char* data, int size) {
    for (int got = 0; got < size;) {
        const int n = ::recv(s, data + got, size - got, 0);
        if (n <= 0) return false;
        got += n;
    }
    return true;
}

// One write on loopback to the return of a blocking recv on another thread.
std::vector<double> RawOneWay(int packets, const std::string& packet) {
    SocketPair pair;
    std::vector<double> samples;
    std::atomic<LONGLONG> written{0};
    std::atomic<int> received{0};
    std::thread reader([&] {
        std::string buffer(packet.size(), '\0');
        for (int i = 0; i < packets; ++i) {
            if (!ReceiveAll(pair.client, buffer.data(), static_cast<int>(buffer.size()))) return;
            samples.push_back(Microseconds(Now() - written.load()));
            ++received;
        }
    });
    for (int i = 0; i < packets; ++i) {
        while (received.load() < i) std::this_thread::yield();
        Pause();
        written = Now();
        ::send(pair.server, packet.data(), static_cast<int>(packet.size()), 0);
    }
    reader.join();
    return samples;
}

// A packet there and back, echoed by another thread.
std::vector<double> RawPingPong(int packets, const std::string& packet) {
    SocketPair pair;
    std::thread echo([&] {
        std::string buffer(packet.size(), '\0');
        for (int i = 0; i < packets; ++i) {
            if (!ReceiveAll(pair.server, buffer.data(), static_cast<int>(buffer.size()))) return;
            ::send(pair.server, buffer.data(), static_cast<int>(buffer.size()), 0);
        }
    });
    std::vector<double> samples;
    std::string buffer(packet.size(), '\0');
    for (int i = 0; i < packets; ++i) {
        Pause();
        const LONGLONG sent = Now();
        ::send(pair.client, packet.data(), static_cast<int>(packet.size()), 0);
        if (!ReceiveAll(pair.client, buffer.data(), static_cast<int>(buffer.size()))) break;
        samples.push_back(Microseconds(Now() - sent));
    }
    echo.join();
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    const int packets = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    const std::string packet = ServerPacket("CALL", "S", "2|0212345678|0311112222|S|");

    const auto library = Report("CALL packet write -> host callback (DLL)", ThroughTheLibrary(packets));
    const auto oneWay = Report("raw loopback TCP write -> recv (one way)", RawOneWay(packets, packet));
    const auto pingPong = Report("raw loopback TCP ping-pong (round trip)", RawPingPong(packets, packet));
    for (double q : {0.50, 0.99}) {
        const std::string figure = std::string("CALL packet to host event, p") + (q < 0.9 ? "50" : "99");
        veltrane::bench::TableRow(figure.c_str(), Quantile(library, q), "us", "raw loopback TCP one way",
                                  Quantile(oneWay, q));
        veltrane::bench::TableRow(figure.c_str(), Quantile(library, q), "us", "raw loopback TCP ping-pong",
                                  Quantile(pingPong, q));
    }
    return 0;
}
