// TLS on the CTI link: what config.ini asks of a connection, and the texts
// the link reports when the TLS layer refuses one. The TLS engine itself is
// the operating system's (win32/tls_client.h); nothing here touches it.
//
// CTI_TLS=Y turns TLS on. The server's certificate is then checked in one
// of two ways, and no setting turns the check off:
//   - CTI_TLS_CERT_SHA256 names the certificate: its SHA-256 must match, and
//     nothing else about it is asked (for self-signed servers and private
//     authorities);
//   - otherwise the system must trust its chain and it must carry the name
//     CTI_TLS_NAME, or, when that is blank, the address being tried.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/config_info.h"

namespace veltrane::cti {

using Sha256 = std::array<std::uint8_t, 32>;

// 64 hexadecimal digits in either case; colons and blanks between them are
// passed over, as fingerprints are usually written "AB:CD:...".
std::optional<Sha256> ParseFingerprint(std::string_view text);
// "AB:CD:...", the way the log shows a certificate.
std::string FormatFingerprint(const Sha256& fingerprint);

struct TlsPolicy {
    bool enabled = false;
    std::string serverName;              // sent to the server, and checked without a fingerprint
    std::optional<Sha256> fingerprint;   // the one certificate accepted
    bool fingerprintUnreadable = false;  // CTI_TLS_CERT_SHA256 is set but is no SHA-256
    std::int32_t handshakeTimeoutMs = 0;
};

// The policy of a connection to `host`, an entry of CTI_IPs. A server that
// has not finished the handshake within CTI_ANSWER_SECONDS has failed it.
TlsPolicy TlsPolicyFor(const TCONFIG_INFO& config, std::string_view host);

// Why the TLS layer refused a connection.
enum class TlsFailure {
    Handshake,              // with a detail: what went wrong
    Untrusted,              // the system does not trust the certificate's chain
    Expired,                // a certificate of the chain is outside its dates
    Revoked,
    NameMismatch,
    FingerprintMismatch,
    FingerprintUnreadable,  // CTI_TLS_CERT_SHA256 cannot be read
    Broken,                 // the established link failed, with a detail
};

// The text of "conn|disconnect|<text>|": "TLS certificate untrusted",
// "TLS handshake failure(<detail>)", ...
std::string TlsFailureText(TlsFailure failure, std::string_view detail = {});

// Handshake details that are not codes of the system.
inline constexpr const char* kTlsNoAnswer = "no answer";
inline constexpr const char* kTlsClosed = "closed";
inline constexpr const char* kTlsNotTls = "not TLS";

// Whether the first bytes a server sent can begin a TLS record: a plain
// server that answers the handshake with text is told apart from a broken
// handshake.
bool LooksLikeTls(std::string_view firstBytes);

}  // namespace veltrane::cti
