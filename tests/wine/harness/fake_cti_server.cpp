#include "harness/fake_cti_server.h"

#include <ws2tcpip.h>

#include <stdexcept>

namespace veltrane::wine {

FakeCtiServer::FakeCtiServer(const char* address, int port) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = ::htons(static_cast<u_short>(port));
    if (::inet_pton(AF_INET, address, &bound.sin_addr) != 1 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
        ::listen(listener_, 8) != 0)
        throw std::runtime_error("fake CTI server cannot listen");
    int length = sizeof bound;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ::ntohs(bound.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FakeCtiServer::~FakeCtiServer() {
    stopping_ = true;
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (client_ != INVALID_SOCKET) ::closesocket(client_);
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
}

bool FakeCtiServer::clientConnected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return client_ != INVALID_SOCKET;
}

std::string FakeCtiServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void FakeCtiServer::clearReceived() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    lineStart_ = 0;
}

std::vector<std::string> FakeCtiServer::receivedLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = received_.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(received_.substr(at, end - at));
    return lines;
}

bool FakeCtiServer::send(const std::string& bytes) {
    SOCKET client = INVALID_SOCKET;
    {
        // Not held while sending: a long send must not stop the server's
        // thread from reading what the library sends back meanwhile.
        std::lock_guard<std::mutex> lock(mutex_);
        client = client_;
    }
    if (client == INVALID_SOCKET) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(client, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool FakeCtiServer::sendPieces(const std::vector<std::string>& pieces, int pauseMs) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) ::Sleep(static_cast<DWORD>(pauseMs));
        if (!send(pieces[i])) return false;
    }
    return true;
}

void FakeCtiServer::closeClient() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (client_ != INVALID_SOCKET) ::closesocket(client_);
    client_ = INVALID_SOCKET;
}

void FakeCtiServer::refuse() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
    listener_ = INVALID_SOCKET;
}

std::vector<std::chrono::steady_clock::time_point> FakeCtiServer::acceptTimes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

void FakeCtiServer::setResponder(std::function<std::string(const std::string&)> responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
}

void FakeCtiServer::serve() {
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (listener_ != INVALID_SOCKET) FD_SET(listener_, &readable);
            if (client_ != INVALID_SOCKET) FD_SET(client_, &readable);
        }
        timeval wait{0, 20000};
        if (readable.fd_count == 0) {
            ::Sleep(20);
            continue;
        }
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;

        std::lock_guard<std::mutex> lock(mutex_);
        if (listener_ != INVALID_SOCKET && FD_ISSET(listener_, &readable)) {
            SOCKET accepted = ::accept(listener_, nullptr, nullptr);
            if (accepted != INVALID_SOCKET) accepted_.push_back(std::chrono::steady_clock::now());
            if (accepted != INVALID_SOCKET && flapping_) {
                ::closesocket(accepted);
                ++connections_;
            } else if (accepted != INVALID_SOCKET) {
                // One client at a time, as the real server sees one library.
                if (client_ != INVALID_SOCKET) ::closesocket(client_);
                client_ = accepted;
                ++connections_;
            }
            continue;
        }
        if (client_ == INVALID_SOCKET || !FD_ISSET(client_, &readable)) continue;
        char chunk[65536];
        const int n = ::recv(client_, chunk, sizeof chunk, 0);
        if (n <= 0) {
            ::closesocket(client_);
            client_ = INVALID_SOCKET;
            continue;
        }
        received_.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = received_.find("\r\n", lineStart_)) != std::string::npos; lineStart_ = end + 2) {
            if (!responder_) continue;
            const std::string reply = responder_(received_.substr(lineStart_, end - lineStart_));
            std::size_t sent = 0;
            while (sent < reply.size()) {
                const int w = ::send(client_, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
                if (w <= 0) break;
                sent += static_cast<std::size_t>(w);
            }
        }
    }
}

}  // namespace veltrane::wine
