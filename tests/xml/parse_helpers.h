#pragma once
#include <string>
#include <vector>

#include "xml/dom.h"
#include "xml/dom_parser.h"
#include "xml/locator.h"

namespace xml::testing {

// Keeps the class and the message of every report (the standard records
// keep only the class), then raises like the base handler.
class TRecordingHandler : public TErrorHandler {
public:
  struct TReport {
    std::string className;
    std::string message;
    std::uint32_t line;
    std::uint32_t column;
  };

  void fatalError(TDomParser* sender, const TLocator* locator, const std::u16string& source,
                  const EParserException& error) override
  {
    record(locator, error, fatal);
    TErrorHandler::fatalError(sender, locator, source, error);
  }
  void warning(TDomParser*, const TLocator* locator, const std::u16string&, const EParserException& error) override
  {
    record(locator, error, warnings);
  }

  std::vector<TReport> fatal;
  std::vector<TReport> warnings;

private:
  static void record(const TLocator* locator, const EParserException& error, std::vector<TReport>& into)
  {
    into.push_back({error.className(), error.what(), locator != nullptr ? locator->line() : 0,
                    locator != nullptr ? locator->column() : 0});
  }
};

// An input and what parseOutcome gives for it.
struct TOutcomeCase {
  const char* input;
  const char* outcome;
};

// Parses `text` and returns "ok" or "Class: message" of the first error.
inline std::string parseOutcome(const std::string& text)
{
  TDomImplementation dom;
  TDomParser parser(&dom);
  TRecordingHandler handler;
  parser.setErrorHandler(&handler);
  try {
    dom.freeDocument(parser.parseBuffer(text.data(), text.size()));
    return "ok";
  } catch (const EParserFatalError&) {
    if (handler.fatal.empty())
      return "no record";
    return handler.fatal.front().className + ": " + handler.fatal.front().message;
  }
}

} // namespace xml::testing
