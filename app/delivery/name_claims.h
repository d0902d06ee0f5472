#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace app {

// The remote names the targets of one send have taken, by folder. Targets
// sent at once to one folder (two Werke of one mailbox, one server under two
// ports) would otherwise all find the name of the moment free and write one
// file, each upload cutting the other's. Called from the session threads.
class NameClaims {
 public:
  // Takes `name` in `folder` for `target`; false when another target has it.
  bool Claim(const std::string& folder, const std::string& name, std::size_t target) {
    const std::lock_guard hold(lock_);
    const auto [owner, added] = owners_.try_emplace({folder, name}, target);
    return added || owner->second == target;
  }

 private:
  std::mutex lock_;
  std::map<std::pair<std::string, std::string>, std::size_t> owners_;
};

}  // namespace app
