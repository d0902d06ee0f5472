#pragma once

#include <string>
#include <typeinfo>

#include "xml/parser_error.h"
#include "xml/parser_exceptions.h"
#include "xml/stream_exceptions.h"
#include "xml/token_buffer.h"

namespace xml {

// Runs one read of a reader and routes its errors the way every reader does:
// decoding and stream failures become an invalid character (a decoding
// failure keeps what did not decode, and in which encoding); a fatal
// error goes to the error handler with the token being read and ends the read
// (false; also without a handler). The bare EParserFatalError is what a
// handler raises once it has recorded the real error of a nested read: it
// passes on as it is.
template <typename Read>
bool ReadRoutingErrors(Read&& read, TErrorHandler* errorHandler, TDomParser* sender, const TLocator& locator,
                       const TTokenBuffer& buffer)
{
  try {
    try {
      read();
    } catch (const EConvertError& error) {
      throw EParserInvalidCharacterError(std::string("Invalid character error: ") + error.what() + ".");
    } catch (const EReadError&) {
      throw EParserInvalidCharacterError("Invalid character error.");
    }
  } catch (const EParserFatalError& error) {
    if (typeid(error) == typeid(EParserFatalError))
      throw;
    if (errorHandler == nullptr)
      return false;
    errorHandler->fatalError(sender, &locator, std::u16string(buffer.content()), error);
    return false;
  }
  return true;
}

} // namespace xml
