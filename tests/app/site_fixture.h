#pragma once

#include <QDialog>

#include "app_fixture.h"
#include "send_samples.h"
#include "support/modal.h"
#include "support/real_ftp_server.h"

namespace test {

// A program run against a real FTP server that serves the site: the files
// every start fetches in k3/fab/cae (three levels above the login folder) and
// the targets' mailboxes. AppDir holds the site's local files.
class SiteFixture : public AppFixture {
 protected:
  explicit SiteFixture(RealServerKind kind = RealServerKind::Pyftpdlib, RealServerOptions options = {})
      : server(kind, std::move(options)) {
    setenv("PARCELO_FTP_HOST", "127.0.0.1", 1);
    setenv("PARCELO_FTP_PORT", std::to_string(server.Port()).c_str(), 1);
    setenv("PARCELO_FTP_USER", server.User().c_str(), 1);
    setenv("PARCELO_FTP_PASSWORD", server.Password().c_str(), 1);
    PublishSite(TargetList({{"PLANT1", "Plant 1", false}, {"DEV", "Development lab", false}}));
    // The readme of this list was seen already, unless a test says otherwise.
    PresetSettings([](auto& registry) { registry.WriteString("ReadmeDate", kListReadmeDate); });
  }

  struct Target {
    std::string shortName;
    std::string name;
    bool stowa = false;
    std::string path = {};  // the mailbox of the short name when empty
    std::string address = "127.0.0.1";
    bool tls = false;
    bool passive = false;
  };
  static constexpr const char* kListReadmeDate = "01.12.2026";

  // A target list whose FTP targets are mailboxes on the test server.
  static std::string TargetList(const std::vector<Target>& targets, const std::string& readmeDate = kListReadmeDate) {
    std::string list = "<?xml version=\"1.0\"?>\n<FTPSEND>\n  <IntranetUrl>http://intranet.example/ecu/</IntranetUrl>\n"
                       "  <ReadmeDate>" + readmeDate + "</ReadmeDate>\n";
    for (const auto& target : targets)
      list += "  <Werk compress=\"no\"" + std::string(target.stowa ? " stowa=\"yes\"" : "") +
              (target.tls ? " tls=\"yes\"" : "") +
              (target.passive ? " passive=\"yes\"" : "") + "><NAME>" + target.name +
              "</NAME>" + (target.shortName.empty() ? std::string() : "<SHORTNAME>" + target.shortName + "</SHORTNAME>") + "<PFAD>" +
              (target.path.empty() ? "../../../mailbox/" + target.shortName : target.path) +
              "</PFAD><FTPADRESS>" + target.address + "</FTPADRESS></Werk>\n";
    return list + "</FTPSEND>\n";
  }

  std::filesystem::path SiteDir() const { return server.Top() / "k3/fab/cae"; }
  std::filesystem::path Mailbox(const std::string& shortName) const { return server.Top() / "mailbox" / shortName; }

  // Puts the target list (and the other site files) on the server and
  // creates the mailboxes of its targets.
  void PublishSite(const std::string& targetList) {
    PublishSiteFiles(server.Top(), appDir(), targetList);
    WriteFile(SiteDir() / "Readme.html", "<html><body><h1>Readme of the site</h1></body></html>");
    for (auto name : {"PLANT1", "PLANT2", "DEV", "BENCH"}) std::filesystem::create_directories(Mailbox(name));
  }

  std::vector<std::string> ListLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < form().TargetListBox->count(); ++i) lines.push_back(form().TargetListBox->item(i)->text().toStdString());
    return lines;
  }

  RealFtpServer server;

};

}  // namespace test
