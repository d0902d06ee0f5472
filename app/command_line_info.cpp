#include "app/command_line_info.h"

#include "platform/file_version.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...]\n"
    "       parcelo --help | --version\n"
    "\n"
    "Hands an ECU memory container to the receiving sites by FTP: prepares it,\n"
    "uploads it into each selected target's mailbox, logs every step and keeps\n"
    "a backup copy.\n"
    "\n"
    "  filename    the container file; alone, it opens the window with it filled in\n"
    "  -nolog      write no transfer log in this run\n"
    "  -nobackup   make no backup copy of the container in this run\n"
    "  -t target   send to the targets with this short name (any letter case);\n"
    "              give -t once for every target\n"
    "  ? or -?     show the usage in the information dialog\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Any other option makes the run unattended: the target list is fetched, the\n"
    "named targets are selected, the container is sent without mail, and the\n"
    "program ends. Without a display every message goes to standard error.\n"
    "\n"
    "Exit status: 1 when the target list could not be fetched and there were\n"
    "arguments, when the start failed without a display, when an unattended run\n"
    "sent nothing or found no target for a name after -t, or when a send failed\n"
    "without a display; 0 otherwise.\n"
    "\n"
    "The manual page parcelo(1) tells more.\n";

}  // namespace

std::optional<std::string> CommandLineInformation(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help") return kHelp;
    if (argument == "--version") return std::string("Parcelo ") + platform::kFileVersion + "\n";
  }
  return std::nullopt;
}

}  // namespace app
