#pragma once

#include <functional>
#include <string>

#include "app/launch_info.h"

namespace app {

// An unattended run without a window (no display, or the console program):
// the start-up refresh from the site server, the target list, the send to
// the targets named with -t, the backup copy, the report and one line per
// target on standard output. Boxes go to standard error. `now` gives
// "date time" for the transfer log. The mail switch goes off, as in the
// window's unattended runs; a program that has no window says so when the
// mail was wanted. Returns the exit code.
enum class MailNote { kNone, kNeedsTheWindow };
int RunWithoutWindow(const LaunchInfo& launch, std::function<std::string()> now, MailNote mailNote);

}  // namespace app
