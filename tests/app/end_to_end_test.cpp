#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "end_to_end_fixture.h"
#include "support/loopback.h"

namespace {

using test::EndToEnd;
using test::RealServerKind;

TEST_P(EndToEnd, AnUnattendedSendDeliversToBothTargetsAndEndsWithZero) {
  const auto result = Run({container.string(), "-t", "plant1", "-t", "DEV"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const auto plant1 = Mailbox("plant1"), dev = Mailbox("dev");
  ASSERT_EQ(plant1.size(), 1u);
  ASSERT_EQ(dev.size(), 1u);
  EXPECT_EQ(result.output, "PLANT1 delivered " + plant1[0] + "\nDEV delivered " + dev[0] + "\n")
      << "a successful run says only where each container went";

  const std::string prepared = test::ReadFile(container);
  EXPECT_NE(prepared.find("1.2//EN\" \"ecum0102.dtd\">"), std::string::npos);
  EXPECT_NE(prepared.find("M&uuml;ller"), std::string::npos);
  for (const std::string target : {"plant1", "dev"}) {
    const auto files = Mailbox(target);
    ASSERT_EQ(files.size(), 1u) << target;
    EXPECT_TRUE(files[0].starts_with("SW0412.")) << files[0];
    EXPECT_EQ(Arrived(target, files[0]), AsStoredInTextMode(prepared)) << target;
  }
  EXPECT_EQ(test::ReadFile(appDir / "backup/ECU 4711.cnt"), prepared);
  EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));

  std::istringstream log(Log());
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line.substr(0, line.size() - 1));
  ASSERT_EQ(lines.size(), 20u) << Log();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Parcelo Version 3.0.0.6");
  EXPECT_TRUE(lines[2].starts_with("connect: "));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.begin() + 7),
            (std::vector<std::string>{"target: Plant 1", "target path: ../../../mailbox/plant1", "compression: no",
                                      "Set FTPMode to ASCII"}));
  EXPECT_EQ(lines[7], "SourceFile: " + container.string());
  EXPECT_TRUE(lines[8].starts_with("TargetFile: SW0412."));
  // Both servers confirm the size of what they stored, with their own line ends.
  const std::string verification =
      "verified: " + std::to_string(Arrived("plant1", Mailbox("plant1")[0]).size()) + " bytes";
  EXPECT_EQ(lines[9], verification);
  EXPECT_EQ(lines[16], verification);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 10, lines.begin() + 14),
            (std::vector<std::string>{"target: Development", "target path: ../../../mailbox/dev", "compression: yes",
                                      "Set FTPMode to ASCII"}));
  EXPECT_EQ(lines[17], "result: PLANT1 delivered (1 attempt)");
  EXPECT_EQ(lines[18], "result: DEV delivered (1 attempt)");
  EXPECT_EQ(lines[19], "container no.: 8W0 907-SW0412");
  EXPECT_NE(test::ReadFile(root / "config/Korvath/Parcelo.reg").find("\"SendEMail\"=dword:00000000"),
            std::string::npos);
}

