// Room in one select() for every connection, the two listeners and the
// wake-up socket; Winsock takes the set's size from this, defined before
// its header.
#define FD_SETSIZE 128

#include "win32/http_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string_view>
#include <utility>

#include "web/http_request.h"

namespace veltrane::win32 {

using winsupport::UniqueSocket;

namespace {
constexpr std::size_t kMaxDrainBytes = 64 * 1024;
constexpr int kOwnSockets = 3;  // the listeners and the wake-up socket
// After select() itself failed: keeps a lasting fault from spinning.
constexpr DWORD kSelectErrorPauseMs = 200;

bool IsResetOrClosed(int error) {
    switch (error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case WSAENETRESET:
    case WSAETIMEDOUT:
        return true;
    default:
        return false;
    }
}

bool SetNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

std::string SocketErrorText(const char* what, const std::string& address, std::int32_t port, int error) {
    return std::string(what) + " " + address + ":" + std::to_string(port) + " failed (error " +
           std::to_string(error) + ")";
}

struct ListenFailure {
    int code = 0;
    std::string text;
};

// The system has no IPv6, or no [::1]; unlike a port another program holds.
bool IsWithoutIpv6(int error) {
    return error == WSAEAFNOSUPPORT || error == WSAEPFNOSUPPORT || error == WSAEPROTONOSUPPORT ||
           error == WSAEADDRNOTAVAIL;
}

sockaddr_in LoopbackV4(std::int32_t port) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_port = ::htons(static_cast<u_short>(port));
    v4.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    return v4;
}

// A listening socket on the loopback address of one family.
UniqueSocket OpenListener(int family, std::int32_t port, ListenFailure& failure) {
    const std::string address = family == AF_INET ? "127.0.0.1" : "[::1]";
    const auto fail = [&](const char* what) {
        failure.code = ::WSAGetLastError();
        failure.text = SocketErrorText(what, address, port, failure.code);
        return UniqueSocket();
    };
    UniqueSocket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    if (!socket) return fail("socket");
    // No SO_EXCLUSIVEADDRUSE: the connections this server closes wait out
    // their TIME_WAIT on the port, and with it a restarted host program
    // could not listen again for minutes.
    const BOOL on = TRUE;

    sockaddr_storage storage{};
    int length = 0;
    if (family == AF_INET) {
        *reinterpret_cast<sockaddr_in*>(&storage) = LoopbackV4(port);
        length = sizeof(sockaddr_in);
    } else {
        ::setsockopt(socket.get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = ::htons(static_cast<u_short>(port));
        v6->sin6_addr = in6addr_loopback;
        length = sizeof *v6;
    }
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&storage), length) == SOCKET_ERROR) return fail("bind");
    if (::listen(socket.get(), SOMAXCONN) == SOCKET_ERROR) return fail("listen");
    return socket;
}

std::int32_t BoundPort(SOCKET socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) return 0;
    return ::ntohs(address.sin_port);
}

timeval Milliseconds(ULONGLONG ms) {
    return timeval{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
}
}  // namespace

// The owner thread's answers, and the datagram that wakes the server's
// select() when one arrives or the server stops. Shared with the work
// handed to the owner thread, which may finish after the server stopped.
struct HttpServer::Mailbox {
    UniqueSocket receiver;  // watched by select()
    UniqueSocket sender;    // connected to the receiver
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, std::string>> answers;

