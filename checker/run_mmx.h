#pragma once

// The checker library's one entry point, as the transmission tool imports it.
//
// `command` has the form
//   " -X <script> -A catalog <catalog> -F <format> -S <container>
//    -A errfile <file> logfile <file> html yes|no rules <rules>"
// (one line; the container path may contain blanks and is not quoted).
// Relative paths resolve against the current working directory.
//
// Returns 0 when the log named after "logfile" was written (whatever the
// container held); kMmxNoLogFile when the command names no log file (also for
// a null or empty command); kMmxLogNotWritten when the log could not be written.
extern "C" int RunMMx(const char* command);

inline constexpr int kMmxNoLogFile = 1;
inline constexpr int kMmxLogNotWritten = 2;