// The log line and standard error say why: the server's reply, the
// client's socket error, or a plain server where FTPS is required.
TEST_P(EndToEnd, AFailingRefreshWithAnArgumentSaysWhyAndEndsWithOne) {
  const struct {
    std::map<std::string, std::string> changes;
    std::string reason;
  } cases[] = {
      {{{"PARCELO_FTP_PASSWORD", "wrong"}}, ": 530 "},
      {{{"PARCELO_FTP_PORT", std::to_string(test::ClosedLoopbackPort())}}, ": 10061:Connection refused"},
      {{{"PARCELO_FTP_TLS", "yes"}}, ": TLS: 127.0.0.1 refused AUTH TLS: 5"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(appDir / "backup/ParceloLog.txt");
    const auto result = Run({container.string()}, c.changes);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    const std::string line = "Error in FTP connection by getting the actual target and check lists" + c.reason;
    EXPECT_TRUE(Log().starts_with("! " + line)) << Log();
    EXPECT_EQ(test::Count(Log(), "\r\n"), 1u) << Log();
    EXPECT_NE(result.output.find("Error: " + line), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("Error in FTP area"), std::string::npos);
  }
}

// A run that sends nothing has failed and says why; the container is not
// rewritten when it goes nowhere.
TEST_P(EndToEnd, ARunThatSendsNothingSaysWhyAndEndsWithOne) {
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> said;
  } cases[] = {
      {{container.string(), "-t", "NOSUCH"}, {"Error: No target has the short name \"NOSUCH\"", "Error: No target selected"}},
      {{container.string(), "-nobackup"}, {"Error: No target selected"}},
      {{"-nolog"}, {"Error: No file selected"}},
  };
  for (const auto& c : cases) {
    const auto result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    for (const std::string& said : c.said) EXPECT_NE(result.output.find(said), std::string::npos) << result.output;
    EXPECT_EQ(test::ReadFile(container), test::kSmallContainer);
    EXPECT_EQ(test::FilesIn(WorkDir()), std::vector<std::string>{"ECU 4711.cnt"});
  }
  EXPECT_TRUE(Mailbox("plant1").empty());
  EXPECT_EQ(test::Count(Log(), "Parcelo Version"), 2u) << "-nolog wrote to the log";
}

// Without a display nobody could act on the window: a start-up that fails
// ends the run with exit code 1 and the message on standard error.
TEST_P(EndToEnd, AFailingStartUpEndsTheRunWithOne) {
  const struct {
    std::function<void(platform::TRegistry&)> settings;
    std::string said;
  } cases[] = {
      {[](auto& registry) { registry.WriteString("Backup", "yes"); }, "Invalid data type for 'Backup'"},
      {[&](auto& registry) { registry.WriteString("BackupFolder", (root / "nowhere").string()); },
       "Cannot open the transfer log"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root / "config");
    PresetSettings(c.settings);
    const auto result = Run({container.string(), "-t", "PLANT1"});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find(c.said), std::string::npos) << result.output;
    EXPECT_EQ(test::ReadFile(container), test::kSmallContainer);
  }
  EXPECT_TRUE(Mailbox("plant1").empty());
}

// "[", "]" and "\\" are part of a name, not wildcards: such a name is found
// and sent as it is, and a name it would match as a pattern stands in for
// nothing. ";" is part of a name for the backup copy too.
TEST_P(EndToEnd, ANameWithBracketsBackslashOrSemicolonIsSentAndCopiedAsItIs) {
  for (const std::string name : {"ECU[1].cnt", "ECU\\1.cnt", "ECU;1.cnt"}) {
    const auto named = WorkDir() / name;
    test::WriteFile(named, test::kSmallContainer);
    const auto result = Run({named.string(), "-t", "PLANT1"});
    EXPECT_EQ(result.exitCode, 0) << name << result.output;
    const auto files = Mailbox("plant1");
    ASSERT_EQ(files.size(), 1u) << name;
    EXPECT_EQ(Arrived("plant1", files[0]), AsStoredInTextMode(test::ReadFile(named))) << name;
    EXPECT_EQ(test::ReadFile(appDir / "backup" / name), test::ReadFile(named)) << name;
    std::filesystem::remove(server.Top() / "mailbox/plant1" / files[0]);
    std::filesystem::remove(named);
  }
  EXPECT_EQ(test::FilesIn(appDir / "backup"),
            (std::vector<std::string>{"ECU;1.cnt", "ECU[1].cnt", "ECU\\1.cnt", "ParceloLog.txt"}));
  const auto decoy = WorkDir() / "ECU1.cnt";
  test::WriteFile(decoy, test::kSmallContainer);
  for (const std::string name : {"ECU[1].cnt", "ECU\\1.cnt"}) {
    const auto result = Run({(WorkDir() / name).string(), "-t", "PLANT1"});
    EXPECT_EQ(result.exitCode, 1) << name << result.output;
    EXPECT_NE(result.output.find("Sorce file does not exist."), std::string::npos) << name << result.output;
  }
  EXPECT_EQ(test::FilesIn(WorkDir()), (std::vector<std::string>{"ECU 4711.cnt", "ECU1.cnt"}));
  EXPECT_EQ(test::ReadFile(decoy), test::kSmallContainer);
  EXPECT_TRUE(Mailbox("plant1").empty());
}

