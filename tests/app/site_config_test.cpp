#include "app/site/site_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/environment.h"
#include "support/temp_dir.h"

namespace app {
namespace {

class SiteConfigTest : public ::testing::Test {
 protected:
  ~SiteConfigTest() override {
    for (auto name : {"PARCELO_FTP_HOST", "PARCELO_FTP_PORT", "PARCELO_FTP_USER", "PARCELO_FTP_PASSWORD",
                      "PARCELO_FTP_TLS", "PARCELO_FTP_PASSIVE", "PARCELO_TLS_CA_FILE", "PARCELO_TLS_CRL_FILE",
                      "PARCELO_TLS_CERT", "PARCELO_TLS_KEY", "STOWA_ITS_URL"})
      unsetenv(name);
  }
};

TEST_F(SiteConfigTest, TheEnvironmentOverridesTheBuiltInSite) {
  const SiteServer builtIn = SiteServerFromEnvironment();
  EXPECT_EQ(builtIn.host, "ftp.korvath.example");
  EXPECT_EQ(builtIn.port, 21);
  EXPECT_FALSE(builtIn.passive);
  setenv("PARCELO_FTP_HOST", "127.0.0.1", 1);
  setenv("PARCELO_FTP_PORT", "2121", 1);
  setenv("PARCELO_FTP_USER", "demo", 1);
  setenv("PARCELO_FTP_PASSWORD", "secret", 1);
  setenv("PARCELO_FTP_PASSIVE", "yes", 1);
  const SiteServer server = SiteServerFromEnvironment();
  EXPECT_EQ(server.host, "127.0.0.1");
  EXPECT_EQ(server.port, 2121);
  EXPECT_EQ(server.user, "demo");
  EXPECT_EQ(server.password, "secret");
  EXPECT_TRUE(server.passive);
  setenv("PARCELO_FTP_PASSIVE", "no", 1);
  EXPECT_FALSE(SiteServerFromEnvironment().passive);
}

TEST_F(SiteConfigTest, FtpsIsYesOrImplicitAndAnythingElseButNoKeepsTheBuiltInChoice) {
  using ftp::TTlsMode;
  EXPECT_EQ(SiteServerFromEnvironment().tls, TTlsMode::None);
  const struct {
    const char* value;
    TTlsMode tls;
    int port;  // without PARCELO_FTP_PORT
  } cases[] = {{"yes", TTlsMode::Explicit, 21},
               {"YES", TTlsMode::Explicit, 21},
               {"Implicit", TTlsMode::Implicit, 990},
               {"no", TTlsMode::None, 21},
               {"maybe", TTlsMode::None, 21}};
  for (const auto& [value, tls, port] : cases) {
    setenv("PARCELO_FTP_TLS", value, 1);
    EXPECT_EQ(SiteServerFromEnvironment().tls, tls) << value;
    EXPECT_EQ(SiteServerFromEnvironment().port, port) << value;
  }
  setenv("PARCELO_FTP_PORT", "2990", 1);
  EXPECT_EQ(SiteServerFromEnvironment().port, 2990) << "a port named wins";
}

TEST_F(SiteConfigTest, ATargetWithoutPortTakesTheSitesUnlessItsFtpsIsImplicit) {
  using ftp::TTlsMode;
  SiteServer plain;
  plain.port = 2121;
  SiteServer implicit;
  implicit.port = 990;
  implicit.tls = TTlsMode::Implicit;
  EXPECT_EQ(TargetDefaultPort(plain, TTlsMode::None), 2121);
  EXPECT_EQ(TargetDefaultPort(plain, TTlsMode::Explicit), 2121);
  EXPECT_EQ(TargetDefaultPort(plain, TTlsMode::Implicit), 990);
  EXPECT_EQ(TargetDefaultPort(implicit, TTlsMode::Explicit), 21);
  EXPECT_EQ(TargetDefaultPort(implicit, TTlsMode::Implicit), 990);
}

TEST_F(SiteConfigTest, TrustedCasAndRevocationListsAreTheSitesFilesThenTheNamedOne) {
  test::TempDir appDir;
  const DataPaths paths(appDir.Path(), true);
  EXPECT_TRUE(TrustedCaFiles(paths).empty());
  EXPECT_TRUE(TlsCrlFiles(paths).empty());
  test::WriteFile(appDir.Path() / "lib/ca.pem", "");
  test::WriteFile(appDir.Path() / "lib/crl.pem", "");
  setenv("PARCELO_TLS_CA_FILE", "/etc/site-ca.pem", 1);
  setenv("PARCELO_TLS_CRL_FILE", "/etc/site-crl.pem", 1);
  EXPECT_EQ(TrustedCaFiles(paths),
            (std::vector<std::string>{test::Native(appDir.Path() / "lib/ca.pem"), "/etc/site-ca.pem"}));
  EXPECT_EQ(TlsCrlFiles(paths),
            (std::vector<std::string>{test::Native(appDir.Path() / "lib/crl.pem"), "/etc/site-crl.pem"}));
}

TEST_F(SiteConfigTest, TheClientCertificateIsTheNamedOneElseTheUsersOwn) {
  test::TempDir appDir;
  const DataPaths paths(appDir.Path(), true);
  EXPECT_EQ(TlsClientCertificate(paths).certificate, "");
  test::WriteFile(appDir.Path() / "lib/client.pem", "");
  EXPECT_EQ(TlsClientCertificate(paths).certificate, test::Native(appDir.Path() / "lib/client.pem"));
  EXPECT_EQ(TlsClientCertificate(paths).key, "") << "the key is in the same file";
  setenv("PARCELO_TLS_CERT", "/home/anna/me.pem", 1);
  setenv("PARCELO_TLS_KEY", "/home/anna/me.key", 1);
  EXPECT_EQ(TlsClientCertificate(paths).certificate, "/home/anna/me.pem");
  EXPECT_EQ(TlsClientCertificate(paths).key, "/home/anna/me.key");
}

TEST_F(SiteConfigTest, AnUnusablePortFallsBackToTheFtpPort) {
  setenv("PARCELO_FTP_PORT", "ftp", 1);
  EXPECT_EQ(SiteServerFromEnvironment().port, 21);
  setenv("PARCELO_FTP_PORT", "70000", 1);
  EXPECT_EQ(SiteServerFromEnvironment().port, 21);
}

TEST_F(SiteConfigTest, TheStowaAddressTakesTheServerAsItIs) {
  EXPECT_EQ(BuildStowaUrl(),
            "http://stowa.korvath.example:85/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=");
  setenv("STOWA_ITS_URL", "pdm.example:8080/%HOME%", 1);
  EXPECT_EQ(BuildStowaUrl(),
            "http://pdm.example:8080/%HOME%/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=");
  setenv("STOWA_ITS_URL", "", 1);
  EXPECT_TRUE(BuildStowaUrl().starts_with("http://stowa.korvath.example:85/"));
}

}  // namespace
}  // namespace app
