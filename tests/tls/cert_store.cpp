// Adds a certificate authority to the current user's trusted roots of the
// Wine prefix, or removes it again: the TLS tests' own test CA.
//
//   cert-store.exe add|remove CA.der
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wstring(argv[1]) != L"add" && std::wstring(argv[1]) != L"remove")) {
        std::fprintf(stderr, "usage: cert-store add|remove CA.der\n");
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    const std::string der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    PCCERT_CONTEXT certificate = ::CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    if (certificate == nullptr) {
        std::fprintf(stderr, "cert-store: not a DER certificate\n");
        return 1;
    }
    // The registry store itself: the system store "Root" is a collection
    // from which a certificate cannot be deleted.
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    BOOL done = FALSE;
    if (store != nullptr && std::wstring(argv[1]) == L"add") {
        done = ::CertAddCertificateContextToStore(store, certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    } else if (store != nullptr) {
        PCCERT_CONTEXT found = ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                            certificate, nullptr);
        done = found == nullptr || ::CertDeleteCertificateFromStore(found);  // deleting frees it
    }
    if (!done) std::fprintf(stderr, "cert-store: failed (%lu)\n", ::GetLastError());
    if (store != nullptr) ::CertCloseStore(store, 0);
    ::CertFreeCertificateContext(certificate);
    return done ? 0 : 1;
}
