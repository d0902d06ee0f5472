// Nothing half-done: a mailbox shows a container under its final name only
// whole and verified, a failed upload leaves nothing behind, and a run that
// is interrupted cleans up and says so.
#include <signal.h>

#include <atomic>
#include <future>
#include <thread>

#include "end_to_end_fixture.h"
#include "platform/event_loop.h"
#include "support/scripted_ftp_server.h"
#include "support/wait_until.h"

namespace {

using test::RealServerKind;

class CleanDelivery : public test::EndToEnd {
 protected:
  // A pyftpdlib that reads uploads slowly; the target `mailbox` there uploads under `pattern`.
  std::string SlowTarget(const std::string& mailbox, const std::string& pattern) {
    if (!slow_) slow_.emplace(RealServerKind::Pyftpdlib, test::RealServerOptions{.readLimit = 2 << 20});
    std::filesystem::create_directories(SlowMailbox(mailbox) / "incoming");
    return WithTempName(Werk(mailbox, mailbox, "127.0.0.1:" + std::to_string(slow_->Port())), pattern);
  }
  std::filesystem::path SlowMailbox(const std::string& mailbox) const { return slow_->Top() / "mailbox" / mailbox; }
  // Runs the program and sends it SIGTERM once `ready` holds.
  test::ProgramResult RunUntilSignal(std::vector<std::string> arguments, const std::function<bool()>& ready) {
    std::atomic<pid_t> pid = 0;
    auto running = std::async(std::launch::async, [&] { return Run(arguments, {}, &pid); });
    EXPECT_TRUE(test::WaitUntil(platform::EventLoop::Current(), ready));
    kill(pid, SIGTERM);
    return running.get();
  }
  void ExpectNoTemporaryFileLeft(const char* renameReply, bool cut, int exitCode, const std::string& output);

