#include "app/site/site_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace app {
namespace {

class SiteConfigTest : public ::testing::Test {
 protected:
  ~SiteConfigTest() override {
    for (auto name : {"PARCELO_FTP_HOST", "PARCELO_FTP_PORT", "PARCELO_FTP_USER", "PARCELO_FTP_PASSWORD",
                      "PARCELO_FTP_TLS", "PARCELO_FTP_PASSIVE", "PARCELO_TLS_CA_FILE", "STOWA_ITS_URL"})
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

TEST_F(SiteConfigTest, FtpsIsRequiredByYesAndAnythingButYesOrNoKeepsTheBuiltInChoice) {
  EXPECT_FALSE(SiteServerFromEnvironment().tls);
  for (const auto& [value, tls] : {std::pair{"yes", true}, {"YES", true}, {"no", false}, {"maybe", false}}) {
    setenv("PARCELO_FTP_TLS", value, 1);
    EXPECT_EQ(SiteServerFromEnvironment().tls, tls) << value;
  }
}

TEST_F(SiteConfigTest, TrustedCasAreTheSitesBundlesThenTheNamedFile) {
  test::TempDir appDir;
  const DataPaths paths(appDir.Path(), true);
  EXPECT_TRUE(TrustedCaFiles(paths).empty());
  test::WriteFile(appDir.Path() / "lib/ca.pem", "");
  setenv("PARCELO_TLS_CA_FILE", "/etc/site-ca.pem", 1);
  EXPECT_EQ(TrustedCaFiles(paths),
            (std::vector<std::string>{(appDir.Path() / "lib/ca.pem").string(), "/etc/site-ca.pem"}));
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
