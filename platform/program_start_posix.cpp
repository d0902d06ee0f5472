#include "platform/program_start.h"

namespace platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    if (*argv[i]) arguments.emplace_back(argv[i]);
  return arguments;
}

std::filesystem::path ExecutableFolder() { return std::filesystem::canonical("/proc/self/exe").parent_path(); }

}  // namespace platform
