// The fault matrix, faults on the user's side of a send: the container, its
// ".bak", the dictionary, the backup folder with the log and the copy, and
// the mail client. The targets are a real FTP server (pyftpdlib).

#include <QDialog>
#include <QMessageBox>

#include "app/window/ok_right_dlg.h"
#include "app/window/target_state_delegate.h"
#include "fault_fixture.h"
#include "support/small_disk.h"

namespace {

using test::FilesIn;
using test::Prepared;

class LocalFault : public test::FaultFixture<test::SiteFixture> {
 protected:
  LocalFault() {
    PublishSite(TargetList({{"PLANT1", "Plant 1"}, {"LOCKED", "Locked plant", false, "locked"}, {"DEV", "Development lab"}}));
  }
  static constexpr int kWorking = 0, kLocked = 1, kDevelopment = 2;

  std::filesystem::path Backup() const { return appDir() / "backup"; }

  // "change backup folder" with `folder` typed in and OK pressed.
  void ChangeBackupFolderTo(const std::filesystem::path& folder) {
    test::WhenShown(windows->okRightDlg.get(), [&](QDialog*) {
      windows->okRightDlg->DirEdit->setText(QString::fromStdString(folder.string()));
      windows->okRightDlg->OKBtn->click();
    });
    form().backupfolder1->trigger();
  }
};

TEST_F(LocalFault, AContainerRemovedBetweenSelectionAndSendIsReportedAndNothingIsMade) {
  StartWatched();
  UseContainer();
  std::filesystem::remove(container);
  SendTo({kWorking});
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Sorce file does not exist. \r\rTerminate program.",
                                                  "Files does not exist."}));
  EXPECT_EQ(SendLog(), std::vector<std::string>{"Container file does not exist. Abort!"});
  ExpectNoSuccessClaimed();
  EXPECT_TRUE(FilesIn(WorkDir()).empty());
  EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
  UseContainer();
  ExpectNextSendSucceeds(kWorking);
}

// The send holds one snapshot of the container: a target that started has
// its bytes whatever happens to the file then, the targets after it are not
// sent something else. Here the container goes (as a rename over it would
// take it) once the first upload has begun.
TEST_F(LocalFault, AContainerGoneDuringTheSendFailsTheTargetsNotYetSentAndTheSnapshotIsKept) {
  StartWatched();
  UseContainer();
  const auto removeOnFirstUpload = QObject::connect(
      form().TargetListBox->model(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& index) {
        if (index.row() == kWorking && index.data(app::TargetStateDelegate::kStateRole).toString().startsWith("sending"))
          std::filesystem::remove(container);
      });
  SendTo({kWorking, kDevelopment});
  QObject::disconnect(removeOnFirstUpload);
  EXPECT_EQ(uploadSuccesses, 1);
  ASSERT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(test::ReadFile(Mailbox("PLANT1") / FilesIn(Mailbox("PLANT1"))[0]).size(),
            Prepared(written).size() - std::count(written.begin(), written.end(), '\r')) << "pyftpdlib keeps LF";
  EXPECT_TRUE(FilesIn(Mailbox("DEV")).empty());
  EXPECT_EQ(FailureOf(1), "container changed during the send");
  EXPECT_EQ(lastSend->targets[1].error->kind, app::FailureClass::kChanged);
  EXPECT_EQ(test::ReadFile(BackupCopy()), Prepared(written)) << "the backup copy is the snapshot";
}

// A name that cannot be read as a file (here a folder) stops the send before
// anything is written or logged.
TEST_F(LocalFault, AnUnreadableContainerIsReportedAndLeftAsItIs) {
  StartWatched();
  container = WorkDir() / "ECU-4711.cnt";
  std::filesystem::create_directories(container);
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  SendTo({kWorking});
  EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot read the container: Is a directory"});
  EXPECT_TRUE(SendLog().empty());
  ExpectNoSuccessClaimed();
  EXPECT_TRUE(std::filesystem::is_directory(container));
  EXPECT_EQ(FilesIn(WorkDir()), std::vector<std::string>{"ECU-4711.cnt"});
  std::filesystem::remove(container);
  UseContainer();
  ExpectNextSendSucceeds(kWorking);
}

