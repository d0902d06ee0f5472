#pragma once

#include <chrono>
#include <functional>

#include "platform/event_loop.h"

namespace test {

// Processes the loop's messages until `done` holds or `bound` has passed;
// returns whether it held. Tests wait on the event they expect, never sleep.
inline bool WaitUntil(platform::EventLoop& loop, const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    loop.Wait(std::chrono::milliseconds(5));
    loop.ProcessMessages();
  }
  return true;
}

}  // namespace test
