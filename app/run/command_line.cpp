#include "app/run/command_line.h"

#include <filesystem>

#include "app/ascii_case.h"

namespace app {

const char* const kUsage =
    "Aufruf: Parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...] \r"
    "   filename :  name of the container file\r"
    "   nolog    :  no loggin of transfer\r"
    "   nobackup :  no backup of the container will generate\r"
    "   target   :  name of the target";

CommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  const auto at = [&](std::size_t index) { return index < arguments.size() ? arguments[index] : std::string(); };
  for (std::size_t j = 0; j < arguments.size(); ++j) {
    if (!IsOption(arguments[j])) {
      line.container = std::filesystem::absolute(arguments[j]).lexically_normal().string();
      continue;
    }
    line.unattended = true;
    if (at(j) == "?" || at(j) == "-?") line.usage = true;
    if (AsciiUpper(at(j)) == "-T") {
      line.targetNames.push_back(at(j + 1));
      ++j;
    } else {
      try {
        if (TakeRunOption(arguments, j, line.run)) continue;
      } catch (const ECommandLineError& error) {
        line.error = error.what();
        return line;
      }
    }
    // These look at the argument after -t too: a target name is also an option here.
    if (AsciiUpper(at(j)) == "-NOBACKUP") line.noBackup = true;
    if (AsciiUpper(at(j)) == "-NOLOG") line.noLog = true;
  }
  return line;
}

}  // namespace app
