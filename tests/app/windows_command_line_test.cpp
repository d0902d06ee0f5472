// The Windows command-line program under wine beside the Linux program, both
// against the same site: the same exit codes, result lines, mailboxes and
// report. The Windows job names its build in PARCELO_WINDOWS_TREE; without
// one there is no Windows program to run.
#include <gmock/gmock.h>

#include <signal.h>

#include <atomic>
#include <future>
#include <regex>

#include "end_to_end_fixture.h"
#include "windows_tree.h"
#include "platform/event_loop.h"
#include "support/wait_until.h"
#include "support/real_sftp_server.h"
#include "support/test_certificates.h"

namespace {

using test::RealServerKind;
using test::TestCertificates;
using test::WindowsName;
using test::WindowsTree;

std::string ServerName(const testing::TestParamInfo<RealServerKind>& info) {
  return info.param == RealServerKind::Pyftpdlib ? "Pyftpdlib" : "Vsftpd";
}

// What a run left that must be the same on both systems.
struct Outcome {
  std::optional<int> exitCode;
  std::vector<std::string> resultLines;  // "<SHORTNAME> delivered <name>" and the like
  std::vector<std::string> reportValues;  // exit_code and every target's result, in order
  std::vector<std::vector<std::string>> mailboxes;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
  *out << "exit " << (o.exitCode ? std::to_string(*o.exitCode) : "none") << "; lines:";
  for (const auto& line : o.resultLines) *out << " [" << line << "]";
  *out << "; report:";
  for (const auto& value : o.reportValues) *out << " " << value;
  *out << "; mailboxes:";
  for (const auto& box : o.mailboxes) *out << " " << testing::PrintToString(box);
}

std::vector<std::string> Matches(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) found.push_back((*it)[1]);
  return found;
}

// The remote names carry the moment of the send; the rest of them must agree.
std::vector<std::string> WithoutMoment(std::vector<std::string> names) {
  for (auto& name : names) name = std::regex_replace(name, std::regex("\\.\\d+"), ".<moment>");
  return names;
}

struct Case {
  const char* name;
  std::vector<std::string> targets;
  int exitCode;
};

class WindowsCommandLine : public test::EndToEnd {
 protected:
  using EndToEnd::EndToEnd;

  void SetUp() override {
    if (!WindowsTree()) GTEST_SKIP() << "no Windows build named in PARCELO_WINDOWS_TREE";
    std::filesystem::copy_file(std::filesystem::path(WindowsTree()) / "bin/parcelo.com", appDir / "bin/parcelo.com");
    // A Werk on a port where nobody listens fails, the others do not.
    PublishTargets({"plant1", "dev"}, Werk("PLANT1", "plant1") + Werk("DEV", "dev") + Werk("GONE", "gone", "127.0.0.1:1"));
  }

  // `arguments` with the container first and the report last, as each system names them.
  Outcome RunOn(bool windows, const std::vector<std::string>& targets, std::map<std::string, std::string> changes) {
    for (const auto& box : mailboxes_) {
      std::filesystem::remove_all(box);
      std::filesystem::create_directories(box);
    }
    const auto report = root / "report.json";
    std::filesystem::remove(report);
    std::vector<std::string> arguments = {Named(container, windows)};
    for (const auto& target : targets) arguments.insert(arguments.end(), {"-t", target});
    arguments.insert(arguments.end(), {"-retry", "0", "-report", Named(report, windows)});
    test::ProgramResult result;
    if (windows) {
      ForgetWindowsSettings();
      arguments.insert(arguments.begin(), (appDir / "bin/parcelo.com").string());
      result = Wine(arguments, changes);
    } else {
      result = Run(arguments, changes);
    }
    Outcome outcome;
    outcome.exitCode = result.exitCode;
    outcome.resultLines =
        WithoutMoment(Matches(result.output, std::regex("(?:^|\n)((?:PLANT1|DEV|GONE|NOSUCH|SSH) [^\r\n]*)")));
    outcome.reportValues =
        Matches(std::filesystem::exists(report) ? test::ReadFile(report) : "", std::regex("\"(?:exit_code|result)\": \"?(\\w+)"));
    for (const auto& box : mailboxes_) outcome.mailboxes.push_back(WithoutMoment(test::FilesIn(box)));
    EXPECT_NE(outcome.reportValues.size(), 0u) << (windows ? "Windows: " : "Linux: ") << result.output;
    lastOutput_ = result.output;
    return outcome;
  }

