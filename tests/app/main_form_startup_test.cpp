#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <sys/stat.h>

#include "app_fixture.h"

namespace {

using test::AppFixture;

ino_t Inode(const std::filesystem::path& file) {
  struct stat info {};
  stat(file.c_str(), &info);
  return info.st_ino;
}

TEST_F(AppFixture, AppDirIsTheParentOfTheExecutableFolder) {
  Start();
  EXPECT_EQ(form().AppDirectory(), appDir().string());
}

TEST_F(AppFixture, FirstStartWritesTheFiveDefaultsAndCreatesTheBackupFolder) {
  Start();
  const std::string backup = (appDir() / "backup").string();
  EXPECT_EQ(SettingsText(),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\Korvath\\Parcelo]\n"
            "\"ReadmeDate\"=\"00.00.0000\"\n"
            "\"BackupFolder\"=\"" + backup + "\"\n"
            "\"Backup\"=dword:00000001\n"
            "\"LastDir\"=\"" + appDir().string() + "\"\n"
            "\"SendEMail\"=dword:00000001\n\n");
  EXPECT_TRUE(std::filesystem::is_directory(backup));
  EXPECT_TRUE(form().SendMail->isChecked());
  EXPECT_TRUE(form().MenuSendMail->isChecked());
  EXPECT_TRUE(form().MenuBackup->isChecked());
}

TEST_F(AppFixture, FirstStartCreatesTheLogWithoutHeader) {
  Start();
  const auto log = appDir() / "backup/ParceloLog.txt";
  ASSERT_TRUE(std::filesystem::exists(log));
  // Its first line is the unreachable server's.
  EXPECT_EQ(test::ReadFile(log), kOfflineLine);
  form().WriteLogLine("");
  form().WriteLogLine("Parcelo Version 3.0.0.6");
  EXPECT_EQ(test::ReadFile(log), std::string(kOfflineLine) + "\r\nParcelo Version 3.0.0.6\r\n");
}

TEST_F(AppFixture, ASecondStartWritesNothing) {
  Start();
  windows.reset();
  const std::string before = SettingsText();
  const ino_t inode = Inode(settingsFile());
  Start();
  EXPECT_EQ(SettingsText(), before);
  EXPECT_EQ(Inode(settingsFile()), inode) << "the settings file was rewritten";
}

TEST_F(AppFixture, SendEMailZeroUnchecksBoxAndMenuAndIsWrittenAgain) {
  Start();
  windows.reset();
  PresetSettings([](auto& registry) { registry.WriteBool("SendEMail", false); });
  const ino_t inode = Inode(settingsFile());
  Start();
  EXPECT_FALSE(form().SendMail->isChecked());
  EXPECT_FALSE(form().MenuSendMail->isChecked());
  EXPECT_NE(Inode(settingsFile()), inode);
  EXPECT_NE(SettingsText().find("\"SendEMail\"=dword:00000000"), std::string::npos);
}

TEST_F(AppFixture, BackupSettingDrivesTheBackupMenuCheck) {
  PresetSettings([](auto& registry) { registry.WriteInteger("Backup", 0); });
  Start();
  EXPECT_FALSE(form().MenuBackup->isChecked());
  windows.reset();
  PresetSettings([](auto& registry) { registry.WriteInteger("Backup", 7); });
  Start();
  EXPECT_TRUE(form().MenuBackup->isChecked());
}

TEST_F(AppFixture, AStoredBackupFolderIsNotCreatedAndTheLogCannotOpenThere) {
  const auto missing = root / "nowhere/backup";
  PresetSettings([&](auto& registry) { registry.WriteString("BackupFolder", missing.string()); });
  Start();
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(form().BackupFolderPath(), missing.string());
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].caption, "Parcelo V3.0");
  EXPECT_NE(dialogs->shown[0].text.find("ParceloLog.txt"), std::string::npos);
  // Logging stays on, so the next line fails as well.
  EXPECT_THROW(form().WriteLogLine("x"), app::EInOutError);
}

