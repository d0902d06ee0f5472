#include "support/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace test {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

constexpr long kDay = 24 * 60 * 60;

void Check(bool ok, const char* step) {
  if (!ok) throw std::runtime_error(std::string("test certificates: ") + step + " failed");
}

enum class KeyKind { Ec, WeakRsa };

Key NewKey(KeyKind kind = KeyKind::Ec) {
  Key key(kind == KeyKind::Ec ? EVP_EC_gen("P-256") : EVP_RSA_gen(1024), EVP_PKEY_free);
  Check(key != nullptr, "key generation");
  return key;
}

// Who signs a certificate: a CA's certificate and key, or nobody (self-signed).
struct Issuer {
  const X509* certificate = nullptr;
  EVP_PKEY* key = nullptr;
};

// Current: from yesterday for 30 days. Expired: through 2019 only.
enum class Validity { Current, Expired };

enum class Role { Authority, Server, Client };

struct Request {
  const char* commonName;
  const char* altNames;  // subjectAltName value; null: none
  Validity validity = Validity::Current;
  Role role = Role::Server;
  const EVP_MD* (*digest)() = EVP_sha256;
  KeyKind key = KeyKind::Ec;
};

void AddExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Check(extension && X509_add_ext(certificate, extension, -1) == 1, "extension");
  X509_EXTENSION_free(extension);
}

Certificate Make(const Request& request, EVP_PKEY* key, Issuer issuer) {
  static long serial = 1;
  Certificate certificate(X509_new(), X509_free);
  X509* made = certificate.get();
  Check(made && X509_set_version(made, 2) == 1, "version");
  ASN1_INTEGER_set(X509_get_serialNumber(made), serial++);
  if (request.validity == Validity::Expired) {
    ASN1_TIME_set_string(X509_getm_notBefore(made), "20190101000000Z");
    ASN1_TIME_set_string(X509_getm_notAfter(made), "20200101000000Z");
  } else {
    X509_gmtime_adj(X509_getm_notBefore(made), -kDay);
    X509_gmtime_adj(X509_getm_notAfter(made), 30 * kDay);
  }
  X509_NAME* subject = X509_get_subject_name(made);
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(request.commonName), -1, -1, 0);
  const bool selfSigned = issuer.certificate == nullptr;
  X509_set_issuer_name(made, selfSigned ? subject : X509_get_subject_name(issuer.certificate));
  Check(X509_set_pubkey(made, key) == 1, "public key");

  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, selfSigned ? made : const_cast<X509*>(issuer.certificate), made, nullptr,
                 nullptr, 0);
  const bool authority = request.role == Role::Authority;
  AddExtension(made, context, NID_basic_constraints, authority ? "critical,CA:TRUE" : "CA:FALSE");
  AddExtension(made, context, NID_key_usage,
               authority ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,keyEncipherment");
  if (request.role == Role::Client) AddExtension(made, context, NID_ext_key_usage, "clientAuth");
  AddExtension(made, context, NID_subject_key_identifier, "hash");
  if (request.altNames) AddExtension(made, context, NID_subject_alt_name, request.altNames);
  Check(X509_sign(made, selfSigned ? key : issuer.key, request.digest()) > 0, "signing");
  return certificate;
}

// OpenSSL takes file names in UTF-8, on Windows too.
BIO* OpenForWriting(const std::filesystem::path& file) {
  const std::u8string name = file.u8string();
  return BIO_new_file(std::string(name.begin(), name.end()).c_str(), "w");
}

void WriteCertificate(const std::filesystem::path& file, const X509* certificate) {
  BIO* out = OpenForWriting(file);
  Check(out && PEM_write_bio_X509(out, certificate) == 1, "writing a certificate");
  BIO_free(out);
}

