#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "app/container/fat_date.h"
#include "app/window/result_form.h"
#include "app/window/target_state_delegate.h"
#include "send_samples.h"
#include "site_fixture.h"
#include "support/environment.h"
#include "support/recording_program.h"

namespace {

using test::Container;
using test::FilesIn;
using test::kFirstLine;
using test::LogLines;
using test::SiteFixture;

std::int32_t StampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return app::FatDateStamp(local);
}

class Send : public SiteFixture {
 protected:
  Send() : mailClient(test::RecordingProgram::kMailClient) {
    PublishSite(TargetList({{"PLANT1", "Plant 1"}, {"PLANT2", "Plant 2"}, {"DEV", "Development lab"}}));
    std::filesystem::create_directories(Mailbox("PLANT2"));
  }

  // Writes the container into a work folder and names it in the window.
  std::filesystem::path UseContainer(const std::string& name, const std::string& bytes) {
    const auto path = root / "work" / name;
    test::WriteFile(path, bytes);
    form().ContainerFile->setText(QString::fromStdString(path.string()));
    return path;
  }
  void Select(std::initializer_list<int> lines) {
    for (int line : lines) form().TargetListBox->item(line)->setSelected(true);
  }
  std::vector<std::string> MessageTexts() const { return dialogs->MessageTexts(); }

  test::RecordingProgram mailClient;
};

TEST_F(Send, OneTargetInTextModeLogsEveryStepAndDeliversThePreparedContainer) {
  Start();
  const auto container = UseContainer("ECU-4711.cnt", Container("E1", "S2", "<EMAIL>a@plant.example</EMAIL>\r\n"));
  Select({0});
  const std::int32_t before = StampNow();
  form().SendButton->click();
  const std::int32_t after = StampNow();
  ASSERT_TRUE(MessageTexts().empty()) << MessageTexts().front();

  const auto delivered = FilesIn(Mailbox("PLANT1"));
  ASSERT_EQ(delivered.size(), 1u);
  const std::string remote = delivered[0];
  EXPECT_TRUE(remote == "S2." + std::to_string(before) || remote == "S2." + std::to_string(after)) << remote;
  // pyftpdlib stores a text upload with its own line ends.
  std::string prepared = test::ReadFile(container);
  std::string stored;
  for (char c : prepared)
    if (c != '\r') stored += c;
  EXPECT_EQ(test::ReadFile(Mailbox("PLANT1") / remote), stored);
  EXPECT_NE(prepared.find("1.2//EN\" \"ecum0102.dtd\">"), std::string::npos);
  EXPECT_NE(prepared.find("M&uuml;ller"), std::string::npos);

  const auto lines = LogLines(Log());
  ASSERT_EQ(lines.size(), 12u) << Log();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Parcelo Version 3.0.0.6");
  EXPECT_TRUE(lines[2].starts_with("connect: ")) << lines[2];
  EXPECT_EQ(lines[3], "target: Plant 1");
  EXPECT_EQ(lines[4], "target path: ../../../mailbox/PLANT1");
  EXPECT_EQ(lines[5], "compression: no");
  EXPECT_EQ(lines[6], "Set FTPMode to ASCII");
  EXPECT_EQ(lines[7], "SourceFile: " + container.string());
  EXPECT_EQ(lines[8], "TargetFile: " + remote);
  EXPECT_EQ(lines[9], "verified: " + std::to_string(stored.size()) + " bytes");
  EXPECT_EQ(lines[10], "result: PLANT1 delivered (1 attempt)");
  EXPECT_EQ(lines[11], "container no.: E1-S2");

  EXPECT_EQ(test::ReadFile(appDir() / "backup/ECU-4711.cnt"), prepared);
  EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak")) << "the upload success deletes the .bak";
  EXPECT_EQ(form().StatusText(), "finished");
  EXPECT_TRUE(form().ContainerFile->text().isEmpty());
  EXPECT_FALSE(form().Animate1->isVisible());
  EXPECT_TRUE(form().SendButton->isEnabled());
  EXPECT_FALSE(form().FtpClient1.Connected);
}

