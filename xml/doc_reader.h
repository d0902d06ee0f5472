#pragma once
#include <string>
#include <string_view>

#include "xml/token_buffer.h"

namespace xml {

class TContentHandler;
class TDomParser;
class TErrorHandler;
class TInputSource;
class TLocator;

// What a reader takes: a whole document, or the content of an entity (where
// text may end the input).
enum class TReadMode { Document, Content };

// Cuts a document into markup tokens with a state machine over its units,
// checks each token's syntax and sends one event per token to the content
// handler. Fatal errors go to the error handler.
class TDocReader {
public:
  void setContentHandler(TContentHandler* handler) { contentHandler_ = handler; }
  TContentHandler* contentHandler() const { return contentHandler_; }
  void setErrorHandler(TErrorHandler* handler) { errorHandler_ = handler; }
  TErrorHandler* errorHandler() const { return errorHandler_; }

  // Reads the whole source. True on success; false when a fatal error was
  // handed to an error handler that did not raise. Errors that are not
  // parser errors propagate.
  bool parse(TDomParser* sender, TInputSource& source, TReadMode mode = TReadMode::Document);

private:
  enum class TState { Neutral, Text, Markup, Reference, ProcessingInstruction, Comment, CData, Doctype };

  // The content handler, or one that ignores everything.
  TContentHandler& handler() const;
  void run(TInputSource& source, TReadMode mode);
  void consume(std::u16string_view units);
  const char16_t* consumeText(const char16_t* p, const char16_t* end);
  const char16_t* consumeUntil(const char16_t* p, const char16_t* end, char16_t stop);
  const char16_t* takeRun(const char16_t* p, const char16_t* q, const char16_t* end);
  void acceptUnit(char16_t unit);
  void startToken(char16_t unit);
  void markupUnit(char16_t unit);
  void closingUnit();
  void doctypeUnit(char16_t unit);
  void finishToken();
  void finishInput(TReadMode mode);
  bool endsWith(std::u16string_view tail) const;

  void xmlDeclarationToken(std::u16string_view text);
  void processingInstructionToken(std::u16string_view text);
  void startTagToken(std::u16string_view text);
  void endTagToken(std::u16string_view text);
  void emptyElementTagToken(std::u16string_view text);
  void doctypeToken(std::u16string_view token);

  TContentHandler* contentHandler_ = nullptr;
  TErrorHandler* errorHandler_ = nullptr;

  // State of the parse in progress.
  TDomParser* sender_ = nullptr;
  TTokenBuffer* buffer_ = nullptr;
  TLocator* locator_ = nullptr;
  TState state_ = TState::Neutral;
  bool inSingleQuotes_ = false;
  bool inDoubleQuotes_ = false;
  bool inInternalSubset_ = false;
  std::u16string awaitedTerminator_;
  std::u16string partialOpener_;
};

} // namespace xml
