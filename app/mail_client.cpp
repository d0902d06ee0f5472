#include "app/mail_client.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/ansi.h"
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

std::vector<std::string> SplitRecipients(const std::string& recipients) {
  std::vector<std::string> addresses;
  std::string address;
  std::size_t referenceStart = std::string::npos;  // an "&" not yet closed by ";"
  for (char c : recipients) {
    const bool endsReference = c == ';' && referenceStart != std::string::npos;
    if (c == ';' && !endsReference) {
      if (!address.empty()) addresses.push_back(address);
      address.clear();
      continue;
    }
    address += c;
    if (c == '&') referenceStart = address.size() - 1;
    else if (endsReference || !(std::isalnum(static_cast<unsigned char>(c)) || c == '#')) referenceStart = std::string::npos;
  }
  if (!address.empty()) addresses.push_back(address);
  return addresses;
}

void TMailClient::Connect() {
  if (Connected()) return;
  program_ = FindOnPath("xdg-email");
  if (program_.empty()) throw EMailClientError("No mail client found: xdg-email is not installed");
}

void TMailClient::DisplayMail(const std::string& recipients, const std::string& subject) {
  Connect();
  std::vector<std::string> arguments{"--utf8", "--subject", platform::AnsiToUtf8(subject)};
  for (const std::string& address : SplitRecipients(recipients)) arguments.push_back(platform::AnsiToUtf8(address));
  if (!platform::StartProgramArgs(program_, arguments))
    throw EMailClientError("The mail client could not be started: " + program_);
}

}  // namespace app