// A line end inside a target list's value cannot forge a record of its own.
TEST_F(Send, ControlCharactersFromTheTargetListStayInsideTheirLogLine) {
  PublishSite(TargetList({{"PLANT1", "Plant 1&#13;&#10;connect: forged&#10;"}}));
  Start();
  UseContainer("c.cnt", Container("E1", "S2", ""));
  Select({0});
  form().SendButton->click();
  ASSERT_TRUE(MessageTexts().empty()) << MessageTexts().front();
  const auto lines = LogLines(Log());
  ASSERT_GT(lines.size(), 3u) << Log();
  EXPECT_EQ(lines[3], "target: Plant 1\\r\\nconnect: forged\\n");
  EXPECT_EQ(test::Count(Log(), "\nconnect: "), 1u) << Log();
}

TEST_F(Send, TheMailGetsTheContainerNumberAndEveryAddress) {
  Start();
  UseContainer("c.cnt", Container("E1", "S2", "<EMAIL>m1@plant.example</EMAIL>\r\n<EMAIL>m2@dev.example;m3@dev.example</EMAIL>\r\n"));
  Select({0});
  form().SendButton->click();
  const auto calls = mailClient.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], test::RecordingProgram::MailCall("mailto:m1@plant.example,m2@dev.example,m3@dev.example"
                                                           "?subject=container%20no.%20E1-S2%20was%20sent%20to%20FTP%20server"));
}

// The EMAIL entries are whatever the container's maker wrote: an entry that
// is no address (an option of the mail client, a file to attach, a whole
// mailto URI, a character reference) is left out and named in the log.
TEST_F(Send, EntriesThatAreNoAddressesAreLeftOutOfTheMailAndLogged) {
  Start();
  const std::vector<std::string> smuggled = {"--bcc", "--attach", "/home/user/.ssh/id_rsa",
                                             "mailto:x@y?attach=/etc/passwd", "a&#38;b@x"};
  std::string emails = "<EMAIL>qa@plant.example</EMAIL>\r\n<EMAIL>someone@elsewhere.example</EMAIL>\r\n";
  for (const std::string& entry : smuggled) emails += "<EMAIL>" + entry + "</EMAIL>\r\n";
  UseContainer("c.cnt", Container("E1", "S2", emails));
  Select({0});
  form().SendButton->click();
  const auto calls = mailClient.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], test::RecordingProgram::MailCall("mailto:qa@plant.example,someone@elsewhere.example"
                                                           "?subject=container%20no.%20E1-S2%20was%20sent%20to%20FTP%20server"));
  const auto lines = LogLines(Log());
  ASSERT_GE(lines.size(), smuggled.size());
  for (std::size_t i = 0; i < smuggled.size(); ++i)
    EXPECT_EQ(lines[lines.size() - smuggled.size() + i], "Not a mail address, left out of the mail: " + smuggled[i]);
  EXPECT_EQ(form().StatusText(), "finished");
}

TEST_F(Send, WithoutTheMailBoxNoMailButStillTheContainerNumber) {
  Start();
  form().SendMail->setChecked(false);
  UseContainer("c.cnt", Container("E1", "S2", "<EMAIL>M1</EMAIL>\r\n"));
  Select({0});
  form().SendButton->click();
  EXPECT_TRUE(Log().ends_with("container no.: E1-S2\r\n"));
  EXPECT_TRUE(mailClient.Calls().empty());
}

TEST_F(Send, TwoSendsReuseTheMailClient) {
  Start();
  for (int send = 0; send < 2; ++send) {
    const std::string number = std::to_string(send);
    UseContainer("c" + number + ".cnt", Container("E1", "S" + number, "<EMAIL>M</EMAIL>\r\n"));
    Select({0});
    form().SendButton->click();
    EXPECT_TRUE(form().MailClient.Connected());
  }
  EXPECT_EQ(mailClient.WaitForCalls(2).size(), 2u);
  EXPECT_EQ(test::Count(Log(), "Parcelo Version 3.0.0.6"), 2u);
}

