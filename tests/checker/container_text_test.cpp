#include "checker/container_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace mmx {
namespace {

class ReadContainerTest : public ::testing::Test {
 protected:
  ContainerText Read(std::string_view bytes) { return ReadContainer(folder.Write("c.cnt", bytes).string()); }
  test::TempDir folder;
};

TEST_F(ReadContainerTest, SortsWhatTheFileHolds) {
  const std::string text = "<a>M\xFCller</a>\r\n";
  const ContainerText read = Read(text);
  EXPECT_EQ(read.kind, ContainerKind::kText);
  EXPECT_EQ(read.bytes, text);

  EXPECT_EQ(ReadContainer((folder.Path() / "none.cnt").string()).kind, ContainerKind::kMissing);
  EXPECT_EQ(ReadContainer(folder.Path().string()).kind, ContainerKind::kUnreadable);
  EXPECT_EQ(Read("").kind, ContainerKind::kEmpty);
  EXPECT_EQ(Read(" \r\n\t\x1A").kind, ContainerKind::kEmpty);
}

TEST_F(ReadContainerTest, NamesKnownBinaryFormats) {
  EXPECT_EQ(Read(std::string("PK\x03\x04\x14\0\0\0", 8)).detail, "a ZIP archive");
  EXPECT_EQ(Read("\x1F\x8B\x08").detail, "a gzip archive");
  EXPECT_EQ(Read("%PDF-1.4\n").detail, "a PDF document");
  const ContainerText zero = Read(std::string("<a>\0</a>", 8));
  EXPECT_EQ(zero.kind, ContainerKind::kBinary);
  EXPECT_EQ(zero.detail, "binary data");
  EXPECT_EQ(Read(std::string(100, '\x01') + "<a/>").kind, ContainerKind::kBinary);
}

TEST_F(ReadContainerTest, TakesUtf16AndStrayControlCharactersAsText) {
  EXPECT_EQ(Read(std::string("\xFF\xFE<\0a\0/\0>\0", 10)).kind, ContainerKind::kText);
  EXPECT_EQ(Read(std::string("<\0a\0/\0>\0", 8)).kind, ContainerKind::kText);
  EXPECT_EQ(Read("<a>\x01</a>" + std::string(200, ' ')).kind, ContainerKind::kText);
}

TEST(AddMissingSystemLiteral, AddsAnEmptySystemLiteralAfterALonePublicIdentifier) {
  std::string text = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">\r\n<e/>";
  EXPECT_TRUE(AddMissingSystemLiteral(text));
  EXPECT_EQ(text,
            "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\" \"\">\r\n<e/>");

  std::string single = "<?xml version=\"1.0\"?>\n<!-- c -->\n<!DOCTYPE a PUBLIC '-//X//EN' [<!ELEMENT a EMPTY>]><a/>";
  EXPECT_TRUE(AddMissingSystemLiteral(single));
  EXPECT_NE(single.find("'-//X//EN' \"\" ["), std::string::npos);
}

TEST(AddMissingSystemLiteral, LeavesEveryOtherDeclarationAlone) {
  for (std::string text : {
           "<!DOCTYPE a PUBLIC \"-//X//EN\" \"a.dtd\"><a/>",
           "<!DOCTYPE a SYSTEM \"a.dtd\"><a/>",
           "<a><!DOCTYPE a PUBLIC \"-//X//EN\"></a>",
           "<!DOCTYPE a PUBLIC \"-//X//EN",
           "<a/>",
       }) {
    const std::string before = text;
    EXPECT_FALSE(AddMissingSystemLiteral(text)) << before;
    EXPECT_EQ(text, before);
  }
}

TEST(EncodingToForce, LeavesDeclaredAndUtf8TextToTheParser) {
  EXPECT_EQ(EncodingToForce("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xFC</a>", "windows-1252"), "");
  EXPECT_EQ(EncodingToForce("\xEF\xBB\xBF<a>\xC3\xBC</a>", "windows-1252"), "");
  EXPECT_EQ(EncodingToForce("<a>M\xC3\xBCller</a>", "windows-1252"), "");
  EXPECT_EQ(EncodingToForce("<a>M\xFCller</a>", "windows-1252"), "windows-1252");
  EXPECT_EQ(EncodingToForce("<?xml version=\"1.0\"?><a>M\xFCller</a>", "windows-1252"), "windows-1252");
}

TEST(ConvertWindows1252, HandsWindows1252TextToTheParserAsUtf8) {
  struct Case {
    std::string text, encoding, converted, encodingAfter;
  };
  const std::string declared = "<?xml version=\"1.0\" encoding=\"CP1252\"?>\n";
  for (const Case& c : std::vector<Case>{
           {"<a>M\xFCller \x80</a>", "windows-1252", "<a>M\xC3\xBCller \xE2\x82\xAC</a>", "UTF-8"},
           {declared + "<a>\x84x\x93</a>", "", declared + "<a>\xE2\x80\x9Ex\xE2\x80\x9C</a>", "UTF-8"},
           // A byte the code page leaves undefined: the parser refuses the text itself.
           {"<a>\x81</a>", "windows-1252", "<a>\x81</a>", "windows-1252"},
           {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xFC</a>", "",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xFC</a>", ""},
       }) {
    std::string text = c.text, encoding = c.encoding;
    ConvertWindows1252(text, encoding);
    EXPECT_EQ(text, c.converted) << c.text;
    EXPECT_EQ(encoding, c.encodingAfter) << c.text;
  }
}

}  // namespace
}  // namespace mmx
