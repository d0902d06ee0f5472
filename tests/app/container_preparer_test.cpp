#include "app/container/container_preparer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <tuple>
#include <thread>

#include "app/workflow_errors.h"
#include "send_samples.h"
#include "support/line_end_naming_translator.h"
#include "support/temp_dir.h"

namespace app {
namespace {

const std::string kPublic12 = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.2//EN\">";
const std::string kPublic11 = "<!DOCTYPE ecu-memory-container PUBLIC \"-//Korvath//DTD ECU Memory Container 1.1//EN\">";

class ContainerPreparerTest : public ::testing::Test {
 protected:
  ContainerPreparerTest() {
    test::WriteFile(dir / "uml.ini", "\xFC=&uuml;\n\xE4=&auml;\n\xC4=&Auml;\n\x80=&euro;\n");
    translator.SetDictionaryFile((dir / "uml.ini").string());
  }

  std::string Prepare(const std::string& bytes) {
    test::WriteFile(container, bytes);
    preparer.Prepare(container.string());
    return test::ReadFile(container);
  }
  bool BackupExists() const { return std::filesystem::exists(container.string() + ".bak"); }
  std::string Backup() const { return test::ReadFile(container.string() + ".bak"); }
  // Nothing but the container, its dictionary and (maybe) its ".bak" and
  // the ".bak"s set aside in the folder.
  std::vector<std::string> StrayFiles() const {
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      if (name != "x.cnt" && !name.starts_with("x.cnt.bak") && name != "uml.ini") stray.push_back(name);
    }
    return stray;
  }

