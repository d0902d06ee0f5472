#pragma once

namespace ftp {

// How a connection to an FTP server is protected.
enum class TTlsMode {
  None,      // plain FTP
  Explicit,  // AUTH TLS before the login (RFC 4217), usually on port 21
  Implicit,  // TLS from the first byte, before the greeting
};

// Where a server with implicit FTPS listens unless its address names a port.
constexpr int kImplicitFtpsPort = 990;

}  // namespace ftp
