// The built program, run as a user's script runs it: unattended, without a
// display, against a real FTP site.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "send_samples.h"
#include "support/real_ftp_server.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using test::RealServerKind;

constexpr const char* kContainer =
    "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">\r\n"
    "<ecu-memory-container>\r\n<project-info><ecu-ident>8W0 907</ecu-ident><sw-ident>SW0412</sw-ident>"
    "<supplier>M\xFCller</supplier><EMAIL>a@plant.example</EMAIL></project-info>\r\n"
    "<memory-block address=\"0x0\" length=\"0x2\"><data>0A0B</data></memory-block>\r\n</ecu-memory-container>\r\n";

class EndToEnd : public ::testing::TestWithParam<RealServerKind> {
 protected:
  EndToEnd() : server(GetParam()) {
    // The program's own tree, as installed: bin/parcelo beside the site's folders.
    std::filesystem::copy(std::filesystem::path(PARCELO_SOURCE_DIR) / "site", appDir,
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(appDir / "bin");
    std::filesystem::copy_file(std::filesystem::path(PARCELO_BUILD_DIR) / "bin/parcelo", appDir / "bin/parcelo");
    const auto site = server.Top() / "k3/fab/cae";
    test::WriteFile(site / "ftpsend.xml",
                    "<FTPSEND><IntranetUrl>http://x/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>"
                    "<Werk compress='no'><NAME>Plant 1</NAME><SHORTNAME>PLANT1</SHORTNAME>"
                    "<PFAD>../../../mailbox/plant1</PFAD><FTPADRESS>127.0.0.1</FTPADRESS></Werk>"
                    "<Werk compress='yes'><NAME>Development</NAME><SHORTNAME>DEV</SHORTNAME>"
                    "<PFAD>../../../mailbox/dev</PFAD><FTPADRESS>127.0.0.1</FTPADRESS></Werk></FTPSEND>");
    std::filesystem::copy_file(appDir / "lib/checkit.mck", site / "checkit.mck");
    std::filesystem::copy_file(appDir / "dtd/ecum0102.dtd", site / "ecum0102.DTD");
    std::filesystem::create_directories(server.Top() / "mailbox/plant1");
    std::filesystem::create_directories(server.Top() / "mailbox/dev");
    test::WriteFile(container, kContainer);
  }

  // Runs the program as cron does: no display, no desktop session.
  test::ProgramResult Run(std::vector<std::string> arguments, int port = 0, const std::string& loggingRules = "") {
    arguments.insert(arguments.begin(), (appDir / "bin/parcelo").string());
    return test::RunProgram(arguments, {{"XDG_CONFIG_HOME", (root / "config").string()},
                                        {"PARCELO_FTP_HOST", "127.0.0.1"},
                                        {"PARCELO_FTP_PORT", std::to_string(port ? port : server.Port())},
                                        {"PARCELO_FTP_USER", server.User()},
                                        {"PARCELO_FTP_PASSWORD", server.Password()},
                                        {"DISPLAY", ""},
                                        {"WAYLAND_DISPLAY", ""},
                                        {"XDG_RUNTIME_DIR", ""},
                                        {"QT_LOGGING_RULES", loggingRules},
                                        {"QT_QPA_PLATFORM", ""}});
  }
  std::vector<std::string> Mailbox(const std::string& name) const { return test::FilesIn(server.Top() / "mailbox" / name); }
  std::string Log() const { return test::ReadFile(appDir / "backup/ParceloLog.txt"); }

  test::RealFtpServer server;
  test::TempDir root;
  std::filesystem::path appDir = root / "parcelo";
  std::filesystem::path container = root / "work/ECU 4711.cnt";
};

TEST_P(EndToEnd, AnUnattendedSendDeliversToBothTargetsAndEndsWithZero) {
  const auto result = Run({container.string(), "-t", "plant1", "-t", "DEV"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, "") << "a successful run has nothing to say";

  const std::string prepared = test::ReadFile(container);
  EXPECT_NE(prepared.find("1.2//EN\" \"ecum0102.dtd\">"), std::string::npos);
  EXPECT_NE(prepared.find("M&uuml;ller"), std::string::npos);
  for (const std::string target : {"plant1", "dev"}) {
    const auto files = Mailbox(target);
    ASSERT_EQ(files.size(), 1u) << target;
    EXPECT_TRUE(files[0].starts_with("SW0412.")) << files[0];
    std::string arrived = test::ReadFile(server.Top() / "mailbox" / target / files[0]);
    std::string expected = prepared;
    if (GetParam() == RealServerKind::Pyftpdlib) std::erase(expected, '\r');  // it stores text with its own line ends
    EXPECT_EQ(arrived, expected) << target;
  }
  EXPECT_EQ(test::ReadFile(appDir / "backup/ECU 4711.cnt"), prepared);
  EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));

