// The fault matrix, FTPS: targets that require TLS beside plain ones, and
// every way a TLS connection is refused before the login goes out.

#include <gmock/gmock.h>

#include "fault_fixture.h"
#include "support/test_certificates.h"

namespace {

using test::FilesIn;
using test::RealServerOptions;
using test::TestCertificate;
using test::TestCertificates;

// A server that presents `certificate` to FTPS clients and lets plain ones in too.
RealServerOptions Presenting(TestCertificate certificate) {
  return {.tls = TestCertificates::Shared().Files(certificate), .quirk = test::FtpsQuirk::PlainClientsToo};
}

// A site whose server trusts the test CA's certificates; the program trusts
// that CA through PARCELO_TLS_CA_FILE. Each test starts with the window up
// and a container open.
class FtpsSite : public test::FaultFixture<test::SiteFixture> {
 protected:
  explicit FtpsSite(RealServerOptions options) : FaultFixture(test::RealServerKind::Pyftpdlib, std::move(options)) {
    setenv("PARCELO_TLS_CA_FILE", TestCertificates::Shared().CaFile().c_str(), 1);
  }
  void SetUp() override {
    StartWatched();
    UseContainer();
  }

  // The "TLS: ..." lines of the log.
  std::vector<std::string> TlsLines() {
    std::vector<std::string> lines;
    for (const std::string& line : SendLog())
      if (line.starts_with("TLS: ")) lines.push_back(line);
    return lines;
  }
};

// One server for plain clients and FTPS clients alike: the target list says
// which each target gets.
class MixedSite : public FtpsSite {
 protected:
  MixedSite() : FtpsSite(Presenting(TestCertificate::Server)) {
    PublishSite(TargetList({{"PLANT1", "Plant 1"}, {"PLANT2", "Plant 2", false, "", "localhost", true}}));
  }
};

TEST_F(MixedSite, APlainAndAnFtpsTargetGetTheContainerInOneSend) {
  SendTo({0, 1});
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(uploadSuccesses, 2);
  // pyftpdlib stores a text upload with its own line ends.
  std::string stored = test::Prepared(written);
  std::erase(stored, '\r');
  for (const char* target : {"PLANT1", "PLANT2"}) {
    ASSERT_EQ(FilesIn(Mailbox(target)).size(), 1u) << target;
    EXPECT_EQ(test::ReadFile(Mailbox(target) / FilesIn(Mailbox(target))[0]), stored) << target;
  }
  // The log tells what protected the FTPS target's connection, right after it connected.
  const std::vector<std::string> log = SendLog();
  const auto tls = std::find_if(log.begin(), log.end(), [](const auto& line) { return line.starts_with("TLS: "); });
  ASSERT_NE(tls, log.end());
  EXPECT_THAT(*tls, testing::MatchesRegex("TLS: TLSv1\\.3 TLS_[A-Z0-9_]+, certificate CN=localhost"));
  EXPECT_EQ(*(tls - 3), "target: Plant 2");
  EXPECT_EQ(TlsLines().size(), 1u);
}

// The site server itself requires FTPS: the start-up refresh goes through
// TLS when PARCELO_FTP_TLS says so, and so does a send to an FTPS target.
class StrictFtpsSite : public FtpsSite {
 protected:
  StrictFtpsSite() : FtpsSite({.tls = TestCertificates::Shared().Files(TestCertificate::Server)}) {
    setenv("PARCELO_FTP_TLS", "yes", 1);
    PublishSite(TargetList({{"PLANT1", "Plant 1", false, "", "127.0.0.1", true}}));
  }
};

TEST_F(StrictFtpsSite, TheStartUpRefreshAndTheSendGoThroughTls) {
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(ListLines(), std::vector<std::string>{"Plant 1"});
  SendTo({0});
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(TlsLines().size(), 1u);
}

struct Refusal {
  const char* name;
  RealServerOptions server;
  const char* address;  // the target's FTPADRESS
  std::string message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

// A target that requires FTPS on a server that cannot give it safely: the
// send ends before the login with the reason in the results and in the log,
// is not retried, and nothing reaches the server.
class RefusedFtps : public FtpsSite, public testing::WithParamInterface<Refusal> {
 protected:
  RefusedFtps() : FtpsSite(GetParam().server) {
    PublishSite(TargetList({{"PLANT1", "Plant 1", false, "", GetParam().address, true}}));
  }
};

TEST_P(RefusedFtps, EndsBeforeTheLoginWithTheReasonShownAndLogged) {
  SendTo({0});
  EXPECT_EQ(FailureOf(), GetParam().message);
  EXPECT_EQ(lastSend->targets[0].error->kind, app::FailureClass::kTls);
  auto expected = LinesUntilConnect("Plant 1", "../../../mailbox/PLANT1");
  expected.push_back("--> Error: " + GetParam().message);
  ExpectFailedLog(expected, "PLANT1");
  ExpectPreparedAndKept();
  EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tls, RefusedFtps,
    testing::Values(
        Refusal{"UntrustedIssuer", Presenting(TestCertificate::Untrusted), "127.0.0.1",
                "TLS: the certificate of 127.0.0.1 was refused: untrusted issuer (CN=Parcelo Test Other CA)"},
        Refusal{"NameMismatch", Presenting(TestCertificate::OtherName), "127.0.0.1",
                "TLS: the certificate of 127.0.0.1 was refused: name mismatch (the certificate is for "
                "DNS:other.example)"},
        Refusal{"Expired", Presenting(TestCertificate::Expired), "localhost",
                "TLS: the certificate of localhost was refused: expired on 2020-01-01 00:00 UTC"},
        Refusal{"AuthTlsRefused", {}, "127.0.0.1",
                "TLS: 127.0.0.1 refused AUTH TLS: 500 Command \"AUTH\" not understood."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
