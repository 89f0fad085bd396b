// What TLS costs the CTI link, against two CTI simulators of the same
// build, one speaking TLS and one plain TCP (bench/run.sh starts them):
//   - connecting: from the host's call that opens a link that is down to
//     "conn|connect||" (TCP, plus the handshake and the certificate check
//     over TLS);
//   - a server packet: from the control command that makes the simulator
//     push an inbound CALL to the host callback with its event.
// Links of both kinds take turns; prints p50 and p99 of each, TLS beside
// plain TCP.
//
//   xvfb-run -a cmake/wine-run.sh build/x64/bench/bench_tls.exe PLAIN_PORT PLAIN_CONTROL
//       TLS_PORT TLS_CONTROL FINGERPRINT [rounds]
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/cti_fixture.h"
#include "table_row.h"

using namespace veltrane::wine;

namespace {

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Milliseconds(LONGLONG ticks) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(ticks) * 1e3 / static_cast<double>(frequency);
}

double Quantile(std::vector<double> samples, double q) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(q * (samples.size() - 1))];
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_tls: %s\n", what);
    std::exit(2);
}

// The simulator's control port: one command a line, answered up to a line ".".
class Control {
public:
    explicit Control(int port) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        address.sin_port = ::htons(static_cast<u_short>(port));
        if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            Fail("no simulator on the control port");
    }
    ~Control() { ::closesocket(socket_); }
    void send(const std::string& command) {
        const std::string line = command + "\n";
        ::send(socket_, line.data(), static_cast<int>(line.size()), 0);
    }
    std::string answer() {
        std::string text;
        char chunk[256];
        while (text.find("\n.\n") == std::string::npos) {
            const int n = ::recv(socket_, chunk, sizeof chunk, 0);
            if (n <= 0) Fail("the simulator closed its control port");
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

struct Figures {
    std::vector<double> connectMs;
    std::vector<double> packetUs;
};

// One link of each mode after the other, so that both meet the same
// machine; the figures of each mode go to its own Figures.
class Bench {
public:
    explicit Bench(TestHost& host) : host_(host) {
        host_.onCallback = [this](const std::string& text) {
            if (!awaited_.empty() && text == awaited_) arrived_ = Now();
        };
    }
    ~Bench() { host_.onCallback = nullptr; }

    // DLL_START, then `reconnections` times: the server drops the link and
    // the host asks for it again; then `packets` inbound calls pushed on it.
    void round(const std::wstring& base, int control, int reconnections, int packets, Figures& figures) {
        host_.start(base);
        waitFor("conn|connect||");
        Control simulator(control);
        for (int i = 0; i < reconnections; ++i) {
            simulator.send("drop");
            simulator.answer();
            waitFor("conn|disconnect||");
            // A host call on a link that is down opens it at once, without the pause after a loss.
            const LONGLONG asked = Now();
            host_.call("CERTIFICATION_NO", {L"0212345678"});
            figures.connectMs.push_back(Milliseconds(waitFor("conn|connect||") - asked));
        }
        for (int i = 0; i < packets; ++i) {
            // Lets TCP acknowledge what went before (the handshake, the last
            // call), so that no packet waits behind Nagle in the simulator.
            host_.pump(std::chrono::milliseconds(50));
            const LONGLONG sent = Now();
            simulator.send("ring 0311112222");
            figures.packetUs.push_back(Milliseconds(waitFor("call|success|0212345678|0311112222|dialing|R||") - sent) *
                                       1000);
            simulator.answer();
            simulator.send("hangup");
            waitFor("call|success|0212345678|0311112222|callfinish|R||");
            simulator.answer();
        }
    }

private:
    LONGLONG waitFor(const std::string& event) {
        arrived_ = 0;
        awaited_ = Event(event);
        if (!host_.waitFor([&] { return arrived_ != 0; }, std::chrono::seconds(20))) Fail(("no " + event).c_str());
        awaited_.clear();
        return arrived_;
    }

    TestHost& host_;
    std::string awaited_;
    LONGLONG arrived_ = 0;
};

// A base folder whose config.ini names the simulator, with TLS when a
// fingerprint is given.
void Configure(const TempFolder& base, int port, const std::string& fingerprint) {
    WriteConfig(base.path(), "127.0.0.1", port);
    if (!fingerprint.empty()) {
        WriteIni(base.path() + L"config.ini", "Connect", "CTI_TLS", "Y");
        WriteIni(base.path() + L"config.ini", "Connect", "CTI_TLS_CERT_SHA256", fingerprint);
    }
    WriteIni(base.path() + L"config_user.ini", "MyInfo", "PHONE_NO", "0212345678");
    WriteIni(base.path() + L"config_user.ini", "Connect", "IS_POPUP_SHOW", "N");
}

void Print(const char* mode, const Figures& figures) {
    std::printf("%-6s link opened to connected p50 %7.2f ms p99 %7.2f ms   CALL packet to event p50 %7.1f us p99 %7.1f us\n",
                mode, Quantile(figures.connectMs, 0.5), Quantile(figures.connectMs, 0.99),
                Quantile(figures.packetUs, 0.5), Quantile(figures.packetUs, 0.99));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) Fail("usage: bench_tls PLAIN_PORT PLAIN_CONTROL TLS_PORT TLS_CONTROL FINGERPRINT [rounds]");
    // Each round: a link of each kind, reopened 5 times, carrying 10 packets.
    const int rounds = argc > 6 ? std::max(2, std::atoi(argv[6])) : 20;
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);

    TestHost host;
    TempFolder plainBase, tlsBase;
    Configure(plainBase, std::atoi(argv[1]), "");
    Configure(tlsBase, std::atoi(argv[3]), argv[5]);
    Figures plain, tls;
    {
        Bench bench(host);
        for (int i = 0; i < rounds; ++i) {
            bench.round(plainBase.path(), std::atoi(argv[2]), 5, 10, plain);
            bench.round(tlsBase.path(), std::atoi(argv[4]), 5, 10, tls);
        }
    }
    Print("plain", plain);
    Print("TLS", tls);
    for (double q : {0.50, 0.99}) {
        const std::string p = q < 0.9 ? "p50" : "p99";
        veltrane::bench::TableRow(("Link opened to its connect event over TLS, " + p).c_str(), Quantile(tls.connectMs, q),
                                  "ms", "plain TCP to the same simulator", Quantile(plain.connectMs, q));
    }
    for (double q : {0.50, 0.99}) {
        const std::string p = q < 0.9 ? "p50" : "p99";
        veltrane::bench::TableRow(("CALL packet to host event over TLS, " + p).c_str(), Quantile(tls.packetUs, q),
                                  "us", "plain TCP to the same simulator", Quantile(plain.packetUs, q));
    }
    return 0;
}
