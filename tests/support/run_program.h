#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

struct ProgramResult {
  std::optional<int> exitCode;  // empty when the program did not end within the bound (it was killed)
  std::string output;           // standard output and standard error, interleaved
};

// Runs `argv` with the current environment changed by `environment` (an empty
// value removes the variable) and waits for it to end, at most `bound`.
// `started`, when given, gets the process id as soon as it runs.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         std::chrono::milliseconds bound = std::chrono::seconds(60),
                         std::atomic<pid_t>* started = nullptr);

// The full path of the running test program, to run it again in a child.
std::string ThisProgram();

}  // namespace test
