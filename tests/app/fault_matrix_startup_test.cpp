// The fault matrix, faults the start brings to the next send: a target list
// that cannot be read whole, and a settings file that is damaged or cannot be
// written. The site is a real FTP server (pyftpdlib).

#include <QAction>
#include <QDialog>

#include "app/window/ok_right_dlg.h"

#include "fault_fixture.h"

namespace {

using test::FilesIn;
using test::Prepared;

class StartFault : public test::FaultFixture<test::SiteFixture> {
 protected:
  std::filesystem::path Backup() const { return appDir() / "backup"; }
};

// The list is fetched over the local copy, then read and refused: no targets
// until the site mends it and the program starts anew.
TEST_F(StartFault, ATargetListThatIsNotWellFormedLeavesNoTargets) {
  const std::string broken = "<?xml version=\"1.0\"?>\r\n<FTPSEND><Werk compress=\"no\"><NAME>Plant 1</NAME>\r\n";
  PublishSite(broken);
  StartWatched();
  EXPECT_EQ(test::ReadFile(appDir() / "lib/ftpsend.xml"), broken);
  EXPECT_EQ(dialogs->MessageTexts(),
            (std::vector<std::string>{"EParserFatalError: Fatal Error.", "Error by parsing target list"}));
  EXPECT_EQ(Log(), "! Error by parsing target list\r\n");
  EXPECT_EQ(form().TargetListBox->count(), 0);
  UseContainer();
  SendTo({});
  EXPECT_EQ(Messages(), std::vector<std::string>{"No target selected"});
  ExpectPreparedAndKept();

  PublishSite(TargetList({{"PLANT1", "Plant 1"}}));
  windows.reset();
  StartWatched();
  form().ContainerFile->setText(QString::fromStdString(container.string()));
  ExpectNextSendSucceeds(0);
}

// The rows before the faulty one stay and can be sent to.
TEST_F(StartFault, ATargetListReadOnlyInPartKeepsTheRowsBeforeTheFault) {
  PublishSite(TargetList({{"PLANT1", "Plant 1"}, {"DEV", "Development lab"}}));
  std::string list = test::ReadFile(SiteDir() / "ftpsend.xml");
  list.replace(list.rfind("<Werk compress=\"no\">"), 20, "<Werk>");
  test::WriteFile(SiteDir() / "ftpsend.xml", list);
  StartWatched();
  EXPECT_EQ(dialogs->MessageTexts(), (std::vector<std::string>{"Target list: Werk 2 has no attribute compress",
                                                               "Error by parsing target list"}));
  EXPECT_EQ(ListLines(), std::vector<std::string>{"Plant 1"});
  UseContainer();
  ExpectNextSendSucceeds(0);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
}

// The user is told which file was damaged; it is kept under another name,
// this run works with the defaults, and a fresh file takes later changes.
TEST_F(StartFault, ADamagedSettingsFileIsToldOfSetAsideAndReplaced) {
  PublishSite(TargetList({{"PLANT1", "Plant 1"}}, "00.00.0000"));
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\n"
                              "\"Backup\"=dword:00000000\n\"LastDir\"=\"/ho";
  test::WriteFile(settingsFile(), damaged);
  CreateWindows();
  bool readmeShown = false;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* readme) {
    readmeShown = true;
    readme->reject();
  });
  Activate();
  EXPECT_FALSE(readmeShown) << "the default readme date was not used";
  const auto folder = settingsFile().parent_path();
  const auto names = FilesIn(folder);  // the fresh file, the damaged one, the lock
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(test::ReadFile(folder / names[1]), damaged);
  ASSERT_EQ(dialogs->MessageTexts().size(), 1u);
  EXPECT_TRUE(dialogs->MessageTexts()[0].starts_with("The settings file is damaged: " + settingsFile().string() +
                                                     "\rIt was set aside as " + (folder / names[1]).string()));
  EXPECT_EQ(form().BackupFolderPath(), Backup().string());
  EXPECT_TRUE(form().MenuBackup->isChecked()) << "the damaged file's Backup=0 counted";
  UseContainer();
  ExpectNextSendSucceeds(0);
  form().MenuBackup->trigger();
  windows.reset();
  StartWatched();
  EXPECT_TRUE(dialogs->MessageTexts().empty()) << "told again: " << dialogs->MessageTexts().front();
  EXPECT_FALSE(form().MenuBackup->isChecked());
}

// A store that takes no writes (its lock file cannot be made) changes
// nothing on disk; the changes hold for this run and no send fails over them.
TEST_F(StartFault, SettingsThatCannotBeWrittenStopNoSend) {
  PublishSite(TargetList({{"PLANT1", "Plant 1"}}));
  const std::string lock = settingsFile().string() + ".lock";
  std::filesystem::remove(lock);
  std::filesystem::create_directories(lock);
  const std::string settings = SettingsText();
  StartWatched();
  EXPECT_TRUE(dialogs->shown.empty()) << dialogs->MessageTexts().front();
  EXPECT_EQ(form().BackupFolderPath(), Backup().string());
  form().MenuBackup->trigger();
  form().MenuBackup->trigger();
  const auto elsewhere = root / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  test::WhenShown(windows->okRightDlg.get(), [&](QDialog*) {
    windows->okRightDlg->DirEdit->setText(QString::fromStdString(elsewhere.string()));
    windows->okRightDlg->OKBtn->click();
  });
  form().backupfolder1->trigger();
  dialogs->picks = {(WorkDir() / "picked.cnt").string()};
  form().Button3->click();
  EXPECT_TRUE(dialogs->MessageTexts().empty()) << dialogs->MessageTexts().front();
  EXPECT_EQ(form().BackupFolderPath(), elsewhere.string());

  // A binary container turns the mail off, which is stored as a setting.
  UseContainer("ECU-4711.bin");
  SendTo({0});
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_EQ(form().StatusText(), "finished");
  EXPECT_FALSE(form().SendMail->isChecked());
  EXPECT_EQ(test::ReadFile(BackupCopy()), Prepared(written));
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(SettingsText(), settings);
}

}  // namespace
