#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <chrono>

#include "send_samples.h"
#include "site_fixture.h"
#include "support/recording_program.h"

namespace test {

// The common ground of the fault matrix: one container in a work folder, a
// send as the user starts it, and the checks that a failed send lost nothing
// and claimed nothing. `World` is where the targets live: AppFixture (a
// scripted server the test brings) or SiteFixture (a real FTP server).
template <typename World>
class FaultFixture : public World {
 protected:
  template <typename... WorldArguments>
  explicit FaultFixture(WorldArguments&&... arguments)
      : World(std::forward<WorldArguments>(arguments)...), mailClient(RecordingProgram::kMailClient) {}

  void StartWatched(std::vector<std::string> arguments = {}, bool withDisplay = true) {
    this->display = withDisplay;
    this->CreateWindows(std::move(arguments));
    this->Activate();
  }

  std::filesystem::path WorkDir() const { return this->root / "work"; }
  std::filesystem::path BackupCopy() { return std::filesystem::path(this->form().BackupFolderPath()) / container.filename(); }

  // Writes the container as engineers write it and names it in the window.
  void UseContainer(const std::string& name = "ECU-4711.cnt") {
    container = WorkDir() / name;
    WriteFile(container, written);
    this->form().ContainerFile->setText(QString::fromStdString(container.string()));
  }

  // Selects exactly `lines` and presses the send button. The boxes, the log
  // lines and the upload successes of this send are kept apart from earlier ones.
  void SendTo(std::initializer_list<int> lines) {
    QListWidget& list = *this->form().TargetListBox;
    list.clearSelection();
    for (int line : lines) {
      ASSERT_LT(line, list.count()) << "the window lists fewer targets";
      list.item(line)->setSelected(true);
    }
    this->dialogs->shown.clear();
    logStart = LogText().size();
    const auto before = std::chrono::system_clock::now();
    this->form().SendButton->click();
    const auto& send = this->form().LastSend();
    lastSend = send && send->started >= before ? &*send : nullptr;
    uploadSuccesses = lastSend ? static_cast<int>(std::count_if(lastSend->targets.begin(), lastSend->targets.end(),
                                                                [](const auto& t) { return t.GotIt(); }))
                               : 0;
  }
  // Why the send's `target` (in list order of the selection) failed.
  std::string FailureOf(std::size_t target = 0) const {
    return lastSend && target < lastSend->targets.size() && lastSend->targets[target].error
               ? lastSend->targets[target].error->text
               : std::string();
  }

  std::vector<std::string> Messages() const { return this->dialogs->MessageTexts(); }

  // The text of the log in the backup folder; empty while that is no regular
  // file (a device standing in for a full disk reads without end).
  std::string LogText() {
    const std::filesystem::path log = std::filesystem::path(this->form().BackupFolderPath()) / "ParceloLog.txt";
    return std::filesystem::is_regular_file(log) ? ReadFile(log) : std::string();
  }

  // The log lines of the last send, the time after "connect: " and the stamp
  // of the remote name replaced by "<time>" and "<stamp>".
  std::vector<std::string> SendLog() {
    std::vector<std::string> lines = LogLines(LogText().substr(logStart));
    for (std::string& line : lines) {
      if (line.starts_with("connect: ")) line = "connect: <time>";
      if (line.starts_with("TargetFile: ") || line.starts_with("removed the incomplete upload "))
        line = line.substr(0, line.rfind('.') + 1) + "<stamp>";
    }
    return lines;
  }

