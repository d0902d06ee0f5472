#pragma once

// The built program, run as a user's script runs it: unattended, without a
// display, against a real FTP site.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "send_samples.h"
#include "support/real_ftp_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace test {

class EndToEnd : public ::testing::TestWithParam<RealServerKind> {
 public:
  // The Werk of a target on this site's server, its mailbox `mailbox`; `attributes` (" user='anna'") go into its tag.
  static std::string Werk(const std::string& shortName, const std::string& mailbox, const std::string& address = "127.0.0.1",
                          const std::string& attributes = "") {
    return "<Werk compress='no'" + attributes + "><NAME>" + shortName + " plant</NAME><SHORTNAME>" + shortName +
           "</SHORTNAME><PFAD>../../../mailbox/" + mailbox + "</PFAD><FTPADRESS>" + address + "</FTPADRESS></Werk>";
  }
  // `werk` uploading under the temporary name `pattern`.
  static std::string WithTempName(std::string werk, const std::string& pattern) {
    return werk.replace(werk.find("compress='no'"), 13, "compress='no' tempname='" + pattern + "'");
  }
  // Puts a target list of `werke` on the server, with a mailbox for each.
  void PublishTargets(const std::vector<std::string>& mailboxes, const std::string& werke) {
    test::PublishSiteFiles(server.Top(), appDir,
                           "<FTPSEND><IntranetUrl>http://x/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>" + werke +
                               "</FTPSEND>");
    for (const auto& mailbox : mailboxes) std::filesystem::create_directories(server.Top() / "mailbox" / mailbox);
  }

 protected:
  explicit EndToEnd(test::RealServerOptions options = {}) : server(GetParam(), std::move(options)) {
    // The program's own tree, as installed: bin/parcelo beside the site's folders.
    std::filesystem::copy(std::filesystem::path(PARCELO_SOURCE_DIR) / "site", appDir,
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(appDir / "bin");
    std::filesystem::copy_file(std::filesystem::path(PARCELO_BUILD_DIR) / "bin/parcelo", appDir / "bin/parcelo");
    test::PublishSiteFiles(server.Top(), appDir,
                           "<FTPSEND><IntranetUrl>http://x/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>"
                           "<Werk compress='no'><NAME>Plant 1</NAME><SHORTNAME>PLANT1</SHORTNAME>"
                           "<PFAD>../../../mailbox/plant1</PFAD><FTPADRESS>127.0.0.1</FTPADRESS></Werk>"
                           "<Werk compress='yes'><NAME>Development</NAME><SHORTNAME>DEV</SHORTNAME>"
                           "<PFAD>../../../mailbox/dev</PFAD><FTPADRESS>127.0.0.1</FTPADRESS></Werk></FTPSEND>");
    std::filesystem::create_directories(server.Top() / "mailbox/plant1");
    std::filesystem::create_directories(server.Top() / "mailbox/dev");
    test::WriteFile(container, test::kSmallContainer);
  }

  // Runs the program as cron does: no display, no desktop session; `changes` change its environment
  // further. Every run must end by itself within the bound.
  test::ProgramResult Run(std::vector<std::string> arguments, std::map<std::string, std::string> changes = {},
                          std::atomic<pid_t>* started = nullptr) {
    arguments.insert(arguments.begin(), (appDir / "bin/parcelo").string());
    std::map<std::string, std::string> environment = {{"XDG_CONFIG_HOME", (root / "config").string()},
                                                      {"PARCELO_FTP_HOST", "127.0.0.1"},
                                                      {"PARCELO_FTP_PORT", std::to_string(server.Port())},
                                                      {"PARCELO_FTP_USER", server.User()},
                                                      {"PARCELO_FTP_PASSWORD", server.Password()}};
    for (const char* name : test::kCronBlankedVariables) environment[name] = "";
    for (auto& [name, value] : changes) environment[name] = value;
    return test::RunProgram(arguments, environment, std::chrono::seconds(30), started);
  }
  std::vector<std::string> Mailbox(const std::string& name) const { return test::FilesIn(server.Top() / "mailbox" / name); }
  std::string Arrived(const std::string& name, const std::string& file) const {
    return test::ReadFile(server.Top() / "mailbox" / name / file);
  }
  // What arrives of a text upload: pyftpdlib stores it with its own line ends.
  std::string AsStoredInTextMode(std::string text) const {
    if (GetParam() == RealServerKind::Pyftpdlib) std::erase(text, '\r');
    return text;
  }
  std::string Log() const { return test::ReadFile(appDir / "backup/ParceloLog.txt"); }
  // The last run's log lines by target: each block from its "target: " line
  // up to the next, the last one up to the first "result: " line.
  std::vector<std::vector<std::string>> LogBlocks() const {
    const std::string log = Log();
    std::vector<std::vector<std::string>> blocks;
    for (const std::string& line : test::LogLines(log.substr(log.rfind("Parcelo Version")))) {
      if (line.starts_with("result: ")) break;
      if (line.starts_with("target: ")) blocks.emplace_back();
      if (!blocks.empty()) blocks.back().push_back(line);
    }
    return blocks;
  }
  std::filesystem::path WorkDir() const { return root / "work"; }
  // Writes settings before the run, as an earlier run would have.
  void PresetSettings(const std::function<void(platform::TRegistry&)>& write) {
    platform::TRegistry registry(root / "config/Korvath/Parcelo.reg");
    ASSERT_TRUE(registry.OpenKey("\\Software\\Korvath\\Parcelo", true));
    write(registry);
  }

  test::RealFtpServer server;
  test::TempDir root;
  std::filesystem::path appDir = root / "parcelo";
  std::filesystem::path container = root / "work/ECU 4711.cnt";
};

}  // namespace test