// UTF-16 text (sent by its extension in ASCII or binary mode) arrives byte
// for byte and stays as it is; binary data that cannot be sent (no sw-ident
// to read) is not destroyed either.
TEST_P(EndToEnd, WhatIsNotEightBitTextGoesOutAndStaysByteForByte) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("<ecu-memory-container>\r\n<project-info><ecu-ident>E</ecu-ident><sw-ident>U16</sw-ident>"
                            "<supplier>M\xFCller</supplier></project-info>\r\n</ecu-memory-container>\r\n"))
    utf16 += {c, '\0'};
  const std::string gzip = test::Bytes("\x1F\x8B\x08\0\xE4\xFC\r\n\x1A\r\0\xC4");
  const struct {
    std::string name;
    std::string bytes;
    int exitCode;
  } cases[] = {{"u16.cnt", utf16, 0}, {"u16.bin", utf16, 0}, {"data.gz", gzip, 1}};
  for (const auto& c : cases) {
    const auto file = WorkDir() / c.name;
    test::WriteFile(file, c.bytes);
    const auto result = Run({file.string(), "-t", "PLANT1", "-nobackup"});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.name << result.output;
    EXPECT_EQ(test::ReadFile(file), c.bytes) << c.name;
    const auto files = Mailbox("plant1");
    ASSERT_EQ(files.size(), c.exitCode == 0 ? 1u : 0u) << c.name;
    if (!files.empty()) {
      EXPECT_EQ(Arrived("plant1", files[0]), c.bytes) << c.name;
    }
    for (const auto& arrived : files) std::filesystem::remove(server.Top() / "mailbox/plant1" / arrived);
  }
  EXPECT_EQ(test::FilesIn(WorkDir()), (std::vector<std::string>{"ECU 4711.cnt", "data.gz", "u16.bin", "u16.cnt"}));
}

// A UTF-8 container: the dictionary's characters become entities, every
// other character arrives unchanged, and the result is well-formed UTF-8.
TEST_P(EndToEnd, AUtf8ContainerIsPreparedCharacterByCharacterAndDelivered) {
  const std::string first = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  const std::string rest = "<!DOCTYPE ecu-memory-container SYSTEM \"ecum0102.dtd\">\r\n<ecu-memory-container>\r\n"
                           "<project-info><ecu-ident>8W0 907</ecu-ident><sw-ident>SW0412</sw-ident>"
                           "<supplier>M\xC3\xBCller \xC4\x8C" "esk\xC3\xA1</supplier></project-info>\r\n</ecu-memory-container>\r\n";
  test::WriteFile(container, first + rest);
  const auto result = Run({container.string(), "-t", "PLANT1"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  std::string prepared = first + rest;
  prepared.replace(prepared.find("M\xC3\xBCller"), 7, "M&uuml;ller");
  EXPECT_EQ(test::ReadFile(container), prepared);
  const auto files = Mailbox("plant1");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files[0].starts_with("SW0412.")) << files[0];
  EXPECT_EQ(Arrived("plant1", files[0]), AsStoredInTextMode(prepared));
}

TEST_P(EndToEnd, TheUsageTextEndsWithZeroAndFetchesNothing) {
  const std::string localList = test::ReadFile(appDir / "lib/ftpsend.xml");
  const auto result = Run({"?", container.string()});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("Information: Aufruf: Parcelo [filename]"), std::string::npos) << result.output;
  EXPECT_EQ(test::ReadFile(appDir / "lib/ftpsend.xml"), localList);
}

TEST_P(EndToEnd, AnUnattendedRunWithoutDisplayPrintsOnlyItsOwnMessages) {
  // Without a display no window toolkit starts, so none of its notes can show.
  EXPECT_EQ(Run({"-nolog"}, {{"QT_LOGGING_RULES", "*.debug=true"}}).output, "Error: No file selected\n");
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
