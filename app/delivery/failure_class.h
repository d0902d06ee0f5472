#pragma once

#include <exception>

#include "app/delivery/target_outcome.h"

namespace app {

// What an attempt's error says about the target: transient (no connection,
// a connection reset or closed mid-transfer, a TLS handshake cut off, the
// replies 421, 425, 426, 450, 451) or a cause a retry cannot mend (other
// refusals, a refused certificate, a verification mismatch, a local error,
// a changed container).
TargetFailure ClassifyFailure(const std::exception_ptr& error);

}  // namespace app
