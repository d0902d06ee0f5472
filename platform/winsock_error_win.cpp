#include <cerrno>

#include "platform/winsock_error.h"

namespace platform {

// The socket calls leave the Windows Sockets number itself in errno (see
// sockets.h) but for the reasons the callers test by their POSIX names.
int WinsockError(int error) {
  switch (error) {
    case EINTR: return 10004;
    case EAGAIN:
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EPIPE: return 10054;  // sending on a connection the peer has reset
    default: return error;
  }
}

// getaddrinfo() on Windows answers with the Windows Sockets number.
int WinsockLookupError(int gaiError) { return gaiError; }

}  // namespace platform
