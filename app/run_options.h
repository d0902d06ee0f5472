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
};

// Whether a command-line argument is an option (it begins with "-" or "?");
// any option makes the run unattended.
bool IsOption(const std::string& argument);

// Takes "-retry N" (0 to 10 retries), "-retrywait SECONDS" (the first wait)
// or "-report FILE" (letters in any case) at `index`, the value being the
// next argument, and moves `index` onto the value. False for any other
// argument. Raises ECommandLineError for a missing or unusable value.
bool TakeRunOption(const std::vector<std::string>& arguments, std::size_t& index, RunOptions& options);

}  // namespace app
