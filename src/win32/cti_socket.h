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

// Where the socket's events go (the CTI link's handlers). An error and a
// TLS refusal come after the socket has closed, and the disconnect event
// follows them.
class CtiSocketEvents {
public:
    virtual ~CtiSocketEvents() = default;
    virtual void onConnect() = 0;
    virtual void onDisconnect() = 0;
    virtual void onRead(std::string_view bytes) = 0;
    virtual void onError(int errorKind, int errorCode) = 0;
    // TLS: what config.ini asks of a connection to `host`; why the TLS layer
    // refused one; a line for the log.
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
    void holdReading(bool hold) override;
    void batchSends(bool batch) override;
    std::string remoteAddress() const override { return remoteAddress_; }
    std::int32_t remotePort() const override { return remotePort_; }

    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Received {
        std::string bytes;
        int error = 0;      // what ended the reading, other than "nothing more now"
        bool more = false;  // stopped at the limit of one read event
    };

    bool connectTo(const in_addr& address);
    void onSocketEvent(WORD event, WORD error);
    void onPeerClosed();
    // An event of this socket once more, in a turn of its own.
    void postEvent(WORD event);
    void onLookupDone(WORD error);
    Received receive();
    // Sends what it can of the queue; the socket's error, or 0.
    int flush();
    // Each of these ends the socket's handling: the events they raise are
    // the last thing it does.
    void fail(int errorKind, int errorCode);
    void tlsFailed(std::string reason);  // a copy: the TLS layer that words it goes first
    void closeQuietly();
    // Hands received bytes on; false when the socket closed on the way.
    bool deliver(std::string_view bytes);
    // TLS: connected means the handshake is done and the certificate accepted.
    void startTls();
    bool receiveTls(std::string_view bytes);

    OwnerWindow& owner_;
    CtiSocketEvents& events_;
    winsupport::WinsockSession winsock_;
    winsupport::UniqueSocket socket_;
    SocketState state_ = SocketState::Closed;
    // Each socket gets its own message number, so that events still queued
    // for a closed socket are never taken for its successor's.
    UINT message_ = 0;
    HANDLE lookup_ = nullptr;
    std::string lookupBuffer_;
    std::int32_t port_ = 0;
    std::string outgoing_;   // bytes the socket could not take yet, from sentOut_ on
    std::size_t sentOut_ = 0;
    std::string remoteAddress_;
    std::int32_t remotePort_ = 0;
    // holdReading: a read and a close that came while held, for later.
    bool held_ = false;
    bool readWaiting_ = false;
    bool closeWaiting_ = false;
    bool batching_ = false;
    cti::TlsPolicy tlsPolicy_;         // of the connection being made
    std::unique_ptr<TlsClient> tls_;  // from the TCP connection on, when TLS is asked for
    WindowTimer tlsHandshakeTimer_;
};

}  // namespace veltrane::win32
