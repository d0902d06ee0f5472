#include "ftp/tls_connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "hand_ftps_client.h"
#include "platform/winsock_error.h"
#include "support/loopback.h"
#include "support/openssl_server.h"
#include "support/real_ftp_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace ftp {
namespace {

using test::HandControl;
using test::HandData;
using test::TestCertificate;
using testing::StartsWith;

std::string KindName(const testing::TestParamInfo<test::RealServerKind>& info) {
  return info.param == test::RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd";
}

// A real FTPS server with the test CA's certificate for 127.0.0.1, and a
// context that trusts that CA.
class TlsRealServer : public testing::TestWithParam<test::RealServerKind> {
 protected:
  test::TestCertificates certificates_;
  test::RealFtpServer server_{GetParam(), {.tls = certificates_.Files(TestCertificate::Server)}};
  TTlsContext context_{{.caFiles = {certificates_.CaFile().string()}}};
};

TEST_P(TlsRealServer, TheHandshakeOverANonBlockingSocketIsDescribedForTheLog) {
  HandControl control(server_.Port());
  control.StartTls(context_, "127.0.0.1");
  const std::string description = control.Tls().Description();
  EXPECT_TRUE(std::regex_match(description, std::regex("TLS: TLSv1\\.[23] [A-Z0-9_-]+, certificate CN=localhost")))
      << description;
  control.Login(server_);
}

TEST_P(TlsRealServer, DataConnectionsResumeTheControlSessionBothWays) {
  const std::string content = test::PatternBytes(100000, 5);
  test::WriteFile(server_.LoginDir() / "down.bin", content);
  HandControl control(server_.Port());
  control.StartTls(context_, "127.0.0.1");
  control.Login(server_);
  for (const char* command : {"PBSZ 0", "PROT P", "TYPE I"})
    EXPECT_THAT(control.Command(command), StartsWith("200"));
  {
    HandData download(control, context_, "RETR down.bin");
    EXPECT_TRUE(download.Tls().SessionReused());
    EXPECT_TRUE(download.ReadAll() == content) << "the download came back changed";
    EXPECT_TRUE(download.Tls().CloseNotifyReceived());
    EXPECT_EQ(download.Shutdown(), TlsStatus::Done);
  }
  EXPECT_THAT(control.Reply(), StartsWith("226"));
  {
    HandData upload(control, context_, "STOR up.bin");
    EXPECT_TRUE(upload.Tls().SessionReused());
    upload.Send(content);
    EXPECT_EQ(upload.Shutdown(), TlsStatus::Done);
  }
  EXPECT_THAT(control.Reply(), StartsWith("226"));
  EXPECT_TRUE(test::ReadFile(server_.LoginDir() / "up.bin") == content) << "the upload arrived changed";
}

// What makes the tests above worth something: the servers insist on TLS.
TEST_P(TlsRealServer, InsistsOnTlsForTheLoginAndTheData) {
  HandControl plain(server_.Port());
  EXPECT_THAT(plain.Command("USER " + server_.User()), StartsWith("5"));

  test::WriteFile(server_.LoginDir() / "plain.bin", "data");
  HandControl control(server_.Port());
  control.StartTls(context_, "127.0.0.1");
  control.Login(server_);
  EXPECT_THAT(control.Command("PBSZ 0"), StartsWith("200"));
  EXPECT_THAT(control.Command("PROT C"), StartsWith("200"));
  // pyftpdlib refuses the passive port already, vsftpd the transfer.
  std::string refusal = control.Command("PASV");
  if (refusal.rfind("227", 0) == 0) refusal = control.Command("RETR plain.bin");
  EXPECT_THAT(refusal, StartsWith("5"));
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsRealServer,
                         testing::Values(test::RealServerKind::Pyftpdlib, test::RealServerKind::Vsftpd),
                         KindName);

// The revocation lists a verdict is made with: the test CA's names Revoked,
// the other CA's does not speak for the test CA.
enum Lists { kNoList = 0, kTestCaList = 1, kOtherCaList = 2 };

struct Verdict {
  const char* name;
  TestCertificate certificate;
  const char* host;     // what the client expects the certificate to name
  const char* refusal;  // why it is refused; nullptr: accepted
  int lists = kNoList;
  // Under a system configuration that asks for less than we do: SECLEVEL=0,
  // which takes 1024-bit RSA keys and SHA-1 signatures (the test runs itself
  // again in a child with it).
  bool permissiveSystem = false;
};

constexpr const char* kPermissiveChild = "PARCELO_TEST_PERMISSIVE_OPENSSL";

void RunAgainUnderAPermissiveConfiguration() {
  const test::TempDir dir;
  const auto config = dir.Write("openssl.cnf",
                                "openssl_conf = init\n[init]\nssl_conf = ssl\n[ssl]\nsystem_default = defaults\n"
                                "[defaults]\nCipherString = DEFAULT@SECLEVEL=0\n");
  const auto* running = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + running->test_suite_name() + "." + running->name();
  const auto child = test::RunProgram({test::ThisProgram(), filter},
                                      {{"OPENSSL_CONF", config.string()}, {kPermissiveChild, "1"}});
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
}

void PrintTo(const Verdict& verdict, std::ostream* out) { *out << verdict.name; }

class TlsVerification : public testing::TestWithParam<Verdict> {};

TEST_P(TlsVerification, ChecksTheServersCertificateDuringTheHandshake) {
  if (GetParam().permissiveSystem && !std::getenv(kPermissiveChild)) return RunAgainUnderAPermissiveConfiguration();
  if (GetParam().permissiveSystem) {
    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> systems(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    ASSERT_EQ(SSL_CTX_get_security_level(systems.get()), 0) << "the configuration did not take";
  }
  const test::TestCertificates certificates;
  const test::RealFtpServer server(test::RealServerKind::Pyftpdlib,
                                   {.tls = certificates.Files(GetParam().certificate)});
  TTlsSettings settings{.caFiles = {certificates.CaFile().string()}};
  if (GetParam().lists & kTestCaList) settings.crlFiles.push_back(certificates.CrlFile().string());
  if (GetParam().lists & kOtherCaList) settings.crlFiles.push_back(certificates.OtherCrlFile().string());
  const TTlsContext context(settings);
  HandControl control(server.Port());
  std::string outcome = "accepted";
  try {
    control.StartTls(context, GetParam().host);
  } catch (const ETlsError& error) {
    outcome = error.what();
  }
  EXPECT_EQ(outcome, GetParam().refusal ? std::string("TLS: the certificate of ") + GetParam().host +
                                              " was refused: " + GetParam().refusal
                                        : "accepted");
}

constexpr const char* kRevoked = "revoked by its issuer (CN=Parcelo Test CA)";

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsVerification,
    testing::Values(
        Verdict{"TrustedForTheAddress", TestCertificate::Server, "127.0.0.1", nullptr},
        Verdict{"TrustedForTheName", TestCertificate::Server, "localhost", nullptr},
        Verdict{"TrustedForTheBracketedIpv6Address", TestCertificate::Server, "[::1]", nullptr},
        Verdict{"ForAnotherName", TestCertificate::Server, "ftp.elsewhere.example",
                "name mismatch (the certificate is for IP Address:127.0.0.1, IP Address:0:0:0:0:0:0:0:1, "
                "DNS:localhost)"},
        Verdict{"ForAnotherAddress", TestCertificate::OtherName, "127.0.0.1",
                "name mismatch (the certificate is for DNS:other.example)"},
        Verdict{"FromAnUntrustedIssuer", TestCertificate::Untrusted, "127.0.0.1",
                "untrusted issuer (CN=Parcelo Test Other CA)"},
        Verdict{"Expired", TestCertificate::Expired, "127.0.0.1", "expired on 2020-01-01 00:00 UTC"},
        Verdict{"SelfSigned", TestCertificate::SelfSigned, "127.0.0.1", "self-signed (CN=localhost)"},
        Verdict{"ByItsCommonNameOnly", TestCertificate::CommonNameOnly, "localhost",
                "name mismatch (the certificate has no DNS names or addresses; its subject CN=localhost does not "
                "count)"},
        Verdict{"NotListed", TestCertificate::Server, "127.0.0.1", nullptr, kTestCaList | kOtherCaList},
        Verdict{"Listed", TestCertificate::Revoked, "127.0.0.1", kRevoked, kTestCaList},
        Verdict{"ListedWithAnotherList", TestCertificate::Revoked, "127.0.0.1", kRevoked, kTestCaList | kOtherCaList},
        Verdict{"NoListOfItsIssuer", TestCertificate::Revoked, "127.0.0.1", nullptr, kOtherCaList},
        Verdict{"NoListAtAll", TestCertificate::Revoked, "127.0.0.1", nullptr},
        Verdict{"WeakKeyUnderAPermissiveSystem", TestCertificate::WeakKey, "127.0.0.1",
                "key too weak (CN=localhost, 1024-bit RSA key; RSA and DH need 2048 bits at least)", kNoList, true},
        Verdict{"WeakDigestUnderAPermissiveSystem", TestCertificate::WeakDigest, "127.0.0.1",
                "signed with a weak digest (CN=localhost, ecdsa-with-SHA1)", kNoList, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TlsVersion, AServerThatOffersLessThanTls12IsRefused) {
  const test::TestCertificates certificates;
  const test::OpensslServer server(certificates.Files(TestCertificate::Server),
                             {"-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"});
  const TTlsContext context({.caFiles = {certificates.CaFile().string()}});
  test::HandConnection connection(server.Port());
  EXPECT_THAT([&] { connection.Secure(context, "127.0.0.1"); },
              testing::ThrowsMessage<ETlsError>(
                  "TLS: the handshake with 127.0.0.1 failed: tlsv1 alert protocol version"));
}

// A peer at the other end of a loopback connection, driven by the test.
class TlsHandshake : public testing::Test {
 protected:
  TlsHandshake() { test::SetNonBlocking(client_.get(), true); }

  TTlsContext context_;
  test::LoopbackPair ends_ = test::ConnectLoopbackPair();
  const test::OwnedSocket& client_ = ends_.connecting;
  test::OwnedSocket& peer_ = ends_.accepted;
};

TEST_F(TlsHandshake, NeverWaitsForASilentPeer) {
  TTlsConnection tls(context_, client_.get(), "127.0.0.1");
  EXPECT_EQ(tls.Handshake(), TlsStatus::WantRead);
  EXPECT_EQ(tls.Handshake(), TlsStatus::WantRead);
}

TEST_F(TlsHandshake, APeerThatSpeaksPlainTextIsAFailure) {
  TTlsConnection tls(context_, client_.get(), "127.0.0.1");
  ASSERT_EQ(tls.Handshake(), TlsStatus::WantRead);
  const std::string plain = "220 Service ready\r\n";
  ASSERT_EQ(platform::SendSocket(peer_.get(), plain.data(), plain.size()), static_cast<ssize_t>(plain.size()));
  EXPECT_THAT([&] { test::Drive(client_.get(), [&] { return tls.Handshake(); }); },
              testing::ThrowsMessage<ETlsError>("TLS: the handshake with 127.0.0.1 failed: wrong version number"));
}

TEST_F(TlsHandshake, APeerThatHangsUpIsAFailure) {
  TTlsConnection tls(context_, client_.get(), "127.0.0.1");
  ASSERT_EQ(tls.Handshake(), TlsStatus::WantRead);
  char hello[4096];
  ASSERT_GT(platform::ReceiveSocket(peer_.get(), hello, sizeof hello, false), 0);
  peer_ = test::OwnedSocket();
  EXPECT_THAT([&] { test::Drive(client_.get(), [&] { return tls.Handshake(); }); },
              testing::ThrowsMessage<ETlsError>("TLS: 127.0.0.1 closed the connection during the handshake"));
}

// A reset is a socket failure like any other, for the session to report.
TEST_F(TlsHandshake, APeerThatResetsLeavesTheErrorInErrno) {
  TTlsConnection tls(context_, client_.get(), "127.0.0.1");
  ASSERT_EQ(tls.Handshake(), TlsStatus::WantRead);
  test::AwaitSocket(peer_.get(), POLLIN, std::chrono::steady_clock::now() + std::chrono::seconds(10));
  peer_ = test::OwnedSocket();  // with the client's hello unread
  EXPECT_EQ(test::Drive(client_.get(), [&] { return tls.Handshake(); }), TlsStatus::SocketError);
  EXPECT_EQ(platform::WinsockError(errno), 10054) << "a reset (WSAECONNRESET)";
}

void ProtectWithAPassphrase(const std::filesystem::path& key, const std::string& protectedKey) {
  const std::unique_ptr<BIO, decltype(&BIO_free)> in(BIO_new_file(key.string().c_str(), "r"), BIO_free);
  const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
      in ? PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
  const std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new_file(protectedKey.c_str(), "w"), BIO_free);
  char passphrase[] = "secret";
  ASSERT_TRUE(pkey && out &&
              PEM_write_bio_PKCS8PrivateKey(out.get(), pkey.get(), EVP_aes_256_cbc(), nullptr, 0, nullptr, passphrase))
      << key;
}

TEST(TlsContext, NamesAFileThatCannotBeReadAndWhy) {
  const test::TempDir dir;
  const test::TestCertificates certificates;
  const std::string missing = (dir / "missing.pem").string();
  const std::string garbage = dir.Write("garbage.pem", "no certificate").string();
  const std::string certificate = certificates.Files(TestCertificate::Client).certificate.string();
  const std::string otherKey = certificates.Files(TestCertificate::Server).key.string();
  const std::string encrypted = (dir / "encrypted.key").string();
  ProtectWithAPassphrase(certificates.Files(TestCertificate::Client).key, encrypted);
  const struct {
    TTlsSettings settings;
    std::string message;
  } cases[] = {
      {{.caFiles = {missing}}, "TLS: the CA file " + missing + " cannot be read: No such file or directory"},
      {{.caFiles = {garbage}}, "TLS: the CA file " + garbage + " cannot be read: no certificate or crl found"},
      {{.clientCertificate = missing},
       "TLS: the client certificate " + missing + " cannot be read: No such file or directory"},
      {{.clientCertificate = certificate, .clientKey = missing},
       "TLS: the client key " + missing + " cannot be read: No such file or directory"},
      {{.clientCertificate = certificate, .clientKey = garbage},
       "TLS: the client key " + garbage + " cannot be read: no private key in it"},
      {{.clientCertificate = certificate},
       "TLS: the client key " + certificate + " cannot be read: no private key in it"},
      {{.clientCertificate = certificate, .clientKey = otherKey},
       "TLS: the client key " + otherKey + " does not belong to the certificate " + certificate},
      {{.clientCertificate = certificate, .clientKey = encrypted},
       "TLS: the client key " + encrypted + " is protected by a passphrase, which nobody can give here"},
      {{.crlFiles = {missing}}, "TLS: the CRL file " + missing + " cannot be read: No such file or directory"},
      {{.crlFiles = {certificate}}, "TLS: the CRL file " + certificate + " cannot be read: no start line"},
  };
  for (const auto& [settings, message] : cases)
    EXPECT_THAT([&] { TTlsContext context(settings); }, testing::ThrowsMessage<ETlsError>(message));
}

// One context per settings for the whole process, shared by sessions on
// several threads at once; a list or a file that changed makes a new one.
TEST(TlsContext, IsSharedPerSettingsAcrossThreadsUntilAFileChanges) {
  const test::TestCertificates certificates;
  const test::TempDir dir;
  const std::string ca = dir.Write("ca.pem", test::ReadFile(certificates.CaFile())).string();
  const TTlsSettings settings{.caFiles = {ca}};
  const auto shared = TTlsContext::Shared(settings);
  EXPECT_EQ(TTlsContext::Shared(settings), shared);
  EXPECT_NE(TTlsContext::Shared({.caFiles = {ca, ca}}), shared) << "another list";

  const test::RealFtpServer server(test::RealServerKind::Pyftpdlib,
                                   {.tls = certificates.Files(TestCertificate::Server)});
  std::vector<std::thread> sessions;
  std::atomic<int> secured{0};
  for (int i = 0; i < 4; ++i)
    sessions.emplace_back([&] {
      HandControl control(server.Port());
      control.StartTls(*TTlsContext::Shared(settings), "127.0.0.1");
      control.Login(server);
      ++secured;
    });
  for (std::thread& session : sessions) session.join();
  EXPECT_EQ(secured, 4);

  test::WriteFile(ca, test::ReadFile(ca) + test::ReadFile(ca));
  EXPECT_NE(TTlsContext::Shared(settings), shared) << "the CA file changed";
}

}  // namespace
}  // namespace ftp
