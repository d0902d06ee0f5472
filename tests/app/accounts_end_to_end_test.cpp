// Accounts at the targets: a Werk's user= takes its password from the
// netrc file, and where the site is kept under TLS no password goes out in
// clear unless a Werk says so, and then the log tells.
#include <gmock/gmock.h>

#include "end_to_end_fixture.h"
#include "support/test_certificates.h"

namespace {

using test::RealServerKind;
using test::TestCertificates;

// The server has a second account, anna, whose login lands in her own folder.
class AccountsEndToEnd : public test::EndToEnd {
 protected:
  AccountsEndToEnd() : EndToEnd({.secondUser = "anna"}) {}
};

// anna's password is in the netrc file, for the host her Werk names, after
// another login's; bob's is nowhere. The target without user= keeps the
// site's account.
TEST_P(AccountsEndToEnd, AUserOfTheWerkLogsInWithTheNetrcPasswordAndOneWithoutAnEntryFailsAlone) {
  const auto netrc = root / "netrc";
  test::WriteFile(netrc, "machine localhost login carl password wrong\nmachine localhost login anna password " +
                             server.Password() + "\n");
  std::filesystem::permissions(netrc, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto annasMailbox = server.Top() / "anna/mailbox/anna";
  std::filesystem::create_directories(annasMailbox);
  PublishTargets({"plant1"}, Werk("ANNA", "anna", "localhost:" + std::to_string(server.Port()), " user='anna'") +
                                 Werk("BOB", "bob", "127.0.0.1", " user='bob'") + Werk("PLANT1", "plant1"));
  const auto result =
      Run({container.string(), "-t", "ANNA", "-t", "BOB", "-t", "PLANT1", "-retry", "0"}, {{"NETRC", netrc.string()}});
  EXPECT_EQ(result.exitCode, 2) << result.output;
  EXPECT_EQ(test::FilesIn(annasMailbox).size(), 1u) << result.output;
  EXPECT_EQ(Mailbox("plant1").size(), 1u) << result.output;
  EXPECT_NE(result.output.find("\nBOB failed: No password for bob at 127.0.0.1 in the netrc file\n"), std::string::npos)
      << result.output;
}

INSTANTIATE_TEST_SUITE_P(Pyftpdlib, AccountsEndToEnd, ::testing::Values(RealServerKind::Pyftpdlib));

// The site server speaks FTPS and lets plain clients in too.
class FtpsSiteEndToEnd : public test::EndToEnd {
 protected:
  FtpsSiteEndToEnd()
      : EndToEnd({.tls = TestCertificates::Shared().Files(test::TestCertificate::Server),
                  .quirk = test::FtpsQuirk::PlainClientsToo}) {}
};

TEST_P(FtpsSiteEndToEnd, ATargetWithoutTlsFollowsTheSiteAndOneWithTlsNoIsLoggedAsInClear) {
  PublishTargets({"plant1", "dev"}, Werk("PLANT1", "plant1") + Werk("DEV", "dev", "127.0.0.1", " tls='no'"));
  const auto result =
      Run({container.string(), "-t", "PLANT1", "-t", "DEV"},
          {{"PARCELO_FTP_TLS", "yes"}, {"PARCELO_TLS_CA_FILE", TestCertificates::Shared().CaFile().string()}});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Mailbox("plant1").size(), 1u);
  EXPECT_EQ(Mailbox("dev").size(), 1u);
  const auto blocks = LogBlocks();
  ASSERT_EQ(blocks.size(), 2u) << Log();
  const auto tlsLine = testing::StartsWith("TLS: TLSv1.");
  EXPECT_THAT(blocks[0], testing::Contains(tlsLine)) << Log();
  EXPECT_THAT(blocks[1], testing::Not(testing::Contains(tlsLine))) << Log();
  EXPECT_THAT(blocks[1], testing::Contains("password sent without TLS to 127.0.0.1")) << Log();
  EXPECT_THAT(blocks[0], testing::Not(testing::Contains(testing::StartsWith("password sent")))) << Log();
}

INSTANTIATE_TEST_SUITE_P(Pyftpdlib, FtpsSiteEndToEnd, ::testing::Values(RealServerKind::Pyftpdlib));

}  // namespace
