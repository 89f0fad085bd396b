#include "win32/cti_socket.h"

#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <cstring>

namespace veltrane::win32 {

namespace {
constexpr UINT kFirstSocketMessage = WM_APP + 0x100;
constexpr UINT kSocketMessages = 0x100;
constexpr UINT kLookupMessage = WM_APP + 0x0F0;
// Beyond this many unsent bytes the server has stopped reading; the send is
// refused and the link reconnects.
constexpr std::size_t kMaxOutgoing = 16u << 20;
// Read at most this much per event; Winsock reports the rest in a new one.
// Every packet costs log lines and a host event, so a larger read would let a
// flooding server hold the owner thread for seconds, with the host's own
// messages and the exports called from other threads waiting behind it.
constexpr std::size_t kMaxReadPerEvent = 16384;
// TCP's own probes of an idle link: behind the link check, they end a
// connection whose peer has vanished even while the check waits.
constexpr ULONG kKeepAliveIdleMs = 60000;
constexpr ULONG kKeepAliveProbeMs = 5000;
constexpr UINT_PTR kTlsHandshakeTimerId = 0x7115;

void KeepAlive(SOCKET socket) {
    tcp_keepalive settings{};
    settings.onoff = 1;
    settings.keepalivetime = kKeepAliveIdleMs;
    settings.keepaliveinterval = kKeepAliveProbeMs;
    DWORD returned = 0;
    // Without it the link check still finds a dead link.
    ::WSAIoctl(socket, SIO_KEEPALIVE_VALS, &settings, sizeof settings, nullptr, 0, &returned, nullptr, nullptr);
}
}  // namespace

WinsockCtiSocket::WinsockCtiSocket(OwnerWindow& owner, CtiSocketEvents& events)
    : owner_(owner),
      events_(events),
      message_(kFirstSocketMessage),
      tlsHandshakeTimer_(owner, kTlsHandshakeTimerId,
                         [this] { tlsFailed(cti::TlsFailureText(cti::TlsFailure::Handshake, cti::kTlsNoAnswer)); }) {
    owner_.addHandler(*this);
}

WinsockCtiSocket::~WinsockCtiSocket() { closeQuietly(); }

bool WinsockCtiSocket::open(const std::string& host, std::int32_t port) {
    closeQuietly();
    if (!winsock_.ready() || host.empty() || port <= 0 || port > 65535) return false;
    port_ = port;
    tlsPolicy_ = events_.tlsPolicy(host);
    remoteAddress_.clear();
    remotePort_ = 0;

    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return connectTo(address);

    // A host name: resolve it without blocking the owner thread.
    lookupBuffer_.assign(MAXGETHOSTSTRUCT, '\0');
    lookup_ = ::WSAAsyncGetHostByName(owner_.handle(), kLookupMessage, host.c_str(), lookupBuffer_.data(),
                                      static_cast<int>(lookupBuffer_.size()));
    if (lookup_ == nullptr) return false;
    state_ = SocketState::Opening;
    return true;
}

bool WinsockCtiSocket::connectTo(const in_addr& address) {
    socket_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_) return false;
    KeepAlive(socket_.get());
    message_ = kFirstSocketMessage + (message_ + 1 - kFirstSocketMessage) % kSocketMessages;
    if (::WSAAsyncSelect(socket_.get(), owner_.handle(), message_, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        socket_.reset();
        return false;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr = address;
    server.sin_port = ::htons(static_cast<u_short>(port_));
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0 &&
        ::WSAGetLastError() != WSAEWOULDBLOCK) {
        socket_.reset();
        return false;
    }
    state_ = SocketState::Opening;
    return true;
}

void WinsockCtiSocket::closeQuietly() {
    // close_notify, unless it would cut into records still waiting to go out.
    if (tls_ && state_ == SocketState::Connected && sentOut_ == outgoing_.size()) {
        const std::string notify = tls_->closeNotify();
        if (!notify.empty()) ::send(socket_.get(), notify.data(), static_cast<int>(notify.size()), 0);
    }
    tls_.reset();
    tlsHandshakeTimer_.stop();
    if (lookup_ != nullptr) {
        ::WSACancelAsyncRequest(lookup_);
        lookup_ = nullptr;
    }
    socket_.reset();
    outgoing_.clear();
    sentOut_ = 0;
    held_ = readWaiting_ = closeWaiting_ = batching_ = false;
    state_ = SocketState::Closed;
}

void WinsockCtiSocket::batchSends(bool batch) {
    if (batch == batching_) return;
    batching_ = batch;
    // A failure is found again, and reported, by the next FD_WRITE's flush.
    if (!batch && flush() != 0) postEvent(FD_WRITE);
}

void WinsockCtiSocket::holdReading(bool hold) {
    if (hold == held_) return;
    held_ = hold;
    if (hold) return;
    if (closeWaiting_)
        postEvent(FD_CLOSE);
    else if (readWaiting_)
        postEvent(FD_READ);
    readWaiting_ = closeWaiting_ = false;
}

void WinsockCtiSocket::postEvent(WORD event) {
    ::PostMessageW(owner_.handle(), message_, static_cast<WPARAM>(socket_.get()), WSAMAKESELECTREPLY(event, 0));
}

void WinsockCtiSocket::close() {
    if (state_ == SocketState::Closed) return;
    closeQuietly();
    // A socket the library closes reports its disconnection like any other.
    events_.onDisconnect();
}

bool WinsockCtiSocket::send(std::string_view bytes) {
    if (state_ != SocketState::Connected) return false;
    if (outgoing_.size() - sentOut_ + bytes.size() > kMaxOutgoing) return false;
    // A packet goes into the queue whole, as plain bytes or as its records.
    if (tls_ && !tls_->seal(bytes, outgoing_)) return false;
    if (!tls_) outgoing_.append(bytes);
    if (batching_) return true;
    // A failure is the caller's to handle: nothing is reported from in here.
    return flush() == 0;
}

int WinsockCtiSocket::flush() {
    int failure = 0;
    while (sentOut_ < outgoing_.size() && socket_) {
        const int chunk = static_cast<int>(std::min<std::size_t>(outgoing_.size() - sentOut_, 1u << 20));
        const int sent = ::send(socket_.get(), outgoing_.data() + sentOut_, chunk, 0);
        if (sent > 0) {
            sentOut_ += static_cast<std::size_t>(sent);
            continue;
        }
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) failure = error;  // else the rest goes out on FD_WRITE
        break;
    }
    // What went out is dropped now and then, not on every send: a server
    // that reads slowly must not cost a copy of the whole queue per packet.
    if (sentOut_ == outgoing_.size() || sentOut_ > outgoing_.size() / 2) {
        outgoing_.erase(0, sentOut_);
        sentOut_ = 0;
    }
    return failure;
}