TEST_F(Send, OtherExtensionsGoInBinaryModeAndSwitchTheMailOff) {
  Start();
  int number = 0;
  for (const std::string name : {"c.zip", "c.TXT", "container"}) {
    std::string swIdent = "B";
    swIdent += std::to_string(++number);
    UseContainer(name, Container("E1", swIdent, ""));
    Select({1});
    form().SendButton->click();
    ASSERT_TRUE(MessageTexts().empty()) << name << ": " << MessageTexts().front();
    EXPECT_NE(Log().find("Set FTPMode to BINARY"), std::string::npos) << name;
    EXPECT_FALSE(form().SendMail->isChecked()) << name;
    EXPECT_FALSE(form().SendMail->isEnabled()) << name;
    EXPECT_FALSE(form().MenuSendMail->isChecked()) << name;
  }
  EXPECT_NE(SettingsText().find("\"SendEMail\"=dword:00000000"), std::string::npos);
  EXPECT_EQ(FilesIn(Mailbox("PLANT2")).size(), 3u);
  EXPECT_EQ(Log().find("container no.:"), std::string::npos) << "binary containers are not identified";
  EXPECT_TRUE(mailClient.Calls().empty());
}

TEST_F(Send, ExtensionsAreComparedWithoutCase) {
  Start();
  UseContainer("A.XML", Container("E1", "X", ""));
  Select({0});
  form().SendButton->click();
  EXPECT_NE(Log().find("Set FTPMode to ASCII"), std::string::npos);
  EXPECT_TRUE(form().SendMail->isEnabled());
}

