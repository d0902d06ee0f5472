#include <QAction>
#include <QLineEdit>
#include <unistd.h>

#include "app_fixture.h"

namespace {

using test::AppFixture;

std::string CurrentFolder() { return std::filesystem::current_path().string(); }

TEST_F(AppFixture, NoArgumentsMakeAnInteractiveRun) {
  Start();
  EXPECT_FALSE(form().IsUnattended());
  EXPECT_TRUE(form().ContainerFile->text().isEmpty());
  EXPECT_TRUE(form().IsLoggingOn());
}

TEST_F(AppFixture, AFileNameIsExpandedAndTheLastOneCounts) {
  Start({"a.cnt", "sub/../b.cnt"});
  EXPECT_EQ(form().ContainerFile->text().toStdString(), test::Native(CurrentFolder() + "/b.cnt"));
  EXPECT_FALSE(form().IsUnattended());
}

TEST_F(AppFixture, SlashQuestionMarkIsAFileName) {
  Start({"/?"});
  // Rooted already; on Windows at the current drive.
  EXPECT_EQ(form().ContainerFile->text().toStdString(),
            test::Native(std::filesystem::current_path().root_name() / std::filesystem::path("/?")));
  EXPECT_TRUE(dialogs->shown.empty());
}

TEST_F(AppFixture, QuestionMarkShowsTheUsageAndEndsWithCodeZero) {
  Start({"?", "x.cnt"});
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].caption, "Information");
  EXPECT_EQ(dialogs->shown[0].icon, platform::MessageIcon::kInformation);
  EXPECT_EQ(dialogs->shown[0].text,
            "Aufruf: Parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...] \r"
            "   filename :  name of the container file\r"
            "   nolog    :  no loggin of transfer\r"
            "   nobackup :  no backup of the container will generate\r"
            "   target   :  name of the target");
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 0);
  // The remaining arguments are still evaluated.
  EXPECT_EQ(form().ContainerFile->text().toStdString(), test::Native(CurrentFolder() + "/x.cnt"));
}

TEST_F(AppFixture, DashQuestionMarkShowsTheUsageToo) {
  Start({"-?"});
  EXPECT_EQ(dialogs->shown.size(), 1u);
  EXPECT_TRUE(form().IsUnattended());
}

TEST_F(AppFixture, TargetNamesAreCollectedInAnyCaseOfTheOption) {
  Start({"-t", "wk1", "-T", "DEV"});
  EXPECT_EQ(form().TargetNameList(), (std::vector<std::string>{"wk1", "DEV"}));
  EXPECT_TRUE(form().IsUnattended());
}

TEST_F(AppFixture, NoLogSwitchesLoggingOffAndTouchesNoLogFile) {
  Start({"-NoLog"});
  EXPECT_FALSE(form().IsLoggingOn());
  EXPECT_TRUE(form().IsUnattended());
  EXPECT_FALSE(std::filesystem::exists(appDir() / "backup/ParceloLog.txt"));
}

TEST_F(AppFixture, NoBackupUnchecksTheMenuForThisRunOnly) {
  Start({"-nobackup"});
  EXPECT_FALSE(form().MenuBackup->isChecked());
  EXPECT_NE(SettingsText().find("\"Backup\"=dword:00000001"), std::string::npos);
}

TEST_F(AppFixture, ANameAfterDashTIsAlsoTestedAsAnOption) {
  Start({"-t", "-nolog"});
  EXPECT_EQ(form().TargetNameList(), std::vector<std::string>{"-nolog"});
  EXPECT_FALSE(form().IsLoggingOn());
}

TEST_F(AppFixture, DashTAtTheEndAddsAnEmptyName) {
  Start({"-t"});
  EXPECT_EQ(form().TargetNameList(), std::vector<std::string>{""});
}

TEST_F(AppFixture, AnyOtherOptionMakesTheRunUnattended) {
  Start({"-whatever"});
  EXPECT_TRUE(form().IsUnattended());
  EXPECT_TRUE(form().TargetNameList().empty());
  EXPECT_TRUE(form().ContainerFile->text().isEmpty());
}

}  // namespace
