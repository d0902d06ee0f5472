// OpenSSL's headers name some of wincrypt.h's macros themselves; they must not see them.
#include <windows.h>
#include <wincrypt.h>
#undef X509_NAME
#undef X509_EXTENSIONS
#undef PKCS7_SIGNER_INFO
#undef OCSP_REQUEST
#undef OCSP_RESPONSE

#include <openssl/err.h>
#include <openssl/x509.h>

#include "ftp/tls_system_trust.h"

namespace ftp {

int AddWindowsStoreCertificates(X509_STORE* store, const wchar_t* storeName) {
  HCERTSTORE system = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                    CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, storeName);
  if (!system) return 0;
  int added = 0;
  PCCERT_CONTEXT certificate = nullptr;
  while ((certificate = CertEnumCertificatesInStore(system, certificate))) {
    const unsigned char* der = certificate->pbCertEncoded;
    X509* parsed = d2i_X509(nullptr, &der, static_cast<long>(certificate->cbCertEncoded));
    // One the library cannot read (or has already) is left out; the others still count.
    if (parsed && X509_STORE_add_cert(store, parsed) == 1) ++added;
    X509_free(parsed);
  }
  CertCloseStore(system, 0);
  ERR_clear_error();
  return added;
}

// The current user's view of "ROOT" holds the machine's roots too.
void AddSystemTrust(SSL_CTX* ctx) { AddWindowsStoreCertificates(SSL_CTX_get_cert_store(ctx), L"ROOT"); }

}  // namespace ftp
