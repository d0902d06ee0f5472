#include "app/container/remote_name.h"

#include <gtest/gtest.h>

#include "app/container/container_head.h"
#include "app/workflow_errors.h"
#include "ftp/file_source.h"
#include "support/temp_dir.h"

namespace app {
namespace {

class ContainerHeadTest : public ::testing::Test {
 protected:
  ContainerHead Head(const std::string& xml) {
    ftp::TLocalFile file(dir.Write("c.xml", xml).string());
    return ReadContainerHead(file);
  }
  std::string Remote(const std::string& xml) { return RemoteName(RemoteNameIdent(Head(xml)), 1569153346); }
  std::vector<std::string> Recipients(const std::string& xml) {
    ftp::TLocalFile file(dir.Write("c.xml", xml).string());
    return ReadRecipients(file);
  }

  test::TempDir dir;
};

TEST_F(ContainerHeadTest, TheRemoteNameIsTheFirstSwIdentAfterProjectInfoAndTheStamp) {
  const struct {
    const char* xml;
    const char* name;
  } cases[] = {
      {"<c><project-info><sw-ident>ABC</sw-ident></project-info></c>", "ABC.1569153346"},
      // Names match without ASCII case, and the search goes on past project-info.
      {"<c><Project-Info><x/></Project-Info><later><SW-IDENT>S</SW-IDENT></later></c>", "S.1569153346"},
      {"<project-info><sw-ident>R</sw-ident></project-info>", "R.1569153346"},
      {"<c><sw-ident>early</sw-ident><project-info/><sw-ident>late</sw-ident></c>", "late.1569153346"},
      {"<c><project-info><sw-ident>A&#38;B</sw-ident></project-info></c>", "A&#38;B.1569153346"},
  };
  for (const auto& c : cases) EXPECT_EQ(Remote(c.xml), c.name) << c.xml;
}

TEST_F(ContainerHeadTest, TheIdentIsTheEcuIdentAndTheFirstSwIdentAfterIt) {
  EXPECT_EQ(Head("<c><project-info><sw-ident>S0</sw-ident><ecu-ident>E</ecu-ident><sw-ident>S1</sw-ident>"
                 "</project-info></c>")
                .Ident(),
            "E-S1");
  EXPECT_EQ(Head("<c><project-info><ecu-ident>E</ecu-ident></project-info></c>").Ident(), "");
}

TEST_F(ContainerHeadTest, TheValueIsTheContentWrittenAsXmlInWindows1252) {
  const ContainerHead head = Head(
      "<c><project-info><ecu-ident>A<b x='1'>1</b>&#38;<![CDATA[<z>]]>&amp;</ecu-ident>"
      "<sw-ident>M\xC3\xBCller \xE2\x82\xAC \xE2\x98\x83</sw-ident><ecu-ident/></project-info></c>");
  EXPECT_EQ(head.ecuIdent, "A<b x=\"1\">1</b>&#38;<![CDATA[<z>]]>&amp;");
  EXPECT_EQ(head.swIdentAfterEcu, "M\xFCller \x80 ?");
}

// Only the head is read: what follows the fields is neither parsed nor
// needed, however large or broken it is.
TEST_F(ContainerHeadTest, TheReadingStopsAfterTheFields) {
  EXPECT_EQ(Head("<c><project-info><ecu-ident>E</ecu-ident><sw-ident>S</sw-ident></project-info><<<broken").Ident(),
            "E-S");
  EXPECT_THROW(Head("<c><project-info><ecu-ident>E<</ecu-ident>"), std::exception);
}

TEST_F(ContainerHeadTest, MissingOrUnusableFieldsRaiseInsteadOfGivingAName) {
  for (const std::string xml : {"<c><sw-ident>S</sw-ident></c>", "<c><project-info><ecu-ident>E</ecu-ident></project-info></c>"})
    EXPECT_THROW(Remote(xml), ERemoteNameError) << xml;
  for (const std::string value : {"", "a/b", "a\\b", "a&#13;b", "a&#10;b"})
    EXPECT_THROW(Remote("<c><project-info><sw-ident>" + value + "</sw-ident></project-info></c>"), ERemoteNameError)
        << value;
}

TEST_F(ContainerHeadTest, RecipientsAreEveryEmailBelowTheRootInDocumentOrder) {
  EXPECT_EQ(Recipients("<EMAIL><project-info><EMAIL>a@x</EMAIL></project-info><email>no</email>"
                       "<d><EMAIL>b&#38;c@y</EMAIL></d></EMAIL>"),
            (std::vector<std::string>{"a@x", "b&#38;c@y"}));
}

}  // namespace
}  // namespace app
