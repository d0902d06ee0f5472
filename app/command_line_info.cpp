#include "app/command_line_info.h"

#include "platform/file_version.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: parcelo [filename] [-nolog] [-nobackup] [-t target] [-t target ...]\n"
    "               [-retry N] [-retrywait seconds] [-report file] [-parallel N]\n"
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
    "  -retry N    unattended: retry a target after a transient failure N times\n"
    "              (0 to 10, default 2)\n"
    "  -retrywait seconds\n"
    "              the wait before the first retry (default 10; each next doubled)\n"
    "  -report file\n"
    "              write a JSON report of the run to this file\n"
    "  -parallel N  send to up to N targets at once (1 to 16, default 4)\n"
    "  ? or -?     show the usage in the information dialog\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Any other option makes the run unattended: the target list is fetched, the\n"
    "named targets are selected, the container is sent without mail, one line per\n"
    "target goes to standard output, and the program ends. Without a display\n"
    "every message goes to standard error.\n"
    "\n"
    "Exit status: 0 when every target got the container; 2 when some did and\n"
    "some did not (or the backup copy failed); 1 when none did, or the run could\n"
    "not start or send (the target list not fetched, a failed start, no target\n"
    "for a name after -t, no container).\n"
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
