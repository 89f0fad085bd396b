#include "win32/tls_client.h"

#include <subauth.h>
// SCH_CREDENTIALS, the structure that reaches TLS 1.3 on current Windows.
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/text.h"
#include "win32/server_certificate.h"
#include "winsupport/code_page.h"
#include "winsupport/unique_handle.h"

namespace veltrane::win32 {

using winsupport::AnsiToWide;
using winsupport::UniqueHandle;
using winsupport::WideToAnsi;

namespace {

constexpr DWORD kProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// Manual validation: Schannel leaves the certificate to CheckServerCertificate.
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                           ISC_REQ_MANUAL_CRED_VALIDATION;

std::string Hex(long value) { return "0x" + HexText(static_cast<unsigned long>(value), 8); }

std::string ProtocolName(DWORD protocol) {
    if (protocol & SP_PROT_TLS1_3_CLIENT) return "TLS 1.3";
    if (protocol & SP_PROT_TLS1_2_CLIENT) return "TLS 1.2";
    if (protocol & SP_PROT_TLS1_1_CLIENT) return "TLS 1.1";
    if (protocol & SP_PROT_TLS1_0_CLIENT) return "TLS 1.0";
    if (protocol & (SP_PROT_SSL3_CLIENT | SP_PROT_SSL2_CLIENT)) return "SSL";
    return "protocol " + Hex(static_cast<long>(protocol));
}

// The output buffers of one InitializeSecurityContext call, which the
// system allocated.
class OutputTokens {
public:
    OutputTokens() : desc_{SECBUFFER_VERSION, 2, buffers_} {}
    ~OutputTokens() {
        for (SecBuffer& buffer : buffers_)
            if (buffer.pvBuffer != nullptr) ::FreeContextBuffer(buffer.pvBuffer);
    }
    OutputTokens(const OutputTokens&) = delete;
    OutputTokens& operator=(const OutputTokens&) = delete;

    SecBufferDesc* desc() { return &desc_; }
    // The token to send (a handshake message, or an alert on failure).
    void appendTo(std::string& out) const {
        const SecBuffer& token = buffers_[0];
        if (token.pvBuffer != nullptr && token.cbBuffer > 0)
            out.append(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
    }

private:
    SecBuffer buffers_[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
    SecBufferDesc desc_;
};

struct CertificateTraits {
    using Type = PCCERT_CONTEXT;
    static Type invalid() { return nullptr; }
    static void close(Type certificate) { ::CertFreeCertificateContext(certificate); }
};

}  // namespace

TlsClient::TlsClient(cti::TlsPolicy policy) : policy_(std::move(policy)), serverName_(AnsiToWide(policy_.serverName)) {}

TlsClient::~TlsClient() {
    if (haveContext_) ::DeleteSecurityContext(&context_);
    if (credentials_.valid) ::FreeCredentialsHandle(&credentials_.handle);
}

bool TlsClient::acquireCredentials() {
    const auto acquire = [this](void* structure) {
        TimeStamp expiry;
        return ::AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                           nullptr, structure, nullptr, nullptr, &credentials_.handle,
                                           &expiry) == SEC_E_OK;
    };
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~kProtocols;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    credentials_.valid = acquire(&current);
    // Systems before Windows 10 know only SCHANNEL_CRED, some without TLS 1.3.
    for (DWORD protocols : {kProtocols, DWORD{SP_PROT_TLS1_2_CLIENT}}) {
        if (credentials_.valid) break;
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = protocols;
        older.dwFlags = kCredentialFlags;
        credentials_.valid = acquire(&older);
    }
    return credentials_.valid;
}

TlsClient::Progress TlsClient::start(std::string& toSend) {
    if (!acquireCredentials()) return fail(cti::TlsFailure::Handshake, "no credentials");
    return handshakeStep(toSend);
}

TlsClient::Progress TlsClient::receive(std::string_view bytes, std::string& toSend, std::string& plain) {
    if (!failure_.empty()) return Progress::Failed;
    if (!heardServer_ && !bytes.empty()) {
        heardServer_ = true;
        if (!cti::LooksLikeTls(bytes)) return fail(cti::TlsFailure::Handshake, cti::kTlsNotTls);
    }
    pending_.append(bytes);
    if (!handshakeDone_ || renegotiating_) {
        const Progress progress = handshakeStep(toSend);
        if (progress != Progress::Established) return progress;
    }
    return decrypt(toSend, plain);
}

TlsClient::Progress TlsClient::handshakeStep(std::string& toSend) {
    while (true) {
        SecBuffer input[2] = {{static_cast<ULONG>(pending_.size()), SECBUFFER_TOKEN, pending_.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
        OutputTokens output;
        ULONG attributes = 0;
        const bool first = !haveContext_;
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            &credentials_.handle, first ? nullptr : &context_, serverName_.empty() ? nullptr : serverName_.data(),
            kRequest, 0, 0, first ? nullptr : &inputDesc, 0, first ? &context_ : nullptr, output.desc(),
            &attributes, nullptr);
        if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) haveContext_ = true;
        output.appendTo(toSend);
        if (status == SEC_E_INCOMPLETE_MESSAGE) return Progress::Handshaking;
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
            return fail(cti::TlsFailure::Handshake, Hex(status));
        // What the step did not take belongs to the next message or record.
        if (!first && input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer <= pending_.size())
            pending_.erase(0, pending_.size() - input[1].cbBuffer);
        else
            pending_.clear();
        if (status == SEC_E_OK) {
            if (std::exchange(renegotiating_, false)) return Progress::Established;
            return established();
        }
        if (pending_.empty()) return Progress::Handshaking;
    }
}

TlsClient::Progress TlsClient::established() {
    SecPkgContext_StreamSizes sizes{};
    SecPkgContext_ConnectionInfo connection{};
    SECURITY_STATUS status = ::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes);
    if (status == SEC_E_OK) status = ::QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection);
    if (status != SEC_E_OK) return fail(cti::TlsFailure::Handshake, Hex(status));
    headerSize_ = sizes.cbHeader;
    trailerSize_ = sizes.cbTrailer;
    maxMessage_ = std::max<std::size_t>(sizes.cbMaximumMessage, 1);

