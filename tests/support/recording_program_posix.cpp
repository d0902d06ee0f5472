#include <sys/stat.h>

#include "support/recording_program.h"

namespace test {

RecordingProgram::RecordingProgram(const std::string& name) {
  const auto script = dir_ / name;
  WriteFile(script,
            "#!/bin/sh\n"
            "line=''\n"
            "for a in \"$@\"; do line=\"$line$a$(printf '\\037')\"; done\n"
            "printf '%s\\n' \"$line\" >> '" + record_ + "'\n");
  chmod(script.c_str(), 0755);
  setenv("PATH", (dir_.Path().string() + ":" + previousPath_).c_str(), 1);
}

RecordingProgram::RecordingProgram(MailClient) : RecordingProgram("xdg-email") {}

std::vector<std::string> RecordingProgram::MailCall(const std::string& uri) { return {"--utf8", uri}; }

RecordingProgram::~RecordingProgram() { setenv("PATH", previousPath_.c_str(), 1); }

}  // namespace test
