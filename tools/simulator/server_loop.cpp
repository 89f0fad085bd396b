#include "simulator/server_loop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "common/encoding.h"
#include "net/http.h"
#include "net/socket.h"
#include "net/tls_server.h"
#include "simulator/simulator.h"
#include "simulator/stdin_lines.h"

namespace veltrane::tools {

namespace {

constexpr int kLongestWaitMs = 50;  // stdin commands are polled this often
constexpr std::size_t kLargestRequest = 1 << 20;

Millis SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

// Cuts complete lines (LF, optional CR) off a buffer.
std::vector<std::string> TakeLines(std::string& buffer) {
    std::vector<std::string> lines;
    for (auto end = buffer.find('\n'); end != std::string::npos; end = buffer.find('\n')) {
        std::string line = buffer.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        buffer.erase(0, end + 1);
    }
    return lines;
}

struct Peer {
    net::Socket socket;
    std::string buffer;
};

// A client of the CTI port; with --tls-cert it speaks TLS, and the
// simulator meets it once its handshake is done.
struct Client {
    net::Socket socket;
    std::unique_ptr<net::TlsServerSession> tls;
    bool ready = true;
    std::string peer;

    bool sendAll(std::string_view bytes) const { return tls ? tls->sendAll(bytes) : socket.sendAll(bytes); }
    net::Received receive(std::string& into) const { return tls ? tls->receive(into) : socket.receive(into); }
};

class Program : public SimulatorOutput {
public:
    Program(const SimulatorOptions& options, WireEncoding encoding) : options_(options), encoding_(encoding) {}

    int run();

    void send(ConnectionId id, const std::string& bytes) override {
        const auto client = clients_.find(id);
        if (client != clients_.end() && !client->second.sendAll(bytes)) toClose_.insert(id);
    }
    void close(ConnectionId id) override { toClose_.insert(id); }
    void reset(ConnectionId id) override {
        toReset_.insert(id);
        toClose_.insert(id);
    }
    void refuse(bool refusing) override { refusing_ = refusing; }
    void quit() override { quit_ = true; }
    void log(const std::string& line) override { print(encoding_.fromWire(line)); }

private:
    ServerRules wireRules() const;
    void print(const std::string& utf8Line);
    bool openListener(std::string& error);
    void writePortsFile();
    void acceptClient();
    void readClient(ConnectionId id, Client& client);
    void serveControl(Peer& peer, bool& done);
    void serveWeb(Peer& peer, bool& done);
    std::string runCommand(const std::string& utf8Line, const std::string& source);
    void closePending();

