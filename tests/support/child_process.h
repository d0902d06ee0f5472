#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace test {

// A program started in its own process group and stopped (SIGTERM to that
// group, then reaped) when the object goes away.
class ChildProcess {
 public:
  struct Options {
    int stdinFd = -1;   // -1: /dev/null
    int stdoutFd = -1;  // -1: /dev/null
  };

  // Raises std::system_error when the program cannot be started.
  ChildProcess(const std::vector<std::string>& argv, Options options);
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // Reaps the process if it has ended; returns whether it has.
  bool Ended();

 private:
  pid_t pid_ = -1;
};

// Reads one line (without its LF) from `fd`, waiting at most `bound`; raises
// std::runtime_error when none arrives in time or the writer closes first.
std::string ReadLineFrom(int fd, std::chrono::milliseconds bound);

}  // namespace test
