#pragma once

#include "app/delivery/transport.h"

namespace app {

// Delivers by FTP or FTPS: connect and log in, change to the target's
// folder, set the transfer type by the container's kind, find a remote name
// that is free, upload from the snapshot (verified where the server can) to
// it or to the target's temporary name and rename it, and log out.
class FtpTransport : public Transport {
 public:
  AttemptResult Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) override;
  void RemoveLeftover(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) override;
};

}  // namespace app
