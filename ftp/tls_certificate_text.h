#pragma once

#include <openssl/x509.h>

#include <string>

namespace ftp {

// The certificate's subject in one line, most specific part first: "CN=ftp.plant1.example,O=Plant 1".
std::string SubjectText(const X509* certificate);

// Why a certificate check failed, for people: "untrusted issuer (CN=...)",
// "name mismatch (...)", "expired on 2020-01-01 00:00 UTC", "self-signed (...)",
// "key too weak (...)", "revoked by its issuer (...)".
// `certificate` is the one the check failed on (null: the library's own text).
std::string RefusalReason(int verifyError, const X509* certificate);

}  // namespace ftp
