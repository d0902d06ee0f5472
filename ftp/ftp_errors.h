#pragma once

#include <stdexcept>
#include <string>

#include "platform/ansi.h"

namespace ftp {

// The client's texts are Windows-1252, as every 8-bit string of the program
// is: its German ones are written "..."_ansi.
using platform::operator""_ansi;

// The general failure of the FTP subsystem ("Nicht verbunden", "Kein
// Zeitgeber", file access); the more specific classes derive from it.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A socket failure; the text comes from the socket error table or names the step.
class ESockError : public Exception {
 public:
  using Exception::Exception;
};

// An operation ended by a cancel or by its time-out.
class EAbortError : public Exception {
 public:
  using Exception::Exception;
};

// A command the server refused; the message is its reply line, CR LF included.
class FTPException : public Exception {
 public:
  using Exception::Exception;
};

// What the server stored differs from what was sent (its size or digest).
class EVerifyError : public Exception {
 public:
  using Exception::Exception;
};

// Raises Exception naming the file and the system's reason (from errno).
[[noreturn]] void RaiseFileError(const char* what, const std::string& path);

}  // namespace ftp
