// A TLS client session through Schannel, over bytes: the caller owns the
// socket, hands in what the server sent and sends what the session gives
// back. The handshake ends with the server's certificate checked against
// the link's policy; only then is the session established.
#pragma once

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <security.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "core/tls_policy.h"

namespace veltrane::win32 {

class TlsClient {
public:
    enum class Progress {
        Handshaking,  // more from the server is needed
        Established,  // handshake done and the certificate accepted
        Ended,        // the server closed the session (close_notify)
        Failed,       // see failure()
    };

    explicit TlsClient(cti::TlsPolicy policy);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // Starts the handshake: the client's first message goes to `toSend`.
    Progress start(std::string& toSend);
    // Bytes from the server. What the session must answer goes to `toSend`
    // (send it even when the result is Failed: it may be an alert), the
    // application's bytes to `plain`.
    Progress receive(std::string_view bytes, std::string& toSend, std::string& plain);
    // Encrypts `plain` into records appended to `out`, all or nothing.
    bool seal(std::string_view plain, std::string& out);
    // The close_notify alert of an established session; empty otherwise.
    std::string closeNotify();

    // After Failed: the text of the host event.
    const std::string& failure() const { return failure_; }
    // For the log, once the certificate has been seen: the protocol, the
    // cipher, the certificate and how it was judged. Never key material.
    const std::string& summary() const { return summary_; }

private:
    struct Credentials {
        CredHandle handle{};
        bool valid = false;
        std::string kind;  // which structure the system took, for the log
    };

    Progress handshakeStep(std::string& toSend);
    Progress decrypt(std::string& toSend, std::string& plain);
    Progress established();
    Progress fail(cti::TlsFailure failure, std::string_view detail = {});
    bool acquireCredentials();

    cti::TlsPolicy policy_;
    std::wstring serverName_;
    Credentials credentials_;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool handshakeDone_ = false;
    bool renegotiating_ = false;  // the server sent handshake messages after the handshake
    bool heardServer_ = false;
    std::string pending_;         // received bytes not yet a whole record
    std::size_t headerSize_ = 0, trailerSize_ = 0, maxMessage_ = 0;
    std::string failure_;
    std::string summary_;
};

}  // namespace veltrane::win32