  test::TempDir dir;
  std::filesystem::path container = dir / "x.cnt";
  entity::TCharToEntityTranslator translator;
  ContainerPreparer preparer{translator};
};

TEST_F(ContainerPreparerTest, ASystemIdentifierKeepsTheFirstLine) {
  const std::string first = "<!DOCTYPE c PUBLIC \"-//K//DTD C 1.2//EN\" \"ecum0102.dtd\">";
  EXPECT_EQ(Prepare(first + "\r\n<sw-ident>M\xFCller</sw-ident>\r\n"),
            first + "\r\n<sw-ident>M&uuml;ller</sw-ident>\r\n");
  EXPECT_TRUE(StrayFiles().empty());
}

// The original is kept whenever the preparation changes it, and always when
// the first line has no system identifier; a container that would not
// change is not rewritten.
TEST_F(ContainerPreparerTest, TheOriginalIsKeptWhenThePreparationChangesIt) {
  const std::string withSystemId = "<!DOCTYPE c PUBLIC \"-//K//DTD C 1.2//EN\" \"ecum0102.dtd\">\r\n";
  const struct {
    std::string text;
    bool keepsOriginal;
  } cases[] = {
      {withSystemId + "M\xFCller\r\n", true},
      {withSystemId + "line without end", true},
      {withSystemId + "nothing to change\r\n", false},
      {"<?xml version=\"1.0\"?>\r\n<c/>\r\n", true},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(container.string() + ".bak");
    test::WriteFile(container, c.text);
    const auto written = std::filesystem::last_write_time(container);
    std::filesystem::last_write_time(container, written - std::chrono::hours(1));
    preparer.Prepare(container.string());
    EXPECT_EQ(BackupExists(), c.keepsOriginal) << c.text;
    if (c.keepsOriginal) {
      EXPECT_EQ(Backup(), c.text);
    }
    if (test::ReadFile(container) == c.text) {
      EXPECT_EQ(std::filesystem::last_write_time(container), written - std::chrono::hours(1)) << "rewritten: " << c.text;
    }
    EXPECT_TRUE(StrayFiles().empty());
  }
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

// Failed sends leave the prepared text in the container and the original in
// the ".bak"; however often the send is tried again, the ".bak" stays the
// user's original, also where preparing again would change the text again.
TEST_F(ContainerPreparerTest, RetriesNeverReplaceTheOriginal) {
  const std::string withSystemId = "<!DOCTYPE c PUBLIC \"-//K//DTD C 1.2//EN\" \"ecum0102.dtd\">";
  const std::string originals[] = {"<?xml version=\"1.0\"?>\r\n<c>M\xFCller & Co</c>\r\n",
                                   kPublic12 + "\r\nM\xFCller & Co\r\n", withSystemId + "\r\nM\xFCller & Co\r\n"};
  const test::TempDir elsewhere;
  test::WriteFile(elsewhere / "amp.ini", "&=&amp;\n");
  entity::TCharToEntityTranslator ampersands;  // would change its own output again at every pass
  ampersands.SetDictionaryFile((elsewhere / "amp.ini").string());
  for (const entity::TCharToEntityTranslator* dictionary : {&translator, &ampersands}) {
    for (const std::string& original : originals) {
      std::filesystem::remove(container.string() + ".bak");
      test::WriteFile(container, original);
      std::string prepared;
      for (int attempt = 1; attempt <= 3; ++attempt) {
        ContainerPreparer(*dictionary).Prepare(container.string());
        EXPECT_EQ(Backup(), original) << "attempt " << attempt;
        if (attempt == 1) prepared = test::ReadFile(container);
        EXPECT_EQ(test::ReadFile(container), prepared) << "attempt " << attempt;
      }
      EXPECT_NE(prepared, original);
      EXPECT_TRUE(StrayFiles().empty());
      EXPECT_FALSE(std::filesystem::exists(container.string() + ".bak.1"));
    }
  }
}

// A ".bak" that is not the original of the container as it is now (left by
// an earlier version, or the container was edited after a failed send) is
// set aside under the first free name, and the new original takes its place.
TEST_F(ContainerPreparerTest, AnOlderBakIsSetAsideUnderAFreeName) {
  const std::string first = kPublic12 + "\r\nfirst M\xFCller\r\n";
  Prepare(first);
  const std::string edited = kPublic12 + "\r\nedited M\xFCller\r\n";
  Prepare(edited);
  EXPECT_EQ(test::ReadFile(container.string() + ".bak.1"), first);
  EXPECT_EQ(Backup(), edited);
  const std::string third = kPublic12 + "\r\nthird\r\n";
  Prepare(third);
  EXPECT_EQ(test::ReadFile(container.string() + ".bak.1"), first);
  EXPECT_EQ(test::ReadFile(container.string() + ".bak.2"), edited);
  EXPECT_EQ(Backup(), third);
  EXPECT_TRUE(StrayFiles().empty());
}

// UTF-16 text, compressed or other binary data (NUL bytes anywhere, also
// after a Ctrl-Z), and text in an encoding the preparation cannot read go
// out exactly as they are; an older ".bak" is still set aside, so the
// upload's success cannot delete it.
TEST_F(ContainerPreparerTest, WhatIsNotEightBitTextIsLeftExactlyAsItIs) {
  const std::string cases[] = {
      test::Bytes("\xFF\xFE<\0c\0>\0\xE4\0\r\0\n\0"),
      test::Bytes("\xFE\xFF\0<\0c\0>\0\xE4"),
      test::Bytes("\x1F\x8B\x08\0\xE4\r\x1A\xFC"),
      test::Bytes("\x89PNG\r\n\x1A\n\0\0\0\r\xE4"),
      kPublic12 + "\r\n\xE4" + std::string(3 << 20, 'x') + std::string(1, '\0'),
      "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<c>\xE4</c>",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<c>\xE4</c>",
  };
  for (const std::string& bytes : cases) {
    test::WriteFile(container.string() + ".bak", "an earlier original");
    EXPECT_EQ(Prepare(bytes), bytes) << bytes.substr(0, 40);
    EXPECT_FALSE(BackupExists());
    EXPECT_EQ(test::ReadFile(container.string() + ".bak.1"), "an earlier original");
    std::filesystem::remove(container.string() + ".bak.1");
    EXPECT_TRUE(StrayFiles().empty());
  }
}

// In UTF-8 text (declared, or marked by its byte-order mark) the dictionary's
// characters are found as characters; every other character, and every byte
// that is no well-formed UTF-8, passes unchanged. Windows-1252 is the rest.
TEST_F(ContainerPreparerTest, Utf8TextIsTranslatedCharacterByCharacter) {
  const std::string body = "\r\n<c>\xC3\xA4 \xC4\x8C \xE2\x82\xAC \xC3\x84 \xE4 \xC3</c>\r\n";
  const std::string translated = "\r\n<c>&auml; \xC4\x8C &euro; &Auml; \xE4 \xC3</c>\r\n";
  for (const std::string& first : std::vector<std::string>{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<?xml version='1.0' encoding = 'utf-8' ?>",
                                   "\xEF\xBB\xBF<?xml version=\"1.0\"?>", "\xEF\xBB\xBF<!DOCTYPE c SYSTEM \"ecum0102.dtd\">"})
    EXPECT_EQ(Prepare(first + body), first + translated) << first;
  EXPECT_EQ(Prepare("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n\xC4\x8C"),
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n&Auml;\x8C\r\n");
}

// The file is read in pieces of 1 MiB; a character cut by a piece boundary
// is translated whole.
TEST_F(ContainerPreparerTest, AUtf8CharacterCutBetweenTwoPiecesIsTranslatedWhole) {
  const std::string first = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  for (const std::string character : {"\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
    for (std::size_t before = 1; before < character.size(); ++before) {
      const std::string filler((1 << 20) - first.size() - before, 'x');
      const std::string prepared = Prepare(first + filler + character + "y");
      const std::string expected = character == "\xC3\xA4" ? "&auml;" : character == "\xE2\x82\xAC" ? "&euro;" : character;
      EXPECT_TRUE(prepared == first + filler + expected + "y\r\n") << before << " of " << character.size();
    }
  }
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

// Rewritten, the container is still the file it was: a link stays a link to
// the file it prepared, owner, group, mode and attributes stay what they were.
TEST_F(ContainerPreparerTest, ARewrittenContainerStaysTheFileItWas) {
  const auto real = dir / "real/x.cnt";
  test::WriteFile(real, kPublic12 + "\r\n\xFC\r\n");
  std::filesystem::create_symlink(real, container);
  ASSERT_EQ(chown(real.c_str(), 4711, 4712), 0);
  chmod(real.c_str(), 0604);
  const bool attributes = setxattr(real.c_str(), "user.test", "kept", 4, 0) == 0;
  const PreparedContainer prepared = preparer.Prepare(container.string());
  EXPECT_EQ(prepared.file, container.string());
  EXPECT_TRUE(prepared.keptBecause.empty()) << prepared.keptBecause;
  EXPECT_TRUE(std::filesystem::is_symlink(container));
  EXPECT_TRUE(test::ReadFile(real).ends_with("\r\n&uuml;\r\n"));
  EXPECT_TRUE(std::filesystem::exists(real.string() + ".bak"));
  struct stat info {};
  stat(real.c_str(), &info);
  EXPECT_EQ(std::make_tuple(info.st_mode & 07777, info.st_uid, info.st_gid), std::make_tuple(0604u, 4711u, 4712u));
  char value[8] = {};
  if (!attributes) GTEST_SKIP() << "this file system takes no user.* attributes";
  EXPECT_EQ(getxattr(real.c_str(), "user.test", value, sizeof value), 4);
  EXPECT_STREQ(value, "kept");
}

// A preparation ended by SIGTERM removes its temporary file as it ends; what
// one killed by SIGKILL left is removed by the next preparation.
TEST_F(ContainerPreparerTest, WhatAnInterruptedPreparationLeftIsRemoved) {
  test::WriteFile(container, kPublic12 + "\r\n");
  for (const int signal : {SIGTERM, SIGKILL}) {
    int names[2];
    ASSERT_EQ(pipe(names), 0);
    const pid_t child = fork();
    if (child == 0) {
      RemoveTemporariesOnSignals();
      TemporaryFile beside(container, "prepared");
      write(names[1], beside.path().c_str(), beside.path().size());
      raise(signal);
      _exit(1);
    }
    close(names[1]);
    char left[PATH_MAX] = {};
    read(names[0], left, sizeof left - 1);
    close(names[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(std::filesystem::exists(left), signal == SIGKILL) << left;
    preparer.Prepare(container.string());
    EXPECT_TRUE(StrayFiles().empty()) << StrayFiles()[0];
  }
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
