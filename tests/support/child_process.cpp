#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <system_error>

extern char** environ;

namespace test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Options options) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  posix_spawn_file_actions_adddup2(&actions, options.stdinFd >= 0 ? options.stdinFd : devNull, 0);
  posix_spawn_file_actions_adddup2(&actions, options.stdoutFd >= 0 ? options.stdoutFd : devNull, 1);
  posix_spawn_file_actions_adddup2(&actions, devNull, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int result = posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(devNull);
  if (result != 0) throw std::system_error(result, std::generic_category(), "posix_spawn " + argv[0]);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

ChildProcess::~ChildProcess() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGTERM);
  int status;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

bool ChildProcess::Ended() {
  if (pid_ <= 0) return true;
  int status;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  return true;
}

std::string ReadLineFrom(int fd, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) == 0)
      throw std::runtime_error("no line within the bound");
    char byte;
    const ssize_t got = ::read(fd, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw std::runtime_error("the writer closed before a line: " + line);
    if (byte == '\n') return line;
    line += byte;
  }
}

}  // namespace test
