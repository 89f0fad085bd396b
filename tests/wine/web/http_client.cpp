#include "http_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <future>

namespace veltrane::wine {

namespace {
class Socket {
public:
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() {
        if (s_ != INVALID_SOCKET) ::closesocket(s_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return s_; }

private:
    SOCKET s_;
};
}  // namespace

std::string ExchangeBlocking(int port, const std::string& bytes, const ClientOptions& options) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    const bool v6 = std::string(options.address) == "::1";
    Socket socket(::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_storage storage{};
    int length = 0;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_port = ::htons(static_cast<u_short>(port));
        a->sin6_addr = in6addr_loopback;
        length = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&storage);
        a->sin_family = AF_INET;
        a->sin_port = ::htons(static_cast<u_short>(port));
        ::inet_pton(AF_INET, options.address, &a->sin_addr);
        length = sizeof *a;
    }
    if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&storage), length) == SOCKET_ERROR)
        return "<connect failed>";
    const DWORD timeout = static_cast<DWORD>(options.timeout.count());
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(socket.get(), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) break;  // the server closed on us; read what it said
        sent += static_cast<std::size_t>(n);
    }
    if (options.halfClose) ::shutdown(socket.get(), SD_SEND);

    std::string received;
    char buffer[4096];
    for (;;) {
        const int n = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

std::string Exchange(TestHost& host, int port, const std::string& bytes, const ClientOptions& options) {
    auto reply = std::async(std::launch::async, [=] { return ExchangeBlocking(port, bytes, options); });
    host.waitFor([&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                 options.timeout + std::chrono::seconds(5));
    return reply.get();
}

}  // namespace veltrane::wine
