#pragma once

#include <openssl/bio.h>

#include "platform/socket_handle.h"

namespace ftp {

// A BIO over a non-blocking socket that its caller owns and closes: sends
// never raise SIGPIPE, and a would-block is a retry for the TLS layer, which
// then reports want-read or want-write. Raises ETlsError when out of memory.
BIO* NewSocketBio(platform::SocketHandle socket);

}  // namespace ftp