// A ".bak" from an earlier run is set aside, never overwritten; the
// original of this send is kept through every failed attempt, until an
// upload succeeds.
TEST_F(LocalFault, AnEarlierBakIsSetAsideAndTheOriginalOutlivesEveryFailedUpload) {
  StartWatched();
  const auto earlier = WorkDir() / "ECU-4711.cnt.bak.1";
  test::WriteFile(WorkDir() / "ECU-4711.cnt.bak", "an earlier container");
  UseContainer();
  for (int attempt = 1; attempt <= 2; ++attempt) {
    SendTo({kLocked});
    EXPECT_TRUE(FailureOf().starts_with("550 ")) << FailureOf();
    ExpectNoSuccessClaimed();
    EXPECT_EQ(test::ReadFile(container), Prepared(written));
    EXPECT_EQ(test::ReadFile(container.string() + ".bak"), written) << "attempt " << attempt;
    EXPECT_EQ(test::ReadFile(earlier), "an earlier container");
  }
  ExpectNextSendSucceeds(kWorking);
  EXPECT_EQ(test::ReadFile(earlier), "an earlier container");
}

TEST_F(LocalFault, AStaleBakThatCannotBeReplacedStopsTheSendBeforeTheContainerChanges) {
  StartWatched();
  std::filesystem::create_directories(WorkDir() / "ECU-4711.cnt.bak");
  UseContainer();
  SendTo({kWorking});
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("Cannot save the unprepared container as \"" + container.string() + ".bak\""))
      << Messages()[0];
  EXPECT_TRUE(SendLog().empty());
  ExpectNoSuccessClaimed();
  EXPECT_EQ(test::ReadFile(container), written);
  EXPECT_TRUE(std::filesystem::is_directory(container.string() + ".bak"));
  EXPECT_EQ(FilesIn(WorkDir()), (std::vector<std::string>{"ECU-4711.cnt", "ECU-4711.cnt.bak"}));
  std::filesystem::remove(container.string() + ".bak");
  ExpectNextSendSucceeds(kWorking);
}

// Without its dictionary the translator changes nothing, silently; the
// umlaut left as written is no well-formed XML, so the target fails when the
// remote name is read from the container's head, before it connects.
TEST_F(LocalFault, WithoutTheDictionaryAContainerWithUmlautsIsNotSent) {
  const auto dictionary = appDir() / "lib/uml.ini";
  const std::string entries = test::ReadFile(dictionary);
  std::filesystem::remove(dictionary);
  StartWatched();
  UseContainer();
  SendTo({kWorking});
  EXPECT_EQ(FailureOf(), "EParserFatalError: Fatal Error.");
  ExpectFailedLog(LinesUntilConnect("Plant 1", "../../../mailbox/PLANT1"), "PLANT1");
  ExpectNoSuccessClaimed();
  std::string untranslated = Prepared(written);
  untranslated.replace(untranslated.find("M&uuml;ller"), 11, "M\xFCller");
  EXPECT_EQ(test::ReadFile(container), untranslated);
  EXPECT_EQ(test::ReadFile(container.string() + ".bak"), written);
  EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
  // The dictionary is read when the program starts.
  test::WriteFile(dictionary, entries);
  windows.reset();
  StartWatched();
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  ExpectNextSendSucceeds(kWorking);
}

// A log that cannot take its lines is reported once; the send goes on, and
// what the transfers did stays what they did.
TEST_F(LocalFault, ALogOnAFullDiskIsReportedOnceAndTheSendStillDelivers) {
  test::SmallDisk disk(Backup(), 64);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  StartWatched();
  form().MenuBackup->trigger();  // the copy would not fit either
  UseContainer();
  disk.FillLeaving(0);
  SendTo({kWorking});
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(form().StatusText(), "finished; the transfer log could not be written");
  EXPECT_TRUE(lastSend->logUnwritable);
}

