#include "app/site/target_list.h"

#include <gtest/gtest.h>

#include "app/container/parsed_document.h"
#include "app/workflow_errors.h"
#include "support/temp_dir.h"
#include "xml/dom.h"
#include "xml/dom_parser.h"

namespace app {
namespace {

class TargetListTest : public ::testing::Test {
 protected:
  TargetListTest() { parser.setDOMImpl(&dom); }

  // Reads the rows of a target list with the given body inside its root.
  std::vector<rTargetList> Rows(const std::string& body, const std::string& listAttributes = "") {
    const ParsedDocument list(parser,
                              dir.Write("ftpsend.xml", "<FTPSEND" + listAttributes + ">" + body + "</FTPSEND>").string());
    std::vector<rTargetList> rows;
    ReadTargetRows(list.document(), rows, [&](const rTargetList& row) { reported.push_back(row.Name); });
    return rows;
  }

  test::TempDir dir;
  xml::TDomImplementation dom;
  xml::TDomParser parser;
  std::vector<std::string> reported;
};

TEST_F(TargetListTest, RowsFollowTheWerkElementsInDocumentOrder) {
  const auto rows = Rows(
      "<Werk compress='no'><NAME>A</NAME></Werk>"
      "<group><Werk compress='no'><NAME>B</NAME><PFAD>/in/b</PFAD><FTPADRESS>ftp.b</FTPADRESS></Werk></group>"
      "<Werk compress='no'><NAME>C</NAME></Werk>");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(reported, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(rows[1].Name, "B");
  EXPECT_EQ(rows[1].Path, "/in/b");
  EXPECT_EQ(rows[1].FtpAddress, "ftp.b");
}

TEST_F(TargetListTest, CompressStowaAndPassiveAreYesInAnyCaseOnly) {
  const auto rows = Rows(
      "<Werk compress='yes'/><Werk compress='Yes' stowa='YES' passive='yes'/>"
      "<Werk compress='NO' stowa='no' passive='no'/>"
      "<Werk compress='Y' passive='Y'/><Werk compress=' YES'/><Werk compress=''/>");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_TRUE(rows[0].Compress);
  EXPECT_FALSE(rows[0].Stowa);
  EXPECT_FALSE(rows[0].Passive) << "active, as every list without the attribute";
  EXPECT_TRUE(rows[1].Compress);
  EXPECT_TRUE(rows[1].Stowa);
  EXPECT_TRUE(rows[1].Passive);
  for (std::size_t i = 2; i < 6; ++i) EXPECT_FALSE(rows[i].Compress) << "row " << i;
  EXPECT_FALSE(rows[2].Stowa);
  EXPECT_FALSE(rows[2].Passive);
  EXPECT_FALSE(rows[3].Passive);
}

TEST_F(TargetListTest, SftpTargetsCarryTheirPinnedHostKeys) {
  const auto rows = Rows(
      "<Werk compress='no'/><Werk compress='no' protocol='FTP'/>"
      "<Werk compress='no' protocol='sftp' hostkey=' SHA256:abc+/1 \n SHA256:def= '/>");
  EXPECT_EQ(rows[0].Protocol, TTargetProtocol::Ftp);
  EXPECT_EQ(rows[1].Protocol, TTargetProtocol::Ftp);
  EXPECT_EQ(rows[2].Protocol, TTargetProtocol::Sftp);
  EXPECT_EQ(rows[2].HostKeys, (std::vector<std::string>{"SHA256:abc+/1", "SHA256:def="}));
  for (const char* faulty : {"protocol='scp'", "hostkey='MD5:ab:cd'", "hostkey='SHA256:'", "hostkey='SHA256:a;b'"})
    EXPECT_THROW(Rows(std::string("<Werk compress='no' ") + faulty + "/>"), ETargetListError) << faulty;
}

// A Werk that names no FTPS choice leaves it to the site; the login a
// Werk names is taken as it stands.
TEST_F(TargetListTest, TempNameComesFromTheListUnlessTheWerkNamesItsOwn) {
  const auto rows = Rows("<Werk compress='no'/><Werk compress='no' tempname='incoming/*'/><Werk compress='no' tempname=''/>",
                         " tempname='.*.part'");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].TempName + rows[1].TempName + rows[2].TempName, ".*.part" "incoming/*");
  for (const char* faulty : {"tempname='part'", "tempname='*.*'", "tempname='/tmp/*'", "tempname='../*'"})
    EXPECT_THROW(Rows(std::string("<Werk compress='no' ") + faulty + "/>"), ETargetListError) << faulty;
}

TEST_F(TargetListTest, TlsIsYesImplicitOrNoAndTheUserAsGiven) {
  const auto rows = Rows(
      "<Werk compress='no'/><Werk compress='no' tls='Yes' user='plant1'/><Werk compress='no' tls='IMPLICIT'/>"
      "<Werk compress='no' tls='no' user='anna m\xC3\xBCller'/><Werk compress='no' tls='Y'/>");
  ASSERT_EQ(rows.size(), 5u);
  const std::optional<ftp::TTlsMode> tls[] = {std::nullopt, ftp::TTlsMode::Explicit, ftp::TTlsMode::Implicit,
                                             ftp::TTlsMode::None, std::nullopt};
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].Tls, tls[i]) << "row " << i;
  EXPECT_EQ(rows[0].User, "");
  EXPECT_EQ(rows[1].User, "plant1");
  EXPECT_EQ(rows[3].User, "anna m\xFCller");
}

