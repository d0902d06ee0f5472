#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace test {
namespace {

std::vector<std::string> ChangedEnvironment(const std::map<std::string, std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable(*entry);
    if (!changes.count(variable.substr(0, variable.find('=')))) result.push_back(variable);
  }
  for (const auto& [name, value] : changes)
    if (!value.empty()) result.push_back(name + "=" + value);
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                         std::chrono::milliseconds bound, std::atomic<pid_t>* started) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  std::vector<std::string> arguments = argv;
  std::vector<std::string> variables = ChangedEnvironment(environment);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, arguments[0].c_str(), &actions, nullptr, Pointers(arguments).data(),
                                  Pointers(variables).data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    throw std::system_error(spawned, std::generic_category(), "posix_spawn " + arguments[0]);
  }
  if (started) *started = pid;

  // The output ends when the program (and anything it started that kept the
  // pipe) has gone.
  ProgramResult result;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  char buffer[4096];
  bool outputEnded = false;
  while (!outputEnded) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{pipeFds[0], POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n > 0) result.output.append(buffer, static_cast<std::size_t>(n));
    outputEnded = n <= 0;
  }
  close(pipeFds[0]);
  // With its output closed the program is ending; otherwise it overran the bound.
  if (!outputEnded) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (outputEnded && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

std::string ThisProgram() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace test