void WinsockCtiSocket::fail(int errorKind, int errorCode) {
    closeQuietly();
    events_.onError(errorKind, errorCode);
    events_.onDisconnect();
}

bool WinsockCtiSocket::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kLookupMessage) {
        if (reinterpret_cast<HANDLE>(wParam) == lookup_ && lookup_ != nullptr) onLookupDone(WSAGETASYNCERROR(lParam));
        return true;
    }
    if (message < kFirstSocketMessage || message >= kFirstSocketMessage + kSocketMessages) return false;
    if (message == message_ && socket_ && static_cast<SOCKET>(wParam) == socket_.get())
        onSocketEvent(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
    return true;
}

void WinsockCtiSocket::onLookupDone(WORD error) {
    lookup_ = nullptr;
    const auto* host = reinterpret_cast<const hostent*>(lookupBuffer_.data());
    if (error != 0 || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
        fail(eeLookup, error != 0 ? error : WSANO_DATA);
        return;
    }
    in_addr address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    if (!connectTo(address)) fail(eeConnect, ::WSAGetLastError());
}

void WinsockCtiSocket::onSocketEvent(WORD event, WORD error) {
    switch (event) {
    case FD_CONNECT: {
        if (error != 0) {
            fail(eeConnect, error);
            return;
        }
        sockaddr_in peer{};
        int length = sizeof peer;
        if (::getpeername(socket_.get(), reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
            remoteAddress_ = text;
            remotePort_ = ::ntohs(peer.sin_port);
        }
        if (tlsPolicy_.enabled) {
            startTls();
            return;
        }
        state_ = SocketState::Connected;
        events_.onConnect();
        return;
    }
    case FD_READ: {
        if (error != 0) {
            fail(eeReceive, error);
            return;
        }
        if (held_) {
            readWaiting_ = true;  // read on once let go: until then TCP holds it
            return;
        }
        const Received received = receive();
        if (!received.bytes.empty() && !deliver(received.bytes)) return;
        if (received.error != 0) fail(eeReceive, received.error);
        return;
    }
    case FD_WRITE:
        if (const int failure = flush(); failure != 0) fail(eeSend, failure);
        return;
    case FD_CLOSE:
        if (error != 0) {
            fail(eeDisconnect, error);
            return;
        }
        onPeerClosed();
        return;
    default:
        return;
    }
}

// What the server sent before it closed is read and handed on first, a read
// event's worth a turn, and only then is the close reported.
void WinsockCtiSocket::onPeerClosed() {
    if (held_) {
        closeWaiting_ = true;
        return;
    }
    const Received received = receive();
    if (!received.bytes.empty() && !deliver(received.bytes)) return;
    if (received.more || held_) {
        if (held_)
            closeWaiting_ = true;
        else
            postEvent(FD_CLOSE);
        return;
    }
    if (tls_ && state_ != SocketState::Connected)
        tlsFailed(cti::TlsFailureText(cti::TlsFailure::Handshake, cti::kTlsClosed));
    else
        close();
}

WinsockCtiSocket::Received WinsockCtiSocket::receive() {
    Received received;
    char chunk[kMaxReadPerEvent];
    for (;;) {
        if (received.bytes.size() >= kMaxReadPerEvent) {
            received.more = true;
            break;
        }
        const int count = ::recv(socket_.get(), chunk, sizeof chunk, 0);
        if (count > 0) {
            received.bytes.append(chunk, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0) {
            const int error = ::WSAGetLastError();
            if (error != WSAEWOULDBLOCK) received.error = error;
        }
        break;  // drained, failed, or the server closed (FD_CLOSE follows)
    }
    return received;
}

bool WinsockCtiSocket::deliver(std::string_view bytes) {
    if (tls_) return receiveTls(bytes);
    events_.onRead(bytes);
    return true;
}

void WinsockCtiSocket::startTls() {
    tls_ = std::make_unique<TlsClient>(tlsPolicy_);
    std::string hello;
    if (tls_->start(hello) == TlsClient::Progress::Failed) {
        tlsFailed(tls_->failure());
        return;
    }
    tlsHandshakeTimer_.start(tlsPolicy_.handshakeTimeoutMs);
    outgoing_ += hello;
    if (const int failure = flush(); failure != 0) fail(eeSend, failure);
}

bool WinsockCtiSocket::receiveTls(std::string_view bytes) {
    std::string answer, plain;
    const TlsClient::Progress progress = tls_->receive(bytes, answer, plain);
    if (!answer.empty()) {
        outgoing_ += answer;
        if (const int failure = flush(); failure != 0) {
            fail(eeSend, failure);
            return false;
        }
    }
    if (progress == TlsClient::Progress::Failed) {
        tlsFailed(tls_->failure());
        return false;
    }
    // The link neither closes nor opens the socket from inside these two.
    if (progress == TlsClient::Progress::Established && state_ != SocketState::Connected) {
        tlsHandshakeTimer_.stop();
        events_.log("CTI TLS", tls_->summary());
        state_ = SocketState::Connected;
        events_.onConnect();
    }
    if (!plain.empty()) events_.onRead(plain);
    if (progress == TlsClient::Progress::Ended) {
        close();
        return false;
    }
    return true;
}

void WinsockCtiSocket::tlsFailed(std::string reason) {
    // An established link has had its line already.
    if (tls_ && state_ != SocketState::Connected && !tls_->summary().empty()) events_.log("CTI TLS", tls_->summary());
    closeQuietly();
    events_.onTlsFailure(reason);
    events_.onDisconnect();
}

}  // namespace veltrane::win32
