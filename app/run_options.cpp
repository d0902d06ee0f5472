#include "app/run_options.h"

#include <algorithm>
#include <charconv>

#include "app/ascii_case.h"
#include "app/file_system.h"

namespace app {
namespace {

// The longest first wait taken: an hour.
constexpr int kLongestFirstWait = 3600;

int Number(const std::string& text, int most, const std::string& complaint) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > most)
    throw ECommandLineError(complaint);
  return value;
}

}  // namespace

int SessionsAtOnce(int wanted) { return std::clamp(wanted, 1, kMostParallel); }

bool IsOption(const std::string& argument) {
  return !argument.empty() && (argument.front() == '-' || argument.front() == '?');
}

bool TakeRunOption(const std::vector<std::string>& arguments, std::size_t& index, RunOptions& options) {
  const std::string option = AsciiUpper(arguments[index]);
  if (option != "-RETRY" && option != "-RETRYWAIT" && option != "-REPORT" && option != "-PARALLEL") return false;
  const bool hasValue = index + 1 < arguments.size();
  const std::string value = hasValue ? arguments[index + 1] : std::string();
  if (option == "-RETRY") {
    options.retry.retries = Number(value, RetryPolicy::kMaxRetries, "-retry needs a number of retries from 0 to 10");
  } else if (option == "-RETRYWAIT") {
    options.retry.firstWait =
        std::chrono::seconds(Number(value, kLongestFirstWait, "-retrywait needs a number of seconds from 0 to 3600"));
  } else if (option == "-PARALLEL") {
    options.parallel = Number(value, kMostParallel, "-parallel needs a number of targets from 1 to 16");
    if (*options.parallel == 0) throw ECommandLineError("-parallel needs a number of targets from 1 to 16");
  } else {
    if (value.empty()) throw ECommandLineError("-report needs the name of the report file");
    options.reportFile = FullPath(value);
  }
  if (hasValue) ++index;
  return true;
}

}  // namespace app
