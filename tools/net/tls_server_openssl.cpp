#include "net/tls_server.h"

#include <fcntl.h>
#include <poll.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <utility>

namespace veltrane::tools::net {

namespace {
constexpr int kSendWaitMs = 5000;

std::string OpenSslError(const char* what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return what;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

bool WaitFor(int fd, short events) {
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, kSendWaitMs) > 0;
}
}  // namespace

struct TlsServerContext::Native {
    SSL_CTX* ctx = nullptr;
    ~Native() { SSL_CTX_free(ctx); }
};

struct TlsServerSession::Native {
    SSL* ssl = nullptr;
    int fd = -1;
    ~Native() { SSL_free(ssl); }
};

TlsServerContext::TlsServerContext(std::unique_ptr<Native> native) : native_(std::move(native)) {}
TlsServerContext::~TlsServerContext() = default;

std::shared_ptr<TlsServerContext> TlsServerContext::Load(const std::string& certificateFile,
                                                         const std::string& keyFile, std::string& error) {
    auto native = std::make_unique<Native>();
    native->ctx = SSL_CTX_new(TLS_server_method());
    if (native->ctx == nullptr) {
        error = OpenSslError("no TLS context");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(native->ctx, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(native->ctx, certificateFile.c_str()) != 1) {
        error = OpenSslError(("cannot use the certificate " + certificateFile).c_str());
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(native->ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(native->ctx) != 1) {
        error = OpenSslError(("cannot use the key " + keyFile).c_str());
        return nullptr;
    }
    return std::shared_ptr<TlsServerContext>(new TlsServerContext(std::move(native)));
}

TlsServerSession::TlsServerSession(std::shared_ptr<TlsServerContext> context, const Socket& socket)
    : context_(std::move(context)), native_(std::make_unique<Native>()) {
    native_->fd = static_cast<int>(socket.native());
    ::fcntl(native_->fd, F_SETFL, ::fcntl(native_->fd, F_GETFL) | O_NONBLOCK);
    native_->ssl = SSL_new(context_->native_->ctx);
    if (native_->ssl != nullptr) SSL_set_fd(native_->ssl, native_->fd);
}

TlsServerSession::~TlsServerSession() = default;

TlsServerSession::Handshake TlsServerSession::handshake() {
    if (native_->ssl == nullptr) {
        error_ = "no TLS session";
        return Handshake::Failed;
    }
    const int result = SSL_accept(native_->ssl);
    if (result == 1) return Handshake::Done;
    const int reason = SSL_get_error(native_->ssl, result);
    if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE) return Handshake::Pending;
    error_ = OpenSslError(reason == SSL_ERROR_SYSCALL ? "the client went away" : "handshake failed");
    return Handshake::Failed;
}

Received TlsServerSession::receive(std::string& into) {
    char buffer[16384];
    while (true) {
        const int read = SSL_read(native_->ssl, buffer, sizeof buffer);
        if (read > 0) {
            into.append(buffer, static_cast<std::size_t>(read));
            continue;
        }
        const int reason = SSL_get_error(native_->ssl, read);
        if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE) return Received::Data;
        if (reason == SSL_ERROR_ZERO_RETURN || (reason == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)) {
            ERR_clear_error();
            return into.empty() ? Received::Closed : Received::Data;
        }
        error_ = OpenSslError("receiving failed");
        return Received::Failed;
    }
}

bool TlsServerSession::sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const int written = SSL_write(native_->ssl, bytes.data(), static_cast<int>(bytes.size()));
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        const int reason = SSL_get_error(native_->ssl, written);
        if (reason == SSL_ERROR_WANT_WRITE && WaitFor(native_->fd, POLLOUT)) continue;
        if (reason == SSL_ERROR_WANT_READ && WaitFor(native_->fd, POLLIN)) continue;
        error_ = OpenSslError("sending failed");
        return false;
    }
    return true;
}

void TlsServerSession::closeNotify() {
    if (native_->ssl != nullptr && SSL_is_init_finished(native_->ssl)) SSL_shutdown(native_->ssl);
    ERR_clear_error();
}

std::string TlsServerSession::description() const {
    if (native_->ssl == nullptr) return {};
    return std::string(SSL_get_version(native_->ssl)) + " " + SSL_get_cipher_name(native_->ssl);
}

}  // namespace veltrane::tools::net