  void ExpectTheSameOnBoth(const Case& c, const std::map<std::string, std::string>& changes = {}) {
    const Outcome linux = RunOn(false, c.targets, changes);
    EXPECT_EQ(linux.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(RunOn(true, c.targets, changes), linux) << c.name << "\n" << lastOutput_;
  }

  static std::string Named(const std::filesystem::path& path, bool windows) {
    return windows ? WindowsName(path) : path.string();
  }

  // Every Windows run starts from no settings, as each Linux run does in its own folder.
  void ForgetWindowsSettings() { Wine({"reg", "delete", "HKCU\\Software\\Korvath\\Parcelo", "/f"}, {}); }

  // `started` gets the process id as soon as it runs.
  test::ProgramResult Wine(std::vector<std::string> arguments, std::map<std::string, std::string> changes,
                           std::atomic<pid_t>* started = nullptr) {
    arguments.insert(arguments.begin(), "/usr/bin/wine");
    changes.insert({{"WINEDEBUG", "-all"}, {"SSL_CERT_FILE", ""}, {"SSL_CERT_DIR", ""},
                    {"PARCELO_FTP_HOST", "127.0.0.1"}, {"PARCELO_FTP_PORT", std::to_string(server.Port())},
                    {"PARCELO_FTP_USER", server.User()}, {"PARCELO_FTP_PASSWORD", server.Password()}});
    return test::RunProgram(arguments, changes, std::chrono::seconds(90), started);
  }

  std::string lastOutput_;  // of the last run, for the failure message
  // Emptied before each run, compared after it.
  std::vector<std::filesystem::path> mailboxes_{server.Top() / "mailbox/plant1", server.Top() / "mailbox/dev"};
};

TEST_P(WindowsCommandLine, EndsAsTheLinuxProgramDoes) {
  for (const Case& c : {Case{"all delivered", {"PLANT1", "DEV"}, 0}, Case{"one failed", {"PLANT1", "GONE"}, 2},
                        Case{"a name of no target", {"DEV", "NOSUCH"}, 1}})
    ExpectTheSameOnBoth(c);
}

INSTANTIATE_TEST_SUITE_P(RealServers, WindowsCommandLine, ::testing::Values(RealServerKind::Pyftpdlib, RealServerKind::Vsftpd),
                         ServerName);

// The site server speaks FTPS only.
class WindowsFtpsCommandLine : public WindowsCommandLine {
 protected:
  WindowsFtpsCommandLine()
      : WindowsCommandLine({.tls = TestCertificates::Shared().Files(test::TestCertificate::Server)}) {}
};

TEST_P(WindowsFtpsCommandLine, DeliversOverTlsAsTheLinuxProgramDoes) {
  const auto ca = TestCertificates::Shared().CaFile();
  const Outcome linux = RunOn(false, {"PLANT1", "DEV"}, {{"PARCELO_FTP_TLS", "yes"}, {"PARCELO_TLS_CA_FILE", ca.string()}});
  EXPECT_EQ(linux.exitCode, 0);
  EXPECT_EQ(RunOn(true, {"PLANT1", "DEV"}, {{"PARCELO_FTP_TLS", "yes"}, {"PARCELO_TLS_CA_FILE", WindowsName(ca)}}), linux)
      << lastOutput_;
}

INSTANTIATE_TEST_SUITE_P(RealServers, WindowsFtpsCommandLine, ::testing::Values(RealServerKind::Pyftpdlib, RealServerKind::Vsftpd), ServerName);

// An SFTP target (sshd, its host key pinned in the target list) beside an FTP one.
class WindowsSftpCommandLine : public WindowsCommandLine {};

TEST_P(WindowsSftpCommandLine, DeliversAsTheLinuxProgramDoes) {
  test::RealSftpServer sftp;
  mailboxes_.push_back(sftp.Top() / "mailbox");
  PublishTargets({}, Werk("PLANT1", "plant1") + "<Werk compress='no' protocol='sftp' tempname='*.part' user='" +
                         sftp.User() + "' hostkey='" + sftp.Fingerprint() + "'><NAME>SSH plant</NAME><SHORTNAME>SSH" +
                         "</SHORTNAME><PFAD>" + mailboxes_.back().string() + "</PFAD><FTPADRESS>localhost:" +
                         std::to_string(sftp.Port()) + "</FTPADRESS></Werk>");
  const auto netrc = root / "netrc";
  test::WriteFile(netrc, "machine localhost login " + sftp.User() + " password unused\n");
  std::filesystem::permissions(netrc, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto account = [&](bool windows) {
    return std::map<std::string, std::string>{{"NETRC", Named(netrc, windows)},
                                              {"PARCELO_SSH_KEY", Named(sftp.UserKey(), windows)}};
  };
  const Outcome linux = RunOn(false, {"PLANT1", "SSH"}, account(false));
  EXPECT_EQ(linux.exitCode, 0);
  EXPECT_EQ(RunOn(true, {"PLANT1", "SSH"}, account(true)), linux) << lastOutput_;
}

INSTANTIATE_TEST_SUITE_P(RealServers, WindowsSftpCommandLine, ::testing::Values(RealServerKind::Pyftpdlib), ServerName);

// A site whose server reads uploads slowly (2 MiB/s).
class WindowsInterruptedCommandLine : public WindowsCommandLine {
 protected:
  WindowsInterruptedCommandLine() : WindowsCommandLine({.readLimit = 2 << 20}) {}
};

// Ctrl-C during an upload (wine hands a SIGINT to the console's handler as
// that event): as on Linux, exit code 128 + 2, the temporary file removed,
// the log and the report saying why.
TEST_P(WindowsInterruptedCommandLine, CtrlCDuringTheUploadEndsTheRunAndRemovesItsTemporaryFile) {
  PublishTargets({"slow"}, WithTempName(Werk("SLOW", "slow"), "*.part"));
  test::WriteFile(container, test::kSmallContainer + std::string(16 << 20, ' ') + "\r\n");
  const auto mailbox = server.Top() / "mailbox/slow";
  const auto report = root / "report.json";
  ForgetWindowsSettings();
  std::atomic<pid_t> pid = 0;
  auto running = std::async(std::launch::async, [&] {
    return Wine({(appDir / "bin/parcelo.com").string(), WindowsName(container), "-t", "SLOW", "-report",
                 WindowsName(report)},
                {}, &pid);
  });
  EXPECT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] {
    for (const auto& file : test::FilesIn(mailbox))
      if (file.ends_with(".part") && std::filesystem::file_size(mailbox / file) > 0) return true;
    return false;
  }, std::chrono::seconds(60)));
  kill(pid, SIGINT);
  const auto result = running.get();
  EXPECT_EQ(result.exitCode, 128 + SIGINT) << result.output;
  EXPECT_EQ(test::FilesIn(mailbox), std::vector<std::string>{}) << Log();
  EXPECT_NE(Log().find("\r\ninterrupted by signal 2\r\n"), std::string::npos) << Log();
  EXPECT_NE(test::ReadFile(report).find("\"exit_code\": 130"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(RealServers, WindowsInterruptedCommandLine, ::testing::Values(RealServerKind::Pyftpdlib),
                         ServerName);

}  // namespace