    static std::shared_ptr<Mailbox> Open(std::string& error) {
        auto mailbox = std::make_shared<Mailbox>();
        mailbox->receiver.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        mailbox->sender.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        sockaddr_in address = LoopbackV4(0);
        int length = sizeof address;
        if (!mailbox->receiver || !mailbox->sender ||
            ::bind(mailbox->receiver.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(mailbox->receiver.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::connect(mailbox->sender.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            !SetNonBlocking(mailbox->receiver.get()) || !SetNonBlocking(mailbox->sender.get())) {
            error = SocketErrorText("wake-up socket", "127.0.0.1", 0, ::WSAGetLastError());
            return nullptr;
        }
        return mailbox;
    }

    void deliver(std::uint64_t connection, std::string bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            answers.emplace_back(connection, std::move(bytes));
        }
        wake();
    }

    // A datagram that cannot be queued finds one waiting already.
    void wake() {
        const char byte = 0;
        ::send(sender.get(), &byte, 1, 0);
    }

    std::vector<std::pair<std::uint64_t, std::string>> take() {
        char buffer[64];
        while (::recv(receiver.get(), buffer, sizeof buffer, 0) > 0) {
        }
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(answers, {});
    }
};

struct HttpServer::Connection {
    enum class Phase {
        Reading,   // the request, until its deadline
        Waiting,   // for the owner thread's answer: no deadline, not watched
        Sending,   // the answer, until its deadline
        Draining,  // what the client sent beyond its request, until the linger deadline
        Closed,
    };
    std::uint64_t id = 0;
    UniqueSocket socket;
    Phase phase = Phase::Reading;
    ULONGLONG acceptedAt = 0;
    ULONGLONG deadline = 0;
    std::size_t received = 0;  // bytes of the request so far
    web::HttpRequestParser parser;
    std::string answer;
    std::size_t sent = 0;
    std::size_t drained = 0;
};

namespace {
using Phase = HttpServer::Connection::Phase;
}

HttpServer::HttpServer(web::HttpRequestSink& sink, HttpServerLimits limits) : sink_(sink), limits_(limits) {}

HttpServer::~HttpServer() { stop(); }

Outcome HttpServer::listen(std::int32_t port) {
    if (listening_) return {};
    if (!winsock_.ready()) return Outcome::Failure("Windows Sockets are not available");
    if (port < 0 || port > 65535) return Outcome::Failure("Invalid port " + std::to_string(port));
    ListenFailure failure;
    UniqueSocket v4 = OpenListener(AF_INET, port, failure);
    if (!v4) return Outcome::Failure(failure.text);
    const std::int32_t boundPort = BoundPort(v4.get());
    std::vector<UniqueSocket> listeners;
    listeners.push_back(std::move(v4));
    // A page that names "localhost" reaches [::1] first: one another
    // program holds there must be reported as on 127.0.0.1.
    if (UniqueSocket v6 = OpenListener(AF_INET6, boundPort, failure)) {
        listeners.push_back(std::move(v6));
    } else if (IsWithoutIpv6(failure.code)) {
        log("HTTPServer", "PORT:" + std::to_string(boundPort) + " / 127.0.0.1 only, no IPv6: " + failure.text);
    } else {
        return Outcome::Failure(failure.text);
    }
    for (const UniqueSocket& listener : listeners) {
        if (!SetNonBlocking(listener.get()))
            return Outcome::Failure(SocketErrorText("ioctlsocket", "127.0.0.1", boundPort, ::WSAGetLastError()));
    }
    std::string error;
    std::shared_ptr<Mailbox> mailbox = Mailbox::Open(error);
    if (!mailbox) return Outcome::Failure(error);

    stopping_ = false;
    sink_.serverStarted();
    listeners_ = std::move(listeners);
    mailbox_ = std::move(mailbox);
    thread_.reset(::CreateThread(nullptr, 0, &HttpServer::ThreadMain, this, 0, nullptr));
    if (!thread_) {
        listeners_.clear();
        mailbox_.reset();
        return Outcome::Failure("CreateThread failed (error " + std::to_string(::GetLastError()) + ")");
    }
    listening_ = true;
    return {};
}

void HttpServer::stop() {
    stopping_ = true;
    sink_.serverStopping();
    if (thread_) {
        mailbox_->wake();
        ::WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    listeners_.clear();
    mailbox_.reset();
    listening_ = false;
}

DWORD WINAPI HttpServer::ThreadMain(LPVOID self) noexcept {
    auto* server = static_cast<HttpServer*>(self);
    try {
        server->serveAll();
    } catch (...) {
        server->log("HTTPServer", "ListenException");
    }
    server->connections_.clear();
    return 0;
}

void HttpServer::serveAll() {
    while (!stopping_) {
        fd_set readable;
        fd_set writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(mailbox_->receiver.get(), &readable);
        for (const UniqueSocket& listener : listeners_) FD_SET(listener.get(), &readable);
        ULONGLONG nearest = ULLONG_MAX;
        for (const Connection& connection : connections_) {
            if (connection.phase == Phase::Waiting) continue;
            FD_SET(connection.socket.get(), connection.phase == Phase::Sending ? &writable : &readable);
            nearest = std::min(nearest, connection.deadline);
        }
        // Asleep until something happens; the nearest deadline is the only timeout.
        timeval wait{};
        timeval* timeout = nullptr;
        if (nearest != ULLONG_MAX) {
            const ULONGLONG now = ::GetTickCount64();
            wait = Milliseconds(nearest > now ? nearest - now + 1 : 0);
            timeout = &wait;
        }
        if (::select(0, &readable, &writable, nullptr, timeout) == SOCKET_ERROR) {
            log("HTTPServer", "ListenException");
            ::Sleep(kSelectErrorPauseMs);
            continue;
        }
        if (stopping_) break;

        if (FD_ISSET(mailbox_->receiver.get(), &readable)) takeAnswers();
        for (Connection& connection : connections_) {
            const bool ready = connection.phase == Phase::Sending ? FD_ISSET(connection.socket.get(), &writable)
                                                                  : FD_ISSET(connection.socket.get(), &readable);
            if (ready && connection.phase != Phase::Waiting && connection.phase != Phase::Closed) advance(connection);
        }
        for (const UniqueSocket& listener : listeners_)
            if (FD_ISSET(listener.get(), &readable)) acceptPending(listener.get());
        const ULONGLONG now = ::GetTickCount64();
        for (Connection& connection : connections_) expire(connection, now);
        connections_.remove_if([](const Connection& c) { return c.phase == Phase::Closed; });
    }
    for (const Connection& connection : connections_)
        if (connection.phase != Phase::Closed) log("HTTPServerDisconnect");
    connections_.clear();
}

void HttpServer::acceptPending(SOCKET listener) {
    const auto open = [this] {
        return std::count_if(connections_.begin(), connections_.end(),
                             [](const Connection& c) { return c.phase != Phase::Closed; });
    };
    const int cap = std::min(limits_.maxConnections, FD_SETSIZE - kOwnSockets);
    for (;;) {
        UniqueSocket client(::accept(listener, nullptr, nullptr));
        if (!client) {
            const int error = ::WSAGetLastError();
            if (error == WSAEWOULDBLOCK) return;
            if (error == WSAECONNRESET) continue;  // the client gave up while queued
            log("HTTPServer", "ListenException");
            return;
        }
        // Beyond the cap, without room, the socket is closed at once, unread and unanswered.
        if (open() >= cap && !makeRoom()) continue;
        if (!SetNonBlocking(client.get())) {
            log("HTTPServer", "Exception");
            continue;
        }
        Connection& connection = connections_.emplace_back();
        connection.id = ++nextConnectionId_;
        connection.socket = std::move(client);
        connection.acceptedAt = ::GetTickCount64();
        connection.deadline = connection.acceptedAt + limits_.requestTimeoutMs;
        log("HTTPServerConnect");
        // What the client sent already counts at once: a connection that has
        // sent something within its grace keeps its place.
        advance(connection);
    }
}

bool HttpServer::makeRoom() {
    const ULONGLONG now = ::GetTickCount64();
    // The list is in the order of acceptance: the oldest first.
    for (Connection& connection : connections_) {
        if (connection.phase != Phase::Reading) continue;
        if (connection.received == 0 || now - connection.acceptedAt >= limits_.readingGraceMs) {
            close(connection, Step::Close);
            return true;
        }
    }
    return false;
}

void HttpServer::takeAnswers() {
    for (auto& [id, bytes] : mailbox_->take()) {
        const auto found = std::find_if(connections_.begin(), connections_.end(), [id = id](const Connection& c) {
            return c.id == id && c.phase == Phase::Waiting;
        });
        if (found == connections_.end()) continue;
        found->answer = std::move(bytes);
        found->phase = Phase::Sending;
        found->deadline = ::GetTickCount64() + limits_.requestTimeoutMs;
        advance(*found);
    }
}

void HttpServer::advance(Connection& connection) {
    Step step = Step::Fail;
    try {
        switch (connection.phase) {
        case Phase::Reading: step = read(connection); break;
        case Phase::Sending: step = send(connection); break;
        case Phase::Draining: step = drain(connection); break;
        case Phase::Waiting:
        case Phase::Closed: return;
        }
    } catch (...) {
        step = Step::Fail;
    }
    if (step != Step::Wait) close(connection, step);
}

void HttpServer::close(Connection& connection, Step why) {
    if (why == Step::Fail) log("HTTPServer", "Exception");
    connection.socket.reset();
    connection.phase = Phase::Closed;
    log("HTTPServerDisconnect");
}

HttpServer::Step HttpServer::read(Connection& connection) {
    web::HttpRequestParser& parser = connection.parser;
    char buffer[4096];
    while (parser.status() == web::HttpRequestParser::Status::NeedMore) {
        const int received = ::recv(connection.socket.get(), buffer, sizeof buffer, 0);
        if (received > 0) {
            connection.received += static_cast<std::size_t>(received);
            parser.feed(std::string_view(buffer, static_cast<std::size_t>(received)));
            continue;
        }
        if (received == 0) return Step::Close;  // before the request was complete
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return Step::Wait;
        return IsResetOrClosed(error) ? Step::Close : Step::Fail;
    }
    switch (parser.status()) {
    case web::HttpRequestParser::Status::Complete:
        break;
    case web::HttpRequestParser::Status::UnknownMethod:
        return Step::Close;  // closed without an answer
    default:
        return Step::Fail;  // too large or not HTTP: closed without an answer
    }
    if (stopping_) return Step::Close;
    connection.phase = Phase::Waiting;
    web::AnswerRequest(parser.request(), sink_,
                       [mailbox = mailbox_, id = connection.id](std::string bytes) {
                           mailbox->deliver(id, std::move(bytes));
                       });
    return Step::Wait;
}

HttpServer::Step HttpServer::send(Connection& connection) {
    while (connection.sent < connection.answer.size()) {
        const std::string_view rest = std::string_view(connection.answer).substr(connection.sent);
        const int sent =
            ::send(connection.socket.get(), rest.data(), static_cast<int>(std::min<std::size_t>(rest.size(), INT_MAX)), 0);
        if (sent > 0) {
            connection.sent += static_cast<std::size_t>(sent);
            continue;
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) return Step::Wait;
        return IsResetOrClosed(error) ? Step::Close : Step::Fail;
    }
    ::shutdown(connection.socket.get(), SD_SEND);
    connection.phase = Phase::Draining;
    connection.deadline = ::GetTickCount64() + limits_.lingerTimeoutMs;
    return drain(connection);
}

// After the answer: bytes the client sent beyond its request would make the
// close reset the connection, possibly before the client has read the
// answer; so they are read first, and the client given a moment to finish.
HttpServer::Step HttpServer::drain(Connection& connection) {
    char buffer[4096];
    while (connection.drained <= kMaxDrainBytes) {
        const int received = ::recv(connection.socket.get(), buffer, sizeof buffer, 0);
        if (received > 0) {
            connection.drained += static_cast<std::size_t>(received);
            continue;
        }
        // Nothing left over (the usual case): close at once.
        if (received == 0 || connection.drained == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return Step::Close;
        return Step::Wait;
    }
    return Step::Close;
}

void HttpServer::expire(Connection& connection, ULONGLONG now) {
    const bool timed = connection.phase == Phase::Reading || connection.phase == Phase::Sending ||
                       connection.phase == Phase::Draining;
    if (!timed || now < connection.deadline) return;
    // Lingering ends at its deadline; reading or sending that long is a fault.
    close(connection, connection.phase == Phase::Draining ? Step::Close : Step::Fail);
}

void HttpServer::log(const std::string& name, const std::string& text) noexcept {
    try {
        sink_.log(name, text);
    } catch (...) {
        // A lost log line must not end the server.
    }
}

}  // namespace veltrane::win32
