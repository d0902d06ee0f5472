#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

#include "app_fixture.h"
#include "support/modal.h"

namespace {

using test::AppFixture;

// Drops the paths on the widget as a file manager would.
void DropFiles(QWidget* site, const std::vector<std::filesystem::path>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path.string()));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(site, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(site, &drop);
}

TEST_F(AppFixture, DroppingThreeFilesLeavesTheThird) {
  Start();
  for (auto name : {"a.cnt", "b.cnt", "c.cnt"}) test::WriteFile(root / name, "x");
  DropFiles(form().ContainerFile, {root / "a.cnt", root / "b.cnt", root / "c.cnt"});
  EXPECT_EQ(form().ContainerFile->text().toStdString(), (root / "c.cnt").string());
  DropFiles(form().Panel1, {root / "b.cnt"});
  EXPECT_EQ(form().ContainerFile->text().toStdString(), (root / "b.cnt").string());
}

TEST_F(AppFixture, DroppingAFolderChangesNothing) {
  Start();
  test::WriteFile(root / "folder/inside.cnt", "x");
  form().ContainerFile->setText("before");
  DropFiles(form().ContainerFile, {root / "folder"});
  EXPECT_EQ(form().ContainerFile->text(), "before");
}

TEST_F(AppFixture, FoldersExpandOnlyWhenTheDropperAllowsIt) {
  Start();
  test::WriteFile(root / "folder/b.cnt", "x");
  test::WriteFile(root / "folder/a.cnt", "x");
  test::WriteFile(root / "folder/.hidden", "x");
  test::WriteFile(root / "folder/sub/c.cnt", "x");
  std::vector<std::string> reported;
  app::TFileDropper dropper(form().Panel1, [&](app::TFileDropper&, const std::string& path) { reported.push_back(path); });
  dropper.AllowDir = true;
  dropper.Drop({(root / "folder").string()});
  const std::string folder = (root / "folder").string();
  EXPECT_EQ(reported, (std::vector<std::string>{test::Native(folder + "/a.cnt"), test::Native(folder + "/b.cnt")}));
  reported.clear();
  dropper.SubFolders = true;
  dropper.Drop({folder});
  EXPECT_EQ(reported, (std::vector<std::string>{test::Native(folder + "/a.cnt"), test::Native(folder + "/b.cnt"),
                                                test::Native(folder + "/sub/c.cnt")}));
}

TEST_F(AppFixture, TheOpenDialogStartsAtLastDirAndStoresTheFolderWithItsSeparator) {
  Start();
  dialogs->shown.clear();  // the offline start's box
  dialogs->picks = {std::string("/data/x.cnt")};
  form().Button3->click();
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].kind, platform::ScriptedDialogs::Shown::kOpenFile);
  EXPECT_EQ(dialogs->shown[0].text, appDir().string());
  EXPECT_EQ(dialogs->shown[0].caption, app::TForm1::kOpenDialogFilter);
  EXPECT_EQ(form().ContainerFile->text(), "/data/x.cnt");
  EXPECT_NE(SettingsText().find("\"LastDir\"=\"/data/\""), std::string::npos);
  dialogs->picks = {std::nullopt};
  form().Button3->click();
  EXPECT_EQ(dialogs->shown.back().text, "/data/");
  EXPECT_EQ(form().ContainerFile->text(), "/data/x.cnt");
}

TEST_F(AppFixture, BackupMenuIsStoredAsZeroAndOne) {
  Start();
  form().MenuBackup->trigger();
  EXPECT_FALSE(form().MenuBackup->isChecked());
  EXPECT_NE(SettingsText().find("\"Backup\"=dword:00000000"), std::string::npos);
  form().MenuBackup->trigger();
  EXPECT_TRUE(form().MenuBackup->isChecked());
  EXPECT_NE(SettingsText().find("\"Backup\"=dword:00000001"), std::string::npos);
}

TEST_F(AppFixture, MailSwitchMovesBoxMenuAndSettingTogether) {
  Start();
  form().MenuSendMail->trigger();
  EXPECT_FALSE(form().SendMail->isChecked());
  EXPECT_FALSE(form().MenuSendMail->isChecked());
  EXPECT_NE(SettingsText().find("\"SendEMail\"=dword:00000000"), std::string::npos);
  form().SendMail->click();
  EXPECT_TRUE(form().SendMail->isChecked());
  EXPECT_TRUE(form().MenuSendMail->isChecked());
  EXPECT_NE(SettingsText().find("\"SendEMail\"=dword:00000001"), std::string::npos);
}

class BackupFolderDialog : public AppFixture {
 protected:
  // Opens "change backup folder", types `folder` and presses OK.
  void ChangeBackupFolderTo(const std::string& folder) {
    test::WhenShown(windows->okRightDlg.get(), [&](QDialog*) {
      shownText = windows->okRightDlg->DirEdit->text().toStdString();
      windows->okRightDlg->DirEdit->setText(QString::fromStdString(folder));
      windows->okRightDlg->OKBtn->click();
    });
    form().backupfolder1->trigger();
  }
  std::string shownText;
};