  std::optional<test::RealFtpServer> slow_;
};

// Three ways of naming the temporary file; a watcher that looks at the
// mailboxes all the while never sees a final name with less than all of it.
TEST_P(CleanDelivery, TheFinalNameOnlyEverHoldsTheWholeContainer) {
  const std::vector<std::pair<std::string, std::string>> targets = {
      {"PART", "*.part"}, {"HIDDEN", ".*.part"}, {"INCOMING", "incoming/*"}};
  std::string werke;
  for (const auto& [name, pattern] : targets) werke += SlowTarget(name, pattern);
  PublishTargets({}, werke);
  test::WriteFile(container, test::kSmallContainer + std::string(3 << 20, ' ') + "\r\n");
  std::atomic<bool> sending = true;
  std::vector<std::uintmax_t> finalSizes;
  std::thread watcher([&] {
    for (; sending; std::this_thread::sleep_for(std::chrono::milliseconds(2)))
      for (const auto& target : targets)
        for (const auto& file : test::FilesIn(SlowMailbox(target.first))) {
          std::error_code gone;
          const auto size = std::filesystem::file_size(SlowMailbox(target.first) / file, gone);
          if (file.starts_with("SW0412.") && !file.ends_with(".part") && !gone) finalSizes.push_back(size);
        }
  });
  const auto report = root / "report.json";
  const auto result = Run({container.string(), "-t", "PART", "-t", "HIDDEN", "-t", "INCOMING", "-report", report.string()});
  sending = false;
  watcher.join();
  ASSERT_EQ(result.exitCode, 0) << result.output;
  for (const auto size : finalSizes) EXPECT_EQ(size, AsStoredInTextMode(test::ReadFile(container)).size());
  for (auto [name, temporary] : targets) {
    const auto files = test::FilesIn(SlowMailbox(name));
    ASSERT_EQ(files.size(), 2u) << name;  // the container and the empty folder "incoming"
    const std::string& arrived = files[0] == "incoming" ? files[1] : files[0];
    temporary.replace(temporary.find('*'), 1, arrived);
    EXPECT_NE(Log().find("TargetFile: " + arrived + "\r\nTempFile: " + temporary + "\r\n"), std::string::npos);
    EXPECT_NE(Log().find("\r\nrenamed to " + arrived + "\r\n"), std::string::npos) << Log();
    EXPECT_NE(test::ReadFile(report).find("\"temp_name\": \"" + temporary + "\""), std::string::npos);
  }
}

// SIGTERM while an upload runs: exit code 128 + 15, the temporary file is
// removed, the log and the report say why.
TEST_P(CleanDelivery, ASignalDuringTheUploadEndsTheRunAndRemovesItsTemporaryFile) {
  PublishTargets({}, SlowTarget("slow", "*.part"));
  test::WriteFile(container, test::kSmallContainer + std::string(16 << 20, ' ') + "\r\n");
  const auto report = root / "report.json";
  const auto result = RunUntilSignal({container.string(), "-t", "SLOW", "-report", report.string()}, [&] {
    for (const auto& file : test::FilesIn(SlowMailbox("slow")))
      if (file.ends_with(".part") && std::filesystem::file_size(SlowMailbox("slow") / file) > 0) return true;
    return false;
  });
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  EXPECT_EQ(test::FilesIn(SlowMailbox("slow")), std::vector<std::string>{"incoming"}) << Log();
  EXPECT_NE(Log().find("\r\ninterrupted by signal 15\r\n"), std::string::npos) << Log();
  EXPECT_NE(test::ReadFile(report).find("\"exit_code\": 143"), std::string::npos);
}

// SIGTERM while a large container is prepared: its temporary copy goes, the
// original is kept (as the container, or as its ".bak" when the preparation
// had just ended).
TEST_P(CleanDelivery, ASignalDuringThePreparationLeavesNoTemporaryCopy) {
  const std::string original = test::kSmallContainer + std::string(256 << 20, 'x') + "\r\n";
  test::WriteFile(container, original);
  const auto result =
      RunUntilSignal({container.string(), "-t", "PLANT1"}, [&] { return test::FilesIn(WorkDir()).size() > 1; });
  EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.output;
  for (const auto& file : test::FilesIn(WorkDir())) EXPECT_TRUE(file.starts_with("ECU 4711.cnt")) << file;
  EXPECT_TRUE(test::ReadFile(container) == original || test::ReadFile(WorkDir() / "ECU 4711.cnt.bak") == original);
  EXPECT_NE(Log().find("interrupted by signal 15"), std::string::npos);
}

// A scripted mailbox: every command answered by its verb, PORT and STOR
// played as an active transfer; `cut` breaks the first upload off.
void CleanDelivery::ExpectNoTemporaryFileLeft(const char* renameReply, bool cut, int exitCode,
                                              const std::string& output) {
  std::atomic<bool> firstUpload = true;
  test::ScriptedFtpServer mailbox([&](test::ScriptedFtpServer::Connection& c) {
    c.Login();
    for (std::string port;;) {
      const std::string command = c.Command();
      const std::string verb = command.substr(0, command.find(' '));
      if (verb == "QUIT") return c.Reply("221 Goodbye");
      if (verb == "STOR") {
        c.Reply("150 Opening data connection");
        auto data = c.ConnectTo(port);
        if (cut && firstUpload.exchange(false)) return data.Reset();
        data.ReceiveAll();
      }
      if (verb == "PORT") port = command;
      const std::map<std::string, std::string> replies = {{"CWD", "250 Done"},      {"DELE", "250 Done"},
                                                          {"TYPE", "200 Type set"}, {"PORT", "200 PORT ok"},
                                                          {"STOR", "226 Done"},     {"RNFR", "350 Ready for RNTO"},
                                                          {"RNTO", renameReply}};
      c.Reply(replies.contains(verb) ? replies.at(verb) : "550 No such file");
    }
  });
  PublishTargets({}, WithTempName(Werk("MAILBOX", "mailbox", "127.0.0.1:" + std::to_string(mailbox.Port())), "*.part"));
  const auto result = Run({container.string(), "-t", "MAILBOX", "-retrywait", "0"});
  EXPECT_EQ(result.exitCode, exitCode) << result.output;
  EXPECT_NE(result.output.find(output), std::string::npos) << result.output;

  const auto commands = mailbox.Commands();
  const auto isStore = [](const std::string& c) { return c.starts_with("STOR "); };
  const auto stored = std::find_if(commands.begin(), commands.end(), isStore);
  ASSERT_NE(stored, commands.end());
  ASSERT_TRUE(stored->ends_with(".part"));
  const auto removed = std::find(commands.begin(), commands.end(), "DELE " + stored->substr(5));
  ASSERT_NE(removed, commands.end()) << "the temporary file is removed";
  EXPECT_EQ(std::find_if(stored + 1, removed, isStore), removed) << "before the next upload";
}

TEST_P(CleanDelivery, ARefusedRenameRemovesTheTemporaryFileAtOnce) {
  ExpectNoTemporaryFileLeft("553 Rename refused", false, 1, "MAILBOX failed: 553 Rename refused");
}

TEST_P(CleanDelivery, AnUploadCutOffIsRemovedByTheNextAttempt) {
  ExpectNoTemporaryFileLeft("250 Renamed", true, 0, "MAILBOX delivered SW0412.");
}

INSTANTIATE_TEST_SUITE_P(Pyftpdlib, CleanDelivery, ::testing::Values(RealServerKind::Pyftpdlib));

}  // namespace
