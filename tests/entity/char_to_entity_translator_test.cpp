#include "entity/char_to_entity_translator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "support/temp_dir.h"

namespace entity {
namespace {

// Windows-1252 bytes of the German letters the site dictionary maps.
constexpr char kAUml = '\xC4', kOUml = '\xD6', kUUml = '\xDC';
constexpr char kaUml = '\xE4', kouml = '\xF6', kuUml = '\xFC', kSzlig = '\xDF';

class TranslatorTest : public ::testing::Test {
 protected:
  // Writes `content` as dictionary `name` and assigns it to the translator.
  void Load(std::string_view content, const std::string& name = "dict.ini") {
    translator.SetDictionaryFile(folder.Write(name, content).string());
  }
  std::string PathOf(const std::string& name) const { return (folder.Path() / name).string(); }

  test::TempDir folder;
  TCharToEntityTranslator translator;
};

TEST_F(TranslatorTest, ReplacesMappedCharactersAndLeavesOthers) {
  Load("\xE4=&auml;\n\xFC=&uuml;\n");
  EXPECT_EQ(translator.Translate("M\xFCller"), "M&uuml;ller");
  EXPECT_EQ(translator.Translate("Maier"), "Maier");
  EXPECT_EQ(translator.Translate("\xE4\xE4x\xFC"), "&auml;&auml;x&uuml;");
  EXPECT_EQ(translator.Translate(""), "");
}

TEST_F(TranslatorTest, ComparesKeysCaseSensitively) {
  Load("\xE4=&auml;\n");
  EXPECT_EQ(translator.Translate(std::string{kAUml}), std::string{kAUml});
  EXPECT_EQ(translator.Translate(std::string{kaUml}), "&auml;");
}

TEST_F(TranslatorTest, TheFirstOfTwoLinesForOneCharacterCounts) {
  Load("\xE4=first\n\xE4=second\n");
  EXPECT_EQ(translator.Translate("\xE4"), "first");
  EXPECT_EQ(translator.Lookup("\xE4"), "first");
}

TEST_F(TranslatorTest, SplitsAtTheFirstEqualsSignAndTrimsNothing) {
  Load("a=b=c\nx= &x; = y \n =blank\n");
  EXPECT_EQ(translator.Translate("a"), "b=c");
  EXPECT_EQ(translator.Translate("x"), " &x; = y ");
  EXPECT_EQ(translator.Translate("a b"), "b=cblankb");
}

TEST_F(TranslatorTest, KeysOfMoreThanOneCharacterAreNeverUsedByTranslate) {
  Load("ab=x\nb =y\n");
  EXPECT_EQ(translator.Translate("ab"), "ab");
  EXPECT_EQ(translator.Translate("b "), "b ");
  EXPECT_EQ(translator.Lookup("a"), "a");
}

TEST_F(TranslatorTest, IgnoresLinesWithoutEqualsSignAndTheEmptyKey) {
  Load("[umlauts]\n=never\n\n\xF6=&ouml;\n");
  EXPECT_EQ(translator.Translate("[=]\xF6"), "[=]&ouml;");
  EXPECT_EQ(translator.Lines(), (std::vector<std::string>{"[umlauts]", "=never", "", "\xF6=&ouml;"}));
}

TEST_F(TranslatorTest, LookupGivesTheValueOrTheArgumentItself) {
  Load("\xDF=&szlig;\n");
  EXPECT_EQ(translator.Lookup("\xDF"), "&szlig;");
  EXPECT_EQ(translator.Lookup("s"), "s");
}

TEST_F(TranslatorTest, AMissingDictionaryLeavesTextsUnchangedWithoutError) {
  EXPECT_NO_THROW(translator.SetDictionaryFile(PathOf("missing.ini")));
  EXPECT_EQ(translator.DictionaryFile(), PathOf("missing.ini"));
  EXPECT_EQ(translator.Translate("M\xFCller"), "M\xFCller");
  EXPECT_TRUE(translator.Lines().empty());
}

TEST_F(TranslatorTest, AssigningTheSameMissingPathDoesNotRetryButADifferentPathDoes) {
  translator.SetDictionaryFile(PathOf("late.ini"));
  folder.Write("late.ini", "\xFC=&uuml;\n");
  translator.SetDictionaryFile(PathOf("late.ini"));
  EXPECT_EQ(translator.Translate("\xFC"), "\xFC");

  folder.Write("other.ini", "\xFC=&#252;\n");
  translator.SetDictionaryFile(PathOf("other.ini"));
  EXPECT_EQ(translator.Translate("\xFC"), "&#252;");

  translator.SetDictionaryFile(PathOf("late.ini"));
  EXPECT_EQ(translator.Translate("\xFC"), "&uuml;");
}

TEST_F(TranslatorTest, AMissingDictionaryEmptiesOnlyTheLinesAndKeepsTheEntries) {
  Load("\xFC=&uuml;\n");
  translator.SetDictionaryFile(PathOf("missing.ini"));
  EXPECT_TRUE(translator.Lines().empty());
  EXPECT_EQ(translator.Translate("\xFC"), "&uuml;");
}

TEST_F(TranslatorTest, ADictionaryThatCannotBeReadRaisesAndKeepsThePreviousOne) {
  Load("\xFC=&uuml;\n");
  const std::string folder_path = folder.Path().string();
  EXPECT_THROW(translator.SetDictionaryFile(folder_path), EDictionaryReadError);
  EXPECT_EQ(translator.DictionaryFile(), folder_path);
  EXPECT_EQ(translator.Translate("\xFC"), "&uuml;");
  EXPECT_EQ(translator.Lines(), std::vector<std::string>{"\xFC=&uuml;"});
  EXPECT_NO_THROW(translator.SetDictionaryFile(folder_path));
}

TEST_F(TranslatorTest, ARelativePathResolvesAgainstTheWorkingDirectory) {
  folder.Write("lib/uml.ini", "\xE4=&auml;\n");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  translator.SetDictionaryFile("lib/uml.ini");
  std::filesystem::current_path(previous);
  EXPECT_EQ(translator.Translate("\xE4"), "&auml;");
}

TEST_F(TranslatorTest, AppendTranslationAddsToWhatTheBufferHolds) {
  Load("\xE4=&auml;\n");
  std::string buffer = "line 1\r\n";
  translator.AppendTranslation("K\xE4se", buffer);
  translator.AppendTranslation("", buffer);
  EXPECT_EQ(buffer, "line 1\r\nK&auml;se");
}

TEST_F(TranslatorTest, TranslateAgreesWithLookupCharacterByCharacter) {
  // Random one- and two-byte keys over all 256 byte values, duplicates included.
  std::mt19937 random(20240501);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string dictionary;
  for (int i = 0; i < 300; ++i) {
    const char key = static_cast<char>(byte(random));
    if (key == '\r' || key == '\n' || key == '=') continue;
    dictionary += key;
    if (i % 7 == 0) dictionary += 'k';
    dictionary += "=v" + std::to_string(i) + "\n";
  }
  Load(dictionary);

  std::string text;
  for (int i = 0; i < 4096; ++i) text += static_cast<char>(byte(random));
  std::string expected;
  for (char c : text) expected += translator.Lookup(std::string(1, c));
  EXPECT_EQ(translator.Translate(text), expected);
}

TEST_F(TranslatorTest, IsWhitespaceHoldsForTabLineFeedCarriageReturnAndBlank) {
  std::string whitespace;
  for (int c = 0; c < 256; ++c) {
    if (translator.IsWhitespace(static_cast<char>(c))) whitespace += static_cast<char>(c);
  }
  EXPECT_EQ(whitespace, "\t\n\r ");
}

TEST_F(TranslatorTest, ReplaceWhitespaceAndReplaceCharKeepTheLength) {
  EXPECT_EQ(translator.ReplaceWhitespace("a\tb\r\nc d\v", '_'), "a_b__c_d\v");
  EXPECT_EQ(translator.ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
  EXPECT_EQ(translator.ReplaceChar("abc", 'x', 'y'), "abc");
  EXPECT_EQ(translator.ReplaceWhitespace("", '_'), "");
}

// A derived translator that maps every digit to "#" besides the dictionary.
class DigitHidingTranslator : public TCharToEntityTranslator {
 public:
  std::string Lookup(std::string_view s) const override {
    if (s.size() == 1 && s[0] >= '0' && s[0] <= '9') return "#";
    return TCharToEntityTranslator::Lookup(s);
  }
};

TEST_F(TranslatorTest, ADerivedLookupChangesTranslate) {
  DigitHidingTranslator derived;
  derived.SetDictionaryFile(folder.Write("d.ini", "\xE4=&auml;\n").string());
  EXPECT_EQ(derived.Translate("K\xE4se 42"), "K&auml;se ##");
}

TEST(SiteDictionary, MapsTheGermanUmlautsAndSharpSToEntities) {
  const char* source_tree = std::getenv("PARCELO_SOURCE_TREE");
  ASSERT_NE(source_tree, nullptr);
  TCharToEntityTranslator translator;
  translator.SetDictionaryFile(std::string(source_tree) + "/site/lib/uml.ini");
  const std::string letters{kAUml, kOUml, kUUml, kaUml, kouml, kuUml, kSzlig};
  EXPECT_EQ(translator.Translate("Stra" + letters + "e"),
            "Stra&Auml;&Ouml;&Uuml;&auml;&ouml;&uuml;&szlig;e");
  EXPECT_EQ(translator.Translate("plain ASCII <&;>"), "plain ASCII <&;>");
}

}  // namespace
}  // namespace entity