    const SimulatorOptions& options_;
    WireEncoding encoding_;
    std::optional<Simulator> simulator_;  // made once the ports are known
    net::Socket listener_, controlListener_, webListener_;
    std::uint16_t ctiPort_ = 0;
    std::shared_ptr<net::TlsServerContext> tls_;  // with --tls-cert
    std::map<ConnectionId, Client> clients_;
    std::vector<Peer> controls_, webPeers_;
    std::set<ConnectionId> toClose_;
    std::set<ConnectionId> toReset_;
    StdinLines stdin_;
    ConnectionId lastId_ = 0;
    bool refusing_ = false;
    bool quit_ = false;
};

ServerRules Program::wireRules() const {
    ServerRules rules = options_.rules;
    if (!options_.webAddressGiven && webListener_.valid())
        rules.webAddress = "http://127.0.0.1:" + std::to_string(webListener_.localPort()) + "/veltrane/";
    for (std::string* text : {&rules.phone, &rules.certificationNo, &rules.loginId, &rules.password, &rules.webAddress})
        *text = encoding_.toWire(*text);
    rules.smsFailures.clear();
    for (const auto& [number, code] : options_.rules.smsFailures) rules.smsFailures[encoding_.toWire(number)] = code;
    return rules;
}

void Program::print(const std::string& utf8Line) {
    // Lines after the first of a longer text are indented under the stamp.
    std::string line = TimeStamp() + " ";
    for (char c : utf8Line) line += c == '\n' ? std::string("\n             ") : std::string(1, c);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

bool Program::openListener(std::string& error) {
    listener_ = net::Socket::Listen(options_.bindAddress, ctiPort_ ? ctiPort_ : options_.port, error);
    if (!listener_.valid()) return false;
    ctiPort_ = listener_.localPort();
    return true;
}

void Program::writePortsFile() {
    if (options_.portsFile.empty()) return;
    // Written beside and renamed, so that a reader never sees half of it.
    const std::string partial = options_.portsFile + ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file << "cti=" << ctiPort_ << "\n";
        if (controlListener_.valid()) file << "control=" << controlListener_.localPort() << "\n";
        if (webListener_.valid()) file << "web=" << webListener_.localPort() << "\n";
    }
    std::error_code ignored;
    std::filesystem::rename(partial, options_.portsFile, ignored);
}

void Program::acceptClient() {
    net::Socket socket = listener_.accept();
    if (!socket.valid()) return;
    const ConnectionId id = ++lastId_;
    Client client{std::move(socket), nullptr, true, {}};
    client.peer = client.socket.peerAddress();
    if (tls_) {
        client.tls = std::make_unique<net::TlsServerSession>(tls_, client.socket);
        client.ready = false;
    }
    const Client& stored = clients_.emplace(id, std::move(client)).first->second;
    if (stored.ready) simulator_->connected(id, stored.peer);
}

void Program::readClient(ConnectionId id, Client& client) {
    if (!client.ready) {
        const auto step = client.tls->handshake();
        if (step == net::TlsServerSession::Handshake::Pending) return;
        if (step == net::TlsServerSession::Handshake::Failed) {
            print("#" + std::to_string(id) + " TLS handshake with " + client.peer + " failed: " + client.tls->error());
            toClose_.insert(id);
            return;
        }
        client.ready = true;
        print("#" + std::to_string(id) + " TLS with " + client.peer + ": " + client.tls->description());
        simulator_->connected(id, client.peer);
        if (toClose_.count(id)) return;
        // Bytes that came with the handshake's last message wait inside the session.
    }
    std::string bytes;
    if (client.receive(bytes) != net::Received::Data) {
        toClose_.insert(id);
        return;
    }
    if (!bytes.empty()) simulator_->received(id, bytes, SteadyNow());
}

void Program::serveControl(Peer& peer, bool& done) {
    if (peer.socket.receive(peer.buffer) != net::Received::Data) {
        done = true;
        return;
    }
    for (const std::string& line : TakeLines(peer.buffer)) {
        const std::string answer = runCommand(line, "control");
        if (!peer.socket.sendAll(answer + "\n.\n")) done = true;
    }
    if (peer.buffer.size() > kLargestRequest) done = true;
}

void Program::serveWeb(Peer& peer, bool& done) {
    if (peer.socket.receive(peer.buffer) != net::Received::Data) {
        done = true;
        return;
    }
    net::HttpRequest request;
    const net::HttpParse parse = net::ParseHttpRequest(peer.buffer, request);
    if (parse == net::HttpParse::Incomplete && peer.buffer.size() < kLargestRequest) return;
    done = true;
    if (parse != net::HttpParse::Complete) {
        print("web !! unreadable request");
        return;
    }
    simulator_->webRequest(request.method, request.target, request.body, request.headers);
    std::string page = encoding_.toWire("<html><body>Veltrane simulator: " + request.method +
                                        " received</body></html>");
    if (request.method == "GET" && !options_.webPage.empty()) {
        std::ifstream file(options_.webPage, std::ios::binary);
        page.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    peer.socket.sendAll("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                        std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
}

std::string Program::runCommand(const std::string& utf8Line, const std::string& source) {
    // A check that does not hold yet is usually asked again and again
    // (sim-until); only its outcome is worth a line.
    const bool check = utf8Line.rfind("expect-", 0) == 0;
    if (!check) print(source + "> " + utf8Line);
    const std::string answer = encoding_.fromWire(simulator_->command(encoding_.toWire(utf8Line)));
    if (check && answer.rfind("error", 0) == 0) return answer;
    if (check) print(source + "> " + utf8Line);
    print(source + "< " + answer);
    return answer;
}

void Program::closePending() {
    while (!toClose_.empty()) {
        const ConnectionId id = *toClose_.begin();
        toClose_.erase(toClose_.begin());
        if (const auto client = clients_.find(id); client != clients_.end()) {
            if (toReset_.count(id))
                client->second.socket.abort();
            else if (client->second.tls && client->second.ready)
                client->second.tls->closeNotify();
        }
        toReset_.erase(id);
        if (clients_.erase(id)) simulator_->disconnected(id);
    }
}

int Program::run() {
    std::string error;
    if (!options_.tlsCertificate.empty()) {
        tls_ = net::TlsServerContext::Load(options_.tlsCertificate, options_.tlsKey, error);
        if (!tls_) {
            std::fprintf(stderr, "cti-simulator: %s\n", error.c_str());
            return 2;
        }
    }
    if (!openListener(error)) {
        std::fprintf(stderr, "cti-simulator: %s\n", error.c_str());
        return 2;
    }
    if (options_.controlPort) {
        controlListener_ = net::Socket::Listen("127.0.0.1", *options_.controlPort, error);
        if (!controlListener_.valid()) {
            std::fprintf(stderr, "cti-simulator: control port: %s\n", error.c_str());
            return 2;
        }
    }
    if (options_.webPort) {
        webListener_ = net::Socket::Listen("127.0.0.1", *options_.webPort, error);
        if (!webListener_.valid()) {
            std::fprintf(stderr, "cti-simulator: web port: %s\n", error.c_str());
            return 2;
        }
    }
    const ServerRules rules = wireRules();
    simulator_.emplace(rules, *this);
    log("** subscriber " + rules.phone + ", certification number " + rules.certificationNo + ", login " +
        rules.loginId + " / " + rules.password + ", web address " + rules.webAddress);
    print("** CTI link on " + options_.bindAddress + ":" + std::to_string(ctiPort_) + (tls_ ? " (TLS)" : ""));
    if (controlListener_.valid()) print("** commands on 127.0.0.1:" + std::to_string(controlListener_.localPort()));
    if (webListener_.valid()) print("** web address served on 127.0.0.1:" + std::to_string(webListener_.localPort()));
    writePortsFile();
    if (options_.readStdin) stdin_.start();

    while (!quit_) {
        const Millis now = SteadyNow();
        simulator_->advance(now);
        closePending();
        int waitMs = kLongestWaitMs;
        if (const auto due = simulator_->nextDue()) waitMs = static_cast<int>(std::clamp<Millis>(*due - now, 0, waitMs));

        std::vector<const net::Socket*> watched = {&listener_, &controlListener_, &webListener_};
        for (const auto& [id, client] : clients_) watched.push_back(&client.socket);
        for (const Peer& peer : controls_) watched.push_back(&peer.socket);
        for (const Peer& peer : webPeers_) watched.push_back(&peer.socket);
        const std::vector<bool> ready = net::WaitReadable(watched, waitMs);

        std::size_t at = 3;
        std::vector<ConnectionId> readable;
        for (const auto& [id, client] : clients_)
            if (ready[at++]) readable.push_back(id);
        std::vector<std::size_t> controlReady, webReady;
        for (std::size_t i = 0; i < controls_.size(); ++i)
            if (ready[at++]) controlReady.push_back(i);
        for (std::size_t i = 0; i < webPeers_.size(); ++i)
            if (ready[at++]) webReady.push_back(i);

        for (ConnectionId id : readable)
            if (const auto client = clients_.find(id); client != clients_.end() && !toClose_.count(id))
                readClient(id, client->second);
        for (auto i = controlReady.rbegin(); i != controlReady.rend(); ++i) {
            bool done = false;
            serveControl(controls_[*i], done);
            if (done) controls_.erase(controls_.begin() + static_cast<std::ptrdiff_t>(*i));
        }
        for (auto i = webReady.rbegin(); i != webReady.rend(); ++i) {
            bool done = false;
            serveWeb(webPeers_[*i], done);
            if (done) webPeers_.erase(webPeers_.begin() + static_cast<std::ptrdiff_t>(*i));
        }
        if (ready[0]) acceptClient();
        if (ready[1])
            if (net::Socket peer = controlListener_.accept(); peer.valid()) controls_.push_back(Peer{std::move(peer), {}});
        if (ready[2])
            if (net::Socket peer = webListener_.accept(); peer.valid()) webPeers_.push_back(Peer{std::move(peer), {}});
        while (const auto line = stdin_.take()) runCommand(*line, "stdin");

        // Refusing closes the CTI port, so that connection attempts are
        // refused outright; listening again reopens the same port.
        if (refusing_ && listener_.valid()) {
            listener_.close();
        } else if (!refusing_ && !listener_.valid() && !openListener(error)) {
            print("** cannot listen again: " + error);
        }
    }
    closePending();
    return 0;
}

}  // namespace

int RunSimulator(const SimulatorOptions& options) {
    const auto encoding = WireEncoding::Named(options.encoding);
    if (!encoding) {
        std::fprintf(stderr, "cti-simulator: unknown encoding %s\n", options.encoding.c_str());
        return 2;
    }
    net::NetworkSession network;
    if (!network.ok()) {
        std::fprintf(stderr, "cti-simulator: sockets are not available\n");
        return 2;
    }
    Program program(options, *encoding);
    return program.run();
}

}  // namespace veltrane::tools
