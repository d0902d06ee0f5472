#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ftp/ftp_client.h"
#include "platform/event_loop.h"
#include "ftp_client_probe.h"
#include "support/private_hosts.h"
#include "support/real_ftp_server.h"
#include "support/temp_dir.h"
#include "support/test_certificates.h"

namespace ftp {
namespace {

struct ServerMode {
  test::RealServerKind kind;
  bool passive;
  TTlsMode tls = TTlsMode::None;
  const char* address = "127.0.0.1";
};

std::string NameOf(const testing::TestParamInfo<ServerMode>& info) {
  const char* tls[] = {"", "Ftps", "ImplicitFtps"};
  return std::string(info.param.kind == test::RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd") +
         (info.param.passive ? "Passive" : "Active") + tls[static_cast<int>(info.param.tls)] +
         (std::string(info.param.address) == "::1" ? "Ipv6" : "");
}

std::vector<ServerMode> EveryMode() {
  std::vector<ServerMode> modes;
  for (const auto kind : {test::RealServerKind::Pyftpdlib, test::RealServerKind::Vsftpd})
    for (const auto tls : {TTlsMode::None, TTlsMode::Explicit, TTlsMode::Implicit})
      for (const bool passive : {false, true}) modes.push_back({kind, passive, tls});
  return modes;
}

// One real server and a client logged in to it, in the mode of the parameter:
// with TLS, the server insists on it and its certificate is trusted through
// the test CA.
class RealServerTest : public testing::TestWithParam<ServerMode> {
 protected:
  RealServerTest()
      : server_(GetParam().kind, {.tls = ServerCertificate(),
                                  .implicitTls = GetParam().tls == TTlsMode::Implicit,
                                  .address = GetParam().address}),
        probe_(server_.Port()) {
    probe_.client.Host = GetParam().address;
    probe_.client.UserID = server_.User();
    probe_.client.Password = server_.Password();
    probe_.client.Passive = GetParam().passive;
    probe_.client.TlsMode = GetParam().tls;
    probe_.client.TlsCaFiles = {certificates_.CaFile().string()};
    probe_.client.OnTransferNote = [this](const std::string& note) { notes_.push_back(note); };
  }

  std::optional<test::CertificateFiles> ServerCertificate() const {
    if (GetParam().tls == TTlsMode::None) return std::nullopt;
    return certificates_.Files(test::TestCertificate::Server);
  }

  void Login() {
    probe_.client.Connect();
    ASSERT_TRUE(probe_.client.Connected);
  }

  // Uploads `content` in `mode` and downloads it again; both copies must be byte-exact.
  void RoundTrip(const std::string& name, const std::string& content, TTransferMode mode) {
    test::WriteFile(local_ / ("up-" + name), content);
    probe_.client.SetTransferMode(mode);
    probe_.client.Upload((local_ / ("up-" + name)).string(), name);
    EXPECT_TRUE(test::ReadFile(server_.LoginDir() / name) == content) << name << " arrived changed";
    probe_.client.Download(name, (local_ / ("down-" + name)).string());
    EXPECT_TRUE(test::ReadFile(local_ / ("down-" + name)) == content) << name << " came back changed";
    EXPECT_EQ(probe_.client.BytesReceived(), static_cast<std::int64_t>(content.size()));
  }

  test::TestCertificates certificates_;
  test::RealFtpServer server_;
  test::ProbedClient probe_;
  test::TempDir local_;
  std::vector<std::string> notes_;
};

using RealServerIpv6Test = RealServerTest;

// Passive transfers ask EPSV first (229); every binary upload is confirmed
// by the server's SIZE.
TEST_P(RealServerTest, PassiveTakesEpsvAndSizeConfirmsTheUpload) {
  probe_.client.ReportLevel = 1;
  Login();
  RoundTrip("c.bin", test::PatternBytes(300000, 9), tmLocal8);
  EXPECT_EQ(notes_, std::vector<std::string>{"verified: 300000 bytes"});
  const bool extended = std::any_of(probe_.statuses.begin(), probe_.statuses.end(),
                                    [](const std::string& line) { return line.starts_with("229 "); });
  EXPECT_EQ(extended, GetParam().passive);
}

// Over IPv6 the data goes by EPSV (passive) or EPRT (active).
TEST_P(RealServerIpv6Test, FilesTravelByteExactAndAreConfirmed) {
  Login();
  EXPECT_EQ(probe_.client.PeerAddress().Text(), "::1");
  RoundTrip("empty.cnt", "", tmLocal8);
  RoundTrip("container.cnt", test::PatternBytes(1 << 20, 7), tmLocal8);
  EXPECT_EQ(notes_, (std::vector<std::string>{"verified: 0 bytes", "verified: 1048576 bytes"}));
  probe_.client.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(RealServers, RealServerIpv6Test,
                         testing::Values(ServerMode{test::RealServerKind::Pyftpdlib, false, TTlsMode::None, "::1"},
                                         ServerMode{test::RealServerKind::Pyftpdlib, true, TTlsMode::None, "::1"},
                                         ServerMode{test::RealServerKind::Vsftpd, false, TTlsMode::None, "::1"},
                                         ServerMode{test::RealServerKind::Vsftpd, true, TTlsMode::None, "::1"}),
                         NameOf);

TEST_P(RealServerTest, LogsInClimbsThreeLevelsAndSetsTheTypes) {
  std::filesystem::create_directories(server_.Top() / "k3" / "fab" / "cae");
  Login();
  probe_.client.ChangeDirectory("../../../k3/fab/cae");
  probe_.client.SetTransferMode(tmAscii);
  probe_.client.SetTransferMode(tmLocal8);
  EXPECT_EQ(probe_.successes, (std::vector<TCmdType>{ctChangeDir, ctOther, ctOther}));
  probe_.client.SendCommand("PWD");
  EXPECT_NE(probe_.client.LastReply.find("k3/fab/cae"), std::string::npos) << probe_.client.LastReply;
  probe_.client.Disconnect();
  EXPECT_FALSE(probe_.client.Connected);
}

TEST_P(RealServerTest, SmallFilesTravelByteExact) {
  Login();
  RoundTrip("empty.cnt", "", tmLocal8);
  RoundTrip("container.cnt", test::PatternBytes(100000, 7), tmLocal8);
  // Text without line ends is the same in every representation type.
  RoundTrip("text.xml", std::string(5000, 'x'), tmAscii);
  EXPECT_EQ(probe_.successes.size(), 9u);
}

TEST_P(RealServerTest, LargeFileTravelsByteExact) {
  Login();
  RoundTrip("large.bin", test::PatternBytes(64 * 1024 * 1024, 3), tmImage);
}

TEST_P(RealServerTest, BytesReceivedTellsTheLastOfThreeDownloads) {
  test::WriteFile(server_.LoginDir() / "ftpsend.xml", std::string(300, 'a'));
  test::WriteFile(server_.LoginDir() / "checkit.mck", std::string(200, 'b'));
  test::WriteFile(server_.LoginDir() / "Readme.html", std::string(123, 'c'));
  Login();
  probe_.client.SetTransferMode(tmAscii);
  for (const char* name : {"ftpsend.xml", "checkit.mck", "Readme.html"})
    probe_.client.Download(name, (local_ / name).string());
  EXPECT_EQ(probe_.client.BytesReceived(), 123);
  EXPECT_EQ(probe_.client.TransferSize, 123);
}

TEST_P(RealServerTest, MissingRemoteFileFailsTwice) {
  test::WriteFile(local_ / "ftpsend.xml", "last good list");
  Login();
  try {
    probe_.client.Download("no-such-file.xml", (local_ / "ftpsend.xml").string());
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_EQ(std::string(error.what()).substr(0, 3), "550");
  }
  EXPECT_EQ(probe_.failures, (std::vector<TCmdType>{ctDownload, ctDownload}));
  EXPECT_EQ(test::ReadFile(local_ / "ftpsend.xml"), "last good list");
  EXPECT_TRUE(probe_.client.Connected);
}

TEST_P(RealServerTest, UploadIntoARefusedFolderFails) {
  test::WriteFile(local_ / "c.cnt", "container");
  Login();
  EXPECT_THROW(probe_.client.Upload((local_ / "c.cnt").string(), "locked/c.cnt"), FTPException);
  EXPECT_TRUE(probe_.successes.empty());
  EXPECT_EQ(probe_.failures, (std::vector<TCmdType>{ctUpload, ctUpload}));
  EXPECT_FALSE(std::filesystem::exists(server_.LoginDir() / "locked" / "c.cnt"));
}

TEST_P(RealServerTest, WrongPasswordEndsTheLogin) {
  probe_.client.Password = "wrong";
  probe_.client.ReportLevel = 1;
  try {
    probe_.client.Connect();
    FAIL();
  } catch (const FTPException& error) {
    EXPECT_EQ(std::string(error.what()).substr(0, 3), "530");
  }
  EXPECT_EQ(probe_.connectionFailed, 1);
  EXPECT_FALSE(probe_.client.Connected);
  EXPECT_EQ(probe_.client.StatusText(), "Verbindung abgebrochen");
  EXPECT_NE(std::find(probe_.statuses.begin(), probe_.statuses.end(), "QUIT"), probe_.statuses.end());
  for (const std::string& status : probe_.statuses) EXPECT_EQ(status.find("wrong"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(RealServers, RealServerTest, testing::ValuesIn(EveryMode()), NameOf);

struct ClientCertificateCase {
  const char* name;
  test::RealServerKind kind;
  std::optional<test::TestCertificate> offered;
  const char* refusal;  // empty: the session works
};

void PrintTo(const ClientCertificateCase& which, std::ostream* out) { *out << which.name; }

class ClientCertificateTest : public testing::TestWithParam<ClientCertificateCase> {};

// A server that insists on a client certificate of the test CA, on the
// control connection and on every data connection.
TEST_P(ClientCertificateTest, IsOfferedWhenTheServerAsks) {
  const test::TestCertificates certificates;
  test::RealFtpServer server(GetParam().kind,
                             {.tls = certificates.Files(test::TestCertificate::Server), .clientCa = certificates.CaFile()});
  test::ProbedClient probe(server.Port());
  probe.client.UserID = server.User();
  probe.client.Password = server.Password();
  probe.client.TlsMode = TTlsMode::Explicit;
  probe.client.Passive = true;
  probe.client.TlsCaFiles = {certificates.CaFile().string()};
  std::string certificate;
  if (GetParam().offered) {
    certificate = certificates.Files(*GetParam().offered).certificate.string();
    probe.client.TlsCertificateFile = certificate;
    probe.client.TlsKeyFile = certificates.Files(*GetParam().offered).key.string();
  }
  test::TempDir local;
  test::WriteFile(local / "c.cnt", "container for a picky site");
  std::string refusal;
  try {
    probe.client.Connect();
    probe.client.Upload((local / "c.cnt").string(), "c.cnt");
    probe.client.Disconnect();
  } catch (const ETlsError& error) {
    refusal = error.what();
  }
  if (*GetParam().refusal == '\0') {
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(test::ReadFile(server.LoginDir() / "c.cnt"), "container for a picky site");
  } else {
    std::string expected = GetParam().refusal;
    if (const auto at = expected.find("CERTIFICATE"); at != std::string::npos) expected.replace(at, 11, certificate);
    EXPECT_EQ(refusal, expected);
    EXPECT_FALSE(std::filesystem::exists(server.LoginDir() / "c.cnt"));
  }
}

constexpr const char* kUnknownCa = "TLS: 127.0.0.1 refused the client certificate CERTIFICATE: tlsv1 alert unknown ca";
constexpr const char* kRequired = "TLS: 127.0.0.1 requires a client certificate, and none is set up";

INSTANTIATE_TEST_SUITE_P(
    Offers, ClientCertificateTest,
    testing::Values(
        ClientCertificateCase{"PyftpdlibTrusted", test::RealServerKind::Pyftpdlib, test::TestCertificate::Client, ""},
        ClientCertificateCase{"PyftpdlibUntrusted", test::RealServerKind::Pyftpdlib,
                              test::TestCertificate::UntrustedClient, kUnknownCa},
        ClientCertificateCase{"PyftpdlibNone", test::RealServerKind::Pyftpdlib, std::nullopt, kRequired},
        ClientCertificateCase{"VsftpdTrusted", test::RealServerKind::Vsftpd, test::TestCertificate::Client, ""},
        ClientCertificateCase{"VsftpdUntrusted", test::RealServerKind::Vsftpd, test::TestCertificate::UntrustedClient,
                              kUnknownCa},
        ClientCertificateCase{"VsftpdNone", test::RealServerKind::Vsftpd, std::nullopt, kRequired}),
    [](const auto& info) { return std::string(info.param.name); });

// A site that takes uploads slowly (pyftpdlib throttled to 1 MB/s, in bursts
// with pauses of up to 2 s) is still reading for seconds after the client has
// handed the last byte to its socket, and answers only once it has them all:
// that is a slow site, not a silent one.
TEST(ThrottledRealServer, SlowReaderGetsTheWholeUpload) {
  test::RealFtpServer server(test::RealServerKind::Pyftpdlib, {.readLimit = 1 << 20});
  test::ProbedClient probe(server.Port());
  probe.client.UserID = server.User();
  probe.client.Password = server.Password();
  // Above the server's longest pause, below the seconds of reading that
  // remain after the last send.
  probe.client.TimeOut = 3000;
  test::TempDir local;
  // Well beyond what the socket buffers of both ends hold.
  const std::string content = test::PatternBytes(8 << 20, 5);
  test::WriteFile(local / "big.cnt", content);
  probe.client.Connect();
  probe.client.SetTransferMode(tmLocal8);
  probe.client.Upload((local / "big.cnt").string(), "big.cnt");
  EXPECT_EQ(probe.successes, (std::vector<TCmdType>{ctOther, ctUpload}));
  EXPECT_TRUE(test::ReadFile(server.LoginDir() / "big.cnt") == content);
  probe.client.Disconnect();
}

// TLS adds no loop of its own: while a download's records are decrypted the
// window still gets its turn every few milliseconds.
TEST(FtpsWindow, KeepsTickingDuringADownload) {
  using namespace std::chrono_literals;
  const test::TestCertificates certificates;
  test::RealFtpServer server(test::RealServerKind::Vsftpd, {.tls = certificates.Files(test::TestCertificate::Server)});
  test::WriteFile(server.LoginDir() / "big.bin", test::PatternBytes(64 << 20, 9));
  test::ProbedClient probe(server.Port());
  probe.client.UserID = server.User();
  probe.client.Password = server.Password();
  probe.client.TlsMode = TTlsMode::Explicit;
  probe.client.TlsCaFiles = {certificates.CaFile().string()};
  probe.client.Connect();
  test::TempDir local;
  auto& loop = platform::EventLoop::Current();
  int ticks = 0;
  const auto timer = loop.StartTimer(10ms, [&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  probe.client.Download("big.bin", (local / "big.bin").string());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  loop.StopTimer(timer);
  EXPECT_EQ(std::filesystem::file_size(local / "big.bin"), 64u << 20);
  EXPECT_GE(ticks, elapsed / 20ms - 1) << "the window froze while the data came in";
}

struct BrokenFtps {
  const char* name;
  test::FtpsQuirk quirk;
  std::string message;
};

void PrintTo(const BrokenFtps& broken, std::ostream* out) { *out << broken.name; }

class BrokenFtpsServer : public testing::TestWithParam<BrokenFtps> {};

// Under PROT P a data connection that is not TLS is not data, and a TLS
// stream that ends without the server's close_notify may have been cut
// short: either download fails, and the old local copy stays.
TEST_P(BrokenFtpsServer, FailsTheDownloadAndKeepsTheLocalCopy) {
  const test::TestCertificates certificates;
  test::RealFtpServer server(test::RealServerKind::Pyftpdlib,
                             {.tls = certificates.Files(test::TestCertificate::Server), .quirk = GetParam().quirk});
  test::WriteFile(server.LoginDir() / "ftpsend.xml", std::string(50000, 'n'));
  test::ProbedClient probe(server.Port());
  probe.client.UserID = server.User();
  probe.client.Password = server.Password();
  probe.client.TlsMode = TTlsMode::Explicit;
  probe.client.TlsCaFiles = {certificates.CaFile().string()};
  probe.client.Passive = true;
  test::TempDir local;
  test::WriteFile(local / "ftpsend.xml", "last good list");
  probe.client.Connect();
  EXPECT_THAT([&] { probe.client.Download("ftpsend.xml", (local / "ftpsend.xml").string()); },
              testing::ThrowsMessage<ETlsError>(testing::StartsWith(GetParam().message)));
  EXPECT_EQ(probe.failures, (std::vector<TCmdType>{ctDownload}));
  EXPECT_EQ(test::ReadFile(local / "ftpsend.xml"), "last good list");
}

INSTANTIATE_TEST_SUITE_P(
    Quirks, BrokenFtpsServer,
    testing::Values(BrokenFtps{"PlainDataUnderProtP", test::FtpsQuirk::PlainDataConnections,
                               "TLS: the handshake with 127.0.0.1 failed: "},
                    BrokenFtps{"NoCloseNotify", test::FtpsQuirk::DataWithoutCloseNotify,
                               "TLS: the data connection from 127.0.0.1 ended without close_notify"}),
    [](const auto& info) { return std::string(info.param.name); });

// A name with an IPv6 and an IPv4 address: the client tries them in the
// resolver's order until one answers. The name lives in the test's own
// /etc/hosts (a child process in a private mount namespace).
TEST(DualStackName, TheAddressesAreTriedInTurn) {
  const std::string name = "dual.parcelo.test";
  if (!test::InPrivateHosts()) {
    const auto child = test::RunWithHosts("::1 " + name + "\n127.0.0.1 " + name + "\n",
                                          "DualStackName.TheAddressesAreTriedInTurn");
    if (!child) GTEST_SKIP() << "this system allows no private /etc/hosts";
    EXPECT_EQ(child->exitCode, 0) << child->output;
    EXPECT_NE(child->output.find("[  PASSED  ] 1 test."), std::string::npos) << child->output;
    return;
  }
  // Only IPv4 answers: ::1 refuses, 127.0.0.1 takes the login.
  test::RealFtpServer ipv4(test::RealServerKind::Pyftpdlib);
  test::ProbedClient first(ipv4.Port());
  first.client.Host = name;
  first.client.UserID = ipv4.User();
  first.client.Password = ipv4.Password();
  first.client.Connect();
  EXPECT_EQ(first.client.PeerAddress().Text(), "127.0.0.1");
  first.client.Disconnect();

  // IPv6 answers first and carries a passive upload.
  test::RealFtpServer ipv6(test::RealServerKind::Pyftpdlib, {.address = "::1"});
  test::ProbedClient second(ipv6.Port());
  second.client.Host = name;
  second.client.UserID = ipv6.User();
  second.client.Password = ipv6.Password();
  second.client.Passive = true;
  test::TempDir local;
  test::WriteFile(local / "c.cnt", "container over IPv6");
  second.client.Connect();
  EXPECT_EQ(second.client.PeerAddress().Text(), "::1");
  second.client.Upload((local / "c.cnt").string(), "c.cnt");
  EXPECT_EQ(test::ReadFile(ipv6.LoginDir() / "c.cnt"), "container over IPv6");
  second.client.Disconnect();
}

}  // namespace
}  // namespace ftp
