// Nothing half-done: a mailbox shows a container under its final name only
// whole and verified, a failed upload leaves nothing behind, and a run that
// is interrupted cleans up and says so.
#include <signal.h>

#include <atomic>
#include <future>
#include <thread>

#include "app/ascii_case.h"
#include "end_to_end_fixture.h"
#include "platform/event_loop.h"
#include "support/scripted_ftp_server.h"
#include "support/wait_until.h"

namespace {

using test::RealServerKind;

bool IsFinalName(const std::string& file) { return file.starts_with("SW0412.") && !file.ends_with(".part"); }

// A scripted mailbox: every command answered by its verb, PORT and STOR
// played as an active transfer. A refused rename removes the temporary file
// at once; an upload cut off removes it with the next attempt, before its upload.
struct RenameCase {
  const char* renameReply;
  bool cut;
  int exitCode;
  const char* output;
};

class CleanDelivery : public test::EndToEnd {
 protected:
  // A pyftpdlib that reads uploads slowly, with a mailbox per short name.
  test::RealFtpServer& SlowServer(const std::vector<std::string>& shortNames) {
    slow_.emplace(RealServerKind::Pyftpdlib, test::RealServerOptions{.readLimit = 2 << 20});
    for (const auto& name : shortNames) std::filesystem::create_directories(SlowMailbox(name) / "incoming");
    return *slow_;
  }
  std::filesystem::path SlowMailbox(const std::string& shortName) const {
    return slow_->Top() / "mailbox" / app::AsciiLower(shortName);
  }
  std::string SlowWerk(const std::string& shortName, const std::string& pattern) const {
    return WithTempName(Werk(shortName, app::AsciiLower(shortName), "127.0.0.1:" + std::to_string(slow_->Port())),
                        pattern);
  }

  void ExpectNoTemporaryFileLeft(const RenameCase& which);

