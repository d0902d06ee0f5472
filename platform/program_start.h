#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The arguments after the program name, in UTF-8; an empty one (a pair of
// quotes) is left out.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The folder that holds the running program.
std::filesystem::path ExecutableFolder();

}  // namespace platform
