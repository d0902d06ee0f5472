#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/net_address.h"
#include "platform/event_loop.h"

namespace ftp {

// Whether `name` holds a control character, which no host name has.
bool HasControlCharacter(const std::string& name);

// One name lookup (IPv6 and IPv4) on a worker thread. Its completion is posted to the
// loop and runs there; once the lookup object is destroyed, a completion that
// arrives later is dropped, so the worker never touches the requester.
class THostLookup {
 public:
  // Called on the loop's thread with the Windows Sockets error number (0 =
  // found) and the addresses found, in the resolver's order of preference
  // (none on failure).
  using Completion = std::function<void(int error, const std::vector<TNetAddress>& addresses)>;

  THostLookup(platform::EventLoop& loop, const std::string& name, Completion done);
  ~THostLookup();
  THostLookup(const THostLookup&) = delete;
  THostLookup& operator=(const THostLookup&) = delete;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace ftp