TEST_F(Send, ABackupFolderEqualToTheContainersAbortsBeforeAnythingIsSent) {
  // The same folder, spelled in another case.
  std::filesystem::create_directories(root / "WORK");
  PresetSettings([&](auto& registry) { registry.WriteString("BackupFolder", (root / "WORK").string()); });
  Start();
  UseContainer("../Work/c.cnt", Container("E1", "S2", ""));
  Select({0});
  form().SendButton->click();
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(MessageTexts()[0],
            "Target file and source file are identical,\rplease change the backup folder.\r\r!! TRANSFER ABORT !!");
  EXPECT_EQ(MessageTexts()[1], "Files are identical");
  const std::string log = test::ReadFile(root / "WORK/ParceloLog.txt");
  EXPECT_NE(log.find("\r\ntransfer abort: "), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nsource file: " + test::Native(root / "Work/c.cnt") + "\r\n"), std::string::npos) << log;
  EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
  EXPECT_FALSE(form().ContainerFile->text().isEmpty());
}

TEST_F(Send, WithBackupOffTheSameFolderSendsAndCopiesNothing) {
  std::filesystem::create_directories(root / "work");
  PresetSettings([&](auto& registry) {
    registry.WriteInteger("Backup", 0);
    registry.WriteString("BackupFolder", (root / "work").string());
  });
  Start();
  UseContainer("c.cnt", Container("E1", "S2", ""));
  Select({0});
  form().SendButton->click();
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(FilesIn(root / "work"), (std::vector<std::string>{"ParceloLog.txt", "c.cnt"}));
}

TEST_F(Send, TwoTargetsGetTwoCompleteCycles) {
  Start();
  UseContainer("c.cnt", Container("E1", "S2", ""));
  Select({0, 2});
  form().SendButton->click();
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(FilesIn(Mailbox("DEV")).size(), 1u);
  EXPECT_TRUE(FilesIn(Mailbox("PLANT2")).empty());
  EXPECT_EQ(test::Count(Log(), "TargetFile: S2."), 2u);
  EXPECT_NE(Log().find("target: Plant 1\r\n"), std::string::npos);
  EXPECT_LT(Log().find("target: Plant 1\r\n"), Log().find("target: Development lab\r\n"));
}

// A target may name its server by an IPv6 address with a port of its own and
// ask for passive mode; a target without either keeps the site's port and
// active mode. Binary uploads are confirmed by the server's SIZE.
TEST_F(Send, ATargetWithItsOwnAddressPortAndPassiveMode) {
  test::RealFtpServer ipv6(test::RealServerKind::Pyftpdlib, {.address = "::1"});
  std::filesystem::create_directories(ipv6.Top() / "mailbox/V6");
  PublishSite(TargetList({{"V6", "Plant on IPv6", false, "../../../mailbox/V6", "[::1]:" + std::to_string(ipv6.Port()), false, true},
                          {"PLANT1", "Plant 1"}}));
  Start();
  const auto container = UseContainer("c.bin", Container("E1", "B1", ""));
  Select({0, 1});
  form().SendButton->click();
  ASSERT_TRUE(MessageTexts().empty()) << MessageTexts().front();
  const std::string sent = test::ReadFile(container);
  ASSERT_EQ(FilesIn(ipv6.Top() / "mailbox/V6").size(), 1u);
  EXPECT_EQ(test::ReadFile(ipv6.Top() / "mailbox/V6" / FilesIn(ipv6.Top() / "mailbox/V6")[0]), sent);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(test::Count(Log(), "\r\nverified: " + std::to_string(sent.size()) + " bytes\r\n"), 2u) << Log();
}

TEST_F(Send, StowaThenFtpStartsTheBrowserAndLetsTheFtpTargetDecideTheMail) {
  PublishSite(TargetList({{"STOWA", "STOWA - PDM", true}, {"PLANT1", "Plant 1"}}));
  test::RecordingProgram browser("browser");
  setenv("BROWSER", (browser.Path() + "browser").c_str(), 1);
  setenv("STOWA_ITS_URL", "pdm.example:85", 1);
  Start();
  const auto container = UseContainer("my container.cnt", Container("E1", "S2", "<EMAIL>M1</EMAIL>\r\n"));
  Select({0, 1});
  form().SendButton->click();
  unsetenv("BROWSER");
  unsetenv("STOWA_ITS_URL");
  const auto calls = browser.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  const std::string url =
      "http://pdm.example:85/scripts/wgate/y02c_checkin/!?~okcode=EPROM&draw-dokar=SW&SG_ORIG1=X&CNT_FILE=";
  EXPECT_EQ(calls[0], std::vector<std::string>{url + container.string()});
  EXPECT_NE(Log().find("Send container to STOWA\r\nURL: " + url + "\r\nSourceFile: " + container.string() + "\r\n"),
            std::string::npos);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
}

// A refused target fails alone: the others get the container, the backup
// copy and the mail are made, and the result window offers the failed one
// another try.
TEST_F(Send, ARefusedTargetBetweenTwoGoodOnesFailsAloneAndTheResultWindowSendsAgainToIt) {
  PublishSite(TargetList({{"PLANT1", "Plant 1"}, {"LOCKED", "Locked", false, "locked"}, {"DEV", "Development lab"}}));
  Start();
  const auto container = UseContainer("c.cnt", Container("E1", "S2", "<EMAIL>m1@plant.example</EMAIL>\r\n"));
  Select({0, 1, 2});
  form().SendButton->click();
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(FilesIn(Mailbox("DEV")).size(), 1u);
  EXPECT_EQ(test::Count(Log(), " --> Failure: FTP: Upload container failed\r\n"), 2u);
  EXPECT_NE(Log().find("\r\nresult: PLANT1 delivered (1 attempt)\r\nresult: LOCKED failed: 5"), std::string::npos)
      << Log();
  EXPECT_NE(Log().find("\r\nresult: DEV delivered (1 attempt)\r\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(appDir() / "backup/c.cnt"));
  EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
  EXPECT_EQ(form().StatusText(), "1 of 3 targets failed");
  EXPECT_EQ(form().ContainerFile->text().toStdString(), container.string());
  EXPECT_EQ(form().TargetListBox->item(1)->data(app::TargetStateDelegate::kStateRole).toString(), "failed");
  EXPECT_EQ(form().TargetListBox->item(2)->data(app::TargetStateDelegate::kStateRole).toString(), "delivered");
  EXPECT_EQ(form().TargetListBox->item(1)->text(), "Locked");

  app::TResultForm* results = form().ResultWindow();
  ASSERT_NE(results, nullptr);
  EXPECT_TRUE(results->isVisible());
  ASSERT_EQ(results->Table->rowCount(), 3);
  EXPECT_EQ(results->Table->item(1, 1)->text(), "failed");
  EXPECT_TRUE(results->Table->item(1, 5)->text().startsWith("5")) << results->Table->item(1, 5)->text().toStdString();
  EXPECT_EQ(results->Table->item(2, 4)->text(), "size");

  results->SendAgainButton->click();
  EXPECT_EQ(test::Count(Log(), "Parcelo Version"), 2u);
  EXPECT_EQ(test::Count(Log(), "target: Locked\r\n"), 2u);
  EXPECT_EQ(test::Count(Log(), "target: Plant 1\r\n"), 1u) << "a target that got the container is not sent again";
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
}

TEST_F(Send, NoFileAndNoTargetAreReported) {
  Start();
  form().SendButton->click();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"No file selected"});
  EXPECT_EQ(Log(), "");
  UseContainer("c.cnt", Container("E1", "S2", ""));
  form().SendButton->click();
  EXPECT_EQ(MessageTexts().back(), "No target selected");
  EXPECT_EQ(Log(), "\r\nParcelo Version 3.0.0.6\r\n");
}

TEST_F(Send, AMissingContainerIsReportedLoggedAndNothingIsPrepared) {
  Start();
  form().ContainerFile->setText(QString::fromStdString((root / "gone.cnt").string()));
  Select({0});
  form().SendButton->click();
  EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Sorce file does not exist. \r\rTerminate program.",
                                                      "Files does not exist."}));
  EXPECT_EQ(Log(), "Container file does not exist. Abort!\r\n");
}

