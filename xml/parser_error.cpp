#include "xml/parser_error.h"

#include <array>
#include <string_view>

#include "xml/locator.h"
#include "xml/text_conversion.h"

namespace xml {

namespace {

// English, German and French, in the order of the language codes' use below.
struct TWording {
  std::u16string_view english;
  std::u16string_view german;
  std::u16string_view french;

  std::u16string_view in(TErrorLanguage language) const
  {
    switch (language) {
    case TErrorLanguage::German: return german;
    case TErrorLanguage::French: return french;
    default: return english;
    }
  }
};

struct TDescription {
  std::string_view className;
  TWording wording;
};

constexpr std::array<TDescription, 33> kDescriptions = {{
    {"EParserInvalidElementNameError", {u"Invalid element name", u"Ungültiger Element-Name", u"Nom d'élément invalide"}},
    {"EParserDoubleRootElementError", {u"Double root element", u"Doppeltes Wurzel-Element", u"Double élément racine"}},
    {"EParserRootNotFoundError",
     {u"No root element found", u"Kein Wurzel-Element gefunden", u"Pas d'élément racine trouvé"}},
    {"EParserDoubleDoctypeError",
     {u"Double document type declaration (DTD)", u"Doppelte Dokument-Typ-Deklaration (DTD)",
      u"Double déclaration de type de document (DTD)"}},
    {"EParserInvalidAttributeNameError",
     {u"Invalid attribute name", u"Ungültiger Attribut-Name", u"Nom d'attribut invalide"}},
    {"EParserInvalidAttributeValueError",
     {u"Invalid attribute value", u"Ungültiger Attribut-Wert", u"Valeur d'attribut invalide"}},
    {"EParserDoubleAttributeNameError",
     {u"Double attributename in one element", u"Doppelter Attributname in einem Element",
      u"Double nom d'atribut dans un élément"}},
    {"EParserInvalidEntityNameError", {u"Invalid entity name", u"Ungültiger Entity-Name", u"Nom d'entité invalide"}},
    {"EParserInvalidProcessingInstructionError",
     {u"Invalid processing instruction", u"Ungültige Processing-Instruction", u"Instruction de commande invalide"}},
    {"EParserInvalidXmlDeclarationError",
     {u"Invalid XML declaration", u"Ungültige XML-Deklaration", u"Déclaration XML invalide"}},
    {"EParserInvalidCharRefError",
     {u"Invalid character reference", u"Ungültige Zeichen-Referenz", u"Référence de caractère invalide"}},
    {"EParserMissingQuotationMarkError",
     {u"M=sing quotation marks", u"Fehlende Anführungszeichen", u"Apostrophe (') manquant"}},
    {"EParserMissingEqualitySignError",
     {u"M=sing equality sign", u"Fehlendes Gleichheitszeichen", u"Signe égale manquant"}},
    {"EParserDoubleEqualitySignError",
     {u"Double equality sign", u"Doppeltes Gleichheitszeichen", u"Double signe égale"}},
    {"EParserMissingWhiteSpaceError", {u"M=sing white-space", u"Fehlender Leerraum", u"Espace manquant"}},
    {"EParserMissingStartTagError",
     {u"End-tag without start-tag", u"End-Tag ohne Start-Tag", u"Tag de fin sans tag de début"}},
    {"EParserMissingEndTagError", {u"M=sing end-tag", u"Fehlendes End-Tag", u"Tag de fin manquant"}},
    {"EParserInvalidEndTagError", {u"Invalid end-tag", u"Ungültiges End-Tag", u"Tag de fin invalide"}},
    {"EParserInvalidCharacterError", {u"Invalid character", u"Ungültiges Zeichen", u"Caractère invalide"}},
    {"EParserNotInRootError",
     {u"Character(s) outside the root-element", u"Zeichen außerhalb des Wurzel-Elements",
      u"Caractère(s) en dehors de l'élément racine"}},
    {"EParserInvalidDoctypeError",
     {u"Invalid doctype declaration", u"Ungültige Dokumenttyp-Deklaration",
      u"Déclaration de type de document invalide"}},
    {"EParserWrongOrderError", {u"Wrong order", u"Falsche Reihenfolge", u"Mauvais ordre"}},
    {"EParserUnknownDeclarationTypeError",
     {u"Unknown declaration type", u"Unbekannter Deklarationstyp", u"Déclaration de type inconnue"}},
    {"EParserInvalidEntityDeclarationError",
     {u"Invalid entity declaration", u"Ungültige Entity-Deklaration", u"Déclaration d'entité invalide"}},
    {"EParserInvalidElementDeclarationError",
     {u"Invalid element declaration", u"Ungültige Element-Deklaration", u"Déclaration d'élément invalide"}},
    {"EParserInvalidAttributeDeclarationError",
     {u"Invalid attribute declaration", u"Ungültige Attribut-Deklaration", u"Déclaration d'attribut invalide"}},
    {"EParserInvalidNotationDeclarationError",
     {u"Invalid notation declaration", u"Ungültige Notations-Deklaration", u"Déclaration de notation invalide"}},
    {"EParserInvalidConditionalSectionError",
     {u"Invalid conditional section", u"Ungültiger bedingter Abschnitt", u"Section conditionnelle invalide"}},
    {"EParserInvalidTextDeclarationError",
     {u"Invalid text declaration", u"Ungültige Text-Deklaration", u"Déclaration de texte invalide"}},
    {"EParserDoubleEntityDeclWarning",
     {u"Double entity declaration", u"Doppelte Entity-Deklaration", u"Double déclaration d'entité"}},
    {"EParserDoubleParameterEntityDeclWarning",
     {u"Double parameter entity declaration", u"Doppelte Parameter-Entity-Deklaration",
      u"Double déclaration d'entité paramètre"}},
    {"EParserDoubleNotationDeclWarning",
     {u"Double notation declaration", u"Doppelte Notation-Deklaration", u"Double déclaration de notation"}},
    {"EParserUnusableEntityDeclWarning",
     {u"Unusable entity declared", u"Unbrauchbare Entity deklariert", u"EParserUnusableEntityDeclWarning"}},
}};

constexpr TWording kUnknownClass = {u"Invalid source-code", u"Ungültiger Quellcode", u"Code source invalide"};

const TWording& descriptionOf(std::string_view className)
{
  for (const TDescription& entry : kDescriptions)
    if (entry.className == className)
      return entry.wording;
  return kUnknownClass;
}

std::u16string_view severityWord(TErrorSeverity severity, TErrorLanguage language)
{
  static constexpr TWording kFatal = {u"FATAL ERROR ", u"KRITISCHER FEHLER ", u"ERREUR FATALE "};
  static constexpr TWording kError = {u"ERROR ", u"FEHLER ", u"ERREUR "};
  static constexpr TWording kWarning = {u"WARNING: ", u"WARNUNG: ", u"ATTENTION: "};
  switch (severity) {
  case TErrorSeverity::Error: return kError.in(language);
  case TErrorSeverity::Warning: return kWarning.in(language);
  default: return kFatal.in(language);
  }
}

std::u16string number(std::uint32_t value) { return fromLatin1(std::to_string(value)); }

// Fills the %d placeholders of a pattern in order.
std::u16string format(std::u16string_view pattern, std::initializer_list<std::uint32_t> values)
{
  std::u16string out;
  auto value = values.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u'd' && value != values.end()) {
      out += number(*value++);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

} // namespace

TParserErrorRecord::TParserErrorRecord(const TLocator* locator, std::u16string sourceText,
                                       const EParserException& error)
    : sourceText_(std::move(sourceText)), errorClassName_(error.className()), severity_(error.severity())
{
  if (locator != nullptr) {
    endColumn_ = locator->column();
    endLine_ = locator->line();
    publicId_ = locator->publicId();
    startColumn_ = locator->startColumn();
    startLine_ = locator->startLine();
    systemId_ = locator->systemId();
  }
}

std::u16string TParserErrorRecord::getText(TErrorLanguage language) const
{
  static constexpr TWording kDocument = {u"in document ", u"im Dokument ", u"dans le document "};
  static constexpr TWording kPublicDocument = {u"in public document ", u"im öffentlichen Dokument ",
                                               u"dans le document public "};
  static constexpr TWording kLocalDocument = {u"in local document ", u"im lokalen Dokument ",
                                              u"dans le document local "};
  static constexpr TWording kBetweenLines = {u"between line %d, position %d and line %d, position %d",
                                             u"zwischen Zeile %d, Position %d und Zeile %d, Position %d",
                                             u"entre la ligne %d, position %d et la ligne %d, position %d"};
  static constexpr TWording kAtPosition = {u"in line %d, position %d", u"in Zeile %d, Position %d",
                                           u"à la ligne %d, position %d"};
  static constexpr TWording kBetweenPositions = {u"in line %d, between position %d and %d",
                                                 u"in Zeile %d, zwischen Position %d und %d",
                                                 u"à la ligne %d, entre la position %d et %d"};

  std::u16string text(severityWord(severity_, language));
  if (!publicId_.empty() && !systemId_.empty())
    text += std::u16string(kDocument.in(language)) + publicId_ + u" (" + systemId_ + u") ";
  else if (!publicId_.empty())
    text += std::u16string(kPublicDocument.in(language)) + publicId_ + u" ";
  else if (!systemId_.empty())
    text += std::u16string(kLocalDocument.in(language)) + systemId_ + u" ";

  if (endLine_ != 0) {
    if (startLine_ != endLine_)
      text += format(kBetweenLines.in(language), {startLine_, startColumn_, endLine_, endColumn_});
    else if (startColumn_ == endColumn_)
      text += format(kAtPosition.in(language), {endLine_, endColumn_});
    else
      text += format(kBetweenPositions.in(language), {endLine_, startColumn_, endColumn_});
  }
  text += u" -- ";
  text += descriptionOf(errorClassName_).in(language);
  if (sourceText_.empty())
    text += u'.';
  else
    text += u": " + sourceText_;
  return text;
}

void TErrorHandler::error(TDomParser*, const TLocator*, const std::u16string&, const EParserException&) {}

void TErrorHandler::fatalError(TDomParser*, const TLocator*, const std::u16string&, const EParserException&)
{
  throw EParserFatalError("EParserFatalError: Fatal Error.");
}

void TErrorHandler::warning(TDomParser*, const TLocator*, const std::u16string&, const EParserException&) {}

void TStandardErrorHandler::error(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
                                  const EParserException& error)
{
  errors_.emplace_back(locator, sourceText, error);
  TErrorHandler::error(sender, locator, sourceText, error);
}

void TStandardErrorHandler::fatalError(TDomParser* sender, const TLocator* locator,
                                       const std::u16string& sourceText, const EParserException& error)
{
  errors_.emplace_back(locator, sourceText, error);
  TErrorHandler::fatalError(sender, locator, sourceText, error);
}

void TStandardErrorHandler::warning(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
                                    const EParserException& error)
{
  errors_.emplace_back(locator, sourceText, error);
  TErrorHandler::warning(sender, locator, sourceText, error);
}

} // namespace xml
