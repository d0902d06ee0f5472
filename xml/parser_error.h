#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xml/parser_exceptions.h"

namespace xml {

class TDomParser;
class TLocator;

enum class TErrorLanguage : int { German = 0, English = 1, French = 2 };

// One reported problem: what was being read, where, and which error.
class TParserErrorRecord {
public:
  // Positions and identifiers come from the locator; a null locator leaves
  // them zero and empty.
  TParserErrorRecord(const TLocator* locator, std::u16string sourceText, const EParserException& error);

  const std::u16string& sourceText() const { return sourceText_; }
  std::uint32_t endColumn() const { return endColumn_; }
  std::uint32_t endLine() const { return endLine_; }
  const std::string& errorClassName() const { return errorClassName_; }
  TErrorSeverity severity() const { return severity_; }
  const std::u16string& publicId() const { return publicId_; }
  std::uint32_t startColumn() const { return startColumn_; }
  std::uint32_t startLine() const { return startLine_; }
  const std::u16string& systemId() const { return systemId_; }

  // The record as one line of text: severity, document, position, the
  // description of the error class and the source text.
  std::u16string getText(TErrorLanguage language) const;

private:
  std::u16string sourceText_;
  std::uint32_t endColumn_ = 0;
  std::uint32_t endLine_ = 0;
  std::string errorClassName_;
  TErrorSeverity severity_;
  std::u16string publicId_;
  std::uint32_t startColumn_ = 0;
  std::uint32_t startLine_ = 0;
  std::u16string systemId_;
};

// Where readers and builders report problems.
class TErrorHandler {
public:
  virtual ~TErrorHandler() = default;
  // Does nothing here.
  virtual void error(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
                     const EParserException& error);
  // Raises EParserFatalError "EParserFatalError: Fatal Error.".
  [[noreturn]] virtual void fatalError(TDomParser* sender, const TLocator* locator,
                                       const std::u16string& sourceText, const EParserException& error);
  // Does nothing here.
  virtual void warning(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
                       const EParserException& error);
};

// Keeps a record of every report, then behaves like TErrorHandler.
class TStandardErrorHandler : public TErrorHandler {
public:
  void error(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
             const EParserException& error) override;
  [[noreturn]] void fatalError(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
                               const EParserException& error) override;
  void warning(TDomParser* sender, const TLocator* locator, const std::u16string& sourceText,
               const EParserException& error) override;
  void clearErrors() { errors_.clear(); }

  const std::vector<TParserErrorRecord>& errors() const { return errors_; }

private:
  std::vector<TParserErrorRecord> errors_;
};

} // namespace xml
