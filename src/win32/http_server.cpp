#include "win32/http_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string_view>
#include <utility>

#include "web/http_request.h"

namespace veltrane::win32 {

namespace {
constexpr DWORD kConnectionStackBytes = 256 * 1024;
constexpr std::size_t kMaxDrainBytes = 64 * 1024;
// How often waiting threads look at the stop flag. Waits use select(): the
// socket events of WSAEventSelect go missing now and then under Wine.
constexpr long kListenerPollMs = 200;
constexpr long kConnectionPollMs = 100;

// The client reset or closed the connection: not worth a log line.
struct ConnectionClosed {};
// Anything else that ends serving a connection early.
struct ServeFailure {};

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

timeval Milliseconds(long ms) { return timeval{ms / 1000, (ms % 1000) * 1000}; }

enum class Wake { Ready, Stop, Timeout };

// Waits until the socket can be read (or written), the server stops, or the
// deadline passes.
Wake WaitForSocket(SOCKET socket, bool forWriting, const std::atomic<bool>& stopping, ULONGLONG deadline) {
    for (;;) {
        if (stopping) return Wake::Stop;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return Wake::Timeout;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        fd_set failed = ready;
        timeval wait = Milliseconds(static_cast<long>(std::min<ULONGLONG>(deadline - now, kConnectionPollMs)));
        const int count = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait);
        if (count == SOCKET_ERROR) throw ServeFailure{};
        if (count > 0) return Wake::Ready;
    }
}

void SendAll(SOCKET socket, const std::atomic<bool>& stopping, std::string_view bytes, ULONGLONG deadline) {
    while (!bytes.empty()) {
        const int sent = ::send(socket, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX)), 0);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        const int error = ::WSAGetLastError();
        if (IsResetOrClosed(error)) throw ConnectionClosed{};
        if (error != WSAEWOULDBLOCK) throw ServeFailure{};
        switch (WaitForSocket(socket, true, stopping, deadline)) {
        case Wake::Ready: break;
        case Wake::Stop: throw ConnectionClosed{};
        case Wake::Timeout: throw ServeFailure{};
        }
    }
}

// After the answer: bytes the client sent beyond its request would make the
// close reset the connection, possibly before the client has read the
// answer; so they are read first, and the client given a moment to finish.
void Drain(SOCKET socket, const std::atomic<bool>& stopping, ULONGLONG deadline) {
    char buffer[4096];
    std::size_t drained = 0;
    while (drained <= kMaxDrainBytes) {
        const int received = ::recv(socket, buffer, sizeof buffer, 0);
        if (received > 0) {
            drained += static_cast<std::size_t>(received);
            continue;
        }
        // Nothing left over (the usual case): close at once.
        if (received == 0 || drained == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return;
        if (WaitForSocket(socket, false, stopping, deadline) != Wake::Ready) return;
    }
}

// Waits for a thread to end while serving messages sent to the calling
// thread's windows (a connection may be handing its request over to them).
void WaitServingSentMessages(HANDLE thread) {
    for (;;) {
        const DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

std::string SocketErrorText(const char* what, const std::string& address, std::int32_t port, int error) {
    return std::string(what) + " " + address + ":" + std::to_string(port) + " failed (error " +
           std::to_string(error) + ")";
}

// A listening socket on the loopback address of one family.
UniqueSocket OpenListener(int family, std::int32_t port, std::string& error) {
    const std::string address = family == AF_INET ? "127.0.0.1" : "[::1]";
    UniqueSocket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    if (!socket) {
        error = SocketErrorText("socket", address, port, ::WSAGetLastError());
        return {};
    }
    // No SO_EXCLUSIVEADDRUSE: the connections this server closes wait out
    // their TIME_WAIT on the port, and with it a restarted host program
    // could not listen again for minutes.
    const BOOL on = TRUE;

    sockaddr_storage storage{};
    int length = 0;
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = ::htons(static_cast<u_short>(port));
        v4->sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        length = sizeof *v4;
    } else {
        ::setsockopt(socket.get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = ::htons(static_cast<u_short>(port));
        v6->sin6_addr = in6addr_loopback;
        length = sizeof *v6;
    }
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&storage), length) == SOCKET_ERROR) {
        error = SocketErrorText("bind", address, port, ::WSAGetLastError());
        return {};
    }
    if (::listen(socket.get(), SOMAXCONN) == SOCKET_ERROR) {
        error = SocketErrorText("listen", address, port, ::WSAGetLastError());
        return {};
    }
    return socket;
}