TEST_F(Send, AContainerWithoutSwIdentIsNotUploaded) {
  Start();
  UseContainer("c.cnt", std::string(kFirstLine) + "\r\n<c><project-info><ecu-ident>E</ecu-ident></project-info></c>\r\n");
  Select({0});
  form().SendButton->click();
  EXPECT_TRUE(MessageTexts().empty()) << MessageTexts().front();
  EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
  EXPECT_NE(Log().find("result: PLANT1 failed: No sw-ident found in container (1 attempt)"), std::string::npos) << Log();
  ASSERT_NE(form().ResultWindow(), nullptr);
  EXPECT_EQ(form().ResultWindow()->Table->item(0, 5)->text(), "No sw-ident found in container");
}

TEST_F(Send, TheWindowStaysResponsiveDuringALargeUpload) {
  Start();
  std::string data(200 << 20, 'A');
  for (std::size_t i = 80; i < data.size(); i += 81) data[i] = '\n';
  UseContainer("big.bin", Container("E1", "BIG", "", data));
  Select({1});
  int ticks = 0;
  int ticksDuringUpload = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticks;
    if (form().UploadProgressVisible()) ++ticksDuringUpload;
  });
  ticker.start(20);
  form().SendButton->click();
  ticker.stop();
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_GT(ticksDuringUpload, 0) << "no timer fired while the upload ran";
  EXPECT_EQ(FilesIn(Mailbox("PLANT2")).size(), 1u);
}

TEST_F(Send, ASecondStartDuringASendIsIgnored) {
  Start();
  UseContainer("c.cnt", Container("E1", "S2", ""));
  Select({0});
  bool triedAgain = false;
  // Runs inside the send, while it waits for its target.
  QTimer::singleShot(0, [&] {
    triedAgain = true;
    EXPECT_FALSE(form().SendButton->isEnabled());
    form().TargetListBoxDblClick();  // as a double click on the list would
  });
  form().SendButton->click();
  EXPECT_TRUE(triedAgain);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(test::Count(Log(), "Parcelo Version"), 1u);
}

}  // namespace
