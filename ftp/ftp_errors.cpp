#include "ftp/ftp_errors.h"

#include <cerrno>
#include <cstring>

namespace ftp {

void RaiseFileError(const char* what, const std::string& path) {
  const int error = errno;
  throw Exception(std::string(what) + ": " + path + " (" + std::strerror(error) + ")");
}

}  // namespace ftp
