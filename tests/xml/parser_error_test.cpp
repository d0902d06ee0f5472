#include "xml/parser_error.h"

#include <gtest/gtest.h>

#include <sstream>

#include "xml/input_source.h"
#include "xml/locator.h"

namespace xml {
namespace {

class ParserErrorTest : public ::testing::Test {
protected:
  TParserErrorRecord record(std::u16string publicId, std::u16string systemId, const std::u16string& read,
                            std::size_t startAfter, const std::u16string& source, const EParserException& error)
  {
    stream_ = std::make_unique<std::istringstream>("");
    input_ = std::make_unique<TInputSource>(stream_.get(), publicId, systemId);
    locator_ = std::make_unique<TLocator>(*input_);
    for (std::size_t i = 0; i < read.size(); ++i) {
      locator_->advance(read[i]);
      if (i + 1 == startAfter)
        locator_->markStart();
    }
    return TParserErrorRecord(locator_.get(), source, error);
  }

  std::unique_ptr<std::istringstream> stream_;
  std::unique_ptr<TInputSource> input_;
  std::unique_ptr<TLocator> locator_;
};

TEST_F(ParserErrorTest, RecordKeepsPositionsIdentifiersAndClass)
{
  TParserErrorRecord r =
      record(u"", u"list.xml", u"ab\ncdef", 4, u"<x", EParserInvalidElementNameError("Invalid element name error."));
  EXPECT_EQ(r.startLine(), 2u);
  EXPECT_EQ(r.startColumn(), 1u);
  EXPECT_EQ(r.endLine(), 2u);
  EXPECT_EQ(r.endColumn(), 4u);
  EXPECT_EQ(r.errorClassName(), "EParserInvalidElementNameError");
  EXPECT_EQ(r.severity(), TErrorSeverity::FatalError);
  EXPECT_EQ(r.systemId(), u"list.xml");
  EXPECT_EQ(r.sourceText(), u"<x");
}

TEST_F(ParserErrorTest, MissingQuoteInTheXmlDeclarationInEnglish)
{
  TParserErrorRecord r = record(u"", u"a.xml", u"<?xml version=\"1.0?>", 1, u"<?xml version=\"1.0?>",
                                EParserMissingQuotationMarkError("Missing quotation mark error."));
  EXPECT_EQ(r.getText(TErrorLanguage::English),
            u"FATAL ERROR in local document a.xml in line 1, between position 1 and 20 -- M=sing quotation marks: "
            u"<?xml version=\"1.0?>");
}

TEST_F(ParserErrorTest, TextInAllThreeLanguages)
{
  TParserErrorRecord r = record(u"-//P//EN", u"s.xml", u"x\ny\nzz", 1, u"", EParserRootNotFoundError("Root not found error."));
  EXPECT_EQ(r.getText(TErrorLanguage::English),
            u"FATAL ERROR in document -//P//EN (s.xml) between line 1, position 1 and line 3, position 2 -- No root "
            u"element found.");
  EXPECT_EQ(r.getText(TErrorLanguage::German),
            u"KRITISCHER FEHLER im Dokument -//P//EN (s.xml) zwischen Zeile 1, Position 1 und Zeile 3, Position 2 -- "
            u"Kein Wurzel-Element gefunden.");
  EXPECT_EQ(r.getText(TErrorLanguage::French),
            u"ERREUR FATALE dans le document -//P//EN (s.xml) entre la ligne 1, position 1 et la ligne 3, position 2 "
            u"-- Pas d'élément racine trouvé.");
}

TEST_F(ParserErrorTest, SinglePositionAndPublicOnlyDocument)
{
  TParserErrorRecord r = record(u"-//P//EN", u"", u"abc", 3, u"&", EParserInvalidCharRefError("x"));
  EXPECT_EQ(r.getText(TErrorLanguage::German),
            u"KRITISCHER FEHLER im öffentlichen Dokument -//P//EN in Zeile 1, Position 3 -- Ungültige "
            u"Zeichen-Referenz: &");
  EXPECT_EQ(r.getText(TErrorLanguage::French),
            u"ERREUR FATALE dans le document public -//P//EN à la ligne 1, position 3 -- Référence de caractère "
            u"invalide: &");
}

TEST_F(ParserErrorTest, RecordWithoutPositionHasNoPositionPart)
{
  TParserErrorRecord r(nullptr, u"", EParserError("e"));
  EXPECT_EQ(r.endLine(), 0u);
  EXPECT_EQ(r.severity(), TErrorSeverity::Error);
  EXPECT_EQ(r.getText(TErrorLanguage::English), u"ERROR  -- Invalid source-code.");
  EXPECT_EQ(r.getText(TErrorLanguage::German), u"FEHLER  -- Ungültiger Quellcode.");
}

TEST_F(ParserErrorTest, WarningsUseTheirWordAndTheFrenchClassName)
{
  TParserErrorRecord r(nullptr, u"e", EParserUnusableEntityDeclWarning("Unusable_Entity_Decl_Warning"));
  EXPECT_EQ(r.severity(), TErrorSeverity::Warning);
  EXPECT_EQ(r.getText(TErrorLanguage::French), u"ATTENTION:  -- EParserUnusableEntityDeclWarning: e");
  EXPECT_EQ(r.getText(TErrorLanguage::English), u"WARNING:  -- Unusable entity declared: e");
  EXPECT_EQ(r.getText(TErrorLanguage::German), u"WARNUNG:  -- Unbrauchbare Entity deklariert: e");
}

TEST_F(ParserErrorTest, StandardHandlerRecordsThenRaisesOnlyForFatalErrors)
{
  TStandardErrorHandler handler;
  handler.warning(nullptr, nullptr, u"w", EParserDoubleEntityDeclWarning("Double_Entity_Decl_Warning"));
  handler.error(nullptr, nullptr, u"e", EParserError("e"));
  try {
    handler.fatalError(nullptr, nullptr, u"f", EParserNotInRootError("Not in root error."));
    FAIL();
  } catch (const EParserFatalError& e) {
    EXPECT_STREQ(e.what(), "EParserFatalError: Fatal Error.");
  }
  ASSERT_EQ(handler.errors().size(), 3u);
  EXPECT_EQ(handler.errors()[0].errorClassName(), "EParserDoubleEntityDeclWarning");
  EXPECT_EQ(handler.errors()[2].errorClassName(), "EParserNotInRootError");
  handler.clearErrors();
  EXPECT_TRUE(handler.errors().empty());
}

TEST(ParserExceptions, ClassesKnowTheirBranch)
{
  EParserDoubleDoctypeError doctype("Double doctype declaration error.");
  const EParserException& base = doctype;
  EXPECT_STREQ(base.className(), "EParserDoubleDoctypeError");
  EXPECT_EQ(base.severity(), TErrorSeverity::FatalError);
  EXPECT_NE(dynamic_cast<const EParserInvalidDoctypeError*>(&base), nullptr);
  EXPECT_EQ(EParserDoubleNotationDeclWarning("w").severity(), TErrorSeverity::Warning);
}

} // namespace
} // namespace xml
