#pragma once

#include <utility>

namespace app {

// Runs a clean-up step when the scope ends, also when an exception leaves it.
template <typename CleanUp>
class ScopeExit {
 public:
  explicit ScopeExit(CleanUp cleanUp) : cleanUp_(std::move(cleanUp)) {}
  ~ScopeExit() { cleanUp_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  CleanUp cleanUp_;
};

}  // namespace app
