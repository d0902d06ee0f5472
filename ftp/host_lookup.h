#pragma once

#include <netinet/in.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/event_loop.h"

namespace ftp {

// The address (network byte order) of `text` when it is exactly four decimal
// numbers from 0 to 255 joined by dots; nullopt for anything else.
std::optional<in_addr_t> DottedAddress(const std::string& text);

// Whether `name` holds a control character, which no host name has.
bool HasControlCharacter(const std::string& name);

// One IPv4 name lookup on a worker thread. Its completion is posted to the
// loop and runs there; once the lookup object is destroyed, a completion that
// arrives later is dropped, so the worker never touches the requester.
class THostLookup {
 public:
  // Called on the loop's thread with the Windows Sockets error number (0 =
  // found) and the first address found (network byte order; 0 on failure).
  using Completion = std::function<void(int error, in_addr_t address)>;

  THostLookup(platform::EventLoop& loop, const std::string& name, Completion done);
  ~THostLookup();
  THostLookup(const THostLookup&) = delete;
  THostLookup& operator=(const THostLookup&) = delete;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace ftp