// A revocation list of `issuer`, current for a day, that names `revoked` (if any).
void WriteCrl(const std::filesystem::path& file, Issuer issuer, const X509* revoked) {
  const std::unique_ptr<X509_CRL, decltype(&X509_CRL_free)> crl(X509_CRL_new(), X509_CRL_free);
  Check(crl && X509_CRL_set_version(crl.get(), 1) == 1, "revocation list");
  X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(issuer.certificate));
  ASN1_TIME* now = X509_gmtime_adj(nullptr, -kDay);
  ASN1_TIME* next = X509_gmtime_adj(nullptr, kDay);
  X509_CRL_set1_lastUpdate(crl.get(), now);
  X509_CRL_set1_nextUpdate(crl.get(), next);
  if (revoked) {
    X509_REVOKED* entry = X509_REVOKED_new();
    X509_REVOKED_set_serialNumber(entry, const_cast<ASN1_INTEGER*>(X509_get0_serialNumber(revoked)));
    X509_REVOKED_set_revocationDate(entry, now);
    Check(X509_CRL_add0_revoked(crl.get(), entry) == 1, "revoked entry");
  }
  ASN1_TIME_free(now);
  ASN1_TIME_free(next);
  X509_CRL_sort(crl.get());
  Check(X509_CRL_sign(crl.get(), issuer.key, EVP_sha256()) > 0, "signing a revocation list");
  BIO* out = OpenForWriting(file);
  Check(out && PEM_write_bio_X509_CRL(out, crl.get()) == 1, "writing a revocation list");
  BIO_free(out);
}

void WriteKey(const std::filesystem::path& file, EVP_PKEY* key) {
  BIO* out = OpenForWriting(file);
  Check(out && PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "writing a key");
  BIO_free(out);
}

}  // namespace

TestCertificates::TestCertificates() {
  const Key caKey = NewKey();
  const Certificate ca = Make({"Parcelo Test CA", nullptr, Validity::Current, Role::Authority}, caKey.get(), {});
  const Key otherCaKey = NewKey();
  const Certificate otherCa =
      Make({"Parcelo Test Other CA", nullptr, Validity::Current, Role::Authority}, otherCaKey.get(), {});
  caFile_ = dir_ / "ca.pem";
  WriteCertificate(caFile_, ca.get());

  constexpr const char* kLoopback = "IP:127.0.0.1,IP:::1,DNS:localhost";
  const Issuer testCa{ca.get(), caKey.get()};
  const Issuer otherIssuer{otherCa.get(), otherCaKey.get()};
  const struct {
    TestCertificate which;
    const char* name;
    Request request;
    Issuer issuer;
  } made[] = {
      {TestCertificate::Server, "server", {"localhost", kLoopback}, testCa},
      {TestCertificate::OtherName, "other-name", {"other.example", "DNS:other.example"}, testCa},
      {TestCertificate::Expired, "expired", {"localhost", kLoopback, Validity::Expired}, testCa},
      {TestCertificate::SelfSigned, "self-signed", {"localhost", kLoopback}, {}},
      {TestCertificate::Untrusted, "untrusted", {"localhost", kLoopback}, otherIssuer},
      {TestCertificate::CommonNameOnly, "common-name-only", {"localhost", nullptr}, testCa},
      {TestCertificate::Revoked, "revoked", {"localhost", kLoopback}, testCa},
      {TestCertificate::WeakKey, "weak-key",
       {"localhost", kLoopback, Validity::Current, Role::Server, EVP_sha256, KeyKind::WeakRsa}, testCa},
      {TestCertificate::WeakDigest, "weak-digest", {"localhost", kLoopback, Validity::Current, Role::Server, EVP_sha1},
       testCa},
      {TestCertificate::Client, "client", {"parcelo-client", nullptr, Validity::Current, Role::Client}, testCa},
      {TestCertificate::UntrustedClient, "untrusted-client",
       {"parcelo-client", nullptr, Validity::Current, Role::Client}, otherIssuer},
  };
  for (const auto& [which, name, request, issuer] : made) {
    const Key key = NewKey(request.key);
    const CertificateFiles files{dir_ / (std::string(name) + ".pem"), dir_ / (std::string(name) + ".key")};
    const Certificate certificate = Make(request, key.get(), issuer);
    WriteCertificate(files.certificate, certificate.get());
    WriteKey(files.key, key.get());
    files_[which] = files;
    if (which == TestCertificate::Revoked) WriteCrl(crlFile_ = dir_ / "ca-crl.pem", testCa, certificate.get());
  }
  WriteCrl(otherCrlFile_ = dir_ / "other-ca-crl.pem", otherIssuer, nullptr);
}

const TestCertificates& TestCertificates::Shared() {
  static const TestCertificates made;
  return made;
}

}  // namespace test