  std::istringstream log(Log());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line.substr(0, line.size() - 1));
  ASSERT_EQ(lines.size(), 16u) << Log();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Parcelo Version 3.0.0.6");
  EXPECT_TRUE(lines[2].starts_with("connect: "));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.begin() + 7),
            (std::vector<std::string>{"target: Plant 1", "target path: ../../../mailbox/plant1", "compression: no",
                                      "Set FTPMode to ASCII"}));
  EXPECT_EQ(lines[7], "SourceFile: " + container.string());
  EXPECT_TRUE(lines[8].starts_with("TargetFile: SW0412."));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 9, lines.begin() + 13),
            (std::vector<std::string>{"target: Development", "target path: ../../../mailbox/dev", "compression: yes",
                                      "Set FTPMode to ASCII"}));
  EXPECT_EQ(lines[15], "container no.: 8W0 907-SW0412");
  EXPECT_NE(test::ReadFile(root / "config/Korvath/Parcelo.reg").find("\"SendEMail\"=dword:00000000"),
            std::string::npos);
}

TEST_P(EndToEnd, AFailingRefreshWithAnArgumentEndsWithOne) {
  const auto result = Run({container.string()}, 1);
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_EQ(result.output.find("Error in FTP area"), std::string::npos);
  EXPECT_EQ(Log(), "! Error in FTP connection by getting the actual target and check lists\r\n");
}

TEST_P(EndToEnd, AFailedSendIsReportedAndEndsWithOne) {
  std::filesystem::remove_all(server.Top() / "mailbox/plant1");
  const auto result = Run({container.string(), "-t", "PLANT1"});
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("Error: Error by parsing target list"), std::string::npos) << result.output;
  EXPECT_NE(Log().find(" --> Failure: FTP: change directory failed\r\n"), std::string::npos) << Log();
}

TEST_P(EndToEnd, NoLogAloneReportsNoFileAndTouchesNoLog) {
  const auto result = Run({"-nolog"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("Error: No file selected"), std::string::npos) << result.output;
  EXPECT_FALSE(std::filesystem::exists(appDir / "backup/ParceloLog.txt"));
}

TEST_P(EndToEnd, TheUsageTextEndsWithZeroAndFetchesNothing) {
  const std::string localList = test::ReadFile(appDir / "lib/ftpsend.xml");
  const auto result = Run({"?", container.string()});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("Information: Aufruf: Parcelo [filename]"), std::string::npos) << result.output;
  EXPECT_EQ(test::ReadFile(appDir / "lib/ftpsend.xml"), localList);
}

TEST_P(EndToEnd, QtsOwnNotesStayOffStandardErrorUnlessLoggingRulesAskForThem) {
  EXPECT_EQ(Run({"-nolog"}).output, "Error: No file selected\n");
  // A rule that enables nothing more lets Qt's default notes through again.
  const auto asked = Run({"-nolog"}, 0, "parcelo.nothing=true");
  EXPECT_NE(asked.output.find("XDG_RUNTIME_DIR not set"), std::string::npos) << asked.output;
  EXPECT_NE(asked.output.find("Error: No file selected\n"), std::string::npos) << asked.output;
}

TEST_P(EndToEnd, HelpAndVersionPrintToStandardOutputAndStartNothing) {
  const std::string localList = test::ReadFile(appDir / "lib/ftpsend.xml");
  const auto onStandardOutput = [&](const std::string& option) {
    const std::string program = (appDir / "bin/parcelo").string();
    return test::RunProgram({"/bin/sh", "-c", "exec \"$0\" x.cnt " + option + " 2>/dev/null", program},
                            {{"PARCELO_FTP_PORT", std::to_string(server.Port())},
                             {"XDG_CONFIG_HOME", (root / "config").string()}});
  };
  const auto version = onStandardOutput("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "Parcelo 3.0.0.6\n");
  const auto help = onStandardOutput("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.output.starts_with("Usage: parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...]\n"))
      << help.output;
  EXPECT_NE(help.output.find("--version"), std::string::npos);
  EXPECT_EQ(test::ReadFile(appDir / "lib/ftpsend.xml"), localList);
  EXPECT_FALSE(std::filesystem::exists(appDir / "backup"));
  EXPECT_FALSE(std::filesystem::exists(root / "config"));
}

INSTANTIATE_TEST_SUITE_P(RealServers, EndToEnd, ::testing::Values(RealServerKind::Pyftpdlib, RealServerKind::Vsftpd),
                         [](const auto& info) {
                           return std::string(info.param == RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd");
                         });

}  // namespace
