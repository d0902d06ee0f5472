#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/delivery/retry_policy.h"

namespace app {

// A command-line option with a value it cannot take.
class ECommandLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the options of an unattended run set beyond the targets: how often a
// transient failure is retried and after how long, and where the report goes.
struct RunOptions {
  RetryPolicy retry = kUnattendedRetries;
  std::optional<std::string> reportFile;
  std::optional<int> parallel;  // sessions at once, when the run names it
};

// How many targets a send serves at once unless the user says otherwise.
inline constexpr int kDefaultParallel = 4;
inline constexpr int kMostParallel = 16;
// `wanted` within 1 to kMostParallel.
int SessionsAtOnce(int wanted);

// Whether a command-line argument is an option (it begins with "-" or "?");
// any option makes the run unattended.
bool IsOption(const std::string& argument);

// Takes "-retry N" (0 to 10 retries), "-retrywait SECONDS" (the first wait),
// "-parallel N" (1 to 16 targets at once) or "-report FILE" (letters in any
// case) at `index`, the value being the
// next argument, and moves `index` onto the value. False for any other
// argument. Raises ECommandLineError for a missing or unusable value.
bool TakeRunOption(const std::vector<std::string>& arguments, std::size_t& index, RunOptions& options);

}  // namespace app
