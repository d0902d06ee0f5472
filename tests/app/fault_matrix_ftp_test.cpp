// The fault matrix, FTP refusals: what the user meets when a real server
// (pyftpdlib) cannot be reached or refuses a step of the upload.

#include <QCoreApplication>

#include "fault_fixture.h"

namespace {

using test::FilesIn;

class RefusingSite : public test::FaultFixture<test::SiteFixture> {
 protected:
  RefusingSite() {
    PublishSite(TargetList({{"PLANT1", "Plant 1"},
                            {"OFF", "Offline plant", false, "", "127.0.0.2"},
                            {"GONE", "Closed plant", false, "../../../mailbox/GONE"},
                            {"LOCKED", "Locked plant", false, "locked"},
                            {"DEV", "Development lab"}}));
  }
  void SetUp() override {
    StartWatched();
    UseContainer();
  }
  static constexpr int kWorking = 0, kUnreachable = 1, kNoMailbox = 2, kLocked = 3, kAfterLocked = 4;

  // Nothing arrived anywhere on the server.
  void ExpectNothingDelivered() {
    EXPECT_TRUE(FilesIn(Mailbox("PLANT1")).empty());
    EXPECT_TRUE(FilesIn(server.LoginDir() / "locked").empty());
  }
};

// The client's connect reports a refusal by the socket error's text; the
// log stops at the target's lines.
TEST_F(RefusingSite, AnUnreachableServerIsReportedAndTheNextSendGoesThrough) {
  SendTo({kUnreachable});
  EXPECT_EQ(Messages(), std::vector<std::string>{"10061:Connection refused"});
  EXPECT_EQ(SendLog(), LinesUntilConnect("Offline plant", "../../../mailbox/OFF"));
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
}

TEST_F(RefusingSite, ARefusedLoginIsReportedWithTheServersReply) {
  const std::string password = form().FtpClient1.Password;
  form().FtpClient1.Password = "not the password";
  SendTo({kWorking});
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("530 ")) << Messages()[0];
  EXPECT_EQ(SendLog(), LinesUntilConnect("Plant 1", "../../../mailbox/PLANT1"));
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  form().FtpClient1.Password = password;
  ExpectNextSendSucceeds(kWorking);
}

TEST_F(RefusingSite, ARefusedChangeOfDirectoryIsReportedOnce) {
  SendTo({kNoMailbox});
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("550 ")) << Messages()[0];
  EXPECT_EQ(form().StatusText(), "FTP: change directory failed");
  auto expected = LinesUntilConnect("Closed plant", "../../../mailbox/GONE");
  expected.push_back(" --> Failure: FTP: change directory failed");
  EXPECT_EQ(SendLog(), expected);
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
}

TEST_F(RefusingSite, ARefusedUploadIsReportedTwiceAndKeepsTheBak) {
  SendTo({kLocked});
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Messages()[0].starts_with("550 ")) << Messages()[0];
  ExpectUploadFailed("Locked plant", "locked", 2);
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
}

// The first target has it; the refused one stops the send, so the one after
// it is not tried and nothing after the loop runs.
TEST_F(RefusingSite, ARefusalAmongSeveralTargetsKeepsWhatWasSentAndStopsTheRest) {
  SendTo({kWorking, kLocked, kAfterLocked});
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_TRUE(FilesIn(Mailbox("DEV")).empty());
  EXPECT_EQ(uploadSuccesses, 1);
  EXPECT_EQ(form().StatusText(), "FTP: Upload container failed");
  EXPECT_EQ(test::Count(Log(), "target: Development lab"), 0u);
  EXPECT_TRUE(mailClient.Calls().empty());
  EXPECT_FALSE(std::filesystem::exists(BackupCopy()));
  // The first success took the ".bak"; the container itself is whole and prepared.
  EXPECT_EQ(test::ReadFile(container), test::Prepared(written));
  EXPECT_EQ(form().ContainerFile->text().toStdString(), container.string());
}

class UnattendedRefusal : public RefusingSite {
 protected:
  void SetUp() override {}
  // The program's request to end is still queued; delivered later, it would
  // end every event loop of the tests after this one in the same process.
  void TearDown() override { QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::MetaCall); }
};

// Without a display nobody sees the boxes: the run ends with exit code 1, so
// the calling script learns that the container did not go out.
TEST_F(UnattendedRefusal, AFailedRunWithoutADisplayEndsWithExitCodeOne) {
  container = WorkDir() / "ECU-4711.cnt";
  test::WriteFile(container, written);
  StartWatched({container.string(), "-t", "LOCKED"}, false);
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 1);
  ASSERT_EQ(dialogs->MessageTexts().size(), 2u);
  EXPECT_TRUE(dialogs->MessageTexts()[0].starts_with("550 ")) << dialogs->MessageTexts()[0];
  EXPECT_EQ(dialogs->MessageTexts()[1], "Error by parsing target list");
  EXPECT_TRUE(Log().ends_with(" --> Failure: FTP: Upload container failed\r\n"
                              " --> Failure: FTP: Upload container failed\r\n"
                              "! Error by parsing target list\r\n"))
      << Log();
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
}

}  // namespace