    summary_ = ProtocolName(connection.dwProtocol);
    SecPkgContext_CipherInfo cipher{};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (::QueryContextAttributesW(&context_, SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK && cipher.szCipherSuite[0])
        summary_ += ", " + WideToAnsi(cipher.szCipherSuite);
    else
        summary_ += ", cipher " + Hex(static_cast<long>(connection.aiCipher));
    summary_ += ", " + std::to_string(connection.dwCipherStrength) + " bits";
    // The credentials ask for TLS 1.2 and 1.3 only, but not every system
    // heeds every structure: what was agreed decides.
    if (!(connection.dwProtocol & kProtocols))
        return fail(cti::TlsFailure::Handshake, ProtocolName(connection.dwProtocol));

    PCCERT_CONTEXT raw = nullptr;
    status = ::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw);
    const UniqueHandle<CertificateTraits> certificate(status == SEC_E_OK ? raw : nullptr);
    const CertificateVerdict verdict = CheckServerCertificate(certificate.get(), policy_);
    summary_ += ", " + verdict.note;
    if (verdict.failure) return fail(*verdict.failure);
    handshakeDone_ = true;
    return Progress::Established;
}

TlsClient::Progress TlsClient::decrypt(std::string& toSend, std::string& plain) {
    while (!pending_.empty()) {
        SecBuffer buffers[4] = {{static_cast<ULONG>(pending_.size()), SECBUFFER_DATA, pending_.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) break;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
            return fail(cti::TlsFailure::Broken, Hex(status));
        std::size_t extra = 0;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer != nullptr)
                plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            if (buffer.BufferType == SECBUFFER_EXTRA) extra = std::min<std::size_t>(buffer.cbBuffer, pending_.size());
        }
        // Records are decrypted in place; the bytes after this one are untouched.
        pending_.erase(0, pending_.size() - extra);
        if (status == SEC_I_CONTEXT_EXPIRED) return Progress::Ended;
        if (status == SEC_I_RENEGOTIATE) {
            // Handshake messages after the handshake (TLS 1.3 tickets, key
            // updates) go back through InitializeSecurityContext.
            renegotiating_ = true;
            const Progress progress = handshakeStep(toSend);
            if (progress != Progress::Established) return progress;
        }
    }
    return Progress::Established;
}

bool TlsClient::seal(std::string_view plain, std::string& out) {
    if (!handshakeDone_ || !failure_.empty()) return false;
    std::string sealed;
    for (std::size_t at = 0; at < plain.size();) {
        const std::size_t chunk = std::min(plain.size() - at, maxMessage_);
        std::string record(headerSize_ + chunk + trailerSize_, '\0');
        std::memcpy(record.data() + headerSize_, plain.data() + at, chunk);
        SecBuffer buffers[4] = {
            {static_cast<ULONG>(headerSize_), SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<ULONG>(chunk), SECBUFFER_DATA, record.data() + headerSize_},
            {static_cast<ULONG>(trailerSize_), SECBUFFER_STREAM_TRAILER, record.data() + headerSize_ + chunk},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (::EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
        // Header, data and trailer lie one after another; the trailer may be shorter than its room.
        sealed.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        at += chunk;
    }
    out += sealed;
    return true;
}

std::string TlsClient::closeNotify() {
    if (!handshakeDone_ || !failure_.empty()) return {};
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return {};
    OutputTokens output;
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        ::InitializeSecurityContextW(&credentials_.handle, &context_, serverName_.empty() ? nullptr : serverName_.data(),
                                     kRequest, 0, 0, nullptr, 0, nullptr, output.desc(), &attributes, nullptr);
    std::string alert;
    if (status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) output.appendTo(alert);
    return alert;
}

TlsClient::Progress TlsClient::fail(cti::TlsFailure failure, std::string_view detail) {
    failure_ = cti::TlsFailureText(failure, detail);
    return Progress::Failed;
}

}  // namespace veltrane::win32
