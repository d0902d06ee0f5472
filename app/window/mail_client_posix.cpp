#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "app/window/mail_client.h"
#include "platform/shell.h"

namespace app {
namespace {

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace

void TMailClient::Connect() {
  if (Connected()) return;
  program_ = FindOnPath("xdg-email");
  if (program_.empty()) throw EMailClientError("No mail client found: xdg-email is not installed");
}

void TMailClient::DisplayMail(const std::vector<std::string>& addresses, const std::string& subject) {
  Connect();
  if (!platform::StartProgramArgs(program_, {"--utf8", MailtoUri(addresses, subject)}))
    throw EMailClientError("The mail client could not be started: " + program_);
}

}  // namespace app
