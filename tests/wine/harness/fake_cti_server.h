// A scriptable CTI server on a loopback port. It records the exact bytes it
// receives, sends scripted bytes (whole packets, several at once, or one
// packet in pieces), and can close, refuse or stay silent. Its own thread
// accepts and reads; the test's thread sends.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltrane::wine {

class FakeCtiServer {
public:
    // Listens on `address` (another loopback address, such as 127.0.0.2,
    // stands for a second server) and `port` (0: one the system picks).
    explicit FakeCtiServer(const char* address = "127.0.0.1", int port = 0);
    ~FakeCtiServer();
    FakeCtiServer(const FakeCtiServer&) = delete;
    FakeCtiServer& operator=(const FakeCtiServer&) = delete;

    int port() const { return port_; }
    int connections() const { return connections_.load(); }
    bool clientConnected() const;

    // Everything received since the start (or the last clearReceived()).
    std::string received() const;
    void clearReceived();
    // The complete lines received (CR LF removed), in order.
    std::vector<std::string> receivedLines() const;

    // Sends to the current client; false when there is none.
    bool send(const std::string& bytes);
    // Sends in pieces with a pause between them.
    bool sendPieces(const std::vector<std::string>& pieces, int pauseMs = 50);
    void closeClient();
    // Stops listening: new connections are refused from now on.
    void refuse();
    // Closes every connection as soon as it is accepted.
    void setFlapping(bool flapping) { flapping_ = flapping; }
    // When each connection was accepted.
    std::vector<std::chrono::steady_clock::time_point> acceptTimes() const;

    // Answers each complete line received with the returned bytes (none when
    // empty); runs on the server's thread.
    void setResponder(std::function<std::string(const std::string& line)> responder);

private:
    void serve();

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<bool> flapping_{false};
    mutable std::mutex mutex_;
    SOCKET client_ = INVALID_SOCKET;
    std::string received_;
    std::vector<std::chrono::steady_clock::time_point> accepted_;
    std::size_t lineStart_ = 0;  // where the next unanswered line begins
    std::function<std::string(const std::string&)> responder_;
    std::thread thread_;
};

}  // namespace veltrane::wine