TEST_F(AppFixture, AValueOfTheWrongTypeEndsTheStartUpStepForGood) {
  PresetSettings([](auto& registry) { registry.WriteString("Backup", "yes"); });
  Start({"container.cnt"});
  ASSERT_EQ(dialogs->MessageTexts(), std::vector<std::string>{"Invalid data type for 'Backup' in " + settingsFile().string()});
  EXPECT_EQ(dialogs->shown[0].icon, platform::MessageIcon::kError);
  // Nothing after the settings ran: no command line, no log.
  EXPECT_TRUE(form().ContainerFile->text().isEmpty());
  EXPECT_FALSE(std::filesystem::exists(appDir() / "backup/ParceloLog.txt"));
  Activate();
  EXPECT_TRUE(form().ContainerFile->text().isEmpty());
  EXPECT_EQ(dialogs->shown.size(), 1u);
}

// A start-up that fails before the target list closes the splash; without a
// display nobody could act on the window, so the run ends with exit code 1.
// Nobody acts on a window without a display, nor on an unattended run: both
// end after the error display, with exit code 1. An interactive window stays.
TEST_F(AppFixture, AFailedStartUpEndsAnUnattendedRunOrOneWithoutADisplay) {
  const std::function<void(platform::TRegistry&)> faults[] = {
      [](auto& registry) { registry.WriteString("Backup", "yes"); },
      [&](auto& registry) { registry.WriteString("BackupFolder", (root / "nowhere").string()); },
  };
  const struct {
    std::vector<std::string> arguments;
    bool display;
    bool ends;
  } runs[] = {{{"-t", "PLANT1"}, true, true}, {{"-t", "PLANT1"}, false, true}, {{}, true, false}, {{}, false, true}};
  for (const auto& fault : faults) {
    for (const auto& run : runs) {
      std::filesystem::remove(settingsFile());
      PresetSettings(fault);
      display = run.display;
      dialogs->shown.clear();
      Start(run.arguments);
      EXPECT_EQ(dialogs->shown.size(), 1u);
      EXPECT_FALSE(windows->splash->isVisible());
      EXPECT_EQ(form().TerminationRequested(), run.ends) << run.arguments.size() << run.display;
      EXPECT_EQ(form().ExitCode(), run.ends ? 1 : 0);
    }
  }
}

TEST_F(AppFixture, LaterActivationsRepeatNothing) {
  Start();
  std::filesystem::remove(settingsFile());
  Activate();
  EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

// Its lock cannot be taken (a folder stands there), so the damaged file stays.
TEST_F(AppFixture, ADamagedSettingsFileThatStaysIsToldOfOnceAndTheDefaultsServe) {
  test::WriteFile(settingsFile(), "not a settings file");
  std::filesystem::create_directories(settingsFile().string() + ".lock");
  Start();
  form().MenuBackup->trigger();
  EXPECT_EQ(dialogs->MessageTexts(),
            (std::vector<std::string>{"The settings file is damaged: " + settingsFile().string() +
                                          "\rIt cannot be set aside, so no setting is saved in this run."
                                          "\rThe program goes on with the default settings.",
                                      "Error in FTP area"}));
  EXPECT_EQ(SettingsText(), "not a settings file");
  EXPECT_TRUE(form().SendMail->isChecked());
  EXPECT_EQ(form().BackupFolderPath(), (appDir() / "backup").string());
  EXPECT_EQ(Log(), kOfflineLine);
}

TEST_F(AppFixture, ExitButtonAndCloseBoxEndWithCodeZero) {
  Start();
  EXPECT_FALSE(form().TerminationRequested());
  form().Button1->click();
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 0);
  windows.reset();
  Start();
  form().close();
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 0);
}

TEST_F(AppFixture, TheWindowHasItsDesignedTitleAndSize) {
  Start();
  EXPECT_EQ(form().windowTitle(), "ECU-memory container transmission tool");
  EXPECT_EQ(form().width(), 439 * form().logicalDpiX() / 96);
  EXPECT_EQ(form().height(), 375);
}

}  // namespace
