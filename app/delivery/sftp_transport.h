#pragma once

#include "app/delivery/transport.h"

namespace app {

// Delivers by SFTP: connect with the host key checked (pinned, Parcelo's
// known_hosts, the user's, or the caller's decision), log in, find a free
// remote name in the target's folder, upload from the snapshot byte for byte
// (verified by the size the server reports, and its digest where offered),
// and log out.
class SftpTransport : public Transport {
 public:
  AttemptResult Attempt(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) override;
  void RemoveLeftover(const AttemptRequest& request, AttemptEvents& events, SessionThread& session) override;
};

}  // namespace app
