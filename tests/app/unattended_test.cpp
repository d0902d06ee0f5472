#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include "send_samples.h"
#include "site_fixture.h"

namespace {

using test::SiteFixture;

class Unattended : public SiteFixture {
 protected:
  Unattended() {
    PublishSite(TargetList({{"WK1", "Werk 1"}, {"DEV", "Development lab"}, {"ABCDEFGHIJK", "Long name"}}));
    for (auto name : {"WK1", "DEV", "ABCDEFGHIJ"}) std::filesystem::create_directories(Mailbox(name));
    container = root / "work/c.cnt";
    test::WriteFile(container, "<!DOCTYPE c PUBLIC \"-//K//DTD C 1.2//EN\">\r\n<c><project-info><ecu-ident>E</ecu-ident>"
                               "<sw-ident>S</sw-ident></project-info></c>\r\n");
  }
  std::vector<int> SelectedLines() {
    std::vector<int> lines;
    for (int i = 0; i < form().TargetListBox->count(); ++i)
      if (form().TargetListBox->item(i)->isSelected()) lines.push_back(i);
    return lines;
  }
  std::size_t Delivered(const std::string& shortName) { return test::FilesIn(Mailbox(shortName)).size(); }

  std::filesystem::path container;
};

TEST_F(Unattended, ShortNamesSelectTheirTargetsInAnyCaseAndTheRunEnds) {
  Start({container.string(), "-t", "wk1"});
  EXPECT_EQ(SelectedLines(), std::vector<int>{0});
  EXPECT_EQ(Delivered("WK1"), 1u);
  EXPECT_EQ(Delivered("DEV"), 0u);
  EXPECT_TRUE(dialogs->shown.empty()) << dialogs->shown.front().text;
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 0);
  EXPECT_TRUE(form().TargetNameList().empty());
}

TEST_F(Unattended, TheMailIsSwitchedOffAndStaysOffForTheNextRun) {
  Start({container.string(), "-t", "DEV"});
  EXPECT_FALSE(form().SendMail->isChecked());
  EXPECT_NE(SettingsText().find("\"SendEMail\"=dword:00000000"), std::string::npos);
  windows.reset();
  Start();
  EXPECT_FALSE(form().SendMail->isChecked());
  EXPECT_FALSE(form().IsUnattended());
  EXPECT_TRUE(SelectedLines().empty());
}

// A run that sends nothing, or not to every target it names, has failed:
// it says why, ends with exit code 1 and leaves the container as it is
// when nothing is sent.
TEST_F(Unattended, ARunThatSendsNothingSaysWhyAndEndsWithExitCodeOne) {
  const std::string written = test::ReadFile(container);
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> messages;
  } cases[] = {
      {{container.string(), "-t", "ABCDEFGHIJK"},
       {"No target has the short name \"ABCDEFGHIJK\"", "No target selected"}},
      {{container.string(), "-t", "NOSUCH", "-t", "other"},
       {"No target has the short name \"NOSUCH\"\rNo target has the short name \"other\"", "No target selected"}},
      {{container.string(), "-nobackup"}, {"No target selected"}},
      {{"-nolog"}, {"No file selected"}},
  };
  for (const auto& c : cases) {
    windows.reset();
    dialogs->shown.clear();
    Start(c.arguments);
    EXPECT_TRUE(SelectedLines().empty());
    EXPECT_EQ(dialogs->MessageTexts(), c.messages);
    EXPECT_TRUE(form().TerminationRequested());
    EXPECT_EQ(form().ExitCode(), 1);
    EXPECT_EQ(test::ReadFile(container), written);
    EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));
    EXPECT_FALSE(std::filesystem::exists(appDir() / "backup/c.cnt"));
  }
  EXPECT_EQ(test::Count(Log(), "Parcelo Version"), 3u) << "-nolog logged";
}

// Sent to the targets that exist, but a name matched none: still a failure.
TEST_F(Unattended, AnUnknownNameBesideAKnownOneSendsToTheKnownAndEndsWithExitCodeOne) {
  Start({container.string(), "-t", "DEV", "-t", "NOSUCH"});
  EXPECT_EQ(dialogs->MessageTexts(), std::vector<std::string>{"No target has the short name \"NOSUCH\""});
  EXPECT_EQ(Delivered("DEV"), 1u);
  EXPECT_EQ(form().ExitCode(), 1);
}

// Where a display exists the boxes are shown, and after them the run ends by
// itself with the send's own reason logged; the target list was fine.
TEST_F(Unattended, AFailedSendShowsItsReasonAndEndsWithExitCodeOne) {
  for (bool withDisplay : {true, false}) {
    windows.reset();
    dialogs->shown.clear();
    display = withDisplay;
    Start({(root / "missing.cnt").string(), "-t", "WK1"});
    EXPECT_EQ(dialogs->MessageTexts(), (std::vector<std::string>{"Sorce file does not exist. \r\rTerminate program.",
                                                                 "Files does not exist."}));
    EXPECT_TRUE(Log().ends_with("Container file does not exist. Abort!\r\n! Files does not exist.\r\n")) << Log();
    EXPECT_EQ(Log().find("Error by parsing target list"), std::string::npos);
    EXPECT_TRUE(form().TerminationRequested());
    EXPECT_EQ(form().ExitCode(), 1);
  }
}

TEST_F(Unattended, UsageWithAFileNameFetchesAndSendsNothing) {
  const std::string localList = test::ReadFile(appDir() / "lib/ftpsend.xml");
  Start({"?", container.string(), "-t", "WK1"});
  EXPECT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(test::ReadFile(appDir() / "lib/ftpsend.xml"), localList);
  EXPECT_EQ(form().TargetListBox->count(), 0);
  EXPECT_EQ(Delivered("WK1"), 0u);
  EXPECT_FALSE(windows->splash->isHidden()) << "after the usage text the splash stays";
  EXPECT_EQ(form().ExitCode(), 0);
}

}  // namespace
