#include <QListWidget>
#include <QTextBrowser>

#include "site_fixture.h"

namespace {

using test::SiteFixture;

std::string WithoutCr(std::string text) {
  std::erase(text, '\r');
  return text;
}

TEST_F(SiteFixture, TheRefreshFetchesTheSiteFilesAndFillsTheList) {
  PublishSite(TargetList({{"A", "Alpha", false}, {"B", "Bravo", false}, {"C", "Charlie", false}}));
  Start();
  // Text transfers: the server sends its lines with CR LF.
  EXPECT_EQ(WithoutCr(test::ReadFile(appDir() / "lib/ftpsend.xml")), test::ReadFile(SiteDir() / "ftpsend.xml"));
  EXPECT_EQ(WithoutCr(test::ReadFile(appDir() / "lib/checkit.mck")), test::ReadFile(SiteDir() / "checkit.mck"));
  EXPECT_EQ(WithoutCr(test::ReadFile(appDir() / "dtd/ecum0102.dtd")), test::ReadFile(SiteDir() / "ecum0102.DTD"));
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"Alpha", "Bravo", "Charlie"}));
  EXPECT_EQ(form().StatusText(), "target list updated");
  EXPECT_FALSE(windows->splash->isVisible());
  EXPECT_TRUE(dialogs->shown.empty());
  EXPECT_FALSE(form().FtpClient1.Connected);
}

TEST_F(SiteFixture, ServerDownWithoutArgumentsReadsTheLocalList) {
  StopServer();
  test::WriteFile(appDir() / "lib/ftpsend.xml", TargetList({{"OLD", "Earlier list", false}}));
  Start();
  EXPECT_EQ(dialogs->MessageTexts(), std::vector<std::string>{"Error in FTP area"});
  EXPECT_EQ(Log(), kOfflineLine);
  EXPECT_EQ(ListLines(), std::vector<std::string>{"Earlier list"});
  EXPECT_FALSE(form().TerminationRequested());
}

TEST_F(SiteFixture, ServerDownWithAFileArgumentEndsWithExitCodeOne) {
  StopServer();
  Start({"x.cnt"});
  EXPECT_TRUE(dialogs->MessageTexts().empty());
  EXPECT_EQ(Log(), kOfflineLine);
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 1);
  EXPECT_EQ(form().TargetListBox->count(), 0);
}

TEST_F(SiteFixture, ARefusedDownloadIsReportedTwiceBeforeTheRefreshGivesUp) {
  std::filesystem::remove(SiteDir() / "checkit.mck");
  Start();
  EXPECT_EQ(test::Count(Log(), " --> Failure: FTP: Download file failed\r\n"), 2u);
  // The line says why: the server's reply to the refused download.
  EXPECT_NE(Log().find("! Error in FTP connection by getting the actual target and check lists: 550 "), std::string::npos)
      << Log();
  EXPECT_EQ(dialogs->MessageTexts(), std::vector<std::string>{"Error in FTP area"});
  EXPECT_EQ(form().StatusText(), "FTP: Download file failed");
  EXPECT_FALSE(form().FtpClient1.Connected) << "the connection to the site server was left open";
  EXPECT_EQ(ListLines(), (std::vector<std::string>{"Plant 1", "Development lab"}));
}

TEST_F(SiteFixture, ANewReadmeIsFetchedStoredAndShownOnce) {
  PresetSettings([](auto& registry) { registry.WriteString("ReadmeDate", "00.00.0000"); });
  CreateWindows();
  QString shown;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
    shown = windows->readMeForm->WebBrowser1->toPlainText();
    viewer->accept();
  });
  Activate();
  EXPECT_EQ(shown, "Readme of the site");
  EXPECT_EQ(test::ReadFile(appDir() / "doc/Readme.html"), test::ReadFile(SiteDir() / "Readme.html"));
  EXPECT_NE(SettingsText().find("\"ReadmeDate\"=\"01.12.2026\""), std::string::npos);

  windows.reset();
  test::WriteFile(SiteDir() / "Readme.html", "<html><body>changed</body></html>");
  CreateWindows();
  bool shownAgain = false;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
    shownAgain = true;
    viewer->accept();
  }, 300);
  Activate();
  EXPECT_FALSE(shownAgain);
  EXPECT_NE(test::ReadFile(appDir() / "doc/Readme.html"), "<html><body>changed</body></html>");
}

TEST_F(SiteFixture, UnattendedRunsSkipTheReadme) {
  PresetSettings([](auto& registry) { registry.WriteString("ReadmeDate", "00.00.0000"); });
  CreateWindows({"-nolog"});
  bool shown = false;
  test::WhenShown(windows->readMeForm.get(), [&](QDialog* viewer) {
    shown = true;
    viewer->accept();
  }, 300);
  Activate();
  EXPECT_FALSE(shown);
  EXPECT_NE(SettingsText().find("\"ReadmeDate\"=\"00.00.0000\""), std::string::npos);
}

TEST_F(SiteFixture, AvailableTargetsPadsShortNamesWithDots) {
  PublishSite(TargetList({{"WK1", "Werk eins", false}, {"", "Nameless", false}, {"ABCDEFGHIJ", "Ten", false}}));
  Start();
  form().targetshortname1->trigger();
  ASSERT_EQ(dialogs->shown.size(), 1u);
  EXPECT_EQ(dialogs->shown[0].caption, "Information");
  EXPECT_EQ(dialogs->shown[0].text,
            "available targets: \rShortname ... Name\rWK1.......Werk eins\r..........Nameless\rABCDEFGHIJTen\r");
}

TEST_F(SiteFixture, AFaultyListShowsItsErrorAndKeepsTheRowsReadBefore) {
  PublishSite("<L><Werk compress='no'><NAME>First</NAME></Werk><Werk><NAME>No compress</NAME></Werk>"
              "<IntranetUrl>x</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate></L>");
  Start();
  const auto texts = dialogs->MessageTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("compress"), std::string::npos);
  EXPECT_EQ(dialogs->shown[0].caption, "Parcelo V3.0");
  EXPECT_EQ(texts[1], "Error by parsing target list");
  EXPECT_TRUE(Log().ends_with("! Error by parsing target list\r\n"));
  EXPECT_EQ(ListLines(), std::vector<std::string>{"First"});
  EXPECT_FALSE(windows->splash->isVisible());
}

TEST_F(SiteFixture, AFailedReadmeDownloadClosesTheSplashToo) {
  PresetSettings([](auto& registry) { registry.WriteString("ReadmeDate", "00.00.0000"); });
  std::filesystem::remove(SiteDir() / "Readme.html");
  Start();
  EXPECT_EQ(dialogs->MessageTexts().back(), "Error by parsing target list");
  EXPECT_FALSE(windows->splash->isVisible());
}

TEST_F(SiteFixture, AListThatIsNotWellFormedReportsTheParserError) {
  PublishSite("<L><Werk compress='no'></L>");
  Start();
  const auto texts = dialogs->MessageTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "EParserFatalError: Fatal Error.");
  EXPECT_EQ(texts[1], "Error by parsing target list");
  EXPECT_EQ(form().TargetListBox->count(), 0);
}

}  // namespace
