#include "app/delivery/retry_policy.h"

#include <algorithm>

namespace app {

std::chrono::milliseconds RetryPolicy::WaitBefore(int retry, const std::function<double()>& random) const {
  const auto longest = std::chrono::duration_cast<std::chrono::milliseconds>(kLongestWait);
  std::chrono::milliseconds wait = firstWait;
  for (int i = 1; i < retry && wait < longest; ++i) wait *= 2;
  wait = std::min(wait, longest);
  return wait + std::chrono::milliseconds(static_cast<long long>(wait.count() * 0.2 * random()));
}

}  // namespace app
