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
  EXPECT_EQ(FailureOf(), "10061:Connection refused");
  ExpectFailedLog(LinesUntilConnect("Offline plant", "../../../mailbox/OFF"), "OFF");
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
}

TEST_F(RefusingSite, ARefusedLoginIsReportedWithTheServersReply) {
  const std::string password = form().FtpClient1.Password;
  form().FtpClient1.Password = "not the password";
  SendTo({kWorking});
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_TRUE(FailureOf().starts_with("530 ")) << FailureOf();
  ExpectFailedLog(LinesUntilConnect("Plant 1", "../../../mailbox/PLANT1"), "PLANT1");
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  form().FtpClient1.Password = password;
  ExpectNextSendSucceeds(kWorking);
}

TEST_F(RefusingSite, ARefusedChangeOfDirectoryIsReportedOnce) {
  SendTo({kNoMailbox});
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_TRUE(FailureOf().starts_with("550 ")) << FailureOf();
  EXPECT_EQ(form().StatusText(), "1 of 1 target failed");
  auto expected = LinesUntilConnect("Closed plant", "../../../mailbox/GONE");
  expected.push_back(" --> Failure: FTP: change directory failed");
  ExpectFailedLog(expected, "GONE");
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
}

TEST_F(RefusingSite, ARefusedUploadIsReportedTwiceAndKeepsTheBak) {
  SendTo({kLocked});
  EXPECT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_TRUE(FailureOf().starts_with("550 ")) << FailureOf();
  ExpectUploadFailed("Locked plant", "LOCKED", "locked", 2);
  ExpectNothingDelivered();
  ExpectNextSendSucceeds(kWorking);
}

// A refused target fails alone: the targets before and after it get the
// container, the backup copy and the mail are made.
TEST_F(RefusingSite, ARefusalAmongSeveralTargetsFailsOnlyThatTarget) {
  SendTo({kWorking, kLocked, kAfterLocked});
  EXPECT_EQ(FilesIn(Mailbox("PLANT1")).size(), 1u);
  EXPECT_EQ(FilesIn(Mailbox("DEV")).size(), 1u);
  EXPECT_EQ(uploadSuccesses, 2);
  EXPECT_TRUE(FailureOf(1).starts_with("550 ")) << FailureOf(1);
  EXPECT_EQ(form().StatusText(), "1 of 3 targets failed");
  EXPECT_EQ(mailClient.WaitForCalls(1).size(), 1u);
  EXPECT_EQ(test::ReadFile(BackupCopy()), test::Prepared(written));
  // A success took the ".bak"; the container itself is whole and prepared.
  EXPECT_EQ(test::ReadFile(container), test::Prepared(written));
  EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak"));
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
// the calling script learns that the container did not go out, and why.
TEST_F(UnattendedRefusal, AFailedRunWithoutADisplayEndsWithExitCodeOne) {
  container = WorkDir() / "ECU-4711.cnt";
  test::WriteFile(container, written);
  StartWatched({container.string(), "-t", "LOCKED"}, false);
  EXPECT_TRUE(form().TerminationRequested());
  EXPECT_EQ(form().ExitCode(), 1);
  EXPECT_TRUE(dialogs->MessageTexts().empty()) << dialogs->MessageTexts()[0];
  EXPECT_NE(Log().find(" --> Failure: FTP: Upload container failed\r\n"
                       " --> Failure: FTP: Upload container failed\r\n"
                       "result: LOCKED failed: 550 "),
            std::string::npos)
      << Log();
  EXPECT_EQ(Log().find("Error by parsing target list"), std::string::npos);
  ExpectPreparedAndKept();
  ExpectNothingDelivered();
}

}  // namespace
