#include "ftp/tls_certificate_text.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <functional>
#include <memory>

#include "platform/ansi.h"

namespace ftp {
namespace {

// What `print` writes into an OpenSSL memory stream; empty when none can be made.
std::string Printed(const std::function<void(BIO*)>& print) {
  const std::unique_ptr<BIO, decltype(&BIO_free)> text(BIO_new(BIO_s_mem()), BIO_free);
  if (!text) return {};
  print(text.get());
  char* bytes = nullptr;
  const long length = BIO_get_mem_data(text.get(), &bytes);
  return std::string(bytes, static_cast<std::size_t>(length));
}

std::string NameText(const X509_NAME* name) {
  if (!name) return "no name";
  // RFC 2253 order, its UTF-8 as the program's text rather than escaped.
  const std::string text =
      Printed([name](BIO* out) { X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB); });
  return text.empty() ? "no name" : platform::Utf16ToAnsi(platform::DisplayText(text));
}

std::string TimeText(const ASN1_TIME* time) {
  std::tm parts{};
  if (!time || ASN1_TIME_to_tm(time, &parts) != 1) return "an unreadable date";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return text;
}

// What the certificate is made out to: its DNS names and addresses ("the
// certificate is for DNS:a, IP Address:127.0.0.1"), or that it has none.
std::string NamesText(const X509* certificate) {
  auto* names = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  if (!names)
    return "the certificate has no DNS names or addresses; its subject " + SubjectText(certificate) +
           " does not count";
  const std::string result = Printed([names](BIO* out) {
    for (int i = 0; i < sk_GENERAL_NAME_num(names); ++i) {
      if (i > 0) BIO_puts(out, ", ");
      GENERAL_NAME_print(out, sk_GENERAL_NAME_value(names, i));
    }
  });
  GENERAL_NAMES_free(names);
  return "the certificate is for " + result;
}

// "CN=localhost, 1024-bit RSA key".
std::string KeyText(const X509* certificate) {
  const EVP_PKEY* key = X509_get0_pubkey(certificate);
  if (!key) return SubjectText(certificate);
  return SubjectText(certificate) + ", " + std::to_string(EVP_PKEY_get_bits(key)) + "-bit " +
         EVP_PKEY_get0_type_name(key) + " key";
}

}  // namespace

std::string SubjectText(const X509* certificate) {
  return certificate ? NameText(X509_get_subject_name(certificate)) : "none";
}

std::string RefusalReason(int verifyError, const X509* certificate) {
  if (!certificate) return X509_verify_cert_error_string(verifyError);
  switch (verifyError) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return "self-signed (" + SubjectText(certificate) + ")";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return "untrusted issuer (" + NameText(X509_get_issuer_name(certificate)) + ")";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "name mismatch (" + NamesText(certificate) + ")";
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
      return "key too weak (" + KeyText(certificate) + "; RSA and DH need 2048 bits at least)";
    case X509_V_ERR_CA_MD_TOO_WEAK:
      return "signed with a weak digest (" + SubjectText(certificate) + ", " +
             OBJ_nid2ln(X509_get_signature_nid(certificate)) + ")";
    case X509_V_ERR_CERT_REVOKED:
      return "revoked by its issuer (" + NameText(X509_get_issuer_name(certificate)) + ")";
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "expired on " + TimeText(X509_get0_notAfter(certificate));
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "not valid before " + TimeText(X509_get0_notBefore(certificate));
    default:
      return X509_verify_cert_error_string(verifyError);
  }
}

}  // namespace ftp
