// The check of a CTI server's certificate, as the link's TLS policy asks.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>

#include "core/tls_policy.h"

namespace veltrane::win32 {

struct CertificateVerdict {
    std::optional<cti::TlsFailure> failure;  // empty: accepted
    std::string note;                        // for the log: the certificate and the verdict
};

// With a fingerprint, the certificate's SHA-256 must equal it and nothing
// else is asked. Without one, the system must trust the chain for server
// authentication and the certificate must carry the policy's server name.
// Revocation is checked for the certificate and its intermediates, from
// the system's cache or the network within a few seconds; a certificate
// known to be revoked fails, one whose status cannot be had does not.
CertificateVerdict CheckServerCertificate(PCCERT_CONTEXT certificate, const cti::TlsPolicy& policy);

}  // namespace veltrane::win32
