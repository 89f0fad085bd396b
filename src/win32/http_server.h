// The local command server on Winsock: listens on the loopback addresses
// only and serves every connection from one thread, which sleeps in one
// select() until a socket is ready, a connection's deadline comes, the
// owner thread answers a request, or the server stops. Each request is
// handed to a web::HttpRequestSink.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "web/http_answer.h"
#include "winsupport/unique_handle.h"
#include "winsupport/winsock_session.h"

namespace veltrane::win32 {

struct HttpServerLimits {
    // When all are taken, a new connection takes the place of the oldest one
    // still reading that has sent nothing or has had readingGraceMs; without
    // such a one it is closed as soon as accepted. So a program holding
    // connections open cannot keep a page's request out.
    int maxConnections = 64;
    DWORD readingGraceMs = 1000;
    DWORD requestTimeoutMs = 5000;  // to read the whole request, and to send the answer
    DWORD lingerTimeoutMs = 1000;   // to read what a client sent beyond its request
};

class HttpServer : public CommandServer {
public:
    explicit HttpServer(web::HttpRequestSink& sink, HttpServerLimits limits = {});
    ~HttpServer() override;
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool listening() const override { return listening_; }
    // Listens on 127.0.0.1 and [::1] (browsers try "localhost" there first),
    // and fails when either address cannot be had; on a system without IPv6
    // on 127.0.0.1 alone, with a log line. A server already listening keeps
    // its port. Port 0 takes one the system chooses.
    Outcome listen(std::int32_t port) override;
    // Tells the sink to let go of the requests it holds, wakes the server's
    // thread and waits for it to close the listeners and every connection.
    void stop() override;

    struct Connection;
    struct Mailbox;  // answers on their way from the owner thread to the server's

private:
    // What serving a connection comes to for now.
    enum class Step { Wait, Close, Fail };

    static DWORD WINAPI ThreadMain(LPVOID self) noexcept;
    void serveAll();
    void acceptPending(SOCKET listener);
    bool makeRoom();
    void takeAnswers();
    void advance(Connection& connection);
    Step read(Connection& connection);
    Step send(Connection& connection);
    Step drain(Connection& connection);
    void expire(Connection& connection, ULONGLONG now);
    // Fail: a fault other than the client's closing or resetting it, worth a log line.
    void close(Connection& connection, Step why);
    void log(const std::string& name, const std::string& text = {}) noexcept;

    web::HttpRequestSink& sink_;
    const HttpServerLimits limits_;
    winsupport::WinsockSession winsock_;
    std::vector<winsupport::UniqueSocket> listeners_;
    std::shared_ptr<Mailbox> mailbox_;
    winsupport::UniqueKernelHandle thread_;
    // Only the server's thread touches the connections.
    std::list<Connection> connections_;
    std::uint64_t nextConnectionId_ = 0;
    std::atomic<bool> listening_{false};
    std::atomic<bool> stopping_{false};
};

}  // namespace veltrane::win32
