#pragma once

namespace platform {

// The Windows Sockets error number for a POSIX errno value (0 stays 0), so the
// socket layer's error table and texts hold on every platform. A value with no
// counterpart becomes 10000 + errno, which the table reports as unknown.
int WinsockError(int posixError);

// The Windows Sockets error number for a getaddrinfo() result (0 stays 0).
int WinsockLookupError(int gaiError);

}  // namespace platform
