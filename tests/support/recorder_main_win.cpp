// The recording program of RecordingProgram on Windows: appends its
// arguments, each followed by \037, as one line to "calls" in its own folder.
#include <fstream>

#include "platform/program_start.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  std::string line;
  for (const std::string& argument : arguments) line += argument + '\037';
  std::ofstream(platform::ExecutableFolder() / "calls", std::ios::binary | std::ios::app) << line << '\n';
  return 0;
}
