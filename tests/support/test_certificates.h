#pragma once

#include <filesystem>
#include <map>

#include "support/temp_dir.h"

namespace test {

// A certificate and its private key, as PEM files.
struct CertificateFiles {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// The certificates a test can hand to a TLS server on 127.0.0.1 or to the client.
enum class TestCertificate {
  Server,      // CN=localhost for IP 127.0.0.1 and DNS localhost, issued by the test CA
  OtherName,   // CN=other.example for DNS other.example only, issued by the test CA
  Expired,     // as Server, but valid only until 2020-01-01 00:00 UTC
  SelfSigned,  // as Server, but signed by its own key
  Untrusted,   // as Server, but issued by "Parcelo Test Other CA", which nobody trusts
  CommonNameOnly,  // CN=localhost without any DNS name or address, issued by the test CA
  Revoked,     // as Server, but named by the test CA's revocation list
  WeakKey,     // as Server, but with a 1024-bit RSA key
  WeakDigest,  // as Server, but signed with SHA-1
  Client,      // CN=parcelo-client for client authentication, issued by the test CA
  UntrustedClient,  // as Client, but issued by the other CA
};

// A test CA and the certificates above, made afresh with new keys into a
// temporary folder that goes away with the object.
class TestCertificates {
 public:
  // Raises std::runtime_error when the crypto library fails.
  TestCertificates();
  // One set for the whole process, made when first asked for: making them
  // takes a moment.
  static const TestCertificates& Shared();

  // The CA to trust: "CN=Parcelo Test CA".
  const std::filesystem::path& CaFile() const { return caFile_; }
  const CertificateFiles& Files(TestCertificate which) const { return files_.at(which); }
  // The test CA's revocation list, which names Revoked only.
  const std::filesystem::path& CrlFile() const { return crlFile_; }
  // The other CA's revocation list, which names nothing.
  const std::filesystem::path& OtherCrlFile() const { return otherCrlFile_; }

 private:
  TempDir dir_;
  std::filesystem::path caFile_;
  std::filesystem::path crlFile_;
  std::filesystem::path otherCrlFile_;
  std::map<TestCertificate, CertificateFiles> files_;
};

}  // namespace test
