#pragma once

#include <openssl/ssl.h>

#include <string>

#include "ftp/tls_connection.h"

namespace ftp {

struct TTlsContext::Impl {
  SSL_CTX* ctx = nullptr;
  // The certificate offered to servers that ask for one; empty: none.
  std::string clientCertificate;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() { SSL_CTX_free(ctx); }
};

// The library's reason for the failure on this thread, in its words.
std::string LibraryReason();

}  // namespace ftp