std::int32_t BoundPort(SOCKET socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) return 0;
    return ::ntohs(address.sin_port);
}
}  // namespace

WinsockSession::WinsockSession() {
    WSADATA data;
    ready_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSession::~WinsockSession() {
    if (ready_) ::WSACleanup();
}

struct HttpServer::Connection {
    HttpServer* server = nullptr;
    UniqueSocket socket;
    UniqueKernelHandle thread;
    std::atomic<bool> finished{false};
};

HttpServer::HttpServer(web::HttpRequestSink& sink, HttpServerLimits limits) : sink_(sink), limits_(limits) {}

HttpServer::~HttpServer() { stop(); }

Outcome HttpServer::listen(std::int32_t port) {
    if (listening_) return {};
    if (!winsock_.ready()) return Outcome::Failure("Windows Sockets are not available");
    if (port < 0 || port > 65535) return Outcome::Failure("Invalid port " + std::to_string(port));
    std::string error;
    UniqueSocket v4 = OpenListener(AF_INET, port, error);
    if (!v4) return Outcome::Failure(error);
    const std::int32_t boundPort = BoundPort(v4.get());
    std::string v6Error;
    UniqueSocket v6 = OpenListener(AF_INET6, boundPort, v6Error);  // absent where there is no IPv6

    std::vector<UniqueSocket> listeners;
    listeners.push_back(std::move(v4));
    if (v6) listeners.push_back(std::move(v6));
    for (const UniqueSocket& listener : listeners) {
        if (!SetNonBlocking(listener.get()))
            return Outcome::Failure(SocketErrorText("ioctlsocket", "127.0.0.1", boundPort, ::WSAGetLastError()));
    }

    stopping_ = false;
    sink_.serverStarted();
    listeners_ = std::move(listeners);
    listenerThread_.reset(::CreateThread(nullptr, 0, &HttpServer::ListenerMain, this, 0, nullptr));
    if (!listenerThread_) {
        listeners_.clear();
        return Outcome::Failure("CreateThread failed (error " + std::to_string(::GetLastError()) + ")");
    }
    port_ = boundPort;
    listening_ = true;
    return {};
}

void HttpServer::stop() {
    stopping_ = true;
    sink_.serverStopping();
    if (listenerThread_) {
        WaitServingSentMessages(listenerThread_.get());
        listenerThread_.reset();
    }
    std::list<std::unique_ptr<Connection>> remaining;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        remaining.swap(connections_);
    }
    for (const auto& connection : remaining) WaitServingSentMessages(connection->thread.get());
    remaining.clear();
    listeners_.clear();
    port_ = 0;
    listening_ = false;
}

DWORD WINAPI HttpServer::ListenerMain(LPVOID self) noexcept {
    auto* server = static_cast<HttpServer*>(self);
    try {
        server->acceptLoop();
    } catch (...) {
        server->log("HTTPServer", "ListenException");
    }
    return 0;
}

void HttpServer::acceptLoop() {
    while (!stopping_) {
        fd_set ready;
        FD_ZERO(&ready);
        for (const UniqueSocket& listener : listeners_) FD_SET(listener.get(), &ready);
        timeval wait = Milliseconds(kListenerPollMs);
        const int count = ::select(0, &ready, nullptr, nullptr, &wait);
        if (count == SOCKET_ERROR) {
            // select on our own listeners fails only when something is badly
            // wrong; a pause keeps a lasting fault from spinning.
            log("HTTPServer", "ListenException");
            ::Sleep(kListenerPollMs);
            continue;
        }
        for (const UniqueSocket& listener : listeners_)
            if (count > 0 && FD_ISSET(listener.get(), &ready)) acceptPending(listener.get());
    }
}

