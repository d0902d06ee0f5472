#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `program` with `argument` as its single argument (no shell, so nothing
// in it is interpreted). A program name without "/" is searched on PATH. On
// Windows an empty program name opens `argument` (a web address, a file) with
// the program the system has for it.
// With `wait`, returns when the program has ended; otherwise at once, and the
// child is reaped in the background. Returns false when it could not be started.
bool StartProgram(const std::string& program, const std::string& argument, bool wait);

// Starts `program` with the given arguments, without waiting.
bool StartProgramArgs(const std::string& program, const std::vector<std::string>& arguments);

// The system web browser: the first entry of $BROWSER (entries end at ":", on
// Windows at ";"), else "xdg-open"; on Windows else "", the default browser.
std::string SystemBrowser();

}  // namespace platform
