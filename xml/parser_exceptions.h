#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// The parser's exception tree: the class tells the kind of error and its
// severity, the message is the text given where it is raised.
namespace xml {

enum class TErrorSeverity : std::uint8_t { FatalError = 0, Error = 1, Warning = 2 };

class EParserException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
  // The class name as error records store it.
  virtual const char* className() const noexcept { return "EParserException"; }
  // Fatal for the EParserFatalError branch, error and warning for theirs;
  // the bare base counts as fatal.
  virtual TErrorSeverity severity() const noexcept { return TErrorSeverity::FatalError; }
};

#define XML_PARSER_EXCEPTION(Name, Base)                                                       \
  class Name : public Base {                                                                   \
  public:                                                                                      \
    using Base::Base;                                                                          \
    const char* className() const noexcept override { return #Name; }                         \
  };

XML_PARSER_EXCEPTION(EParserFatalError, EParserException)
XML_PARSER_EXCEPTION(EParserMissingWhiteSpaceError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserMissingQuotationMarkError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserMissingEqualitySignError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserDoubleEqualitySignError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidElementNameError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidAttributeNameError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidAttributeValueError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserDoubleAttributeNameError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidEntityNameError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidProcessingInstructionError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidXmlDeclarationError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidCharRefError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserMissingStartTagError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserMissingEndTagError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidEndTagError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidCharacterError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserNotInRootError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserDoubleRootElementError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserRootNotFoundError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserWrongOrderError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidTextDeclarationError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserInvalidDoctypeError, EParserFatalError)
XML_PARSER_EXCEPTION(EParserDoubleDoctypeError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserUnknownDeclarationTypeError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserInvalidEntityDeclarationError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserInvalidElementDeclarationError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserInvalidAttributeDeclarationError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserInvalidNotationDeclarationError, EParserInvalidDoctypeError)
XML_PARSER_EXCEPTION(EParserInvalidConditionalSectionError, EParserInvalidDoctypeError)

class EParserError : public EParserException {
public:
  using EParserException::EParserException;
  const char* className() const noexcept override { return "EParserError"; }
  TErrorSeverity severity() const noexcept override { return TErrorSeverity::Error; }
};

class EParserWarning : public EParserException {
public:
  using EParserException::EParserException;
  const char* className() const noexcept override { return "EParserWarning"; }
  TErrorSeverity severity() const noexcept override { return TErrorSeverity::Warning; }
};

XML_PARSER_EXCEPTION(EParserDoubleEntityDeclWarning, EParserWarning)
XML_PARSER_EXCEPTION(EParserDoubleParameterEntityDeclWarning, EParserWarning)
XML_PARSER_EXCEPTION(EParserDoubleNotationDeclWarning, EParserWarning)
XML_PARSER_EXCEPTION(EParserUnusableEntityDeclWarning, EParserWarning)

#undef XML_PARSER_EXCEPTION

} // namespace xml
