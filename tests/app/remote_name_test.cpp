#include "app/container/remote_name.h"

#include <gtest/gtest.h>

#include "app/container/container_fields.h"
#include "app/container/parsed_document.h"
#include "app/workflow_errors.h"
#include "support/local_time.h"
#include "support/temp_dir.h"
#include "xml/dom.h"
#include "xml/dom_parser.h"

namespace app {
namespace {

using test::At;

class ContainerFieldsTest : public ::testing::Test {
 protected:
  ContainerFieldsTest() { parser.setDOMImpl(&dom); }

  std::unique_ptr<ParsedDocument> Parse(const std::string& xml) {
    return std::make_unique<ParsedDocument>(parser, dir.Write("c.xml", xml).string());
  }
  std::string Remote(const std::string& xml) {
    const auto parsed = Parse(xml);
    return RemoteName(parsed->document(), At(2026, 12, 7, 12, 10, 4));
  }

  test::TempDir dir;
  xml::TDomImplementation dom;
  xml::TDomParser parser;
};

TEST_F(ContainerFieldsTest, TheRemoteNameIsSwIdentAndTheFatStamp) {
  EXPECT_EQ(Remote("<c><project-info><sw-ident>ABC</sw-ident></project-info></c>"), "ABC.1569153346");
}

TEST_F(ContainerFieldsTest, NamesMatchWithoutAsciiCaseAndTheSearchGoesOnPastProjectInfo) {
  EXPECT_EQ(Remote("<c><Project-Info><x/></Project-Info><later><SW-IDENT>S</SW-IDENT></later></c>"),
            "S.1569153346");
}

TEST_F(ContainerFieldsTest, TheRootElementItselfMayBeProjectInfo) {
  EXPECT_EQ(Remote("<project-info><sw-ident>R</sw-ident></project-info>"), "R.1569153346");
}

TEST_F(ContainerFieldsTest, AnSwIdentBeforeProjectInfoDoesNotCount) {
  EXPECT_EQ(Remote("<c><sw-ident>early</sw-ident><project-info/><sw-ident>late</sw-ident></c>"),
            "late.1569153346");
}

TEST_F(ContainerFieldsTest, TheValueIsTheContentWrittenAsXml) {
  const auto parsed = Parse("<c><project-info><ecu-ident>A<b x='1'>1</b>&#38;<![CDATA[<z>]]>&amp;</ecu-ident>"
                            "<sw-ident>A&#38;B</sw-ident></project-info></c>");
  ContainerFieldSearch search(parsed->document());
  ASSERT_TRUE(search.FindProjectInfo());
  search.EnterProjectInfo();
  ASSERT_TRUE(search.FindForward("ecu-ident"));
  EXPECT_EQ(search.CurrentValue(), "A<b x=\"1\">1</b>&#38;<![CDATA[<z>]]>&amp;");
  ASSERT_TRUE(search.FindForward("sw-ident"));
  EXPECT_EQ(search.CurrentValue(), "A&#38;B");
}

TEST_F(ContainerFieldsTest, ValuesComeAsWindows1252) {
  const auto parsed = Parse("<c><project-info><ecu-ident>M\xC3\xBCller \xE2\x82\xAC \xE2\x98\x83</ecu-ident></project-info></c>");
  ContainerFieldSearch search(parsed->document());
  ASSERT_TRUE(search.FindProjectInfo());
  search.EnterProjectInfo();
  ASSERT_TRUE(search.FindForward("ecu-ident"));
  EXPECT_EQ(search.CurrentValue(), "M\xFCller \x80 ?");
}

TEST_F(ContainerFieldsTest, MissingFieldsRaiseInsteadOfGivingAName) {
  EXPECT_THROW(Remote("<c><sw-ident>S</sw-ident></c>"), ERemoteNameError);
  EXPECT_THROW(Remote("<c><project-info><ecu-ident>E</ecu-ident></project-info></c>"), ERemoteNameError);
}

TEST_F(ContainerFieldsTest, AnSwIdentThatCannotNameAFileRaises) {
  for (const std::string value : {"", "a/b", "a\\b", "a&#13;b", "a&#10;b"})
    EXPECT_THROW(Remote("<c><project-info><sw-ident>" + value + "</sw-ident></project-info></c>"), ERemoteNameError)
        << value;
}

TEST_F(ContainerFieldsTest, ElementsWithoutChildrenGiveTheEmptyValue) {
  const auto parsed = Parse("<c><project-info><ecu-ident/></project-info></c>");
  ContainerFieldSearch search(parsed->document());
  ASSERT_TRUE(search.FindProjectInfo());
  search.EnterProjectInfo();
  ASSERT_TRUE(search.FindForward("ecu-ident"));
  EXPECT_EQ(search.CurrentValue(), "");
  EXPECT_FALSE(search.FindForward("sw-ident"));
}

TEST_F(ContainerFieldsTest, DocumentsAreFreedAfterUse) {
  for (int i = 0; i < 3; ++i) Remote("<c><project-info><sw-ident>S</sw-ident></project-info></c>");
  EXPECT_EQ(dom.documents()->length(), 0);
}

}  // namespace
}  // namespace app
