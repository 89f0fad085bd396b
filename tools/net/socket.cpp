#include "net/socket.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace veltrane::tools::net {

namespace {

#ifdef _WIN32
using socklen = int;
int LastError() { return WSAGetLastError(); }
void CloseNative(NativeSocket s) { closesocket(static_cast<SOCKET>(s)); }
bool InProgress(int error) { return error == WSAEWOULDBLOCK; }
void SetBlocking(NativeSocket s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &nonBlocking);
}
constexpr int kSendFlags = 0;
#else
using socklen = socklen_t;
int LastError() { return errno; }
void CloseNative(NativeSocket s) { ::close(s); }
bool InProgress(int error) { return error == EINPROGRESS; }
void SetBlocking(NativeSocket s, bool blocking) {
    const int flags = fcntl(s, F_GETFL, 0);
    fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif
#endif

bool Resolve(const std::string& host, std::uint16_t port, sockaddr_in& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        error = "cannot resolve " + host;
        return false;
    }
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(port);
    return true;
}

timeval Timeout(int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return tv;
}

}  // namespace

NetworkSession::NetworkSession() {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

NativeSocket Socket::InvalidHandle() {
#ifdef _WIN32
    return static_cast<NativeSocket>(INVALID_SOCKET);
#else
    return -1;
#endif
}

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, InvalidHandle())) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, InvalidHandle());
    }
    return *this;
}

bool Socket::valid() const { return handle_ != InvalidHandle(); }

void Socket::close() {
    if (valid()) CloseNative(std::exchange(handle_, InvalidHandle()));
}

void Socket::abort() {
    if (!valid()) return;
    linger hard{};
    hard.l_onoff = 1;
    hard.l_linger = 0;
    setsockopt(handle_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    close();
}

Socket Socket::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    sockaddr_in local{};
    if (!Resolve(address, port, local, error)) return {};
    Socket s(static_cast<NativeSocket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (!s.valid()) {
        error = "socket: " + LastSocketError();
        return {};
    }
#ifndef _WIN32
    // A restarted simulator must get its port back while old connections linger.
    int reuse = 1;
    setsockopt(s.handle_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
#endif
    if (::bind(s.handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(s.handle_, 8) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + LastSocketError();
        return {};
    }
    return s;
}

Socket Socket::Connect(const std::string& host, std::uint16_t port, int timeoutMs, std::string& error) {
    sockaddr_in remote{};
    if (!Resolve(host, port, remote, error)) return {};
    Socket s(static_cast<NativeSocket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)));
    if (!s.valid()) {
        error = "socket: " + LastSocketError();
        return {};
    }
    // Non-blocking connect, so that the wait can be bounded.
    SetBlocking(s.handle_, false);
    if (::connect(s.handle_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0 &&
        !InProgress(LastError())) {
        error = "cannot connect to " + host + ":" + std::to_string(port) + ": " + LastSocketError();
        return {};
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s.handle_, &writable);
    FD_SET(s.handle_, &failed);
    timeval tv = Timeout(timeoutMs);
    const int ready = ::select(static_cast<int>(s.handle_) + 1, nullptr, &writable, &failed, &tv);
    int socketError = 0;
    socklen length = sizeof socketError;
    getsockopt(s.handle_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length);
    if (ready <= 0 || socketError != 0 || !FD_ISSET(s.handle_, &writable)) {
        error = "cannot connect to " + host + ":" + std::to_string(port) +
                (ready == 0 ? ": timed out" : ": error " + std::to_string(socketError));
        return {};
    }
    SetBlocking(s.handle_, true);
    return s;
}

Socket Socket::accept() const {
    return Socket(static_cast<NativeSocket>(::accept(handle_, nullptr, nullptr)));
}

std::uint16_t Socket::localPort() const {
    sockaddr_in local{};
    socklen length = sizeof local;
    if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

std::string Socket::peerAddress() const {
    sockaddr_in peer{};
    socklen length = sizeof peer;
    if (getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return "?";
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

bool Socket::sendAll(std::string_view bytes) const {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 16));
        const auto sent = ::send(handle_, bytes.data(), chunk, kSendFlags);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

Received Socket::receive(std::string& into) const {
    char buffer[4096];
    const auto got = ::recv(handle_, buffer, sizeof buffer, 0);
    if (got == 0) return Received::Closed;
    if (got < 0) return Received::Failed;
    into.append(buffer, static_cast<std::size_t>(got));
    return Received::Data;
}

bool Socket::waitReadable(int timeoutMs) const { return WaitReadable({this}, timeoutMs).front(); }

std::vector<bool> WaitReadable(const std::vector<const Socket*>& sockets, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    NativeSocket highest = 0;
    bool any = false;
    for (const Socket* s : sockets) {
        if (s == nullptr || !s->valid()) continue;
        FD_SET(s->native(), &readable);
        highest = std::max(highest, s->native());
        any = true;
    }
    std::vector<bool> ready(sockets.size(), false);
    if (!any) {
        // Winsock's select fails at once on empty sets; wait as asked instead.
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return ready;
    }
    timeval tv = Timeout(timeoutMs);
    if (::select(static_cast<int>(highest) + 1, &readable, nullptr, nullptr, &tv) <= 0) return ready;
    for (std::size_t i = 0; i < sockets.size(); ++i)
        ready[i] = sockets[i] != nullptr && sockets[i]->valid() && FD_ISSET(sockets[i]->native(), &readable);
    return ready;
}

std::string LastSocketError() {
#ifdef _WIN32
    return "error " + std::to_string(WSAGetLastError());
#else
    return std::strerror(errno);
#endif
}

}  // namespace veltrane::tools::net
