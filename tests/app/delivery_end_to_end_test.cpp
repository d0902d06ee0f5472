// The built program hands one container to several plants: every target gets
// its attempt, transient failures are retried, each target's result reaches
// standard output, the log and the report, and the exit code says how it went.
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <future>

#include "app/container/fat_date.h"
#include "end_to_end_fixture.h"
#include "platform/event_loop.h"
#include "support/loopback.h"
#include "support/real_sftp_server.h"
#include "support/scripted_ftp_server.h"
#include "support/wait_until.h"

namespace {

using test::EndToEnd;
using test::RealServerKind;

std::string Report(const std::filesystem::path& file) { return test::ReadFile(file); }

// A JSON file Python's own parser takes.
bool IsJson(const std::filesystem::path& file) {
  return test::RunProgram({"/usr/bin/python3", "-m", "json.tool", file.string()}, {}).exitCode == 0;
}

std::string RemoteNameAt(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return "SW0412." + std::to_string(app::FatDateStamp(local));
}

// A mixed run: two good targets, one whose server is down (retried, then
// failed) and one that refuses (not retried). The same story on standard
// output, in the log's result lines and in the report; exit code 2. A run
// that reaches no target ends with 1. PLANT1's upload goes through a
// temporary name.
TEST_P(EndToEnd, EveryTargetGetsItsAttemptAndTheResultsAgreeEverywhere) {
  const std::string down = "127.0.0.1:" + std::to_string(test::ClosedLoopbackPort());
  PublishTargets({"plant1", "dev"},
                 WithTempName(Werk("PLANT1", "plant1"), "*.part") + Werk("DOWN", "down", down) + Werk("GONE", "gone") +
                     Werk("DEV", "dev"));
  const auto report = root / "report.json";
  const auto result = Run({container.string(), "-t", "PLANT1", "-t", "DOWN", "-t", "GONE", "-t", "DEV", "-retry", "1",
                           "-retrywait", "0", "-report", report.string()});
  ASSERT_EQ(result.exitCode, 2) << result.output;
  ASSERT_EQ(Mailbox("plant1").size(), 1u);
  ASSERT_EQ(Mailbox("dev").size(), 1u);
  EXPECT_NE(result.output.find("PLANT1 delivered " + Mailbox("plant1")[0] + "\nDOWN failed: 10061:Connection refused\n"
                               "GONE failed: 550 "),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("\nDEV delivered " + Mailbox("dev")[0] + "\n"), std::string::npos) << result.output;

  const std::string log = Log();
  EXPECT_NE(log.find("\r\nretry 1 of 1 in 0 s: 10061:Connection refused\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nresult: PLANT1 delivered (1 attempt)\r\nresult: DOWN failed: 10061:Connection refused "
                     "(2 attempts)\r\nresult: GONE failed: 550 "),
            std::string::npos)
      << log;
  EXPECT_LT(log.find("target: DOWN plant"), log.find("target: GONE plant")) << "the blocks keep the list's order";
  EXPECT_EQ(test::ReadFile(appDir / "backup/ECU 4711.cnt"), test::ReadFile(container));

  ASSERT_TRUE(IsJson(report)) << Report(report);
  const std::string json = Report(report);
  for (const std::string& field : std::vector<std::string>{
           "\"version\": 1", "\"exit_code\": 2", "\"error\": null", "\"backup\": {\"done\": true",
        "\"short_name\": \"DOWN\", \"name\": \"DOWN plant\", \"protocol\": \"ftp\", \"host\": \"127.0.0.1\"",
        "\"result\": \"failed\", \"attempts\": 2", "{\"class\": \"transient\", \"reply\": null, \"text\": \"10061:Connection refused\"}",
        "\"error\": {\"class\": \"permanent\", \"reply\": \"550 ", "\"remote_name\": \"" + Mailbox("plant1")[0] + "\"",
        "\"mode\": \"ascii\", \"result\": \"delivered\", \"attempts\": 1", "\"verified\": \"size\""})
    EXPECT_NE(json.find(field), std::string::npos) << field << "\n" << json;
  EXPECT_NE(json.find("\"sha256\": \"" ), std::string::npos);

  const auto none = Run({container.string(), "-t", "GONE", "-report", report.string()});
  EXPECT_EQ(none.exitCode, 1) << none.output;
  EXPECT_NE(Report(report).find("\"exit_code\": 1"), std::string::npos);
  EXPECT_EQ(test::Count(Log(), "result: GONE failed: 550 "), 2u) << "a refusal is not retried";
}

// Names are never reused in a mailbox: when the name of this moment is
// taken, the next stamp is, as often as it takes, and nothing there is replaced.
TEST_P(EndToEnd, ARemoteNameThatExistsIsNeverReplaced) {
  const std::time_t now = std::time(nullptr);
  std::vector<std::string> taken;
  for (int seconds = 0; seconds <= 10; seconds += 2) {
    taken.push_back(RemoteNameAt(now + seconds));
    test::WriteFile(server.Top() / "mailbox/plant1" / taken.back(), "somebody else's container");
  }
  const auto result = Run({container.string(), "-t", "PLANT1"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const auto files = Mailbox("plant1");
  ASSERT_EQ(files.size(), taken.size() + 1);
  for (const std::string& name : taken) EXPECT_EQ(Arrived("plant1", name), "somebody else's container") << name;
  const std::string line = result.output.substr(0, result.output.size() - 1);
  const std::string sent = line.substr(line.rfind(' ') + 1);
  EXPECT_EQ(std::count(taken.begin(), taken.end(), sent), 0) << sent;
  EXPECT_TRUE(sent.starts_with("SW0412.")) << sent;
}

// What misbehaves on cue: a target server that is busy at first, and one that
// takes uploads slowly.
class DeliveryEndToEnd : public EndToEnd {};

// A 421 at the greeting is transient: the target is tried again after the
// wait and gets the container; the good targets get exactly one copy each.
TEST_P(DeliveryEndToEnd, ABusyServerIsTriedAgainAndTheOthersAreSentOnce) {
  std::string arrived;
  test::ScriptedFtpServer busy([&, first = true](test::ScriptedFtpServer::Connection& c) mutable {
    if (std::exchange(first, false)) {
      c.Reply("421 Too many users, try again later");
      return;
    }
    c.Login();
    c.Command();  // CWD
    c.Reply("250 Directory changed");
    c.Command();  // TYPE A
    c.Reply("200 Type set");
    for (const char* asked : {"MLST", "SIZE"})
      if (c.Command().starts_with(asked)) c.Reply("550 No such file");
    arrived = c.AgreeActive("150 Opening data connection").ReceiveAll();
    c.Reply("226 Transfer complete");
    if (c.Command() == "QUIT") c.Reply("221 Goodbye");
  });
  PublishTargets({"plant1", "dev"}, Werk("PLANT1", "plant1") + Werk("BUSY", "busy", "127.0.0.1:" + std::to_string(busy.Port())) +
                                        Werk("DEV", "dev"));
  const auto result = Run({container.string(), "-t", "PLANT1", "-t", "BUSY", "-t", "DEV", "-retrywait", "0"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(arrived, test::ReadFile(container));
  EXPECT_EQ(busy.Finished(), 2);
  EXPECT_EQ(Mailbox("plant1").size(), 1u);
  EXPECT_EQ(Mailbox("dev").size(), 1u);
  EXPECT_NE(Log().find("\r\nretry 1 of 2 in 0 s: 421 Too many users, try again later\r\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find("\r\nresult: BUSY delivered (2 attempts)\r\n"), std::string::npos) << Log();
}

// A container rewritten in place while its upload runs: what went out is
// no longer the snapshot, so the target fails and its file is removed,
// never left as a mix of both versions under its name.
TEST_P(DeliveryEndToEnd, AContainerRewrittenDuringAThrottledUploadFailsInsteadOfSendingAMix) {
  // More than the connection's buffers take while the server reads slowly.
  test::RealFtpServer slow(RealServerKind::Pyftpdlib, {.readLimit = 8 << 20});
  std::filesystem::create_directories(slow.Top() / "mailbox/slow");
  PublishTargets({}, Werk("SLOW", "slow", "127.0.0.1:" + std::to_string(slow.Port())));
  test::WriteFile(container, test::kSmallContainer + std::string(24 << 20, ' ') + "\r\n");
  // Both servers are pyftpdlib's, with the same account.
  auto running = std::async(std::launch::async, [&] { return Run({container.string(), "-t", "SLOW", "-retry", "0"}); });
  const auto mailbox = slow.Top() / "mailbox/slow";
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] {
    const auto files = test::FilesIn(mailbox);
    return !files.empty() && std::filesystem::file_size(mailbox / files[0]) > 0;
  }));
  {
    std::ofstream rewrite(container, std::ios::binary | std::ios::in | std::ios::out);
    rewrite << "<!-- a new version -->";
  }
  const auto result = running.get();
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("SLOW failed: container changed during the send"), std::string::npos) << result.output;
  EXPECT_TRUE(test::FilesIn(mailbox).empty()) << "the incomplete upload is removed";
}

// Two runs on one container take turns: the second waits until the first
// is done, then sends; the user's container ends prepared once, no lock
// or ".bak" is left beside it.
TEST_P(DeliveryEndToEnd, TwoRunsOnOneContainerTakeTurns) {
  test::RealFtpServer slow(RealServerKind::Pyftpdlib, {.readLimit = 512 << 10});
  std::filesystem::create_directories(slow.Top() / "mailbox/slow");
  PublishTargets({}, Werk("SLOW", "slow", "127.0.0.1:" + std::to_string(slow.Port())));
  test::WriteFile(container, test::kSmallContainer + std::string(1 << 20, ' ') + "\r\n");
  auto first = std::async(std::launch::async, [&] { return Run({container.string(), "-t", "SLOW"}); });
  const auto mailbox = slow.Top() / "mailbox/slow";
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return !test::FilesIn(mailbox).empty(); }));
  ASSERT_EQ(first.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the first run is still sending";
  const auto second = Run({container.string(), "-t", "SLOW"});
  const auto firstResult = first.get();
  EXPECT_EQ(firstResult.exitCode, 0) << firstResult.output;
  EXPECT_EQ(second.exitCode, 0) << second.output;
  const auto files = test::FilesIn(mailbox);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(test::ReadFile(mailbox / files[0]), test::ReadFile(mailbox / files[1]));
  EXPECT_EQ(test::FilesIn(WorkDir()), std::vector<std::string>{"ECU 4711.cnt"});
  // The second run's lines begin after the first run's last.
  EXPECT_EQ(test::Count(Log(), "Parcelo Version"), 2u);
  EXPECT_LT(Log().find("result: SLOW delivered"), Log().rfind("Parcelo Version")) << Log();
}

// A container the send may not rewrite stays byte for byte; its prepared text
// goes out of a private copy, the backup copy too, gone after the run.
TEST_P(DeliveryEndToEnd, AReadOnlyOrHardLinkedContainerStaysAsItWasAndItsPreparedCopyGoesOut) {
  const std::filesystem::path temporary = root / "tmp";
  std::filesystem::create_directories(temporary);
  const std::string prepared = test::Prepared(test::kSmallContainer);
  for (const std::string why : {"read-only", "hard-linked"}) {
    std::filesystem::permissions(container, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    test::WriteFile(container, test::kSmallContainer);
    if (why == "read-only") chmod(container.c_str(), 0444);
    else std::filesystem::create_hard_link(container, WorkDir() / "linked.cnt");
    const auto result = Run({container.string(), "-t", "PLANT1"}, {{"TMPDIR", temporary.string()}});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(test::ReadFile(container), test::kSmallContainer) << why;
    EXPECT_EQ(Arrived("plant1", Mailbox("plant1").back()), AsStoredInTextMode(prepared)) << why;
    EXPECT_EQ(test::ReadFile(appDir / "backup/ECU 4711.cnt"), prepared) << why;
    const std::string copy = (temporary / ".ECU 4711.cnt.prepared-").string();
    EXPECT_NE(Log().find("\r\ncontainer kept as it was (" + why + "): prepared copy " + copy), std::string::npos);
    for (const auto& left : test::FilesIn(temporary)) EXPECT_FALSE(left.starts_with(".ECU")) << left;
    EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak")) << why;
  }
}

// An SFTP target (sshd, its key pinned, our key accepted) beside an FTP
// one: the same bytes under a temporary name, then renamed; the log has the
// SSH line, the report the protocol.
TEST_P(DeliveryEndToEnd, AnSftpTargetGetsTheBytesUnderATemporaryNameThenTheFinalOne) {
  test::RealSftpServer sftp;
  const auto mailbox = sftp.Top() / "mailbox";
  std::filesystem::create_directories(mailbox);
  PublishTargets({}, Werk("PLANT1", "plant1") + "<Werk compress='no' protocol='sftp' tempname='*.part' user='" +
                         sftp.User() + "' hostkey='" + sftp.Fingerprint() + "'><NAME>SSH plant</NAME><SHORTNAME>SSH" +
                         "</SHORTNAME><PFAD>" + mailbox.string() + "</PFAD><FTPADRESS>localhost:" +
                         std::to_string(sftp.Port()) + "</FTPADRESS></Werk>");
  // The account of the Werk; the key is what sshd takes.
  const auto netrc = root / "netrc";
  test::WriteFile(netrc, "machine localhost login " + sftp.User() + " password unused\n");
  std::filesystem::permissions(netrc, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const auto report = root / "report.json";
  const auto result = Run({container.string(), "-t", "PLANT1", "-t", "SSH", "-report", report.string()},
                          {{"NETRC", netrc.string()}, {"PARCELO_SSH_KEY", sftp.UserKey().string()}});
  ASSERT_EQ(result.exitCode, 0) << result.output << Log();
  const auto arrived = test::FilesIn(mailbox);
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_EQ(test::ReadFile(mailbox / arrived[0]), test::ReadFile(container)) << "byte for byte";
  EXPECT_NE(result.output.find("SSH delivered " + arrived[0]), std::string::npos) << result.output;
  EXPECT_NE(Log().find("\r\nSSH: "), std::string::npos) << Log();
  EXPECT_NE(Log().find("TempFile: " + arrived[0] + ".part\r\n"), std::string::npos) << Log();
  EXPECT_NE(Log().find("renamed to " + arrived[0] + "\r\n"), std::string::npos) << Log();
  EXPECT_NE(test::ReadFile(report).find("\"protocol\": \"sftp\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Pyftpdlib, DeliveryEndToEnd, ::testing::Values(RealServerKind::Pyftpdlib));

}  // namespace
