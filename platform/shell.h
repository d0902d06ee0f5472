#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `program` with `argument` as its single argument (no shell, so nothing
// in it is interpreted). A program name without "/" is searched on PATH.
// With `wait`, returns when the program has ended; otherwise at once, and the
// child is reaped in the background. Returns false when it could not be started.
bool StartProgram(const std::string& program, const std::string& argument, bool wait);

// Starts `program` with the given arguments, without waiting.
bool StartProgramArgs(const std::string& program, const std::vector<std::string>& arguments);

// The system web browser: the first entry of $BROWSER, else "xdg-open".
std::string SystemBrowser();

}  // namespace platform
