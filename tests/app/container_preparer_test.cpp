#include "app/container_preparer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "app/transfer_log.h"
#include "support/line_end_naming_translator.h"
#include "support/temp_dir.h"

namespace app {
namespace {

const std::string kPublic12 = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">";
const std::string kPublic11 = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.1//EN\">";

class ContainerPreparerTest : public ::testing::Test {
 protected:
  ContainerPreparerTest() {
    test::WriteFile(dir / "uml.ini", "\xFC=&uuml;\n\xE4=&auml;\n");
    translator.SetDictionaryFile((dir / "uml.ini").string());
  }

  std::string Prepare(const std::string& bytes) {
    test::WriteFile(container, bytes);
    preparer.Prepare(container.string());
    return test::ReadFile(container);
  }
  bool BackupExists() const { return std::filesystem::exists(container.string() + ".bak"); }
  std::string Backup() const { return test::ReadFile(container.string() + ".bak"); }
  // Nothing but the container, its dictionary and (maybe) its ".bak" in the folder.
  std::vector<std::string> StrayFiles() const {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      if (name != "x.cnt" && name != "x.cnt.bak" && name != "uml.ini") stray.push_back(name);
    }
    return stray;
  }

  test::TempDir dir;
  std::filesystem::path container = dir / "x.cnt";
  entity::TCharToEntityTranslator translator;
  ContainerPreparer preparer{translator};
};

TEST_F(ContainerPreparerTest, BothIdentifiersPresentKeepTheFirstLineAndMakeNoBak) {
  const std::string first = "<!DOCTYPE c PUBLIC \"-//K//DTD C 1.2//EN\" \"ecum0102.dtd\">";
  EXPECT_EQ(Prepare(first + "\r\n<sw-ident>M\xFCller</sw-ident>\r\n"),
            first + "\r\n<sw-ident>M&uuml;ller</sw-ident>\r\n");
  EXPECT_FALSE(BackupExists());
  EXPECT_TRUE(StrayFiles().empty());
}

TEST_F(ContainerPreparerTest, Version12GetsItsSystemIdentifierAndTheOriginalIsKept) {
  const std::string original = kPublic12 + "\r\n<a>\xE4</a>\r\n";
  EXPECT_EQ(Prepare(original),
            "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\" "
            "\"ecum0102.dtd\">\r\n<a>&auml;</a>\r\n");
  EXPECT_EQ(Backup(), original);
  EXPECT_TRUE(StrayFiles().empty());
}

TEST_F(ContainerPreparerTest, Version11GetsItsSystemIdentifier) {
  EXPECT_EQ(Prepare(kPublic11 + "\r\n"),
            "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.1//EN\" "
            "\"ecum0101.dtd\">\r\n");
}

TEST_F(ContainerPreparerTest, TheFirstLineIsNeverTranslated) {
  EXPECT_EQ(Prepare("<?xml version=\"1.0\"?><!-- \xFC -->\r\n\xFC\r\n"),
            "<?xml version=\"1.0\"?><!-- \xFC -->\r\n&uuml;\r\n");
  EXPECT_TRUE(BackupExists()) << "no system identifier on the first line: the original is kept";
}

TEST_F(ContainerPreparerTest, AnEmptyContainerBecomesOneEmptyLine) {
  EXPECT_EQ(Prepare(""), "\r\n");
  EXPECT_TRUE(BackupExists());
  EXPECT_EQ(Backup(), "");
}

TEST_F(ContainerPreparerTest, BareLineFeedsDoNotEndLines) {
  EXPECT_EQ(Prepare("first\nM\xFCller\n"), "first\nM\xFCller\n\r\n");
}

TEST_F(ContainerPreparerTest, LinesEndAtCarriageReturnsWithOrWithoutLineFeed) {
  EXPECT_EQ(Prepare("first\r\xFC\r\r\n\xE4"), "first\r\n&uuml;\r\n\r\n&auml;\r\n");
}

// The file is read in pieces of 1 MiB: a CR LF split between two pieces is
// one line end, a CR ending a piece before another character a line end too.
TEST_F(ContainerPreparerTest, LineEndsBetweenTheReadPiecesCountOnce) {
  const auto filler = [](std::size_t length) {
    std::string text;
    while (text.size() < length) text += "M\xFCller ";
    return text.substr(0, length);
  };
  const std::string first = "first\r\n";
  const std::string a = filler((1 << 20) - 1 - first.size());  // its CR ends the first piece
  const std::string b = filler((1 << 20) - 2);                 // its lone CR ends the second
  const std::string c = filler(1000);
  const std::string prepared = Prepare(first + a + "\r\n" + b + "\r" + c);
  EXPECT_TRUE(prepared == first + translator.Translate(a) + "\r\n" + translator.Translate(b) + "\r\n" +
                              translator.Translate(c) + "\r\n");
}

// Line ends never reach the translator, even one that names CR and LF;
// everything else does (a bare LF is text).
TEST_F(ContainerPreparerTest, ATranslatorNamingLineEndCharactersTranslatesOnlyTheText) {
  test::LineEndNamingTranslator odd;
  odd.SetDictionaryFile((dir / "uml.ini").string());
  ASSERT_EQ(odd.Translate("\r\n"), "<CR><LF>");
  test::WriteFile(container, "first a\r\nbanana\r\rlast\na");
  ContainerPreparer(odd).Prepare(container.string());
  EXPECT_EQ(test::ReadFile(container), "first a\r\nb&#97;n&#97;n&#97;\r\n\r\nl&#97;st<LF>&#97;\r\n");
}

TEST_F(ContainerPreparerTest, CtrlZEndsTheReadableText) {
  EXPECT_EQ(Prepare("first\r\nkept\x1A" "lost\r\nlost too\r\n"), "first\r\nkept\r\n");
}

TEST_F(ContainerPreparerTest, AStaleBakIsReplacedAndTheContainerIsStillPrepared) {
  test::WriteFile(container.string() + ".bak", "left over from an earlier run");
  const std::string original = kPublic12 + "\r\n\xFC\r\n";
  EXPECT_EQ(Prepare(original), kPublic12.substr(0, kPublic12.size() - 1) + " \"ecum0102.dtd\">\r\n&uuml;\r\n");
  EXPECT_EQ(Backup(), original);
}

TEST_F(ContainerPreparerTest, PreparingTwiceTranslatesNothingTwice) {
  const std::string once = Prepare(kPublic12 + "\r\nM\xFCller\r\n");
  EXPECT_EQ(Prepare(once), once);
}

TEST_F(ContainerPreparerTest, TheContainerKeepsItsPermissions) {
  test::WriteFile(container, kPublic12 + "\r\n");
  chmod(container.c_str(), 0640);
  preparer.Prepare(container.string());
  struct stat info {};
  stat(container.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(ContainerPreparerTest, AMissingContainerRaisesAndCreatesNothing) {
  EXPECT_THROW(preparer.Prepare(container.string()), EInOutError);
  EXPECT_TRUE(StrayFiles().empty());
  EXPECT_FALSE(std::filesystem::exists(container));
}

class FailingReplace : public ContainerPreparer {
 public:
  using ContainerPreparer::ContainerPreparer;

 protected:
  bool Replace(const std::string&, const std::string&) override { return false; }
};

TEST_F(ContainerPreparerTest, AFailedFinalRenameLeavesTheOriginalIntact) {
  const std::string original = kPublic12 + "\r\nM\xFCller\r\n";
  test::WriteFile(container, original);
  FailingReplace failing(translator);
  EXPECT_THROW(failing.Prepare(container.string()), EInOutError);
  EXPECT_EQ(test::ReadFile(container), original);
  EXPECT_TRUE(StrayFiles().empty());
}

TEST_F(ContainerPreparerTest, TwoContainersInOneFolderArePreparedAtOnceWithoutTouchingEachOther) {
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "line " + std::to_string(i) + " M\xFCller\r\n";
  const auto a = dir / "a.cnt";
  const auto b = dir / "b.cnt";
  test::WriteFile(a, kPublic12 + "\r\n" + lines);
  test::WriteFile(b, kPublic11 + "\r\n" + lines);
  ContainerPreparer other(translator);
  std::thread first([&] { preparer.Prepare(a.string()); });
  std::thread second([&] { other.Prepare(b.string()); });
  first.join();
  second.join();
  std::string translated;
  for (int i = 0; i < 20000; ++i) translated += "line " + std::to_string(i) + " M&uuml;ller\r\n";
  EXPECT_EQ(test::ReadFile(a), kPublic12.substr(0, kPublic12.size() - 1) + " \"ecum0102.dtd\">\r\n" + translated);
  EXPECT_EQ(test::ReadFile(b), kPublic11.substr(0, kPublic11.size() - 1) + " \"ecum0101.dtd\">\r\n" + translated);
  EXPECT_EQ(test::ReadFile(a.string() + ".bak"), kPublic12 + "\r\n" + lines);
  EXPECT_EQ(test::ReadFile(b.string() + ".bak"), kPublic11 + "\r\n" + lines);
}

TEST_F(ContainerPreparerTest, WithoutADictionaryTextsStayAsTheyAre) {
  entity::TCharToEntityTranslator none;
  none.SetDictionaryFile((dir / "missing.ini").string());
  ContainerPreparer plain(none);
  test::WriteFile(container, kPublic12 + "\r\nM\xFCller\r\n");
  plain.Prepare(container.string());
  EXPECT_TRUE(test::ReadFile(container).ends_with("\r\nM\xFCller\r\n"));
}

}  // namespace
}  // namespace app
