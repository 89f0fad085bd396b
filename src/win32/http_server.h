// The local command server on Winsock: listens on the loopback addresses
// only, reads one request per connection on a thread of its own, and hands
// each request to an web::HttpRequestSink.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "win32/unique_handle.h"
#include "web/http_answer.h"

namespace veltrane::win32 {


// WSAStartup for as long as the owner lives.
class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
};

struct HttpServerLimits {
    int maxConnections = 64;      // more at once are closed as soon as accepted
    DWORD requestTimeoutMs = 5000;  // to read the whole request
    DWORD lingerTimeoutMs = 1000;   // to read what a client sent beyond its request
};

class HttpServer : public CommandServer {
public:
    explicit HttpServer(web::HttpRequestSink& sink, HttpServerLimits limits = {});
    ~HttpServer() override;
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool listening() const override { return listening_; }
    // Listens on 127.0.0.1 and, where the system has it, [::1]. A server
    // already listening keeps its port. Port 0 takes one the system chooses.
    Outcome listen(std::int32_t port) override;
    // Closes the listeners and every connection and waits for their threads,
    // after telling the sink to let go of the requests it holds. Messages
    // sent to the calling thread's windows are served meanwhile, for sinks
    // that hand requests over that way. Never call it on a connection thread.
    void stop() override;

    // The port listened on; 0 when not listening.
    std::int32_t port() const { return port_; }

private:
    struct Connection;

    static DWORD WINAPI ListenerMain(LPVOID self) noexcept;
    static DWORD WINAPI ConnectionMain(LPVOID connection) noexcept;
    void acceptLoop();
    void acceptPending(SOCKET listener);
    void startConnection(UniqueSocket socket);
    void serve(SOCKET socket);
    void reapFinished();
    void log(const std::string& name, const std::string& text = {}) noexcept;

    web::HttpRequestSink& sink_;
    const HttpServerLimits limits_;
    WinsockSession winsock_;
    std::vector<UniqueSocket> listeners_;
    UniqueKernelHandle listenerThread_;
    std::mutex connectionsMutex_;
    std::list<std::unique_ptr<Connection>> connections_;
    std::atomic<bool> listening_{false};
    std::atomic<bool> stopping_{false};
    std::int32_t port_ = 0;
};

}  // namespace veltrane::win32
