#include "core/tls_policy.h"

#include "base/text.h"

namespace veltrane::cti {

std::optional<Sha256> ParseFingerprint(std::string_view text) {
    Sha256 fingerprint{};
    std::size_t digits = 0;
    for (char c : TrimView(text)) {
        if (c == ':' || c == ' ') continue;
        const int value = HexDigitValue(c);
        if (value < 0 || digits == 2 * fingerprint.size()) return std::nullopt;
        fingerprint[digits / 2] = static_cast<std::uint8_t>(fingerprint[digits / 2] << 4 | value);
        ++digits;
    }
    if (digits != 2 * fingerprint.size()) return std::nullopt;
    return fingerprint;
}

std::string FormatFingerprint(const Sha256& fingerprint) {
    std::string text;
    for (std::uint8_t byte : fingerprint) {
        if (!text.empty()) text += ':';
        text += HexText(byte, 2);
    }
    return text;
}

TlsPolicy TlsPolicyFor(const TCONFIG_INFO& config, std::string_view host) {
    TlsPolicy policy;
    policy.enabled = Trim(config.CTI_TLS) == "Y";
    if (!policy.enabled) return policy;
    policy.serverName = IsBlank(config.CTI_TLS_NAME) ? Trim(host) : Trim(config.CTI_TLS_NAME);
    if (!IsBlank(config.CTI_TLS_CERT_SHA256)) {
        policy.fingerprint = ParseFingerprint(config.CTI_TLS_CERT_SHA256);
        policy.fingerprintUnreadable = !policy.fingerprint;
    }
    policy.handshakeTimeoutMs = config.CTI_ANSWER_SECONDS * 1000;
    return policy;
}

std::string TlsFailureText(TlsFailure failure, std::string_view detail) {
    switch (failure) {
    case TlsFailure::Handshake:
        return "TLS handshake failure(" + std::string(detail) + ")";
    case TlsFailure::Untrusted:
        return "TLS certificate untrusted";
    case TlsFailure::Expired:
        return "TLS certificate expired";
    case TlsFailure::Revoked:
        return "TLS certificate revoked";
    case TlsFailure::NameMismatch:
        return "TLS certificate name mismatch";
    case TlsFailure::FingerprintMismatch:
        return "TLS certificate fingerprint mismatch";
    case TlsFailure::FingerprintUnreadable:
        return "TLS CTI_TLS_CERT_SHA256 unreadable";
    case TlsFailure::Broken:
        return "TLS failure(" + std::string(detail) + ")";
    }
    return "TLS failure";
}

bool LooksLikeTls(std::string_view firstBytes) {
    if (firstBytes.empty()) return true;
    // Record types 20 to 23 (change_cipher_spec, alert, handshake,
    // application_data), then major version 3.
    const auto type = static_cast<unsigned char>(firstBytes[0]);
    if (type < 20 || type > 23) return false;
    return firstBytes.size() < 2 || firstBytes[1] == 3;
}

}  // namespace veltrane::cti