TEST_F(BackupFolderDialog, OKStoresTheFolderWithoutOneTrailingSeparator) {
  Start();
  const std::string fresh = (root / "fresh").string();
  std::filesystem::create_directories(fresh);
  ChangeBackupFolderTo(fresh + "/");
  EXPECT_EQ(shownText, (appDir() / "backup").string());
  EXPECT_EQ(form().BackupFolderPath(), fresh);
  EXPECT_NE(SettingsText().find("\"BackupFolder\"=\"" + fresh + "\""), std::string::npos);
  ChangeBackupFolderTo(fresh + "//");
  EXPECT_EQ(form().BackupFolderPath(), fresh + "/");
}

TEST_F(BackupFolderDialog, ANewFolderGetsALogWithHeaderAndTheOldOneStays) {
  Start();
  form().WriteLogLine("old line");
  const std::string fresh = (root / "fresh").string();
  std::filesystem::create_directories(fresh);
  ChangeBackupFolderTo(fresh);
  form().WriteLogLine("new line");
  EXPECT_EQ(Log(), std::string(kOfflineLine) + "old line\r\n");
  const std::string log = test::ReadFile(fresh + "/ParceloLog.txt");
  EXPECT_TRUE(log.starts_with("LOG - file for Parcelo Version 3.0\r\nFile gereate at ")) << log;
  EXPECT_TRUE(log.ends_with("\r\nnew line\r\n")) << log;
}

TEST_F(BackupFolderDialog, TheSameFolderGoesOnWithoutHeader) {
  Start();
  form().WriteLogLine("one");
  ChangeBackupFolderTo((appDir() / "backup").string());
  form().WriteLogLine("two");
  EXPECT_EQ(Log(), std::string(kOfflineLine) + "one\r\ntwo\r\n");
}

TEST_F(BackupFolderDialog, CancelChangesNothing) {
  Start();
  test::WhenShown(windows->okRightDlg.get(), [&](QDialog*) {
    windows->okRightDlg->DirEdit->setText("/elsewhere");
    windows->okRightDlg->CancelBtn->click();
  });
  form().backupfolder1->trigger();
  EXPECT_EQ(form().BackupFolderPath(), (appDir() / "backup").string());
}

TEST_F(BackupFolderDialog, WithLoggingOffTheCommandOpensNoDialog) {
  Start({"-nolog"});
  bool shown = false;
  test::WhenShown(windows->okRightDlg.get(), [&](QDialog* dialog) {
    shown = true;
    dialog->reject();
  }, 200);
  form().backupfolder1->trigger();
  QApplication::processEvents();
  EXPECT_FALSE(shown);
}

TEST_F(AppFixture, TheViewerCaptionComesBackAfterTheIntranetPage) {
  Start();
  const QString before = windows->readMeForm->windowTitle();
  QString during;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* dialog) {
    during = dialog->windowTitle();
    dialog->accept();
  });
  form().ecumem->trigger();
  EXPECT_EQ(during, "ECU Memory Container in the Itranet");
  EXPECT_EQ(windows->readMeForm->windowTitle(), before);
}

TEST_F(AppFixture, TheReadmeOpensTheFetchedReadmeModally) {
  Start();
  test::WriteFile(appDir() / "doc/Readme.html", "<html><body><h1>What is new</h1></body></html>");
  QString shownText;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* dialog) {
    shownText = windows->readMeForm->WebBrowser1->toPlainText();
    dialog->accept();
  });
  form().Readme1->trigger();
  EXPECT_EQ(shownText, "What is new");
  EXPECT_EQ(windows->readMeForm->Location(), test::Native(appDir() / "doc/Readme.html"));
}

TEST_F(AppFixture, HelpOpensTheManualAtTheRequestedPlace) {
  Start();
  test::WriteFile(appDir() / "doc/help/index.html", "<html><body><a name=\"TOP1\">Parcelo</a></body></html>");
  form().HelpContents1->trigger();
  EXPECT_TRUE(form().HelpViewer().isVisible());
  EXPECT_EQ(form().HelpViewer().Location(), test::Native(appDir() / "doc/help/index.html"));
  EXPECT_EQ(form().HelpViewer().WebBrowser1->toPlainText(), "Parcelo");
}

TEST_F(AppFixture, TheAboutBoxIsNotModalAndOKHidesIt) {
  Start();
  form().About1->trigger();
  EXPECT_TRUE(windows->aboutBox->isVisible());
  EXPECT_FALSE(windows->aboutBox->isModal());
  EXPECT_EQ(windows->aboutBox->Version->text(), "Version 3.0.0.6");
  windows->aboutBox->OKButton->click();
  EXPECT_FALSE(windows->aboutBox->isVisible());
}

}  // namespace
