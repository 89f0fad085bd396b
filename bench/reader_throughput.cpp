// Reader and dispatch throughput of the CTI link, natively: 100,000 mixed
// server packets fed in 16 KiB reads, as the socket delivers them, beside a
// plain memchr scan of the same bytes for the line ends.
//
//   build/native/bench/bench_reader_throughput
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/packet.h"
#include "link/link.h"
#include "protocol/reader.h"
#include "session/session.h"
#include "table_row.h"

using namespace veltrane;

namespace {

// An OS that does nothing: the figures are the core's own work.
struct NullOs final : Clock, IniStore, FileSystem, HostLink, Desktop, Timer, Trigger, CtiSocket, CommandServer,
                      Browser, DefaultBrowser, SystemInfo, Random {
    LocalTime now() override { return {2026, 12, 9, 10, 0, 0}; }
    std::int64_t elapsedMs() override { return 0; }
    double unit() override { return 0.5; }
    std::string read(const std::string&, const std::string&, const std::string&, const std::string& f) override { return f; }
    bool write(const std::string&, const std::string&, const std::string&, const std::string&) override { return true; }
    bool createFolders(const std::string&) override { return true; }
    bool appendToFile(const std::string&, std::string_view bytes) override { logged += bytes.size(); return true; }
    void closeFiles() override {}
    Outcome callback(const std::string&) override {
        ++events;
        return {};
    }
    Outcome copyData(const std::string&) override { return {}; }
    void findHostWindow(const std::string&) override {}
    void showAlert(const AlertContent&) override {}
    void start(std::int32_t) override {}
    void stop() override {}
    bool active() const override { return false; }
    void request() override {}
    bool open(const std::string&, std::int32_t) override { return true; }
    void close() override {}
    SocketState state() const override { return SocketState::Connected; }
    bool send(std::string_view) override { return true; }
    void holdReading(bool) override {}
    void batchSends(bool) override {}
    std::string remoteAddress() const override { return "127.0.0.1"; }
    std::int32_t remotePort() const override { return 2209; }
    bool listening() const override { return true; }
    Outcome listen(std::int32_t) override { return {}; }
    bool post(const std::string&, const std::string&) override { return true; }
    unsigned ansiCodePage() override { return 949; }
    std::uint64_t uniqueNumber() override { return 0; }
    Outcome writePage(const std::string&, std::string_view) override { return {}; }
    Outcome openPage(const std::string&) override { return {}; }
    void removePage(const std::string&) override {}
    void removePages(const std::string&, std::int32_t) override {}
    std::string macAddress() override { return "00-1A-2B-3C-4D-5E"; }
    std::optional<std::string> ansiToUtf8(std::string_view bytes) override { return std::string(bytes); }
    void endProcess(unsigned) override {}

    std::size_t logged = 0;
    std::size_t events = 0;
};

std::string Packet(const char* kind, const char* marker, const std::string& body) {
    return cti::BuildPacket(kind, marker, body) + "\r\n";
}

std::string MixedPackets(int count) {
    const std::string korean = "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4";  // CP949 greeting
    const std::string kinds[] = {
        Packet("CALL", "S", "2|0212345678|0311112222|S|"),
        Packet("SMS", "R", "1|0212345678|0311112222|" + korean + " 10:00|"),
        Packet("INFO", "S", "I|" + korean + "|"),
        Packet("CONNCT", "S", "R|0212345678|"),
        Packet("BOOKED", "S", "1|0212345678|01012345678|" + korean + "|"),
        Packet("CALL", "S", "3|0212345678|0311112222|R|"),
    };
    std::string all;
    for (int i = 0; i < count; ++i) all += kinds[i % 6];
    return all;
}

class CountingSink final : public cti::PacketSink {
public:
    void linkAlive() override {}
    void packet(const cti::Frame&) override { ++packets; }
    void passedOver(const cti::PassedOver&) override {}
    std::size_t packets = 0;
};

template <typename Work>
double BestSeconds(Work&& work) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

constexpr std::size_t kRead = 16384;

void FeedInReads(const std::string& bytes, cti::CtiReader& reader, cti::PacketSink& sink) {
    for (std::size_t at = 0; at < bytes.size(); at += kRead)
        reader.read(std::string_view(bytes).substr(at, kRead), sink);
}

// As the DLL does: each read handled by the link, then the turn's host
// events delivered.
void FeedTheLink(const std::string& bytes, session::Session& session) {
    for (std::size_t at = 0; at < bytes.size(); at += kRead) {
        cti::CTISocketRead(session.link, std::string_view(bytes).substr(at, kRead));
        session.endTurn();
    }
}

}  // namespace

int main() {
    constexpr int kPackets = 100000;
    const std::string bytes = MixedPackets(kPackets);
    const double megabytes = static_cast<double>(bytes.size()) / 1e6;

    std::size_t lines = 0;
    const double scan = BestSeconds([&] {
        lines = 0;
        for (const char* at = bytes.data(); (at = static_cast<const char*>(std::memchr(at, '\n', bytes.data() + bytes.size() - at))); ++at)
            ++lines;
    });

    CountingSink counted;
    const double read = BestSeconds([&] {
        cti::CtiReader reader;
        counted.packets = 0;
        FeedInReads(bytes, reader, counted);
    });

    NullOs os;
    Platform platform{os, os, os, os, os, os, os, os, os, os, os, os, os, os, os, os};
    session::Session session(platform);
    const double full = BestSeconds([&] { FeedTheLink(bytes, session); });

    std::printf("%d packets, %.1f MB, in 16 KiB reads (best of 5)\n", kPackets, megabytes);
    auto row = [&](const char* what, double seconds, std::size_t handled) {
        std::printf("%-34s %9.0f packets/s %8.1f MB/s  %6.1fx the memchr scan\n", what, handled / seconds,
                    megabytes / seconds, seconds / scan);
    };
    row("memchr scan for line ends", scan, lines);
    row("reader (packets cut, not handled)", read, counted.packets);
    row("reader + link + dispatch + delivery", full, counted.packets);
    std::printf("host events delivered: %zu\n", os.events / 5);

    const double scanRate = lines / scan;
    bench::TableRow("CTI reader, 100,000 mixed packets", counted.packets / read / 1e3,
                    "kpackets/s", "memchr scan of the same bytes", scanRate / 1e3);
    bench::TableRow("CTI reader + dispatch", counted.packets / full / 1e3, "kpackets/s",
                    "memchr scan of the same bytes", scanRate / 1e3);
    bench::TableRow("CTI reader + dispatch", megabytes / full, "MB/s", "memchr scan of the same bytes",
                    megabytes / scan);
    return 0;
}
