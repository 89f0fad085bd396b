// The CTI client socket: non-blocking Winsock whose connect, read, close and
// error events arrive as messages on the owner window.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/tls_policy.h"
#include "platform/platform.h"
#include "win32/owner_window.h"
#include "win32/platform_services.h"
#include "win32/tls_client.h"
#include "winsupport/unique_handle.h"
#include "winsupport/winsock_session.h"

namespace veltrane::win32 {

// Where the socket's events go (the CTI link's handlers).
class CtiSocketEvents {
public:
    virtual ~CtiSocketEvents() = default;
    virtual void onConnect() = 0;
    virtual void onDisconnect() = 0;
    virtual void onRead(std::string_view bytes) = 0;
    virtual void onError(int errorKind, int& errorCode) = 0;
    // TLS: what config.ini asks of a connection to `host`; why the TLS layer
    // refused one (the socket closes it afterwards); a line for the log.
    virtual cti::TlsPolicy tlsPolicy(const std::string& host) = 0;
    virtual void onTlsFailure(const std::string& reason) = 0;
    virtual void log(std::string_view name, std::string_view text) = 0;
};

class WinsockCtiSocket final : public CtiSocket, public MessageHandler {
public:
    // Error kinds, as the link names them.
    enum ErrorKind { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeAccept, eeLookup };

    WinsockCtiSocket(OwnerWindow& owner, CtiSocketEvents& events);
    ~WinsockCtiSocket() override;

    bool open(const std::string& host, std::int32_t port) override;
    void close() override;
    SocketState state() const override { return state_; }
    bool send(std::string_view bytes) override;
    std::string remoteAddress() const override { return remoteAddress_; }
    std::int32_t remotePort() const override { return remotePort_; }

    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool connectTo(const in_addr& address);
    void onSocketEvent(WORD event, WORD error);
    void onLookupDone(WORD error);
    void readAvailable();
    void flush();
    void fail(int errorKind, int errorCode);
    void closeQuietly();
    // TLS: connected means the handshake is done and the certificate accepted.
    void startTls();
    void receiveTls(std::string_view bytes);
    void deliver(std::string_view bytes) { tls_ ? receiveTls(bytes) : events_.onRead(bytes); }
    void tlsFailed(const std::string& reason);

    OwnerWindow& owner_;
    CtiSocketEvents& events_;
    winsupport::WinsockSession winsock_;
    winsupport::UniqueSocket socket_;
    SocketState state_ = SocketState::Closed;
    // Each socket gets its own message number, so that events still queued
    // for a closed socket are never taken for its successor's.
    UINT message_ = 0;
    // Counts the sockets closed. The link's handlers may replace the socket
    // (a failed send, a DLL_START from the host's callback reconnects), so
    // after calling one, code that still means the old socket checks this.
    unsigned generation_ = 0;
    HANDLE lookup_ = nullptr;
    std::string lookupBuffer_;
    std::int32_t port_ = 0;
    std::string outgoing_;  // bytes the socket could not take yet
    std::string remoteAddress_;
    std::int32_t remotePort_ = 0;
    cti::TlsPolicy tlsPolicy_;         // of the connection being made
    std::unique_ptr<TlsClient> tls_;  // from the TCP connection on, when TLS is asked for
    WindowTimer tlsHandshakeTimer_;
};

}  // namespace veltrane::win32
