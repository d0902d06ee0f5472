#pragma once
#include <stdexcept>
#include <string>

// Exceptions of the runtime layer below the parser: byte decoding, streams
// and missing arguments.
namespace xml {

// A byte sequence that does not decode in the document's encoding.
class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// "Stream not specified." and the base of the stream failures below.
class EStreamError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A stream that failed while being read.
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A file that could not be opened for reading.
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A required object or argument was not given ("DOMImplementation not specified.").
class EAccessViolation : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace xml