TEST_F(TargetListTest, ChildNamesCountInAnyCaseAndTheLaterOneWins) {
  const auto rows = Rows(
      "<Werk compress='no'><name>first</name><!-- note --><Name>second</Name><other>x</other>"
      "<ShortName>ABCDEFGHIJKL</ShortName></Werk>");
  EXPECT_EQ(rows[0].Name, "second");
  EXPECT_EQ(rows[0].ShortName, "ABCDEFGHIJ");
}

TEST_F(TargetListTest, AWerkWithoutNameGivesAnEmptyLine) {
  const auto rows = Rows("<Werk compress='no'><SHORTNAME>X</SHORTNAME></Werk>");
  EXPECT_EQ(reported, std::vector<std::string>{""});
  EXPECT_EQ(rows[0].ShortName, "X");
}

TEST_F(TargetListTest, ValuesBecomeWindows1252) {
  const auto rows = Rows("<Werk compress='no'><NAME>Plant M\xC3\xBCnchen</NAME></Werk>");
  EXPECT_EQ(rows[0].Name, "Plant M\xFCnchen");
}

TEST_F(TargetListTest, AWerkWithoutCompressStopsWithTheRowsReadSoFar) {
  std::vector<rTargetList> rows;
  const ParsedDocument list(parser, dir.Write("ftpsend.xml",
                                              "<L><Werk compress='no'><NAME>A</NAME></Werk>"
                                              "<Werk><NAME>B</NAME></Werk><Werk compress='no'><NAME>C</NAME></Werk></L>")
                                        .string());
  EXPECT_THROW(ReadTargetRows(list.document(), rows, [&](const rTargetList& row) { reported.push_back(row.Name); }),
               ETargetListError);
  EXPECT_EQ(reported, std::vector<std::string>{"A"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Name, "A");
  EXPECT_EQ(rows[1].Name, "");
  EXPECT_EQ(rows[2].Name, "");
}

TEST_F(TargetListTest, AChildElementWithoutContentIsAnError) {
  EXPECT_THROW(Rows("<Werk compress='no'><NAME/></Werk>"), ETargetListError);
}

TEST_F(TargetListTest, IntranetUrlAndReadmeDateAreTheFirstOfTheirName) {
  const ParsedDocument list(parser, dir.Write("ftpsend.xml",
                                              "<L><x><IntranetUrl>http://first/</IntranetUrl></x>"
                                              "<IntranetUrl>http://second/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate></L>")
                                        .string());
  EXPECT_EQ(FirstElementValue(list.document(), u"IntranetUrl"), "http://first/");
  EXPECT_EQ(FirstElementValue(list.document(), u"ReadmeDate"), "01.12.2026");
  EXPECT_THROW(FirstElementValue(list.document(), u"readmedate"), ETargetListError);
}

TEST_F(TargetListTest, TheDocumentIsFreedAfterUse) {
  Rows("<Werk compress='no'/>");
  EXPECT_EQ(dom.documents()->length(), 0);
}

}  // namespace
}  // namespace app
