#pragma once
#include <cstddef>
#include <string_view>

#include "xml/token_buffer.h"

namespace xml {

class TDomParser;
class TDtdHandler;
class TErrorHandler;
class TInputSource;
class TLocator;

// Cuts a document type's subset into declaration tokens, checks their syntax
// and sends one event per token to the DTD handler; errors are routed like
// the document reader's.
class TSubsetReader {
public:
  void setDtdHandler(TDtdHandler* handler) { dtdHandler_ = handler; }
  TDtdHandler* dtdHandler() const { return dtdHandler_; }
  void setErrorHandler(TErrorHandler* handler) { errorHandler_ = handler; }
  TErrorHandler* errorHandler() const { return errorHandler_; }

  // True on success; false when a fatal error went to an error handler that
  // did not raise.
  bool parse(TDomParser* sender, TInputSource& source);

protected:
  enum class TSubsetKind { Internal, External };
  explicit TSubsetReader(TSubsetKind kind) : kind_(kind) {}

private:
  enum class TState {
    Between,
    Markup,
    ParameterEntityReference,
    ProcessingInstruction,
    Comment,
    Entity,
    Element,
    AttributeList,
    Notation,
    ConditionalSection,
  };

  // The DTD handler, or one that ignores everything.
  TDtdHandler& handler() const;
  void run(TInputSource& source);
  void acceptUnit(char16_t unit);
  void classifyMarkup();
  void conditionalUnit();
  void quotedDeclarationUnit(char16_t unit);
  bool endsWith(std::u16string_view tail) const;
  void finishToken();

  void processingInstructionToken(std::u16string_view token);
  void entityToken(std::u16string_view token);
  void elementToken(std::u16string_view token);
  void attributeListToken(std::u16string_view token);
  void notationToken(std::u16string_view token);
  void conditionalSectionToken(std::u16string_view token);
  void textDeclarationToken(std::u16string_view text);

  TSubsetKind kind_;
  TDtdHandler* dtdHandler_ = nullptr;
  TErrorHandler* errorHandler_ = nullptr;

  // State of the parse in progress.
  TDomParser* sender_ = nullptr;
  TTokenBuffer* buffer_ = nullptr;
  TLocator* locator_ = nullptr;
  TState state_ = TState::Between;
  bool inSingleQuotes_ = false;
  bool inDoubleQuotes_ = false;
  bool inComment_ = false;
  int sectionDepth_ = 0;
  std::size_t tokensRead_ = 0;
};

// The internal subset: no conditional sections, no text declaration.
class TIntSubsetReader : public TSubsetReader {
public:
  TIntSubsetReader() : TSubsetReader(TSubsetKind::Internal) {}
};

// The external subset: a text declaration first, conditional sections.
class TExtSubsetReader : public TSubsetReader {
public:
  TExtSubsetReader() : TSubsetReader(TSubsetKind::External) {}
};

} // namespace xml
