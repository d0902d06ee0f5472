#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace platform {
namespace {

bool Spawn(const std::string& program, const std::vector<std::string>& arguments, bool wait) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const bool searchPath = program.find('/') == std::string::npos;
  const int result = searchPath ? posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                                : posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (result != 0) return false;
  if (wait) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  } else {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
  return true;
}

}  // namespace

bool StartProgram(const std::string& program, const std::string& argument, bool wait) {
  return Spawn(program, {argument}, wait);
}

bool StartProgramArgs(const std::string& program, const std::vector<std::string>& arguments) {
  return Spawn(program, arguments, false);
}

std::string SystemBrowser() {
  if (const char* browser = std::getenv("BROWSER"); browser && *browser) {
    std::string first(browser);
    return first.substr(0, first.find(':'));
  }
  return "xdg-open";
}

}  // namespace platform
