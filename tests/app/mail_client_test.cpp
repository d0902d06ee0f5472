#include "app/mail_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/recording_program.h"

namespace app {
namespace {

TEST(MailClient, OpensANewMailWithRecipientsAndSubject) {
  test::RecordingProgram xdgEmail("xdg-email");
  TMailClient client;
  EXPECT_FALSE(client.Connected());
  client.DisplayMail("M1;m\xFCller@plant.example;", "container no. E1-S2 was sent to FTP server");
  EXPECT_TRUE(client.Connected());
  const auto calls = xdgEmail.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::vector<std::string>{"--utf8", "--subject", "container no. E1-S2 was sent to FTP server",
                                                "M1", "m\xC3\xBCller@plant.example"}));
}

TEST(MailClient, WithoutAMailClientTheStepFails) {
  test::RecordingProgram::EmptyPath emptyPath;
  TMailClient client;
  EXPECT_THROW(client.DisplayMail("M1;", "subject"), EMailClientError);
  EXPECT_FALSE(client.Connected());
}

}  // namespace
}  // namespace app

namespace app {
namespace {

TEST(SplitRecipients, SplitsAtSemicolonsButKeepsCharacterReferencesWhole) {
  EXPECT_EQ(SplitRecipients("M1;M2;"), (std::vector<std::string>{"M1", "M2"}));
  EXPECT_EQ(SplitRecipients("a&#38;b@x;c&amp;d@y;"), (std::vector<std::string>{"a&#38;b@x", "c&amp;d@y"}));
  EXPECT_EQ(SplitRecipients("a & b;;c&"), (std::vector<std::string>{"a & b", "c&"}));
  EXPECT_TRUE(SplitRecipients("").empty());
}

}  // namespace
}  // namespace app
