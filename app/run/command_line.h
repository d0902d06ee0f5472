#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/run_options.h"

namespace app {

// The usage text the program shows for "?" or "-?".
extern const char* const kUsage;

// What the arguments ask of a run. Any option makes the run unattended.
struct CommandLine {
  std::optional<std::string> container;  // the last file named, as a full path
  std::vector<std::string> targetNames;  // the names given with -t, in order
  bool unattended = false;
  bool usage = false;
  bool noBackup = false;
  bool noLog = false;
  RunOptions run;
  // The complaint about an option's value; what came before it is read.
  std::optional<std::string> error;
};

// Reads the arguments after the program name. "-t NAME", "-nobackup",
// "-nolog", "?"/"-?" and the run options, letters in any case.
CommandLine ReadCommandLine(const std::vector<std::string>& arguments);

}  // namespace app
