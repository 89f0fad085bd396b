// The chain's URL retrieval limit is one of CERT_CHAIN_PARA's later fields.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "win32/server_certificate.h"

#include <utility>

#include "base/text.h"
#include "winsupport/code_page.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

using winsupport::AnsiToWide;
using winsupport::UniqueHandle;

namespace {

// Revocation lists and OCSP answers are fetched on the owner thread: all
// of them together may take this long before the status counts as unknown.
constexpr DWORD kRevocationTimeoutMs = 3000;
// HTTPSPolicyCallbackData::fdwChecks: revocation is judged from the chain
// instead, where an unknown status can be told from a revoked one.
constexpr DWORD kIgnoreRevocationInPolicy = 0x00000080;  // SECURITY_FLAG_IGNORE_REVOCATION
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

struct ChainTraits {
    using Type = PCCERT_CHAIN_CONTEXT;
    static Type invalid() { return nullptr; }
    static void close(Type chain) { ::CertFreeCertificateChain(chain); }
};

std::string Hex(DWORD value) { return "0x" + HexText(value, 8); }

std::optional<cti::Sha256> Fingerprint(PCCERT_CONTEXT certificate) {
    cti::Sha256 hash{};
    DWORD size = static_cast<DWORD>(hash.size());
    if (!::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                                 certificate->cbCertEncoded, hash.data(), &size) ||
        size != hash.size())
        return std::nullopt;
    return hash;
}

std::optional<cti::TlsFailure> FailureOfChain(DWORD errors) {
    if (errors & CERT_TRUST_IS_REVOKED) return cti::TlsFailure::Revoked;
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID) return cti::TlsFailure::Expired;
    if (errors & ~kRevocationUnknown) return cti::TlsFailure::Untrusted;
    return std::nullopt;
}

std::optional<cti::TlsFailure> FailureOfPolicy(DWORD status) {
    switch (static_cast<HRESULT>(status)) {
    case S_OK:
        return std::nullopt;
    case CERT_E_CN_NO_MATCH:
        return cti::TlsFailure::NameMismatch;
    case CERT_E_EXPIRED:
        return cti::TlsFailure::Expired;
    case CRYPT_E_REVOKED:
        return cti::TlsFailure::Revoked;
    default:
        return cti::TlsFailure::Untrusted;
    }
}

// The system's trust: chain, usage, dates, revocation, then the name.
CertificateVerdict CheckTrust(PCCERT_CONTEXT certificate, const cti::TlsPolicy& policy, std::string note) {
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    para.dwUrlRetrievalTimeout = kRevocationTimeoutMs;
    PCCERT_CHAIN_CONTEXT raw = nullptr;
    // The certificates the server sent along (its store) complete the chain.
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para,
                                   CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                       CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                   nullptr, &raw))
        return {cti::TlsFailure::Untrusted, note + ", no chain (" + Hex(::GetLastError()) + ")"};
    const UniqueHandle<ChainTraits> chain(raw);
    const DWORD errors = chain.get()->TrustStatus.dwErrorStatus;
    note += ", chain " + Hex(errors);
    if (auto failure = FailureOfChain(errors)) return {failure, note};

    std::wstring name = AnsiToWide(policy.serverName);
    HTTPSPolicyCallbackData ssl{};
    ssl.cbStruct = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = kIgnoreRevocationInPolicy;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara, &status))
        return {cti::TlsFailure::Untrusted, note + ", no policy check (" + Hex(::GetLastError()) + ")"};
    note += ", policy " + Hex(status.dwError);
    if (auto failure = FailureOfPolicy(status.dwError)) return {failure, note + " for " + policy.serverName};
    note += ", trusted for " + policy.serverName;
    if (errors & kRevocationUnknown) note += ", revocation unknown";
    return {std::nullopt, note};
}

}  // namespace

CertificateVerdict CheckServerCertificate(PCCERT_CONTEXT certificate, const cti::TlsPolicy& policy) {
    if (certificate == nullptr) return {cti::TlsFailure::Untrusted, "no server certificate"};
    const std::optional<cti::Sha256> fingerprint = Fingerprint(certificate);
    std::string note = "certificate SHA-256 " + (fingerprint ? cti::FormatFingerprint(*fingerprint) : "unknown");
    if (policy.fingerprintUnreadable) return {cti::TlsFailure::FingerprintUnreadable, note};
    if (policy.fingerprint) {
        if (!fingerprint || *fingerprint != *policy.fingerprint)
            return {cti::TlsFailure::FingerprintMismatch, note + ", not CTI_TLS_CERT_SHA256"};
        return {std::nullopt, note + ", as CTI_TLS_CERT_SHA256"};
    }
    return CheckTrust(certificate, policy, std::move(note));
}

}  // namespace veltrane::win32
