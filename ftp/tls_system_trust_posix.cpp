#include "ftp/tls_system_trust.h"

namespace ftp {

// A machine without a system store still trusts the bundles given to the context.
void AddSystemTrust(SSL_CTX* ctx) { SSL_CTX_set_default_verify_paths(ctx); }

}  // namespace ftp