void HttpServer::acceptPending(SOCKET listener) {
    for (;;) {
        UniqueSocket client(::accept(listener, nullptr, nullptr));
        if (!client) {
            const int error = ::WSAGetLastError();
            if (error == WSAEWOULDBLOCK) return;
            if (error == WSAECONNRESET) continue;  // the client gave up while queued
            log("HTTPServer", "ListenException");
            return;
        }
        startConnection(std::move(client));
    }
}

void HttpServer::startConnection(UniqueSocket socket) {
    reapFinished();
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    // Beyond the cap the socket is closed at once, unread and unanswered.
    if (connections_.size() >= static_cast<std::size_t>(limits_.maxConnections)) return;

    auto connection = std::make_unique<Connection>();
    connection->server = this;
    connection->socket = std::move(socket);
    if (!SetNonBlocking(connection->socket.get())) {
        log("HTTPServer", "Exception");
        return;
    }
    connection->thread.reset(::CreateThread(nullptr, kConnectionStackBytes, &HttpServer::ConnectionMain,
                                            connection.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!connection->thread) {
        log("HTTPServer", "Exception");
        return;
    }
    connections_.push_back(std::move(connection));
}

void HttpServer::reapFinished() {
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->finished) {
            ::WaitForSingleObject((*it)->thread.get(), INFINITE);  // it is returning already
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

DWORD WINAPI HttpServer::ConnectionMain(LPVOID parameter) noexcept {
    Connection& connection = *static_cast<Connection*>(parameter);
    HttpServer& server = *connection.server;
    server.log("HTTPServerConnect");
    try {
        server.serve(connection.socket.get());
    } catch (const ConnectionClosed&) {
    } catch (...) {
        server.log("HTTPServer", "Exception");
    }
    connection.socket.reset();
    server.log("HTTPServerDisconnect");
    connection.finished = true;  // the last touch: the listener may free it now
    return 0;
}

void HttpServer::serve(SOCKET socket) {
    const ULONGLONG deadline = ::GetTickCount64() + limits_.requestTimeoutMs;
    web::HttpRequestParser parser;
    char buffer[4096];
    while (parser.status() == web::HttpRequestParser::Status::NeedMore) {
        const int received = ::recv(socket, buffer, sizeof buffer, 0);
        if (received > 0) {
            parser.feed(std::string_view(buffer, static_cast<std::size_t>(received)));
            continue;
        }
        if (received == 0) throw ConnectionClosed{};  // before the request was complete
        const int error = ::WSAGetLastError();
        if (IsResetOrClosed(error)) throw ConnectionClosed{};
        if (error != WSAEWOULDBLOCK) throw ServeFailure{};
        switch (WaitForSocket(socket, false, stopping_, deadline)) {
        case Wake::Ready: break;
        case Wake::Stop: throw ConnectionClosed{};
        case Wake::Timeout: throw ServeFailure{};
        }
    }
    switch (parser.status()) {
    case web::HttpRequestParser::Status::Complete:
        break;
    case web::HttpRequestParser::Status::UnknownMethod:
        return;  // closed without an answer
    default:
        throw ServeFailure{};  // too large or not HTTP: closed without an answer
    }
    if (stopping_) return;

    const std::string answer = web::AnswerRequest(parser.request(), sink_);
    SendAll(socket, stopping_, answer, ::GetTickCount64() + limits_.requestTimeoutMs);
    ::shutdown(socket, SD_SEND);
    Drain(socket, stopping_, ::GetTickCount64() + limits_.lingerTimeoutMs);
}

void HttpServer::log(const std::string& name, const std::string& text) noexcept {
    try {
        sink_.log(name, text);
    } catch (...) {
        // A lost log line must not take a connection thread down.
    }
}

}  // namespace veltrane::win32
