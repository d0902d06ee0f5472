// The start-up refresh fetches only the site files that changed on either side.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/site/site_refresh.h"
#include "ftp/ftp_client_probe.h"
#include "send_samples.h"
#include "support/real_ftp_server.h"
#include "support/scripted_ftp_server.h"

namespace {

namespace fs = std::filesystem;
using test::RealServerKind;

// A client of the test server that notes which files it fetched.
struct RefreshClient {
  explicit RefreshClient(std::uint16_t port) : probe(port) { probe.client.ReportLevel = 1; }
  std::vector<std::string> Refresh(const app::DataPaths& paths, std::int64_t* received = nullptr) {
    probe.statuses.clear();
    const std::int64_t bytes = app::RefreshSiteFiles(probe.client, paths, app::StartUpFiles());
    if (received) *received = bytes;
    std::vector<std::string> fetched;
    for (const std::string& status : probe.statuses)
      if (status.starts_with("RETR ")) fetched.push_back(status.substr(5));
    return fetched;
  }
  test::ProbedClient probe;
};

class SiteRefresh : public testing::TestWithParam<RealServerKind> {
 protected:
  SiteRefresh() : server(GetParam()), client(server.Port()) {
    client.probe.client.UserID = server.User();
    client.probe.client.Password = server.Password();
    fs::copy(fs::path(PARCELO_SOURCE_DIR) / "site", shipped.Path(), fs::copy_options::recursive);
    test::PublishSiteFiles(server.Top(), shipped.Path(), "<FTPSEND><Werk compress='no'/></FTPSEND>\n");
    for (const auto& folder : {"lib", "dtd", "doc"}) fs::create_directories(local / folder);
  }
  fs::path SiteFile(const std::string& name) const { return server.Top() / "k3/fab/cae" / name; }
  // What a full download of every file gives.
  std::vector<std::string> FullDownload() {
    test::TempDir full;
    for (const auto& folder : {"lib", "dtd", "doc"}) fs::create_directories(full / folder);
    RefreshClient fresh(server.Port());
    fresh.probe.client.UserID = server.User();
    fresh.probe.client.Password = server.Password();
    fresh.Refresh(app::DataPaths(full.Path(), true));
    return Contents(full.Path());
  }
  static std::vector<std::string> Contents(const fs::path& tree) {
    std::vector<std::string> contents;
    for (const auto& file : app::StartUpFiles()) contents.push_back(test::ReadFile(tree / file.local));
    return contents;
  }

  test::RealFtpServer server;
  RefreshClient client;
  test::TempDir shipped;
  test::TempDir local;
};

TEST_P(SiteRefresh, FetchesWhatChangedOnEitherSideAndNothingElse) {
  const app::DataPaths paths(local.Path(), true);
  const auto dtd = SiteFile("ecum0102.DTD");
  const struct {
    const char* change;
    std::function<void()> make;
    std::vector<std::string> fetched;
  } steps[] = {
      {"first start", [] {}, {"ftpsend.xml", "checkit.mck", "ecum0102.DTD"}},
      {"nothing changed", [] {}, {}},
      {"the rules grew", [&] { test::WriteFile(SiteFile("checkit.mck"), test::ReadFile(SiteFile("checkit.mck")) + "\n"); },
       {"checkit.mck"}},
      {"the DTD rewritten at its size, an hour later",
       [&] {
         std::string text = test::ReadFile(dtd);
         text[0] = text[0] == ' ' ? '\n' : ' ';
         test::WriteFile(dtd, text);
         fs::last_write_time(dtd, fs::last_write_time(dtd) + std::chrono::hours(1));
       },
       {"ecum0102.DTD"}},
      {"the local list replaced", [&] { test::WriteFile(local / "lib/ftpsend.xml", "<old/>"); }, {"ftpsend.xml"}},
      {"the local rules lost", [&] { fs::remove(local / "lib/checkit.mck"); }, {"checkit.mck"}},
  };
  for (const auto& step : steps) {
    step.make();
    std::int64_t received = -1;
    EXPECT_EQ(client.Refresh(paths, &received), step.fetched) << step.change;
    EXPECT_EQ(received != 0, !step.fetched.empty()) << step.change;
    EXPECT_EQ(Contents(local.Path()), FullDownload()) << step.change;
  }
}

INSTANTIATE_TEST_SUITE_P(RealServers, SiteRefresh, testing::Values(RealServerKind::Pyftpdlib, RealServerKind::Vsftpd),
                         [](const auto& info) { return info.param == RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd"; });

// A server that tells neither SIZE nor MDTM gets every file, every time.
TEST(SiteRefreshWithoutFacts, FetchesEverythingEveryTime) {
  test::ScriptedFtpServer server([](test::ScriptedFtpServer::Connection& c) {
    c.Login();
    for (int i = 0; i < 8; ++i) {  // CWD, TYPE I, SIZE and MDTM of three files
      c.Command();
      c.Reply(i == 0 ? "250 Directory changed." : "500 Unknown command.");
    }
    c.Command();
    c.Reply("200 Type set to: ASCII.");
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
  for (const auto& folder : {"lib", "dtd"}) fs::create_directories(local / folder);
  RefreshClient client(server.Port());
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(client.Refresh(app::DataPaths(local.Path(), true)),
              (std::vector<std::string>{"ftpsend.xml", "checkit.mck", "ecum0102.DTD"}))
        << server.Failure();
    EXPECT_EQ(test::ReadFile(local / "dtd/ecum0102.dtd"), "<!ENTITY x 'y'>\r\n");
  }
}

}  // namespace
