// The tools' socket layer: POSIX sockets or Winsock behind one small
// interface, every socket owned by a Socket object. Sockets are blocking;
// callers wait for readability before they read or accept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include "winsupport/winsock_session.h"
#endif

namespace veltrane::tools::net {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
#else
using NativeSocket = int;
#endif

// Winsock started for the lifetime of the object (elsewhere: SIGPIPE
// ignored, so a peer that went away gives an error instead of a signal).
class NetworkSession {
public:
    NetworkSession();
    NetworkSession(const NetworkSession&) = delete;
    NetworkSession& operator=(const NetworkSession&) = delete;
#ifdef _WIN32
    bool ok() const { return winsock_.ready(); }

private:
    winsupport::WinsockSession winsock_;
#else
    bool ok() const { return true; }
#endif
};

enum class Received { Data, Closed, Failed };

class Socket {
public:
    Socket() = default;
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A listening TCP socket on an IPv4 address; port 0 lets the system pick.
    static Socket Listen(const std::string& address, std::uint16_t port, std::string& error);
    // Connects to host:port (name or dotted address), waiting at most timeoutMs.
    static Socket Connect(const std::string& host, std::uint16_t port, int timeoutMs, std::string& error);

    bool valid() const;
    NativeSocket native() const { return handle_; }
    void close();
    // Closes with a reset (RST) instead of an orderly end: the peer's
    // unread data is thrown away and it sees an error.
    void abort();

    Socket accept() const;
    std::uint16_t localPort() const;
    std::string peerAddress() const;  // "a.b.c.d:port"

    // Sends every byte, blocking as needed; false when the connection failed.
    bool sendAll(std::string_view bytes) const;
    // Appends what has arrived (call after the socket was reported readable).
    Received receive(std::string& into) const;
    bool waitReadable(int timeoutMs) const;

private:
    explicit Socket(NativeSocket handle) : handle_(handle) {}
    NativeSocket handle_ = InvalidHandle();
    static NativeSocket InvalidHandle();
};

// Waits until at least one of the sockets is readable (a listener: a
// connection is waiting) or the timeout passes. Returns one flag a socket.
std::vector<bool> WaitReadable(const std::vector<const Socket*>& sockets, int timeoutMs);

// The last socket error as text, for messages.
std::string LastSocketError();

}  // namespace veltrane::tools::net
