#pragma once

namespace platform {

// The Windows Sockets number for the error a socket call left in errno (0
// stays 0; see platform/sockets.h), so the socket layer's error table and
// texts hold on every platform. On POSIX a value with no counterpart becomes
// 10000 + errno, which the table reports as unknown.
int WinsockError(int posixError);

// The Windows Sockets error number for a getaddrinfo() result (0 stays 0);
// Windows' getaddrinfo() answers with it already.
int WinsockLookupError(int gaiError);

}  // namespace platform
