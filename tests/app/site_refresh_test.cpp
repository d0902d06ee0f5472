// The start-up refresh fetches only the site files that changed on either side.
#include <gtest/gtest.h>

#include <functional>

#include "app/site/site_refresh.h"
#include "ftp/ftp_client_probe.h"
#include "send_samples.h"
#include "support/real_ftp_server.h"
#include "support/scripted_ftp_server.h"

namespace {

namespace fs = std::filesystem;
using test::RealServerKind;

using Files = std::vector<std::string>;

// Refreshes `tree` through a client of `port` with the account `user`; the
// files it fetched, and their contents afterwards.
std::pair<Files, Files> Refresh(std::uint16_t port, const fs::path& tree, const std::string& user = "anna") {
  test::ProbedClient probe(port);
  probe.client.UserID = user;
  probe.client.ReportLevel = 1;
  for (const auto& folder : {"lib", "dtd"}) fs::create_directories(tree / folder);
  const bool received = app::RefreshSiteFiles(probe.client, app::DataPaths(tree, true), app::StartUpFiles()) != 0;
  Files fetched, contents;
  for (const std::string& status : probe.statuses)
    if (status.starts_with("RETR ")) fetched.push_back(status.substr(5));
  EXPECT_EQ(received, !fetched.empty());
  for (const auto& file : app::StartUpFiles()) contents.push_back(test::ReadFile(tree / file.local));
  return {fetched, contents};
}

class SiteRefresh : public testing::TestWithParam<RealServerKind> {};

TEST_P(SiteRefresh, FetchesWhatChangedOnEitherSideAndNothingElse) {
  test::RealFtpServer server(GetParam());
  test::TempDir shipped, local;
  fs::copy(fs::path(PARCELO_SOURCE_DIR) / "site", shipped.Path(), fs::copy_options::recursive);
  test::PublishSiteFiles(server.Top(), shipped.Path(), "<FTPSEND><Werk compress='no'/></FTPSEND>\n");
  const auto site = [&](const char* name) { return server.Top() / "k3/fab/cae" / name; };
  const struct {
    const char* change;
    std::function<void()> make;
    Files fetched;
  } steps[] = {
      {"first start", [] {}, {"ftpsend.xml", "checkit.mck", "ecum0102.DTD"}},
      {"nothing changed", [] {}, {}},
      {"the rules grew", [&] { test::WriteFile(site("checkit.mck"), test::ReadFile(site("checkit.mck")) + "\n"); },
       {"checkit.mck"}},
      {"the DTD rewritten at its size, an hour later",
       [&] {
         std::string text = test::ReadFile(site("ecum0102.DTD"));
         text[0] = text[0] == ' ' ? '\n' : ' ';
         test::WriteFile(site("ecum0102.DTD"), text);
         fs::last_write_time(site("ecum0102.DTD"), fs::last_write_time(site("ecum0102.DTD")) + std::chrono::hours(1));
       },
       {"ecum0102.DTD"}},
      {"the local list replaced", [&] { test::WriteFile(local / "lib/ftpsend.xml", "<old/>"); }, {"ftpsend.xml"}},
      {"the local rules lost", [&] { fs::remove(local / "lib/checkit.mck"); }, {"checkit.mck"}},
  };
  for (const auto& step : steps) {
    step.make();
    const auto [fetched, contents] = Refresh(server.Port(), local.Path(), server.User());
    EXPECT_EQ(fetched, step.fetched) << step.change;
    test::TempDir full;
    EXPECT_EQ(contents, Refresh(server.Port(), full.Path(), server.User()).second) << step.change << ": not as fetched whole";
  }
}

INSTANTIATE_TEST_SUITE_P(RealServers, SiteRefresh, testing::Values(RealServerKind::Pyftpdlib, RealServerKind::Vsftpd),
                         [](const auto& info) { return info.param == RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd"; });

// A server that tells neither SIZE nor MDTM gets every file, every time.
TEST(SiteRefreshWithoutFacts, FetchesEverythingEveryTime) {
  test::ScriptedFtpServer server([](test::ScriptedFtpServer::Connection& c) {
    c.Login();
    for (int i = 0; i < 9; ++i) {  // CWD; TYPE I, SIZE and MDTM of three files; TYPE A
      c.Command();
      c.Reply(i == 0 ? "250 Directory changed." : i < 8 ? "500 Unknown command." : "200 Type set to: ASCII.");
    }
    for (const char* content : {"<FTPSEND/>\r\n", "rules\r\n", "<!ENTITY x 'y'>\r\n"}) {
      auto data = c.AgreeActive("150 Here it comes.");
      data.Send(content);
      data.Close();
      c.Reply("226 Transfer complete.");
    }
    if (c.Command() == "QUIT") c.Reply("221 Goodbye.");
    c.AwaitClose();
  });
  test::TempDir local;
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(Refresh(server.Port(), local.Path()), std::make_pair(Files{"ftpsend.xml", "checkit.mck", "ecum0102.DTD"},
                                                                  Files{"<FTPSEND/>\r\n", "rules\r\n", "<!ENTITY x 'y'>\r\n"}))
        << server.Failure();
}

}  // namespace
