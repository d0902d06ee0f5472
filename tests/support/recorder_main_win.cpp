// The recording program of RecordingProgram on Windows: appends its
// arguments, each followed by \037, as one line to "calls" in its own folder.
#include <fstream>

#include "platform/program_start.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  std::string line;
  for (std::size_t i = 1; i < arguments.size(); ++i) line += arguments[i] + '\037';
  std::ofstream(platform::ExecutableFolder() / "calls", std::ios::binary | std::ios::app) << line << '\n';
  return 0;
}
