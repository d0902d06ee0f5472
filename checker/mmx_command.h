#pragma once

#include <string>
#include <string_view>

namespace mmx {

// The options of one RunMMx call. Absent options stay empty.
struct MmxCommand {
  std::string script;     // -X
  std::string catalog;    // -A catalog
  std::string format;     // -F
  std::string container;  // -S
  std::string errfile;    // -A errfile
  std::string logfile;    // logfile
  bool html = true;       // html yes|no
  std::string rules;      // rules
};

// Reads the options of
//   " -X S -A catalog K -F F -S C -A errfile E logfile L html yes|no rules R".
// C is not quoted and may contain blanks, even the option words themselves.
// The caller writes E as C + ".err" and L as C + "-log.html", so where the
// option words occur more than once, the division that repeats C that way
// is taken; otherwise each value runs to the next option word. Never raises;
// an empty command gives empty options.
MmxCommand ParseMmxCommand(std::string_view command);

}  // namespace mmx