  std::optional<test::RealFtpServer> slow_;
};

// Three ways of naming the temporary file; a watcher that looks at the
// mailboxes all the while never sees a final name with less than all of it.
TEST_P(CleanDelivery, TheFinalNameOnlyEverHoldsTheWholeContainer) {
  const std::vector<std::pair<std::string, std::string>> targets = {
      {"PART", "*.part"}, {"HIDDEN", ".*.part"}, {"INCOMING", "incoming/*"}};
  SlowServer({"PART", "HIDDEN", "INCOMING"});
  std::string werke;
  for (const auto& [name, pattern] : targets) werke += SlowWerk(name, pattern);
  PublishTargets({}, werke);
  test::WriteFile(container, test::kSmallContainer + std::string(3 << 20, ' ') + "\r\n");

  std::atomic<bool> sending = true;
  std::vector<std::uintmax_t> finalSizes;
  std::thread watcher([&] {
    while (sending) {
      for (const auto& [name, pattern] : targets)
        for (const auto& file : test::FilesIn(SlowMailbox(name))) {
          std::error_code gone;
          const auto size = std::filesystem::file_size(SlowMailbox(name) / file, gone);
          if (IsFinalName(file) && !gone) finalSizes.push_back(size);
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const auto report = root / "report.json";
  const auto result =
      Run({container.string(), "-t", "PART", "-t", "HIDDEN", "-t", "INCOMING", "-report", report.string()});
  sending = false;
  watcher.join();
  ASSERT_EQ(result.exitCode, 0) << result.output;

  const auto whole = AsStoredInTextMode(test::ReadFile(container)).size();
  for (const auto size : finalSizes) EXPECT_EQ(size, whole);
  const std::string log = Log();
  for (const auto& [name, pattern] : targets) {
    const auto files = test::FilesIn(SlowMailbox(name));
    ASSERT_EQ(files.size(), 2u) << name;  // the container and the folder "incoming"
    const std::string& arrived = files[0] == "incoming" ? files[1] : files[0];
    EXPECT_TRUE(test::FilesIn(SlowMailbox(name) / "incoming").empty());
    std::string temporary = pattern;
    temporary.replace(temporary.find('*'), 1, arrived);
    EXPECT_NE(log.find("TargetFile: " + arrived + "\r\nTempFile: " + temporary + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nrenamed to " + arrived + "\r\n"), std::string::npos) << log;
    EXPECT_NE(test::ReadFile(report).find("\"temp_name\": \"" + temporary + "\""), std::string::npos);
  }
}

// SIGTERM while an upload runs: the run ends with 128 + 15, the temporary
// file is removed, the log and the report say why, the container is whole.
TEST_P(CleanDelivery, ASignalDuringTheUploadEndsTheRunAndRemovesItsTemporaryFile) {
  SlowServer({"SLOW"});
  PublishTargets({}, SlowWerk("SLOW", "*.part"));
  test::WriteFile(container, test::kSmallContainer + std::string(16 << 20, ' ') + "\r\n");
  const auto report = root / "report.json";
  std::atomic<pid_t> pid = 0;
  auto running =
      std::async(std::launch::async, [&] { return Run({container.string(), "-t", "SLOW", "-report", report.string()}, {}, &pid); });
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] {
    for (const auto& file : test::FilesIn(SlowMailbox("SLOW")))
      if (file.ends_with(".part") && std::filesystem::file_size(SlowMailbox("SLOW") / file) > 0) return true;
    return false;
  }));
  kill(pid, SIGTERM);
  const auto result = running.get();
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  EXPECT_NE(result.output.find("SLOW failed: "), std::string::npos) << result.output;
  EXPECT_EQ(test::FilesIn(SlowMailbox("SLOW")), std::vector<std::string>{"incoming"}) << Log();
  EXPECT_NE(Log().find("\r\ninterrupted by signal 15\r\n"), std::string::npos) << Log();
  EXPECT_NE(test::ReadFile(report).find("\"exit_code\": 143"), std::string::npos);
  EXPECT_NE(test::ReadFile(report).find("\"bytes\": " + std::to_string(std::filesystem::file_size(container))),
            std::string::npos)
      << "the container is the snapshot that was being sent";
}

// SIGTERM while a large container is prepared: its temporary copy goes,
// the original is kept (as the container, or as its ".bak" when the
// preparation had just ended), nothing is sent.
TEST_P(CleanDelivery, ASignalDuringThePreparationLeavesNoTemporaryCopy) {
  const std::string original = test::kSmallContainer + std::string(256 << 20, 'x') + "\r\n";
  test::WriteFile(container, original);
  std::atomic<pid_t> pid = 0;
  auto running = std::async(std::launch::async, [&] { return Run({container.string(), "-t", "PLANT1"}, {}, &pid); });
  ASSERT_TRUE(test::WaitUntil(platform::EventLoop::Current(), [&] { return test::FilesIn(WorkDir()).size() > 1; }));
  kill(pid, SIGTERM);
  const auto result = running.get();
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  const auto left = test::FilesIn(WorkDir());
  for (const auto& file : left) EXPECT_TRUE(file == "ECU 4711.cnt" || file == "ECU 4711.cnt.bak") << file;
  const auto backup = WorkDir() / "ECU 4711.cnt.bak";
  EXPECT_TRUE(test::ReadFile(container) == original || test::ReadFile(backup) == original);
  EXPECT_NE(Log().find("interrupted by signal 15"), std::string::npos);
}

void CleanDelivery::ExpectNoTemporaryFileLeft(const RenameCase& which) {
  {
    std::atomic<bool> firstUpload = true;
    test::ScriptedFtpServer mailbox([&](test::ScriptedFtpServer::Connection& c) {
      c.Login();
      std::string port;
      for (;;) {
        const std::string command = c.Command();
        const std::string verb = command.substr(0, command.find(' '));
        if (verb == "QUIT") return c.Reply("221 Goodbye");
        if (verb == "PORT") {
          port = command;
          c.Reply("200 PORT command successful");
        } else if (verb == "STOR") {
          c.Reply("150 Opening data connection");
          auto data = c.ConnectTo(port);
          if (which.cut && firstUpload.exchange(false)) return data.Reset();
          data.ReceiveAll();
          c.Reply("226 Transfer complete");
        } else {
          c.Reply(verb == "CWD" || verb == "DELE" ? "250 Done"
                  : verb == "TYPE"                 ? "200 Type set"
                  : verb == "RNFR"                 ? "350 Ready for RNTO"
                  : verb == "RNTO"                 ? which.renameReply
                                                   : "550 No such file");
        }
      }
    });
    PublishTargets({}, WithTempName(Werk("MAILBOX", "mailbox", "127.0.0.1:" + std::to_string(mailbox.Port())), "*.part"));
    const auto result = Run({container.string(), "-t", "MAILBOX", "-retrywait", "0"});
    EXPECT_EQ(result.exitCode, which.exitCode) << result.output;
    EXPECT_NE(result.output.find(which.output), std::string::npos) << result.output;

    const auto commands = mailbox.Commands();
    const auto stored = std::find_if(commands.begin(), commands.end(), [](const auto& c) { return c.starts_with("STOR "); });
    ASSERT_NE(stored, commands.end());
    const std::string temporary = stored->substr(5);
    EXPECT_TRUE(temporary.ends_with(".part")) << temporary;
    const auto removed = std::find(commands.begin(), commands.end(), "DELE " + temporary);
    ASSERT_NE(removed, commands.end()) << "the temporary file is removed";
    EXPECT_EQ(std::find_if(stored + 1, removed, [](const auto& c) { return c.starts_with("STOR "); }), removed)
        << "removed before the next upload";
    EXPECT_NE(Log().find("removed the incomplete upload " + temporary), std::string::npos) << Log();
  }
}

TEST_P(CleanDelivery, ARefusedRenameRemovesTheTemporaryFileAtOnce) {
  ExpectNoTemporaryFileLeft({"553 Rename refused", false, 1, "MAILBOX failed: 553 Rename refused"});
}

TEST_P(CleanDelivery, AnUploadCutOffIsRemovedByTheNextAttempt) {
  ExpectNoTemporaryFileLeft({"250 Renamed", true, 0, "MAILBOX delivered SW0412."});
}

INSTANTIATE_TEST_SUITE_P(Pyftpdlib, CleanDelivery, ::testing::Values(RealServerKind::Pyftpdlib));

}  // namespace
