#include "app/window/mail_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/recording_program.h"

namespace app {
namespace {

// One mailto URI, percent-encoded in UTF-8: nothing in it can be read as an
// option of the client or a part of the mail other than address and subject.
TEST(MailClient, OpensANewMailThroughOneMailtoUri) {
  test::RecordingProgram xdgEmail(test::RecordingProgram::kMailClient);
  TMailClient client;
  EXPECT_FALSE(client.Connected());
  client.DisplayMail({"qa@plant.example", "m\xFCller@plant.example"}, "container no. E1-S2 was sent to FTP server");
  EXPECT_TRUE(client.Connected());
  const auto calls = xdgEmail.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], test::RecordingProgram::MailCall("mailto:qa@plant.example,m%C3%BCller@plant.example"
                                                           "?subject=container%20no.%20E1-S2%20was%20sent%20to%20FTP%20server"));
  EXPECT_EQ(MailtoUri({}, "--attach=/x & y?"), "mailto:?subject=--attach%3D%2Fx%20%26%20y%3F");
}

TEST(MailClient, OnlyEntriesThatLookLikeAnAddressAreAddresses) {
  for (const char* address : {"qa@plant.example", "m\xFCller@plant.example", "first.last+tag@sub.plant.example"})
    EXPECT_TRUE(IsMailAddress(address)) << address;
  for (const char* entry : {"--bcc", "-x@plant.example", "M1", "@plant.example", "qa@", "a@b@c", "qa @plant.example",
                            "qa@plant.example\r\nBcc: x@y", "mailto:x@y?attach=/home/user/.ssh/id_rsa",
                            "a&#38;b@x", "a,b@x", "<qa@plant.example>", "\"qa\"@plant.example", "qa@[127.0.0.1]", ""})
    EXPECT_FALSE(IsMailAddress(entry)) << entry;
}

TEST(MailClient, WithoutAMailClientTheStepFails) {
  test::RecordingProgram::EmptyPath emptyPath;
  TMailClient client;
  EXPECT_THROW(client.DisplayMail({"qa@plant.example"}, "subject"), EMailClientError);
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
