#pragma once

#include <openssl/ssl.h>

namespace ftp {

// Adds the certificate authorities the system trusts to the context's store:
// OpenSSL's default paths on POSIX, the "ROOT" certificate store on Windows.
void AddSystemTrust(SSL_CTX* ctx);

#ifdef _WIN32
// Adds the certificates of the current user's system store `storeName`
// ("ROOT", "CA", ...) to `store`; returns how many were added.
int AddWindowsStoreCertificates(X509_STORE* store, const wchar_t* storeName);
#endif

}  // namespace ftp
