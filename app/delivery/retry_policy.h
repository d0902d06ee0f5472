#pragma once

#include <chrono>
#include <functional>

namespace app {

// How often a target is tried again after a transient failure, and how long
// the send waits before each try: the first wait, each following one
// doubled up to five minutes, each lengthened by up to a fifth at random so
// that runs started together do not come back together.
struct RetryPolicy {
  int retries = 0;
  std::chrono::milliseconds firstWait{10000};

  static constexpr int kMaxRetries = 10;
  static constexpr std::chrono::minutes kLongestWait{5};

  // The wait before retry `retry` (1 for the first); `random` gives a
  // number from 0 to 1.
  std::chrono::milliseconds WaitBefore(int retry, const std::function<double()>& random) const;
};

// The policy of an unattended run unless its options say otherwise.
inline constexpr RetryPolicy kUnattendedRetries{2, std::chrono::milliseconds(10000)};

}  // namespace app