// The log cannot open, so the start-up step ends before the target list is
// read: nothing can be sent until the folder is mended and the program started anew.
TEST_F(LocalFault, ABackupFolderThatIsNoFolderAtStartStopsTheStartUp) {
  test::WriteFile(root / "backup-file", "");
  PresetSettings([&](auto& registry) { registry.WriteString("BackupFolder", (root / "backup-file").string()); });
  StartWatched();
  EXPECT_EQ(dialogs->MessageTexts(),
            std::vector<std::string>{"Cannot open the transfer log \"" + (root / "backup-file/ParceloLog.txt").string() +
                                     "\": Not a directory"});
  EXPECT_EQ(form().TargetListBox->count(), 0);
  windows.reset();
  std::filesystem::create_directories(Backup());
  PresetSettings([&](auto& registry) { registry.WriteString("BackupFolder", Backup().string()); });
  StartWatched();
  UseContainer();
  ExpectNextSendSucceeds(kWorking);
}

// The upload has been made, so its success stands; the failed copy says so in
// the copy's own box, the status and the log, and the send goes on to the mail.
TEST_F(LocalFault, ABackupCopyOnAFullDiskIsReportedAndTheSendStillFinishes) {
  test::SmallDisk disk(Backup(), 64);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  // Room for the log's lines, not for the copy.
  written = Written(std::string(200 << 10, '7'));
  StartWatched();
  UseContainer();
  disk.FillLeaving(16 << 10);
  SendTo({kWorking});
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].caption, "copy container to backup folder");
  EXPECT_TRUE(dialogs->shown[0].text.ends_with("No space left on device")) << dialogs->shown[0].text;
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(FilesIn(Backup()), (std::vector<std::string>{".filler", "ParceloLog.txt"})) << "no partial copy is left";
  EXPECT_NE(Log().find("\r\nbackup copy failed: "), std::string::npos) << Log();
  EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
  EXPECT_EQ(form().StatusText(), "finished, but the backup copy failed");
  EXPECT_FALSE(lastSend->backupDone);
}

// A link planted in a backup folder others may write never makes the copy
// write through it, nor into the folder it leads to: the copy takes a name
// of its own and replaces the link.
TEST_F(LocalFault, ALinkPlantedInTheBackupFolderIsNotWrittenThrough) {
  StartWatched();
  const auto victim = root / "victim";
  test::WriteFile(victim, "not yours");
  std::filesystem::create_directories(root / "victims");
  for (const auto& target : {victim, root / "victims"}) {
    UseContainer();
    std::filesystem::remove(BackupCopy());
    std::filesystem::create_symlink(target, BackupCopy());
    dialogs->answers = {true};  // replace the "copy" that is there
    SendTo({kWorking});
    EXPECT_EQ(test::ReadFile(victim), "not yours");
    EXPECT_TRUE(FilesIn(root / "victims").empty());
    EXPECT_FALSE(std::filesystem::is_symlink(BackupCopy()));
    EXPECT_EQ(test::ReadFile(BackupCopy()), Prepared(written));
  }
}

// A backup folder that stops being one while the program runs (here a file
// takes its place; the log stays with the folder that moved away).
TEST_F(LocalFault, ABackupFolderGoneReadOnlyFailsOnlyTheCopy) {
  StartWatched();
  UseContainer();
  std::filesystem::rename(Backup(), root / "backup-moved");
  test::WriteFile(Backup(), "");
  SendTo({kWorking});
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].caption, "copy container to backup folder");
  EXPECT_TRUE(dialogs->shown[0].text.ends_with("Not a directory")) << dialogs->shown[0].text;
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(form().StatusText(), "finished, but the backup copy failed");
  EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
  EXPECT_NE(test::ReadFile(root / "backup-moved/ParceloLog.txt").find("\r\ncontainer no.: E1-S2\r\n"), std::string::npos);
}

// The upload and the copy are done; the error names the mail client, and the
// send stops short of "finished" with the container still named.
TEST_F(LocalFault, AMissingMailClientIsReportedAfterTheUploadStands) {
  StartWatched();
  UseContainer();
  {
    const test::RecordingProgram::EmptyPath noPrograms;
    SendTo({kWorking});
  }
  EXPECT_EQ(Messages(), std::vector<std::string>{"No mail client found: xdg-email is not installed"});
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(test::ReadFile(BackupCopy()), Prepared(written));
  EXPECT_EQ(SendLog().back(), "container no.: E1-S2");
  EXPECT_EQ(form().StatusText(), "generating mail");
  EXPECT_EQ(form().ContainerFile->text().toStdString(), container.string());
  EXPECT_TRUE(form().SendButton->isEnabled());
}

}  // namespace
