// The server side of TLS for the simulator's CTI port. Natively it is
// OpenSSL's; a build without OpenSSL (the simulator for Windows) has none
// and says so when asked for a context.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "net/socket.h"

namespace veltrane::tools::net {

// A certificate (with the chain after it) and its private key, PEM files.
class TlsServerContext {
public:
    // Null with `error` when the files cannot be used, or the build has no TLS.
    static std::shared_ptr<TlsServerContext> Load(const std::string& certificateFile, const std::string& keyFile,
                                                  std::string& error);
    ~TlsServerContext();
    TlsServerContext(const TlsServerContext&) = delete;
    TlsServerContext& operator=(const TlsServerContext&) = delete;

private:
    friend class TlsServerSession;
    struct Native;
    explicit TlsServerContext(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
};

// One accepted connection. The session makes its socket non-blocking and
// is driven by the caller's wait for readability, so a client that stalls
// in the handshake holds up nothing else.
class TlsServerSession {
public:
    enum class Handshake { Pending, Done, Failed };

    TlsServerSession(std::shared_ptr<TlsServerContext> context, const Socket& socket);
    ~TlsServerSession();
    TlsServerSession(const TlsServerSession&) = delete;
    TlsServerSession& operator=(const TlsServerSession&) = delete;

    // Call whenever the socket is readable until it is no longer Pending.
    Handshake handshake();
    // Appends the application bytes that have arrived (possibly none, when
    // only part of a record has).
    Received receive(std::string& into);
    // Sends every byte as records, waiting a while for room when needed.
    bool sendAll(std::string_view bytes);
    // The close_notify alert, before the socket is closed.
    void closeNotify();

    // "TLSv1.3 TLS_AES_256_GCM_SHA384" once the handshake is done.
    std::string description() const;
    // Why the handshake or a transfer failed.
    const std::string& error() const { return error_; }

private:
    struct Native;
    std::shared_ptr<TlsServerContext> context_;
    std::unique_ptr<Native> native_;
    std::string error_;
};

}  // namespace veltrane::tools::net