  // What a send logs until it hands the container to the FTP target `name`.
  std::vector<std::string> LinesUntilUpload(const std::string& name, const std::string& path) const {
    return {"",
            "Parcelo Version 3.0.0.6",
            "connect: <time>",
            "target: " + name,
            "target path: " + path,
            "compression: no",
            "Set FTPMode to ASCII",
            "SourceFile: " + container.string(),
            "TargetFile: S2.<stamp>"};
  }
  // `lines`, then the result line of the failed target `shortName`.
  void ExpectFailedLog(std::vector<std::string> lines, const std::string& shortName) {
    std::vector<std::string> logged = SendLog();
    ASSERT_FALSE(logged.empty());
    EXPECT_TRUE(logged.back().starts_with("result: " + shortName + " failed: ")) << logged.back();
    logged.pop_back();
    EXPECT_EQ(logged, lines);
  }
  // What a send logs until it connects to the target `name`.
  std::vector<std::string> LinesUntilConnect(const std::string& name, const std::string& path) const {
    auto lines = LinesUntilUpload(name, path);
    lines.resize(6);
    return lines;
  }

  // After a failed send: the program claimed no success and made no copy or
  // mail, the connection is closed and the window is ready again with the
  // container still named.
  void ExpectNoSuccessClaimed() {
    EXPECT_EQ(uploadSuccesses, 0);
    EXPECT_NE(this->form().StatusText(), "Upload success");
    EXPECT_NE(this->form().StatusText(), "finished");
    EXPECT_FALSE(std::filesystem::exists(BackupCopy()));
    EXPECT_TRUE(mailClient.Calls().empty());
    EXPECT_FALSE(this->form().FtpClient1.Connected);
    EXPECT_EQ(this->form().ContainerFile->text().toStdString(), container.string());
    EXPECT_TRUE(this->form().SendButton->isEnabled());
    EXPECT_FALSE(this->form().Animate1->isVisible());
  }
  // ... and the container holds its prepared text beside its ".bak" with the
  // text as written, which no success has deleted; no temporary file is left.
  void ExpectPreparedAndKept() {
    ExpectNoSuccessClaimed();
    EXPECT_EQ(ReadFile(container), Prepared(written));
    EXPECT_EQ(ReadFile(container.string() + ".bak"), written);
    EXPECT_EQ(FilesIn(WorkDir()), (std::vector<std::string>{container.filename().string(),
                                                            container.filename().string() + ".bak"}));
  }
  // ... after a failed upload to `name`: the log says so with `reports`
  // failure lines (a refused command reaches the handler twice, a broken
  // connection once) after the lines `before` and before those `after`, and
  // the result line, and the container is prepared and kept.
  void ExpectUploadFailed(const std::string& name, const std::string& shortName, const std::string& path,
                          int reports, std::vector<std::string> after = {}, std::vector<std::string> before = {}) {
    EXPECT_EQ(this->form().StatusText(), "1 of 1 target failed");
    auto expected = LinesUntilUpload(name, path);
    expected.insert(expected.end(), before.begin(), before.end());
    expected.insert(expected.end(), reports, " --> Failure: FTP: Upload container failed");
    expected.insert(expected.end(), after.begin(), after.end());
    ExpectFailedLog(expected, shortName);
    ExpectPreparedAndKept();
  }
  // ... or the container is untouched, as written, without a ".bak".
  void ExpectUntouched() {
    ExpectNoSuccessClaimed();
    EXPECT_EQ(ReadFile(container), written);
    EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));
  }

  // The program is still usable: the next send of the container to `line`
  // runs to its end, copies, mails and finds its ".bak" no longer needed.
  void ExpectNextSendSucceeds(int line) {
    SendTo({line});
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    EXPECT_EQ(uploadSuccesses, 1);
    EXPECT_EQ(this->form().StatusText(), "finished");
    EXPECT_TRUE(this->form().ContainerFile->text().isEmpty());
    EXPECT_EQ(ReadFile(BackupCopy()), Prepared(written));
    EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));
    EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
  }

  // The container as engineers write it, with `data` in its memory block.
  static std::string Written(const std::string& data = "00 11 22 33") {
    return Container("E1", "S2", "<EMAIL>qa@plant.example</EMAIL>\r\n", data);
  }

  std::string written = Written();
  std::filesystem::path container;
  int uploadSuccesses = 0;  // the targets of the last send that got the container
  const app::DeliveryReport* lastSend = nullptr;
  std::size_t logStart = 0;
  RecordingProgram mailClient;
};

}  // namespace test
